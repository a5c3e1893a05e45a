// The item grid as a person uses it: keys, selections, dialogs from cells,
// tooltips, on the demo project.

#include "editor/frmtabgridOPC.h"
#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "platform/db/Recordset.h"
#include "platform/host/HelpViewer.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"
#include "support/SessionHarness.h"

#include <gtest/gtest.h>

using namespace ov;
namespace nk = ov::host::nodekey;

namespace {

const QString Y = QString(QChar(0xFF));

class ItemGridTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish);
        harness.Start(project.Path());
        harness.Load();
        harness.Session().NodeClick(QString(), folder, QString());
        ASSERT_EQ(Grid().RowCount(), 3);
        ui::DefaultFormRunner().Clear();
        ui::DefaultMessageBoxes().Clear();
    }
    void TearDown() override {
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kGerman);
        ui::DefaultFormRunner().Clear();
    }
    editor::frmtabgridOPC& Window() {
        return dynamic_cast<editor::frmtabgridOPC&>(*harness.Session().Window());
    }
    ui::GridModel& Grid() { return Window().tdbI(); }
    int Column(const char* field) { return Grid().ColumnIndexInSplit(QString::fromUtf8(field), 1); }
    void Key(int code, int shift) { Grid().KeyDown(code, shift); }
    QVariant Stored(const char* field, const char* item) {
        auto c = project.Open();
        db::Recordset rs;
        rs.Open(QStringLiteral("SELECT %1 FROM TpdbItems WHERE ItemAccess = '%2'")
                    .arg(QString::fromUtf8(field), QString::fromUtf8(item)),
                *c);
        return rs.IsEOF() ? QVariant() : rs.Fields(0).Value();
    }

    test::SessionHarness harness;
    test::TempProject project{test::TempProject::Content::Demo};
    const QString folder = nk::DeviceKey(1, QStringLiteral("."), false) + Y + QStringLiteral("Line1.Motor1");
};

TEST_F(ItemGridTest, AnEditGoesToEverySelectedRow) {
    Grid().SelectRows({0, 1, 2});
    ASSERT_TRUE(Grid().BeginEdit(0, Column("Comment")));
    ASSERT_TRUE(Grid().CommitEdit(QStringLiteral("all three")));
    for (const char* item : {"Line1.Motor1.Speed", "Line1.Motor1.Current", "Line1.Motor1.Running"})
        EXPECT_EQ(Stored("Comment", item).toString(), QStringLiteral("all three")) << item;
    EXPECT_EQ(Grid().CurrentRow(), 0) << "the current row is restored";

    ASSERT_TRUE(Grid().BeginEdit(1, Column("FieldSize")));
    ASSERT_TRUE(Grid().CommitEdit(4));
    EXPECT_EQ(Stored("WriteThru", "Line1.Motor1.Running"), QVariant(true))
        << "an array is written through, in every row";

    ASSERT_TRUE(Grid().BeginEdit(0, Grid().ColumnIndexInSplit(QStringLiteral("ItemAccess"), 1)));
    Grid().CommitEdit(QStringLiteral("Line1.Motor1.Only"));
    EXPECT_EQ(Stored("ID", "Line1.Motor1.Current").isNull(), false) << "names are never copied to other rows";
}

TEST_F(ItemGridTest, CellsSetThroughDialogs) {
    ui::DefaultFormRunner().Once(QStringLiteral("FDefaultMode"), [](ui::Form& f) {
        f.UserCheck(QStringLiteral("chkDefaultMode"), true, 0);
        f.UserCheck(QStringLiteral("chkDefaultMode"), true, 3);
        f.PressDefault();
    });
    // Typing into the cell opens the dialog instead.
    EXPECT_FALSE(Grid().BeginEdit(0, Column("DefaultMode")));
    EXPECT_EQ(Stored("DefaultMode", "Line1.Motor1.Speed").toInt(), 9);
    EXPECT_EQ(Grid().CellText(0, Column("DefaultMode")),
              Window().tdbI().Column(Column("DefaultMode")).values.DisplayText(9));

    Window().Data()->Connection().Execute(
        QStringLiteral("UPDATE TpdbItems SET Options = 5 WHERE ItemAccess = 'Line1.Motor1.Speed'"));
    Grid().ReBind();
    EXPECT_EQ(Grid().CellText(0, Column("Options")), QStringLiteral("&H5"));
    ui::DefaultFormRunner().Once(QStringLiteral("FItemOptions"), [](ui::Form& f) {
        EXPECT_TRUE(f.Get(QStringLiteral("chkItemOptions"), 0).IsChecked());
        EXPECT_FALSE(f.Get(QStringLiteral("chkItemOptions"), 1).IsChecked());
        EXPECT_TRUE(f.Get(QStringLiteral("chkItemOptions"), 2).IsChecked());
        f.PressCancel();
    });
    Grid().SetCurrentCell(0, Column("Options"));
    Grid().ColumnButtonClicked(Column("Options"));
    EXPECT_EQ(ui::DefaultFormRunner().Shown().last(), QStringLiteral("FItemOptions"));
    EXPECT_EQ(Stored("Options", "Line1.Motor1.Speed").toInt(), 5) << "cancelled: unchanged";
}

