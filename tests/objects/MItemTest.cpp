// The item commands, driven as a person drives them: select rows, choose a
// menu entry, answer the question.

#include "editor/frmtabgridOPC.h"
#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "platform/db/Recordset.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Progress.h"
#include "settings/TextTable.h"
#include "support/SessionHarness.h"

#include <gtest/gtest.h>

using namespace ov;
namespace nk = ov::host::nodekey;

namespace {

const QString Y = QString(QChar(0xFF));

class MItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish);
        {
            auto c = project.Open();
            c->Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, HierarchBrowseSeparator) VALUES (1, 'Dev', '.')"));
            c->Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, HierarchBrowseSeparator) VALUES (2, 'Other', '.')"));
            for (const char* name : {"A.B.t1", "A.B.C.t2", "A.t3", "C.x", "Top"}) {
                c->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, ?, ?)"),
                           {QString::fromUtf8(name), QString::fromUtf8(name)});
            }
            c->Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) SELECT 1, ID FROM TpdbItems"));
        }
        harness.Start(project.Path());
        harness.Load();
        ASSERT_TRUE(harness.Session().IsLoaded());
        ui::DefaultMessageBoxes().Clear();
        ui::DefaultFormRunner().Clear();
    }
    void TearDown() override {
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kGerman);
        ui::DefaultFormRunner().Clear();
    }

    editor::frmtabgridOPC& Window() { return dynamic_cast<editor::frmtabgridOPC&>(*harness.Session().Window()); }
    void Click(const QString& key) { harness.Session().NodeClick(QString(), key, QString()); }
    void Tool(const QString& key, const char* tool, bool fromTree = false) {
        Window().ComputeAvailability(key, fromTree);
        ASSERT_TRUE(Window().IsToolEnabled(QString::fromUtf8(tool))) << tool;
        Window().ClickTool(QString::fromUtf8(tool));
    }
    QStringList Names(int device = 1) {
        auto c = project.Open();
        db::Recordset rs;
        rs.Open(QStringLiteral("SELECT Name FROM TpdbItems WHERE DeviceID = %1 ORDER BY Name").arg(device), *c);
        QStringList names;
        for (; !rs.IsEOF(); rs.MoveNext()) names << rs.Fields(0).Value().toString();
        return names;
    }
    int Count(const QString& sql) {
        auto c = project.Open();
        db::Recordset rs;
        rs.Open(sql, *c);
        return rs.RecordCount();
    }
    void SelectAllRows() {
        std::vector<int> rows;
        for (int r = 0; r < Window().tdbI().RowCount(); ++r) rows.push_back(r);
        Window().tdbI().SelectRows(rows);
    }
    QString Count(const QString& key, int) {
        QVariant value;
        return harness.Host().GetNodeProperty(key, host::kPropertyItemCount, value) == 0 ? value.toString() : QStringLiteral("-");
    }

    test::SessionHarness harness;
    test::TempProject project;
    const QString dev = nk::DeviceKey(1, QStringLiteral("."), false);
};

TEST_F(MItemTest, NewItemsTakeTheFirstFreeNumberInTheirFolder) {
    Click(dev + Y + QStringLiteral("A.B"));
    Tool(dev + Y + QStringLiteral("A.B"), "mnuItemNew");
    Tool(dev + Y + QStringLiteral("A.B"), "mnuItemNew");
    EXPECT_TRUE(Names().contains(QStringLiteral("A.B.0")));
    EXPECT_TRUE(Names().contains(QStringLiteral("A.B.1")));
    EXPECT_EQ(Count(QStringLiteral("SELECT * FROM TpdbConnections WHERE GroupID = 1")), 7) << "new items join group 1";
    EXPECT_EQ(Window().tdbI().RowCount(), 3) << "the folder shows the new items";
    EXPECT_EQ(Count(dev + Y + QStringLiteral("A.B"), 0), QStringLiteral("4")) << "the tree counts them";

    Click(nk::DeviceKey(2, QStringLiteral("."), false));
    Tool(nk::DeviceKey(2, QStringLiteral("."), false), "mnuItemNew");
    EXPECT_EQ(Names(2), QStringList{QStringLiteral("0")}) << "the first item of an empty device is named 0";
}

