// The item grid as a person uses it: keys, selections, dialogs from cells,
// tooltips, on the demo project.

#include "objects/ObjectTest.h"
#include "platform/host/HelpViewer.h"
#include "settings/HelpTopics.h"

using namespace ov;
using test::Edit;
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
    // Edits the item of the current row in its dialog, from the menu.
    void EditItem(Script script) {
        OnForm("FItem", std::move(script));
        RunTool("mnuItemEdit", folder);
    }

    const QString folder = nk::DeviceKey(1, QStringLiteral("."), false) + nk::kSeparator + QStringLiteral("Line1.Motor1");
};

TEST_F(ItemGridTest, AnEditGoesToEverySelectedRow) {
    Grid().SelectRows({0, 1, 2});
    ASSERT_TRUE(Edit(Grid(), 0, Column("Comment"), QStringLiteral("all three")));
    for (const char* item : {"Line1.Motor1.Speed", "Line1.Motor1.Current", "Line1.Motor1.Running"})
        EXPECT_EQ(Stored("Comment", item).toString(), QStringLiteral("all three")) << item;
    EXPECT_EQ(Grid().CurrentRow(), 0) << "the current row is restored";

    ASSERT_TRUE(Edit(Grid(), 1, Column("FieldSize"), 4));
    EXPECT_EQ(Stored("WriteThru", "Line1.Motor1.Running"), QVariant(true)) << "an array is written through, in every row";

    Edit(Grid(), 0, Column("ItemAccess"), QStringLiteral("Line1.Motor1.Only"));
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
    for (int i = 0; i < 2; ++i) Press(keys::kDown, keys::kShift);
    EXPECT_EQ(Grid().SelectedBookmarks().size(), 2u);
    EXPECT_EQ(Grid().CurrentRow(), 2);

    // Shift+Right and Shift+Left walk the columns in display order while rows are selected.
    std::vector<int> order = Grid().DisplayColumns(0);
    for (int c : Grid().DisplayColumns(1)) order.push_back(c);
    Grid().SetCurrentCell(0, order[0]);
    EXPECT_EQ(Press(keys::kRight, keys::kShift), 0);
    EXPECT_EQ(Grid().CurrentColumn(), order[1]);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(Press(keys::kLeft, keys::kShift), 0);
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
    for (int key : {keys::kLeft, keys::kRight}) EXPECT_EQ(Press(key, keys::kAlt), 0);

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
    EXPECT_EQ(Grid().CellTip(0, 0), QStringLiteral("GRUPPEN:\r\nStandard\r\nFast"));
    Click(nk::DeviceKey(2, QString(), true));
    EXPECT_EQ(Grid().CellTip(0, 0), QStringLiteral("GRUPPEN:\r\nStandard"));
}