TEST_F(ItemGridTest, KeysOfTheItemGrid) {
    // Ctrl+O sorts by the current column and back; the same item stays current.
    Grid().SetCurrentCell(2, Column("Comment"));
    const auto current = Grid().RowBookmark(2);
    Grid().SetCurrentCell(2, Grid().ColumnIndexInSplit(QStringLiteral("ItemAccess"), 1));
    Key(host::keys::kO, host::keys::kCtrl);
    EXPECT_EQ(Window().SortField(), QStringLiteral("ItemAccess"));
    EXPECT_EQ(Grid().CellText(0, Grid().ColumnIndexInSplit(QStringLiteral("ItemAccess"), 1)),
              QStringLiteral("Line1.Motor1.Current"));
    EXPECT_EQ(Grid().RowBookmark(Grid().CurrentRow()), current);
    Key(host::keys::kO, host::keys::kCtrl);
    EXPECT_EQ(Window().SortField(), QString());

    // Shift+Down selects as it goes.
    Grid().ClearSelection();
    Grid().SetCurrentCell(0, 0);
    int down = 40;
    Grid().KeyDown(down, host::keys::kShift);
    down = 40;
    Grid().KeyDown(down, host::keys::kShift);
    EXPECT_EQ(Grid().SelectedBookmarks().size(), 2u);
    EXPECT_EQ(Grid().CurrentRow(), 2);

    // Ctrl+C copies the selection; with nothing selected it empties the buffer.
    Key(host::keys::kC, host::keys::kCtrl);
    EXPECT_TRUE(Window().itemBufferFilled);
    Grid().ClearSelection();
    Key(host::keys::kC, host::keys::kCtrl);
    EXPECT_FALSE(Window().itemBufferFilled);

    // F8 makes a new item in the folder.
    Key(host::keys::kF8, 0);
    EXPECT_EQ(Grid().RowCount(), 4);
    int ctrlEnd = 34;
    Grid().KeyDown(ctrlEnd, host::keys::kCtrl);
    EXPECT_EQ(Grid().CurrentRow(), 3);
}

TEST_F(ItemGridTest, TooltipNamesTheGroupsOfTheItem) {
    const QString tip = Grid().CellTip(0, 0);
    EXPECT_EQ(tip, QStringLiteral("GRUPPEN:\r\nStandard\r\nFast")) << tip.toStdString();
    harness.Session().NodeClick(QString(), nk::DeviceKey(2, QString(), true), QString());
    EXPECT_EQ(Window().tdbI().CellTip(0, 0), QStringLiteral("GRUPPEN:\r\nStandard"));
}

}  // namespace