TEST_F(MItemTest, PasteNamesCopiesLikeADesktop) {
    Click(dev);
    const int top = Window().tdbI().RowCount();
    ASSERT_EQ(top, 1);
    Window().tdbI().SelectRows({0});
    Tool(dev, "mnuItemCopy");
    Tool(dev, "mnuItemPaste");
    Tool(dev, "mnuItemPaste");
    EXPECT_TRUE(Names().contains(QStringLiteral("Copy of Top")));
    EXPECT_TRUE(Names().contains(QStringLiteral("copy(2) of Top")));
    EXPECT_EQ(Window().tdbI().RowCount(), 3);
    EXPECT_EQ(Count(QStringLiteral("SELECT * FROM TpdbItems WHERE ItemAccess = 'copy(2) of Top'")), 1)
        << "in the item-access view the address is the new name";
}

TEST_F(MItemTest, DeleteAsksAndTakesEverythingOfTheItemAlong) {
    auto& data = *Window().Data();
    data.Connection().Execute(QStringLiteral("INSERT INTO TpdbSimulation (ItemID, SimulationFunction) SELECT ID, 'Function1' FROM TpdbItems WHERE Name = 'A.t3'"));
    data.Connection().Execute(QStringLiteral("INSERT INTO TpdbAlign (ItemID) SELECT ID FROM TpdbItems WHERE Name = 'A.t3'"));
    data.Connection().Execute(QStringLiteral("INSERT INTO TidxTexts (Name, L1033) VALUES ('Dev.A.t3', 'text')"));
    data.Connection().Execute(QStringLiteral("UPDATE TpdbItems SET TextID = (SELECT MAX(ID) FROM TidxTexts) WHERE Name = 'A.t3'"));
    Window().RefreshUnboundSources();

    Click(dev + Y + QStringLiteral("A"));
    ASSERT_EQ(Window().tdbI().RowCount(), 1);
    Window().tdbI().SelectRows({0});
    Tool(dev + Y + QStringLiteral("A"), "mnuItemDelete");
    ASSERT_EQ(ui::DefaultMessageBoxes().Shown().size(), 1u);
    EXPECT_EQ(ui::DefaultMessageBoxes().Shown()[0].text, QStringLiteral("You really want to delete 1 Items ?"));
    EXPECT_EQ(Names().size(), 5) << "Cancel is the default answer";

    ui::DefaultMessageBoxes().Queue(ui::Answer::OK);
    Window().tdbI().SelectRows({0});
    Tool(dev + Y + QStringLiteral("A"), "mnuItemDelete");
    EXPECT_FALSE(Names().contains(QStringLiteral("A.t3")));
    EXPECT_EQ(Count(QStringLiteral("SELECT * FROM TpdbSimulation")), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT * FROM TpdbAlign")), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT * FROM TidxTexts WHERE Name = 'Dev.A.t3'")), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT * FROM TpdbConnections")), 4);
    EXPECT_EQ(Count(dev + Y + QStringLiteral("A"), 0), QStringLiteral("2"));

    Window().Settings().WriteAValueToCInits(QStringLiteral("RequestOnDelete"), false);
    Click(dev);
    Window().tdbI().SelectRows({0});
    ui::DefaultMessageBoxes().Clear();
    Tool(dev, "mnuItemDelete");
    EXPECT_TRUE(ui::DefaultMessageBoxes().Shown().empty()) << "no question without RequestOnDelete";
    EXPECT_FALSE(Names().contains(QStringLiteral("Top")));
}

