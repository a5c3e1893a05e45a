// The item grid as a person uses it: keys, selections, dialogs from cells,
// tooltips, on the demo project.

#include "objects/ObjectTest.h"
#include "platform/host/HelpViewer.h"
#include "settings/HelpTopics.h"

using namespace ov;
namespace nk = ov::host::nodekey;
namespace keys = ov::host::keys;

namespace {

class ItemGridTest : public test::ObjectTest {
  protected:
    void SetUp() override {
        Open();
        Click(folder);
        ASSERT_EQ(Grid().RowCount(), 3);
        ClearShown();
    }
    ui::GridModel& Grid() { return Window().tdbI(); }
    int Column(const char* field) { return Grid().ColumnIndexInSplit(QString::fromUtf8(field), 1); }
    int Press(int code, int shift = 0) { return ObjectTest::Press(Grid(), code, shift); }
    QVariant Stored(const char* field, const char* item) {
        return Query(QStringLiteral("SELECT %1 FROM TpdbItems WHERE ItemAccess = '%2'").arg(QString::fromUtf8(field), QString::fromUtf8(item)));
    }
    static QString LastMessage() { return ui::DefaultMessageBoxes().Shown().back().text; }
    // Edits the item of the current row in its dialog, from the menu.
    void EditItem(Script script) {
        OnForm("FItem", std::move(script));
        RunTool("mnuItemEdit", folder);
    }

    const QString folder = nk::DeviceKey(1, QStringLiteral("."), false) + nk::kSeparator + QStringLiteral("Line1.Motor1");
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
    EXPECT_EQ(Stored("WriteThru", "Line1.Motor1.Running"), QVariant(true)) << "an array is written through, in every row";