namespace {

TEST_F(ItemGridTest, TheItemDialogShowsAndWritesEveryField) {
    QStringList seen;
    ui::DefaultFormRunner().Once(QStringLiteral("FItem"), [&seen](ui::Form& f) {
        seen << f.Get(QStringLiteral("txtItemAccess")).text
             << f.Get(QStringLiteral("cmbDataType")).SelectedText()
             << f.Get(QStringLiteral("cmbSimulationFunction")).SelectedText()
             << f.Get(QStringLiteral("txtItemText")).text
             << (f.Get(QStringLiteral("TxtName")).enabled ? QStringLiteral("name editable")
                                                          : QStringLiteral("name follows"));
        f.UserSetText(QStringLiteral("txtFieldSize"), QStringLiteral("3"));
        EXPECT_TRUE(f.Get(QStringLiteral("chkWriteThru")).IsChecked()) << "an array is written through";
        EXPECT_TRUE(f.UserChoose(QStringLiteral("cmbDataType"), QStringLiteral("VT_R8")));
        f.UserSetText(QStringLiteral("txtComment"), QStringLiteral("from the dialog"));
        f.UserSetText(QStringLiteral("txtItemText"), QStringLiteral("Speed of motor one"));
        f.UserSetText(QStringLiteral("txtItemAccess"), QStringLiteral("Line1.Motor1.Rpm"));
        EXPECT_EQ(f.Get(QStringLiteral("TxtName")).text, QStringLiteral("Line1.Motor1.Rpm"));
        f.PressDefault();
    });
    Grid().SetCurrentCell(0, 0);
    Grid().DoubleClick();
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Line1.Motor1.Speed"), QStringLiteral("VT_R4"),
                                 QStringLiteral("Sinus"), QStringLiteral("Drehzahl Motor 1"),
                                 QStringLiteral("name follows")}));
    EXPECT_EQ(Stored("DataType", "Line1.Motor1.Rpm").toInt(), 5);
    EXPECT_EQ(Stored("FieldSize", "Line1.Motor1.Rpm").toInt(), 3);
    EXPECT_EQ(Stored("Name", "Line1.Motor1.Rpm").toString(), QStringLiteral("Line1.Motor1.Rpm"));
    EXPECT_EQ(Stored("Comment", "Line1.Motor1.Rpm").toString(), QStringLiteral("from the dialog"));
    EXPECT_EQ(Window().IndexTexts().GetItemText(Stored("TextID", "Line1.Motor1.Rpm"), 1031),
              QStringLiteral("Speed of motor one"));
    EXPECT_EQ(Window().SimulationOf(Stored("ID", "Line1.Motor1.Rpm")).first, QStringLiteral("Function1"))
        << "simulation kept";
    EXPECT_TRUE(harness.Host().HasNode(folder)) << "the folder stays with its items";
}

TEST_F(ItemGridTest, TheItemDialogRefusesNamesInUse) {
    ui::DefaultFormRunner().Once(QStringLiteral("FItem"), [](ui::Form& f) {
        // The identifying name has the focus, selected whole, from the start
        // and again after a refused name.
        EXPECT_EQ(f.Focus().control, QStringLiteral("txtItemAccess"));
        EXPECT_TRUE(f.Focus().selectAll);
        const int firstFocus = f.Focus().serial;
        f.UserSelectTab(QStringLiteral("tabItem"), 2);
        f.UserSetText(QStringLiteral("txtItemAccess"), QStringLiteral("Line1.Motor1.Current"));
        f.PressDefault();
        EXPECT_TRUE(f.IsShown()) << "a taken item access keeps the dialog open";
        EXPECT_GT(f.Focus().serial, firstFocus) << "the refused name takes the focus again";
        EXPECT_EQ(f.Get(QStringLiteral("tabItem")).listIndex, 0) << "on its page";
        f.UserSetText(QStringLiteral("txtItemAccess"), QString());
        EXPECT_FALSE(f.Get(QStringLiteral("cmdOK")).enabled) << "no OK without a name";
        f.PressCancel();
    });
    Grid().SetCurrentCell(0, 0);
    Window().ComputeAvailability(folder, false);
    Window().ClickTool(QStringLiteral("mnuItemEdit"));
    ASSERT_FALSE(ui::DefaultMessageBoxes().Shown().empty());
    EXPECT_EQ(ui::DefaultMessageBoxes().Shown().back().text, settings::Text(1532))
        << "name and item access are both taken";
    EXPECT_EQ(Stored("ID", "Line1.Motor1.Speed").isNull(), false) << "cancelled: nothing changed";
}

