#pragma once

#include "platform/db/Recordset.h"
#include "platform/ui/ValueList.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace ov::ui {

// How the grids show a floating-point value (15 digits, the user's decimal
// separator, no group separators) and read one typed (either "," or "." as
// the decimal separator; a text that is no number stays text and is refused
// by the field with its message).
QString NumberText(double value);
QVariant TypedNumber(const QString& text);

// How a cell shows its value.
enum class Presentation { Normal, CheckBox, ValueList };

// The background of a whole row: plain, a warning (yellow) or an error (red).
enum class RowTone { Normal, Warning, Error };

struct GridColumn {
    QString dataField;  // the recordset field, empty for an unbound column
    QString caption;
    int split = 1;     // 0: the fixed part on the left
    int width = 1000;  // twips
    bool visible = true;
    bool allowSizing = true;
    bool locked = false;
    int order = 0;  // display position within its split
    Presentation presentation = Presentation::Normal;
    ValueList values;
    bool button = false;  // an ellipsis button in the cell
    QString numberFormat;
    // Its text changes several times a second (live values): drawn plainly,
    // so that painting keeps up at little cost.
    bool changesOften = false;

    bool IsBound() const { return !dataField.isEmpty(); }
};

struct FontSettings {
    QString name = QStringLiteral("Arial");
    double size = 8.25;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    int charset = 0;
    int weight = 400;
};

// A grid bound to a recordset, as a model: columns in two splits, the current
// cell, the selected rows (by bookmark) and the callbacks that fill unbound
// columns and react to edits, keys and the mouse. Rows are read through a
// clone of the recordset, so painting never moves the current record.
class GridModel {
  public:
    explicit GridModel(const QString& name);
    const QString& Name() const { return m_name; }

    // Columns.
    GridColumn& AddColumn(const QString& dataField, const QString& caption, int split = 1);
    void ClearColumns() { m_columns.clear(); }
    void RemoveColumn(int index) { m_columns.erase(m_columns.begin() + index); }
    int ColumnCount() const { return static_cast<int>(m_columns.size()); }
    GridColumn& Column(int index) { return m_columns.at(static_cast<std::size_t>(index)); }
    const GridColumn& Column(int index) const { return m_columns.at(static_cast<std::size_t>(index)); }
    // By data field, else by caption; -1 when none (letter case ignored).
    int ColumnIndex(const QString& fieldOrCaption) const;
    int ColumnIndexInSplit(const QString& fieldOrCaption, int split) const;
    // The visible columns of a split in display order.
    std::vector<int> DisplayColumns(int split) const;
    int split0Width = 2000;  // twips
    // Asked before every edit: false locks every cell (the person may not
    // edit). Rights can change at any moment, so the answer is never kept.
    std::function<bool()> mayEdit;
    bool AllLocked() const { return mayEdit && !mayEdit(); }
    int helpContextId = 0;  // F1 in the grid opens this help topic
    bool visible = true;
    FontSettings font;

    // Data.
    void Bind(db::Recordset* recordset);  // null unbinds
    void ReBind();                        // the recordset was re-opened or changed
    // Rows were written in place: show them again, keeping the selection.
    void Refresh();
    db::Recordset* Recordset() const { return m_recordset; }
    int RowCount() const;
    std::optional<db::Recordset::Bookmark> RowBookmark(int row) const;
    int RowOfBookmark(db::Recordset::Bookmark bookmark) const;  // -1 when not shown
    QVariant CellValue(int row, int column) const;
    // The text shown: value list translation, check box state, the format hook.
    QString CellText(int row, int column) const;
    QString CellTip(int row, int column) const;

    // The current row is the position of the bound recordset, never kept
    // apart from it: whatever moves or re-opens the recordset moves the row.
    // -1 when the recordset stands on no record.
    int CurrentRow() const;
    int CurrentColumn() const { return m_currentColumn; }
    // Moves the recordset to the row; leaving a changed row writes it first.
    void SetCurrentCell(int row, int column);

    // Selected rows, by bookmark, in the order they were selected.
    const std::vector<db::Recordset::Bookmark>& SelectedBookmarks() const { return m_selected; }
    void SelectRows(const std::vector<int>& rows);
    void ClearSelection() { m_selected.clear(); }

