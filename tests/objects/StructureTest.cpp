// Structures and their members as a person works with them: the structure
// and member commands, both dialogs and the member grid, on the demo
// project (StatusWord: Ready 0.0, Running 0.1, Fault 0.2 as bits and Mode
// 1; Drive: Status of type StatusWord, Setpoint, Speed).

#include "model/CVT_Types.h"
#include "objects/ObjectTest.h"

#include <QLocale>

using namespace ov;
namespace nk = ov::host::nodekey;
namespace keys = ov::host::keys;
using model::CVT_Types;
using settings::Text;
using namespace ov::test;

namespace {

class StructureTest : public test::ObjectTest {
  protected:
    void SetUp() override {
        Open();
        statusWord = IdOf("TpdbStructDefs", "StatusWord");
        drive = IdOf("TpdbStructDefs", "Drive");
        typeColumn = Text(133);
        textColumn = Text(147);
        Click(nk::StructureKey(statusWord));
        ClearShown();
    }
    void TearDown() override {
        QLocale::setDefault(QLocale::c());
        EditorTest::TearDown();
    }

    ui::GridModel& Grid() { return Window().tdbS(); }
    void Command(const char* tool) { RunTool(tool); }
    // Edits the member of the grid's current row in its dialog.
    void EditMember(Script script) { OnForm("FStructMember", std::move(script)); Command("mnuStructMemberEdit"); }
    int Column(const QString& fieldOrCaption) { return Grid().ColumnIndex(fieldOrCaption); }
    int Row(const char* member) { return RowOf(Grid(), Column(nameColumn), QString::fromUtf8(member)); }
    QString Cell(const char* member, const QString& column) { return Grid().CellText(Row(member), Column(column)); }
    // Types into a cell of the member's row; false when the grid refused the edit or the value.
    bool Type(const char* member, const QString& column, const QVariant& value) {
        return Grid().BeginEdit(Row(member), Column(column)) && Grid().CommitEdit(value);
    }
    // A field of a member of StatusWord, or of the structure given.
    QVariant Member(const char* field, const QString& name, int structure = -1) {
        return Query(QStringLiteral("SELECT %1 FROM TpdbStructMembers WHERE ParentID = %2 AND Name = '%3'")
                         .arg(QString::fromUtf8(field)).arg(structure < 0 ? statusWord : structure)
                         .arg(QString(name).replace(u'\'', QStringLiteral("''"))));
    }
    bool HasMember(const QString& name, int structure = -1) { return !Member("ID", name, structure).isNull(); }
    // The member's fields as texts, as the table holds them.
    void ExpectMember(const char* name, std::initializer_list<std::pair<const char*, QVariant>> fields) {
        for (const auto& [field, value] : fields) EXPECT_EQ(Member(field, name).toString(), value.toString()) << name << "." << field;
    }
    int Count(const char* table, const QString& where) {
        return EditorTest::Count(QStringLiteral("SELECT Count(*) FROM %1 WHERE %2").arg(QString::fromUtf8(table), where));
    }
    static QStringList ListTexts(ui::GridModel& grid, const QString& caption) { return test::ListTexts(grid, grid.ColumnIndex(caption)); }

