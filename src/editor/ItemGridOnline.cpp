#include "editor/ItemGridOnline.h"

#include "editor/frmtabgridOPC.h"
#include "platform/ui/Desktop.h"
#include "settings/TextTable.h"

#include <QCoreApplication>
#include <QSet>
#include <algorithm>
#include <functional>

namespace ov::editor {

using settings::Text;

namespace {

// The live columns by caption text, in the order they are shown.
constexpr int kValueCaption = 9327;
constexpr int kQualityCaption = 9328;
constexpr int kTimeCaption = 9329;
constexpr std::pair<int, int> kColumns[] = {{kValueCaption, 1800}, {kQualityCaption, 2100}, {kTimeCaption, 2900}};

constexpr const char* kColumnKeys[] = {"Value", "Quality", "Time"};

QString NoticeKey(int deviceId) { return QStringLiteral("online.") + QString::number(deviceId); }

}  // namespace

ItemGridOnline::ItemGridOnline(frmtabgridOPC& window, ui::GridModel& grid) : m_window(window), m_grid(grid) {
    m_poll.setInterval(kPollMs);
    QObject::connect(&m_poll, &QTimer::timeout, [this] { Poll(); });
    // Values are taken when the feeds hear of them, all of one turn of the
    // event loop in one poll; the timer above runs only while a feed has
    // work without them.
    m_soon.setSingleShot(true);
    m_soon.setInterval(0);
    QObject::connect(&m_soon, &QTimer::timeout, [this] { Poll(); });
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    QObject::connect(&m_settle, &QTimer::timeout, [this] { WatchNow(); });
}

ItemGridOnline::~ItemGridOnline() {
    m_grid.rowTone = nullptr;
    m_grid.visibleRowsChanged = nullptr;
}

void ItemGridOnline::SetOn(bool on) {
    if (on == m_on) return;
    m_on = on;
    if (!on) {
        m_poll.stop();
        m_soon.stop();
        m_settle.stop();
        m_grid.visibleRowsChanged = nullptr;
        m_grid.rowTone = nullptr;
        m_itemAtRow.clear();
        m_painted.clear();
        for (const auto& feed : m_feeds) m_window.sb().SetNotice(NoticeKey(feed.first), QString());
        m_feeds.clear();
        m_problems.clear();
        m_statuses.clear();
        RemoveColumns();
        return;
    }
    AddColumns();
    m_grid.rowTone = [this](int row) { return Tone(row); };
    m_grid.visibleRowsChanged = [this](int, int) {
        // The rows the items were watched for may be others now.
        m_itemAtRow.clear();
        // Without an event loop (a headless run) the owner watches and polls.
        if (QCoreApplication::instance()) m_settle.start();
    };
    WatchNow();
}

void ItemGridOnline::AddColumns() {
    int order = -static_cast<int>(std::size(kColumns));
    for (std::size_t i = 0; i < std::size(kColumns); ++i) {
        const auto [caption, width] = kColumns[i];
        // The cells ask for their column many times a second: by these texts, looked up once.
        m_captions[i] = Text(caption);
        m_columnOfKind[i] = -1;
        ui::GridColumn& column = m_grid.AddColumn(QString(), m_captions[i], 1);
        column.locked = true;
        column.changesOften = true;
        column.width = width;
        column.order = order++;
    }
    m_grid.Refresh();
}

void ItemGridOnline::RemoveColumns() {
    for (int i = m_grid.ColumnCount() - 1; i >= 0; --i) {
        const ui::GridColumn& column = m_grid.Column(i);
        if (column.IsBound()) continue;
        for (const QString& live : m_captions)
            if (column.caption == live) {
                m_grid.RemoveColumn(i);
                break;
            }
    }
    m_grid.Refresh();
}

QString ItemGridOnline::ColumnKey(const ui::GridColumn& column) {
    if (column.IsBound()) return QString();
    for (std::size_t i = 0; i < std::size(kColumns); ++i)
        if (column.caption == Text(kColumns[i].first)) return QString::fromUtf8(kColumnKeys[i]);
    return QString();
}

QVariant ItemGridOnline::RowField(int row, const QString& field) const {
    const int column = m_grid.ColumnIndex(field);
    return column < 0 ? QVariant() : m_grid.CellValue(row, column);
}

void ItemGridOnline::WatchNow() {
    m_settle.stop();
    if (!m_on || m_watching) return;
    // Connecting waits for the server and lets the window's events run meanwhile.
    m_watching = true;
    auto [first, last] = m_grid.VisibleRows();
    const int rows = m_grid.RowCount();
    if (first < 0) {
        first = 0;
        last = std::min(rows, kRowsWithoutView) - 1;
    }
    // The rows on screen first, then a page above and one below, so a
    // short scroll finds its values already there.
    const int page = last - first + 1;
    std::vector<int> order;
    for (int row = first; row <= last; ++row) order.push_back(row);
    for (int row = std::max(0, first - page); row < first; ++row) order.push_back(row);
    for (int row = last + 1; row <= std::min(rows - 1, last + page); ++row) order.push_back(row);

    std::map<int, std::vector<int>> byDevice;
    QHash<int, std::pair<int, int>> itemAtRow;
    m_rowOfItem.clear();
    for (int row : order) {
        const QVariant id = RowField(row, QStringLiteral("ID"));
        if (id.isNull()) continue;
        const int device = RowField(row, QStringLiteral("DeviceID")).toInt();
        byDevice[device].push_back(id.toInt());
        itemAtRow.insert(row, {id.toInt(), device});
        m_rowOfItem.insert(id.toInt(), {row, device});
    }
    m_itemAtRow = std::move(itemAtRow);
    for (auto it = m_painted.begin(); it != m_painted.end();)
        it = m_rowOfItem.contains(it.key()) ? std::next(it) : m_painted.erase(it);
    for (auto& [device, feed] : m_feeds)
        if (!byDevice.count(device) && feed->NotOnline().isEmpty()) feed->Show({});
    for (const auto& [device, ids] : byDevice)
        if (LiveValueFeed* feed = FeedForDevice(device)) feed->Show(ids);
    m_watching = false;
    // A poll refused meanwhile is made up for.
    PollSoon();
    ShowNotices();
    // The colours of the rows on screen follow the items now watched there.
    if (first <= last) m_grid.RowsChanged(first, last);
}

LiveValueFeed* ItemGridOnline::FeedForDevice(int deviceId) {
    auto it = m_feeds.find(deviceId);
    if (it == m_feeds.end()) {
        if (!feedFor) return nullptr;
        std::unique_ptr<LiveValueFeed> made = feedFor(deviceId);
        if (!made) return nullptr;
        made->onChanged = [this](const std::vector<int>& itemIds) { Changed(itemIds); };
        made->onArrival = [this] { PollSoon(); };
        it = m_feeds.emplace(deviceId, std::move(made)).first;
        LiveValueFeed& feed = *it->second;
        QString error;
        if (!feed.NotOnline().isEmpty()) {
            m_problems[deviceId] = feed.NotOnline();
        } else {
            ui::BusyCursor busy;
            if (!feed.Open(&error) && !error.isEmpty())
                m_problems[deviceId] = Text(9339).replace(QStringLiteral("<d>"), feed.DeviceName()).replace(QStringLiteral("<r>"), error);
        }
    }
    return it->second->NotOnline().isEmpty() ? it->second.get() : nullptr;
}

void ItemGridOnline::ShowNotices() {
    // Said once per device, in the status bar, while its rows are on screen.
    QSet<int> shown;
    for (auto it = m_itemAtRow.cbegin(); it != m_itemAtRow.cend(); ++it) shown.insert(it->second);
    const QStringList before = m_window.sb().Notices();
    for (const auto& [device, feed] : m_feeds) {
        const auto problem = m_problems.find(device);
        const bool said = problem != m_problems.end() && shown.contains(device);
        m_window.sb().SetNotice(NoticeKey(device), said ? problem->second : QString());
    }
    // The whole window is shown anew only when the status bar says something else.
    if (m_window.sb().Notices() != before) m_window.NotifyView();
}

void ItemGridOnline::PollSoon() {
    // Without an event loop (a headless run) the owner polls.
    if (m_on && QCoreApplication::instance() && !m_soon.isActive()) m_soon.start();
}

void ItemGridOnline::KeepPolling() {
    bool needed = false;
    for (const auto& [device, feed] : m_feeds) needed = needed || (feed->NotOnline().isEmpty() && feed->NeedsPolling());
    if (!m_on || !needed || !QCoreApplication::instance())
        m_poll.stop();
    else if (!m_poll.isActive())
        m_poll.start();
}

void ItemGridOnline::Poll() {
    if (!m_on || m_watching) return;
    bool noticesChanged = false;
    for (auto& [device, feed] : m_feeds) {
        if (!feed->NotOnline().isEmpty()) continue;
        feed->Poll();
        // A lost server says why in the status bar until it is back.
        const QString status = feed->Status();
        QString& last = m_statuses[device];
        if (status == last) continue;
        last = status;
        if (status.isEmpty())
            m_problems.erase(device);
        else
            m_problems[device] = Text(9339).replace(QStringLiteral("<d>"), feed->DeviceName()).replace(QStringLiteral("<r>"), status);
        noticesChanged = true;
    }
    if (noticesChanged) ShowNotices();
    KeepPolling();
}

void ItemGridOnline::Refresh() {
    if (!m_on) return;
    ui::BusyCursor busy;
    for (auto& [device, feed] : m_feeds) {
        if (!feed->NotOnline().isEmpty()) continue;
        QString error;
        const bool done = feed->Connected() ? feed->Refresh(&error) : feed->Open(&error);
        if (done)
            m_problems.erase(device);
        else if (!error.isEmpty())
            m_problems[device] = Text(9339).replace(QStringLiteral("<d>"), feed->DeviceName()).replace(QStringLiteral("<r>"), error);
    }
    WatchNow();
}

void ItemGridOnline::Changed(const std::vector<int>& itemIds) {
    // Only the cells that read differently are painted again; a row whose
    // colour changes is painted whole. Per kind, the rows concerned.
    std::vector<int> rows, cells[std::size(kColumns)];
    // Rows off screen are painted with their value when they scroll in;
    // until then their values are not even formatted, and what was painted
    // of them is forgotten, so a change after they are back is painted too.
    const auto [shownFirst, shownLast] = m_grid.VisibleRows();
    for (int id : itemIds) {
        const auto at = m_rowOfItem.constFind(id);
        if (at == m_rowOfItem.cend()) continue;
        const int row = at->first;
        if (shownFirst >= 0 && (row < shownFirst || row > shownLast)) {
            m_painted.remove(id);
            continue;
        }
        // Without a value a row shows empty cells in its plain colour.
        const LiveCell* now = ValueOf(id, at->second);
        const LiveCell next = now ? *now : LiveCell{{}, {}, {}, ValueLevel::Good};
        const auto before = m_painted.constFind(id);
        const LiveCell shown = before == m_painted.cend() ? LiveCell{{}, {}, {}, ValueLevel::Good} : *before;
        if (!now) m_painted.remove(id);
        else m_painted.insert(id, next);
        if (next.level != shown.level) {
            rows.push_back(row);
            continue;
        }
        if (next.value != shown.value) cells[0].push_back(row);
        if (next.quality != shown.quality) cells[1].push_back(row);
        if (next.time != shown.time) cells[2].push_back(row);
    }
    // One notice per run of neighbouring rows: the rows of one arrival
    // are mostly all of those on screen, and the view paints a run at once.
    const auto runs = [](std::vector<int>& changed, const std::function<void(int, int)>& tell) {
        std::sort(changed.begin(), changed.end());
        for (std::size_t i = 0; i < changed.size();) {
            std::size_t end = i + 1;
            while (end < changed.size() && changed[end] <= changed[end - 1] + 1) ++end;
            tell(changed[i], changed[end - 1]);
            i = end;
        }
    };
    runs(rows, [this](int first, int last) { m_grid.RowsChanged(first, last); });
    for (std::size_t i = 0; i < std::size(kColumns); ++i) {
        if (cells[i].empty()) continue;
        const int column = LiveColumnIndex(static_cast<int>(i));
        if (column >= 0) runs(cells[i], [this, column](int first, int last) { m_grid.CellsChanged(first, last, column); });
    }
}

int ItemGridOnline::LiveKind(const QString& caption) const {
    if (!m_on) return -1;
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i)
        if (caption == m_captions[i]) return i;
    return -1;
}

