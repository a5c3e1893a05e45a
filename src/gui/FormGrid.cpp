#include "gui/FormGrid.h"

#include "gui/FormDialog.h"
#include "gui/FormGridDelegate.h"
#include "gui/FormRows.h"

#include <QBrush>
#include <QColor>
#include <QHeaderView>
#include <QTableWidget>

namespace ov::gui {

using ui::Control;

QTableWidget* CreateGrid(FormDialog& dialog, Control& control) {
    FormDialog* const d = &dialog;
    Control* const c = &control;
    auto* table = new QTableWidget(d);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setItemDelegate(new FormGridDelegate(*c, table));
    // Room for a few columns and rows without scrolling at once.
    table->setMinimumSize(table->fontMetrics().averageCharWidth() * 72, table->fontMetrics().height() * 14);
    QObject::connect(table, &QTableWidget::itemChanged, d, [d, c](QTableWidgetItem* item) {
        d->Act([&] { d->Model().UserEditCell(c->Name(), item->row(), item->column(), item->data(Qt::EditRole)); });
    });
    QObject::connect(table, &QTableWidget::currentCellChanged, d, [d, c](int row, int column) {
        // Where the person stands is state, not an event.
        if (!d->Listening()) return;
        c->grid.currentRow = row;
        c->grid.currentColumn = column;
    });
    return table;
}

void SyncGrid(const Control& control, QTableWidget& table) {
    const ui::GridData& grid = control.grid;
    const int columns = static_cast<int>(grid.columnCaptions.size());
    if (table.columnCount() != columns) table.setColumnCount(columns);
    for (int c = 0; c < columns; ++c) {
        const QTableWidgetItem* header = table.horizontalHeaderItem(c);
        if (!header || header->text() != grid.columnCaptions[c]) table.setHorizontalHeaderItem(c, new QTableWidgetItem(grid.columnCaptions[c]));
    }
    if (table.rowCount() != ToInt(grid.rows.size())) table.setRowCount(ToInt(grid.rows.size()));
    for (int r = 0; r < table.rowCount(); ++r) {
        const auto& cells = grid.rows[static_cast<std::size_t>(r)];
        for (int c = 0; c < columns; ++c) {
            const auto column = static_cast<std::size_t>(c);
            const QVariant value = column < cells.size() ? cells[column] : QVariant();
            const bool locked = column < grid.columnLocked.size() && grid.columnLocked[column];
            const Qt::ItemFlags flags =
                locked ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
            QTableWidgetItem* item = table.item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                table.setItem(r, c, item);
            }
            if (item->flags() != flags) item->setFlags(flags);
            if (item->data(Qt::EditRole) != value) item->setData(Qt::EditRole, value);
            const QString background = r < ToInt(grid.rowBackground.size()) ? grid.rowBackground[static_cast<std::size_t>(r)] : QString();
            const QString foreground = r < ToInt(grid.rowForeground.size()) ? grid.rowForeground[static_cast<std::size_t>(r)] : QString();
            const QBrush back = background.isEmpty() ? QBrush() : QBrush(QColor(background));
            const QBrush fore = foreground.isEmpty() ? QBrush() : QBrush(QColor(foreground));
            if (item->background() != back) item->setBackground(back);
            if (item->foreground() != fore) item->setForeground(fore);
            const QString tip = r < ToInt(grid.rowToolTip.size()) ? grid.rowToolTip[static_cast<std::size_t>(r)] : QString();
            if (item->toolTip() != tip) item->setToolTip(tip);
        }
    }
    for (int c = 0; c < columns; ++c) {
        const bool hidden = c < ToInt(grid.columnHidden.size()) && grid.columnHidden[static_cast<std::size_t>(c)];
        if (table.isColumnHidden(c) != hidden) table.setColumnHidden(c, hidden);
    }
    if (InRange(grid.currentRow, grid.rows.size()) && grid.currentColumn >= 0 && grid.currentColumn < columns &&
        (table.currentRow() != grid.currentRow || table.currentColumn() != grid.currentColumn))
        table.setCurrentCell(grid.currentRow, grid.currentColumn);
}

}  // namespace ov::gui
