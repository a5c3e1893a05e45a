#include "gui/GridView.h"

#include "gui/GridTableView.h"
#include "gui/KeyMapping.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSplitter>
#include <QStyledItemDelegate>

namespace ov::gui {

namespace {

// The current row stands out a little even where it is not selected.
QColor CurrentRowTint() {
    QColor tint = QApplication::palette().color(QPalette::Highlight);
    tint.setAlpha(48);
    return tint;
}

// Rows that warn or report an error, light enough to read black text on.
QVariant ToneColour(ui::RowTone tone) {
    switch (tone) {
        case ui::RowTone::Warning:
            return QColor(255, 236, 150);
        case ui::RowTone::Error:
            return QColor(245, 170, 165);
        default:
            return QVariant();
    }
}

// Keys with Ctrl that the grid's owner gives a meaning of its own (sort,
// copy, paste, delete, first and last row): they reach the grid even where
// the program around it binds the same keys to a menu command (Ctrl+O opens
// a project in the studio, for one).
bool IsGridShortcut(const QKeyEvent& key) {
    if (key.modifiers() != Qt::ControlModifier) return false;
    switch (key.key()) {
        case Qt::Key_O:
        case Qt::Key_C:
        case Qt::Key_V:
        case Qt::Key_Delete:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            return true;
        default:
            return false;
    }
}

// Drop-down lists and ellipsis buttons in cells.
class CellDelegate : public QStyledItemDelegate {
  public:
    CellDelegate(ui::GridModel& grid, GridSplitModel& model, GridView& owner, QObject* parent)
        : QStyledItemDelegate(parent), m_grid(grid), m_model(model), m_owner(owner) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        const int gridColumn = m_model.GridColumn(index.column());
        const ui::GridColumn& column = m_grid.Column(gridColumn);
        m_model.editing = index;
        if (column.presentation != ui::Presentation::ValueList) {
            QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
            // The column may correct the text while it is typed.
            if (auto* line = qobject_cast<QLineEdit*>(editor)) {
                ui::GridModel* grid = &m_grid;
                QObject::connect(line, &QLineEdit::textEdited, line, [grid, gridColumn, line](const QString& text) {
                    const QString shown = grid->EditingText(gridColumn, text);
                    if (shown == text) return;
                    const int position = line->cursorPosition();
                    line->setText(shown);
                    line->setCursorPosition(std::min(position, static_cast<int>(shown.size())));
                });
            }
            return editor;
        }
        auto* combo = new QComboBox(parent);
        combo->setEditable(column.values.GetStyle() == ui::ValueList::Style::DropDownCombo);
        for (const ui::ValueItem& item : column.values.Items()) combo->addItem(item.text, item.value);
        return combo;
    }

    void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
        m_model.editing = QPersistentModelIndex();
        QStyledItemDelegate::destroyEditor(editor, index);
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            combo->setCurrentIndex(combo->findText(index.data(Qt::DisplayRole).toString()));
            if (combo->isEditable()) combo->setEditText(index.data(Qt::DisplayRole).toString());
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        m_owner.Commit([&] {
            if (auto* combo = qobject_cast<QComboBox*>(editor)) {
                const QVariant value = combo->isEditable() || combo->currentIndex() < 0
                                           ? QVariant(combo->currentText())
                                           : combo->currentData();
                model->setData(index, value, Qt::EditRole);
                return;
            }
            QStyledItemDelegate::setModelData(editor, model, index);
        });
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const ui::GridColumn& column = m_grid.Column(m_model.GridColumn(index.column()));
        if (column.changesOften && !(option.state & QStyle::State_HasFocus)) {
            PaintPlainly(painter, option, index);
            return;
        }
        QStyledItemDelegate::paint(painter, option, index);
        if (!column.button) return;
        QStyleOptionButton button;
        button.rect = ButtonRect(option.rect);
        button.text = QStringLiteral("…");
        button.state = QStyle::State_Enabled;
        QApplication::style()->drawControl(QStyle::CE_PushButton, &button, painter);
    }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override {
        const int gridColumn = m_model.GridColumn(index.column());
        if (event->type() == QEvent::MouseButtonRelease && m_grid.Column(gridColumn).button) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (ButtonRect(option.rect).contains(mouse->position().toPoint())) {
                m_grid.SetCurrentCell(index.row(), gridColumn);
                m_grid.ColumnButtonClicked(gridColumn);
                return true;
            }
        }
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }

  private:
    // The background and the text, nothing else: the style's item layout
    // shapes a text several times (layout, elision, drawing), which costs
    // most of a live grid's time when its values change ten times a second.
    static void PaintPlainly(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) {
        const bool selected = option.state & QStyle::State_Selected;
        const QVariant background = index.data(Qt::BackgroundRole);
        if (selected)
            painter->fillRect(option.rect, option.palette.brush(QPalette::Highlight));
        else if (background.isValid())
            painter->fillRect(option.rect, qvariant_cast<QBrush>(background));
        painter->save();
        painter->setFont(option.font);
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        constexpr int kMargin = 4;
        painter->drawText(option.rect.adjusted(kMargin, 0, -kMargin, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
    }

    static QRect ButtonRect(const QRect& cell) {
        return QRect(cell.right() - 17, cell.top() + 1, 17, cell.height() - 2);
    }

    ui::GridModel& m_grid;
    GridSplitModel& m_model;
    GridView& m_owner;
};

}  // namespace

