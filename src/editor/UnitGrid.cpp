#include "editor/UnitGrid.h"

#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "platform/db/Recordset.h"
#include "platform/host/COV4Extensibility.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/GridModel.h"

#include <algorithm>

namespace ov::editor {

namespace {
// The chooser's flag for a variable that holds a limit of a unit.
constexpr int kLimitVariableFlag = 32;
}  // namespace

UnitGrid::UnitGrid(frmtabgridOPC& window, ui::GridModel& grid) : m_window(window), m_grid(grid) {
    // The points of the conversion are typed with a decimal point, whatever the locale.
    grid.editingText = [this](int column, const QString& text) {
        return IsPoint(column) ? QString(text).replace(u',', u'.') : text;
    };
    // A limit is a number or a variable: it is chosen, never typed.
    grid.beforeColEdit = [this](int column, bool& cancel) {
        if (!IsLimit(column)) return;
        cancel = true;
        ChooseLimit(column);
    };
    grid.buttonClick = [this](int column) {
        if (IsLimit(column)) ChooseLimit(column);
    };
    grid.keyDown = [this](int& keyCode, int shift) { KeyDown(keyCode, shift); };
    grid.dblClick = [this] { RunCommand("mnuUnitEdit"); };
}

QString UnitGrid::Field(int column) const {
    return column >= 0 && column < m_grid.ColumnCount() ? m_grid.Column(column).dataField : QString();
}

bool UnitGrid::IsPoint(int column) const {
    const QString field = Field(column).toLower();
    return field == u"x1" || field == u"y1" || field == u"x2" || field == u"y2";
}

bool UnitGrid::IsLimit(int column) const {
    const QString field = Field(column).toLower();
    return field == u"physicalminval" || field == u"physicalmaxval";
}

void UnitGrid::ChooseLimit(int column) {
    db::Recordset* rs = m_grid.Recordset();
    if (!rs || m_grid.CurrentRow() < 0 || m_grid.AllLocked()) return;
    const QString field = Field(column);
    const QString chosen = m_window.ChooseVariable(rs->Value(field).toString(), kLimitVariableFlag);
    if (chosen.isEmpty()) return;
    rs->SetValue(field, chosen);
    m_grid.dataChanged = true;
    m_grid.Refresh();
}

void UnitGrid::RunCommand(const char* tool) { m_window.RunGridCommand(QString::fromUtf8(tool)); }

void UnitGrid::KeyDown(int& keyCode, int shift) {
    using namespace host::keys;
    const bool plain = shift == 0, ctrl = shift == kCtrl, alt = shift == kAlt, shifted = shift == kShift;
    if (plain && keyCode == kF8) {
        RunCommand("mnuUnitNew");
    } else if (plain && keyCode == kF9) {
        RunCommand("mnuUnitEdit");
    } else if (ctrl && keyCode == kDelete) {
        RunCommand("mnuUnitDelete");
        keyCode = 0;
    } else if (plain && (keyCode == kUp || keyCode == kDown)) {
        m_selecting = false;
    } else if (shifted && (keyCode == kUp || keyCode == kDown)) {
        frmtabgridOPC::ExtendRowSelection(m_grid, keyCode, m_selecting);
        keyCode = 0;
    } else if (shifted && (keyCode == kLeft || keyCode == kRight)) {
        m_window.MoveToNextColumn(m_grid, keyCode == kLeft ? -1 : 1);
        keyCode = 0;
    } else if (ctrl && (keyCode == kHome || keyCode == kPageUp || keyCode == kEnd || keyCode == kPageDown)) {
        const bool first = keyCode == kHome || keyCode == kPageUp;
        if (m_grid.RowCount() > 0)
            m_grid.SetCurrentCell(first ? 0 : m_grid.RowCount() - 1, std::max(m_grid.CurrentColumn(), 0));
        keyCode = 0;
    } else if (alt && keyCode == kF6) {
        if (m_window.Session().Host()) m_window.Session().Host()->FocusProjectTree();
        keyCode = 0;
    } else if (alt && (keyCode == kLeft || keyCode == kRight)) {
        keyCode = 0;
    }
}

}  // namespace ov::editor
