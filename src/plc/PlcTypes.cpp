#include "plc/PlcTypes.h"

#include "components/PlcAddress.h"
#include "model/CVT_Types.h"
#include "settings/TextTable.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <map>

namespace ov::plc {

using model::CVT_Types;
using settings::Text;

namespace {

constexpr int kDefaultStringLength = 80;
constexpr int kMaxArrayElements = 65535;

const QHash<QString, ElementaryType>& ElementaryTypes() {
    // Keys folded to upper case; the durations and times as the PLC holds
    // them: TIME in milliseconds (DINT), LTIME in nanoseconds (LINT), a time
    // of day in milliseconds since midnight (UDINT); dates as dates.
    static const QHash<QString, ElementaryType> types{
        {QStringLiteral("BOOL"), {11, 1}},          {QStringLiteral("BIT"), {11, 1}},
        {QStringLiteral("SINT"), {16, 1}},          {QStringLiteral("USINT"), {17, 1}},
        {QStringLiteral("BYTE"), {17, 1}},          {QStringLiteral("CHAR"), {17, 1}},
        {QStringLiteral("INT"), {2, 2}},            {QStringLiteral("UINT"), {18, 2}},
        {QStringLiteral("WORD"), {18, 2}},          {QStringLiteral("WCHAR"), {18, 2}},
        {QStringLiteral("S5TIME"), {18, 2}},        {QStringLiteral("DINT"), {3, 4}},
        {QStringLiteral("UDINT"), {19, 4}},         {QStringLiteral("DWORD"), {19, 4}},
        {QStringLiteral("LINT"), {20, 8}},          {QStringLiteral("ULINT"), {21, 8}},
        {QStringLiteral("LWORD"), {21, 8}},         {QStringLiteral("REAL"), {4, 4}},
        {QStringLiteral("LREAL"), {5, 8}},          {QStringLiteral("TIME"), {3, 4}},
        {QStringLiteral("LTIME"), {20, 8}},         {QStringLiteral("TOD"), {19, 4}},
        {QStringLiteral("TIME_OF_DAY"), {19, 4}},   {QStringLiteral("LTOD"), {21, 8}},
        {QStringLiteral("DATE"), {7, 4}},           {QStringLiteral("LDATE"), {7, 8}},
        {QStringLiteral("DT"), {7, 4}},             {QStringLiteral("DATE_AND_TIME"), {7, 4}},
        {QStringLiteral("LDT"), {7, 8}},
    };
    return types;
}

QString Unquoted(QString text) {
    text = text.trimmed();
    if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"') text = text.mid(1, text.size() - 2).trimmed();
    return text;
}

QString UnknownType(const QString& type) { return Text(9340).replace(QStringLiteral("<t>"), type); }

// "0..7, 1..2" as the number of elements; nothing with a message for a
// bound that is no number or a range that holds nothing.
std::optional<int> ElementCount(const QString& ranges, QString* error) {
    qint64 count = 1;
    for (const QString& range : ranges.split(u',')) {
        const QStringList bounds = range.split(QStringLiteral(".."));
        if (bounds.size() != 2) {
            *error = Text(9341).replace(QStringLiteral("<b>"), range.trimmed());
            return std::nullopt;
        }
        bool lowOk = false, highOk = false;
        const qint64 low = bounds[0].trimmed().toLongLong(&lowOk);
        const qint64 high = bounds[1].trimmed().toLongLong(&highOk);
        if (!lowOk || !highOk) {
            *error = Text(9341).replace(QStringLiteral("<b>"), (lowOk ? bounds[1] : bounds[0]).trimmed());
            return std::nullopt;
        }
        count *= high - low + 1;
        if (high < low || count > kMaxArrayElements) {
            *error = Text(9348).replace(QStringLiteral("<r>"), range.trimmed());
            return std::nullopt;
        }
    }
    return static_cast<int>(count);
}

// Size and alignment of a type laid out in a structure, in bits; a bit
// member is aligned to one bit.
struct Footprint {
    qint64 bits = 0;
    qint64 alignBits = 8;
};

// The bytes of one element of an elementary type as written
// ("ARRAY[0..3] OF LDT" is 8): the variant code alone does not tell DATE
// from LDATE.
qint64 ElementBytes(QString type) {
    static const QRegularExpression arrayOf(QStringLiteral(R"(^\s*ARRAY\s*\[[^\]]*\]\s*OF\s+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    while (true) {
        const auto match = arrayOf.match(type);
        if (!match.hasMatch()) break;
        type = type.mid(match.capturedLength());
    }
    const std::optional<ElementaryType> elementary = FindElementaryType(type);
    return elementary ? elementary->bytes : 0;
}

}  // namespace

std::optional<ElementaryType> FindElementaryType(const QString& name) {
    const auto it = ElementaryTypes().constFind(name.trimmed().toUpper());
    if (it == ElementaryTypes().cend()) return std::nullopt;
    return *it;
}

std::optional<PlcType> ParseType(const QString& text, const std::function<bool(const QString&)>& isStructure,
                                 QString* error) {
    static const QRegularExpression array(QStringLiteral(R"(^ARRAY\s*\[([^\]]*)\]\s*OF\s+(.+)$)"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression string(QStringLiteral(R"(^(W?STRING)\s*(?:[\(\[]\s*(\S*?)\s*[\)\]])?$)"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QString type = text.trimmed();
    if (const auto match = array.match(type); match.hasMatch()) {
        const std::optional<int> count = ElementCount(match.captured(1), error);
        if (!count) return std::nullopt;
        std::optional<PlcType> element = ParseType(match.captured(2), isStructure, error);
        if (!element) return std::nullopt;
        if (element->fieldSize > 0 && element->dataType != 8) {
            // An array of arrays counts all its elements.
            element->fieldSize *= *count;
        } else {
            // Arrays of strings keep the string's length: the device reads the first.
            element->fieldSize = element->dataType == 8 ? element->fieldSize : *count;
        }
        if (element->fieldSize > kMaxArrayElements) {
            *error = Text(9348).replace(QStringLiteral("<r>"), match.captured(1).trimmed());
            return std::nullopt;
        }
        return element;
    }
    if (const auto match = string.match(type); match.hasMatch()) {
        int length = kDefaultStringLength;
        if (!match.captured(2).isEmpty()) {
            bool ok = false;
            length = match.captured(2).toInt(&ok);
            if (!ok || length <= 0) {
                *error = Text(9341).replace(QStringLiteral("<b>"), match.captured(2));
                return std::nullopt;
            }
        }
        return PlcType{8, QString(), length};
    }
    if (const auto elementary = FindElementaryType(type)) return PlcType{elementary->dataType, QString(), 0};
    const QString name = Unquoted(type);
    if (!name.isEmpty() && isStructure && isStructure(name)) return PlcType{CVT_Types::kStructure, name, 0};
    *error = UnknownType(type);
    return std::nullopt;
}

std::optional<std::vector<PlcStructure>> InUseOrder(std::vector<PlcStructure> structures, QString* error) {
    std::map<QString, std::size_t> byName;  // folded name -> index
    for (std::size_t i = 0; i < structures.size(); ++i) {
        // Names are compared as the project compares them, without regard to case.
        if (!byName.emplace(structures[i].name.toCaseFolded(), i).second) {
            *error = Text(9345).replace(QStringLiteral("<t>"), structures[i].name);
            return std::nullopt;
        }
        QSet<QString> members;
        for (const PlcMember& member : structures[i].members) {
            if (members.contains(member.name.toCaseFolded())) {
                *error = Text(9346).replace(QStringLiteral("<t>"), structures[i].name).replace(QStringLiteral("<m>"), member.name);
                return std::nullopt;
            }
            members.insert(member.name.toCaseFolded());
        }
    }
    enum class Mark { None, Open, Done };
    std::vector<Mark> marks(structures.size(), Mark::None);
    std::vector<PlcStructure> ordered;
    ordered.reserve(structures.size());
    QStringList trail;
    // Depth first; a structure met again while still open closes a cycle.
    std::function<bool(std::size_t)> visit = [&](std::size_t index) {
        if (marks[index] == Mark::Done) return true;
        trail << structures[index].name;
        if (marks[index] == Mark::Open) {
            const qsizetype start = trail.indexOf(structures[index].name);
            *error = Text(9342).replace(QStringLiteral("<c>"), trail.mid(start).join(QStringLiteral(" > ")));
            return false;
        }
        marks[index] = Mark::Open;
        for (const PlcMember& member : structures[index].members) {
            if (member.type.dataType != CVT_Types::kStructure) continue;
            const auto used = byName.find(member.type.structure.toCaseFolded());
            if (used == byName.end()) {
                *error = AtPlace(structures[index].name + u'.' + member.name, UnknownType(member.type.structure));
                return false;
            }
            if (!visit(used->second)) return false;
        }
        marks[index] = Mark::Done;
        trail.removeLast();
        ordered.push_back(std::move(structures[index]));
        return true;
    };
    for (std::size_t i = 0; i < structures.size(); ++i)
        if (!visit(i)) return std::nullopt;
    return ordered;
}

std::optional<std::vector<PlcStructure>> LayOut(const std::vector<DeclaredStructure>& declared, QString* error) {
    QHash<QString, const DeclaredStructure*> names;
    for (const DeclaredStructure& structure : declared) names.insert(structure.name.toCaseFolded(), &structure);
    const auto isStructure = [&names](const QString& name) { return names.contains(name.toCaseFolded()); };

    // First the members' types, then the offsets in the order of use, so
    // every nested structure's size is known when it is placed.
    std::vector<PlcStructure> typed;
    for (const DeclaredStructure& structure : declared) {
        PlcStructure result{structure.name, {}, structure.comment};
        for (const DeclaredStructure::Member& member : structure.members) {
            QString problem;
            const std::optional<PlcType> type = ParseType(member.type, isStructure, &problem);
            if (!type) {
                *error = AtPlace(structure.where.isEmpty() ? structure.name : structure.where,
                                 structure.name + u'.' + member.name + QStringLiteral(": ") + problem);
                return std::nullopt;
            }
            result.members.push_back({member.name, *type, 0, member.comment});
        }
        typed.push_back(std::move(result));
    }
    std::optional<std::vector<PlcStructure>> ordered = InUseOrder(std::move(typed), error);
    if (!ordered) return std::nullopt;

    QHash<QString, Footprint> footprints;
    for (PlcStructure& structure : *ordered) {
        const DeclaredStructure& declaration = *names.value(structure.name.toCaseFolded());
        qint64 cursor = 0;  // in bits
        qint64 align = 8;
        for (std::size_t i = 0; i < structure.members.size(); ++i) {
            PlcMember& member = structure.members[i];
            const int elements = std::max(1, member.type.fieldSize);
            Footprint one;
            if (member.type.dataType == 11) {
                // BOOLs of a structure are bits, packed one after the other.
                member.type.dataType = CVT_Types::kBit;
                one = {1, 1};
            } else if (member.type.dataType == CVT_Types::kStructure) {
                one = footprints.value(member.type.structure.toCaseFolded());
            } else if (member.type.dataType == 8) {
                // A string is its characters and a closing zero, a byte each.
                one = {8 * (static_cast<qint64>(member.type.fieldSize) + 1), 8};
            } else {
                const qint64 bytes = ElementBytes(declaration.members[i].type);
                one = {8 * bytes, 8 * bytes};
            }
            const qint64 count = member.type.dataType == 8 ? 1 : elements;
            cursor = (cursor + one.alignBits - 1) / one.alignBits * one.alignBits;
            member.orderNumber = member.type.dataType == CVT_Types::kBit
                                     ? static_cast<double>(cursor / 8) + static_cast<double>(cursor % 8) / 10.0
                                     : static_cast<double>(cursor / 8);
            cursor += one.bits * count;
            align = std::max(align, one.alignBits);
        }
        const qint64 size = (cursor + align - 1) / align * align;
        footprints.insert(structure.name.toCaseFolded(), {size, align});
    }
    return ordered;
}

std::optional<QString> DeviceAddress(const QString& location, QString* error) {
    static const QRegularExpression area(QStringLiteral(R"(^%?([IQM])([XBWD]?)(\d+)(?:\.(\d+))?$)"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression block(QStringLiteral(R"(^%?(DB\d+\.DB[XBWD]\d+(?:\.\d+)?)$)"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QString text = location.trimmed();
    if (text.endsWith(u'*')) return QString();
    QString address;
    if (const auto match = area.match(text); match.hasMatch()) {
        const QString size = match.captured(2).toUpper();
        const bool bit = size.isEmpty() || size == u'X';
        // A bit names its bit, a byte, word or double word none.
        if (bit == match.captured(4).isEmpty()) address.clear();
        else address = match.captured(1).toUpper() + (bit ? QString() : size) + match.captured(3) +
                       (bit ? u'.' + match.captured(4) : QString());
    } else if (const auto inBlock = block.match(text); inBlock.hasMatch()) {
        address = inBlock.captured(1).toUpper();
    }
    if (address.isEmpty() || !components::ParsePlcAddress(address)) {
        *error = Text(9343).replace(QStringLiteral("<a>"), text);
        return std::nullopt;
    }
    return address;
}

QString AtPlace(const QString& where, const QString& message) {
    if (where.isEmpty()) return message;
    return Text(9344).replace(QStringLiteral("<w>"), where).replace(QStringLiteral("<m>"), message);
}

}  // namespace ov::plc