GridSplitModel::GridSplitModel(ui::GridModel& grid, int split, QObject* parent)
    : QAbstractTableModel(parent), m_grid(grid), m_split(split), m_columns(grid.DisplayColumns(split)) {}

int GridSplitModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_grid.RowCount();
}

int GridSplitModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

int GridSplitModel::GridColumn(int viewColumn) const {
    if (viewColumn < 0 || static_cast<std::size_t>(viewColumn) >= m_columns.size()) return -1;
    // Until a reset that waits for an edit to close, the grid may have fewer columns.
    const int column = m_columns[static_cast<std::size_t>(viewColumn)];
    return column < m_grid.ColumnCount() ? column : -1;
}

int GridSplitModel::ViewColumn(int gridColumn) const {
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i] == gridColumn) return static_cast<int>(i);
    return -1;
}

QVariant GridSplitModel::data(const QModelIndex& index, int role) const {
    const int column = GridColumn(index.column());
    if (!index.isValid() || column < 0) return QVariant();
    const ui::GridColumn& c = m_grid.Column(column);
    switch (role) {
        case Qt::DisplayRole:
            return c.presentation == ui::Presentation::CheckBox
                       ? QVariant()
                       : QVariant(m_grid.CellText(index.row(), column));
        case Qt::EditRole:
            return c.presentation == ui::Presentation::ValueList
                       ? QVariant(m_grid.CellText(index.row(), column))
                       : m_grid.CellValue(index.row(), column);
        case Qt::CheckStateRole:
            if (c.presentation != ui::Presentation::CheckBox) return QVariant();
            return m_grid.CellValue(index.row(), column).toBool() ? Qt::Checked : Qt::Unchecked;
        case Qt::ToolTipRole: {
            const QString tip = m_grid.CellTip(index.row(), column);
            return tip.isEmpty() ? QVariant() : QVariant(tip);
        }
        case Qt::BackgroundRole: {
            const QVariant tone = ToneColour(m_grid.ToneOfRow(index.row()));
            if (tone.isValid() || index.row() != m_grid.CurrentRow()) return tone;
            return QVariant(CurrentRowTint());
        }
        default:
            return QVariant();
    }
}

QVariant GridSplitModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return QVariant();
    if (orientation == Qt::Vertical) {
        if (role != Qt::DisplayRole) return QVariant();
        // The record selector marks the row the commands and edits work on.
        return section == m_grid.CurrentRow() ? QVariant(QStringLiteral("\u25B6 %1").arg(section + 1))
                                               : QVariant(section + 1);
    }
    // A narrow column shows the start of its caption; the tooltip shows all of it.
    const int column = GridColumn(section);
    if (column < 0) return QVariant();
    const ui::GridColumn& c = m_grid.Column(column);
    if (role == Qt::ToolTipRole) return c.caption;
    constexpr int kMargins = 12;
    return m_headerMetrics.elidedText(c.caption, Qt::ElideRight,
                                      std::max(0, GridView::TwipsToPixels(c.width) - kMargins));
}

Qt::ItemFlags GridSplitModel::flags(const QModelIndex& index) const {
    const int column = GridColumn(index.column());
    if (column < 0) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    const ui::GridColumn& c = m_grid.Column(column);
    if (c.locked || m_grid.AllLocked()) return flags;
    if (c.presentation == ui::Presentation::CheckBox) return flags | Qt::ItemIsUserCheckable;
    return flags | Qt::ItemIsEditable;
}