TEST_F(ItemGridTest, RefusedWritesLeaveTheStoredRecord) {
    const int access = Grid().ColumnIndexInSplit(QStringLiteral("ItemAccess"), 1);
    auto lastMessage = [] { return ui::DefaultMessageBoxes().Shown().back().text; };

    ASSERT_TRUE(Grid().BeginEdit(0, access));
    EXPECT_TRUE(Grid().CommitEdit(QStringLiteral("Line1.Motor1.Current")));
    EXPECT_EQ(lastMessage(), settings::Text(405));
    EXPECT_EQ(Grid().CellText(0, access), QStringLiteral("Line1.Motor1.Speed"))
        << "the stored name is shown again";
    EXPECT_FALSE(Stored("ID", "Line1.Motor1.Speed").isNull());

    for (const QString& empty : {QString(), QStringLiteral("   ")}) {
        ASSERT_TRUE(Grid().BeginEdit(0, access));
        Grid().CommitEdit(empty);
        EXPECT_EQ(lastMessage(), settings::Text(406));
        EXPECT_EQ(Grid().CellText(0, access), QStringLiteral("Line1.Motor1.Speed"));
    }

    ASSERT_TRUE(Grid().BeginEdit(0, Column("FieldSize")));
    EXPECT_FALSE(Grid().CommitEdit(QStringLiteral("abc")));
    EXPECT_TRUE(lastMessage().startsWith(QStringLiteral("Error: 6156  changes are aborted")))
        << lastMessage().toStdString();
    EXPECT_EQ(Stored("FieldSize", "Line1.Motor1.Speed").toInt(), 0);

    // Another program holds the write lock: the change is lost, the grid keeps its place.
    auto other = project.Open();
    other->BeginTrans();
    other->Execute(QStringLiteral("UPDATE TpdbItems SET Comment = 'held' WHERE ID < 0"));
    Window().Data()->Connection().SetBusyTimeout(20);
    Grid().SetCurrentCell(1, Column("Comment"));
    ASSERT_TRUE(Grid().BeginEdit(1, Column("Comment")));
    Grid().CommitEdit(QStringLiteral("never written"));
    other->RollbackTrans();
    EXPECT_TRUE(lastMessage().startsWith(QStringLiteral("Error: 6160  changes are aborted")))
        << lastMessage().toStdString();
    EXPECT_NE(Grid().CellText(1, Column("Comment")), QStringLiteral("never written"));
    EXPECT_EQ(Grid().CurrentRow(), 1);
    EXPECT_EQ(Grid().RowCount(), 3);
    Grid().SetCurrentCell(1, Column("Comment"));
    ASSERT_TRUE(Grid().BeginEdit(1, Column("Comment")));
    EXPECT_TRUE(Grid().CommitEdit(QStringLiteral("written now")));
    EXPECT_EQ(Grid().CellText(1, Column("Comment")), QStringLiteral("written now"))
        << "the grid works on after the error";
}

TEST_F(ItemGridTest, NamesAreStoredExactlyAsTyped) {
    const int access = Grid().ColumnIndexInSplit(QStringLiteral("ItemAccess"), 1);
    const QVariant id = Stored("ID", "Line1.Motor1.Speed");
    const QString odd = QStringLiteral("Line1.Motor1.O'Neil \"x\";100%_[a]");
    ASSERT_TRUE(Grid().BeginEdit(0, access));
    ASSERT_TRUE(Grid().CommitEdit(odd));
    auto c = project.Open();
    db::Recordset rs;
    rs.Open(QStringLiteral("SELECT Name, ItemAccess FROM TpdbItems WHERE ID = %1").arg(id.toInt()), *c);
    ASSERT_FALSE(rs.IsEOF());
    EXPECT_EQ(rs.Value(QStringLiteral("ItemAccess")).toString(), odd);
    EXPECT_EQ(rs.Value(QStringLiteral("Name")).toString(), odd) << "the name follows in the item-access view";
    EXPECT_TRUE(ui::DefaultMessageBoxes().Shown().empty());
}

