// The item commands, driven as a person drives them: select rows, choose a
// menu entry, answer the question.

#include "objects/FilledProjectTest.h"
#include "platform/ui/Progress.h"

#include <numeric>

using namespace ov;
using test::Words;
namespace nk = ov::host::nodekey;

namespace {

class MItemTest : public test::FilledProjectTest {
  protected:
    void SetUp() override {
        Open([](db::Connection& c) {
            c.Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, HierarchBrowseSeparator) "
                                     "VALUES (1, 'Dev', '.'), (2, 'Other', '.')"));
            test::AddItems(c, 1, Words("A.B.t1 A.B.C.t2 A.t3 C.x Top"), 0, 1);
        });
    }
    // A branch command from the tree on a folder of device 1.
    void OnFolder(const char* path, const char* tool) { OnNode(Folder(path), tool, true); }
    QStringList Names(int deviceId = 1) {
        return Values(QStringLiteral("SELECT Name FROM TpdbItems WHERE DeviceID = %1 ORDER BY Name").arg(deviceId));
    }
    int ItemsWhere(const char* where) {
        return Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE %1").arg(QString::fromUtf8(where)));
    }
    static void RenameTo(const QString& name) {
        ui::DefaultFormRunner().Once(QStringLiteral("FItemStructEditor"), test::Typing({{"TxtName", name}}));
    }
};

TEST_F(MItemTest, NewItemsTakeTheFirstFreeNumberInTheirFolder) {
    OnNode(Folder("A.B"), "mnuItemNew");
    Tool(Folder("A.B"), "mnuItemNew");
    EXPECT_EQ(Names(), Words("A.B.0 A.B.1 A.B.C.t2 A.B.t1 A.t3 C.x Top"));
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbConnections WHERE GroupID = 1")), 7) << "new items join group 1";
    EXPECT_EQ(Items().RowCount(), 3) << "the folder shows the new items";
    EXPECT_EQ(FolderCount(Folder("A.B")), 4) << "the tree counts them";

    OnNode(nk::DeviceKey(2, QStringLiteral("."), false), "mnuItemNew");
    EXPECT_EQ(Names(2), Words("0")) << "the first item of an empty device is named 0";
}

TEST_F(MItemTest, PasteNamesCopiesLikeADesktop) {
    Click(device);
    ASSERT_EQ(Items().RowCount(), 1);
    Items().SelectRows({0});
    for (const char* tool : {"mnuItemCopy", "mnuItemPaste", "mnuItemPaste"}) Tool(device, tool);
    for (const char* copy : {"Copy of Top", "copy(2) of Top"}) EXPECT_TRUE(Names().contains(QString::fromUtf8(copy))) << copy;
    EXPECT_EQ(Items().RowCount(), 3);
    EXPECT_EQ(ItemsWhere("ItemAccess = 'copy(2) of Top'"), 1) << "in the item-access view the address is the new name";
}

TEST_F(MItemTest, DeleteAsksAndTakesEverythingOfTheItemAlong) {
    auto& c = Window().Data()->Connection();
    c.Execute(QStringLiteral("INSERT INTO TpdbSimulation (ItemID, SimulationFunction) SELECT ID, 'Function1' FROM TpdbItems WHERE Name = 'A.t3'"));
    c.Execute(QStringLiteral("INSERT INTO TpdbAlign (ItemID) SELECT ID FROM TpdbItems WHERE Name = 'A.t3'"));
    c.Execute(QStringLiteral("INSERT INTO TidxTexts (Name, L1033) VALUES ('Dev.A.t3', 'text')"));
    c.Execute(QStringLiteral("UPDATE TpdbItems SET TextID = (SELECT MAX(ID) FROM TidxTexts) WHERE Name = 'A.t3'"));
    Window().RefreshUnboundSources();

    Click(Folder("A"));
    ASSERT_EQ(Items().RowCount(), 1);
    Items().SelectRows({0});
    Tool(Folder("A"), "mnuItemDelete");
    ASSERT_EQ(ui::DefaultMessageBoxes().Shown().size(), 1u);
    EXPECT_EQ(LastMessage(), QStringLiteral("You really want to delete 1 Items ?"));
    EXPECT_EQ(Names().size(), 5) << "Cancel is the default answer";

    ui::DefaultMessageBoxes().Queue(ui::Answer::OK);
    Items().SelectRows({0});
    Tool(Folder("A"), "mnuItemDelete");
    EXPECT_EQ(Names(), Words("A.B.C.t2 A.B.t1 C.x Top"));
    EXPECT_EQ(Rows({"TpdbSimulation", "TpdbAlign", "TidxTexts WHERE Name = 'Dev.A.t3'", "TpdbConnections"}),
              (std::vector<int>{0, 0, 0, 4}));
    EXPECT_EQ(FolderCount(Folder("A")), 2);

    DontAskOnDelete();
    Click(device);
    Items().SelectRows({0});
    ui::DefaultMessageBoxes().Clear();
    Tool(device, "mnuItemDelete");
    EXPECT_TRUE(ui::DefaultMessageBoxes().Shown().empty()) << "no question without RequestOnDelete";
    EXPECT_FALSE(Names().contains(QStringLiteral("Top")));
}