    int statusWord = 0, drive = 0;
    const QString nameColumn = QStringLiteral("Name"), orderColumn = QStringLiteral("OrderNum");
    QString typeColumn, textColumn;
};

TEST_F(StructureTest, NewStructuresAndMembersAreNumberedShownAndOffered) {
    Command("mnuStructureNew");
    EXPECT_EQ(IdOf("TpdbStructDefs", "New Structure"), 0) << "made on the structures node only";
    for (int i = 0; i < 3; ++i) {
        Click(nk::kStructures);
        Command("mnuStructureNew");
    }
    for (const char* name : {"New Structure", "New Structure(1)", "New Structure(2)"}) {
        const int id = IdOf("TpdbStructDefs", name);
        ASSERT_GT(id, 0) << name;
        EXPECT_EQ(NodeText(nk::StructureKey(id)), QString::fromUtf8(name));
        EXPECT_TRUE(ListTexts(Window().tdbI(), Text(114)).contains(QString::fromUtf8(name))) << "the item grid offers it";
        EXPECT_TRUE(ListTexts(Grid(), typeColumn).contains(QString::fromUtf8(name))) << "the member grid offers it";
    }
    const int fresh = IdOf("TpdbStructDefs", "New Structure(2)");
    EXPECT_EQ(Window().CurrentNode(), nk::StructureKey(fresh));
    EXPECT_EQ(Grid().RowCount(), 0) << "the new structure's members are shown";
    EXPECT_EQ(Window().StatusCounters()[5], 3);
    EXPECT_EQ(Count("TpdbStructDefs", QStringLiteral("Name = '@New@'")), 0);

    // A new member takes the next order number and a free name.
    Command("mnuStructMemberNew");
    EXPECT_EQ(Member("OrderNum", "Item0", fresh).toDouble(), 0.0) << "the first member";
    // Members numbered 0, 1 and 5: the next is 6. A member already named
    // Item6 makes the new one Item6(1).
    project.Open()->Execute(QStringLiteral("INSERT INTO TpdbStructMembers (ParentID, Name, OrderNum) VALUES (?, 'X', 1), (?, 'item6', 5)"),
                            {fresh, fresh});
    Click(nk::StructureKey(fresh));
    Command("mnuStructMemberNew");
    EXPECT_EQ(Member("OrderNum", "Item6(1)", fresh).toDouble(), 6.0);
    EXPECT_EQ(Grid().CellText(Grid().CurrentRow(), Column(nameColumn)), QStringLiteral("Item6(1)")) << "the new member is the current row";
    // After bit 0.2 and byte 1 of StatusWord: byte 2.
    Click(nk::StructureKey(statusWord));
    Command("mnuStructMemberNew");
    EXPECT_EQ(Member("OrderNum", "Item2").toDouble(), 2.0);
}

TEST_F(StructureTest, NamesThatAreNumbersOrEmptyAreRefusedInTheGridAndTheDialog) {
    for (const QString& refused : {QStringLiteral("12"), QStringLiteral(" "), QString(1000, u'n')})
        EXPECT_FALSE(Type("Mode", nameColumn, refused)) << refused.left(20).toStdString();
    ASSERT_EQ(Messages().size(), 3);
    EXPECT_EQ(Messages().mid(0, 2), (QStringList{Text(421), Text(406)}));
    EXPECT_TRUE(Messages()[2].contains(QStringLiteral("255")));
    EXPECT_TRUE(HasMember("Mode")) << "the stored name stays";
    EXPECT_TRUE(Type("Mode", nameColumn, QStringLiteral("12a")));
    EXPECT_TRUE(HasMember("12a")) << "written at once";

    // The dialog: "12" refused, a taken name refused, "Mode 'x' [1]" taken.
    ui::DefaultMessageBoxes().Clear();
    Grid().SetCurrentCell(Row("12a"), Column(nameColumn));
    EditMember([](ui::Form& f) {
        EXPECT_EQ(Box(f, "txtStructure"), QStringLiteral("StatusWord"));
        EXPECT_EQ(f.Focus().control, QStringLiteral("TxtName"));
        ExpectRefused(f, "TxtName", {QStringLiteral("12"), QStringLiteral("Fault")});
        f.UserSetText(QStringLiteral("TxtName"), QString());
        EXPECT_FALSE(Enabled(f, "cmdOK"));
        Typing({{"TxtName", QStringLiteral("Mode 'x' [1]")}})(f);
    });
    EXPECT_EQ(Messages(), (QStringList{Text(421), Text(405)}));
    EXPECT_TRUE(HasMember("Mode 'x' [1]"));
}

TEST_F(StructureTest, BitMembersKeepByteAndBitUnderEveryLocale) {
    for (const QLocale& locale : {QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::English, QLocale::UnitedStates)}) {
        QLocale::setDefault(locale);
        SCOPED_TRACE(locale.name().toStdString());
        for (const auto& [member, typed, stored, shown] : {std::tuple{"Fault", "3.57", 3.6, "3.6"}, std::tuple{"Mode", "3.9", 3.0, "3"}}) {
            ASSERT_TRUE(Type(member, orderColumn, QString::fromUtf8(typed)));
            EXPECT_DOUBLE_EQ(Member("OrderNum", member).toDouble(), stored) << member;
            EXPECT_EQ(Cell(member, orderColumn), QString::fromUtf8(shown));
        }
    }
    // Bad order numbers are refused with a reason; the stored number stays.
    for (const char* bad : {"abc", "-1", "3.5.7", "1e12"}) {
        ui::DefaultMessageBoxes().Clear();
        EXPECT_FALSE(Type("Fault", orderColumn, QString::fromUtf8(bad))) << bad;
        EXPECT_EQ(Messages().size(), 1) << bad;
        EXPECT_DOUBLE_EQ(Member("OrderNum", "Fault").toDouble(), 3.6) << bad;
    }
    // Making Mode a bit keeps its position as byte.bit; a bit made a byte drops the bit.
    Type("Mode", typeColumn, CVT_Types::kBit);
    EXPECT_EQ(Member("DataType", "Mode").toInt(), CVT_Types::kBit);
    Type("Fault", typeColumn, 17);
    EXPECT_DOUBLE_EQ(Member("OrderNum", "Fault").toDouble(), 3.0);
}

