#pragma once

#include "platform/ui/GridModel.h"

#include <QAbstractTableModel>
#include <QFontMetrics>
#include <QTableView>
#include <QWidget>

#include <functional>

class QSplitter;

namespace ov::gui {

// One split of a grid model as a Qt table model. Rows are read only when the
// view paints them, so a view over 100,000 rows holds no more than it shows.
class GridSplitModel : public QAbstractTableModel {
  public:
    GridSplitModel(ui::GridModel& grid, int split, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The grid column shown in a view column.
    int GridColumn(int viewColumn) const;
    int ViewColumn(int gridColumn) const;
    void Reset();
    // Rows whose cells show something new; an editor open on the one cell
    // of such a change keeps what is typed.
    void RowsChanged(int first, int last);
    // The same for the cells of one grid column.
    void CellsChanged(int first, int last, int gridColumn);
    QPersistentModelIndex editing;  // the cell with an open editor
    // Captions wider than their column are cut with "…" for this font.
    void SetHeaderFont(const QFont& font) { m_headerMetrics = QFontMetrics(font); }

  private:
    void Changed(int first, int last, int left, int right);

    ui::GridModel& m_grid;
    int m_split;
    std::vector<int> m_columns;
    QFontMetrics m_headerMetrics{QFont()};
};

// A grid as two table views side by side: split 0 fixed on the left, split 1
// scrolling; one current row, one selection, scrolled together.
class GridView : public QWidget {
  public:
    explicit GridView(ui::GridModel& grid, QWidget* parent = nullptr);
    ~GridView() override;

    ui::GridModel& Model() { return m_grid; }
    QTableView* FixedView() const { return m_fixed; }
    QTableView* ScrollingView() const { return m_scrolling; }
    // Takes columns, widths and rows from the model again.
    void Reset();
    // Shows the model's current cell and selected rows.
    void ShowModelState();
    // Writes what a cell editor holds; a reset the write asks for waits
    // until the editor is closed, so the view keeps the focus and its cell.
    void Commit(const std::function<void()>& write);
    // Lets go of the model before it goes: the widget may be deleted only
    // later (once the event that ended its window is over) and then neither
    // shows nor touches the model again.
    void Detach();

    static constexpr int kMinScrollingTwips = 60;
    static int TwipsToPixels(int twips) { return twips / 15; }
    static int PixelsToTwips(int pixels) { return pixels * 15; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ApplyWidths();
    void SyncRows(QTableView* from, QTableView* to);
    void CurrentChanged(QTableView* view, const QModelIndex& index);
    void ResetIfPending();
    // The model hears which rows are on screen now.
    void TellVisibleRows();

    ui::GridModel& m_grid;
    QSplitter* m_splitter = nullptr;
    QTableView* m_fixed = nullptr;
    QTableView* m_scrolling = nullptr;
    GridSplitModel* m_fixedModel = nullptr;
    GridSplitModel* m_scrollingModel = nullptr;
    bool m_syncing = false;
    bool m_detached = false;
    bool m_committing = false;
    bool m_resetPending = false;
};

}  // namespace ov::gui