TEST_F(MItemTest, AfterADeleteTheGridShowsTheRestAndEditsReachTheRightRecord) {
    auto& c = Window().Data()->Connection();
    for (const char* name : {"D.a", "D.b", "D.c", "D.d", "D.e"})
        c.Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, ?, ?)"),
                  {QString::fromUtf8(name), QString::fromUtf8(name)});
    harness.Session().Reload();
    Window().Settings().WriteAValueToCInits(QStringLiteral("RequestOnDelete"), false);
    const QString folder = dev + Y + QStringLiteral("D");
    Click(folder);
    ui::GridModel& grid = Window().tdbI();
    const int access = grid.ColumnIndex(QStringLiteral("ItemAccess"));
    const int comment = grid.ColumnIndex(QStringLiteral("Comment"));
    ASSERT_EQ(grid.RowCount(), 5);
    grid.SelectRows({1, 3});
    Tool(folder, "mnuItemDelete");
    ASSERT_EQ(grid.RowCount(), 3);
    QStringList shown;
    for (int r = 0; r < grid.RowCount(); ++r) shown << grid.CellText(r, access);
    EXPECT_EQ(shown, (QStringList{QStringLiteral("D.a"), QStringLiteral("D.c"), QStringLiteral("D.e")}));
    EXPECT_TRUE(grid.SelectedBookmarks().empty());

    // The row a person edits next is the row written.
    ASSERT_TRUE(grid.BeginEdit(1, comment));
    grid.CommitEdit(QStringLiteral("edited"));
    Window().CommitGridEdits();
    EXPECT_EQ(Count(QStringLiteral("SELECT ID FROM TpdbItems WHERE Comment = 'edited' AND Name = 'D.c'")), 1);
    EXPECT_EQ(Count(QStringLiteral("SELECT ID FROM TpdbItems WHERE Comment = 'edited'")), 1);
}

TEST_F(MItemTest, RenamingAFolderRenamesEverythingBelowIt) {
    ui::DefaultFormRunner().Once(QStringLiteral("FItemStructEditor"), [](ui::Form& f) {
        EXPECT_EQ(f.Get(QStringLiteral("TxtName")).text, QStringLiteral("B"));
        f.UserSetText(QStringLiteral("TxtName"), QStringLiteral("X"));
        f.PressDefault();
    });
    Click(dev + Y + QStringLiteral("A.B"));
    Tool(dev + Y + QStringLiteral("A.B"), "mnuDeviceHelperItemRename", true);
    EXPECT_EQ(Names(), (QStringList{QStringLiteral("A.t3"), QStringLiteral("A.X.C.t2"), QStringLiteral("A.X.t1"),
                                    QStringLiteral("C.x"), QStringLiteral("Top")}));
    EXPECT_TRUE(harness.Host().HasNode(dev + Y + QStringLiteral("A.X")));
    EXPECT_FALSE(harness.Host().HasNode(dev + Y + QStringLiteral("A.B")));
    EXPECT_EQ(Window().CurrentNode(), dev + Y + QStringLiteral("A.X"));

    // An empty name lifts the items one level up.
    ui::DefaultFormRunner().Once(QStringLiteral("FItemStructEditor"), [](ui::Form& f) {
        f.UserSetText(QStringLiteral("TxtName"), QString());
        f.PressDefault();
    });
    Tool(dev + Y + QStringLiteral("A.X"), "mnuDeviceHelperItemRename", true);
    EXPECT_EQ(Names(), (QStringList{QStringLiteral("A.C.t2"), QStringLiteral("A.t1"), QStringLiteral("A.t3"),
                                    QStringLiteral("C.x"), QStringLiteral("Top")}));
}

