// The item grid online: the live columns, the rows whose items are watched,
// row colours, the notice of a device that cannot be online, and when a value
// may be written; the values come from a feed the test controls.

#include "editor/frmtabgridOPC.h"
#include "host/NodeKey.h"
#include "host/Rights.h"
#include "settings/TextTable.h"
#include "support/EditorTest.h"

#include <QHash>
#include <gtest/gtest.h>

using namespace ov;
namespace nk = ov::host::nodekey;
using settings::Text;

namespace {

const QString Y = QString(QChar(0xFF));

// A device's values as the test sets them; remembers what it was asked.
struct FakeFeed : editor::LiveValueFeed {
    QString name, notOnline, status;
    bool connects = true;
    std::vector<std::vector<int>> shows;
    QHash<int, editor::LiveCell> values;
    int refreshes = 0;
    bool* destroyed = nullptr;

    ~FakeFeed() override {
        if (destroyed) *destroyed = true;
    }
    QString DeviceName() const override { return name; }
    QString NotOnline() const override { return notOnline; }
    bool Open(QString* error) override {
        if (!connects) *error = QStringLiteral("connection refused");
        return connects;
    }
    bool Connected() const override { return connects; }
    QString Status() const override { return status; }
    void Show(const std::vector<int>& itemIds) override { shows.push_back(itemIds); }
    const editor::LiveCell* Value(int itemId) const override {
        const auto it = values.constFind(itemId);
        return it == values.cend() ? nullptr : &*it;
    }
    void Poll() override {}
    bool Refresh(QString*) override { return ++refreshes > 0; }
    int WatchedCount() const override { return shows.empty() ? 0 : static_cast<int>(shows.back().size()); }
    void Arrive(int itemId, editor::LiveCell cell) {
        values.insert(itemId, std::move(cell));
        onChanged({itemId});
    }
};

class ItemGridOnlineTest : public test::EditorTest {
  protected:
    void SetUp() override {
        Open();
        ASSERT_TRUE(harness.Session().IsLoaded());
        Window().Online().feedFor = [this](int deviceId) -> std::unique_ptr<editor::LiveValueFeed> {
            auto feed = std::make_unique<FakeFeed>();
            feed->name = QStringLiteral("Device %1").arg(deviceId);
            feed->notOnline = notOnline.value(deviceId);
            feed->connects = !refusing.contains(deviceId);
            feed->destroyed = &feedDestroyed;
            feeds[deviceId] = feed.get();
            return feed;
        };
    }
    void TearDown() override {
        host::Authorization::Current() = {};
        EditorTest::TearDown();
    }
    ui::GridModel& Items() { return Window().tdbI(); }
    int Id(int row) { return Items().CellValue(row, Items().ColumnIndex(QStringLiteral("ID"))).toInt(); }
    QString Cell(int row, int caption) {
        for (int c = 0; c < Items().ColumnCount(); ++c)
            if (!Items().Column(c).IsBound() && Items().Column(c).caption == Text(caption)) return Items().CellText(row, c);
        return QStringLiteral("<no column>");
    }
    // A row's value, quality and time as the live columns show them.
    QStringList Live(int row) { return {Cell(row, 9327), Cell(row, 9328), Cell(row, 9329)}; }
    std::vector<ui::RowTone> Tones() {
        std::vector<ui::RowTone> tones;
        for (int row = 0; row < Items().RowCount(); ++row) tones.push_back(Items().ToneOfRow(row));
        return tones;
    }
    bool WriteEnabled() {
        Window().ComputeAvailability(Window().CurrentNode(), false);
        return Window().IsToolEnabled(QStringLiteral("mnuItemWriteValue"));
    }

