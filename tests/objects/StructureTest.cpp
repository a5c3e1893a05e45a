// Structures and their members as a person works with them: the structure
// and member commands, both dialogs and the member grid, on the demo
// project (StatusWord: Ready 0.0, Running 0.1, Fault 0.2 as bits and Mode
// 1; Drive: Status of type StatusWord, Setpoint, Speed).

#include "editor/frmtabgridOPC.h"
#include "host/NodeKey.h"
#include "model/CVT_Types.h"
#include "model/DataConnection.h"
#include "platform/db/Recordset.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"
#include "support/EditorTest.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace ov;
namespace nk = ov::host::nodekey;
using model::CVT_Types;
using settings::Text;

namespace {

class StructureTest : public test::EditorTest {
  protected:
    void SetUp() override {
        Open();
        statusWord = IdOf("TpdbStructDefs", QStringLiteral("StatusWord"));
        drive = IdOf("TpdbStructDefs", QStringLiteral("Drive"));
        Click(nk::StructureKey(statusWord));
        ClearShown();
    }
    void TearDown() override {
        QLocale::setDefault(QLocale::c());
        EditorTest::TearDown();
    }

    ui::GridModel& Grid() { return Window().tdbS(); }
    void Command(const char* tool) { RunTool(tool); }
    int Column(const QString& fieldOrCaption) { return Grid().ColumnIndex(fieldOrCaption); }
    int Row(const QString& name) {
        for (int row = 0; row < Grid().RowCount(); ++row)
            if (Grid().CellText(row, Column(QStringLiteral("Name"))) == name) return row;
        return -1;
    }
    bool Type(int row, const QString& column, const QVariant& value) {
        if (!Grid().BeginEdit(row, Column(column))) return false;
        return Grid().CommitEdit(value);
    }
    int IdOf(const char* table, const QString& name) {
        return Query(QStringLiteral("SELECT ID FROM %1 WHERE Name = '%2'").arg(QString::fromUtf8(table), name)).toInt();
    }
    QVariant Member(const char* field, const QString& name, int structure = -1) {
        return Query(QStringLiteral("SELECT %1 FROM TpdbStructMembers WHERE ParentID = %2 AND Name = '%3'")
                         .arg(QString::fromUtf8(field))
                         .arg(structure < 0 ? statusWord : structure)
                         .arg(QString(name).replace(u'\'', QStringLiteral("''"))));
    }
    QStringList ListTexts(ui::GridModel& grid, const QString& caption) {
        QStringList texts;
        for (const auto& item : grid.Column(grid.ColumnIndex(caption)).values.Items()) texts << item.text;
        return texts;
    }