TEST_F(MItemTest, AfterADeleteTheGridShowsTheRestAndEditsReachTheRightRecord) {
    test::AddItems(Window().Data()->Connection(), 1, Words("D.a D.b D.c D.d D.e"));
    harness.Session().Reload();
    DontAskOnDelete();
    Click(Folder("D"));
    ui::GridModel& grid = Items();
    ASSERT_EQ(grid.RowCount(), 5);
    grid.SelectRows({1, 3});
    Tool(Folder("D"), "mnuItemDelete");
    ASSERT_EQ(grid.RowCount(), 3);
    QStringList shown;
    for (int r = 0; r < grid.RowCount(); ++r) shown << grid.CellText(r, grid.ColumnIndex(QStringLiteral("ItemAccess")));
    EXPECT_EQ(shown, Words("D.a D.c D.e"));
    EXPECT_TRUE(grid.SelectedBookmarks().empty());

    // The row a person edits next is the row written.
    test::Edit(grid, 1, grid.ColumnIndex(QStringLiteral("Comment")), QStringLiteral("edited"));
    Window().CommitGridEdits();
    EXPECT_EQ(ItemsWhere("Comment = 'edited' AND Name = 'D.c'"), 1);
    EXPECT_EQ(ItemsWhere("Comment = 'edited'"), 1);
}

TEST_F(MItemTest, RenamingAFolderRenamesEverythingBelowItAndAvoidsTakenNames) {
    ui::DefaultFormRunner().Once(QStringLiteral("FItemStructEditor"), [](ui::Form& f) {
        EXPECT_EQ(f.Get(QStringLiteral("TxtName")).text, QStringLiteral("B"));
        test::Typing({{"TxtName", QStringLiteral("X")}})(f);
    });
    OnFolder("A.B", "mnuDeviceHelperItemRename");
    EXPECT_EQ(Names(), Words("A.t3 A.X.C.t2 A.X.t1 C.x Top"));
    EXPECT_TRUE(harness.Host().HasNode(Folder("A.X")));
    EXPECT_FALSE(harness.Host().HasNode(Folder("A.B")));
    EXPECT_EQ(Window().CurrentNode(), Folder("A.X"));

    // An empty name lifts the items one level up.
    RenameTo(QString());
    Tool(Folder("A.X"), "mnuDeviceHelperItemRename", true);
    EXPECT_EQ(Names(), Words("A.C.t2 A.t1 A.t3 C.x Top"));

    // Names already taken get a suffix.
    test::AddItems(Window().Data()->Connection(), 1, Words("x"));
    RenameTo(QString());
    OnFolder("C", "mnuDeviceHelperItemRename");
    EXPECT_EQ(Names(), Words("A.C.t2 A.t1 A.t3 Top x x(1)"));

    ui::DefaultFormRunner().Once(QStringLiteral("FItemStructEditor"), [](ui::Form& f) { f.PressCancel(); });
    OnFolder("A", "mnuDeviceHelperItemRename");
    EXPECT_EQ(Names(), Words("A.C.t2 A.t1 A.t3 Top x x(1)")) << "a cancelled rename changes nothing";
}

TEST_F(MItemTest, BranchCopyPastesUnderAnotherFolderOrDevice) {
    OnFolder("A.B", "mnuDeviceHelperItemsCopy");
    OnFolder("C", "mnuDeviceHelperItemsPaste");
    EXPECT_EQ(Names(), Words("A.B.C.t2 A.B.t1 A.t3 C.B.C.t2 C.B.t1 C.x Top"));
    const QString other = nk::DeviceKey(2, QStringLiteral("."), false);
    OnNode(other, "mnuDeviceHelperItemsPaste", true);
    EXPECT_EQ(Names(2), Words("B.C.t2 B.t1"));
    EXPECT_EQ(FolderCount(other + nk::kSeparator + QStringLiteral("B")), 2);
}

