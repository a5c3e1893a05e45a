#include "opc/OnlineItems.h"

#include "platform/db/Cursor.h"
#include "settings/TextTable.h"

#include <QHash>

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
    for (db::Cursor rows(connection, QStringLiteral("SELECT ParentID, SwitchID, PhysicalUnitText FROM TpdbUnits "
                                                    "ORDER BY ParentID, SwitchID"));
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
            chosen.insert(classId, FieldText(rows.Value(2)));
        }
    }
    return chosen;
}

}  // namespace

std::vector<OnlineItem> DeviceItemsOnline(db::Connection& connection, int deviceId, const QString& namePattern) {
    const QHash<int, QString> units = UnitsOfClasses(connection, settings::TextTable::Instance().Language());
    QString sql = QStringLiteral("SELECT ID, Name, ItemAccess, DataType, MinVal, MaxVal, UnitClassIDDisplayDependent, "
                                 "UnitClassIDItemDependent FROM TpdbItems WHERE DeviceID = %1")
                      .arg(deviceId);
    if (!namePattern.isEmpty()) sql += QStringLiteral(" AND Name Like ") + Quoted(namePattern);
    sql += QStringLiteral(" ORDER BY Name");
    std::vector<OnlineItem> items;
    std::vector<int> ids;
    for (db::Cursor rows(connection, sql); rows.Next();) {
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

}  // namespace ov::opc