    int statusWord = 0, drive = 0;
};

TEST_F(StructureTest, NewStructuresAreNumberedShownAndOfferedAsTypes) {
    Command("mnuStructureNew");
    EXPECT_EQ(IdOf("TpdbStructDefs", QStringLiteral("New Structure")), 0) << "made on the structures node only";
    for (int i = 0; i < 3; ++i) {
        Click(nk::kStructures);
        Command("mnuStructureNew");
    }
    for (const QString& name : {QStringLiteral("New Structure"), QStringLiteral("New Structure(1)"), QStringLiteral("New Structure(2)")}) {
        const int id = IdOf("TpdbStructDefs", name);
        ASSERT_GT(id, 0) << name.toStdString();
        EXPECT_EQ(NodeText(nk::StructureKey(id)), name);
        EXPECT_TRUE(ListTexts(Window().tdbI(), Text(114)).contains(name)) << "the item grid offers it";
        EXPECT_TRUE(ListTexts(Grid(), Text(133)).contains(name)) << "the member grid offers it";
    }
    EXPECT_EQ(Window().CurrentNode(), nk::StructureKey(IdOf("TpdbStructDefs", QStringLiteral("New Structure(2)"))));
    EXPECT_EQ(Grid().RowCount(), 0) << "the new structure's members are shown";
    EXPECT_EQ(Window().StatusCounters()[5], 3);
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbStructDefs WHERE Name = '@New@'")), 0);
}

TEST_F(StructureTest, NewMembersTakeTheNextOrderNumberAndAFreeName) {
    Click(nk::kStructures);
    Command("mnuStructureNew");
    const int fresh = IdOf("TpdbStructDefs", QStringLiteral("New Structure"));
    Command("mnuStructMemberNew");
    EXPECT_EQ(Member("OrderNum", QStringLiteral("Item0"), fresh).toDouble(), 0.0) << "the first member";

    // Members numbered 0, 1 and 5: the next is 6. A member already named
    // Item6 makes the new one Item6(1).
    auto c = project.Open();
    c->Execute(QStringLiteral("INSERT INTO TpdbStructMembers (ParentID, Name, OrderNum) VALUES (?, 'X', 1), (?, 'item6', 5)"),
               {fresh, fresh});
    Click(nk::StructureKey(fresh));
    Command("mnuStructMemberNew");
    EXPECT_EQ(Member("OrderNum", QStringLiteral("Item6(1)"), fresh).toDouble(), 6.0);
    EXPECT_EQ(Grid().CellText(Grid().CurrentRow(), Column(QStringLiteral("Name"))), QStringLiteral("Item6(1)"))
        << "the new member is the current row";

    // After bit 0.2 and byte 1 of StatusWord: byte 2.
    Click(nk::StructureKey(statusWord));
    Command("mnuStructMemberNew");
    EXPECT_EQ(Member("OrderNum", QStringLiteral("Item2")).toDouble(), 2.0);
}

TEST_F(StructureTest, NamesThatAreNumbersOrEmptyAreRefusedInTheGridAndTheDialog) {
    const int row = Row(QStringLiteral("Mode"));
    EXPECT_FALSE(Type(row, QStringLiteral("Name"), QStringLiteral("12")));
    EXPECT_FALSE(Type(row, QStringLiteral("Name"), QStringLiteral(" ")));
    EXPECT_FALSE(Type(row, QStringLiteral("Name"), QString(1000, u'n')));
    ASSERT_EQ(Messages().size(), 3);
    EXPECT_EQ(Messages()[0], Text(421));
    EXPECT_EQ(Messages()[1], Text(406));
    EXPECT_TRUE(Messages()[2].contains(QStringLiteral("255")));
    EXPECT_EQ(Member("ID", QStringLiteral("Mode")).isNull(), false) << "the stored name stays";
    EXPECT_TRUE(Type(row, QStringLiteral("Name"), QStringLiteral("12a")));
    EXPECT_FALSE(Member("ID", QStringLiteral("12a")).isNull()) << "written at once";

    // Another member's name, in any letter case: the database refuses it.
    ui::DefaultMessageBoxes().Clear();
    Type(Row(QStringLiteral("12a")), QStringLiteral("Name"), QStringLiteral("READY"));
    EXPECT_TRUE(Messages().contains(Text(405)));
    EXPECT_FALSE(Member("ID", QStringLiteral("12a")).isNull());

    // The dialog: "12" refused, a taken name refused, "Mode 'x' [1]" taken.
    ui::DefaultMessageBoxes().Clear();
    Grid().SetCurrentCell(Row(QStringLiteral("12a")), Column(QStringLiteral("Name")));
    ui::DefaultFormRunner().Once(QStringLiteral("FStructMember"), [](ui::Form& f) {
        EXPECT_EQ(f.Get(QStringLiteral("txtStructure")).text, QStringLiteral("StatusWord"));
        EXPECT_EQ(f.Focus().control, QStringLiteral("TxtName"));
        f.UserSetText(QStringLiteral("TxtName"), QStringLiteral("12"));
        f.PressDefault();
        EXPECT_TRUE(f.IsShown());
        f.UserSetText(QStringLiteral("TxtName"), QStringLiteral("Fault"));
        f.PressDefault();
        EXPECT_TRUE(f.IsShown());
        f.UserSetText(QStringLiteral("TxtName"), QStringLiteral(""));
        EXPECT_FALSE(f.Get(QStringLiteral("cmdOK")).enabled);
        f.UserSetText(QStringLiteral("TxtName"), QStringLiteral("Mode 'x' [1]"));
        f.PressDefault();
    });
    Command("mnuStructMemberEdit");
    EXPECT_EQ(Messages(), (QStringList{Text(421), Text(405)}));
    EXPECT_FALSE(Member("ID", QStringLiteral("Mode 'x' [1]")).isNull());
}

TEST_F(StructureTest, BitMembersKeepByteAndBitUnderEveryLocale) {
    for (const QLocale& locale : {QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::English, QLocale::UnitedStates)}) {
        QLocale::setDefault(locale);
        const int fault = Row(QStringLiteral("Fault"));
        ASSERT_TRUE(Type(fault, QStringLiteral("OrderNum"), QStringLiteral("3.57")));
        EXPECT_DOUBLE_EQ(Member("OrderNum", QStringLiteral("Fault")).toDouble(), 3.6) << locale.name().toStdString();
        EXPECT_EQ(Grid().CellText(Row(QStringLiteral("Fault")), Column(QStringLiteral("OrderNum"))), QStringLiteral("3.6"));
        ASSERT_TRUE(Type(Row(QStringLiteral("Mode")), QStringLiteral("OrderNum"), QStringLiteral("3.9")));
        EXPECT_DOUBLE_EQ(Member("OrderNum", QStringLiteral("Mode")).toDouble(), 3.0);
        EXPECT_EQ(Grid().CellText(Row(QStringLiteral("Mode")), Column(QStringLiteral("OrderNum"))), QStringLiteral("3"));
    }
    // Bad order numbers are refused with a reason; the stored number stays.
    for (const char* bad : {"abc", "-1", "3.5.7", "1e12"}) {
        ui::DefaultMessageBoxes().Clear();
        EXPECT_FALSE(Type(Row(QStringLiteral("Fault")), QStringLiteral("OrderNum"), QString::fromUtf8(bad))) << bad;
        EXPECT_EQ(Messages().size(), 1) << bad;
        EXPECT_DOUBLE_EQ(Member("OrderNum", QStringLiteral("Fault")).toDouble(), 3.6) << bad;
    }
    // Making Mode a bit keeps its position as byte.bit; a bit made a byte drops the bit.
    Type(Row(QStringLiteral("Mode")), Text(133), CVT_Types::kBit);
    EXPECT_EQ(Member("DataType", QStringLiteral("Mode")).toInt(), CVT_Types::kBit);
    Type(Row(QStringLiteral("Fault")), Text(133), 17);
    EXPECT_DOUBLE_EQ(Member("OrderNum", QStringLiteral("Fault")).toDouble(), 3.0);
}