bool GridSplitModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int column = GridColumn(index.column());
    if (column < 0) return false;
    QVariant typed = value;
    if (role == Qt::CheckStateRole)
        typed = value.toInt() == Qt::Checked;
    else if (role != Qt::EditRole)
        return false;
    if (!m_grid.BeginEdit(index.row(), column)) return false;
    const bool written = m_grid.CommitEdit(typed);
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    return written;
}

void GridSplitModel::RowsChanged(int first, int last) { Changed(first, last, 0, columnCount() - 1); }

void GridSplitModel::CellsChanged(int first, int last, int gridColumn) {
    const int column = ViewColumn(gridColumn);
    if (column >= 0) Changed(first, last, column, column);
}

void GridSplitModel::Changed(int first, int last, int left, int right) {
    last = std::min(last, rowCount() - 1);
    if (left > right || first > last) return;
    const auto changed = [this](int top, int from, int bottom, int to) {
        // The view paints just the block; of a column's cells, which change
        // many times a second while online, only those on screen.
        if (from == to) {
            const auto [shownFirst, shownLast] = m_grid.VisibleRows();
            if (shownFirst >= 0) {
                top = std::max(top, shownFirst);
                bottom = std::min(bottom, shownLast);
            }
        }
        if (top <= bottom && from <= to) emit dataChanged(index(top, from), index(bottom, to));
    };
    // The view puts the value of every changed cell into an editor open on
    // it: the person's typing would be lost. That cell waits for the next paint.
    const int row = editing.isValid() ? editing.row() : -1;
    const int column = editing.isValid() ? editing.column() : -1;
    if (row < first || row > last || column < left || column > right) {
        changed(first, left, last, right);
        return;
    }
    changed(first, left, row - 1, right);
    changed(row, left, row, column - 1);
    changed(row, column + 1, row, right);
    changed(row + 1, left, last, right);
}

void GridSplitModel::Reset() {
    beginResetModel();
    m_columns = m_grid.DisplayColumns(m_split);
    endResetModel();
}

GridView::GridView(ui::GridModel& grid, QWidget* parent) : QWidget(parent), m_grid(grid) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_splitter = new QSplitter(Qt::Horizontal, this);
    layout->addWidget(m_splitter);
    m_fixed = new GridTableView(m_splitter);
    m_scrolling = new GridTableView(m_splitter);
    m_fixedModel = new GridSplitModel(grid, 0, this);
    m_scrollingModel = new GridSplitModel(grid, 1, this);
    m_fixed->setModel(m_fixedModel);
    m_scrolling->setModel(m_scrollingModel);
    for (const auto& split : {std::pair{m_fixed, m_fixedModel}, std::pair{m_scrolling, m_scrollingModel}}) {
        // Named, not bound: the lambdas below capture them.
        QTableView* view = split.first;
        GridSplitModel* model = split.second;
        auto* delegate = new CellDelegate(grid, *model, *this, view);
        view->setItemDelegate(delegate);
        // Connected after the view's own handler: the view has closed the editor by then.
        connect(delegate, &QAbstractItemDelegate::closeEditor, this, [this] { ResetIfPending(); });
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
        view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        model->SetHeaderFont(view->horizontalHeader()->font());
        // Rows are selected whole, so every caption would turn bold and no longer fit.
        view->horizontalHeader()->setHighlightSections(false);
        // Both always show a horizontal bar, so the last row is fully visible on both sides.
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed);
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this, view](const QModelIndex& current) { CurrentChanged(view, current); });
        connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this, view] { SyncRows(view, view == m_fixed ? m_scrolling : m_fixed); });
        connect(view->horizontalHeader(), &QHeaderView::sectionResized, this,
                [this, model, view](int section, int, int size) {
                    if (m_syncing) return;
                    const int column = model->GridColumn(section);
                    if (column >= 0) m_grid.Column(column).width = PixelsToTwips(size);
                    if (view == m_fixed) m_grid.split0Width = PixelsToTwips(size);
                });
    }
    m_fixed->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrolling->verticalHeader()->hide();
    connect(m_scrolling->verticalScrollBar(), &QScrollBar::valueChanged, m_fixed->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(m_fixed->verticalScrollBar(), &QScrollBar::valueChanged, m_scrolling->verticalScrollBar(),
            &QScrollBar::setValue);
    m_splitter->setStretchFactor(1, 1);
    // Split 0 may shrink to nothing; split 1 always keeps a sliver of 60 twips.
    m_splitter->setCollapsible(0, true);
    m_splitter->setCollapsible(1, false);
    m_scrolling->setMinimumWidth(TwipsToPixels(kMinScrollingTwips));
    m_fixed->setMinimumWidth(0);
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] {
        if (m_syncing || !m_fixed->isVisible()) return;
        const int fixedPixels = m_splitter->sizes().value(0) - m_fixed->verticalHeader()->width() - 4;
        m_grid.split0Width = PixelsToTwips(std::max(0, fixedPixels));
    });
    grid.onReset = [this] {
        // A reset while a cell editor commits would take the editor from its
        // view before the view closes it: the focus would go nowhere and the
        // view would refuse the close. It waits until the editor is closed.
        if (m_committing)
            m_resetPending = true;
        else
            Reset();
    };
    grid.onCurrentCellChanged = [this] { ShowModelState(); };
    grid.onRowsChanged = [this](int first, int last) {
        m_fixedModel->RowsChanged(first, last);
        m_scrollingModel->RowsChanged(first, last);
    };
    grid.onCellsChanged = [this](int first, int last, int column) {
        m_fixedModel->CellsChanged(first, last, column);
        m_scrollingModel->CellsChanged(first, last, column);
    };
    connect(m_scrolling->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { TellVisibleRows(); });
    Reset();
}

