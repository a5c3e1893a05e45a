#include "opc/OnlineFeed.h"

#include "model/DeviceAddress.h"
#include "opc/MOpc.h"
#include "platform/db/Recordset.h"
#include "platform/system/SystemTools.h"
#include "settings/TextTable.h"

#include <QStringList>

namespace ov::opc {

namespace {

constexpr int kOwnDriverMode = 3;

QString IdList(const std::vector<int>& ids) {
    QStringList list;
    for (int id : ids) list << QString::number(id);
    return list.join(u',');
}

// The unit text of each process unit class whose default unit (the lowest
// switch ID) leaves the raw value as it is.
QHash<int, QString> PlainUnits(db::Connection& connection, const QSet<int>& classes) {
    QHash<int, QString> units;
    if (classes.isEmpty()) return units;
    db::Recordset rows;
    rows.Open(QStringLiteral("SELECT ParentID, PhysicalUnitText, x1, y1, x2, y2 FROM TpdbUnits WHERE ParentID IN (%1) "
                             "ORDER BY ParentID, SwitchID")
                  .arg(IdList(std::vector<int>(classes.begin(), classes.end()))),
              connection);
    QSet<int> seen;
    for (; !rows.IsEOF(); rows.MoveNext()) {
        const int parent = rows.Fields(0).Value().toInt();
        if (seen.contains(parent)) continue;
        seen.insert(parent);
        const auto field = [&](int i) { return rows.Fields(i).Value().toDouble(); };
        if (field(2) == field(3) && field(4) == field(5) && field(2) != field(4))
            units.insert(parent, rows.Fields(1).Value().toString().trimmed());
    }
    return units;
}

}  // namespace

std::unique_ptr<OnlineValues> DeviceValues(db::Connection& connection, int deviceId, const ServerAskers& askers,
                                           QString* deviceName) {
    db::Recordset device;
    device.Open(QStringLiteral("SELECT Name, ProgID, BlobMode FROM TpdbDevices WHERE ID = %1").arg(deviceId), connection);
    if (device.IsEOF()) return std::make_unique<OnlineValues>(nullptr, settings::Text(2401));
    *deviceName = device.Fields(0).Value().toString();
    if (device.Fields(2).Value().toInt() == kOwnDriverMode) return std::make_unique<OnlineValues>(nullptr, settings::Text(9331));
    const auto [progId, computer] = SplitServerProgId(device.Fields(1).Value().toString());
    QString error;
    auto source = SourceFor(sys::SystemTools::Instance().GetRegistry(), model::ParseOpcServerProgId(progId).VersionedProgId(),
                            computer, &error, askers);
    return std::make_unique<OnlineValues>(std::move(source), error);
}

std::vector<OnlineItem> OnlineItemsOf(db::Connection& connection, const std::vector<int>& itemIds) {
    std::vector<OnlineItem> items;
    if (itemIds.empty()) return items;
    db::Recordset rows;
    rows.Open(QStringLiteral("SELECT ID, Name, ItemAccess, DataType, MinVal, MaxVal, UnitClassIDItemDependent "
                             "FROM TpdbItems WHERE ID IN (%1)")
                  .arg(IdList(itemIds)),
              connection);
    QHash<int, OnlineItem> byId;
    QHash<int, int> unitClass;
    for (; !rows.IsEOF(); rows.MoveNext()) {
        OnlineItem item;
        item.itemId = rows.Fields(0).Value().toInt();
        item.name = rows.Fields(1).Value().toString();
        item.nodeId = rows.Fields(2).Value().toString();
        item.dataType = rows.Fields(3).Value().toInt();
        const QVariant low = rows.Fields(4).Value();
        const QVariant high = rows.Fields(5).Value();
        // A range counts where MinVal lies below MaxVal.
        if (!low.isNull() && !high.isNull() && low.toDouble() < high.toDouble()) {
            item.minVal = low.toDouble();
            item.maxVal = high.toDouble();
        }
        unitClass.insert(item.itemId, rows.Fields(6).Value().toInt());
        byId.insert(item.itemId, item);
    }
    const QSet<int> classes(unitClass.cbegin(), unitClass.cend());
    const QHash<int, QString> units = PlainUnits(connection, classes);
    const QHash<int, int> sampling = SamplingIntervals(connection, itemIds);
    // In the order asked: the rows on screen come first.
    for (int id : itemIds) {
        auto it = byId.find(id);
        if (it == byId.end()) continue;
        it->unit = units.value(unitClass.value(id));
        it->samplingMs = sampling.value(id, 1000);
        items.push_back(*it);
    }
    return items;
}

OnlineFeed::OnlineFeed(db::Connection& connection, std::unique_ptr<OnlineValues> values, QString deviceName)
    : m_connection(connection), m_values(std::move(values)), m_deviceName(std::move(deviceName)) {
    m_values->onChanged = [this](const std::vector<int>& itemIds) {
        if (onChanged) onChanged(itemIds);
    };
}

void OnlineFeed::Show(const std::vector<int>& itemIds) {
    // Read again each time: an item edited since shows its new node or type.
    const std::vector<OnlineItem> items = OnlineItemsOf(m_connection, itemIds);
    m_items.clear();
    for (const OnlineItem& item : items) m_items.insert(item.itemId, item);
    QString error;
    m_values->Show(items, &error);
}

const editor::LiveCell* OnlineFeed::Value(int itemId) const {
    const ItemValue* value = m_values->Value(itemId);
    if (!value) return nullptr;
    editor::LiveCell& cell = m_cells[itemId];
    cell.value = value->value;
    cell.quality = value->quality;
    cell.time = value->time;
    cell.level = value->level == Quality::Good        ? editor::ValueLevel::Good
                 : value->level == Quality::Uncertain ? editor::ValueLevel::Uncertain
                                                      : editor::ValueLevel::Bad;
    return &cell;
}

std::optional<OnlineItem> OnlineFeed::Item(int itemId) const {
    const auto it = m_items.constFind(itemId);
    if (it == m_items.cend()) return std::nullopt;
    return *it;
}

}  // namespace ov::opc
