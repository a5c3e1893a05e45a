#include "platform/ui/GridModel.h"

#include "platform/db/DbError.h"
#include "platform/host/HelpViewer.h"
#include "platform/ui/EventGuard.h"
#include "platform/ui/ModalState.h"

#include <QLocale>
#include <algorithm>

namespace ov::ui {

namespace {

bool IsFloatingType(db::DataType type) {
    return type == db::DataType::Single || type == db::DataType::Double || type == db::DataType::Currency;
}

}  // namespace

QString NumberText(double value) {
    // The user's decimal separator, no group separators: the text typed back
    // into the cell reads as the same number.
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 15);
}

QVariant TypedNumber(const QString& text) {
    // "," and "." both separate the decimals, as in the dialogs.
    QString normal = text.trimmed();
    normal.replace(u',', u'.');
    bool ok = false;
    const double value = QLocale::c().toDouble(normal, &ok);
    return ok ? QVariant(value) : QVariant(text);
}

GridModel::GridModel(const QString& name) : m_name(name) {}

GridColumn& GridModel::AddColumn(const QString& dataField, const QString& caption, int split) {
    GridColumn column;
    column.dataField = dataField;
    column.caption = caption;
    column.split = split;
    column.order = static_cast<int>(m_columns.size());
    m_columns.push_back(std::move(column));
    return m_columns.back();
}

