#pragma once

#include "editor/LiveValueFeed.h"
#include "platform/ui/GridModel.h"

#include <QHash>
#include <QTimer>
#include <QVariant>
#include <map>
#include <memory>
#include <optional>

namespace ov::editor {

class frmtabgridOPC;

// Owns the item grid's online mode: the Value, Quality and Time columns, the
// row colours, and which items of the rows on screen (and a page around
// them) each device's feed watches; the values themselves stay in the feeds.
class ItemGridOnline {
  public:
    ItemGridOnline(frmtabgridOPC& window, ui::GridModel& grid);
    ~ItemGridOnline();

    // Made by the OPC unit for a device; without it nothing is ever online.
    std::function<std::unique_ptr<LiveValueFeed>(int deviceId)> feedFor;

    bool IsOn() const { return m_on; }
    // On: the three columns and the rows on screen watched; off: the columns
    // go and every feed lets go of its server.
    void SetOn(bool on);
    // Reads every watched item once (F5); connects a feed that could not.
    void Refresh();
    // Brings the watched items in line with the rows on screen now (done by
    // itself shortly after the rows or the scroll position change).
    void WatchNow();
    // Takes what arrived from every feed (done by a timer while on).
    void Poll();

    // 0, 1 or 2 for the Value, Quality and Time column by its caption while
    // online; -1 for any other column.
    int LiveKind(const QString& caption) const;
    // The cell of a live column (by its kind) for an item row.
    QVariant Cell(int kind, int itemId, int deviceId) const;
    const LiveCell* ValueOf(int itemId, int deviceId) const;
    ui::RowTone Tone(int row) const;

    // The current row's item and device; nothing without a current item.
    std::optional<std::pair<int, int>> CurrentItem() const;
    // The current item's access rights allow writing.
    bool CurrentItemWritable() const;
    // The feed of a device while it is watched; null otherwise.
    LiveValueFeed* Feed(int deviceId) const;
    int WatchedCount() const;

    // "Value", "Quality" or "Time" for a live column, empty for any other.
    static QString ColumnKey(const ui::GridColumn& column);

    static constexpr int kPollMs = 50;
    static constexpr int kSettleMs = 80;
    // Without a view that tells the rows on screen, the first rows count as shown.
    static constexpr int kRowsWithoutView = 50;

  private:
    void AddColumns();
    void RemoveColumns();
    void Changed(const std::vector<int>& itemIds);
    LiveValueFeed* FeedForDevice(int deviceId);
    // A poll at the next turn of the event loop, for what arrived.
    void PollSoon();
    // The timer polls while a feed has work without arrivals, and only then.
    void KeepPolling();
    void ShowNotices();
    QVariant RowField(int row, const QString& field) const;
    // The grid column of a live column's kind; -1 when it has none.
    int LiveColumnIndex(int kind) const;

    frmtabgridOPC& m_window;
    ui::GridModel& m_grid;
    bool m_on = false;
    QTimer m_poll;
    QTimer m_soon;
    QTimer m_settle;
    std::map<int, std::unique_ptr<LiveValueFeed>> m_feeds;
    std::map<int, QString> m_problems;  // device -> why its items show nothing
    std::map<int, QString> m_statuses;  // device -> its feed's last status
    QHash<int, std::pair<int, int>> m_rowOfItem;  // the watched items' rows and devices
    QHash<int, std::pair<int, int>> m_itemAtRow;  // row -> item and device, while watched
    QHash<int, LiveCell> m_painted;               // what the rows of watched items were last told
    bool m_watching = false;
    QString m_captions[3];                // of the Value, Quality and Time columns
    mutable int m_columnOfKind[3] = {-1, -1, -1};
};

}  // namespace ov::editor