TEST_F(StructureTest, AStructureNeverContainsItself) {
    // Drive holds StatusWord: a StatusWord member of type Drive, or of type StatusWord, would close a cycle.
    EXPECT_FALSE(Type("Mode", typeColumn, CVT_Types::kStructBase + drive));
    EXPECT_FALSE(Type("Mode", typeColumn, CVT_Types::kStructBase + statusWord));
    ASSERT_EQ(Messages().size(), 2);
    EXPECT_TRUE(Messages()[0].contains(QStringLiteral("Drive")) && Messages()[0].contains(QStringLiteral("StatusWord")));
    EXPECT_EQ(Member("StructID", "Mode").toInt(), 0);

    // The other way round is fine: a second StatusWord in Drive.
    Click(nk::StructureKey(drive));
    ASSERT_TRUE(Type("Speed", typeColumn, CVT_Types::kStructBase + statusWord));
    EXPECT_EQ(Member("DataType", "Speed", drive).toInt(), CVT_Types::kStructure);
    EXPECT_EQ(Member("StructID", "Speed", drive).toInt(), statusWord);

    // The dialog puts a refused choice back.
    Click(nk::StructureKey(statusWord));
    ui::DefaultMessageBoxes().Clear();
    Grid().SetCurrentCell(Row("Mode"), 0);
    EditMember([&](ui::Form& f) {
        f.UserChoose(QStringLiteral("cmbDataType"), CVT_Types::kStructBase + drive);
        EXPECT_EQ(f.Get(QStringLiteral("cmbDataType")).SelectedData().toInt(), 17) << "back to VT_UI1";
        f.PressDefault();
    });
    EXPECT_EQ(Messages().size(), 1);
    EXPECT_EQ(Member("DataType", "Mode").toInt(), 17);

    // Pasting Drive's StatusWord member into StatusWord is left out and said so.
    Click(nk::StructureKey(drive));
    Grid().SelectRows({Row("Status"), Row("Setpoint")});
    Command("mnuStructMemberCopy");
    Click(nk::StructureKey(statusWord));
    ui::DefaultMessageBoxes().Clear();
    Command("mnuStructMemberPaste");
    EXPECT_FALSE(HasMember("Status"));
    EXPECT_TRUE(HasMember("Setpoint"));
    EXPECT_EQ(Messages(), QStringList{Text(settings::kTextPasteSkippedCycle).replace(QStringLiteral("<n>"), QStringLiteral("1"))});
}

TEST_F(StructureTest, CopyAndPasteNameTheCopiesAndCopyTheirTexts) {
    Type("Fault", textColumn, QStringLiteral("Drive fault"));
    const int textId = Member("TextID", "Fault").toInt();
    ASSERT_NE(textId, 0);
    Grid().SelectRows({Row("Fault")});
    Press(Grid(), keys::kC, keys::kCtrl);
    EXPECT_EQ(Window().memberBuffer.size(), 1u);
    for (int i = 0; i < 2; ++i) Command("mnuStructMemberPaste");
    for (const char* name : {"Copy of Fault", "copy(2) of Fault"}) {
        const int copied = Member("TextID", name).toInt();
        EXPECT_NE(copied, 0) << name;
        EXPECT_NE(copied, textId) << "a text of its own";
        EXPECT_EQ(Member("DataType", name).toInt(), CVT_Types::kBit);
        EXPECT_EQ(Cell(name, textColumn), QStringLiteral("Drive fault"));
    }
    EXPECT_EQ(Window().StatusCounters()[6], 2);

    // Ctrl+V with nothing copied beeps.
    Window().memberBuffer.clear();
    const int beeps = Beeps();
    Press(Grid(), keys::kV, keys::kCtrl);
    EXPECT_EQ(Beeps(), beeps + 1);
}

