#include "gui/FormDialog.h"

#include "gui/KeyMapping.h"

#include "platform/ui/Images.h"
#include "platform/ui/MessageBox.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextCursor>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QStyledItemDelegate>
#include <QBrush>
#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace ov::gui {

using ui::Control;
using ui::ControlType;

struct FormDialog::Container {
    QWidget* widget = nullptr;
    QGridLayout* grid = nullptr;
    int rows = 0;
    bool expands = false;  // holds a control that wants the spare height
};

namespace {

constexpr int kNoLimit = 32767;  // QLineEdit's own maximum
constexpr int kTextBoxChars = 32;  // a text box shows this many characters at least

int ToInt(std::size_t n) { return static_cast<int>(n); }

// Frames, tab strips, grids and list views take both columns of their row;
// other controls sit in the second column, beside the label that names them.
bool IsWide(const Control& control) {
    switch (control.Type()) {
        case ControlType::Label:
        case ControlType::Frame:
        case ControlType::TabStrip:
        case ControlType::Grid:
        case ControlType::ListView:
        case ControlType::TreeView:
            return true;
        default:
            return false;
    }
}

bool Expands(const Control& control) {
    switch (control.Type()) {
        case ControlType::TabStrip:
        case ControlType::Grid:
        case ControlType::ListView:
        case ControlType::ListBox:
        case ControlType::TreeView:
            return true;
        case ControlType::TextBox:
            return control.multiLine;
        default:
            return false;
    }
}

// What UserChoose needs to pick this entry. The model looks for the text
// first, then for the item data, so the text is taken unless an earlier
// entry carries the same text.
QVariant ChoiceFor(const Control& control, int row) {
    const ui::ValueItem& item = control.list.Items()[static_cast<std::size_t>(row)];
    const auto here = std::optional<std::size_t>(static_cast<std::size_t>(row));
    if (control.list.IndexOfText(item.text) == here) return item.text;
    if (!control.list.IndexOfText(item.value.toString()) && control.list.IndexOfValue(item.value) == here) return item.value;
    return item.text;
}

bool InRange(int index, std::size_t size) { return index >= 0 && static_cast<std::size_t>(index) < size; }

void SetTextKeepingCursor(QLineEdit& edit, const QString& text) {
    if (edit.text() == text) return;
    const int position = edit.cursorPosition();
    edit.setText(text);
    edit.setCursorPosition(std::min(position, static_cast<int>(text.size())));
}

void SetTextKeepingCursor(QPlainTextEdit& edit, const QString& text) {
    if (edit.toPlainText() == text) return;
    const int position = edit.textCursor().position();
    edit.setPlainText(text);
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(std::min(position, static_cast<int>(text.size())));
    edit.setTextCursor(cursor);
}

void SyncCombo(const Control& control, QComboBox& combo) {
    const auto& items = control.list.Items();
    bool same = combo.count() == ToInt(items.size());
    for (int i = 0; same && i < combo.count(); ++i)
        same = combo.itemText(i) == items[static_cast<std::size_t>(i)].text &&
               combo.itemData(i) == items[static_cast<std::size_t>(i)].value;
    if (!same) {
        combo.clear();
        for (const ui::ValueItem& item : items) combo.addItem(item.text, item.value);
    }
    const int wanted = InRange(control.listIndex, items.size()) ? control.listIndex : -1;
    if (combo.currentIndex() != wanted) combo.setCurrentIndex(wanted);
}

void SyncListBox(const Control& control, QListWidget& list) {
    const auto& items = control.list.Items();
    bool same = list.count() == ToInt(items.size());
    for (int i = 0; same && i < list.count(); ++i) same = list.item(i)->text() == items[static_cast<std::size_t>(i)].text;
    if (!same) {
        list.clear();
        for (const ui::ValueItem& item : items) list.addItem(item.text);
    }
    list.setSelectionMode(control.multiSelect ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    const int current = InRange(control.listIndex, items.size()) ? control.listIndex : -1;
    if (control.multiSelect) {
        // Moving the current row must not replace the person's selection.
        list.setCurrentRow(current, QItemSelectionModel::NoUpdate);
        for (int i = 0; i < list.count(); ++i) {
            const bool selected = std::find(control.selectedRows.begin(), control.selectedRows.end(), i) !=
                                  control.selectedRows.end();
            if (list.item(i)->isSelected() != selected) list.item(i)->setSelected(selected);
        }
    } else if (current < 0) {
        list.clearSelection();
        list.setCurrentRow(-1);
    } else if (list.currentRow() != current || !list.item(current)->isSelected()) {
        list.setCurrentRow(current);
    }
}

void SyncListView(const Control& control, QTreeWidget& view) {
    QStringList headers;
    for (int i = 0; i < view.columnCount(); ++i) headers << view.headerItem()->text(i);
    if (headers != control.listViewColumns) {
        view.setColumnCount(static_cast<int>(control.listViewColumns.size()));
        view.setHeaderLabels(control.listViewColumns);
    }
    bool same = view.topLevelItemCount() == ToInt(control.listViewRows.size());
    for (int r = 0; same && r < view.topLevelItemCount(); ++r) {
        const QStringList& cells = control.listViewRows[static_cast<std::size_t>(r)];
        const QTreeWidgetItem* item = view.topLevelItem(r);
        for (int c = 0; same && c < view.columnCount(); ++c) same = item->text(c) == cells.value(c);
    }
    if (!same) {
        view.clear();
        for (const QStringList& cells : control.listViewRows) view.addTopLevelItem(new QTreeWidgetItem(cells));
    }
    QTreeWidgetItem* wanted =
        InRange(control.listIndex, control.listViewRows.size()) ? view.topLevelItem(control.listIndex) : nullptr;
    if (view.currentItem() != wanted) {
        view.setCurrentItem(wanted);
        if (!wanted) view.clearSelection();
    }
}

constexpr int kNodeKeyRole = Qt::UserRole;

QIcon ImageIcon(const QString& key) {
    if (key.isEmpty()) return QIcon();
    QPixmap picture;
    return picture.loadFromData(ui::ImageData(key), "PNG") ? QIcon(picture) : QIcon();
}

// The nodes as the widget shows them: rebuilt only when keys, parents,
// texts or images changed, so the person's scrolling and expanding stay.
void SyncTree(const Control& control, QTreeWidget& view) {
    QStringList shape;
    shape.reserve(static_cast<qsizetype>(control.nodes.size()));
    for (const ui::TreeNode& node : control.nodes)
        shape << node.key + QChar(0x1f) + node.parentKey + QChar(0x1f) + node.text + QChar(0x1f) + node.image;
    if (view.property("ovShape").toStringList() != shape) {
        view.clear();
        QHash<QString, QTreeWidgetItem*> items;
        for (const ui::TreeNode& node : control.nodes) {
            QTreeWidgetItem* parent = items.value(node.parentKey);
            auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(&view);
            item->setText(0, node.text);
            item->setData(0, kNodeKeyRole, node.key);
            item->setIcon(0, ImageIcon(node.image));
            if (!node.data.isEmpty()) item->setToolTip(0, node.data);
            items.insert(node.key, item);
        }
        view.setProperty("ovShape", shape);
    }
    // Ticks, openness and lazy expanders follow the model on every pass.
    QHash<QString, QTreeWidgetItem*> byKey;
    for (QTreeWidgetItemIterator i(&view); *i; ++i) byKey.insert((*i)->data(0, kNodeKeyRole).toString(), *i);
    for (const ui::TreeNode& node : control.nodes) {
        QTreeWidgetItem* item = byKey.value(node.key);
        if (!item) continue;
        if (control.checkBoxes) {
            const Qt::CheckState state = node.checkState == 1 ? Qt::Checked : node.checkState == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
            if (!(item->flags() & Qt::ItemIsUserCheckable)) item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            if (item->data(0, Qt::CheckStateRole).isNull() || item->checkState(0) != state) item->setCheckState(0, state);
        }
        const auto policy = node.hasChildren ? QTreeWidgetItem::ShowIndicator : QTreeWidgetItem::DontShowIndicatorWhenChildless;
        if (item->childIndicatorPolicy() != policy) item->setChildIndicatorPolicy(policy);
        if (item->isExpanded() != node.expanded) item->setExpanded(node.expanded);
    }
    QTreeWidgetItem* selected = control.selectedNode.isEmpty() ? nullptr : byKey.value(control.selectedNode);
    if (selected && view.currentItem() != selected) view.setCurrentItem(selected);
}

void SyncTabs(const Control& control, QTabWidget& tabs) {
    const auto& items = control.list.Items();
    // Pages beyond the entries stay in place but cannot be chosen.
    while (tabs.count() < ToInt(items.size())) tabs.addTab(new QWidget, QString());
    for (int i = 0; i < tabs.count(); ++i) {
        const bool listed = InRange(i, items.size());
        const QString text = listed ? items[static_cast<std::size_t>(i)].text : QString();
        if (tabs.tabText(i) != text) tabs.setTabText(i, text);
        if (tabs.isTabVisible(i) != listed) tabs.setTabVisible(i, listed);
    }
    if (InRange(control.listIndex, items.size()) && tabs.currentIndex() != control.listIndex)
        tabs.setCurrentIndex(control.listIndex);
}

// Cells with values to offer are edited in a combo box that also takes free text.
class ChoiceDelegate : public QStyledItemDelegate {
  public:
    ChoiceDelegate(const Control& control, QObject* parent) : QStyledItemDelegate(parent), m_control(control) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QStringList choices = m_control.grid.ChoicesFor(index.row(), index.column());
        if (choices.isEmpty()) return QStyledItemDelegate::createEditor(parent, option, index);
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        combo->addItems(choices);
        return combo;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor))
            combo->setCurrentText(index.data(Qt::EditRole).toString());
        else
            QStyledItemDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor))
            model->setData(index, combo->currentText(), Qt::EditRole);
        else
            QStyledItemDelegate::setModelData(editor, model, index);
    }

  private:
    const Control& m_control;
};

