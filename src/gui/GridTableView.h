#pragma once

#include <QTableView>

namespace ov::gui {

// One split of a grid on screen. A change of a block of cells paints that
// block again, not the whole view: Qt's own view repaints all of itself for
// any change of more than one cell, and a live column tells a run of rows at
// a time ten times a second.
class GridTableView : public QTableView {
  public:
    using QTableView::QTableView;

    // Where a block of cells lies in the viewport: one column's cells, or
    // the whole width of the rows when it spans columns (their order on
    // screen may differ from the model's). Empty for invalid corners.
    QRect BlockRect(const QModelIndex& topLeft, const QModelIndex& bottomRight) const;

  protected:
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) override;
};

}  // namespace ov::gui
