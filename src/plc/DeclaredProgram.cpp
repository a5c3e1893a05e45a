#include "plc/DeclaredProgram.h"

#include "model/CVT_Types.h"
#include "settings/TextTable.h"

#include <QLocale>
#include <QRegularExpression>

namespace ov::plc {

using settings::Text;

namespace {

// The function blocks every IEC 61131-3 system has; their instances hold
// timers and edges, nothing an HMI reads as one value.
bool IsStandardFunctionBlock(const QString& name) {
    static const QSet<QString> blocks{
        QStringLiteral("TON"), QStringLiteral("TOF"),    QStringLiteral("TP"),     QStringLiteral("CTU"),
        QStringLiteral("CTD"), QStringLiteral("CTUD"),   QStringLiteral("R_TRIG"), QStringLiteral("F_TRIG"),
        QStringLiteral("SR"),  QStringLiteral("RS"),
    };
    return blocks.contains(name.toUpper());
}

QString Unquoted(QString text) {
    text = text.trimmed();
    if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"') text = text.mid(1, text.size() - 2).trimmed();
    return text;
}

// "ARRAY[0..1] OF ARRAY[0..7] OF X" as its array part and the element type "X".
std::pair<QString, QString> SplitArray(const QString& type) {
    static const QRegularExpression arrayOf(QStringLiteral(R"(\s*ARRAY\s*\[[^\]]*\]\s*OF\s+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    qsizetype cut = 0;
    while (true) {
        const auto match = arrayOf.match(type, cut, QRegularExpression::NormalMatch,
                                         QRegularExpression::AnchorAtOffsetMatchOption);
        if (!match.hasMatch()) break;
        cut = match.capturedEnd();
    }
    return {type.left(cut), type.mid(cut).trimmed()};
}

// Replaces the names of aliases by what they stand for, each alias
// followed once for the whole program however many variables use it.
class AliasExpansion {
public:
    explicit AliasExpansion(const QHash<QString, QString>& aliases) : m_aliases(aliases) {}

    std::optional<QString> Expand(const QString& type, QString* error) {
        struct Step {
            QString key;
            QString name;
            qsizetype prefixLength;
        };
        std::vector<Step> steps;
        QSet<QString> seen;
        QString prefix;
        QString rest = type.trimmed();
        QString expanded;
        while (true) {
            auto [array, element] = SplitArray(rest);
            prefix += array;
            const QString name = Unquoted(element);
            const QString key = name.toCaseFolded();
            if (const auto done = m_expanded.constFind(key); done != m_expanded.cend()) {
                expanded = prefix + *done;
                break;
            }
            const auto alias = m_aliases.constFind(key);
            if (alias == m_aliases.cend()) {
                expanded = prefix + element;
                break;
            }
            if (seen.contains(key)) {
                QStringList chain;
                bool inCycle = false;
                for (const Step& step : steps) {
                    inCycle = inCycle || step.key == key;
                    if (inCycle) chain << step.name;
                }
                chain << name;
                *error = Text(9342).replace(QStringLiteral("<c>"), chain.join(QStringLiteral(" > ")));
                return std::nullopt;
            }
            seen.insert(key);
            steps.push_back({key, name, prefix.size()});
            rest = alias->trimmed();
        }
        for (const Step& step : steps) m_expanded.insert(step.key, expanded.mid(step.prefixLength));
        return expanded;
    }

private:
    const QHash<QString, QString>& m_aliases;
    QHash<QString, QString> m_expanded;  // folded alias name -> the type it stands for, expanded
};

}  // namespace

std::optional<PlcProgram> Resolve(const DeclaredProgram& declared, QString* error) {
    AliasExpansion aliases(declared.aliases);
    std::vector<DeclaredStructure> structures = declared.structures;
    QSet<QString> structureNames;
    for (DeclaredStructure& structure : structures) {
        const QString key = structure.name.toCaseFolded();
        if (declared.aliases.contains(key)) {
            *error = AtPlace(structure.where, Text(9345).replace(QStringLiteral("<t>"), structure.name));
            return std::nullopt;
        }
        structureNames.insert(key);
        for (DeclaredStructure::Member& member : structure.members) {
            QString problem;
            const std::optional<QString> type = aliases.Expand(member.type, &problem);
            if (!type) {
                *error = AtPlace(structure.where, structure.name + u'.' + member.name + QStringLiteral(": ") + problem);
                return std::nullopt;
            }
            member.type = *type;
        }
    }
    std::optional<std::vector<PlcStructure>> laidOut = LayOut(structures, error);
    if (!laidOut) return std::nullopt;

    PlcProgram program;
    program.format = declared.format;
    program.structures = std::move(*laidOut);
    program.variables.reserve(declared.variables.size());
    const auto isStructure = [&structureNames](const QString& name) {
        return structureNames.contains(name.toCaseFolded());
    };
    for (const DeclaredVariable& variable : declared.variables) {
        const QString name = variable.path.join(u'.');
        QString problem;
        const std::optional<QString> type = aliases.Expand(variable.type, &problem);
        const QString element = type ? Unquoted(SplitArray(*type).second) : QString();
        if (type && (declared.functionBlocks.contains(element.toCaseFolded()) || IsStandardFunctionBlock(element))) {
            program.notes << AtPlace(variable.where, Text(9352).replace(QStringLiteral("<v>"), name).replace(QStringLiteral("<t>"), element));
            continue;
        }
        const std::optional<PlcType> plcType = type ? ParseType(*type, isStructure, &problem) : std::nullopt;
        if (!plcType) {
            *error = AtPlace(variable.where, name + QStringLiteral(": ") + problem);
            return std::nullopt;
        }
        QString address;
        if (!variable.location.isEmpty()) {
            if (const std::optional<QString> device = DeviceAddress(variable.location, &problem)) {
                address = *device;
            } else {
                program.notes << AtPlace(variable.where,
                                         Text(9351).replace(QStringLiteral("<v>"), name).replace(QStringLiteral("<m>"), problem));
            }
        }
        // Inputs are written by the process, constants by nobody.
        const bool input = variable.location.trimmed().startsWith(QStringLiteral("%I"), Qt::CaseInsensitive);
        program.variables.push_back(
            {variable.path, *plcType, address, variable.comment, variable.constant || input ? 1 : 3, variable.where});
    }
    return program;
}

}  // namespace ov::plc