TEST_F(StructureTest, TheCopiedMembersStayCopiedUntilTheyAreDeleted) {
    Grid().SelectRows({Row("Fault"), Row("Mode")});
    Command("mnuStructMemberCopy");
    ASSERT_EQ(Window().memberBuffer.size(), 2u);
    // An empty structure of no concern goes: the copy stays.
    Click(nk::kStructures);
    Command("mnuStructureNew");
    DontAskOnDelete();
    Click(nk::StructureKey(IdOf("TpdbStructDefs", "New Structure")));
    Command("mnuStructureDelete");
    EXPECT_EQ(Window().memberBuffer.size(), 2u);
    Click(nk::StructureKey(drive));
    Command("mnuStructMemberPaste");
    EXPECT_TRUE(HasMember("Mode", drive));
    // Deleting the structure the copies came from takes them.
    Click(nk::StructureKey(statusWord));
    Command("mnuStructureDelete");
    EXPECT_TRUE(Window().memberBuffer.empty());
}

TEST_F(StructureTest, GridRefusalsAreOneDataErrorAndNumbersReadAsInTheItemGrid) {
    // A name the structure has: what the database said, then the name message.
    const int ready = Row("Ready");
    Type("Ready", nameColumn, QStringLiteral("MODE"));
    const QStringList messages = Messages();
    ASSERT_EQ(messages.size(), 2) << messages.join(u'|').toStdString();
    EXPECT_TRUE(messages[0].startsWith(Text(407).left(Text(407).indexOf(u'<')))) << messages[0].toStdString();
    EXPECT_EQ(messages[1], Text(405));
    EXPECT_EQ(Grid().CellText(ready, Column(nameColumn)), QStringLiteral("Ready"));
    EXPECT_EQ(Member("Name", "Ready").toString(), QStringLiteral("Ready"));

    // Numbers: no group separators shown, either decimal separator taken.
    const QString minimum = QStringLiteral("MinVal");
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German, QLocale::Germany)}) {
        QLocale::setDefault(locale);
        ClearShown();
        ASSERT_TRUE(Type("Mode", QStringLiteral("MaxVal"), QStringLiteral("1500")));
        EXPECT_EQ(Cell("Mode", QStringLiteral("MaxVal")), QStringLiteral("1500"));
        ASSERT_TRUE(Type("Mode", minimum, QStringLiteral("2,5")));
        EXPECT_EQ(Member("MinVal", "Mode").toDouble(), 2.5);
        ASSERT_TRUE(Type("Mode", minimum, QStringLiteral("-0.25")));
        EXPECT_EQ(Member("MinVal", "Mode").toDouble(), -0.25);
        EXPECT_EQ(Cell("Mode", minimum), locale.toString(-0.25));
        EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'|').toStdString();
        // What the cell shows reads back as the same number.
        ASSERT_TRUE(Type("Mode", minimum, Cell("Mode", minimum)));
        EXPECT_EQ(Member("MinVal", "Mode").toDouble(), -0.25);
    }
    EXPECT_FALSE(Type("Mode", minimum, QStringLiteral("abc")));
    EXPECT_EQ(Messages().size(), 1) << "a text that is no number is refused with a message";
}

TEST_F(StructureTest, AFailedMemberDialogWriteShowsOneMessage) {
    Grid().SetCurrentCell(Row("Mode"), 0);
    Window().Data()->Connection().SetBusyTimeout(50);
    auto other = project.Open();
    other->BeginTrans();
    EditMember(Typing({{"txtComment", QStringLiteral("not now")}}));
    other->RollbackTrans();
    ASSERT_EQ(Messages().size(), 1) << Messages().join(u'|').toStdString();
    EXPECT_TRUE(Messages().front().startsWith(Text(1915)));
    EXPECT_NE(Member("Comment", "Mode").toString(), QStringLiteral("not now"));
}