void SyncGrid(const Control& control, QTableWidget& table) {
    const ui::GridData& grid = control.grid;
    const int columns = static_cast<int>(grid.columnCaptions.size());
    if (table.columnCount() != columns) table.setColumnCount(columns);
    for (int c = 0; c < columns; ++c) {
        const QTableWidgetItem* header = table.horizontalHeaderItem(c);
        if (!header || header->text() != grid.columnCaptions[c]) table.setHorizontalHeaderItem(c, new QTableWidgetItem(grid.columnCaptions[c]));
    }
    if (table.rowCount() != ToInt(grid.rows.size())) table.setRowCount(ToInt(grid.rows.size()));
    for (int r = 0; r < table.rowCount(); ++r) {
        const auto& cells = grid.rows[static_cast<std::size_t>(r)];
        for (int c = 0; c < columns; ++c) {
            const auto column = static_cast<std::size_t>(c);
            const QVariant value = column < cells.size() ? cells[column] : QVariant();
            const bool locked = column < grid.columnLocked.size() && grid.columnLocked[column];
            const Qt::ItemFlags flags =
                locked ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
            QTableWidgetItem* item = table.item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                table.setItem(r, c, item);
            }
            if (item->flags() != flags) item->setFlags(flags);
            if (item->data(Qt::EditRole) != value) item->setData(Qt::EditRole, value);
            const QString background = r < ToInt(grid.rowBackground.size()) ? grid.rowBackground[static_cast<std::size_t>(r)] : QString();
            const QString foreground = r < ToInt(grid.rowForeground.size()) ? grid.rowForeground[static_cast<std::size_t>(r)] : QString();
            const QBrush back = background.isEmpty() ? QBrush() : QBrush(QColor(background));
            const QBrush fore = foreground.isEmpty() ? QBrush() : QBrush(QColor(foreground));
            if (item->background() != back) item->setBackground(back);
            if (item->foreground() != fore) item->setForeground(fore);
        }
    }
    for (int c = 0; c < columns; ++c) {
        const bool hidden = c < ToInt(grid.columnHidden.size()) && grid.columnHidden[static_cast<std::size_t>(c)];
        if (table.isColumnHidden(c) != hidden) table.setColumnHidden(c, hidden);
    }
    if (InRange(grid.currentRow, grid.rows.size()) && grid.currentColumn >= 0 && grid.currentColumn < columns &&
        (table.currentRow() != grid.currentRow || table.currentColumn() != grid.currentColumn))
        table.setCurrentCell(grid.currentRow, grid.currentColumn);
}

}  // namespace

