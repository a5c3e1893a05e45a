// The grids never write into another record than the one they show as
// current: after every way the record source is rebuilt, the highlighted
// row and the recordset's position are the same record.

#include "objects/FilledProjectTest.h"
#include "platform/host/WindowMessages.h"

using namespace ov;
namespace nk = ov::host::nodekey;
namespace keys = ov::host::keys;

namespace {

class GridIntegrityTest : public test::FilledProjectTest {
  protected:
    void SetUp() override {
        Open([](db::Connection& c) {
            c.Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, BlobMode, HierarchBrowseSeparator) "
                                     "VALUES (1, 'Plant', 2, '.')"));
            test::AddItems(c, 1, test::Words("i0 i1 i2 i3 i4 i5 i6 i7 i8 i9"), 100, 1);
            for (int g = 2; g <= 5; ++g)
                c.Execute(QStringLiteral("INSERT INTO TpdbGroups (ID, Name) VALUES (?, ?)"), {g, QStringLiteral("G%1").arg(g)});
            c.Execute(QStringLiteral("INSERT INTO TpdbUnitClasses (ID, Name, SwitchType) VALUES (7, 'Temp', 0)"));
            c.Execute(QStringLiteral("INSERT INTO TpdbStructDefs (ID, Name) VALUES (3, 'Drive')"));
            for (int i = 0; i < 6; ++i) {
                c.Execute(QStringLiteral("INSERT INTO TpdbUnits (ParentID, SwitchID, PhysicalUnitText) VALUES (7, ?, ?)"),
                          {i, QStringLiteral("u%1").arg(i)});
                c.Execute(QStringLiteral("INSERT INTO TpdbStructMembers (ParentID, Name, OrderNum, DataType) VALUES (3, ?, ?, 2)"),
                          {QStringLiteral("m%1").arg(i), i});
            }
        });
        Click(device);
        ASSERT_EQ(Items().RowCount(), 10);
    }

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
    // A second click on a node after choosing a row of its grid: the same record stays.
    void ExpectOneRecordAfterReclick(const QString& node, ui::GridModel& grid, int rows, int row, const char* field) {
        Click(node);
        ASSERT_EQ(grid.RowCount(), rows) << grid.Name().toStdString();
        grid.SetCurrentCell(row, field ? grid.ColumnIndexInSplit(QString::fromUtf8(field), 1) : 0);
        Click(node);
        ExpectOneRecord(grid, "a second click on its node");
    }
    void SwitchPrograms(bool comingBack) {
        harness.Session().WindowMessage(host::messages::kActivate,
                                        comingBack ? host::messages::kActive : host::messages::kInactive, 0);
    }

    QString Comment(int id) { return Query(QStringLiteral("SELECT Comment FROM TpdbItems WHERE ID = %1").arg(id)).toString(); }
    // Types a comment into the highlighted row, as a person does after looking at the grid.
    void CommentHighlighted(const QString& value) {
        EXPECT_TRUE(test::Edit(Items(), Items().CurrentRow(), Column("Comment"), value)) << value.toStdString();
    }

    const QString unitClass = QStringLiteral("OPCU7") + nk::kSeparator + u'P';
};

TEST_F(GridIntegrityTest, ASecondClickOnTheNodeKeepsRowAndRecordTogetherInEveryGrid) {
    // In the item grid the next edit goes to the highlighted item.
    Items().SetCurrentCell(5, Column("Comment"));
    CommentHighlighted(QStringLiteral("first"));
    EXPECT_EQ(Comment(105), QStringLiteral("first"));
    Click(device);
    ExpectOneRecord(Items(), "a second click on the node");
    const int shownId = ShownId(Items()).toInt();
    CommentHighlighted(QStringLiteral("second"));
    EXPECT_EQ(Comment(shownId).toStdString(), "second") << "the highlighted item took the edit";
    EXPECT_EQ(Items().CellText(Items().CurrentRow(), Column("Comment")), QStringLiteral("second"));
    EXPECT_EQ(Comment(105), QString::fromUtf8(shownId == 105 ? "second" : "first")) << "no other item changed";

    ExpectOneRecordAfterReclick(nk::kGroups, Window().tdbG(), 5, 3, "Comment");
    ExpectOneRecordAfterReclick(unitClass, Window().tdbU(), 6, 4, nullptr);
    ExpectOneRecordAfterReclick(QStringLiteral("OPCS3"), Window().tdbS(), 6, 5, nullptr);
}