TEST_F(StructureTest, AStructureNeverContainsItself) {
    // Drive holds StatusWord: a StatusWord member of type Drive, or of type StatusWord, would close a cycle.
    const int mode = Row(QStringLiteral("Mode"));
    EXPECT_FALSE(Type(mode, Text(133), CVT_Types::kStructBase + drive));
    EXPECT_FALSE(Type(mode, Text(133), CVT_Types::kStructBase + statusWord));
    ASSERT_EQ(Messages().size(), 2);
    EXPECT_TRUE(Messages()[0].contains(QStringLiteral("Drive")) && Messages()[0].contains(QStringLiteral("StatusWord")));
    EXPECT_EQ(Member("StructID", QStringLiteral("Mode")).toInt(), 0);

    // The other way round is fine: a second StatusWord in Drive.
    Click(nk::StructureKey(drive));
    ASSERT_TRUE(Type(Row(QStringLiteral("Speed")), Text(133), CVT_Types::kStructBase + statusWord));
    EXPECT_EQ(Member("DataType", QStringLiteral("Speed"), drive).toInt(), CVT_Types::kStructure);
    EXPECT_EQ(Member("StructID", QStringLiteral("Speed"), drive).toInt(), statusWord);

    // The dialog puts a refused choice back.
    Click(nk::StructureKey(statusWord));
    ui::DefaultMessageBoxes().Clear();
    Grid().SetCurrentCell(Row(QStringLiteral("Mode")), 0);
    ui::DefaultFormRunner().Once(QStringLiteral("FStructMember"), [&](ui::Form& f) {
        f.UserChoose(QStringLiteral("cmbDataType"), CVT_Types::kStructBase + drive);
        EXPECT_EQ(f.Get(QStringLiteral("cmbDataType")).SelectedData().toInt(), 17) << "back to VT_UI1";
        f.PressDefault();
    });
    Command("mnuStructMemberEdit");
    EXPECT_EQ(Messages().size(), 1);
    EXPECT_EQ(Member("DataType", QStringLiteral("Mode")).toInt(), 17);

    // Pasting Drive's StatusWord member into StatusWord is left out and said so.
    Click(nk::StructureKey(drive));
    Grid().SelectRows({Row(QStringLiteral("Status")), Row(QStringLiteral("Setpoint"))});
    Command("mnuStructMemberCopy");
    Click(nk::StructureKey(statusWord));
    ui::DefaultMessageBoxes().Clear();
    Command("mnuStructMemberPaste");
    EXPECT_TRUE(Member("ID", QStringLiteral("Status")).isNull());
    EXPECT_FALSE(Member("ID", QStringLiteral("Setpoint")).isNull());
    EXPECT_EQ(Messages(), QStringList{Text(settings::kTextPasteSkippedCycle).replace(QStringLiteral("<n>"), QStringLiteral("1"))});
}