namespace {
QList<FormDialog*>& OpenDialogs() {
    static QList<FormDialog*> dialogs;
    return dialogs;
}
}  // namespace

FormDialog::FormDialog(ui::Form& form, QWidget* parent) : QDialog(parent), m_form(form) {
    OpenDialogs().append(this);
    auto* outer = new QVBoxLayout(this);
    auto* rootGrid = new QGridLayout;
    auto* buttonRow = new QHBoxLayout;
    outer->addLayout(rootGrid, 1);
    outer->addLayout(buttonRow);
    m_root = &AddContainer(this, rootGrid);

    for (const auto& control : m_form.Controls()) m_bound.push_back({control.get(), Create(*control)});
    Arrange(*buttonRow);
    // A form that previews keys sees them before the control with the focus.
    if (m_form.keyPreview)
        for (const Bound& bound : m_bound) bound.widget->installEventFilter(this);

    SyncFromModel();
    m_syncing = false;
}

void FormDialog::SyncAllOpen() {
    for (FormDialog* dialog : OpenDialogs()) dialog->SyncFromModel();
}

FormDialog::~FormDialog() {
    OpenDialogs().removeAll(this);
    // Widgets may signal while Qt takes them down after our members are gone.
    for (const Bound& bound : m_bound) disconnect(bound.widget, nullptr, this, nullptr);
}

