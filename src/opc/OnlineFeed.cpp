#include "opc/OnlineFeed.h"

#include "model/DeviceAddress.h"
#include "opc/MOpc.h"
#include "opc/OnlineItems.h"
#include "platform/db/Recordset.h"
#include "platform/system/SystemTools.h"
#include "settings/TextTable.h"

namespace ov::opc {

std::unique_ptr<OnlineValues> DeviceValues(db::Connection& connection, int deviceId, const ServerAskers& askers,
                                           QString* deviceName) {
    db::Recordset device;
    device.Open(QStringLiteral("SELECT Name, ProgID, BlobMode FROM TpdbDevices WHERE ID = %1").arg(deviceId), connection);
    if (device.IsEOF()) return std::make_unique<OnlineValues>(nullptr, settings::Text(2401));
    *deviceName = device.Fields(0).Value().toString();
    const auto named = [&](int text) { return settings::Text(text).replace(QStringLiteral("<d>"), *deviceName); };
    namespace blobmode = model::blobmode;
    if (blobmode::Kind(blobmode::FromStored(device.Fields(2).Value())) == blobmode::kOwnDriver)
        return std::make_unique<OnlineValues>(nullptr, named(9316));
    const auto [progId, computer] = SplitServerProgId(device.Fields(1).Value().toString());
    QString error;
    auto source = SourceFor(sys::SystemTools::Instance().GetRegistry(), model::ParseOpcServerProgId(progId).VersionedProgId(),
                            computer, &error, askers);
    if (source && !dynamic_cast<ServerSource*>(source.get()))
        error = named(9317).replace(QStringLiteral("<f>"), source->Description());
    return std::make_unique<OnlineValues>(std::move(source), error);
}

OnlineFeed::OnlineFeed(db::Connection& connection, std::unique_ptr<OnlineValues> values, QString deviceName)
    : m_connection(connection), m_values(std::move(values)), m_deviceName(std::move(deviceName)) {
    m_values->onChanged = [this](const std::vector<int>& itemIds) {
        if (onChanged) onChanged(itemIds);
    };
    m_values->onArrival = [this] {
        if (onArrival) onArrival();
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
    Copy& copy = m_cells[itemId];
    editor::LiveCell& cell = copy.cell;
    if (copy.revision == value->Revision()) return &cell;
    copy.revision = value->Revision();
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