    ASSERT_TRUE(Grid().BeginEdit(0, Column("ItemAccess")));
    Grid().CommitEdit(QStringLiteral("Line1.Motor1.Only"));
    EXPECT_FALSE(Stored("ID", "Line1.Motor1.Current").isNull()) << "names are never copied to other rows";
}

TEST_F(ItemGridTest, CellsSetThroughDialogs) {
    OnForm("FDefaultMode", [](ui::Form& f) {
        f.UserCheck(QStringLiteral("chkDefaultMode"), true, 0);
        f.UserCheck(QStringLiteral("chkDefaultMode"), true, 3);
        f.PressDefault();
    });
    // Typing into the cell opens the dialog instead.
    EXPECT_FALSE(Grid().BeginEdit(0, Column("DefaultMode")));
    EXPECT_EQ(Stored("DefaultMode", "Line1.Motor1.Speed").toInt(), 9);
    EXPECT_EQ(Grid().CellText(0, Column("DefaultMode")), Grid().Column(Column("DefaultMode")).values.DisplayText(9));

    Window().Data()->Connection().Execute(QStringLiteral("UPDATE TpdbItems SET Options = 5 WHERE ItemAccess = 'Line1.Motor1.Speed'"));
    Grid().ReBind();
    EXPECT_EQ(Grid().CellText(0, Column("Options")), QStringLiteral("&H5"));
    OnForm("FItemOptions", [](ui::Form& f) {
        for (int bit : {0, 1, 2}) EXPECT_EQ(f.Get(QStringLiteral("chkItemOptions"), bit).IsChecked(), bit != 1) << bit;
        f.PressCancel();
    });
    Grid().SetCurrentCell(0, Column("Options"));
    Grid().ColumnButtonClicked(Column("Options"));
    EXPECT_EQ(ui::DefaultFormRunner().Shown().last(), QStringLiteral("FItemOptions"));
    EXPECT_EQ(Stored("Options", "Line1.Motor1.Speed").toInt(), 5) << "cancelled: unchanged";
}

TEST_F(ItemGridTest, KeysOfTheItemGrid) {
    // Ctrl+O sorts by the current column and back; the same item stays current.
    const int access = Column("ItemAccess");
    const auto current = Grid().RowBookmark(2);
    Grid().SetCurrentCell(2, access);
    Press(keys::kO, keys::kCtrl);
    EXPECT_EQ(Window().SortField(), QStringLiteral("ItemAccess"));
    EXPECT_EQ(Grid().CellText(0, access), QStringLiteral("Line1.Motor1.Current"));
    EXPECT_EQ(Grid().RowBookmark(Grid().CurrentRow()), current);
    Press(keys::kO, keys::kCtrl);
    EXPECT_EQ(Window().SortField(), QString());

    // Shift+Up at the first row selects it and stays there; Shift+Down selects as it goes.
    Grid().SetCurrentCell(0, access);
    EXPECT_EQ(Press(keys::kUp, keys::kShift), 0);
    EXPECT_EQ(Grid().CurrentRow(), 0);
    EXPECT_EQ(Grid().SelectedBookmarks().size(), 1u);
    Grid().ClearSelection();
    Press(keys::kDown, keys::kShift);
    Press(keys::kDown, keys::kShift);
    EXPECT_EQ(Grid().SelectedBookmarks().size(), 2u);
    EXPECT_EQ(Grid().CurrentRow(), 2);

    // Shift+Right and Shift+Left walk the columns in display order while rows are selected.
    std::vector<int> order = Grid().DisplayColumns(0);
    for (int c : Grid().DisplayColumns(1)) order.push_back(c);
    Grid().SetCurrentCell(0, order[0]);
    EXPECT_EQ(Press(keys::kRight, keys::kShift), 0);
    EXPECT_EQ(Grid().CurrentColumn(), order[1]);
    EXPECT_EQ(Press(keys::kLeft, keys::kShift), 0);
    EXPECT_EQ(Press(keys::kLeft, keys::kShift), 0);
    EXPECT_EQ(Grid().CurrentColumn(), order[0]) << "the first column stays current";

    // Ctrl+C copies the selection; with nothing selected it empties the buffer.
    Press(keys::kC, keys::kCtrl);
    EXPECT_TRUE(Window().itemBufferFilled);
    Grid().ClearSelection();
    EXPECT_EQ(Press(keys::kRight, keys::kShift), keys::kRight) << "without a selection the key is the grid's own";
    Press(keys::kC, keys::kCtrl);
    EXPECT_FALSE(Window().itemBufferFilled);

    // Ctrl+PageDown and Ctrl+PageUp go to the last and the first record.
    Press(keys::kPageDown, keys::kCtrl);
    EXPECT_EQ(Grid().CurrentRow(), 2);
    Press(keys::kPageUp, keys::kCtrl);
    EXPECT_EQ(Grid().CurrentRow(), 0);

    // Alt+F6 hands the focus to the project tree; Alt+Left/Right do nothing.
    EXPECT_EQ(Press(keys::kF6, keys::kAlt), 0);
    EXPECT_TRUE(harness.Host().TreeHasFocus());
    EXPECT_EQ(Press(keys::kLeft, keys::kAlt), 0);
    EXPECT_EQ(Press(keys::kRight, keys::kAlt), 0);

    // Ctrl+V pastes only what Ctrl+C copied; F8 makes a new item in the folder;
    // Ctrl+Delete deletes the selection after asking.
    Press(keys::kV, keys::kCtrl);
    EXPECT_EQ(Grid().RowCount(), 3) << "nothing copied, nothing pasted";
    Press(keys::kF8);
    EXPECT_EQ(Grid().RowCount(), 4);
    Press(keys::kPageDown, keys::kCtrl);
    EXPECT_EQ(Grid().CurrentRow(), 3) << "the new item is the last";
    Grid().SelectRows({0, 1});
    ui::DefaultMessageBoxes().Queue(ui::Answer::OK);
    EXPECT_EQ(Press(keys::kDelete, keys::kCtrl), 0);
    EXPECT_EQ(Grid().RowCount(), 2);
}

TEST_F(ItemGridTest, TooltipNamesTheGroupsOfTheItem) {
    const QString tip = Grid().CellTip(0, 0);
    EXPECT_EQ(tip, QStringLiteral("GRUPPEN:\r\nStandard\r\nFast")) << tip.toStdString();
    Click(nk::DeviceKey(2, QString(), true));
    EXPECT_EQ(Grid().CellTip(0, 0), QStringLiteral("GRUPPEN:\r\nStandard"));
}

TEST_F(ItemGridTest, TheItemDialogShowsAndWritesEveryField) {
    QStringList seen;
    OnForm("FItem", [&seen](ui::Form& f) {
        seen << Box(f, "txtItemAccess") << f.Get(QStringLiteral("cmbDataType")).SelectedText()
             << f.Get(QStringLiteral("cmbSimulationFunction")).SelectedText() << Box(f, "txtItemText")
             << (f.Get(QStringLiteral("TxtName")).enabled ? QStringLiteral("name editable") : QStringLiteral("name follows"));
        f.UserSetText(QStringLiteral("txtFieldSize"), QStringLiteral("3"));
        EXPECT_TRUE(f.Get(QStringLiteral("chkWriteThru")).IsChecked()) << "an array is written through";
        EXPECT_TRUE(f.UserChoose(QStringLiteral("cmbDataType"), QStringLiteral("VT_R8")));
        Fill(f, {{"txtComment", QStringLiteral("from the dialog")},
                 {"txtItemText", QStringLiteral("Speed of motor one")},
                 {"txtItemAccess", QStringLiteral("Line1.Motor1.Rpm")}});
        EXPECT_EQ(Box(f, "TxtName"), QStringLiteral("Line1.Motor1.Rpm"));
        f.PressDefault();
    });
    Grid().SetCurrentCell(0, 0);
    Grid().DoubleClick();
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Line1.Motor1.Speed"), QStringLiteral("VT_R4"), QStringLiteral("Sinus"),
                                 QStringLiteral("Drehzahl Motor 1"), QStringLiteral("name follows")}));
    EXPECT_EQ(Stored("DataType", "Line1.Motor1.Rpm").toInt(), 5);
    EXPECT_EQ(Stored("FieldSize", "Line1.Motor1.Rpm").toInt(), 3);
    EXPECT_EQ(Stored("Name", "Line1.Motor1.Rpm").toString(), QStringLiteral("Line1.Motor1.Rpm"));
    EXPECT_EQ(Stored("Comment", "Line1.Motor1.Rpm").toString(), QStringLiteral("from the dialog"));
    EXPECT_EQ(Window().IndexTexts().GetItemText(Stored("TextID", "Line1.Motor1.Rpm"), 1031), QStringLiteral("Speed of motor one"));
    EXPECT_EQ(Window().SimulationOf(Stored("ID", "Line1.Motor1.Rpm")).first, QStringLiteral("Function1")) << "simulation kept";
    EXPECT_TRUE(harness.Host().HasNode(folder)) << "the folder stays with its items";
}