GridView::~GridView() { Detach(); }

void GridView::Detach() {
    if (m_detached) return;
    m_detached = true;
    m_grid.onReset = nullptr;
    m_grid.onCurrentCellChanged = nullptr;
    m_grid.onRowsChanged = nullptr;
    m_grid.onCellsChanged = nullptr;
    // Without their models the table views ask nothing of the grid any more.
    m_syncing = true;
    m_fixed->setModel(nullptr);
    m_scrolling->setModel(nullptr);
}

void GridView::Reset() {
    if (m_detached) return;
    m_resetPending = false;
    m_syncing = true;
    m_fixedModel->Reset();
    m_scrollingModel->Reset();
    ApplyWidths();
    m_syncing = false;
    ShowModelState();
    TellVisibleRows();
}

void GridView::TellVisibleRows() {
    if (m_detached) return;
    const int rows = m_scrollingModel->rowCount();
    const int first = rows == 0 ? -1 : m_scrolling->rowAt(0);
    int last = m_scrolling->rowAt(m_scrolling->viewport()->height() - 1);
    if (first >= 0 && last < 0) last = rows - 1;
    m_grid.SetVisibleRows(first, last);
}

void GridView::Commit(const std::function<void()>& write) {
    const bool outer = !m_committing;
    m_committing = true;
    write();
    if (!outer) return;
    m_committing = false;
    // Should no close follow (the view commits on its own when the current
    // cell moves), the reset comes once this event is over.
    if (m_resetPending) QMetaObject::invokeMethod(this, [this] { ResetIfPending(); }, Qt::QueuedConnection);
}

void GridView::ResetIfPending() {
    if (!m_resetPending || m_committing) return;
    m_resetPending = false;
    Reset();
}

void GridView::ShowModelState() {
    if (m_syncing) return;
    m_syncing = true;
    // The selection and the current cell are the model's; the views only show them.
    std::vector<int> selectedRows;
    for (const auto bookmark : m_grid.SelectedBookmarks()) {
        const int row = m_grid.RowOfBookmark(bookmark);
        if (row >= 0) selectedRows.push_back(row);
    }
    const int row = m_grid.CurrentRow();
    for (const auto& split : {std::pair{m_fixed, m_fixedModel}, std::pair{m_scrolling, m_scrollingModel}}) {
        // Named, not bound: the lambdas below capture them.
        QTableView* view = split.first;
        GridSplitModel* model = split.second;
        QItemSelection selection;
        const int last = model->columnCount() - 1;
        if (last >= 0)
            for (int selected : selectedRows) selection.select(model->index(selected, 0), model->index(selected, last));
        view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        int column = model->ViewColumn(m_grid.CurrentColumn());
        if (column < 0 && view == m_scrolling) column = 0;
        const QModelIndex current = row >= 0 && column >= 0 && last >= 0 ? model->index(row, column) : QModelIndex();
        if (current.isValid()) {
            // Only a current cell that moved is scrolled to: a window that
            // shows itself anew leaves the rows the person scrolled to alone.
            if (view->selectionModel()->currentIndex() != current) {
                view->selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
                view->scrollTo(current);
            }
        } else if (row < 0) {
            view->selectionModel()->clearCurrentIndex();
        }
        view->viewport()->update();
        view->verticalHeader()->viewport()->update();
    }
    m_syncing = false;
}

