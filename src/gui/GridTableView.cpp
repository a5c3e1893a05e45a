#include "gui/GridTableView.h"

#include <QAccessible>

namespace ov::gui {

namespace {

bool Holds(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QModelIndex& index) {
    return index.isValid() && index.row() >= topLeft.row() && index.row() <= bottomRight.row() &&
           index.column() >= topLeft.column() && index.column() <= bottomRight.column();
}

}  // namespace

QRect GridTableView::BlockRect(const QModelIndex& topLeft, const QModelIndex& bottomRight) const {
    if (!topLeft.isValid() || !bottomRight.isValid() || topLeft.model() != model() || bottomRight.model() != model())
        return QRect();
    const int top = rowViewportPosition(topLeft.row());
    const int bottom = rowViewportPosition(bottomRight.row()) + rowHeight(bottomRight.row());
    if (bottom <= top) return QRect();
    if (topLeft.column() != bottomRight.column()) return QRect(0, top, viewport()->width(), bottom - top);
    if (isColumnHidden(topLeft.column())) return QRect();
    return QRect(columnViewportPosition(topLeft.column()), top, columnWidth(topLeft.column()), bottom - top);
}

void GridTableView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
    // A single cell the base class paints alone already, and it puts the
    // value into an editor open on it; so it does for a block around the
    // cell being edited (a row just written). Live values tell the cells
    // around an open editor without it.
    if (topLeft == bottomRight || !isVisible() || (state() == EditingState && Holds(topLeft, bottomRight, currentIndex()))) {
        QTableView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    const QRect block = BlockRect(topLeft, bottomRight);
    if (block.isValid()) viewport()->update(block);
    if (QAccessible::isActive()) {
        QAccessibleTableModelChangeEvent change(this, QAccessibleTableModelChangeEvent::DataChanged);
        change.setFirstRow(topLeft.row());
        change.setFirstColumn(topLeft.column());
        change.setLastRow(bottomRight.row());
        change.setLastColumn(bottomRight.column());
        QAccessible::updateAccessibility(&change);
    }
}

}  // namespace ov::gui
