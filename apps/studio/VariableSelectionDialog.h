#pragma once

#include <QDialog>
#include <QStringList>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QListView;
class QSortFilterProxyModel;
class QStringListModel;

namespace ov::studio {

// The studio's variable selection dialog: the project's item names, a filter,
// OK gives the chosen name. The add-in asks for it to fill a variable field.
class VariableSelectionDialog : public QDialog {
    Q_OBJECT

public:
    // Lists the items of the project file; a project that cannot be read
    // gives an empty list and says why. A project on a server is read with
    // the role and password when given.
    VariableSelectionDialog(const QString& projectFile, const QString& currentText, QWidget* parent = nullptr,
                            const QString& role = QString(), const QString& password = QString());
    VariableSelectionDialog(const QStringList& names, const QString& currentText, QWidget* parent = nullptr);

    // The item names in name order; empty with *error set when the project
    // cannot be read.
    static QStringList ReadItemNames(const QString& projectFile, QString* error, const QString& role = QString(),
                                     const QString& password = QString());

    // The selected name, empty when none is selected.
    QString SelectedName() const;
    // The names the filter lets through, in list order.
    QStringList VisibleNames() const;
    QLineEdit* FilterEdit() const { return m_filter; }
    QListView* NameList() const { return m_list; }
    QString StatusText() const;

private:
    void Build(const QStringList& names, const QString& currentText, const QString& problem);
    void SelectRow(int proxyRow);
    void OnFilterChanged(const QString& text);
    void UpdateState();

    QStringListModel* m_model = nullptr;
    QSortFilterProxyModel* m_proxy = nullptr;
    QLineEdit* m_filter = nullptr;
    QListView* m_list = nullptr;
    QLabel* m_status = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    QString m_problem;
};

}  // namespace ov::studio
