// Groups as a person works with them: the group commands, the group dialog
// and the group grid, on the demo project (groups Standard, Fast, Slow).

#include "editor/frmtabgridOPC.h"
#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "platform/db/Recordset.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"
#include "platform/ui/Progress.h"
#include "support/EditorTest.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace ov;
namespace nk = ov::host::nodekey;
using settings::Text;

namespace {

class GroupTest : public test::EditorTest {
  protected:
    void SetUp() override {
        Open();
        Click(nk::kGroups);
        ClearShown();
    }

    ui::GridModel& Grid() { return Window().tdbG(); }
    void Command(const QString& key, const char* tool) { RunTool(tool, key); }
    int Column(const char* field) { return Grid().ColumnIndex(QString::fromUtf8(field)); }
    int Row(const QString& name) {
        for (int row = 0; row < Grid().RowCount(); ++row)
            if (Grid().CellText(row, Column("Name")) == name) return row;
        return -1;
    }
    void Type(int row, const char* field, const QVariant& value) {
        ASSERT_TRUE(Grid().BeginEdit(row, Column(field)));
        Grid().CommitEdit(value);
    }
    QVariant Stored(const char* field, const QString& name) {
        auto c = project.Open();
        db::Recordset rs;
        rs.Open(QStringLiteral("SELECT %1 FROM TpdbGroups WHERE Name = '%2'").arg(QString::fromUtf8(field), name), *c);
        return rs.IsEOF() ? QVariant() : rs.Fields(0).Value();
    }
    int IdOf(const QString& name) { return Stored("ID", name).toInt(); }
    QString NameOf(int id) {
        auto c = project.Open();
        db::Recordset rs;
        rs.Open(QStringLiteral("SELECT Name FROM TpdbGroups WHERE ID = %1").arg(id), *c);
        return rs.IsEOF() ? QString() : rs.Fields(0).Value().toString();
    }

};

TEST_F(GroupTest, NewGroupsAreNumberedAndAppearWithTheirDevices) {
    for (int i = 0; i < 3; ++i) Command(nk::kGroups, "mnuGroupNew");
    EXPECT_TRUE(ui::DefaultFormRunner().Shown().isEmpty()) << "no dialog for a new group";
    for (const QString& name : {QStringLiteral("Neue Gruppe"), QStringLiteral("Neue Gruppe(1)"), QStringLiteral("Neue Gruppe(2)")}) {
        ASSERT_FALSE(Stored("ID", name).isNull()) << name.toStdString();
        const int id = IdOf(name);
        EXPECT_EQ(NodeText(nk::GroupKey(id)), name);
        EXPECT_EQ(harness.Host().GetChildKeys(nk::GroupKey(id), 1).size(), 3) << "one node per device";
        EXPECT_EQ(NodeText(nk::GroupDeviceKey(id, 2)), QStringLiteral("Press: Hydraulic press"));
    }
    EXPECT_EQ(Grid().RowCount(), 6);
    EXPECT_EQ(Grid().CellText(Grid().CurrentRow(), Column("Name")), QStringLiteral("Neue Gruppe(2)")) << "the new one is current";
    EXPECT_EQ(Window().StatusCounters()[1], 3);
    // A new group gets the default settings of the database.
    EXPECT_EQ(Stored("UpdateRate", QStringLiteral("Neue Gruppe")).toDouble(), 1000.0);
}

TEST_F(GroupTest, TheDialogRefusesATakenNameAndALetterCaseChange) {
    Grid().SetCurrentCell(Row(QStringLiteral("Fast")), Column("Name"));
    ui::DefaultFormRunner().Once(QStringLiteral("FGroup"), [](ui::Form& f) {
        EXPECT_EQ(f.Focus().control, QStringLiteral("TxtName"));
        f.UserSetText(QStringLiteral("TxtName"), QStringLiteral("FAST"));
        f.PressDefault();
        EXPECT_TRUE(f.IsShown());
        f.UserSetText(QStringLiteral("TxtName"), QStringLiteral("slow"));
        f.PressDefault();
        EXPECT_TRUE(f.IsShown());
        f.UserSetText(QStringLiteral("TxtName"), QStringLiteral("  "));
        EXPECT_FALSE(f.Get(QStringLiteral("cmdOK")).enabled);
        f.UserSetText(QStringLiteral("TxtName"), QStringLiteral("Drives"));
        f.UserSetText(QStringLiteral("txtUpdateRate"), QStringLiteral("1e12"));
        f.UserSetText(QStringLiteral("txtPercentDeadband"), QStringLiteral("12,5"));
        f.UserSetText(QStringLiteral("txtTimeBias"), QStringLiteral("-1"));
        f.UserCheck(QStringLiteral("optReadAsync"), true);
        f.PressDefault();
    });
    EXPECT_EQ(Window().CurrentNode(), nk::GroupKey(IdOf(QStringLiteral("Fast")))) << "the row's group is the current node";
    Command(Window().CurrentNode(), "mnuGroupEdit");
    EXPECT_EQ(Messages(), (QStringList{Text(652), Text(652)}));
    ASSERT_FALSE(Stored("ID", QStringLiteral("Drives")).isNull());
    EXPECT_EQ(Stored("UpdateRate", QStringLiteral("Drives")).toDouble(), 1e12);
    EXPECT_EQ(Stored("PercentDeadband", QStringLiteral("Drives")).toDouble(), 12.5) << "a decimal comma counts too";
    EXPECT_EQ(Stored("TimeBias", QStringLiteral("Drives")).toDouble(), -1.0);
    EXPECT_EQ(Stored("AsyncRead", QStringLiteral("Drives")).toBool(), true);
    EXPECT_EQ(NodeText(nk::GroupKey(IdOf(QStringLiteral("Drives")))), QStringLiteral("Drives"));
}

TEST_F(GroupTest, TheActivationModeDecidesWhatCanBeChosen) {
    const int slow = IdOf(QStringLiteral("Slow"));
    Window().Data()->Connection().Execute(QStringLiteral("UPDATE TpdbGroups SET ActiveMode = 3 WHERE ID = ?"), {slow});
    Click(nk::GroupKey(slow));
    harness.Host().QueueVariableSelection(QStringLiteral("Line1.Start"));
    ui::DefaultFormRunner().Once(QStringLiteral("FGroup"), [](ui::Form& f) {
        EXPECT_EQ(f.Get(QStringLiteral("cmbActiveMode")).listIndex, -1) << "Recipe is not offered";
        EXPECT_FALSE(f.Get(QStringLiteral("cmdChooseActivation")).enabled);
        f.UserChoose(QStringLiteral("cmbActiveMode"), 2);
        EXPECT_TRUE(f.Get(QStringLiteral("txtActivation")).enabled) << "application controlled";
        EXPECT_FALSE(f.Get(QStringLiteral("cmdChooseActivation")).enabled);
        f.UserChoose(QStringLiteral("cmbActiveMode"), 0);
        EXPECT_FALSE(f.Get(QStringLiteral("txtActivation")).enabled) << "automatic";
        f.UserChoose(QStringLiteral("cmbActiveMode"), 1);
        f.UserClick(QStringLiteral("cmdChooseActivation"));
        EXPECT_EQ(f.Get(QStringLiteral("txtActivation")).text, QStringLiteral("Line1.Start"));
        f.UserChoose(QStringLiteral("cmbActiveMode"), QStringLiteral("automatic"));
        f.PressDefault();
    });
    Command(nk::GroupKey(slow), "mnuGroupEdit");
    EXPECT_TRUE(harness.Host().Calls().contains(QStringLiteral("SelectVariable(, 16)")));
    EXPECT_EQ(Stored("Activation", QStringLiteral("Slow")).toString(), QStringLiteral("Line1.Start"));
    EXPECT_EQ(Stored("ActiveMode", QStringLiteral("Slow")).toInt(), 0);

    // A mode stored by another tool is kept when the dialog offers nothing for it.
    Window().Data()->Connection().Execute(QStringLiteral("UPDATE TpdbGroups SET ActiveMode = 99 WHERE ID = ?"), {slow});
    ui::DefaultFormRunner().Once(QStringLiteral("FGroup"), [](ui::Form& f) { f.PressDefault(); });
    Command(nk::GroupKey(slow), "mnuGroupEdit");
    EXPECT_EQ(Stored("ActiveMode", QStringLiteral("Slow")).toInt(), 99);

    // In the grid the button chooses a control object only for mode 1; typing always opens the choice.
    Click(nk::kGroups);
    const int row = Row(QStringLiteral("Fast"));
    const int beeps = ui::DefaultDesktop().Beeps();
    harness.Host().ClearCalls();
    Grid().SetCurrentCell(row, Column("Activation"));
    Grid().ColumnButtonClicked(Column("Activation"));
    EXPECT_EQ(ui::DefaultDesktop().Beeps(), beeps + 1);
    EXPECT_FALSE(harness.Host().Calls().join(u'|').contains(QStringLiteral("SelectVariable")));
    harness.Host().QueueVariableSelection(QStringLiteral("Tank.Speed"));
    EXPECT_FALSE(Grid().BeginEdit(row, Column("Activation"))) << "typing opens the chooser instead";
    EXPECT_EQ(Grid().CellText(row, Column("Activation")), QStringLiteral("Tank.Speed"));
    Type(row, "ActiveMode", Text(626));
    harness.Host().QueueVariableSelection(QStringLiteral("Tank.Level"));
    Grid().ColumnButtonClicked(Column("Activation"));
    EXPECT_EQ(Grid().CellText(row, Column("Activation")), QStringLiteral("Tank.Level"));
    Grid().SetCurrentCell(0, Column("Name"));  // leaving the row writes it
    EXPECT_EQ(Stored("Activation", QStringLiteral("Fast")).toString(), QStringLiteral("Tank.Level"));
}

TEST_F(GroupTest, GridRenamesAreCheckedAndTheTreeFollowsWhatWasWritten) {
    const int fast = IdOf(QStringLiteral("Fast"));
    const int row = Row(QStringLiteral("Fast"));
    Type(row, "Name", QStringLiteral(""));
    Type(row, "Name", QStringLiteral("SLOW"));
    Type(row, "Name", QStringLiteral("fast"));
    EXPECT_EQ(Messages(), (QStringList{Text(406), Text(405), Text(405)})) << "empty, another group's, only letter case";
    EXPECT_EQ(Grid().CellText(row, Column("Name")), QStringLiteral("Fast"));

    Type(row, "Name", QStringLiteral("Quick 'n\" [50%]"));
    EXPECT_EQ(NodeText(nk::GroupKey(fast)), QStringLiteral("Fast")) << "not written yet: the row is still being edited";
    Grid().SetCurrentCell(0, Column("Name"));
    EXPECT_EQ(NameOf(fast), QStringLiteral("Quick 'n\" [50%]")) << "stored as typed";
    EXPECT_EQ(NodeText(nk::GroupKey(fast)), QStringLiteral("Quick 'n\" [50%]"));

    // A name longer than the field does not fit: the stored one stays.
    ui::DefaultMessageBoxes().Clear();
    Type(row, "Name", QString(1000, u'g'));
    EXPECT_TRUE(Messages().join(u'|').contains(QStringLiteral("6156"))) << Messages().join(u'|').toStdString();
    EXPECT_EQ(Grid().CellText(row, Column("Name")), QStringLiteral("Quick 'n\" [50%]"));
}

TEST_F(GroupTest, TheNameListHoldsOnlyWhatWasWritten) {
    // Names typed one after the other into one row: only the last is written.
    const int fast = Row(QStringLiteral("Fast"));
    Type(fast, "Name", QStringLiteral("Alpha"));
    Type(fast, "Name", QStringLiteral("Beta"));
    Grid().SetCurrentCell(Row(QStringLiteral("Slow")), Column("Name"));
    ASSERT_GT(IdOf(QStringLiteral("Beta")), 0);
    Type(Row(QStringLiteral("Slow")), "Name", QStringLiteral("Alpha"));
    EXPECT_TRUE(Messages().isEmpty()) << "Alpha was never written: " << Messages().join(u'|').toStdString();
    Grid().SetCurrentCell(Row(QStringLiteral("Beta")), Column("Name"));
    EXPECT_GT(IdOf(QStringLiteral("Alpha")), 0);

    // A write refused while another program holds the lock leaves the list as the database has it.
    Window().Data()->Connection().SetBusyTimeout(50);
    auto other = project.Open();
    other->BeginTrans();
    Type(Row(QStringLiteral("Beta")), "Name", QStringLiteral("Gamma"));
    Grid().SetCurrentCell(Row(QStringLiteral("Alpha")), Column("Name"));
    other->RollbackTrans();
    EXPECT_FALSE(Messages().isEmpty()) << "the refused write is reported";
    EXPECT_GT(IdOf(QStringLiteral("Beta")), 0);
    ClearShown();
    const int alpha = Row(QStringLiteral("Alpha"));
    Type(alpha, "Name", QStringLiteral("Beta"));
    EXPECT_EQ(Messages(), QStringList{Text(405)}) << "Beta is still taken";
    ClearShown();
    Type(alpha, "Name", QStringLiteral("Gamma"));
    EXPECT_TRUE(Messages().isEmpty()) << "Gamma is free: " << Messages().join(u'|').toStdString();
    Grid().SetCurrentCell(Row(QStringLiteral("Beta")), Column("Name"));
    EXPECT_GT(IdOf(QStringLiteral("Gamma")), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbGroups WHERE Name IN ('Alpha', 'Beta', 'Gamma')")), 2);
}

TEST_F(GroupTest, OneNameForSeveralRowsIsNumbered) {
    Grid().SelectRows({0, 1, 2});
    Type(0, "Name", QStringLiteral("G"));
    for (const char* name : {"G(1)", "G(2)", "G(3)"}) EXPECT_FALSE(Stored("ID", QString::fromUtf8(name)).isNull()) << name;
    EXPECT_EQ(NodeText(nk::GroupKey(1)), QStringLiteral("G(1)"));
    // Other values go to every selected row.
    Grid().SelectRows({1, 2});
    Type(1, "Comment", QStringLiteral("both"));
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbGroups WHERE Comment = 'both'")), 2);
}

TEST_F(GroupTest, ClicksOnBooleanColumnsAreWrittenAtOnceOtherEditsWhenTheRowIsLeft) {
    const int row = Row(QStringLiteral("Slow"));
    Type(row, "Comment", QStringLiteral("later"));
    EXPECT_NE(Stored("Comment", QStringLiteral("Slow")).toString(), QStringLiteral("later"));
    Type(row, "Enabled", false);
    EXPECT_EQ(Stored("Enabled", QStringLiteral("Slow")).toBool(), false);
    EXPECT_EQ(Stored("Comment", QStringLiteral("Slow")).toString(), QStringLiteral("later")) << "the click wrote the row";
    Type(row, "AsyncWrite", Text(610));
    EXPECT_EQ(Stored("AsyncWrite", QStringLiteral("Slow")).toBool(), false);
}

TEST_F(GroupTest, TheTreeFollowsTheGridsCurrentRow) {
    const int slow = IdOf(QStringLiteral("Slow"));
    Grid().SetCurrentCell(Row(QStringLiteral("Slow")), Column("Comment"));
    QString first, key, third, fourth;
    harness.Host().GetSelectedNode(first, key, third, fourth);
    EXPECT_EQ(key, nk::GroupKey(slow));
    EXPECT_EQ(Window().CurrentNode(), nk::GroupKey(slow));
    EXPECT_EQ(Window().FrontGrid(), QStringLiteral("tdbG")) << "the group grid stays in front";

    // Its keys: F9 edits the row's group, F8 makes a new one.
    ui::DefaultFormRunner().Once(QStringLiteral("FGroup"), [](ui::Form& f) {
        EXPECT_EQ(f.Get(QStringLiteral("TxtName")).text, QStringLiteral("Slow"));
        f.PressCancel();
    });
    int key9 = host::keys::kF9;
    Grid().KeyDown(key9, 0);
    EXPECT_EQ(ui::DefaultFormRunner().Shown(), QStringList{QStringLiteral("FGroup")});
    int key8 = host::keys::kF8;
    Grid().KeyDown(key8, 0);
    EXPECT_EQ(Grid().RowCount(), 4);
}

TEST_F(GroupTest, DeleteAsksTakesTheConnectionsAndNeverTheDefaultGroup) {
    const int fast = IdOf(QStringLiteral("Fast"));
    const int connections = Count(QStringLiteral("SELECT Count(*) FROM TpdbConnections WHERE GroupID = %1").arg(fast));
    ASSERT_GT(connections, 0);
    Click(nk::GroupKey(fast));
    Command(nk::GroupKey(fast), "mnuGroupDelete");  // No is the default answer
    EXPECT_EQ(Messages().front(), Text(408).replace(QStringLiteral("<cn>"), QString::number(connections)));
    EXPECT_FALSE(Stored("ID", QStringLiteral("Fast")).isNull());

    ui::DefaultMessageBoxes().Queue(ui::Answer::Yes);
    Command(nk::GroupKey(fast), "mnuGroupDelete");
    EXPECT_TRUE(Stored("ID", QStringLiteral("Fast")).isNull());
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbConnections WHERE GroupID = %1").arg(fast)), 0);
    EXPECT_TRUE(NodeText(nk::GroupKey(fast)).isEmpty());
    EXPECT_EQ(Window().CurrentNode(), nk::kGroups);

    // Without the question; group 1 is refused silently.
    Window().Settings().WriteAValueToCInits(QStringLiteral("RequestOnDelete"), false);
    ui::DefaultMessageBoxes().Clear();
    const int slow = IdOf(QStringLiteral("Slow"));
    Click(nk::GroupKey(slow));
    Command(nk::GroupKey(slow), "mnuGroupDelete");
    EXPECT_TRUE(Stored("ID", QStringLiteral("Slow")).isNull());
    Click(nk::GroupKey(1));
    Command(nk::GroupKey(1), "mnuGroupDelete");
    EXPECT_FALSE(Stored("ID", QStringLiteral("Standard")).isNull());
    EXPECT_TRUE(Messages().isEmpty());
}

TEST_F(GroupTest, CancelDuringTheDeleteOfALargeGroupKeepsItWhole) {
    const int fast = IdOf(QStringLiteral("Fast"));
    {
        // Every item in the group many times over is not allowed; many items are.
        auto c = project.Open();
        c->BeginTrans();
        for (int i = 0; i < 25000; ++i)
            c->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, ?, ?)"),
                       {QStringLiteral("Many.I%1").arg(i), QStringLiteral("Many.I%1").arg(i)});
        c->Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) SELECT %1, ID FROM TpdbItems "
                                  "WHERE Name Like 'Many.%'").arg(fast));
        c->CommitTrans();
    }
    const int connections = Count(QStringLiteral("SELECT Count(*) FROM TpdbConnections WHERE GroupID = %1").arg(fast));
    Window().Settings().WriteAValueToCInits(QStringLiteral("RequestOnDelete"), false);
    ui::DefaultProgress().cancelAt = 0;
    Click(nk::GroupKey(fast));
    Command(nk::GroupKey(fast), "mnuGroupDelete");
    ui::DefaultProgress().cancelAt = -1;
    EXPECT_FALSE(Stored("ID", QStringLiteral("Fast")).isNull());
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbConnections WHERE GroupID = %1").arg(fast)), connections);
    EXPECT_FALSE(NodeText(nk::GroupKey(fast)).isEmpty());
    EXPECT_TRUE(Messages().isEmpty()) << "a Cancel is no error";

    Command(nk::GroupKey(fast), "mnuGroupDelete");
    EXPECT_TRUE(Stored("ID", QStringLiteral("Fast")).isNull());
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbConnections WHERE GroupID = %1").arg(fast)), 0);
}

}  // namespace