TEST_F(StructureTest, DeletingMembersAndStructuresTakesTheirTexts) {
    Type("Ready", textColumn, QStringLiteral("ready text"));
    Type("Fault", textColumn, QStringLiteral("fault text"));
    const int readyText = Member("TextID", "Ready").toInt(), faultText = Member("TextID", "Fault").toInt();
    const QString texts = QStringLiteral("ID IN (%1, %2)").arg(readyText).arg(faultText);
    ASSERT_EQ(Count("TidxTexts", texts), 2);

    // Members: No is the default answer.
    Grid().SelectRows({Row("Ready"), Row("Mode")});
    Command("mnuStructMemberDelete");
    EXPECT_EQ(Messages(), QStringList{Text(410)});
    EXPECT_EQ(Grid().RowCount(), 4);
    ui::DefaultMessageBoxes().Queue(ui::Answer::Yes);
    Command("mnuStructMemberDelete");
    EXPECT_EQ(Grid().RowCount(), 2);
    EXPECT_FALSE(HasMember("Ready"));
    EXPECT_EQ(Count("TidxTexts", texts), 1);

    // The structure, with the members left: No is the default answer again.
    ClearShown();
    Command("mnuStructureDelete");
    EXPECT_EQ(Messages(), QStringList{Text(409)});
    const QString members = QStringLiteral("ParentID = %1").arg(statusWord);
    EXPECT_EQ(Count("TpdbStructMembers", members), 2);
    ui::DefaultMessageBoxes().Queue(ui::Answer::Yes);
    Command("mnuStructureDelete");
    EXPECT_EQ(Count("TpdbStructDefs", QStringLiteral("ID = %1").arg(statusWord)), 0);
    EXPECT_EQ(Count("TpdbStructMembers", members), 0);
    EXPECT_EQ(Count("TidxTexts", texts), 0);
    EXPECT_TRUE(NodeText(nk::StructureKey(statusWord)).isEmpty());
    EXPECT_EQ(Window().CurrentNode(), nk::kStructures);
    EXPECT_FALSE(ListTexts(Grid(), typeColumn).contains(QStringLiteral("StatusWord")));
    EXPECT_EQ(Query(QStringLiteral("SELECT StructID FROM TpdbStructMembers WHERE Name = 'Status'")).toInt(), statusWord)
        << "members of other structures keep their type";

    DontAskOnDelete();
    ClearShown();
    Click(nk::StructureKey(drive));
    Command("mnuStructureDelete");
    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_EQ(Count("TpdbStructMembers", QStringLiteral("1")), 0);
}

TEST_F(StructureTest, TheStructureDialogRenamesAndRefusesATakenName) {
    OnForm("FStructure", [](ui::Form& f) {
        EXPECT_EQ(Box(f, "TxtName"), QStringLiteral("StatusWord"));
        EXPECT_EQ(f.Get(QStringLiteral("chkOrderByOffset")).checkState, 1);
        ExpectRefused(f, "TxtName", {QStringLiteral("drive"), QString(300, u's')});
        f.UserCheck(QStringLiteral("chkOrderByOffset"), false);
        Typing({{"TxtName", QStringLiteral("Status's [bits]")}, {"txtComment", QString()}})(f);
    });
    Command("mnuStructureEdit");
    ASSERT_EQ(Messages().size(), 2);
    EXPECT_EQ(Messages()[0], Text(405));
    EXPECT_EQ(Record(QStringLiteral("SELECT Name, OrderByOffset <> 0 FROM TpdbStructDefs WHERE ID = %1").arg(statusWord)),
              (QStringList{QStringLiteral("Status's [bits]"), QStringLiteral("0")}));
    EXPECT_EQ(NodeText(nk::StructureKey(statusWord)), QStringLiteral("Status's [bits]"));
    Click(nk::StructureKey(drive));
    EXPECT_EQ(Cell("Status", typeColumn), QStringLiteral("Status's [bits]"));

    // Cancel changes nothing.
    OnForm("FStructure", Looking([](ui::Form& f) { f.UserSetText(QStringLiteral("TxtName"), QStringLiteral("Other")); }));
    Command("mnuStructureEdit");
    EXPECT_EQ(NodeText(nk::StructureKey(drive)), QStringLiteral("Drive"));
}

