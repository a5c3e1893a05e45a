#pragma once

#include "platform/ui/ValueList.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

namespace ov::ui {

enum class ControlType {
    Label,
    TextBox,
    CheckBox,
    OptionButton,
    ComboBox,
    ListBox,
    ListView,
    TabStrip,
    CommandButton,
    Frame,
    Grid,
    TreeView,
};

// A node of a tree view. A node comes after its parent.
struct TreeNode {
    QString key;
    QString parentKey;  // empty for a node at the top
    QString text;
    QString image;      // a key of the registered images (ui::Images)
    QString data;
    bool expanded = false;
    // With the control's check boxes: 0 clear, 1 ticked, 2 partly (some below).
    int checkState = 0;
    // Shows an expander before the children are loaded (a lazy tree).
    bool hasChildren = false;
};

// The cells of a small grid on a dialog (a table of names and values).
struct GridData {
    QStringList columnCaptions;
    std::vector<bool> columnLocked;
    std::vector<std::vector<QVariant>> rows;
    int currentRow = -1;
    int currentColumn = -1;
    std::vector<bool> columnHidden;
    // Values offered while a cell is edited: per column, and per row and
    // column where a row has its own (an empty list: the column's).
    std::vector<QStringList> columnChoices;
    std::vector<std::vector<QStringList>> rowChoices;
    // Row colours by name ("red", "#ffff80"); empty for the usual ones.
    std::vector<QString> rowBackground;
    std::vector<QString> rowForeground;
    // Row tooltips, say why a row is coloured; empty for none.
    std::vector<QString> rowToolTip;

    QStringList ChoicesFor(int row, int column) const;
};

// One control of a form, addressed by its name (and index within a control
// array). Its event handlers live in the form.
class Control {
public:
    Control(ControlType type, const QString& name, int index = -1) : m_type(type), m_name(name), m_index(index) {}

    ControlType Type() const { return m_type; }
    const QString& Name() const { return m_name; }
    int Index() const { return m_index; }  // -1 when not part of a control array
    QString FullName() const;              // "chkMode(3)" for an array element

    // Caption of labels, buttons, frames, check boxes and option buttons; the
    // text of a text box.
    QString caption;
    QString text;
    QString tag;          // "C1502,A..." caption tokens and the like
    QString toolTip;
    bool enabled = true;
    bool visible = true;
    bool locked = false;  // a text box that can be read but not changed
    bool multiLine = false;  // a text box of several lines; a label that wraps its words
    bool masked = false;  // a password: the text box shows dots for its text
    int maxLength = 0;    // 0: no limit

    // Check box: 0 unchecked, 1 checked, 2 grayed. Option button: checked or not.
    int checkState = 0;
    bool IsChecked() const { return checkState == 1; }

    // Combo box, list box, list view and tab strip: their entries and the
    // selected one (-1 for none). A list box may allow several selected rows.
    ValueList list;
    int listIndex = -1;
    bool multiSelect = false;
    std::vector<int> selectedRows;
    QStringList listViewColumns;                 // list view headers
    std::vector<QStringList> listViewRows;       // list view cells

    // Layout: the frame or tab page the control sits on; order of adding
    // gives the order on the page. A label names the control it describes.
    QString container;  // a frame's name, empty for the form itself
    int tabPage = -1;   // page of a tab strip, -1 for outside
    QString tabStrip;   // the tab strip of that page; empty: the form's first one
    QString buddy;      // for labels: the control they describe; for buttons: the one they sit beside

    bool isDefault = false;  // command button pressed by Enter
    bool isCancel = false;   // command button pressed by Escape

    GridData grid;

    // Tree view: its nodes and the one clicked last. A drop-down tree opens
    // below its buddy while visible and closes on a click elsewhere.
    std::vector<TreeNode> nodes;
    QString selectedNode;
    bool dropDown = false;
    bool checkBoxes = false;
    // The node of the last expand, collapse or check.
    QString eventNode;
    const TreeNode* Node(const QString& key) const;

    QVariant SelectedData() const;
    QString SelectedText() const;
    // Selects the entry whose text or item data equals the argument.
    bool Select(const QVariant& textOrData);

private:
    ControlType m_type;
    QString m_name;
    int m_index;
};

}  // namespace ov::ui