TEST_F(StructureTest, CopyAndPasteNameTheCopiesAndCopyTheirTexts) {
    Type(Row(QStringLiteral("Fault")), Text(147), QStringLiteral("Drive fault"));
    const int textId = Member("TextID", QStringLiteral("Fault")).toInt();
    ASSERT_NE(textId, 0);
    Grid().SelectRows({Row(QStringLiteral("Fault"))});
    int ctrlC = host::keys::kC;
    Grid().KeyDown(ctrlC, host::keys::kCtrl);
    EXPECT_EQ(Window().memberBuffer.size(), 1u);
    for (int i = 0; i < 2; ++i) Command("mnuStructMemberPaste");
    for (const char* name : {"Copy of Fault", "copy(2) of Fault"}) {
        const int copied = Member("TextID", QString::fromUtf8(name)).toInt();
        EXPECT_NE(copied, 0) << name;
        EXPECT_NE(copied, textId) << "a text of its own";
        EXPECT_EQ(Member("DataType", QString::fromUtf8(name)).toInt(), CVT_Types::kBit);
        EXPECT_EQ(Grid().CellText(Row(QString::fromUtf8(name)), Column(Text(147))), QStringLiteral("Drive fault"));
    }
    EXPECT_EQ(Window().StatusCounters()[6], 2);

    // Into another structure the name is free.
    Click(nk::StructureKey(drive));
    Command("mnuStructMemberPaste");
    EXPECT_FALSE(Member("ID", QStringLiteral("Fault"), drive).isNull());

    // Ctrl+V with nothing copied beeps.
    Window().memberBuffer.clear();
    const int beeps = ui::DefaultDesktop().Beeps();
    int ctrlV = host::keys::kV;
    Grid().KeyDown(ctrlV, host::keys::kCtrl);
    EXPECT_EQ(ui::DefaultDesktop().Beeps(), beeps + 1);
}

