#pragma once

#include "editor/LiveValueFeed.h"
#include "opc/OnlineValues.h"

#include <QHash>
#include <memory>
#include <optional>

namespace ov::db {
class Connection;
}

namespace ov::opc {

// The values of a device's items: its server's, when the device names a
// live OPC UA server; otherwise a source that says why it is not online
// (an own driver, a NodeSet2 file, a server the installation does not know),
// in words that name the device.
std::unique_ptr<OnlineValues> DeviceValues(db::Connection& connection, int deviceId, const ServerAskers& askers,
                                           QString* deviceName);

// A device's live values as the item grid reads them.
class OnlineFeed : public editor::LiveValueFeed {
  public:
    OnlineFeed(db::Connection& connection, std::unique_ptr<OnlineValues> values, QString deviceName);

    QString DeviceName() const override { return m_deviceName; }
    QString NotOnline() const override { return m_values->NotOnline(); }
    bool Open(QString* error) override { return m_values->Open(error); }
    bool Connected() const override { return m_values->Connected(); }
    QString Status() const override { return m_values->Status(); }
    void Show(const std::vector<int>& itemIds) override;
    const editor::LiveCell* Value(int itemId) const override;
    void Poll() override { m_values->Poll(); }
    bool NeedsPolling() const override { return m_values->NeedsPolling(); }
    bool Refresh(QString* error) override { return m_values->Refresh(error); }
    int WatchedCount() const override { return m_values->WatchedCount(); }

    OnlineValues& Values() { return *m_values; }
    // A shown item as it was read when it came on screen.
    std::optional<OnlineItem> Item(int itemId) const;

  private:
    db::Connection& m_connection;
    std::unique_ptr<OnlineValues> m_values;
    QString m_deviceName;
    QHash<int, OnlineItem> m_items;
    // The cells as last read, copied again only when their value changed.
    struct Copy {
        quint64 revision = 0;
        editor::LiveCell cell;
    };
    mutable QHash<int, Copy> m_cells;
};

}  // namespace ov::opc
