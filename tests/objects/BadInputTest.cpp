// Hostile texts typed into every editable column of every grid and every
// text box of every object dialog: a clear message at most, never a crash,
// never an SQL error caused by quoting, never a half-written record.

#include "objects/ObjectTest.h"

using namespace ov;
namespace nk = ov::host::nodekey;

namespace {

QStringList BadTexts() {
    return {QStringLiteral("'"), QStringLiteral("\""), QStringLiteral(";"), QStringLiteral("%"), QStringLiteral("_"),
            QStringLiteral("["), QStringLiteral("]"), QString(QChar(0xFF)), QString(QChar(0)), QString(100000, u'x'),
            QStringLiteral("1e999"), QStringLiteral("-0"), QStringLiteral("NaN"), QStringLiteral("a'); DROP TABLE TpdbItems; --")};
}

// What quoting mistakes look like when SQLite reports them.
bool LooksLikeQuotingError(const QString& message) {
    for (const char* sign : {"syntax error", "unrecognized token", "near \"", "no such column", "incomplete input"})
        if (message.contains(QString::fromUtf8(sign), Qt::CaseInsensitive)) return true;
    return false;
}

class BadInputTest : public test::ObjectTest {
  protected:
    void SetUp() override {
        Open();
        ClearShown();
    }
    // The rows of every table, and SQLite's own check of the file. (An item
    // text typed into the item dialog adds its row to the index texts.)
    std::pair<std::vector<int>, QString> Shape() {
        return {Rows({"TpdbDevices", "TpdbGroups", "TpdbItems", "TpdbConnections", "TpdbStructDefs", "TpdbStructMembers", "TpdbUnitClasses",
                      "TpdbUnits"}),
                Query(QStringLiteral("PRAGMA integrity_check")).toString()};
    }
    void ExpectNoQuotingErrors(const QString& where) {
        for (const QString& message : Messages())
            EXPECT_FALSE(LooksLikeQuotingError(message)) << where.toStdString() << ": " << message.left(200).toStdString();
        ClearShown();
    }
    // Every text into every column of the grid's first row.
    void SweepGrid(const QString& node, const QString& gridName) {
        Click(node);
        ui::GridModel& grid = Window().Grid(gridName);
        ASSERT_GT(grid.RowCount(), 0) << gridName.toStdString();
        const auto shape = Shape();
        int edited = 0;
        for (int column = 0; column < grid.ColumnCount(); ++column) {
            for (const QString& text : BadTexts()) {
                if (!grid.BeginEdit(0, column)) break;  // not editable
                grid.CommitEdit(text);
                Window().CommitGridEdits();
                ++edited;
                ExpectNoQuotingErrors(QStringLiteral("%1 column %2 text %3").arg(gridName, grid.Column(column).caption, text.left(20)));
                if (HasFailure()) return;
            }
        }
        EXPECT_GT(edited, 3 * static_cast<int>(BadTexts().size())) << gridName.toStdString() << " has editable columns";
        EXPECT_EQ(Shape(), shape) << gridName.toStdString() << ": no row came or went";
    }
    // Every text into every text box of a dialog, then OK (and Cancel when it stays open).
    void SweepDialog(const QString& node, const char* tool, const char* form) {
        const auto shape = Shape();
        for (const QString& text : BadTexts()) {
            int boxes = 0;
            OnForm(form, [&](ui::Form& f) {
                for (const auto& control : f.Controls())
                    if (control->Type() == ui::ControlType::TextBox && control->enabled && control->visible && !control->locked) {
                        f.UserSetText(control->Name(), text, control->Index());
                        ++boxes;
                    }
                f.PressDefault();
                if (f.IsShown()) f.PressCancel();
            });
            Click(node);
            RunTool(tool, node);
            EXPECT_GT(boxes, 0) << form << " was shown with text boxes";
            ExpectNoQuotingErrors(QStringLiteral("%1 text %2").arg(QString::fromUtf8(form), text.left(20)));
            if (HasFailure()) return;
        }
        EXPECT_EQ(Shape(), shape) << form << ": no row came or went";
    }
};

TEST_F(BadInputTest, EveryGridColumnTakesHostileTexts) {
    SweepGrid(nk::DeviceKey(1, QStringLiteral("."), false) + nk::kSeparator + QStringLiteral("Line1.Motor1"), QStringLiteral("tdbI"));
    SweepGrid(nk::kGroups, QStringLiteral("tdbG"));
    SweepGrid(nk::StructureKey(IdOf("TpdbStructDefs", "StatusWord")), QStringLiteral("tdbS"));
    SweepGrid(nk::UnitClassKey(IdOf("TpdbUnitClasses", "Temperature"), true), QStringLiteral("tdbU"));
}

TEST_F(BadInputTest, EveryDialogFieldTakesHostileTexts) {
    const QString plc = nk::DeviceKey(1, QStringLiteral("."), false);
    SweepDialog(plc, "mnuDeviceEdit", "FDevice");
    SweepDialog(nk::GroupKey(IdOf("TpdbGroups", "Fast")), "mnuGroupEdit", "FGroup");
    SweepDialog(nk::StructureKey(IdOf("TpdbStructDefs", "StatusWord")), "mnuStructureEdit", "FStructure");
    SweepDialog(nk::UnitClassKey(IdOf("TpdbUnitClasses", "Temperature"), true), "mnuUnitClassEdit", "FUnitClass");
    // The item dialog works on the grid's current row: the internal
    // variables show every item whatever its new name.
    SweepDialog(nk::kInternal, "mnuItemEdit", "FItem");
}

}  // namespace
