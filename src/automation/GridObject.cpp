#include "automation/GridObject.h"

#include "automation/ScriptKeys.h"
#include "automation/StudioObject.h"
#include "editor/frmtabgridOPC.h"
#include "platform/ui/GridModel.h"

#include <algorithm>
#include <vector>

namespace ov::automation {

namespace {

// What scripts call a column: bound ones by their data field, the live
// columns by the same name in every interface language, others by caption.
QString ScriptName(const ui::GridColumn& column) {
    if (column.IsBound()) return column.dataField;
    const QString live = editor::ItemGridOnline::ColumnKey(column);
    return live.isEmpty() ? column.caption : live;
}

}  // namespace

GridObject::GridObject(StudioObject& studio, const QString& name) : m_studio(studio), m_name(name) {}

ui::GridModel* GridObject::Grid() {
    editor::frmtabgridOPC* window = m_studio.Window();
    if (!window) {
        m_studio.Fail(QStringLiteral("The editor is not loaded."));
        return nullptr;
    }
    return &window->Grid(m_name);
}

int GridObject::Column(ui::GridModel& grid, const QString& name) {
    int column = grid.ColumnIndex(name);
    for (int c = 0; column < 0 && c < grid.ColumnCount(); ++c)
        if (!grid.Column(c).IsBound() && ScriptName(grid.Column(c)).compare(name, Qt::CaseInsensitive) == 0) column = c;
    if (column < 0) m_studio.Fail(QStringLiteral("The grid %1 has no column \"%2\".").arg(m_name, name));
    return column;
}

bool GridObject::CheckRow(ui::GridModel& grid, int row) {
    if (row >= 0 && row < grid.RowCount()) return true;
    return m_studio.Fail(QStringLiteral("Row %1 is outside the grid %2 (0 to %3).").arg(row).arg(m_name).arg(grid.RowCount() - 1));
}

QVariant GridObject::rows() {
    ui::GridModel* grid = Grid();
    if (!grid) return QVariant();
    QVariantList rows;
    for (int row = 0; row < grid->RowCount(); ++row) {
        QVariantMap values;
        for (int c = 0; c < grid->ColumnCount(); ++c) {
            const ui::GridColumn& column = grid->Column(c);
            const QString key = ScriptName(column);
            if (values.contains(key)) continue;
            values.insert(key, column.presentation == ui::Presentation::CheckBox ? QVariant(grid->CellValue(row, c).toBool())
                                                                                 : QVariant(grid->CellText(row, c)));
        }
        rows << values;
    }
    return rows;
}

int GridObject::count() {
    ui::GridModel* grid = Grid();
    return grid ? grid->RowCount() : 0;
}

int GridObject::find(const QString& column, const QVariant& value) {
    ui::GridModel* grid = Grid();
    if (!grid) return -1;
    const int c = Column(*grid, column);
    if (c < 0) return -1;
    for (int row = 0; row < grid->RowCount(); ++row) {
        if (grid->CellText(row, c).compare(value.toString(), Qt::CaseInsensitive) == 0) return row;
        if (grid->CellValue(row, c) == value) return row;
    }
    return -1;
}

void GridObject::select(const QVariantList& rows) {
    ui::GridModel* grid = Grid();
    if (!grid) return;
    std::vector<int> chosen;
    for (const QVariant& row : rows) {
        if (!CheckRow(*grid, row.toInt())) return;
        chosen.push_back(row.toInt());
    }
    grid->SelectRows(chosen);
}

bool GridObject::setCell(int row, const QString& column, const QVariant& value) {
    ui::GridModel* grid = Grid();
    if (!grid || !CheckRow(*grid, row)) return false;
    const int c = Column(*grid, column);
    if (c < 0) return false;
    if (!grid->BeginEdit(row, c)) return false;  // locked, or refused by the grid
    const bool written = grid->CommitEdit(value);
    m_studio.AfterEvent();
    return written;
}

void GridObject::key(const QString& keys) {
    ui::GridModel* grid = Grid();
    if (!grid) return;
    int code = 0, shift = 0;
    if (!ParseKeys(keys, code, shift)) {
        m_studio.Fail(QStringLiteral("Unknown key \"%1\".").arg(keys));
        return;
    }
    grid->KeyDown(code, shift);
    m_studio.AfterEvent();
}

void GridObject::click(int row, const QString& column, const QString& how) {
    ui::GridModel* grid = Grid();
    if (!grid || !CheckRow(*grid, row)) return;
    const int c = Column(*grid, column);
    if (c < 0) return;
    grid->SetCurrentCell(row, c);
    if (how.compare(QStringLiteral("ellipsis"), Qt::CaseInsensitive) == 0) {
        if (!grid->Column(c).button) {
            m_studio.Fail(QStringLiteral("The column \"%1\" has no button.").arg(column));
            return;
        }
        grid->ColumnButtonClicked(c);
    } else if (how.compare(QStringLiteral("double"), Qt::CaseInsensitive) == 0) {
        grid->DoubleClick();
    } else if (!how.isEmpty()) {
        m_studio.Fail(QStringLiteral("A click is plain, \"ellipsis\" or \"double\", not \"%1\".").arg(how));
        return;
    }
    m_studio.AfterEvent();
}

QVariant GridObject::rightClick(int row) {
    ui::GridModel* grid = Grid();
    if (!grid || !CheckRow(*grid, row)) return QVariant();
    grid->SetCurrentCell(row, std::max(grid->CurrentColumn(), 0));
    editor::frmtabgridOPC* window = m_studio.Window();
    return m_studio.PoppedBand([grid] { grid->MouseUp(2, 0, 0, 0); }, window->CurrentNode(), false);
}

QVariant GridObject::Current() {
    ui::GridModel* grid = Grid();
    if (!grid || grid->CurrentRow() < 0) return QVariant();
    const ui::GridColumn& column = grid->Column(grid->CurrentColumn());
    return QVariantMap{{QStringLiteral("row"), grid->CurrentRow()}, {QStringLiteral("column"), ScriptName(column)}};
}

}  // namespace ov::automation