FormDialog::Container& FormDialog::AddContainer(QWidget* widget, QGridLayout* grid) {
    m_containers.push_back(std::make_unique<Container>());
    Container& container = *m_containers.back();
    container.widget = widget;
    container.grid = grid;
    return container;
}

QWidget* FormDialog::Create(Control& control) {
    Control* const c = &control;
    switch (control.Type()) {
        case ControlType::Label:
            return new QLabel(this);

        case ControlType::TextBox:
            if (control.multiLine) {
                auto* edit = new QPlainTextEdit(this);
                connect(edit, &QPlainTextEdit::textChanged, this,
                        [this, c, edit] { Act([&] { m_form.UserSetText(c->Name(), edit->toPlainText(), c->Index()); }); });
                return edit;
            } else {
                // Every keystroke reaches the model, so handlers that enable OK
                // follow the typing and the final text is there before any click.
                auto* edit = new QLineEdit(this);
                // Room for a server's ProgID or a path without scrolling.
                edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * kTextBoxChars);
                connect(edit, &QLineEdit::textEdited, this,
                        [this, c](const QString& text) { Act([&] { m_form.UserSetText(c->Name(), text, c->Index()); }); });
                return edit;
            }

        case ControlType::CheckBox: {
            auto* box = new QCheckBox(this);
            connect(box, &QCheckBox::clicked, this, [this, c, box] {
                Act([&] { m_form.UserCheck(c->Name(), box->checkState() == Qt::Checked, c->Index()); });
            });
            return box;
        }

        case ControlType::OptionButton: {
            auto* option = new QRadioButton(this);
            OptionGroup(control).addButton(option);
            connect(option, &QRadioButton::toggled, this, [this, c](bool on) {
                if (on) Act([&] { m_form.UserClick(c->Name(), c->Index()); });
            });
            return option;
        }

        case ControlType::ComboBox: {
            auto* combo = new QComboBox(this);
            connect(combo, &QComboBox::activated, this, [this, c](int row) {
                if (InRange(row, c->list.Size())) Act([&] { m_form.UserChoose(c->Name(), ChoiceFor(*c, row), c->Index()); });
            });
            return combo;
        }

        case ControlType::ListBox: {
            auto* list = new QListWidget(this);
            // Moving to a row is the click the handlers see. Qt selects before
            // it moves the current row when keys are used, so the two are
            // kept apart: the selected rows are only state.
            connect(list, &QListWidget::currentRowChanged, this, [this, c](int row) {
                if (InRange(row, c->list.Size())) Act([&] { m_form.UserChoose(c->Name(), ChoiceFor(*c, row), c->Index()); });
            });
            connect(list, &QListWidget::itemSelectionChanged, this, [this, c, list] {
                if (m_syncing || m_finished || !c->multiSelect) return;
                c->selectedRows.clear();
                for (int i = 0; i < list->count(); ++i)
                    if (list->item(i)->isSelected()) c->selectedRows.push_back(i);
            });
            connect(list, &QListWidget::itemDoubleClicked, this,
                    [this, c] { Act([&] { m_form.UserDblClick(c->Name(), c->Index()); }); });
            return list;
        }

        case ControlType::ListView: {
            auto* view = new QTreeWidget(this);
            view->setRootIsDecorated(false);
            view->setUniformRowHeights(true);
            view->setAllColumnsShowFocus(true);
            view->setSelectionMode(QAbstractItemView::SingleSelection);
            connect(view, &QTreeWidget::currentItemChanged, this, [this, c, view](QTreeWidgetItem* current) {
                const int row = current ? view->indexOfTopLevelItem(current) : -1;
                Act([&] {
                    // Rows without an entry in the list have no item data to
                    // choose by; the selection is kept all the same.
                    if (InRange(row, c->list.Size()))
                        m_form.UserChoose(c->Name(), ChoiceFor(*c, row), c->Index());
                    else
                        c->listIndex = row;
                });
            });
            connect(view, &QTreeWidget::itemDoubleClicked, this,
                    [this, c] { Act([&] { m_form.UserDblClick(c->Name(), c->Index()); }); });
            // A click on an entry, also on the one already selected.
            connect(view, &QTreeWidget::itemClicked, this, [this, c, view](QTreeWidgetItem* item) {
                const int row = item ? view->indexOfTopLevelItem(item) : -1;
                if (row < 0) return;
                Act([&] {
                    c->listIndex = row;
                    m_form.UserClick(c->Name(), c->Index());
                });
            });
            return view;
        }

        case ControlType::TreeView: {
            auto* view = new QTreeWidget(this);
            if (control.dropDown) {
                view->setWindowFlags(Qt::Popup);
                // Closed by a click elsewhere or Escape: the model hears of it.
                view->installEventFilter(this);
            }
            view->setHeaderHidden(true);
            view->setUniformRowHeights(true);
            // A tree on the dialog itself shows a good part of an address space.
            if (!control.dropDown) view->setMinimumSize(view->fontMetrics().averageCharWidth() * 60, view->fontMetrics().height() * 20);
            view->setSelectionMode(QAbstractItemView::SingleSelection);
            const auto clicked = [this, c](QTreeWidgetItem* item) {
                if (item) Act([&] { m_form.UserClickNode(c->Name(), item->data(0, kNodeKeyRole).toString()); });
            };
            connect(view, &QTreeWidget::itemClicked, this, clicked);
            // Enter on a node is its click.
            connect(view, &QTreeWidget::itemActivated, this, clicked);
            // Loading children rebuilds the tree: the model hears of it after
            // the widget's own signal has returned, never inside it.
            const auto later = [this](std::function<void()> action) {
                QMetaObject::invokeMethod(this, [this, action] {
                    if (!m_finished) Act(action);
                }, Qt::QueuedConnection);
            };
            const auto opened = [this, c, later](QTreeWidgetItem* item, bool expand) {
                if (m_syncing || m_finished || !item) return;
                const QString key = item->data(0, kNodeKeyRole).toString();
                later([this, c, key, expand] { m_form.UserExpandNode(c->Name(), key, expand); });
            };
            connect(view, &QTreeWidget::itemExpanded, this, [opened](QTreeWidgetItem* item) { opened(item, true); });
            connect(view, &QTreeWidget::itemCollapsed, this, [opened](QTreeWidgetItem* item) { opened(item, false); });
            connect(view, &QTreeWidget::itemChanged, this, [this, c, later](QTreeWidgetItem* item, int column) {
                if (m_syncing || m_finished || !c->checkBoxes || column != 0) return;
                const QString key = item->data(0, kNodeKeyRole).toString();
                const ui::TreeNode* node = c->Node(key);
                // A partly ticked folder is ticked whole by a click.
                const bool ticked = item->checkState(0) != Qt::Unchecked;
                if (!node || (node->checkState == 1) == ticked) return;
                later([this, c, key, ticked] { m_form.UserCheckNode(c->Name(), key, ticked); });
            });
            return view;
        }

        case ControlType::TabStrip: {
            QTabWidget* tabs = CreatePages(control);
            connect(tabs, &QTabWidget::currentChanged, this, [this, c](int page) {
                if (InRange(page, c->list.Size())) Act([&] { m_form.UserSelectTab(c->Name(), page); });
            });
            return tabs;
        }

        case ControlType::CommandButton: {
            auto* button = new QPushButton(this);
            // Without a default button Enter must press nothing, but Qt would
            // make the first button the default when the dialog shows.
            const auto& controls = m_form.Controls();
            button->setAutoDefault(std::any_of(controls.begin(), controls.end(), [](const auto& other) {
                return other->Type() == ControlType::CommandButton && other->isDefault;
            }));
            connect(button, &QPushButton::clicked, this, [this, c] { Act([&] { m_form.UserClick(c->Name(), c->Index()); }); });
            return button;
        }

        case ControlType::Frame: {
            auto* frame = new QGroupBox(this);
            m_frames.insert(c, &AddContainer(frame, new QGridLayout(frame)));
            return frame;
        }

        case ControlType::Grid: {
            auto* table = new QTableWidget(this);
            table->verticalHeader()->setVisible(false);
            table->horizontalHeader()->setStretchLastSection(true);
            table->setSelectionMode(QAbstractItemView::SingleSelection);
            table->setItemDelegate(new ChoiceDelegate(*c, table));
            // Room for a few columns and rows without scrolling at once.
            table->setMinimumSize(table->fontMetrics().averageCharWidth() * 72, table->fontMetrics().height() * 14);
            connect(table, &QTableWidget::itemChanged, this, [this, c](QTableWidgetItem* item) {
                Act([&] { m_form.UserEditCell(c->Name(), item->row(), item->column(), item->data(Qt::EditRole)); });
            });
            connect(table, &QTableWidget::currentCellChanged, this, [this, c](int row, int column) {
                // Where the person stands is state, not an event.
                if (m_syncing || m_finished) return;
                c->grid.currentRow = row;
                c->grid.currentColumn = column;
            });
            return table;
        }
    }
    return new QWidget(this);
}

