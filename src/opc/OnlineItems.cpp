#include "opc/OnlineItems.h"

#include "platform/db/Cursor.h"
#include "settings/TextTable.h"

#include <QHash>
#include <QStringList>

namespace ov::opc {

namespace {

QString Quoted(QString text) { return u'\'' + text.replace(u'\'', QStringLiteral("''")) + u'\''; }

// An empty text field may hold the single U+0000 the dialogs store for it.
QString FieldText(const QVariant& value) {
    QString text = value.toString();
    text.remove(QChar(0));
    return text;
}

std::optional<double> Number(const QVariant& value) {
    if (value.isNull()) return std::nullopt;
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok ? std::optional<double>(number) : std::nullopt;
}

// The unit text each unit class stands for while the studio is in this language.
QHash<int, QString> UnitsOfClasses(db::Connection& connection, int lcid) {
    struct UnitClass {
        bool display = false;
        int defaultLanguage = 0;
    };
    QHash<int, UnitClass> classes;
    for (db::Cursor rows(connection, QStringLiteral("SELECT ID, SwitchType, Switch FROM TpdbUnitClasses")); rows.Next();)
        classes.insert(rows.Value(0).toInt(), {rows.Value(1).toInt() == 1, FieldText(rows.Value(2)).trimmed().toInt()});
    QHash<int, QString> chosen;
    QHash<int, int> rank;  // lower is better: 0 the language, 1 the default language, 2 the first process unit
    for (db::Cursor rows(connection, QStringLiteral("SELECT ParentID, SwitchID, PhysicalUnitText, x1, y1, x2, y2 "
                                                    "FROM TpdbUnits ORDER BY ParentID, SwitchID"));
         rows.Next();) {
        const int classId = rows.Value(0).toInt();
        const auto unitClass = classes.constFind(classId);
        if (unitClass == classes.cend()) continue;
        const int switchId = rows.Value(1).toInt();
        int candidate = 3;
        if (!unitClass->display) candidate = chosen.contains(classId) ? 3 : 2;
        else if (switchId == lcid) candidate = 0;
        else if (switchId == unitClass->defaultLanguage) candidate = 1;
        if (candidate < rank.value(classId, 3)) {
            rank.insert(classId, candidate);
            // The value is shown as the server has it: a unit that converts
            // would put its text behind a number it does not describe.
            const auto at = [&rows](int i) { return rows.Value(i).toDouble(); };
            const bool asItIs = at(3) == at(4) && at(5) == at(6) && at(3) != at(5);
            chosen.insert(classId, asItIs ? FieldText(rows.Value(2)) : QString());
        }
    }
    return chosen;
}

}  // namespace

namespace {

// The items a statement's rows name, in its order.
std::vector<OnlineItem> ReadItems(db::Connection& connection, const QString& where) {
    const QHash<int, QString> units = UnitsOfClasses(connection, settings::TextTable::Instance().Language());
    std::vector<OnlineItem> items;
    std::vector<int> ids;
    for (db::Cursor rows(connection, QStringLiteral("SELECT ID, Name, ItemAccess, DataType, MinVal, MaxVal, "
                                                    "UnitClassIDDisplayDependent, UnitClassIDItemDependent FROM TpdbItems ") +
                                         where);
         rows.Next();) {
        OnlineItem item;
        item.itemId = rows.Value(0).toInt();
        item.name = FieldText(rows.Value(1));
        item.nodeId = FieldText(rows.Value(2));
        item.dataType = rows.Value(3).toInt();
        item.minVal = Number(rows.Value(4));
        item.maxVal = Number(rows.Value(5));
        item.unit = units.value(rows.Value(6).toInt());
        if (item.unit.isEmpty()) item.unit = units.value(rows.Value(7).toInt());
        items.push_back(item);
        ids.push_back(item.itemId);
    }
    const QHash<int, int> sampling = SamplingIntervals(connection, ids);
    for (OnlineItem& item : items) item.samplingMs = sampling.value(item.itemId, 1000);
    return items;
}

}  // namespace

std::vector<OnlineItem> DeviceItemsOnline(db::Connection& connection, int deviceId, const QString& namePattern) {
    QString where = QStringLiteral("WHERE DeviceID = %1").arg(deviceId);
    if (!namePattern.isEmpty()) where += QStringLiteral(" AND Name Like ") + Quoted(namePattern);
    return ReadItems(connection, where + QStringLiteral(" ORDER BY Name"));
}

std::vector<OnlineItem> OnlineItemsOf(db::Connection& connection, const std::vector<int>& itemIds) {
    if (itemIds.empty()) return {};
    QStringList ids;
    for (int id : itemIds) ids << QString::number(id);
    std::vector<OnlineItem> read = ReadItems(connection, QStringLiteral("WHERE ID IN (%1)").arg(ids.join(u',')));
    // In the order asked: the rows on screen come first.
    QHash<int, std::size_t> at;
    for (std::size_t i = 0; i < read.size(); ++i) at.insert(read[i].itemId, i);
    std::vector<OnlineItem> items;
    for (int id : itemIds)
        if (const auto it = at.constFind(id); it != at.cend()) items.push_back(read[*it]);
    return items;
}

}  // namespace ov::opc