TEST_F(ItemGridTest, TheItemDialogRefusesNamesInUse) {
    Grid().SetCurrentCell(0, 0);
    EditItem([](ui::Form& f) {
        // The identifying name has the focus, selected whole, from the start
        // and again after a refused name.
        EXPECT_EQ(f.Focus().control, QStringLiteral("txtItemAccess"));
        EXPECT_TRUE(f.Focus().selectAll);
        const int firstFocus = f.Focus().serial;
        f.UserSelectTab(QStringLiteral("tabItem"), 2);
        ExpectRefused(f, "txtItemAccess", {QStringLiteral("Line1.Motor1.Current")});
        EXPECT_GT(f.Focus().serial, firstFocus) << "the refused name takes the focus again";
        EXPECT_EQ(f.Get(QStringLiteral("tabItem")).listIndex, 0) << "on its page";
        f.UserSetText(QStringLiteral("txtItemAccess"), QString());
        EXPECT_FALSE(f.Get(QStringLiteral("cmdOK")).enabled) << "no OK without a name";
        f.PressCancel();
    });
    ASSERT_FALSE(Messages().isEmpty());
    EXPECT_EQ(LastMessage(), settings::Text(1532)) << "name and item access are both taken";
    EXPECT_FALSE(Stored("ID", "Line1.Motor1.Speed").isNull()) << "cancelled: nothing changed";
}