int GridModel::ColumnIndex(const QString& fieldOrCaption) const {
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].IsBound() &&
            m_columns[i].dataField.compare(fieldOrCaption, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].caption.compare(fieldOrCaption, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

int GridModel::ColumnIndexInSplit(const QString& fieldOrCaption, int split) const {
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const GridColumn& c = m_columns[i];
        if (c.split != split) continue;
        if ((c.IsBound() && c.dataField.compare(fieldOrCaption, Qt::CaseInsensitive) == 0) ||
            c.caption.compare(fieldOrCaption, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

std::vector<int> GridModel::DisplayColumns(int split) const {
    std::vector<int> shown;
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].split == split && m_columns[i].visible) shown.push_back(static_cast<int>(i));
    std::stable_sort(shown.begin(), shown.end(),
                     [this](int a, int b) { return Column(a).order < Column(b).order; });
    return shown;
}

void GridModel::Bind(db::Recordset* recordset) {
    m_recordset = recordset;
    ReBind();
}

void GridModel::ReBind() {
    m_reader.reset();
    m_editActive = false;
    if (m_currentColumn < 0 && ColumnCount() > 0) m_currentColumn = 0;
    if (m_currentColumn >= ColumnCount()) m_currentColumn = ColumnCount() - 1;
    m_selected.clear();
    // Other rows now: whoever follows the rows on screen hears of it, and the
    // view tells the new ones as it shows them.
    m_visibleRows = {-1, -1};
    if (visibleRowsChanged) visibleRowsChanged(-1, -1);
    if (onReset) onReset();
}

void GridModel::Refresh() {
    m_reader.reset();
    if (onReset) onReset();
}

int GridModel::CurrentRow() const {
    if (!m_recordset || m_recordset->State() != db::ObjectState::Open) return -1;
    try {
        if (m_recordset->IsEOF() || m_recordset->IsBOF()) return -1;
        const int position = m_recordset->AbsolutePosition();
        return position >= 1 ? position - 1 : -1;
    } catch (const db::DbError&) {
        return -1;
    }
}

db::Recordset* GridModel::Reader() const {
    if (!m_recordset || m_recordset->State() != db::ObjectState::Open) return nullptr;
    if (!m_reader) {
        m_reader = std::make_unique<db::Recordset>(m_recordset->Clone());
        if (!m_recordset->Filter().isEmpty()) m_reader->SetFilter(m_recordset->Filter());
    }
    return m_reader.get();
}

void GridModel::SetVisibleRows(int first, int last) {
    const std::pair<int, int> rows = first < 0 || last < first ? std::pair{-1, -1} : std::pair{first, last};
    if (rows == m_visibleRows) return;
    m_visibleRows = rows;
    if (visibleRowsChanged) visibleRowsChanged(rows.first, rows.second);
}

int GridModel::RowCount() const {
    db::Recordset* reader = Reader();
    return reader ? reader->RecordCount() : 0;
}

std::optional<db::Recordset::Bookmark> GridModel::RowBookmark(int row) const {
    db::Recordset* reader = Reader();
    if (!reader || row < 0 || row >= reader->RecordCount()) return std::nullopt;
    try {
        reader->SetAbsolutePosition(row + 1);
        return reader->GetBookmark();
    } catch (const db::DbError&) {
        return std::nullopt;
    }
}

int GridModel::RowOfBookmark(db::Recordset::Bookmark bookmark) const {
    db::Recordset* reader = Reader();
    if (!reader) return -1;
    try {
        reader->SetBookmark(bookmark);
        return reader->AbsolutePosition() - 1;
    } catch (const db::DbError&) {
        return -1;
    }
}

QVariant GridModel::CellValue(int row, int column) const {
    db::Recordset* reader = Reader();
    if (!reader || column < 0 || column >= ColumnCount() || row < 0 || row >= reader->RecordCount())
        return QVariant();
    const GridColumn& c = Column(column);
    try {
        reader->SetAbsolutePosition(row + 1);
        if (!c.IsBound()) return unboundColumnFetch ? unboundColumnFetch(*reader, column) : QVariant();
        const int field = reader->FieldIndex(c.dataField);
        if (field < 0) return QVariant();
        // A pending change of the current row shows as typed.
        if (m_recordset->GetEditMode() != db::EditMode::None && row == CurrentRow())
            return m_recordset->Fields(field).Value();
        return reader->Fields(field).Value();
    } catch (const db::DbError&) {
        return QVariant();  // a row deleted by someone else shows empty
    }
}

QString GridModel::CellText(int row, int column) const {
    if (column < 0 || column >= ColumnCount()) return QString();
    const GridColumn& c = Column(column);
    const QVariant value = CellValue(row, column);
    QString text;
    if (c.presentation == Presentation::CheckBox) {
        text =
            value.isNull() ? QString() : (value.toBool() ? QStringLiteral("True") : QStringLiteral("False"));
    } else if (c.presentation == Presentation::ValueList && c.values.Translates()) {
        text = value.isNull() ? QString() : c.values.DisplayText(value);
    } else if (value.typeId() == QMetaType::Double) {
        text = NumberText(value.toDouble());
    } else {
        text = value.toString();
        // An empty text is stored as one U+0000 character: it shows as nothing.
        if (text.size() == 1 && text.front().isNull()) text.clear();
    }
    if (formatText) formatText(row, column, value, text);
    return text;
}

QString GridModel::CellTip(int row, int column) const {
    QString tip;
    if (fetchCellTips) fetchCellTips(row, column, tip);
    return tip;
}

void GridModel::SetCurrentCell(int row, int column) {
    RunGuarded([&] { MoveCurrentCell(row, column); });
}

void GridModel::MoveCurrentCell(int row, int column) {
    const int lastRow = CurrentRow();
    const int lastColumn = m_currentColumn;
    const int rows = RowCount();
    if (rows == 0) return;
    row = std::clamp(row, 0, rows - 1);
    column = std::clamp(column, 0, std::max(0, ColumnCount() - 1));
    if (row != lastRow && m_recordset->GetEditMode() != db::EditMode::None) {
        // Leaving a changed row writes it; a refused write is reported and dropped.
        bool written = false;
        try {
            m_recordset->Update();
            written = true;
        } catch (const db::DbError& e) {
            m_recordset->CancelUpdate();
            bool handled = false;
            if (error) error(kErrorWriteFailed, e.Description(), handled);
        }
        dataChanged = false;
        if (written && rowWritten) rowWritten();
    }
    m_currentColumn = column;
    if (row != CurrentRow()) {
        try {
            m_recordset->SetAbsolutePosition(row + 1);
        } catch (const db::DbError& e) {
            bool handled = false;
            if (error) error(kErrorWriteFailed, e.Description(), handled);
        }
    }
    const int nowRow = CurrentRow();
    if (nowRow == lastRow && column == lastColumn) return;
    if (onCurrentCellChanged) onCurrentCellChanged();
    if (rowColChange) rowColChange(lastRow, lastColumn);
}

void GridModel::SelectRows(const std::vector<int>& rows) {
    m_selected.clear();
    for (int row : rows)
        if (const auto bookmark = RowBookmark(row)) m_selected.push_back(*bookmark);
}

bool GridModel::BeginEdit(int row, int column) {
    if (AnyModalOpen()) return false;
    bool editing = false;
    RunGuarded([&] { editing = StartEdit(row, column); });
    return editing;
}

bool GridModel::StartEdit(int row, int column) {
    if (column < 0 || column >= ColumnCount() || row < 0 || row >= RowCount()) return false;
    const GridColumn& c = Column(column);
    if (c.locked || AllLocked()) return false;
    if (c.IsBound() && (!m_recordset || !m_recordset->IsUpdatable())) return false;
    MoveCurrentCell(row, column);
    bool cancel = false;
    if (beforeColEdit) beforeColEdit(column, cancel);
    if (cancel) return false;
    m_editActive = true;
    return true;
}

bool GridModel::CommitEdit(const QVariant& typed) {
    bool written = false;
    RunGuarded([&] { written = FinishEdit(typed); });
    return written;
}

bool GridModel::FinishEdit(const QVariant& typed) {
    if (!m_editActive) return false;
    m_editActive = false;
    const int column = m_currentColumn;
    const GridColumn& c = Column(column);
    QVariant value = typed;
    if (editingText && value.typeId() == QMetaType::QString) value = editingText(column, value.toString());
    if (c.presentation == Presentation::ValueList && value.typeId() == QMetaType::QString) {
        const auto listed = c.values.ValueForText(value.toString());
        if (!listed) {
            bool handled = false;
            if (error)
                error(kErrorInvalidValue,
                      QStringLiteral("\"%1\" is not one of the listed values.").arg(value.toString()),
                      handled);
            return false;
        }
        value = *listed;
    }
    const QVariant oldValue = CellValue(CurrentRow(), column);
    bool cancel = false;
    if (beforeColUpdate) beforeColUpdate(column, oldValue, cancel);
    if (pendingValueFilter) {
        if (value.typeId() == QMetaType::QString) value = pendingValueFilter(value.toString());
        pendingValueFilter = nullptr;
    }
    if (!cancel && checkValue) checkValue(column, value, cancel);
    if (cancel) return false;
    if (c.IsBound()) {
        try {
            db::Field field = m_recordset->Fields(c.dataField);
            if (value.typeId() == QMetaType::QString && IsFloatingType(field.Type())) value = TypedNumber(value.toString());
            field.SetValue(value);
        } catch (const db::DbError& e) {
            bool handled = false;
            if (error) error(kErrorInvalidValue, e.Description(), handled);
            return false;
        }
        dataChanged = true;
    }
    if (afterColUpdate) afterColUpdate(column, value);
    return true;
}

QString GridModel::EditingText(int column, const QString& text) {
    if (!editingText || column < 0 || column >= ColumnCount()) return text;
    QString shown = text;
    RunGuarded([&] { shown = editingText(column, text); });
    return shown;
}

void GridModel::CancelEdit() {
    m_editActive = false;
}

void GridModel::ColumnButtonClicked(int column) {
    if (AnyModalOpen()) return;
    if (buttonClick && column >= 0 && column < ColumnCount() && Column(column).button)
        RunGuarded([&] { buttonClick(column); });
}

void GridModel::KeyDown(int& keyCode, int shift) {
    if (AnyModalOpen()) return;
    constexpr int kF1 = 112;
    if (keyCode == kF1 && shift == 0 && helpContextId != 0) {
        keyCode = 0;
        RunGuarded([this] { host::ShowContextHelp(helpContextId); });
        return;
    }
    if (keyDown) RunGuarded([&] { keyDown(keyCode, shift); });
}

void GridModel::KeyPress(int& keyAscii) {
    if (AnyModalOpen()) return;
    if (keyPress) RunGuarded([&] { keyPress(keyAscii); });
}

void GridModel::MouseUp(int button, int shift, int x, int y) {
    if (AnyModalOpen()) return;
    if (mouseUp) RunGuarded([&] { mouseUp(button, shift, x, y); });
}

void GridModel::DoubleClick() {
    if (AnyModalOpen()) return;
    if (dblClick) RunGuarded([&] { dblClick(); });
}

}  // namespace ov::ui
