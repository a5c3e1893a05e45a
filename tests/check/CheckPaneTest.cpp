// Check Project in the editor: the pane's list, what a double click shows,
// Repair as one undo step, and the list kept up to date after each command.

#include "host/Connect.h"
#include "host/NodeKey.h"
#include "support/EditorTest.h"

#include <gtest/gtest.h>

using namespace ov;

namespace {

class CheckPaneTest : public test::EditorTest {
  protected:
    void SetUp() override {
        // What another program left: an orphan connection, an item whose range is upside down.
        auto c = project.Open();
        c->Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (77, 1)"));
        c->Execute(QStringLiteral("UPDATE TpdbItems SET MinVal = 10, MaxVal = 2 WHERE Name = 'Line1.Motor1.Current'"));
        Open();
        Click(plc);
        ClearShown();
    }
    host::ProblemPane& Pane() { return harness.Session().Problems(); }
    // "code object" of the rows, in the pane's order.
    QStringList Rows() {
        QStringList rows;
        for (const int row : Pane().Shown()) rows << Pane().Rows()[row].code + u' ' + Pane().Rows()[row].object;
        return rows;
    }
    int RowOf(const char* code) {
        for (int row = 0; row < static_cast<int>(Pane().Rows().size()); ++row)
            if (Pane().Rows()[row].code == QLatin1String(code)) return row;
        return -1;
    }

    const QString plc = host::nodekey::DeviceKey(1, QStringLiteral("."), false);
};

TEST_F(CheckPaneTest, TheListShowsTheFindingsAndADoubleClickShowsTheItem) {
    EXPECT_FALSE(Pane().shown);
    RunTool("mnuOptionCheck");
    ASSERT_TRUE(Pane().shown);
    const QStringList rows = Rows();
    ASSERT_GE(rows.size(), 2);
    EXPECT_EQ(rows[0], QStringLiteral("PV106 TpdbConnections #") + QString::number(Pane().Rows()[RowOf("PV106")].id))
        << "errors first";
    EXPECT_TRUE(rows.contains(QStringLiteral("PV203 PLC1:Line1.Motor1.Current")));
    EXPECT_TRUE(Pane().Summary().startsWith(QStringLiteral("1 errors, ")));

    // Only the errors; sorted by object the other way round.
    Pane().ShowAtLeast(0);
    EXPECT_EQ(Rows().size(), 1);
    Pane().ShowAtLeast(2);
    Pane().SortBy(host::ProblemPane::kObject);
    Pane().SortBy(host::ProblemPane::kObject);
    EXPECT_TRUE(Pane().descending);
    const QStringList byObject = Rows();
    for (qsizetype i = 1; i < byObject.size(); ++i)
        EXPECT_GE(QString::compare(byObject[i - 1].section(u' ', 1), byObject[i].section(u' ', 1), Qt::CaseInsensitive), 0)
            << byObject.join(u'\n').toStdString();

    Pane().activate(RowOf("PV203"));
    EXPECT_EQ(Window().CurrentNode(), plc + host::nodekey::kSeparator + QStringLiteral("Line1.Motor1"));
    ui::GridModel& items = Window().tdbI();
    EXPECT_EQ(items.CellValue(items.CurrentRow(), items.ColumnIndex(QStringLiteral("Name"))).toString(),
              QStringLiteral("Line1.Motor1.Current"));
    EXPECT_TRUE(Messages().isEmpty());
}

TEST_F(CheckPaneTest, RepairIsOneUndoStepAndTheListFollowsEveryCommand) {
    RunTool("mnuOptionCheck");
    const int before = static_cast<int>(Pane().Rows().size());
    Pane().repair({RowOf("PV203")});
    EXPECT_EQ(Messages(), QStringList{settings::Text(9428)}) << "nothing repairable among them";
    ClearShown();
    Pane().repair({RowOf("PV106"), RowOf("PV203")});
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbConnections WHERE GroupID = 77")), 0);
    EXPECT_EQ(RowOf("PV106"), -1) << "checked again after the repair";
    EXPECT_EQ(static_cast<int>(Pane().Rows().size()), before - 1);
    EXPECT_EQ(harness.Session().History().UndoNames().front().left(6), settings::Text(9420).left(6));

    // Undo brings the orphan back, and the list says so; the pane stays open with the new window.
    ASSERT_TRUE(harness.Session().Undo());
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbConnections WHERE GroupID = 77")), 1);
    EXPECT_TRUE(Pane().shown);
    EXPECT_GE(RowOf("PV106"), 0);

    // A range mended in the grid leaves the list at once.
    Pane().activate(RowOf("PV203"));
    ui::GridModel& items = Window().tdbI();
    ASSERT_TRUE(items.BeginEdit(items.CurrentRow(), items.ColumnIndex(QStringLiteral("MaxVal"))));
    ASSERT_TRUE(items.CommitEdit(20));
    Window().CommitGridEdits();
    EXPECT_EQ(RowOf("PV203"), -1);

    Pane().close();
    EXPECT_FALSE(Pane().shown);
}

}  // namespace
