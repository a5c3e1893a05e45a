#include "studio/VariableSelectionDialog.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"

#include <QDialogButtonBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStringListModel>
#include <QVBoxLayout>

namespace ov::studio {

VariableSelectionDialog::VariableSelectionDialog(const QString& projectFile, const QString& currentText, QWidget* parent,
                                                 const QString& role, const QString& password)
    : QDialog(parent) {
    QString problem;
    const QStringList names = ReadItemNames(projectFile, &problem, role, password);
    Build(names, currentText, problem);
}

VariableSelectionDialog::VariableSelectionDialog(const QStringList& names, const QString& currentText, QWidget* parent)
    : QDialog(parent) {
    Build(names, currentText, QString());
}

QStringList VariableSelectionDialog::ReadItemNames(const QString& projectFile, QString* error, const QString& role,
                                                   const QString& password) {
    QStringList names;
    if (projectFile.isEmpty()) {
        if (error) *error = QStringLiteral("No project is open.");
        return names;
    }
    try {
        // Read-only: the editor has the project open for writing meanwhile.
        db::Connection connection;
        connection.Open(QStringLiteral("Data Source=%1;Mode=Read;").arg(projectFile), role, password);
        db::Recordset items;
        items.Open(QStringLiteral("SELECT Name FROM TpdbItems ORDER BY Name"), connection);
        for (; !items.IsEOF(); items.MoveNext()) names << items.Value(QStringLiteral("Name")).toString();
    } catch (const db::DbError& e) {
        if (error) *error = e.Description();
        names.clear();
    }
    return names;
}

void VariableSelectionDialog::Build(const QStringList& names, const QString& currentText, const QString& problem) {
    setWindowTitle(QStringLiteral("Select Variable"));
    resize(420, 520);
    m_problem = problem;

    m_model = new QStringListModel(names, this);
    m_proxy = new QSortFilterProxyModel(this);
    m_proxy->setSourceModel(m_model);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);

    m_filter = new QLineEdit(this);
    m_filter->setPlaceholderText(QStringLiteral("Filter"));
    m_filter->setClearButtonEnabled(true);
    m_list = new QListView(this);
    m_list->setModel(m_proxy);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setUniformItemSizes(true);
    m_status = new QLabel(this);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_filter);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_status);
    layout->addWidget(m_buttons);

    connect(m_filter, &QLineEdit::textChanged, this, &VariableSelectionDialog::OnFilterChanged);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateState(); });
    connect(m_list, &QListView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) accept();
    });
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // The current name first as written, else as the database compares names.
    qsizetype row = names.indexOf(currentText);
    if (row < 0 && !currentText.isEmpty()) {
        for (qsizetype i = 0; i < names.size() && row < 0; ++i)
            if (QString::compare(names[i], currentText, Qt::CaseInsensitive) == 0) row = i;
    }
    if (row >= 0) SelectRow(m_proxy->mapFromSource(m_model->index(static_cast<int>(row))).row());
    UpdateState();
    m_filter->setFocus();
}

void VariableSelectionDialog::SelectRow(int proxyRow) {
    const QModelIndex index = m_proxy->index(proxyRow, 0);
    if (!index.isValid()) return;
    m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_list->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void VariableSelectionDialog::OnFilterChanged(const QString& text) {
    const QString chosen = SelectedName();
    m_proxy->setFilterFixedString(text);
    // The chosen name stays chosen while it matches; otherwise Enter after
    // typing takes the first match.
    const int kept = VisibleNames().indexOf(chosen);
    if (!chosen.isEmpty() && kept >= 0)
        SelectRow(kept);
    else if (m_proxy->rowCount() > 0)
        SelectRow(0);
    else
        m_list->selectionModel()->clear();
    UpdateState();
}

QString VariableSelectionDialog::SelectedName() const {
    const QModelIndexList rows = m_list->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? QString() : rows.front().data().toString();
}

QStringList VariableSelectionDialog::VisibleNames() const {
    QStringList names;
    for (int row = 0; row < m_proxy->rowCount(); ++row) names << m_proxy->index(row, 0).data().toString();
    return names;
}

QString VariableSelectionDialog::StatusText() const { return m_status->text(); }

void VariableSelectionDialog::UpdateState() {
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(!SelectedName().isEmpty());
    if (!m_problem.isEmpty())
        m_status->setText(m_problem);
    else
        m_status->setText(QStringLiteral("%1 of %2 items").arg(m_proxy->rowCount()).arg(m_model->rowCount()));
}

}  // namespace ov::studio