TEST_F(ItemGridTest, MoreKeysOfTheItemGrid) {
    const int access = Grid().ColumnIndexInSplit(QStringLiteral("ItemAccess"), 1);
    auto press = [this](int code, int shift) {
        Grid().KeyDown(code, shift);
        return code;  // 0 when the grid consumed the key
    };

    // Shift+Up at the first row selects it and stays there.
    Grid().SetCurrentCell(0, access);
    EXPECT_EQ(press(38, host::keys::kShift), 0);
    EXPECT_EQ(Grid().CurrentRow(), 0);
    EXPECT_EQ(Grid().SelectedBookmarks().size(), 1u);

    // Shift+Right and Shift+Left walk the columns in display order while rows are selected.
    const auto order = [this] {
        std::vector<int> columns = Grid().DisplayColumns(0);
        for (int c : Grid().DisplayColumns(1)) columns.push_back(c);
        return columns;
    }();
    Grid().SetCurrentCell(0, order[0]);
    EXPECT_EQ(press(39, host::keys::kShift), 0);
    EXPECT_EQ(Grid().CurrentColumn(), order[1]);
    EXPECT_EQ(press(37, host::keys::kShift), 0);
    EXPECT_EQ(press(37, host::keys::kShift), 0);
    EXPECT_EQ(Grid().CurrentColumn(), order[0]) << "the first column stays current";
    Grid().ClearSelection();
    EXPECT_EQ(press(39, host::keys::kShift), 39) << "without a selection the key is the grid's own";

    // Ctrl+PageDown and Ctrl+PageUp go to the last and the first record.
    press(34, host::keys::kCtrl);
    EXPECT_EQ(Grid().CurrentRow(), 2);
    press(33, host::keys::kCtrl);
    EXPECT_EQ(Grid().CurrentRow(), 0);

    // Alt+F6 hands the focus to the project tree; Alt+Left/Right do nothing.
    EXPECT_EQ(press(host::keys::kF6, host::keys::kAlt), 0);
    EXPECT_TRUE(harness.Host().TreeHasFocus());
    EXPECT_EQ(press(37, host::keys::kAlt), 0);
    EXPECT_EQ(press(39, host::keys::kAlt), 0);

    // Ctrl+V pastes only what Ctrl+C copied; Ctrl+Delete deletes the selection after asking.
    press(host::keys::kV, host::keys::kCtrl);
    EXPECT_EQ(Grid().RowCount(), 3) << "nothing copied, nothing pasted";
    Grid().SelectRows({0});
    press(host::keys::kC, host::keys::kCtrl);
    press(host::keys::kV, host::keys::kCtrl);
    EXPECT_EQ(Grid().RowCount(), 4);
    Grid().SelectRows({0, 1});
    ui::DefaultMessageBoxes().Queue(ui::Answer::OK);
    EXPECT_EQ(press(host::keys::kDelete, host::keys::kCtrl), 0);
    EXPECT_EQ(Grid().RowCount(), 2);

    // F9 edits the current item.
    ui::DefaultFormRunner().Once(QStringLiteral("FItem"), [](ui::Form& f) { f.PressCancel(); });
    Grid().SetCurrentCell(0, access);
    press(host::keys::kF9, 0);
    ASSERT_FALSE(ui::DefaultFormRunner().Shown().isEmpty());
    EXPECT_EQ(ui::DefaultFormRunner().Shown().last(), QStringLiteral("FItem"));
}

TEST_F(ItemGridTest, F1OpensTheTopicOfWhatHasTheFocus) {
    const auto lastTopic = [] {
        const auto& asked = host::DefaultHelpViewer().Requests();
        return asked.empty() ? 0 : asked.back().topic;
    };
    int f1 = host::keys::kF1;
    Grid().KeyDown(f1, 0);
    EXPECT_EQ(f1, 0) << "the grid took the key";
    EXPECT_EQ(lastTopic(), settings::help::kItemGrid);

    Window().ShowHelp(QString());
    EXPECT_EQ(lastTopic(), settings::help::kDevices) << "the window: the topic of the node it shows";
    harness.Session().NodeKeyDown(QString(), nk::kGroups, QString(), f1 = host::keys::kF1, 0);
    EXPECT_EQ(lastTopic(), settings::help::kGroups);

    // The Help buttons of the dialogs, and F1 in them.
    ui::DefaultFormRunner().Once(QStringLiteral("FItem"), [](ui::Form& f) {
        f.UserClick(QStringLiteral("cmdHelp"));
        EXPECT_TRUE(f.IsShown()) << "help keeps the dialog open";
        f.PressCancel();
    });
    Window().ComputeAvailability(folder, false);
    Window().ClickTool(QStringLiteral("mnuItemEdit"));
    EXPECT_EQ(lastTopic(), settings::help::kItemDialog);
    ui::DefaultFormRunner().Once(QStringLiteral("FDefaultMode"), [](ui::Form& f) {
        f.UserHelp();
        f.PressCancel();
    });
    Grid().ColumnButtonClicked(Column("DefaultMode"));
    EXPECT_EQ(lastTopic(), settings::help::kDefaultModeDialog);
    EXPECT_EQ(host::DefaultHelpViewer().Requests().back().helpFile, harness.Session().HelpFile());
}

}  // namespace
