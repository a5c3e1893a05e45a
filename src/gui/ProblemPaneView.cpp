#include "gui/ProblemPaneView.h"

#include "settings/TextTable.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace ov::gui {

using settings::Text;

// The pane's shown rows as a table.
class ProblemTableModel : public QAbstractTableModel {
  public:
    explicit ProblemTableModel(host::ProblemPane& pane) : m_pane(pane) {}
    void Reload() {
        beginResetModel();
        m_shown = m_pane.Shown();
        endResetModel();
    }
    int RowOf(int shownRow) const { return shownRow >= 0 && shownRow < static_cast<int>(m_shown.size()) ? m_shown[shownRow] : -1; }
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : static_cast<int>(m_shown.size()); }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : host::ProblemPane::kColumns; }
    QVariant data(const QModelIndex& index, int role) const override {
        const int row = RowOf(index.row());
        if (row < 0) return {};
        const host::ProblemPane::Row& problem = m_pane.Rows()[row];
        if (role == Qt::DecorationRole && index.column() == host::ProblemPane::kSeverity) {
            static const QStyle::StandardPixmap icons[] = {QStyle::SP_MessageBoxCritical, QStyle::SP_MessageBoxWarning,
                                                           QStyle::SP_MessageBoxInformation};
            return QApplication::style()->standardIcon(icons[std::clamp(problem.severity, 0, 2)]);
        }
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
        switch (index.column()) {
            case host::ProblemPane::kSeverity: return Text(9425 + std::clamp(problem.severity, 0, 2));
            case host::ProblemPane::kCode: return problem.code;
            case host::ProblemPane::kObject: return problem.object;
            default: return problem.message;
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        return Text(9416 + section);
    }

  private:
    host::ProblemPane& m_pane;
    std::vector<int> m_shown;
};

ProblemPaneView::ProblemPaneView(host::ProblemPane& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_model(new ProblemTableModel(pane)) {
    setObjectName(QStringLiteral("CheckProject"));
    m_model->setParent(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 0);
    layout->setSpacing(2);
    auto* bar = new QHBoxLayout();
    bar->setContentsMargins(6, 0, 6, 0);
    auto* title = new QLabel(Text(9415), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    bar->addWidget(title);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("summary"));
    bar->addWidget(m_summary, 1);
    m_filter = new QComboBox(this);
    m_filter->setObjectName(QStringLiteral("severity"));
    // The least severe row shown: all, errors and warnings, errors.
    m_filter->addItem(Text(9421), 2);
    m_filter->addItem(Text(9423), 1);
    m_filter->addItem(Text(9422), 0);
    bar->addWidget(m_filter);
    m_repair = new QPushButton(Text(9420), this);
    m_repair->setObjectName(QStringLiteral("repair"));
    bar->addWidget(m_repair);
    auto* close = new QToolButton(this);
    close->setObjectName(QStringLiteral("close"));
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setToolTip(Text(9424));
    close->setAutoRaise(true);
    bar->addWidget(close);
    layout->addLayout(bar);

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("findings"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSectionsClickable(true);
    m_table->horizontalHeader()->setSortIndicatorShown(true);
    layout->addWidget(m_table, 1);

    connect(m_filter, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        m_pane.ShowAtLeast(m_filter->itemData(index).toInt());
        Refresh();
    });
    connect(m_table->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        m_pane.SortBy(section);
        Refresh();
    });
    connect(m_table, &QTableView::doubleClicked, this, [this](const QModelIndex&) { ActivateCurrent(); });
    connect(m_repair, &QPushButton::clicked, this, [this] {
        if (m_pane.repair) m_pane.repair(SelectedRows());
    });
    connect(close, &QToolButton::clicked, this, [this] {
        if (m_pane.close) m_pane.close();
    });
    // Enter on a row shows its object, as a double click does.
    auto* enter = new QShortcut(QKeySequence(Qt::Key_Return), m_table, nullptr, nullptr, Qt::WidgetShortcut);
    connect(enter, &QShortcut::activated, this, [this] { ActivateCurrent(); });
    Refresh();
}

ProblemPaneView::~ProblemPaneView() = default;

void ProblemPaneView::Refresh() {
    setVisible(m_pane.shown);
    if (m_pane.generation == m_shownGeneration) return;
    m_shownGeneration = m_pane.generation;
    m_model->Reload();
    m_summary->setText(QStringLiteral("  ") + m_pane.Summary());
    m_filter->setCurrentIndex(m_filter->findData(m_pane.leastSeverity));
    m_table->horizontalHeader()->setSortIndicator(m_pane.sortColumn, m_pane.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    m_table->resizeColumnToContents(host::ProblemPane::kSeverity);
    m_table->resizeColumnToContents(host::ProblemPane::kCode);
    m_table->resizeColumnToContents(host::ProblemPane::kObject);
    m_table->setColumnWidth(host::ProblemPane::kObject, std::clamp(m_table->columnWidth(host::ProblemPane::kObject), 160, 360));
}

std::vector<int> ProblemPaneView::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
        if (const int row = m_model->RowOf(index.row()); row >= 0) rows.push_back(row);
    return rows;
}

void ProblemPaneView::ActivateCurrent() {
    const int row = m_model->RowOf(m_table->currentIndex().row());
    if (row >= 0 && m_pane.activate) m_pane.activate(row);
}

}  // namespace ov::gui