TEST_F(ItemGridTest, TheItemDialogRefusesNamesInUseAndWritesEveryField) {
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
        EXPECT_FALSE(test::Enabled(f, "cmdOK")) << "no OK without a name";
        f.PressCancel();
    });
    ASSERT_FALSE(Messages().isEmpty());
    EXPECT_EQ(LastMessage(), settings::Text(1532)) << "name and item access are both taken";
    EXPECT_FALSE(Stored("ID", "Line1.Motor1.Speed").isNull()) << "cancelled: nothing changed";

    // Opened by a double click: what it shows and what it writes.
    QStringList seen;
    OnForm("FItem", [&seen](ui::Form& f) {
        seen << Box(f, "txtItemAccess") << f.Get(QStringLiteral("cmbDataType")).SelectedText()
             << f.Get(QStringLiteral("cmbSimulationFunction")).SelectedText() << Box(f, "txtItemText")
             << (test::Enabled(f, "TxtName") ? QStringLiteral("name editable") : QStringLiteral("name follows"));
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
    const auto stored = [this](const char* field) { return Stored(field, "Line1.Motor1.Rpm"); };
    EXPECT_EQ(Record(QStringLiteral("SELECT DataType, FieldSize, Name, Comment FROM TpdbItems WHERE ItemAccess = 'Line1.Motor1.Rpm'")),
              (QStringList{QStringLiteral("5"), QStringLiteral("3"), QStringLiteral("Line1.Motor1.Rpm"),
                           QStringLiteral("from the dialog")}));
    EXPECT_EQ(Window().IndexTexts().GetItemText(stored("TextID"), 1031), QStringLiteral("Speed of motor one"));
    EXPECT_EQ(Window().SimulationOf(stored("ID")).first, QStringLiteral("Function1")) << "simulation kept";
    EXPECT_TRUE(harness.Host().HasNode(folder)) << "the folder stays with its items";
}

TEST_F(ItemGridTest, AServersSixtyFourBitItemWithoutRightsShowsAndKeepsBoth) {
    // As a browse stores a variable of type Int64 that can be neither read nor written.
    Window().Data()->Connection().Execute(
        QStringLiteral("UPDATE TpdbItems SET DataType = 20, AccessRights = 0 WHERE ItemAccess = 'Line1.Motor1.Speed'"));
    Grid().ReBind();
    const int type = Grid().ColumnIndex(settings::Text(114));
    EXPECT_EQ(Grid().CellText(0, Column("AccessRights")), settings::Text(9260));
    EXPECT_EQ(Grid().CellText(0, type), QStringLiteral("VT_I8"));
    EXPECT_TRUE(Grid().Column(type).values.IndexOfValue(21).has_value()) << "offered beside the other types";
    Grid().SetCurrentCell(0, 0);
    EditItem([](ui::Form& f) {
        EXPECT_EQ(f.Get(QStringLiteral("cmbAccessRights")).SelectedText(), settings::Text(9260));
        EXPECT_EQ(f.Get(QStringLiteral("cmbDataType")).SelectedText(), QStringLiteral("VT_I8"));
        f.UserSetText(QStringLiteral("txtComment"), QStringLiteral("seen"));
        f.PressDefault();
    });
    EXPECT_EQ(Record(QStringLiteral("SELECT Comment, AccessRights, DataType FROM TpdbItems WHERE ItemAccess = 'Line1.Motor1.Speed'")),
              test::Words("seen 0 20")) << "rights and type written back as they were";
}

TEST_F(ItemGridTest, RefusedValuesLeaveTheStoredRecordAndOddNamesAreStoredAsTyped) {
    const int access = Column("ItemAccess");
    // A name in use, then empty ones: refused with their message, the stored name shown again.
    for (const auto& [name, text] : {std::pair{QStringLiteral("Line1.Motor1.Current"), 405}, std::pair{QString(), 406},
                                     std::pair{QStringLiteral("   "), 406}}) {
        SCOPED_TRACE(name.toStdString());
        const bool taken = Edit(Grid(), 0, access, name);
        EXPECT_TRUE(taken || text != 405) << "the cell took the name, the check refused it";
        EXPECT_EQ(LastMessage(), settings::Text(text));
        EXPECT_EQ(Grid().CellText(0, access), QStringLiteral("Line1.Motor1.Speed"));
    }
    EXPECT_FALSE(Stored("ID", "Line1.Motor1.Speed").isNull());
    EXPECT_FALSE(Edit(Grid(), 0, Column("FieldSize"), QStringLiteral("abc")));
    EXPECT_TRUE(LastMessage().startsWith(QStringLiteral("Error: 6156  changes are aborted"))) << LastMessage().toStdString();
    EXPECT_EQ(Stored("FieldSize", "Line1.Motor1.Speed").toInt(), 0);

    // Quotes and pattern characters are no SQL to the grid.
    ClearShown();
    const int id = Stored("ID", "Line1.Motor1.Speed").toInt();
    const QString odd = QStringLiteral("Line1.Motor1.O'Neil \"x\";100%_[a]");
    ASSERT_TRUE(Edit(Grid(), 0, access, odd));
    EXPECT_EQ(Record(QStringLiteral("SELECT ItemAccess, Name FROM TpdbItems WHERE ID = %1").arg(id)), (QStringList{odd, odd}))
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
