// The grids never write into another record than the one they show as
// current: after every way the record source is rebuilt, the highlighted
// row and the recordset's position are the same record.

#include "editor/frmtabgridOPC.h"
#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "platform/db/Recordset.h"
#include "platform/host/WindowMessages.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"
#include "support/SessionHarness.h"

#include <gtest/gtest.h>

using namespace ov;
namespace nk = ov::host::nodekey;

namespace {

class GridIntegrityTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish);
        {
            auto c = project.Open();
            c->Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, BlobMode, HierarchBrowseSeparator) "
                                      "VALUES (1, 'Plant', 2, '.')"));
            for (int i = 0; i < 10; ++i) {
                c->Execute(QStringLiteral("INSERT INTO TpdbItems (ID, DeviceID, Name, ItemAccess) VALUES (?, 1, ?, ?)"),
                           {100 + i, QStringLiteral("i%1").arg(i), QStringLiteral("i%1").arg(i)});
                c->Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (1, ?)"), {100 + i});
            }
            for (int g = 2; g <= 5; ++g)
                c->Execute(QStringLiteral("INSERT INTO TpdbGroups (ID, Name) VALUES (?, ?)"),
                           {g, QStringLiteral("G%1").arg(g)});
            c->Execute(QStringLiteral("INSERT INTO TpdbUnitClasses (ID, Name, SwitchType) VALUES (7, 'Temp', 0)"));
            c->Execute(QStringLiteral("INSERT INTO TpdbStructDefs (ID, Name) VALUES (3, 'Drive')"));
            for (int i = 0; i < 6; ++i) {
                c->Execute(QStringLiteral("INSERT INTO TpdbUnits (ParentID, SwitchID, PhysicalUnitText) VALUES (7, ?, ?)"),
                           {i, QStringLiteral("u%1").arg(i)});
                c->Execute(QStringLiteral("INSERT INTO TpdbStructMembers (ParentID, Name, OrderNum, DataType) "
                                          "VALUES (3, ?, ?, 2)"),
                           {QStringLiteral("m%1").arg(i), i});
            }
        }
        harness.Start(project.Path());
        harness.Load();
        harness.Session().NodeClick(QString(), device, QString());
        ASSERT_EQ(Items().RowCount(), 10);
        ui::DefaultFormRunner().Clear();
        ui::DefaultMessageBoxes().Clear();
    }
    void TearDown() override {
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kGerman);
        ui::DefaultFormRunner().Clear();
    }

    editor::frmtabgridOPC& Window() { return dynamic_cast<editor::frmtabgridOPC&>(*harness.Session().Window()); }
    ui::GridModel& Items() { return Window().tdbI(); }
    void Click(const QString& key) { harness.Session().NodeClick(QString(), key, QString()); }
    int Column(ui::GridModel& grid, const char* field) { return grid.ColumnIndexInSplit(QString::fromUtf8(field), 1); }

    // The record the grid highlights and the record its recordset stands on.
    static QVariant ShownId(ui::GridModel& grid) {
        const int id = grid.ColumnIndex(QStringLiteral("ID"));
        return grid.CurrentRow() < 0 ? QVariant() : grid.CellValue(grid.CurrentRow(), id);
    }
    static QVariant PositionedId(ui::GridModel& grid) {
        db::Recordset* rs = grid.Recordset();
        if (!rs || rs->IsEOF() || rs->IsBOF()) return QVariant();
        return rs->Value(QStringLiteral("ID"));
    }
    static void ExpectOneRecord(ui::GridModel& grid, const char* after) {
        ASSERT_GE(grid.CurrentRow(), 0) << after;
        EXPECT_EQ(ShownId(grid).toInt(), PositionedId(grid).toInt()) << grid.Name().toStdString() << " after " << after;
    }

    QString Stored(const char* field, int id) {
        auto c = project.Open();
        db::Recordset rs;
        rs.Open(QStringLiteral("SELECT %1 FROM TpdbItems WHERE ID = %2").arg(QString::fromUtf8(field)).arg(id), *c);
        return rs.IsEOF() ? QString() : rs.Fields(0).Value().toString();
    }
    // Types into the highlighted row, as a person does after looking at the grid.
    void EditHighlighted(const char* field, const QString& value) {
        ui::GridModel& grid = Items();
        ASSERT_TRUE(grid.BeginEdit(grid.CurrentRow(), Column(grid, field)));
        ASSERT_TRUE(grid.CommitEdit(value));
    }

    test::SessionHarness harness;
    test::TempProject project;
    const QString device = nk::DeviceKey(1, QStringLiteral("."), false);
};

