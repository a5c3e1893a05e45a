// Groups as a person works with them: the group commands, the group dialog
// and the group grid, on the demo project (groups Standard, Fast, Slow).

#include "objects/ObjectTest.h"
#include "platform/ui/Progress.h"

using namespace ov;
namespace nk = ov::host::nodekey;
namespace keys = ov::host::keys;
using settings::Text;

namespace {

class GroupTest : public test::ObjectTest {
  protected:
    void SetUp() override {
        Open();
        Click(nk::kGroups);
        ClearShown();
    }

    ui::GridModel& Grid() { return Window().tdbG(); }
    void Command(const QString& key, const char* tool) { RunTool(tool, key); }
    void EditGroup(const QString& key, Script script) {
        OnForm("FGroup", std::move(script));
        Command(key, "mnuGroupEdit");
    }
    int Column(const char* field) { return Grid().ColumnIndex(QString::fromUtf8(field)); }
    int Row(const char* name) { return test::RowOf(Grid(), Column("Name"), QString::fromUtf8(name)); }
    void Type(int row, const char* field, const QVariant& value) { test::Edit(Grid(), row, Column(field), value); }
    // Leaving a row writes it.
    void Leave(const char* forRow) { Grid().SetCurrentCell(Row(forRow), Column("Name")); }
    QVariant Stored(const char* field, const char* name) {
        return Query(QStringLiteral("SELECT %1 FROM TpdbGroups WHERE Name = '%2'").arg(QString::fromUtf8(field), QString::fromUtf8(name)));
    }
    bool Exists(const char* name) { return !Stored("ID", name).isNull(); }
    int IdOf(const char* name) { return Stored("ID", name).toInt(); }
    QString NameOf(int id) { return Query(QStringLiteral("SELECT Name FROM TpdbGroups WHERE ID = %1").arg(id)).toString(); }
    int Connections(int group) {
        return Count(QStringLiteral("SELECT Count(*) FROM TpdbConnections WHERE GroupID = %1").arg(group));
    }
};

TEST_F(GroupTest, NewGroupsAreNumberedAndAppearWithTheirDevices) {
    for (int i = 0; i < 3; ++i) Command(nk::kGroups, "mnuGroupNew");
    EXPECT_TRUE(ui::DefaultFormRunner().Shown().isEmpty()) << "no dialog for a new group";
    for (const char* name : {"Neue Gruppe", "Neue Gruppe(1)", "Neue Gruppe(2)"}) {
        ASSERT_TRUE(Exists(name)) << name;
        const int id = IdOf(name);
        EXPECT_EQ(NodeText(nk::GroupKey(id)), QString::fromUtf8(name));
        EXPECT_EQ(harness.Host().GetChildKeys(nk::GroupKey(id), 1).size(), 3) << "one node per device";
        EXPECT_EQ(NodeText(nk::GroupDeviceKey(id, 2)), QStringLiteral("Press: Hydraulic press"));
    }
    EXPECT_EQ(Grid().RowCount(), 6);
    EXPECT_EQ(Grid().CellText(Grid().CurrentRow(), Column("Name")), QStringLiteral("Neue Gruppe(2)")) << "the new one is current";
    EXPECT_EQ(Window().StatusCounters()[1], 3);
    // A new group gets the default settings of the database.
    EXPECT_EQ(Stored("UpdateRate", "Neue Gruppe").toDouble(), 1000.0);
}

TEST_F(GroupTest, TheTreeFollowsTheCurrentRowAndF9EditsItsGroupRefusingTakenNames) {
    const int fast = IdOf("Fast");
    Grid().SetCurrentCell(Row("Fast"), Column("Comment"));
    QString first, key, third, fourth;
    harness.Host().GetSelectedNode(first, key, third, fourth);
    EXPECT_EQ(key, nk::GroupKey(fast));
    EXPECT_EQ(Window().CurrentNode(), nk::GroupKey(fast)) << "the row's group is the current node";
    EXPECT_EQ(Window().FrontGrid(), QStringLiteral("tdbG")) << "the group grid stays in front";

    // F9 edits the row's group; another group's name, in any letter case, is refused.
    OnForm("FGroup", [](ui::Form& f) {
        EXPECT_EQ(Box(f, "TxtName"), QStringLiteral("Fast"));
        EXPECT_EQ(f.Focus().control, QStringLiteral("TxtName"));
        ExpectRefused(f, "TxtName", {QStringLiteral("FAST"), QStringLiteral("slow")});
        f.UserSetText(QStringLiteral("TxtName"), QStringLiteral("  "));
        EXPECT_FALSE(test::Enabled(f, "cmdOK"));
        Fill(f, {{"TxtName", QStringLiteral("Drives")}, {"txtUpdateRate", QStringLiteral("1e12")},
                 {"txtPercentDeadband", QStringLiteral("12,5")}, {"txtTimeBias", QStringLiteral("-1")}});
        f.UserCheck(QStringLiteral("optReadAsync"), true);
        f.PressDefault();
    });
    Press(Grid(), keys::kF9);
    EXPECT_EQ(ui::DefaultFormRunner().Shown(), QStringList{QStringLiteral("FGroup")});
    EXPECT_EQ(Messages(), (QStringList{Text(652), Text(652)}));
    // A decimal comma counts too.
    EXPECT_EQ(Record(QStringLiteral("SELECT UpdateRate, PercentDeadband, TimeBias, AsyncRead <> 0 FROM TpdbGroups WHERE Name = 'Drives'")),
              test::Words("1e+12 12.5 -1 1"));
    EXPECT_EQ(NodeText(nk::GroupKey(fast)), QStringLiteral("Drives"));

    // F8 makes a new group.
    Press(Grid(), keys::kF8);
    EXPECT_EQ(Grid().RowCount(), 4);
}

TEST_F(GroupTest, TheActivationModeDecidesWhatCanBeChosen) {
    const int slow = IdOf("Slow");
    Window().Data()->Connection().Execute(QStringLiteral("UPDATE TpdbGroups SET ActiveMode = 3 WHERE ID = ?"), {slow});
    Click(nk::GroupKey(slow));
    harness.Host().QueueVariableSelection(QStringLiteral("Line1.Start"));
    EditGroup(nk::GroupKey(slow), [](ui::Form& f) {
        EXPECT_EQ(f.Get(QStringLiteral("cmbActiveMode")).listIndex, -1) << "Recipe is not offered";
        EXPECT_FALSE(f.Get(QStringLiteral("cmdChooseActivation")).enabled);
        f.UserChoose(QStringLiteral("cmbActiveMode"), 2);
        EXPECT_TRUE(f.Get(QStringLiteral("txtActivation")).enabled) << "application controlled";
        EXPECT_FALSE(f.Get(QStringLiteral("cmdChooseActivation")).enabled);
        f.UserChoose(QStringLiteral("cmbActiveMode"), 0);
        EXPECT_FALSE(f.Get(QStringLiteral("txtActivation")).enabled) << "automatic";
        f.UserChoose(QStringLiteral("cmbActiveMode"), 1);
        f.UserClick(QStringLiteral("cmdChooseActivation"));
        EXPECT_EQ(Box(f, "txtActivation"), QStringLiteral("Line1.Start"));
        f.UserChoose(QStringLiteral("cmbActiveMode"), QStringLiteral("automatic"));
        f.PressDefault();
    });
    EXPECT_TRUE(harness.Host().Calls().contains(QStringLiteral("SelectVariable(, 16)")));
    EXPECT_EQ(Record(QStringLiteral("SELECT Activation, ActiveMode FROM TpdbGroups WHERE Name = 'Slow'")), test::Words("Line1.Start 0"));

    // A mode stored by another tool is kept when the dialog offers nothing for it.
    Window().Data()->Connection().Execute(QStringLiteral("UPDATE TpdbGroups SET ActiveMode = 99 WHERE ID = ?"), {slow});
    EditGroup(nk::GroupKey(slow), Confirm);
    EXPECT_EQ(Stored("ActiveMode", "Slow").toInt(), 99);

    // In the grid the button chooses a control object only for mode 1; typing always opens the choice.
    Click(nk::kGroups);
    const int row = Row("Fast");
    const int beeps = Beeps();
    harness.Host().ClearCalls();
    Grid().SetCurrentCell(row, Column("Activation"));
    Grid().ColumnButtonClicked(Column("Activation"));
    EXPECT_EQ(Beeps(), beeps + 1);
    EXPECT_FALSE(harness.Host().Calls().join(u'|').contains(QStringLiteral("SelectVariable")));
    harness.Host().QueueVariableSelection(QStringLiteral("Tank.Speed"));
    EXPECT_FALSE(Grid().BeginEdit(row, Column("Activation"))) << "typing opens the chooser instead";
    EXPECT_EQ(Grid().CellText(row, Column("Activation")), QStringLiteral("Tank.Speed"));
    Type(row, "ActiveMode", Text(626));
    harness.Host().QueueVariableSelection(QStringLiteral("Tank.Level"));
    Grid().ColumnButtonClicked(Column("Activation"));
    EXPECT_EQ(Grid().CellText(row, Column("Activation")), QStringLiteral("Tank.Level"));
    Grid().SetCurrentCell(0, Column("Name"));  // leaving the row writes it
    EXPECT_EQ(Stored("Activation", "Fast").toString(), QStringLiteral("Tank.Level"));
}

TEST_F(GroupTest, GridRenamesAreCheckedAndTheTreeFollowsWhatWasWritten) {
    const int fast = IdOf("Fast");
    const int row = Row("Fast");
    for (const QString& refused : {QString(), QStringLiteral("SLOW"), QStringLiteral("fast")}) Type(row, "Name", refused);
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
    const int fast = Row("Fast");
    Type(fast, "Name", QStringLiteral("Alpha"));
    Type(fast, "Name", QStringLiteral("Beta"));
    Leave("Slow");
    ASSERT_GT(IdOf("Beta"), 0);
    Type(Row("Slow"), "Name", QStringLiteral("Alpha"));
    EXPECT_TRUE(Messages().isEmpty()) << "Alpha was never written: " << Messages().join(u'|').toStdString();
    Leave("Beta");
    EXPECT_GT(IdOf("Alpha"), 0);

    // A write refused while another program holds the lock leaves the list as the database has it.
    Window().Data()->Connection().SetBusyTimeout(50);
    auto other = project.Open();
    other->BeginTrans();
    Type(Row("Beta"), "Name", QStringLiteral("Gamma"));
    Leave("Alpha");
    other->RollbackTrans();
    EXPECT_FALSE(Messages().isEmpty()) << "the refused write is reported";
    EXPECT_GT(IdOf("Beta"), 0);
    ClearShown();
    const int alpha = Row("Alpha");
    Type(alpha, "Name", QStringLiteral("Beta"));
    EXPECT_EQ(Messages(), QStringList{Text(405)}) << "Beta is still taken";
    ClearShown();
    Type(alpha, "Name", QStringLiteral("Gamma"));
    EXPECT_TRUE(Messages().isEmpty()) << "Gamma is free: " << Messages().join(u'|').toStdString();
    Leave("Beta");
    EXPECT_EQ(Values(QStringLiteral("SELECT Name FROM TpdbGroups ORDER BY Name")), test::Words("Beta Gamma Standard"));
}

TEST_F(GroupTest, ClicksAreWrittenAtOnceAndOneNameForSeveralRowsIsNumbered) {
    // Clicks on boolean columns are written at once, other edits when the row is left.
    const int row = Row("Slow");
    Type(row, "Comment", QStringLiteral("later"));
    EXPECT_NE(Stored("Comment", "Slow").toString(), QStringLiteral("later"));
    Type(row, "Enabled", false);
    EXPECT_EQ(Stored("Enabled", "Slow").toBool(), false);
    EXPECT_EQ(Stored("Comment", "Slow").toString(), QStringLiteral("later")) << "the click wrote the row";
    Type(row, "AsyncWrite", Text(610));
    EXPECT_EQ(Stored("AsyncWrite", "Slow").toBool(), false);

    Grid().SelectRows({0, 1, 2});
    Type(0, "Name", QStringLiteral("G"));
    EXPECT_EQ(Values(QStringLiteral("SELECT Name FROM TpdbGroups ORDER BY Name")), test::Words("G(1) G(2) G(3)"));
    EXPECT_EQ(NodeText(nk::GroupKey(1)), QStringLiteral("G(1)"));
    // Other values go to every selected row.
    Grid().SelectRows({1, 2});
    Type(1, "Comment", QStringLiteral("both"));
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbGroups WHERE Comment = 'both'")), 2);
    // All of them or none: the database refusing the last row keeps the current one unwritten too.
    Window().Data()->Connection().Execute(
        QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE UPDATE ON TpdbGroups WHEN new.Comment = 'all' AND new.Name = '%1' "
                       "BEGIN SELECT RAISE(ABORT, 'refused by the project'); END")
            .arg(Grid().CellText(2, Column("Name"))));
    Grid().SelectRows({0, 1, 2});
    Type(0, "Comment", QStringLiteral("all"));
    EXPECT_TRUE(test::LastMessage().contains(QStringLiteral("refused by the project"))) << test::LastMessage().toStdString();
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbGroups WHERE Comment = 'all'")), 0);
    EXPECT_NE(Grid().CellText(0, Column("Comment")), QStringLiteral("all"));
}