TEST_F(GridIntegrityTest, EveryRebuildOfTheItemViewKeepsRowAndRecordTogether) {
    const int comment = Column("Comment");
    Items().SetCurrentCell(6, comment);

    // Sorting and sorting back keep the same item current.
    for (const char* sort : {"Ctrl+O", "Ctrl+O back"}) {
        Press(Items(), keys::kO, keys::kCtrl);
        ExpectOneRecord(Items(), sort);
        EXPECT_EQ(ShownId(Items()).toInt(), 106) << sort;
    }

    // Coming back to the window from another program reads the view again.
    Items().SetCurrentCell(7, comment);
    SwitchPrograms(false);
    SwitchPrograms(true);
    ExpectOneRecord(Items(), "re-activation");
    CommentHighlighted(QStringLiteral("after activation"));
    EXPECT_EQ(Comment(ShownId(Items()).toInt()), QStringLiteral("after activation"));

    // Deleting and pasting rebuild the view too.
    Items().SetCurrentCell(8, comment);
    Items().SelectRows({8});
    ui::DefaultMessageBoxes().Queue(ui::Answer::OK);
    Press(Items(), keys::kDelete, keys::kCtrl);
    ASSERT_EQ(Items().RowCount(), 9);
    ExpectOneRecord(Items(), "delete");

    Items().SetCurrentCell(4, comment);
    Items().SelectRows({4});
    Press(Items(), keys::kC, keys::kCtrl);
    Press(Items(), keys::kV, keys::kCtrl);
    ASSERT_EQ(Items().RowCount(), 10);
    ExpectOneRecord(Items(), "paste");

    // F9 opens the item dialog on the highlighted item.
    Items().SetCurrentCell(3, comment);
    Click(device);
    const QString expected = Items().CellText(Items().CurrentRow(), Column("ItemAccess"));
    QString shownInDialog;
    ui::DefaultFormRunner().Once(QStringLiteral("FItem"), [&](ui::Form& f) {
        shownInDialog = f.Get(QStringLiteral("txtItemAccess")).text;
        f.PressCancel();
    });
    Press(Items(), keys::kF9);
    EXPECT_EQ(shownInDialog, expected);
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
        SwitchPrograms(false);
        SwitchPrograms(true);
    };
    const auto report = [&] {
        ui::InstallMessageBoxes(&boxes);
        RunTool("mnuOptionReport");
        ui::InstallMessageBoxes(nullptr);
    };

    // A unit typed but not yet written (the unit grid writes when the row is left).
    Click(unitClass);
    ui::GridModel& units = Window().tdbU();
    ASSERT_TRUE(units.BeginEdit(2, units.ColumnIndex(QStringLiteral("PhysicalUnitText"))));
    ASSERT_TRUE(units.CommitEdit(QStringLiteral("typed")));
    report();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(units.Recordset()->GetEditMode(), db::EditMode::InProgress) << "nothing was written behind the box";
    const QString typed = QStringLiteral("SELECT Count(*) FROM TpdbUnits WHERE PhysicalUnitText = 'typed'");
    EXPECT_EQ(Count(typed), 0);
    // Switching programs for real commits it.
    SwitchPrograms(false);
    EXPECT_EQ(Count(typed), 1);

    // The item view is not rebuilt behind the box: row and selection stay.
    Click(device);
    Items().SetCurrentCell(6, Column("Comment"));
    Items().SelectRows({6, 7});
    report();
    EXPECT_EQ(Items().CurrentRow(), 6);
    EXPECT_EQ(Items().SelectedBookmarks().size(), 2u);

    // Coming back from another program reads the view again, on the same item.
    SwitchPrograms(true);
    EXPECT_EQ(ShownId(Items()).toInt(), 106);
    ExpectOneRecord(Items(), "coming back from another program");
}

}  // namespace
