#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace ov::host {

// The pane below the editor's grids that lists a project's inconsistencies
// (Extras > Check Project): rows as the check gives them, shown filtered by
// severity and sorted by a column. It belongs to the session, so it stays
// open with its rows while the editor window is made anew (after undo).
class ProblemPane {
  public:
    enum Column { kSeverity, kCode, kObject, kMessage, kColumns };
    struct Row {
        int severity = 0;  // 0 error, 1 warning, 2 note
        QString code;
        QString object;
        QString message;
        bool repairable = false;
        int kind = 0;      // what the row is about and its ID, for the check
        qint64 id = 0;
    };

    bool shown = false;
    // Rows at least this severe are shown (2: all).
    int leastSeverity = 2;
    void ShowAtLeast(int severity) {
        leastSeverity = severity;
        ++generation;
    }
    int sortColumn = kSeverity;
    bool descending = false;

    void SetRows(std::vector<Row> rows) {
        m_rows = std::move(rows);
        ++generation;
    }
    // Counts every change of the rows, the filter or the order, so a view
    // shows them anew only when they changed.
    int generation = 0;
    const std::vector<Row>& Rows() const { return m_rows; }
    // The rows shown, as indexes of Rows(), filtered and sorted.
    std::vector<int> Shown() const;
    // "2 errors, 5 warnings, 1 note" of all rows, in the interface language.
    QString Summary() const;
    // Sorts by a column; the same column again turns the order round.
    void SortBy(int column);

    // What the person asks of the rows (set by the check, run through the
    // window so a failure ends in a message).
    std::function<void(int row)> activate;                     // double click, Enter
    std::function<void(const std::vector<int>& rows)> repair;  // the selected rows
    std::function<void()> close;
    // Who set them: the check of the editor window now shown (an older
    // window may go after a newer one came).
    const void* owner = nullptr;

  private:
    std::vector<Row> m_rows;
};

}  // namespace ov::host