    // Editing, as a person does it: start editing a cell, type, leave it.
    bool BeginEdit(int row, int column);
    bool EditActive() const { return m_editActive; }
    // Ends the edit with a new value; gives false when a callback refused it.
    bool CommitEdit(const QVariant& value);
    void CancelEdit();
    // The row holds changes not yet written (the grid's changed mark).
    bool dataChanged = false;

    // Callbacks. Arguments follow the grid's own events.
    // The row is a recordset standing on the row being shown.
    std::function<QVariant(db::Recordset& row, int column)> unboundColumnFetch;
    std::function<void(int column, bool& cancel)> beforeColEdit;
    std::function<void(int column, const QVariant& oldValue, bool& cancel)> beforeColUpdate;
    std::function<void(int column, const QVariant& newValue)> afterColUpdate;
    // Set by a before-update callback to change the typed text of this edit.
    std::function<QString(const QString&)> pendingValueFilter;
    // Last look at the value an edit ends with, before the row takes it:
    // may change it, or cancel the edit (saying why itself).
    std::function<void(int column, QVariant& value, bool& cancel)> checkValue;
    // While a cell is being typed into: the text so far, and the text the
    // cell shows instead. Applied again to the text the edit ends with.
    std::function<QString(int column, const QString& text)> editingText;
    QString EditingText(int column, const QString& text);
    std::function<void(int column)> buttonClick;
    std::function<void(int row, int column, const QVariant& value, QString& text)> formatText;
    std::function<void(int row, int column, QString& tip)> fetchCellTips;
    std::function<void(int lastRow, int lastColumn)> rowColChange;
    // A changed row was written; the recordset still stands on it.
    std::function<void()> rowWritten;
    std::function<void(int& keyCode, int shift)> keyDown;
    std::function<void(int& keyAscii)> keyPress;
    std::function<void(int button, int shift, int x, int y)> mouseUp;
    std::function<void()> dblClick;
    // Grid error numbers handed to `error`.
    static constexpr int kErrorInvalidValue = 6156;  // a typed value the column cannot hold
    static constexpr int kErrorWriteFailed = 6160;   // the record could not be written
    std::function<void(int number, const QString& description, bool& handled)> error;

    // Events from the view (the Qt grid or a script). These, and the editing
    // and moving above, never throw: a failure is shown in a message box.
    void ColumnButtonClicked(int column);
    void KeyDown(int& keyCode, int shift);
    void KeyPress(int& keyAscii);
    void MouseUp(int button, int shift, int x, int y);
    void DoubleClick();

    // Tells the view to read its rows again, or to show another current cell.
    std::function<void()> onReset;
    std::function<void()> onCurrentCellChanged;

    // The background of a row; plain without the callback.
    std::function<RowTone(int row)> rowTone;
    RowTone ToneOfRow(int row) const { return rowTone ? rowTone(row) : RowTone::Normal; }

    // The rows on screen, from the first to the last (-1, -1 for none): the
    // view tells them whenever it scrolls, resizes or reads its rows again,
    // and visibleRowsChanged hears of each change.
    void SetVisibleRows(int first, int last);
    std::pair<int, int> VisibleRows() const { return m_visibleRows; }
    std::function<void(int first, int last)> visibleRowsChanged;
    // What some rows show changed without the rows themselves changing (a
    // value that came from outside): the view paints them again, keeping
    // its current cell and an open edit.
    void RowsChanged(int first, int last) {
        if (onRowsChanged && first <= last) onRowsChanged(first, last);
    }
    std::function<void(int first, int last)> onRowsChanged;
    // The same for the cells of one column only, so the view paints no
    // more than those; without onCellsChanged the whole rows are painted.
    void CellsChanged(int first, int last, int column) {
        if (first > last) return;
        if (onCellsChanged)
            onCellsChanged(first, last, column);
        else
            RowsChanged(first, last);
    }
    std::function<void(int first, int last, int column)> onCellsChanged;

  private:
    db::Recordset* Reader() const;
    // The unguarded work of SetCurrentCell, BeginEdit and CommitEdit.
    void MoveCurrentCell(int row, int column);
    bool StartEdit(int row, int column);
    bool FinishEdit(const QVariant& typed);

    QString m_name;
    std::vector<GridColumn> m_columns;
    db::Recordset* m_recordset = nullptr;
    mutable std::unique_ptr<db::Recordset> m_reader;
    int m_currentColumn = -1;
    std::vector<db::Recordset::Bookmark> m_selected;
    bool m_editActive = false;
    std::pair<int, int> m_visibleRows{-1, -1};
};

}  // namespace ov::ui