QTabWidget* FormDialog::CreatePages(Control& tabStrip) {
    auto* tabs = new QTabWidget(this);
    // Each strip has as many pages as it lists, or as its controls name.
    int pages = ToInt(tabStrip.list.Size());
    for (const auto& control : m_form.Controls())
        if (control.get() != &tabStrip && m_form.TabStripOf(*control) == &tabStrip)
            pages = std::max(pages, control->tabPage + 1);
    std::vector<Container*>& containers = m_pages[&tabStrip];
    for (int i = 0; i < pages; ++i) {
        auto* page = new QWidget;
        containers.push_back(&AddContainer(page, new QGridLayout(page)));
        tabs->addTab(page, QString());
    }
    return tabs;
}

QButtonGroup& FormDialog::OptionGroup(const Control& option) {
    // The same grouping the model uses: one frame (or the form) on one page.
    const QString key = QString::number(option.tabPage) + u'|' + option.container;
    QButtonGroup*& group = m_optionGroups[key];
    if (!group) group = new QButtonGroup(this);
    return *group;
}

const Control* FormDialog::OwnerOf(const Control& control) const {
    if (!control.container.isEmpty()) {
        const Control* frame = m_form.Find(control.container);
        if (frame && frame->Type() == ControlType::Frame && frame != &control) return frame;
    }
    const Control* strip = m_form.TabStripOf(control);
    if (strip && strip != &control) return strip;
    return nullptr;
}