TEST_F(StructureTest, TheMemberDialogWritesBothPages) {
    Grid().SetCurrentCell(Row("Mode"), 0);
    const int temperature = IdOf("TpdbUnitClasses", "Temperature");
    EditMember([&](ui::Form& f) {
        EXPECT_EQ(Box(f, "txtOrderNum"), QStringLiteral("1"));
        EXPECT_EQ(f.Get(QStringLiteral("cmbDataType")).SelectedData().toInt(), 17);
        EXPECT_EQ(f.Get(QStringLiteral("cmbUnitClassIDItemDependent")).SelectedText(), Text(180));
        PressKey(f, 9, keys::kCtrl);  // Ctrl+Tab
        EXPECT_EQ(f.Get(QStringLiteral("tabStructure")).listIndex, 1);
        f.UserChoose(QStringLiteral("cmbDataType"), CVT_Types::kBit);
        Fill(f, {{"txtOrderNum", QStringLiteral("4,25")}, {"txtMaxVal", QStringLiteral("1e400")},
                 {"txtMinVal", QStringLiteral("-2,5")}, {"txtDefaultVal", QString()},
                 {"txtItemText", QStringLiteral("Operating mode")}});
        f.UserChoose(QStringLiteral("cmbUnitClassIDItemDependent"), temperature);
        PressKey(f, 13);  // Enter
    });
    // One decimal for a bit; 0 for a maximum no double holds; U+0000 for an empty default.
    ExpectMember("Mode", {{"DataType", CVT_Types::kBit}, {"OrderNum", 4.3}, {"MinVal", -2.5}, {"MaxVal", 0},
                          {"DefaultVal", QString(QChar(0))}, {"UnitClassIDItemDependent", temperature}});
    EXPECT_EQ(Cell("Mode", textColumn), QStringLiteral("Operating mode"));

    // A bad order number keeps the dialog open.
    ui::DefaultMessageBoxes().Clear();
    EditMember(Looking([](ui::Form& f) {
        ExpectRefused(f, "txtOrderNum", {QStringLiteral("abc")});
        EXPECT_EQ(f.Focus().control, QStringLiteral("txtOrderNum"));
    }));
    EXPECT_EQ(Messages(), QStringList{Text(settings::kTextOrderNumberNotANumber)});
}

TEST_F(StructureTest, KeysSortSelectAndRunTheCommandsAndSeveralRowsTakeAValueButNotAName) {
    // Ctrl+O on the data type column sorts by type, then back.
    Grid().SetCurrentCell(0, Column(typeColumn));
    Press(Grid(), keys::kO, keys::kCtrl);
    EXPECT_EQ(Grid().CellText(0, Column(nameColumn)), QStringLiteral("Mode")) << "VT_UI1 (17) before bits (256)";
    EXPECT_EQ(Grid().CurrentColumn(), Column(typeColumn));
    Press(Grid(), keys::kO, keys::kCtrl);
    EXPECT_EQ(Grid().CellText(0, Column(nameColumn)), QStringLiteral("Ready"));

    // Shift+Down: first marks the row, then adds rows as it moves; PageDown drops the marks.
    Press(Grid(), keys::kDown, keys::kShift);
    EXPECT_EQ(Grid().SelectedBookmarks().size(), 1u);
    EXPECT_EQ(Grid().CurrentRow(), 0);
    for (int i = 0; i < 2; ++i) Press(Grid(), keys::kDown, keys::kShift);
    EXPECT_EQ(Grid().SelectedBookmarks().size(), 2u);
    EXPECT_EQ(Grid().CurrentRow(), 2);
    Press(Grid(), keys::kPageDown);
    EXPECT_TRUE(Grid().SelectedBookmarks().empty());

    Press(Grid(), keys::kPageDown, keys::kCtrl);
    EXPECT_EQ(Grid().CurrentRow(), Grid().RowCount() - 1);
    Press(Grid(), keys::kF8);
    EXPECT_EQ(Grid().RowCount(), 5);
    OnForm("FStructMember", Cancel);
    Grid().DoubleClick();
    EXPECT_EQ(ui::DefaultFormRunner().Shown(), QStringList{QStringLiteral("FStructMember")});

    // Several selected rows take a value, but a name or a position only in the current row.
    Grid().SelectRows({Row("Ready"), Row("Running"), Row("Fault")});
    Grid().SetCurrentCell(Row("Running"), Column(QStringLiteral("Comment")));
    Type("Running", QStringLiteral("Comment"), QStringLiteral("status bit"));
    EXPECT_EQ(Count("TpdbStructMembers", QStringLiteral("Comment = 'status bit'")), 3);
    Type("Running", nameColumn, QStringLiteral("Busy"));
    EXPECT_EQ(Count("TpdbStructMembers", QStringLiteral("Name = 'Busy'")), 1);
    Type("Busy", orderColumn, QStringLiteral("0.7"));
    EXPECT_EQ(Count("TpdbStructMembers", QStringLiteral("OrderNum = 0.7")), 1);
}

}  // namespace