TEST_F(StructureTest, TheCopiedMembersStayCopiedUntilTheyAreDeleted) {
    Grid().SelectRows({Row(QStringLiteral("Fault")), Row(QStringLiteral("Mode"))});
    Command("mnuStructMemberCopy");
    ASSERT_EQ(Window().memberBuffer.size(), 2u);
    // An empty structure of no concern goes: the copy stays.
    Click(nk::kStructures);
    Command("mnuStructureNew");
    Window().Settings().WriteAValueToCInits(QStringLiteral("RequestOnDelete"), false);
    Click(nk::StructureKey(IdOf("TpdbStructDefs", QStringLiteral("New Structure"))));
    Command("mnuStructureDelete");
    EXPECT_EQ(Window().memberBuffer.size(), 2u);
    Click(nk::StructureKey(drive));
    Command("mnuStructMemberPaste");
    EXPECT_FALSE(Member("ID", QStringLiteral("Mode"), drive).isNull());
    // Deleting the structure the copies came from takes them.
    Click(nk::StructureKey(statusWord));
    Command("mnuStructureDelete");
    EXPECT_TRUE(Window().memberBuffer.empty());
}

TEST_F(StructureTest, GridRefusalsAreOneDataErrorAndNumbersReadAsInTheItemGrid) {
    // A name the structure has: what the database said, then the name message.
    const int ready = Row(QStringLiteral("Ready"));
    Type(ready, QStringLiteral("Name"), QStringLiteral("MODE"));
    const QStringList messages = Messages();
    ASSERT_EQ(messages.size(), 2) << messages.join(u'|').toStdString();
    EXPECT_TRUE(messages[0].startsWith(Text(407).left(Text(407).indexOf(u'<')))) << messages[0].toStdString();
    EXPECT_EQ(messages[1], Text(405));
    EXPECT_EQ(Grid().CellText(ready, Column(QStringLiteral("Name"))), QStringLiteral("Ready"));
    EXPECT_EQ(Member("Name", QStringLiteral("Ready")).toString(), QStringLiteral("Ready"));

    // Numbers: no group separators shown, either decimal separator taken.
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German, QLocale::Germany)}) {
        QLocale::setDefault(locale);
        ClearShown();
        const int mode = Row(QStringLiteral("Mode"));
        ASSERT_TRUE(Type(mode, QStringLiteral("MaxVal"), QStringLiteral("1500")));
        EXPECT_EQ(Grid().CellText(mode, Column(QStringLiteral("MaxVal"))), QStringLiteral("1500"));
        ASSERT_TRUE(Type(mode, QStringLiteral("MinVal"), QStringLiteral("2,5")));
        EXPECT_EQ(Member("MinVal", QStringLiteral("Mode")).toDouble(), 2.5);
        ASSERT_TRUE(Type(mode, QStringLiteral("MinVal"), QStringLiteral("-0.25")));
        EXPECT_EQ(Member("MinVal", QStringLiteral("Mode")).toDouble(), -0.25);
        EXPECT_EQ(Grid().CellText(mode, Column(QStringLiteral("MinVal"))), locale.toString(-0.25));
        EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'|').toStdString();
        // What the cell shows reads back as the same number.
        ASSERT_TRUE(Type(mode, QStringLiteral("MinVal"), Grid().CellText(mode, Column(QStringLiteral("MinVal")))));
        EXPECT_EQ(Member("MinVal", QStringLiteral("Mode")).toDouble(), -0.25);
    }
    EXPECT_FALSE(Type(Row(QStringLiteral("Mode")), QStringLiteral("MinVal"), QStringLiteral("abc")));
    EXPECT_EQ(Messages().size(), 1) << "a text that is no number is refused with a message";
}

TEST_F(StructureTest, AFailedMemberDialogWriteShowsOneMessage) {
    Grid().SetCurrentCell(Row(QStringLiteral("Mode")), 0);
    Window().Data()->Connection().SetBusyTimeout(50);
    auto other = project.Open();
    other->BeginTrans();
    ui::DefaultFormRunner().Once(QStringLiteral("FStructMember"), [](ui::Form& f) {
        f.UserSetText(QStringLiteral("txtComment"), QStringLiteral("not now"));
        f.PressDefault();
    });
    Command("mnuStructMemberEdit");
    other->RollbackTrans();
    ASSERT_EQ(Messages().size(), 1) << Messages().join(u'|').toStdString();
    EXPECT_TRUE(Messages().front().startsWith(Text(1915)));
    EXPECT_NE(Member("Comment", QStringLiteral("Mode")).toString(), QStringLiteral("not now"));
}