TEST_F(ItemGridTest, RefusedWritesLeaveTheStoredRecord) {
    const int access = Column("ItemAccess");
    ASSERT_TRUE(Grid().BeginEdit(0, access));
    EXPECT_TRUE(Grid().CommitEdit(QStringLiteral("Line1.Motor1.Current")));
    EXPECT_EQ(LastMessage(), settings::Text(405));
    EXPECT_EQ(Grid().CellText(0, access), QStringLiteral("Line1.Motor1.Speed")) << "the stored name is shown again";
    EXPECT_FALSE(Stored("ID", "Line1.Motor1.Speed").isNull());
    for (const QString& empty : {QString(), QStringLiteral("   ")}) {
        ASSERT_TRUE(Grid().BeginEdit(0, access));
        Grid().CommitEdit(empty);
        EXPECT_EQ(LastMessage(), settings::Text(406));
        EXPECT_EQ(Grid().CellText(0, access), QStringLiteral("Line1.Motor1.Speed"));
    }
    ASSERT_TRUE(Grid().BeginEdit(0, Column("FieldSize")));
    EXPECT_FALSE(Grid().CommitEdit(QStringLiteral("abc")));
    EXPECT_TRUE(LastMessage().startsWith(QStringLiteral("Error: 6156  changes are aborted"))) << LastMessage().toStdString();
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
    EXPECT_TRUE(LastMessage().startsWith(QStringLiteral("Error: 6160  changes are aborted"))) << LastMessage().toStdString();
    EXPECT_NE(Grid().CellText(1, Column("Comment")), QStringLiteral("never written"));
    EXPECT_EQ(Grid().CurrentRow(), 1);
    EXPECT_EQ(Grid().RowCount(), 3);
    Grid().SetCurrentCell(1, Column("Comment"));
    ASSERT_TRUE(Grid().BeginEdit(1, Column("Comment")));
    EXPECT_TRUE(Grid().CommitEdit(QStringLiteral("written now")));
    EXPECT_EQ(Grid().CellText(1, Column("Comment")), QStringLiteral("written now")) << "the grid works on after the error";
}

TEST_F(ItemGridTest, NamesAreStoredExactlyAsTyped) {
    const int id = Stored("ID", "Line1.Motor1.Speed").toInt();
    const QString odd = QStringLiteral("Line1.Motor1.O'Neil \"x\";100%_[a]");
    ASSERT_TRUE(Grid().BeginEdit(0, Column("ItemAccess")));
    ASSERT_TRUE(Grid().CommitEdit(odd));
    EXPECT_EQ(Query(QStringLiteral("SELECT ItemAccess FROM TpdbItems WHERE ID = %1").arg(id)).toString(), odd);
    EXPECT_EQ(Query(QStringLiteral("SELECT Name FROM TpdbItems WHERE ID = %1").arg(id)).toString(), odd)
        << "the name follows in the item-access view";
    EXPECT_TRUE(Messages().isEmpty());
}

TEST_F(ItemGridTest, F1OpensTheTopicOfWhatHasTheFocus) {
    const auto lastTopic = [] {
        const auto& asked = host::DefaultHelpViewer().Requests();
        return asked.empty() ? 0 : asked.back().topic;
    };
    EXPECT_EQ(Press(keys::kF1), 0) << "the grid took the key";
    EXPECT_EQ(lastTopic(), settings::help::kItemGrid);

    Window().ShowHelp(QString());
    EXPECT_EQ(lastTopic(), settings::help::kDevices) << "the window: the topic of the node it shows";
    int f1 = keys::kF1;
    harness.Session().NodeKeyDown(QString(), nk::kGroups, QString(), f1, 0);
    EXPECT_EQ(lastTopic(), settings::help::kGroups);

    // The Help buttons of the dialogs, and F1 in them.
    EditItem([](ui::Form& f) {
        f.UserClick(QStringLiteral("cmdHelp"));
        EXPECT_TRUE(f.IsShown()) << "help keeps the dialog open";
        f.PressCancel();
    });
    EXPECT_EQ(lastTopic(), settings::help::kItemDialog);
    OnForm("FDefaultMode", [](ui::Form& f) {
        f.UserHelp();
        f.PressCancel();
    });
    Grid().ColumnButtonClicked(Column("DefaultMode"));
    EXPECT_EQ(lastTopic(), settings::help::kDefaultModeDialog);
    EXPECT_EQ(host::DefaultHelpViewer().Requests().back().helpFile, harness.Session().HelpFile());
}

}  // namespace
