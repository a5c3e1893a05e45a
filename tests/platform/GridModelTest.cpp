// The grid model over a bound recordset (cells read for painting, edits
// through the callbacks, a changed row written on leaving it) and the
// command bar model of menus and tool bars.

#include "platform/db/Recordset.h"
#include "platform/ui/CommandBar.h"
#include "platform/ui/GridModel.h"
#include "support/TempProject.h"

#include <gtest/gtest.h>

using namespace ov;

namespace {

class GridModelTest : public test::StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        for (int i = 1; i <= 300; ++i)
            connection->Execute("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, AccessRights) VALUES (1, ?, ?, ?)",
                                {QStringLiteral("I%1").arg(i, 3, 10, QChar(u'0')), QString::number(i), 1 + i % 4});
        rs.Open("SELECT * FROM TpdbItems ORDER BY Name", *connection);
        grid.AddColumn("Name", "Name", 0);
        ui::GridColumn& rights = grid.AddColumn("AccessRights", "Access");
        rights.presentation = ui::Presentation::ValueList;
        for (int v = 1; v <= 4; ++v) rights.values.Add(v, QStringList{"R", "W", "R/W", "1 x R"}[v - 1]);
        grid.AddColumn("Enabled", "Active").presentation = ui::Presentation::CheckBox;
        grid.AddColumn(QString(), "Twice");
        grid.unboundColumnFetch = [](db::Recordset& row, int) { return row.Value("ID").toInt() * 2; };
        grid.Bind(&rs);
    }

    db::Recordset rs;
    ui::GridModel grid{"tdbI"};
};

TEST_P(GridModelTest, ReadsAnyRowWithoutMovingTheRecordset) {
    EXPECT_EQ(grid.RowCount(), 300);
    EXPECT_EQ(grid.CellText(299, 0), "I300");
    EXPECT_EQ(grid.CellText(0, 1), "W") << "translated through the value list";
    EXPECT_EQ(grid.CellText(0, 2), "True");
    EXPECT_EQ(grid.CellValue(4, 3).toInt(), 10);
    EXPECT_EQ(rs.AbsolutePosition(), 1) << "painting does not move the bound recordset";
    grid.SetCurrentCell(150, 1);
    EXPECT_EQ(rs.Value("Name").toString(), "I151");
    grid.SelectRows({2, 7});
    ASSERT_EQ(grid.SelectedBookmarks().size(), 2u);
    EXPECT_EQ(grid.RowOfBookmark(grid.SelectedBookmarks()[1]), 7);
}

// Older project files hold empty texts as one NUL character; a server's texts cannot hold one.
class GridModelFileTest : public GridModelTest {};

TEST_P(GridModelFileTest, AnEmptyTextStoredAsOneNulCharacterShowsAsNothing) {
    connection->Execute("UPDATE TpdbItems SET Name = ? WHERE Name = 'I001'", {QString(QChar(0))});
    rs.Requery();
    grid.ReBind();
    EXPECT_EQ(grid.CellValue(0, 0).toString(), QString(QChar(0)));
    EXPECT_EQ(grid.CellText(0, 0), QString());
}

TEST_P(GridModelTest, EditingGoesThroughTheCallbacks) {
    QString updated;
    grid.beforeColEdit = [](int column, bool& cancel) { cancel = column == 2; };
    grid.afterColUpdate = [&](int column, const QVariant& value) {
        updated = QStringLiteral("%1 %2").arg(column).arg(value.toString());
        rs.Update();
    };
    EXPECT_FALSE(grid.BeginEdit(3, 2)) << "the callback refused";
    ASSERT_TRUE(grid.BeginEdit(3, 1));
    EXPECT_FALSE(grid.CommitEdit("read only")) << "not one of the listed values";
    ASSERT_TRUE(grid.BeginEdit(3, 1));
    ASSERT_TRUE(grid.CommitEdit("r/w"));
    EXPECT_EQ(grid.CellText(3, 1), "R/W");
    EXPECT_EQ(updated, "1 3");
    grid.Column(0).locked = true;
    EXPECT_FALSE(grid.BeginEdit(3, 0));

    std::pair<int, QString> reported;
    grid.error = [&](int number, const QString& description, bool&) { reported = {number, description}; };
    grid.Column(0).locked = false;
    ASSERT_TRUE(grid.BeginEdit(5, 0));
    EXPECT_FALSE(grid.CommitEdit(QString(300, u'x')));
    EXPECT_EQ(reported.first, ui::GridModel::kErrorInvalidValue);
    EXPECT_TRUE(reported.second.contains("too long")) << reported.second.toStdString();
}

TEST_P(GridModelTest, LeavingAChangedRowWritesIt) {
    grid.SetCurrentCell(0, 0);
    ASSERT_TRUE(grid.BeginEdit(0, 0));
    ASSERT_TRUE(grid.CommitEdit("Renamed"));
    EXPECT_TRUE(grid.dataChanged);
    grid.SetCurrentCell(1, 0);
    EXPECT_FALSE(grid.dataChanged);
    db::Recordset check;
    check.Open("SELECT * FROM TpdbItems WHERE Name = 'Renamed'", *connection);
    EXPECT_EQ(check.RecordCount(), 1) << "the row was written";
}

INSTANTIATE_TEST_SUITE_P(, GridModelTest, test::kBothStores, test::StoreName);
INSTANTIATE_TEST_SUITE_P(, GridModelFileTest, ::testing::Values(test::Store::File), test::StoreName);

TEST(CommandBar, StatesShortcutsAndPopups) {
    ui::CommandBar bar;
    ui::Band& band = bar.AddBand("mnuItem");
    ui::Tool heading, newItem;
    heading.name = "mnuItemDescriptor";
    heading.caption = "Item";
    heading.heading = true;
    newItem.name = "mnuItemNew";
    newItem.category = "New";
    newItem.caption = "&New";
    newItem.enabled = false;
    band.tools = {heading, newItem};
    EXPECT_FALSE(bar.CheckMenuForFunctionality("mnuItem")) << "a heading alone is no function";
    bar.SetEnabled("mnuItemNew", true);
    EXPECT_TRUE(bar.CheckMenuForFunctionality("mnuItem"));
    bar.SetVisible("mnuItemNew", false);
    EXPECT_FALSE(bar.CheckMenuForFunctionality("mnuItem"));
    bar.ShowShortcuts(true);
    EXPECT_EQ(bar.FindTool("mnuItemNew")->shortcut, "F8");
    bar.ShowShortcuts(false);
    EXPECT_TRUE(bar.FindTool("mnuItemNew")->shortcut.isEmpty());

    ui::ScriptedPopups popups;
    popups.Queue("mnuItemNew");
    EXPECT_EQ(popups.Popup(bar, "mnuItem", 1, 2), std::optional<QString>("mnuItemNew"));
    EXPECT_EQ(popups.Popup(bar, "mnuItem", 1, 2), std::nullopt);
    EXPECT_EQ(popups.Shown().size(), 2);
}

}  // namespace