TEST_F(MItemTest, BranchDeleteAsksAndCancelStillEmptiesTheBuffer) {
    OnFolder("A", "mnuDeviceHelperItemsCopy");
    EXPECT_TRUE(Window().itemBufferFilled);
    Tool(Folder("A"), "mnuDeviceHelperItemsDelete", true);
    EXPECT_TRUE(LastMessage().contains(QStringLiteral(" 3 ")));
    EXPECT_EQ(Names().size(), 5);
    EXPECT_FALSE(Window().itemBufferFilled);
    ui::DefaultMessageBoxes().Queue(ui::Answer::OK);
    Tool(Folder("A"), "mnuDeviceHelperItemsDelete", true);
    EXPECT_EQ(Names(), Words("C.x Top"));
    EXPECT_FALSE(harness.Host().HasNode(Folder("A"))) << "the emptied folder is gone";
}

// Commands on tens of thousands of items show progress; Cancel leaves the
// database, the tree and the status bar as they were, without a message.
class LongItemWorkTest : public MItemTest {
  protected:
    void SetUp() override {
        MItemTest::SetUp();
        auto& c = Window().Data()->Connection();
        QStringList names;
        for (int i = 0; i < kItems; ++i) names << QStringLiteral("Big.I%1").arg(i);
        c.BeginTrans();
        test::AddItems(c, 1, names);
        c.CommitTrans();
        harness.Session().Reload();
        harness.Session().NodeExpand(QString(), QStringLiteral("OPCE0"), QString());
        DontAskOnDelete();
        ui::DefaultMessageBoxes().Clear();
    }
    void TearDown() override {
        ui::DefaultProgress().cancelAt = -1;
        MItemTest::TearDown();
    }
    QString Fingerprint() {
        return QStringLiteral("%1/%2/%3")
            .arg(ItemsWhere("1"))
            .arg(ItemsWhere("Name Like 'Big.%'"))
            .arg(Count(QStringLiteral("SELECT Count(*) FROM TpdbConnections")));
    }
    // Runs a tool on the folder Big with Cancel once half the items are done.
    void CancelHalfway(const char* tool) {
        const QString before = Fingerprint();
        ui::DefaultProgress().cancelAt = kItems / 2;
        OnNode(big, tool, true);
        ui::DefaultProgress().cancelAt = -1;
        EXPECT_GE(ui::DefaultProgress().Last(), kItems / 2) << tool << ": the work ran until the Cancel";
        EXPECT_EQ(Fingerprint(), before) << tool;
        EXPECT_EQ(LastMessage(), QString()) << tool << ": a Cancel is no error";
        EXPECT_TRUE(harness.Host().HasNode(big)) << tool;
        EXPECT_EQ(FolderCount(big), kItems) << tool;
    }

    static constexpr int kItems = 24000;
    const QString big = Folder("Big");
};

TEST_F(LongItemWorkTest, CancelLeavesEveryRowAsItWasWithoutItTheWorkIsDone) {
    ui::DefaultFormRunner().Always(QStringLiteral("FItemStructEditor"), test::Typing({{"TxtName", QStringLiteral("Huge")}}));
    CancelHalfway("mnuDeviceHelperItemRename");
    EXPECT_FALSE(harness.Host().HasNode(Folder("Huge")));
    CancelHalfway("mnuDeviceHelperItemsDelete");

    // A paste of the whole folder into itself, cancelled.
    OnNode(big, "mnuDeviceHelperItemsCopy", true);
    ASSERT_TRUE(Window().itemBufferFilled);
    CancelHalfway("mnuDeviceHelperItemsPaste");

    // The rows selected in the grid, deleted and cancelled.
    Click(big);
    std::vector<int> rows(Items().RowCount());
    std::iota(rows.begin(), rows.end(), 0);
    Items().SelectRows(rows);
    const QString before = Fingerprint();
    ui::DefaultProgress().cancelAt = 100;
    Tool(big, "mnuItemDelete");
    EXPECT_EQ(Fingerprint(), before);
    EXPECT_TRUE(ui::DefaultMessageBoxes().Shown().empty());

    // Without Cancel the work is done, the progress named after it.
    ui::DefaultProgress().cancelAt = -1;
    const int begun = ui::DefaultProgress().Begun();
    OnNode(big, "mnuDeviceHelperItemRename", true);
    EXPECT_EQ(ui::DefaultProgress().Begun(), begun + 1);
    EXPECT_EQ(ui::DefaultProgress().Title(), QStringLiteral("Rename: Big"));
    EXPECT_EQ(ItemsWhere("Name Like 'Huge.%'"), kItems);
    EXPECT_TRUE(harness.Host().HasNode(Folder("Huge")));
    EXPECT_FALSE(harness.Host().HasNode(big));

    // Small work shows none.
    OnFolder("C", "mnuDeviceHelperItemsDelete");
    EXPECT_EQ(ui::DefaultProgress().Begun(), begun + 1);
    EXPECT_FALSE(Names().contains(QStringLiteral("C.x")));
}

}  // namespace