TEST_F(GroupTest, DeleteAsksCanBeCancelledTakesTheConnectionsAndNeverTheDefaultGroup) {
    // Fast with many items, so that its delete shows progress with Cancel.
    const int fast = IdOf("Fast");
    {
        auto c = project.Open();
        QStringList many;
        for (int i = 0; i < 25000; ++i) many << QStringLiteral("Many.I%1").arg(i);
        c->BeginTrans();
        test::AddItems(*c, 1, many);
        c->Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) SELECT ?, ID FROM TpdbItems WHERE Name Like 'Many.%'"),
                   {fast});
        c->CommitTrans();
    }
    const int connections = Connections(fast);
    ASSERT_GT(connections, 25000);
    Click(nk::GroupKey(fast));
    Command(nk::GroupKey(fast), "mnuGroupDelete");  // No is the default answer
    EXPECT_EQ(Messages().front(), Text(408).replace(QStringLiteral("<cn>"), QString::number(connections)));
    EXPECT_TRUE(Exists("Fast"));

    // Cancel during the delete keeps the group whole.
    ClearShown();
    ui::DefaultMessageBoxes().Queue(ui::Answer::Yes);
    ui::DefaultProgress().cancelAt = 0;
    Command(nk::GroupKey(fast), "mnuGroupDelete");
    ui::DefaultProgress().cancelAt = -1;
    EXPECT_TRUE(Exists("Fast"));
    EXPECT_EQ(Connections(fast), connections);
    EXPECT_FALSE(NodeText(nk::GroupKey(fast)).isEmpty());
    EXPECT_EQ(Messages().size(), 1) << "the question only: a Cancel is no error";

    ui::DefaultMessageBoxes().Queue(ui::Answer::Yes);
    Command(nk::GroupKey(fast), "mnuGroupDelete");
    EXPECT_FALSE(Exists("Fast"));
    EXPECT_EQ(Connections(fast), 0);
    EXPECT_TRUE(NodeText(nk::GroupKey(fast)).isEmpty());
    EXPECT_EQ(Window().CurrentNode(), nk::kGroups);

    // Without the question; group 1 is refused silently.
    DontAskOnDelete();
    ClearShown();
    for (const QString& group : {nk::GroupKey(IdOf("Slow")), nk::GroupKey(1)}) {
        Click(group);
        Command(group, "mnuGroupDelete");
    }
    EXPECT_EQ(Values(QStringLiteral("SELECT Name FROM TpdbGroups")), QStringList{QStringLiteral("Standard")});
    EXPECT_TRUE(Messages().isEmpty());
}

}  // namespace
