#include "editor/GroupGrid.h"

#include "editor/EditorMenus.h"
#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "host/ProjectTree.h"
#include "model/DataConnection.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "platform/host/COV4Extensibility.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/GridModel.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"

namespace ov::editor {

namespace nodekey = host::nodekey;
using settings::Text;

namespace {

const QString kGrp = QStringLiteral("Grp");
constexpr int kControlVariable = 1;     // ActiveMode "use Control Variable"
constexpr int kControlObjectFlag = 16;  // the chooser's flag for a control object

bool Is(const QString& field, const char* name) { return field.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; }

}  // namespace

GroupGrid::GroupGrid(frmtabgridOPC& window, ui::GridModel& grid) : m_window(window), m_grid(grid) {
    grid.afterColUpdate = [this](int column, const QVariant& value) { ColumnUpdated(column, value); };
    // The control object is chosen, never typed: typing opens the choice.
    // Only the button asks for a group activated by a control variable.
    grid.beforeColEdit = [this](int column, bool& cancel) {
        if (!Is(Field(column), "Activation")) return;
        cancel = true;
        ChooseControlObject(false);
    };
    grid.buttonClick = [this](int column) {
        if (Is(Field(column), "Activation")) ChooseControlObject(true);
    };
    grid.rowColChange = [this](int lastRow, int) {
        if (m_grid.CurrentRow() != lastRow) FollowCurrentRow();
    };
    grid.rowWritten = [this] { RowWritten(); };
    grid.keyDown = [this](int& keyCode, int shift) { KeyDown(keyCode, shift); };
    grid.dblClick = [this] { m_window.RunCommandFor(nodekey::GroupKey(CurrentGroupId()), QStringLiteral("mnuGroupEdit")); };
    grid.mouseUp = [this](int button, int, int x, int y) { MouseUp(button, x, y); };
}

QString GroupGrid::Field(int column) const {
    return column >= 0 && column < m_grid.ColumnCount() ? m_grid.Column(column).dataField : QString();
}

int GroupGrid::CurrentGroupId() const {
    db::Recordset* rs = m_grid.Recordset();
    if (!rs || m_grid.CurrentRow() < 0) return -1;
    try {
        return rs->Value(QStringLiteral("ID")).toInt();
    } catch (const db::DbError&) {
        return -1;
    }
}

void GroupGrid::FollowCurrentRow() {
    const int id = CurrentGroupId();
    if (id < 0) return;
    // The tree follows the grid: the group of the current row is the current node.
    const QString key = nodekey::GroupKey(id);
    m_window.SetCurrentNodeKey(key);
    if (host::HostStudio* host = m_window.Session().Host()) host->SelectNode(key);
}

void GroupGrid::ColumnUpdated(int column, const QVariant& value) {
    const QString field = Field(column);
    if (Is(field, "Name")) {
        Rename(value.toString());
        return;
    }
    // Several rows selected: the value goes to each of them, in one transaction with the current row.
    if (!m_grid.SelectedBookmarks().empty()) {
        const auto current = m_grid.RowBookmark(m_grid.CurrentRow());
        std::vector<db::Recordset::Bookmark> others;
        for (const auto bookmark : m_grid.SelectedBookmarks())
            if (!current || bookmark != *current) others.push_back(bookmark);
        m_window.RowWriting().WriteToRows(m_grid, others, [&](db::Recordset& rs) { rs.SetValue(field, value); });
        return;
    }
    // A click on these columns is written at once; the others when the row is left.
    if (Is(field, "AsyncRead") || Is(field, "AsyncWrite") || Is(field, "Enabled")) m_window.WriteRowAtOnce(m_grid);
}

void GroupGrid::Rename(const QString& name) {
    db::Recordset& rs = *m_grid.Recordset();
    const QString stored = rs.Fields(QStringLiteral("Name")).OriginalValue().toString();
    const auto restore = [&](int text) {
        rs.SetValue(QStringLiteral("Name"), stored);
        ui::ShowMessage(Text(text), Text(310), ui::Buttons::OK, 0, ui::Icon::Warning);
        m_grid.Refresh();
    };
    if (name.trimmed().isEmpty()) {
        restore(406);
        return;
    }
    if (!m_grid.SelectedBookmarks().empty()) {
        RenameSelection(name);
        return;
    }
    // Only checked here: the name list learns the name once the row is written.
    if (name != stored && !m_window.Names().TestNameInGroup(name, kGrp)) restore(405);
}

void GroupGrid::RenameSelection(const QString& name) {
    // Each selected row gets the name with a running number: G(1), G(2), ...
    db::Recordset& rs = *m_grid.Recordset();
    const auto current = m_grid.RowBookmark(m_grid.CurrentRow());
    rs.CancelUpdate();
    db::Connection& connection = m_window.Data()->Connection();
    int n = 0;
    try {
        connection.InTransaction([&] {
            for (const auto bookmark : m_grid.SelectedBookmarks()) {
                rs.SetBookmark(bookmark);
                const QString old = rs.Value(QStringLiteral("Name")).toString();
                const QString numbered = QStringLiteral("%1(%2)").arg(name).arg(++n);
                if (!m_window.Names().ChangeNameInGroup(old, numbered, kGrp)) {
                    ui::ShowMessage(Text(405) + QStringLiteral("\n") + numbered, Text(310), ui::Buttons::OK, 0,
                                    ui::Icon::Warning);
                    continue;
                }
                rs.SetValue(QStringLiteral("Name"), numbered);
                rs.Update();
                const int id = rs.Value(QStringLiteral("ID")).toInt();
                connection.AfterCommit([this, id, numbered] {
                    if (host::ProjectTree* tree = m_window.Session().Tree()) tree->RelabelGroup(id, numbered);
                });
            }
        });
    } catch (const db::DbError& e) {
        rs.CancelUpdate();
        m_window.DataError(m_grid, ui::GridModel::kErrorWriteFailed, e.Description());
        m_window.ReloadGroupNames();
        return;
    }
    if (current) rs.SetBookmark(*current);
    m_window.LoadGroupList();
    m_grid.Refresh();
}

void GroupGrid::ChooseControlObject(bool onlyForControlVariable) {
    db::Recordset* rs = m_grid.Recordset();
    // A locked grid (no edit right, a project opened for viewing) takes no choice.
    if (!rs || m_grid.CurrentRow() < 0 || m_grid.AllLocked()) return;
    if (onlyForControlVariable && rs->Value(QStringLiteral("ActiveMode")).toInt() != kControlVariable) {
        ui::Beep();
        return;
    }
    const QString chosen = m_window.ChooseVariable(rs->Value(QStringLiteral("Activation")).toString(), kControlObjectFlag);
    if (chosen.isEmpty()) return;
    rs->SetValue(QStringLiteral("Activation"), chosen);
    m_grid.dataChanged = true;
    m_grid.Refresh();
}

void GroupGrid::RowWritten() {
    db::Recordset* rs = m_grid.Recordset();
    if (!rs) return;
    try {
        const int id = rs->Value(QStringLiteral("ID")).toInt();
        const QString name = rs->Value(QStringLiteral("Name")).toString();
        if (host::ProjectTree* tree = m_window.Session().Tree()) tree->RelabelGroup(id, name);
        // The names as written, this row's new one included.
        m_window.ReloadGroupNames();
        m_window.LoadGroupList();
    } catch (const db::DbError&) {
        // The row went meanwhile: nothing to show.
    }
}

void GroupGrid::KeyDown(int& keyCode, int shift) {
    using namespace host::keys;
    const bool plain = shift == 0, ctrl = shift == kCtrl, alt = shift == kAlt, shifted = shift == kShift;
    if (plain && keyCode == kF8) {
        m_window.RunCommandFor(nodekey::kGroups, QStringLiteral("mnuGroupNew"));
    } else if (plain && keyCode == kF9) {
        m_window.RunCommandFor(nodekey::GroupKey(CurrentGroupId()), QStringLiteral("mnuGroupEdit"));
    } else if (ctrl && keyCode == kDelete) {
        m_window.RunCommandFor(nodekey::GroupKey(CurrentGroupId()), QStringLiteral("mnuGroupDelete"));
        keyCode = 0;
    } else if (alt && keyCode == kF6) {
        if (m_window.Session().Host()) m_window.Session().Host()->FocusProjectTree();
        keyCode = 0;
    } else if (shifted && (keyCode == 37 || keyCode == 39)) {
        m_window.MoveToNextColumn(m_grid, keyCode == 37 ? -1 : 1);
        keyCode = 0;
    } else if (alt && (keyCode == 37 || keyCode == 39)) {
        keyCode = 0;
    }
}

void GroupGrid::MouseUp(int button, int x, int y) {
    if (button == 2) {
        m_window.ComputeAvailability(QStringLiteral("OPCG-1"), false);
        m_window.PopupBand(QString::fromUtf8(ContextBandOfGrid("tdbG")), x, y);
    } else if (button == 1) {
        m_window.FocusGrid(QStringLiteral("tdbG"));
    }
}

}  // namespace ov::editor