FormDialog::Container& FormDialog::ContainerOf(const Control& control) {
    const Control* owner = OwnerOf(control);
    if (!owner) return *m_root;
    // A frame or tab strip that would end up inside itself goes on the form.
    std::size_t steps = 0;
    for (const Control* up = owner; up; up = OwnerOf(*up))
        if (up == &control || ++steps > m_form.Controls().size()) return *m_root;
    if (owner->Type() == ControlType::TabStrip) return *m_pages.value(owner).at(static_cast<std::size_t>(control.tabPage));
    return *m_frames.value(owner);
}

const Control* FormDialog::BuddyOf(const Control& label) const {
    if (label.buddy.isEmpty()) return nullptr;
    // "txtValue(2)" names an element of a control array.
    static const QRegularExpression element(QStringLiteral(R"(^(.+)\((\d+)\)$)"));
    const QRegularExpressionMatch match = element.match(label.buddy);
    const Control* buddy =
        match.hasMatch() ? m_form.Find(match.captured(1), match.captured(2).toInt()) : m_form.Find(label.buddy);
    return buddy == &label ? nullptr : buddy;
}

void FormDialog::Arrange(QHBoxLayout& buttonRow) {
    QHash<const Control*, Container*> where;
    for (const Bound& bound : m_bound) where.insert(bound.control, &ContainerOf(*bound.control));
    const auto inButtonRow = [&](const Control& control) {
        return control.Type() == ControlType::CommandButton && where.value(&control) == m_root;
    };

    // Rows follow the order of adding; a label shares the row of the control
    // it names when both sit in the same place.
    QHash<const Control*, int> rowOf;
    QHash<const Control*, const Control*> labelFor;
    QHash<const Control*, const Control*> besides;  // a "…" button and the box it fills
    QSet<const Control*> described;
    for (const Bound& bound : m_bound) {
        const Control& control = *bound.control;
        if (inButtonRow(control) || control.dropDown) continue;
        if (control.Type() == ControlType::CommandButton) {
            const Control* box = BuddyOf(control);
            if (box && rowOf.contains(box) && where.value(box) == where.value(&control)) {
                besides.insert(&control, box);
                continue;
            }
        }
        if (control.Type() == ControlType::Label) {
            const Control* buddy = BuddyOf(control);
            if (buddy && where.value(buddy) == where.value(&control) && !described.contains(buddy) && !IsWide(*buddy) &&
                !inButtonRow(*buddy)) {
                labelFor.insert(&control, buddy);
                described.insert(buddy);
                continue;
            }
            // A second label of a described box is its unit ("ms", "%"), after it.
            if (buddy && described.contains(buddy) && rowOf.contains(buddy) && where.value(buddy) == where.value(&control)) {
                besides.insert(&control, buddy);
                continue;
            }
        }
        rowOf.insert(&control, where.value(&control)->rows++);
    }

    buttonRow.addStretch(1);
    for (const Bound& bound : m_bound) {
        const Control& control = *bound.control;
        if (control.dropDown) continue;  // a window of its own
        Container& container = *where.value(&control);
        if (control.Type() == ControlType::Label) {
            // The label's "&" key moves the focus to the control it names.
            const Control* buddy = besides.contains(&control) ? nullptr : BuddyOf(control);
            for (const Bound& other : m_bound)
                if (buddy && other.control == buddy) static_cast<QLabel*>(bound.widget)->setBuddy(other.widget);
        }
        if (inButtonRow(control)) {
            buttonRow.addWidget(bound.widget);
        } else if (const Control* box = besides.value(&control)) {
            // A small button or a unit at the end of the box's row.
            if (control.Type() == ControlType::CommandButton) {
                const QFontMetrics metrics = bound.widget->fontMetrics();
                bound.widget->setMaximumWidth(std::max(metrics.horizontalAdvance(QStringLiteral("MMMM")),
                                                       metrics.horizontalAdvance(control.caption) + metrics.averageCharWidth() * 3));
            }
            container.grid->addWidget(bound.widget, rowOf.value(box), 2);
        } else if (const Control* buddy = labelFor.value(&control)) {
            container.grid->addWidget(bound.widget, rowOf.value(buddy), 0);
        } else if (IsWide(control)) {
            container.grid->addWidget(bound.widget, rowOf.value(&control), 0, 1, 2);
        } else {
            container.grid->addWidget(bound.widget, rowOf.value(&control), 1);
        }
        if (Expands(control)) container.expands = true;
    }
    for (const auto& container : m_containers) {
        container->grid->setColumnStretch(1, 1);
        // Short pages keep their controls at the top.
        if (!container->expands) container->grid->setRowStretch(container->rows, 1);
    }
}

