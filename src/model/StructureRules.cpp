#include "model/StructureRules.h"

#include "model/UnitConversion.h"
#include "platform/db/Recordset.h"
#include "settings/TextTable.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <cmath>

namespace ov::model::structures {

namespace {

// Digits with at most one separator, an exponent allowed.
const QRegularExpression& PlainNumber() {
    static const QRegularExpression pattern(QStringLiteral(R"(^[+-]?(\d+([.,]\d*)?|[.,]\d+)([eE][+-]?\d+)?$)"));
    return pattern;
}

// The number at the start of the text, its exponent included ("12abc" is
// 12, "3.9" is 3.9, "1e9" is 1000000000).
std::optional<double> LeadingNumber(const QString& text) {
    static const QRegularExpression leading(QStringLiteral(R"(^[+-]?(\d+([.,]\d*)?|[.,]\d+)([eE][+-]?\d+)?)"));
    const QRegularExpressionMatch match = leading.match(text);
    if (!match.hasMatch()) return std::nullopt;
    QString number = match.captured(0);
    number.replace(u',', u'.');
    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

OrderNumber ParseOrderNumber(const QString& typed, bool bitMember) {
    const QString text = typed.trimmed();
    std::optional<double> value;
    if (bitMember) {
        if (PlainNumber().match(text).hasMatch()) {
            QString number = text;
            number.replace(u',', u'.');
            bool ok = false;
            const double read = QLocale::c().toDouble(number, &ok);
            if (ok && std::isfinite(read)) value = std::round(read * 10.0) / 10.0;
        }
    } else {
        value = LeadingNumber(text);
    }
    if (!value) return {std::nullopt, settings::kTextOrderNumberNotANumber};
    if (*value < 0 || *value > kMaxOrderNumber) return {std::nullopt, settings::kTextOrderNumberOutOfRange};
    // Anything but a bit keeps the whole number only.
    return {(bitMember ? *value : std::trunc(*value)) + 0.0, 0};
}

QString FormatOrderNumber(double value, bool bitMember) {
    if (bitMember) return QString::number(std::round(value * 10.0) / 10.0 + 0.0, 'f', 1);
    return QString::number(std::trunc(value) + 0.0, 'f', 0);
}

bool IsNumberName(const QString& name) {
    const double value = units::Parse(name, units::FieldType::Double);
    return QString::number(value, 'g', QLocale::FloatingPointShortest) == name;
}

bool WouldContainItself(db::Connection& connection, int ownerId, int candidateId) {
    if (candidateId == ownerId) return true;
    // Which structures each structure holds, read once.
    QHash<int, QList<int>> holds;
    db::Recordset rs;
    rs.Open(QStringLiteral("SELECT DISTINCT ParentID, StructID FROM TpdbStructMembers WHERE StructID <> 0"), connection);
    for (; !rs.IsEOF(); rs.MoveNext()) holds[rs.Fields(0).Value().toInt()].append(rs.Fields(1).Value().toInt());
    // Walk everything the candidate holds; the seen set ends stored cycles.
    QSet<int> seen{candidateId};
    QList<int> pending{candidateId};
    while (!pending.isEmpty()) {
        const int id = pending.takeLast();
        for (const int inner : holds.value(id)) {
            if (inner == ownerId) return true;
            if (!seen.contains(inner)) {
                seen.insert(inner);
                pending.append(inner);
            }
        }
    }
    return false;
}

}  // namespace ov::model::structures