TEST_F(StructureTest, DeletingMembersTakesTheirTexts) {
    Type(Row(QStringLiteral("Ready")), Text(147), QStringLiteral("ready text"));
    const int textId = Member("TextID", QStringLiteral("Ready")).toInt();
    Grid().SelectRows({Row(QStringLiteral("Ready")), Row(QStringLiteral("Mode"))});
    Command("mnuStructMemberDelete");  // No is the default answer
    EXPECT_EQ(Messages(), QStringList{Text(410)});
    EXPECT_EQ(Grid().RowCount(), 4);
    ui::DefaultMessageBoxes().Queue(ui::Answer::Yes);
    Command("mnuStructMemberDelete");
    EXPECT_EQ(Grid().RowCount(), 2);
    EXPECT_TRUE(Member("ID", QStringLiteral("Ready")).isNull());
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TidxTexts WHERE ID = %1").arg(textId)), 0);
}

TEST_F(StructureTest, DeletingAStructureTakesItsMembersWithOrWithoutTheQuestion) {
    Type(Row(QStringLiteral("Ready")), Text(147), QStringLiteral("ready text"));
    const int textId = Member("TextID", QStringLiteral("Ready")).toInt();
    Command("mnuStructureDelete");  // No is the default answer
    EXPECT_EQ(Messages(), QStringList{Text(409)});
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbStructMembers WHERE ParentID = %1").arg(statusWord)), 4);

    ui::DefaultMessageBoxes().Queue(ui::Answer::Yes);
    Command("mnuStructureDelete");
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbStructDefs WHERE ID = %1").arg(statusWord)), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbStructMembers WHERE ParentID = %1").arg(statusWord)), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TidxTexts WHERE ID = %1").arg(textId)), 0);
    EXPECT_TRUE(NodeText(nk::StructureKey(statusWord)).isEmpty());
    EXPECT_EQ(Window().CurrentNode(), nk::kStructures);
    EXPECT_FALSE(ListTexts(Grid(), Text(133)).contains(QStringLiteral("StatusWord")));
    EXPECT_EQ(Count(QStringLiteral("SELECT StructID FROM TpdbStructMembers WHERE Name = 'Status'")), statusWord)
        << "members of other structures keep their type";

    Window().Settings().WriteAValueToCInits(QStringLiteral("RequestOnDelete"), false);
    ui::DefaultMessageBoxes().Clear();
    Click(nk::StructureKey(drive));
    Command("mnuStructureDelete");
    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbStructMembers")), 0);
}