QWidget* FormDialog::WidgetFor(const QString& name, int index) const {
    const Control* control = m_form.Find(name, index);
    for (const Bound& bound : m_bound)
        if (bound.control == control) return bound.widget;
    return nullptr;
}

void FormDialog::SyncFromModel() {
    const bool wasSyncing = m_syncing;
    m_syncing = true;
    if (windowTitle() != m_form.caption) setWindowTitle(m_form.caption);
    // An exclusive group cannot be left without a checked button, but the
    // model may have none checked.
    for (QButtonGroup* group : std::as_const(m_optionGroups)) group->setExclusive(false);
    for (const Bound& bound : m_bound) Sync(*bound.control, bound.widget);
    for (QButtonGroup* group : std::as_const(m_optionGroups)) group->setExclusive(true);
    ApplyFocus();
    m_syncing = wasSyncing;
}

void FormDialog::ApplyFocus() {
    const ui::Form::FocusRequest& request = m_form.Focus();
    if (request.serial == m_focusSerial) return;
    m_focusSerial = request.serial;
    QWidget* widget = WidgetFor(request.control, request.index);
    if (!widget) return;
    widget->setFocus(Qt::OtherFocusReason);
    if (!request.selectAll) return;
    if (auto* line = qobject_cast<QLineEdit*>(widget)) line->selectAll();
    else if (auto* text = qobject_cast<QPlainTextEdit*>(widget)) text->selectAll();
}