TEST_F(GridIntegrityTest, ReclickingTheNodeEditsTheHighlightedItem) {
    Items().SetCurrentCell(5, Column(Items(), "Comment"));
    EditHighlighted("Comment", QStringLiteral("first"));
    EXPECT_EQ(Stored("Comment", 105), QStringLiteral("first"));

    Click(device);
    ExpectOneRecord(Items(), "a second click on the node");
    const int shownId = ShownId(Items()).toInt();
    EditHighlighted("Comment", QStringLiteral("second"));
    EXPECT_EQ(Stored("Comment", shownId).toStdString(), "second") << "the highlighted item took the edit";
    EXPECT_EQ(Items().CellText(Items().CurrentRow(), Column(Items(), "Comment")), QStringLiteral("second"));
    if (shownId != 105) {
        EXPECT_EQ(Stored("Comment", 105), QStringLiteral("first")) << "no other item changed";
    }
}

TEST_F(GridIntegrityTest, EveryRebuildOfTheItemViewKeepsRowAndRecordTogether) {
    const int comment = Column(Items(), "Comment");
    Items().SetCurrentCell(6, comment);

    // Sorting keeps the same item current.
    int sort = host::keys::kO;
    Items().KeyDown(sort, host::keys::kCtrl);
    ExpectOneRecord(Items(), "Ctrl+O");
    EXPECT_EQ(ShownId(Items()).toInt(), 106);
    int sortBack = host::keys::kO;
    Items().KeyDown(sortBack, host::keys::kCtrl);
    ExpectOneRecord(Items(), "Ctrl+O back");

    // Coming back to the window from another program reads the view again.
    Items().SetCurrentCell(7, comment);
    harness.Session().WindowMessage(host::messages::kActivate, host::messages::kInactive, 0);
    harness.Session().WindowMessage(host::messages::kActivate, host::messages::kActive, 0);
    ExpectOneRecord(Items(), "re-activation");
    EditHighlighted("Comment", QStringLiteral("after activation"));
    EXPECT_EQ(Stored("Comment", ShownId(Items()).toInt()), QStringLiteral("after activation"));

    // Deleting and pasting rebuild the view too.
    Items().SetCurrentCell(8, comment);
    Items().SelectRows({8});
    ui::DefaultMessageBoxes().Queue(ui::Answer::OK);
    int del = host::keys::kDelete;
    Items().KeyDown(del, host::keys::kCtrl);
    ASSERT_EQ(Items().RowCount(), 9);
    ExpectOneRecord(Items(), "delete");

    Items().SetCurrentCell(4, comment);
    Items().SelectRows({4});
    int copy = host::keys::kC, paste = host::keys::kV;
    Items().KeyDown(copy, host::keys::kCtrl);
    Items().KeyDown(paste, host::keys::kCtrl);
    ASSERT_EQ(Items().RowCount(), 10);
    ExpectOneRecord(Items(), "paste");

    // F9 opens the item dialog on the highlighted item.
    Items().SetCurrentCell(3, comment);
    Click(device);
    const QString expected = Items().CellText(Items().CurrentRow(), Column(Items(), "ItemAccess"));
    QString shownInDialog;
    ui::DefaultFormRunner().Once(QStringLiteral("FItem"), [&](ui::Form& f) {
        shownInDialog = f.Get(QStringLiteral("txtItemAccess")).text;
        f.PressCancel();
    });
    int f9 = host::keys::kF9;
    Items().KeyDown(f9, 0);
    EXPECT_EQ(shownInDialog, expected);
}