TEST_F(StructureTest, TheStructureDialogRenamesAndRefusesATakenName) {
    ui::DefaultFormRunner().Once(QStringLiteral("FStructure"), [](ui::Form& f) {
        EXPECT_EQ(f.Get(QStringLiteral("TxtName")).text, QStringLiteral("StatusWord"));
        EXPECT_EQ(f.Get(QStringLiteral("chkOrderByOffset")).checkState, 1);
        f.UserSetText(QStringLiteral("TxtName"), QStringLiteral("drive"));
        f.PressDefault();
        EXPECT_TRUE(f.IsShown());
        f.UserSetText(QStringLiteral("TxtName"), QString(300, u's'));
        f.PressDefault();
        EXPECT_TRUE(f.IsShown());
        f.UserSetText(QStringLiteral("TxtName"), QStringLiteral("Status's [bits]"));
        f.UserCheck(QStringLiteral("chkOrderByOffset"), false);
        f.UserSetText(QStringLiteral("txtComment"), QStringLiteral(""));
        f.PressDefault();
    });
    Command("mnuStructureEdit");
    ASSERT_EQ(Messages().size(), 2);
    EXPECT_EQ(Messages()[0], Text(405));
    EXPECT_EQ(Query(QStringLiteral("SELECT Name FROM TpdbStructDefs WHERE ID = %1").arg(statusWord)).toString(),
              QStringLiteral("Status's [bits]"));
    EXPECT_FALSE(Query(QStringLiteral("SELECT OrderByOffset FROM TpdbStructDefs WHERE ID = %1").arg(statusWord)).toBool());
    EXPECT_EQ(NodeText(nk::StructureKey(statusWord)), QStringLiteral("Status's [bits]"));
    Click(nk::StructureKey(drive));
    EXPECT_EQ(Grid().CellText(Row(QStringLiteral("Status")), Column(Text(133))), QStringLiteral("Status's [bits]"));

    // Cancel changes nothing.
    ui::DefaultFormRunner().Once(QStringLiteral("FStructure"), [](ui::Form& f) {
        f.UserSetText(QStringLiteral("TxtName"), QStringLiteral("Other"));
        f.PressCancel();
    });
    Command("mnuStructureEdit");
    EXPECT_EQ(NodeText(nk::StructureKey(drive)), QStringLiteral("Drive"));
}

TEST_F(StructureTest, TheMemberDialogWritesBothPages) {
    Grid().SetCurrentCell(Row(QStringLiteral("Mode")), 0);
    const int temperature = IdOf("TpdbUnitClasses", QStringLiteral("Temperature"));
    ui::DefaultFormRunner().Once(QStringLiteral("FStructMember"), [&](ui::Form& f) {
        EXPECT_EQ(f.Get(QStringLiteral("txtOrderNum")).text, QStringLiteral("1"));
        EXPECT_EQ(f.Get(QStringLiteral("cmbDataType")).SelectedData().toInt(), 17);
        EXPECT_EQ(f.Get(QStringLiteral("cmbUnitClassIDItemDependent")).SelectedText(), Text(180));
        int ctrlTab = 9;
        f.UserKeyDown(ctrlTab, 2);
        EXPECT_EQ(f.Get(QStringLiteral("tabStructure")).listIndex, 1);
        f.UserChoose(QStringLiteral("cmbDataType"), CVT_Types::kBit);
        f.UserSetText(QStringLiteral("txtOrderNum"), QStringLiteral("4,25"));
        f.UserSetText(QStringLiteral("txtMaxVal"), QStringLiteral("1e400"));
        f.UserSetText(QStringLiteral("txtMinVal"), QStringLiteral("-2,5"));
        f.UserSetText(QStringLiteral("txtDefaultVal"), QStringLiteral(""));
        f.UserSetText(QStringLiteral("txtItemText"), QStringLiteral("Operating mode"));
        f.UserChoose(QStringLiteral("cmbUnitClassIDItemDependent"), temperature);
        int enter = 13;
        f.UserKeyDown(enter, 0);
    });
    Command("mnuStructMemberEdit");
    EXPECT_EQ(Member("DataType", QStringLiteral("Mode")).toInt(), CVT_Types::kBit);
    EXPECT_DOUBLE_EQ(Member("OrderNum", QStringLiteral("Mode")).toDouble(), 4.3) << "one decimal for a bit";
    EXPECT_DOUBLE_EQ(Member("MinVal", QStringLiteral("Mode")).toDouble(), -2.5);
    EXPECT_DOUBLE_EQ(Member("MaxVal", QStringLiteral("Mode")).toDouble(), 0.0) << "no number a double holds";
    EXPECT_EQ(Member("DefaultVal", QStringLiteral("Mode")).toString(), QString(QChar(0)));
    EXPECT_EQ(Member("UnitClassIDItemDependent", QStringLiteral("Mode")).toInt(), temperature);
    EXPECT_EQ(Grid().CellText(Row(QStringLiteral("Mode")), Column(Text(147))), QStringLiteral("Operating mode"));

    // A bad order number keeps the dialog open.
    ui::DefaultMessageBoxes().Clear();
    ui::DefaultFormRunner().Once(QStringLiteral("FStructMember"), [](ui::Form& f) {
        f.UserSetText(QStringLiteral("txtOrderNum"), QStringLiteral("abc"));
        f.PressDefault();
        EXPECT_TRUE(f.IsShown());
        EXPECT_EQ(f.Focus().control, QStringLiteral("txtOrderNum"));
        f.PressCancel();
    });
    Command("mnuStructMemberEdit");
    EXPECT_EQ(Messages(), QStringList{Text(settings::kTextOrderNumberNotANumber)});
}