TEST_F(MItemTest, RenamingOntoTakenNamesAddsASuffix) {
    auto& data = *Window().Data();
    data.Connection().Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, 'x', 'x')"));
    ui::DefaultFormRunner().Once(QStringLiteral("FItemStructEditor"), [](ui::Form& f) {
        f.UserSetText(QStringLiteral("TxtName"), QString());
        f.PressDefault();
    });
    Click(dev + Y + QStringLiteral("C"));
    Tool(dev + Y + QStringLiteral("C"), "mnuDeviceHelperItemRename", true);
    EXPECT_TRUE(Names().contains(QStringLiteral("x(1)"))) << Names().join(u' ').toStdString();

    ui::DefaultFormRunner().Once(QStringLiteral("FItemStructEditor"), [](ui::Form& f) { f.PressCancel(); });
    Click(dev + Y + QStringLiteral("A"));
    Tool(dev + Y + QStringLiteral("A"), "mnuDeviceHelperItemRename", true);
    EXPECT_TRUE(Names().contains(QStringLiteral("A.t3"))) << "a cancelled rename changes nothing";
}

TEST_F(MItemTest, BranchCopyPastesUnderAnotherFolderOrDevice) {
    Click(dev + Y + QStringLiteral("A.B"));
    Tool(dev + Y + QStringLiteral("A.B"), "mnuDeviceHelperItemsCopy", true);
    Click(dev + Y + QStringLiteral("C"));
    Tool(dev + Y + QStringLiteral("C"), "mnuDeviceHelperItemsPaste", true);
    EXPECT_TRUE(Names().contains(QStringLiteral("C.B.t1")));
    EXPECT_TRUE(Names().contains(QStringLiteral("C.B.C.t2")));
    const QString other = nk::DeviceKey(2, QStringLiteral("."), false);
    Click(other);
    Tool(other, "mnuDeviceHelperItemsPaste", true);
    EXPECT_EQ(Names(2), (QStringList{QStringLiteral("B.C.t2"), QStringLiteral("B.t1")}));
    EXPECT_EQ(Count(other + Y + QStringLiteral("B"), 0), QStringLiteral("2"));
}

TEST_F(MItemTest, BranchDeleteAsksAndCancelStillEmptiesTheBuffer) {
    Click(dev + Y + QStringLiteral("A"));
    Tool(dev + Y + QStringLiteral("A"), "mnuDeviceHelperItemsCopy", true);
    EXPECT_TRUE(Window().itemBufferFilled);
    Tool(dev + Y + QStringLiteral("A"), "mnuDeviceHelperItemsDelete", true);
    EXPECT_TRUE(ui::DefaultMessageBoxes().Shown().back().text.contains(QStringLiteral(" 3 ")));
    EXPECT_EQ(Names().size(), 5);
    EXPECT_FALSE(Window().itemBufferFilled);
    ui::DefaultMessageBoxes().Queue(ui::Answer::OK);
    Tool(dev + Y + QStringLiteral("A"), "mnuDeviceHelperItemsDelete", true);
    EXPECT_EQ(Names(), (QStringList{QStringLiteral("C.x"), QStringLiteral("Top")}));
    EXPECT_FALSE(harness.Host().HasNode(dev + Y + QStringLiteral("A"))) << "the emptied folder is gone";
}