    QHash<int, QString> notOnline;
    QSet<int> refusing;
    QHash<int, FakeFeed*> feeds;
    bool feedDestroyed = false;
    const QString motor1 = nk::DeviceKey(1, QStringLiteral("."), false) + Y + QStringLiteral("Line1.Motor1");
};

TEST_F(ItemGridOnlineTest, LiveColumnsShowTheFeedsValuesAndColourTheRows) {
    Click(motor1);
    ASSERT_EQ(Items().RowCount(), 3);
    const int columns = Items().ColumnCount();
    RunTool("mnuViewOnline");
    ASSERT_TRUE(Window().Online().IsOn());
    EXPECT_EQ(Items().ColumnCount(), columns + 3);
    EXPECT_TRUE(Window().abr().FindTool(QStringLiteral("mnuViewOnline"))->checked);
    // The value comes first in the scrolling part, beside the name.
    const std::vector<int> shown = Items().DisplayColumns(1);
    EXPECT_EQ(Items().Column(shown.front()).caption, Text(9327));
    EXPECT_TRUE(Items().Column(shown.front()).locked);

    FakeFeed& feed = *feeds.value(1);
    ASSERT_FALSE(feed.shows.empty());
    EXPECT_EQ(feed.shows.back(), (std::vector<int>{Id(0), Id(1), Id(2)}));
    int changedFirst = -1, changedLast = -1;
    Items().onRowsChanged = [&](int first, int last) { changedFirst = first, changedLast = last; };
    feed.Arrive(Id(1), {QStringLiteral("12.5 A"), QStringLiteral("Good"), QStringLiteral("2026-12-07 10:00:00.000"),
                        editor::ValueLevel::Good});
    feed.Arrive(Id(2), {QString(), QStringLiteral("Bad_NodeIdUnknown"), QString(), editor::ValueLevel::Bad});
    EXPECT_EQ(std::make_pair(changedFirst, changedLast), std::make_pair(2, 2));
    EXPECT_EQ(Live(1), (QStringList{"12.5 A", "Good", "2026-12-07 10:00:00.000"}));
    EXPECT_EQ(Live(0), (QStringList{"", "", ""})) << "no value yet";
    feed.Arrive(Id(0), {QStringLiteral("1"), QStringLiteral("Uncertain_LastUsableValue"), QString(),
                        editor::ValueLevel::Uncertain});
    EXPECT_EQ(Tones(), (std::vector<ui::RowTone>{ui::RowTone::Warning, ui::RowTone::Normal, ui::RowTone::Error}));

    // F5 reads once more; switched off, the columns, colours and the server go.
    RunTool("mnuViewRefreshValues");
    EXPECT_EQ(feed.refreshes, 1);
    RunTool("mnuViewOnline");
    EXPECT_FALSE(Window().Online().IsOn());
    EXPECT_EQ(Items().ColumnCount(), columns);
    EXPECT_EQ(Tones(), std::vector<ui::RowTone>(3, ui::RowTone::Normal));
    EXPECT_TRUE(feedDestroyed);
    EXPECT_FALSE(Window().IsToolEnabled(QStringLiteral("mnuViewRefreshValues")));
}

TEST_F(ItemGridOnlineTest, ANewValuePaintsTheCellsThatChangedAndANewQualityLevelTheWholeRow) {
    Click(motor1);
    RunTool("mnuViewOnline");
    FakeFeed& feed = *feeds.value(1);
    QStringList painted;
    Items().onRowsChanged = [&](int first, int last) { painted << QStringLiteral("rows %1-%2").arg(first).arg(last); };
    Items().onCellsChanged = [&](int first, int last, int column) {
        painted << QStringLiteral("%1 %2-%3").arg(Items().Column(column).caption).arg(first).arg(last);
    };
    const auto arrive = [&](int row, const char* value, const char* quality, const char* time, editor::ValueLevel level) {
        painted.clear();
        feed.Arrive(Id(row), {QString::fromUtf8(value), QString::fromUtf8(quality), QString::fromUtf8(time), level});
        return painted;
    };
    using editor::ValueLevel;
    EXPECT_EQ(arrive(1, "1", "Good", "10:00", ValueLevel::Good), (QStringList{"Value 1-1", "Quality 1-1", "Time 1-1"}));
    EXPECT_EQ(arrive(1, "2", "Good", "10:01", ValueLevel::Good), (QStringList{"Value 1-1", "Time 1-1"}));
    EXPECT_EQ(arrive(1, "2", "Good", "10:02", ValueLevel::Good), QStringList{"Time 1-1"});
    // Its colour changes: the whole row, then and when it goes back.
    EXPECT_EQ(arrive(1, "2", "Bad_ConnectionLost", "10:02", ValueLevel::Bad), QStringList{"rows 1-1"});
    EXPECT_EQ(arrive(1, "3", "Good", "10:05", ValueLevel::Good), QStringList{"rows 1-1"});
    EXPECT_EQ(arrive(2, "", "Bad_NodeIdUnknown", "", ValueLevel::Bad), QStringList{"rows 2-2"});
    // Scrolled away (rows 0 and 1 watched) and back: the row's first value
    // since is painted in full, though it reads as before.
    Items().SetVisibleRows(0, 0);
    Window().Online().WatchNow();
    EXPECT_EQ(painted.back(), QStringLiteral("rows 0-0")) << "the colours of the rows on screen";
    Items().SetVisibleRows(2, 2);
    Window().Online().WatchNow();
    EXPECT_EQ(arrive(2, "", "Bad_NodeIdUnknown", "", ValueLevel::Bad), QStringList{"rows 2-2"});
}

TEST_F(ItemGridOnlineTest, OnlyTheRowsOnScreenAndAPageAroundThemAreWatched) {
    Click(nk::DeviceKey(1, QString(), false));  // every item of PLC1
    const int rows = Items().RowCount();
    ASSERT_GE(rows, 7);
    RunTool("mnuViewOnline");
    FakeFeed& feed = *feeds.value(1);
    // The view says rows 3 and 4 are on screen: those first, then two above and two below.
    Items().SetVisibleRows(3, 4);
    Window().Online().WatchNow();
    EXPECT_EQ(feed.shows.back(), (std::vector<int>{Id(3), Id(4), Id(1), Id(2), Id(5), Id(6)}));
    // Other rows (another node) are watched anew; the old device's feed lets go of its items.
    Click(nk::DeviceKey(3, QString(), false));
    Window().Online().WatchNow();
    EXPECT_TRUE(feed.shows.back().empty());
    ASSERT_TRUE(feeds.contains(3));
    EXPECT_EQ(feeds.value(3)->shows.back().size(), static_cast<std::size_t>(Items().RowCount()));
}

TEST_F(ItemGridOnlineTest, ADeviceThatCannotBeOnlineSaysSoOnceInTheStatusBar) {
    notOnline.insert(2, QStringLiteral("Device 2 has an own driver."));
    refusing.insert(3);
    RunTool("mnuViewOnline", nk::DeviceKey(2, QString(), false));
    Click(nk::DeviceKey(2, QString(), false));
    Window().Online().WatchNow();
    ASSERT_GT(Items().RowCount(), 1);
    EXPECT_EQ(Window().sb().Notices().filter(QStringLiteral("Device 2")),
              QStringList{QStringLiteral("Device 2 has an own driver.")});
    EXPECT_EQ(Live(0), (QStringList{"", "", ""}));
    EXPECT_EQ(Window().Online().Feed(2), nullptr);
    // A server that cannot be reached is named with the reason; the first notice goes with its rows.
    Click(nk::DeviceKey(3, QString(), false));
    Window().Online().WatchNow();
    EXPECT_EQ(Window().sb().Notices(), QStringList{QStringLiteral("Device 3: no connection to the server. connection refused")});
    // A server lost while online says why until it is back.
    Click(nk::DeviceKey(1, QString(), false));
    Window().Online().WatchNow();
    feeds.value(1)->status = QStringLiteral("the server went away");
    Window().Online().Poll();
    EXPECT_EQ(Window().sb().Notices().filter(QStringLiteral("Device 1")),
              QStringList{QStringLiteral("Device 1: no connection to the server. the server went away")});
    feeds.value(1)->status.clear();
    Window().Online().Poll();
    EXPECT_TRUE(Window().sb().Notices().filter(QStringLiteral("Device 1")).isEmpty());
    RunTool("mnuViewOnline");
    EXPECT_TRUE(Window().sb().Notices().isEmpty());
}

TEST_F(ItemGridOnlineTest, WriteValueNeedsOnlineAWritableItemAndTheEditRight) {
    Click(motor1);  // its items may only be read
    const int rights = Items().ColumnIndex(QStringLiteral("AccessRights"));
    Items().SetCurrentCell(0, rights);
    ASSERT_TRUE(Items().BeginEdit(0, rights));
    ASSERT_TRUE(Items().CommitEdit(3));
    EXPECT_FALSE(WriteEnabled()) << "not online";
    RunTool("mnuViewOnline");
    EXPECT_TRUE(WriteEnabled());
    Items().SetCurrentCell(1, rights);
    EXPECT_FALSE(WriteEnabled()) << "read rights only";
    Items().SetCurrentCell(0, rights);
    host::Authorization::Current() = {2, true};  // below the level that edits items
    EXPECT_FALSE(WriteEnabled());
}

}  // namespace