void FormDialog::Sync(const Control& control, QWidget* widget) {
    // The widget's own settings, not what it inherits from a disabled or
    // hidden frame; a new widget is hidden until its dialog shows, so only
    // setting it makes an invisible control stay hidden.
    if (widget->testAttribute(Qt::WA_ForceDisabled) == control.enabled) widget->setEnabled(control.enabled);
    if (control.dropDown)
        ShowDropDown(control, *widget);
    else
        widget->setVisible(control.visible);
    if (widget->toolTip() != control.toolTip) widget->setToolTip(control.toolTip);

    switch (control.Type()) {
        case ControlType::Label: {
            auto* label = static_cast<QLabel*>(widget);
            if (label->text() != control.caption) label->setText(control.caption);
            break;
        }
        case ControlType::TextBox:
            if (control.multiLine) {
                auto* edit = static_cast<QPlainTextEdit*>(widget);
                SetTextKeepingCursor(*edit, control.text);
                edit->setReadOnly(control.locked);
            } else {
                auto* edit = static_cast<QLineEdit*>(widget);
                edit->setMaxLength(control.maxLength > 0 ? control.maxLength : kNoLimit);
                SetTextKeepingCursor(*edit, control.text);
                edit->setReadOnly(control.locked);
            }
            break;
        case ControlType::CheckBox: {
            auto* box = static_cast<QCheckBox*>(widget);
            if (box->text() != control.caption) box->setText(control.caption);
            // Grayed is shown, never reached by clicking.
            box->setTristate(control.checkState == 2);
            box->setCheckState(control.checkState == 2 ? Qt::PartiallyChecked
                               : control.checkState == 1 ? Qt::Checked
                                                         : Qt::Unchecked);
            break;
        }
        case ControlType::OptionButton: {
            auto* option = static_cast<QRadioButton*>(widget);
            if (option->text() != control.caption) option->setText(control.caption);
            if (option->isChecked() != control.IsChecked()) option->setChecked(control.IsChecked());
            break;
        }
        case ControlType::ComboBox:
            SyncCombo(control, *static_cast<QComboBox*>(widget));
            break;
        case ControlType::ListBox:
            SyncListBox(control, *static_cast<QListWidget*>(widget));
            break;
        case ControlType::ListView:
            SyncListView(control, *static_cast<QTreeWidget*>(widget));
            break;
        case ControlType::TabStrip:
            SyncTabs(control, *static_cast<QTabWidget*>(widget));
            break;
        case ControlType::CommandButton: {
            auto* button = static_cast<QPushButton*>(widget);
            if (button->text() != control.caption) button->setText(control.caption);
            if (button->isDefault() != control.isDefault) button->setDefault(control.isDefault);
            break;
        }
        case ControlType::Frame: {
            auto* frame = static_cast<QGroupBox*>(widget);
            if (frame->title() != control.caption) frame->setTitle(control.caption);
            break;
        }
        case ControlType::Grid:
            SyncGrid(control, *static_cast<QTableWidget*>(widget));
            break;
        case ControlType::TreeView:
            SyncTree(control, *static_cast<QTreeWidget*>(widget));
            break;
    }
}

void FormDialog::ShowDropDown(const Control& control, QWidget& popup) {
    if (!control.visible) {
        popup.hide();
        return;
    }
    if (popup.isVisible()) return;
    // Below the box it belongs to, as wide as that box's row.
    QWidget* anchor = WidgetFor(control.buddy);
    if (!anchor || !anchor->isVisible()) return;
    const QPoint below = anchor->mapToGlobal(QPoint(0, anchor->height()));
    const int width = std::max(anchor->width(), 360);
    popup.setGeometry(below.x(), below.y(), width, std::max(popup.fontMetrics().height() * 16, 200));
    popup.show();
    popup.setFocus(Qt::PopupFocusReason);
}

void FormDialog::Act(const std::function<void()>& action) {
    if (m_syncing || m_finished) return;
    try {
        action();
    } catch (const std::exception& error) {
        // Refused or failed: say why and let the person carry on in the dialog.
        ui::ShowMessage(QString::fromUtf8(error.what()), QString(), ui::Buttons::OK, 0, ui::Icon::Warning);
    }
    SyncFromModel();
    FinishWhenHidden();
}

void FormDialog::FinishWhenHidden() {
    if (m_finished || m_form.IsShown()) return;
    m_finished = true;
    done(m_form.Confirmed() ? QDialog::Accepted : QDialog::Rejected);
}

bool FormDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && !m_syncing && !m_finished) {
        // A drop-down closed by Qt (a click elsewhere, Escape) is closed in the model too.
        for (const Bound& bound : m_bound)
            if (bound.widget == watched && bound.control->dropDown) bound.control->visible = false;
    }
    if (event->type() == QEvent::KeyPress && !m_syncing && !m_finished) {
        auto* key = static_cast<QKeyEvent*>(event);
        int code = KeyCode(key->key());
        if (code != 0) {
            QString inControl;
            for (const Bound& bound : m_bound)
                if (bound.widget == watched) inControl = bound.control->Name();
            Act([&] { m_form.UserKeyDown(code, ShiftState(key->modifiers()), inControl); });
            if (code == 0) return true;  // the form took the key
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FormDialog::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        Act([this] { m_form.PressCancel(); });
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        Act([this] { m_form.UserHelp(); });
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FormDialog::reject() {
    Act([this] {
        if (!m_form.PressCancel()) m_form.Hide(false);
    });
}

}  // namespace ov::gui