TEST_F(GridIntegrityTest, TheOtherGridsKeepRowAndRecordTogether) {
    Click(nk::kGroups);
    ui::GridModel& groups = Window().tdbG();
    ASSERT_EQ(groups.RowCount(), 5);
    groups.SetCurrentCell(3, Column(groups, "Comment"));
    Click(nk::kGroups);
    ExpectOneRecord(groups, "a second click on the groups");

    const QString unitClass = QStringLiteral("OPCU7") + nk::kSeparator + u'P';
    Click(unitClass);
    ui::GridModel& units = Window().tdbU();
    ASSERT_EQ(units.RowCount(), 6);
    units.SetCurrentCell(4, 0);
    Click(unitClass);
    ExpectOneRecord(units, "a second click on the unit class");

    Click(QStringLiteral("OPCS3"));
    ui::GridModel& members = Window().tdbS();
    ASSERT_EQ(members.RowCount(), 6);
    members.SetCurrentCell(5, 0);
    Click(QStringLiteral("OPCS3"));
    ExpectOneRecord(members, "a second click on the structure");
}

// A message box that takes the focus, as a real one does: the studio may
// deliver activation changes while it is open.
class FocusTakingBoxes : public ui::MessageBoxHandler {
  public:
    std::function<void()> whileOpen;
    QStringList shown;
    ui::Answer Show(const ui::MessageRequest& request) override {
        shown << request.text;
        if (whileOpen) whileOpen();
        return ui::AnswersOf(request.buttons).front();
    }
};

TEST_F(GridIntegrityTest, ActivationWaitsWhileTheEditorsOwnBoxIsOpen) {
    // The report program is missing: the editor says so in a box, and while
    // the box is open the studio goes inactive and active again.
    FocusTakingBoxes boxes;
    boxes.whileOpen = [this] {
        harness.Session().WindowMessage(host::messages::kActivate, host::messages::kInactive, 0);
        harness.Session().WindowMessage(host::messages::kActivate, host::messages::kActive, 0);
    };
    const auto report = [&] {
        ui::InstallMessageBoxes(&boxes);
        Window().ComputeAvailability(Window().CurrentNode(), false);
        Window().ClickTool(QStringLiteral("mnuOptionReport"));
        ui::InstallMessageBoxes(nullptr);
    };

    // A unit typed but not yet written (the unit grid writes when the row is left).
    const QString unitClass = QStringLiteral("OPCU7") + nk::kSeparator + u'P';
    Click(unitClass);
    ui::GridModel& units = Window().tdbU();
    ASSERT_TRUE(units.BeginEdit(2, units.ColumnIndex(QStringLiteral("PhysicalUnitText"))));
    ASSERT_TRUE(units.CommitEdit(QStringLiteral("typed")));
    report();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(units.Recordset()->GetEditMode(), db::EditMode::InProgress) << "nothing was written behind the box";
    auto c = project.Open();
    db::Recordset stored;
    stored.Open(QStringLiteral("SELECT Count(*) FROM TpdbUnits WHERE PhysicalUnitText = 'typed'"), *c);
    EXPECT_EQ(stored.Fields(0).Value().toInt(), 0);
    // Switching programs for real commits it.
    harness.Session().WindowMessage(host::messages::kActivate, host::messages::kInactive, 0);
    stored.Requery();
    EXPECT_EQ(stored.Fields(0).Value().toInt(), 1);

    // The item view is not rebuilt behind the box: row and selection stay.
    Click(device);
    Items().SetCurrentCell(6, Column(Items(), "Comment"));
    Items().SelectRows({6, 7});
    report();
    EXPECT_EQ(Items().CurrentRow(), 6);
    EXPECT_EQ(Items().SelectedBookmarks().size(), 2u);

    // Coming back from another program reads the view again, on the same item.
    harness.Session().WindowMessage(host::messages::kActivate, host::messages::kActive, 0);
    EXPECT_EQ(ShownId(Items()).toInt(), 106);
    ExpectOneRecord(Items(), "coming back from another program");
}

}  // namespace