void GridView::ApplyWidths() {
    for (const auto& split : {std::pair{m_fixed, m_fixedModel}, std::pair{m_scrolling, m_scrollingModel}}) {
        // Named, not bound: the lambdas below capture them.
        QTableView* view = split.first;
        GridSplitModel* model = split.second;
        for (int i = 0; i < model->columnCount(); ++i) {
            const ui::GridColumn& c = m_grid.Column(model->GridColumn(i));
            view->setColumnWidth(i, std::max(16, TwipsToPixels(c.width)));
            view->horizontalHeader()->setSectionResizeMode(
                i, c.allowSizing ? QHeaderView::Interactive : QHeaderView::Fixed);
        }
    }
    const bool fixedShown = m_fixedModel->columnCount() > 0;
    m_fixed->setVisible(fixedShown);
    if (fixedShown) {
        const int width = m_fixed->verticalHeader()->width() + TwipsToPixels(m_grid.split0Width) + 4;
        m_splitter->setSizes({width, std::max(100, this->width() - width)});
    }
}

void GridView::SyncRows(QTableView* from, QTableView* to) {
    if (m_syncing) return;
    m_syncing = true;
    QItemSelection selection;
    std::vector<int> rows;
    for (const QModelIndex& index : from->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
        if (to->model()->columnCount() > 0)
            selection.select(to->model()->index(index.row(), 0),
                             to->model()->index(index.row(), to->model()->columnCount() - 1));
    }
    to->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    m_grid.SelectRows(rows);
    m_syncing = false;
}

void GridView::CurrentChanged(QTableView* view, const QModelIndex& index) {
    if (m_syncing || !index.isValid()) return;
    auto* model = static_cast<GridSplitModel*>(view->model());
    m_grid.SetCurrentCell(index.row(), model->GridColumn(index.column()));
}

bool GridView::eventFilter(QObject* watched, QEvent* event) {
    if (m_detached) return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride && (watched == m_fixed || watched == m_scrolling) &&
        IsGridShortcut(*static_cast<QKeyEvent*>(event))) {
        event->accept();  // delivered to the grid as a key press, not to a window's shortcut
        return true;
    }
    if (event->type() == QEvent::KeyPress && (watched == m_fixed || watched == m_scrolling)) {
        auto* key = static_cast<QKeyEvent*>(event);
        int code = KeyCode(key->key());
        if (code != 0) {
            m_grid.KeyDown(code, ShiftState(key->modifiers()));
            if (code == 0) {  // the grid's handler took the key
                ShowModelState();
                return true;
            }
        }
        if (!key->text().isEmpty()) {
            int ascii = key->text().at(0).unicode();
            m_grid.KeyPress(ascii);
            if (ascii == 0) return true;
        }
    } else if (event->type() == QEvent::MouseButtonRelease &&
               (watched == m_fixed->viewport() || watched == m_scrolling->viewport())) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const int button =
            mouse->button() == Qt::RightButton ? 2 : (mouse->button() == Qt::LeftButton ? 1 : 4);
        const QPoint global = mouse->globalPosition().toPoint();
        if (button == 2) {
            // A right click also makes the row under the mouse current.
            auto* view = watched == m_fixed->viewport() ? m_fixed : m_scrolling;
            const QModelIndex index = view->indexAt(mouse->position().toPoint());
            if (index.isValid()) view->setCurrentIndex(index);
        }
        m_grid.MouseUp(button, ShiftState(mouse->modifiers()), global.x(), global.y());
    } else if (event->type() == QEvent::Resize && watched == m_scrolling->viewport()) {
        TellVisibleRows();
    } else if (event->type() == QEvent::MouseButtonDblClick &&
               (watched == m_fixed->viewport() || watched == m_scrolling->viewport())) {
        m_grid.DoubleClick();
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace ov::gui
