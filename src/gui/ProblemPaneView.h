#pragma once

#include "host/ProblemPane.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace ov::gui {

class ProblemTableModel;

// Check Project's pane on screen: a title with the counts, the severity
// filter, Repair and Close, and the list (severity icon, code, object,
// message), sorted by a click on a column header. A double click or Enter
// shows the row's object.
class ProblemPaneView : public QWidget {
  public:
    explicit ProblemPaneView(host::ProblemPane& pane, QWidget* parent = nullptr);
    ~ProblemPaneView() override;
    // Shows the pane's rows again when they changed since.
    void Refresh();
    QTableView* Table() const { return m_table; }

  private:
    void ActivateCurrent();
    std::vector<int> SelectedRows() const;

    host::ProblemPane& m_pane;
    ProblemTableModel* m_model = nullptr;
    QLabel* m_summary = nullptr;
    QComboBox* m_filter = nullptr;
    QPushButton* m_repair = nullptr;
    QTableView* m_table = nullptr;
    int m_shownGeneration = -1;
};

}  // namespace ov::gui