TEST_F(StructureTest, SeveralRowsTakeAValueButNotANameOrPosition) {
    Grid().SelectRows({Row(QStringLiteral("Ready")), Row(QStringLiteral("Running")), Row(QStringLiteral("Fault"))});
    Grid().SetCurrentCell(Row(QStringLiteral("Running")), Column(QStringLiteral("Comment")));
    Type(Row(QStringLiteral("Running")), QStringLiteral("Comment"), QStringLiteral("status bit"));
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbStructMembers WHERE Comment = 'status bit'")), 3);
    Type(Row(QStringLiteral("Running")), QStringLiteral("Name"), QStringLiteral("Busy"));
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbStructMembers WHERE Name = 'Busy'")), 1);
    Type(Row(QStringLiteral("Busy")), QStringLiteral("OrderNum"), QStringLiteral("0.7"));
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbStructMembers WHERE OrderNum = 0.7")), 1);
}

TEST_F(StructureTest, KeysSortSelectAndRunTheCommands) {
    // Ctrl+O on the data type column sorts by type, then back.
    Grid().SetCurrentCell(0, Column(Text(133)));
    int ctrlO = host::keys::kO;
    Grid().KeyDown(ctrlO, host::keys::kCtrl);
    EXPECT_EQ(Grid().CellText(0, Column(QStringLiteral("Name"))), QStringLiteral("Mode")) << "VT_UI1 (17) before bits (256)";
    EXPECT_EQ(Grid().CurrentColumn(), Column(Text(133)));
    ctrlO = host::keys::kO;
    Grid().KeyDown(ctrlO, host::keys::kCtrl);
    EXPECT_EQ(Grid().CellText(0, Column(QStringLiteral("Name"))), QStringLiteral("Ready"));

    // Shift+Down: first marks the row, then adds rows as it moves.
    int key = host::keys::kDown;
    Grid().KeyDown(key, host::keys::kShift);
    EXPECT_EQ(Grid().SelectedBookmarks().size(), 1u);
    EXPECT_EQ(Grid().CurrentRow(), 0);
    for (int i = 0; i < 2; ++i) {
        key = host::keys::kDown;
        Grid().KeyDown(key, host::keys::kShift);
    }
    EXPECT_EQ(Grid().SelectedBookmarks().size(), 2u);
    EXPECT_EQ(Grid().CurrentRow(), 2);
    key = host::keys::kPageDown;
    Grid().KeyDown(key, 0);
    EXPECT_TRUE(Grid().SelectedBookmarks().empty());

    key = host::keys::kPageDown;
    Grid().KeyDown(key, host::keys::kCtrl);
    EXPECT_EQ(Grid().CurrentRow(), Grid().RowCount() - 1);
    key = host::keys::kF8;
    Grid().KeyDown(key, 0);
    EXPECT_EQ(Grid().RowCount(), 5);
    ui::DefaultFormRunner().Once(QStringLiteral("FStructMember"), [](ui::Form& f) { f.PressCancel(); });
    Grid().DoubleClick();
    EXPECT_EQ(ui::DefaultFormRunner().Shown(), QStringList{QStringLiteral("FStructMember")});
}

}  // namespace