// Commands on tens of thousands of items show progress; Cancel leaves the
// database, the tree and the status bar as they were, without a message.
class LongItemWorkTest : public MItemTest {
  protected:
    void SetUp() override {
        MItemTest::SetUp();
        auto& c = Window().Data()->Connection();
        c.BeginTrans();
        for (int i = 0; i < kItems; ++i) {
            const QString name = QStringLiteral("Big.I%1").arg(i);
            c.Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, ?, ?)"), {name, name});
        }
        c.CommitTrans();
        harness.Session().Reload();
        harness.Session().NodeExpand(QString(), QStringLiteral("OPCE0"), QString());
        Window().Settings().WriteAValueToCInits(QStringLiteral("RequestOnDelete"), false);
        ui::DefaultMessageBoxes().Clear();
    }
    void TearDown() override {
        ui::DefaultProgress().cancelAt = -1;
        MItemTest::TearDown();
    }
    QString Fingerprint() {
        return QStringLiteral("%1/%2/%3")
            .arg(Count(QStringLiteral("SELECT ID FROM TpdbItems")))
            .arg(Count(QStringLiteral("SELECT ID FROM TpdbItems WHERE Name Like 'Big.%'")))
            .arg(Count(QStringLiteral("SELECT ItemID FROM TpdbConnections")));
    }
    // Runs a tool on the folder Big with Cancel once half the items are done.
    void CancelHalfway(const char* tool) {
        const QString before = Fingerprint();
        ui::DefaultProgress().cancelAt = kItems / 2;
        Click(big);
        Tool(big, tool, true);
        ui::DefaultProgress().cancelAt = -1;
        EXPECT_GE(ui::DefaultProgress().Last(), kItems / 2) << tool << ": the work ran until the Cancel";
        EXPECT_EQ(Fingerprint(), before) << tool;
        EXPECT_TRUE(ui::DefaultMessageBoxes().Shown().empty()) << tool << ": a Cancel is no error " << ui::DefaultMessageBoxes().Shown().front().text.toStdString();
        EXPECT_TRUE(harness.Host().HasNode(big)) << tool;
        EXPECT_EQ(Count(big, 0), QString::number(kItems)) << tool;
    }

    static constexpr int kItems = 24000;
    const QString big = dev + Y + QStringLiteral("Big");
};

TEST_F(LongItemWorkTest, CancelLeavesEveryRowAsItWas) {
    ui::DefaultFormRunner().Always(QStringLiteral("FItemStructEditor"), [](ui::Form& f) {
        f.UserSetText(QStringLiteral("TxtName"), QStringLiteral("Huge"));
        f.PressDefault();
    });
    CancelHalfway("mnuDeviceHelperItemRename");
    EXPECT_FALSE(harness.Host().HasNode(dev + Y + QStringLiteral("Huge")));
    CancelHalfway("mnuDeviceHelperItemsDelete");

    // A paste of the whole folder into itself, cancelled.
    Click(big);
    Tool(big, "mnuDeviceHelperItemsCopy", true);
    ASSERT_TRUE(Window().itemBufferFilled);
    CancelHalfway("mnuDeviceHelperItemsPaste");

    // The rows selected in the grid, deleted and cancelled.
    Click(big);
    SelectAllRows();
    const QString before = Fingerprint();
    ui::DefaultProgress().cancelAt = 100;
    Tool(big, "mnuItemDelete");
    EXPECT_EQ(Fingerprint(), before);
    EXPECT_TRUE(ui::DefaultMessageBoxes().Shown().empty());
}

TEST_F(LongItemWorkTest, WithoutCancelTheWorkIsDoneAndTheProgressNamedAfterIt) {
    ui::DefaultFormRunner().Once(QStringLiteral("FItemStructEditor"), [](ui::Form& f) {
        f.UserSetText(QStringLiteral("TxtName"), QStringLiteral("Huge"));
        f.PressDefault();
    });
    const int begun = ui::DefaultProgress().Begun();
    Click(big);
    Tool(big, "mnuDeviceHelperItemRename", true);
    EXPECT_EQ(ui::DefaultProgress().Begun(), begun + 1);
    EXPECT_EQ(ui::DefaultProgress().Title(), QStringLiteral("Rename: Big"));
    EXPECT_EQ(Count(QStringLiteral("SELECT ID FROM TpdbItems WHERE Name Like 'Huge.%'")), kItems);
    EXPECT_TRUE(harness.Host().HasNode(dev + Y + QStringLiteral("Huge")));
    EXPECT_FALSE(harness.Host().HasNode(big));

    // Small work shows none.
    Click(dev + Y + QStringLiteral("C"));
    Tool(dev + Y + QStringLiteral("C"), "mnuDeviceHelperItemsDelete", true);
    EXPECT_EQ(ui::DefaultProgress().Begun(), begun + 1);
    EXPECT_FALSE(Names().contains(QStringLiteral("C.x")));
}

}  // namespace