int ItemGridOnline::LiveColumnIndex(int kind) const {
    // Found again only when the grid's columns changed since.
    int& column = m_columnOfKind[kind];
    const auto holds = [&](int c) {
        return c >= 0 && c < m_grid.ColumnCount() && !m_grid.Column(c).IsBound() && m_grid.Column(c).caption == m_captions[kind];
    };
    if (holds(column)) return column;
    column = -1;
    for (int c = 0; c < m_grid.ColumnCount() && column < 0; ++c)
        if (holds(c)) column = c;
    return column;
}

QVariant ItemGridOnline::Cell(int kind, int itemId, int deviceId) const {
    const LiveCell* cell = ValueOf(itemId, deviceId);
    if (!cell) return QVariant(QString());
    return QVariant(kind == 0 ? cell->value : kind == 1 ? cell->quality : cell->time);
}

const LiveCell* ItemGridOnline::ValueOf(int itemId, int deviceId) const {
    const LiveValueFeed* feed = Feed(deviceId);
    return feed ? feed->Value(itemId) : nullptr;
}

ui::RowTone ItemGridOnline::Tone(int row) const {
    const auto item = m_itemAtRow.constFind(row);
    if (item == m_itemAtRow.cend()) return ui::RowTone::Normal;
    const LiveCell* cell = ValueOf(item->first, item->second);
    if (!cell || cell->level == ValueLevel::Good) return ui::RowTone::Normal;
    return cell->level == ValueLevel::Uncertain ? ui::RowTone::Warning : ui::RowTone::Error;
}

std::optional<std::pair<int, int>> ItemGridOnline::CurrentItem() const {
    const int row = m_grid.CurrentRow();
    if (row < 0) return std::nullopt;
    const QVariant id = RowField(row, QStringLiteral("ID"));
    if (id.isNull()) return std::nullopt;
    return std::pair{id.toInt(), RowField(row, QStringLiteral("DeviceID")).toInt()};
}

bool ItemGridOnline::CurrentItemWritable() const {
    const int row = m_grid.CurrentRow();
    // Access rights: 1 read, 2 write.
    return row >= 0 && (RowField(row, QStringLiteral("AccessRights")).toInt() & 2) != 0;
}

LiveValueFeed* ItemGridOnline::Feed(int deviceId) const {
    const auto it = m_feeds.find(deviceId);
    if (it == m_feeds.end() || !it->second->NotOnline().isEmpty()) return nullptr;
    return it->second.get();
}

int ItemGridOnline::WatchedCount() const {
    int count = 0;
    for (const auto& [device, feed] : m_feeds)
        if (feed->NotOnline().isEmpty()) count += feed->WatchedCount();
    return count;
}

}  // namespace ov::editor
