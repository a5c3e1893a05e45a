#include "gui/FormListControls.h"

#include "gui/FormDialog.h"
#include "gui/FormRows.h"

#include <QComboBox>
#include <QListWidget>
#include <QTabWidget>
#include <QTreeWidget>

#include <algorithm>
#include <optional>

namespace ov::gui {

using ui::Control;

namespace {

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

}  // namespace

QComboBox* CreateComboBox(FormDialog& dialog, Control& control) {
    FormDialog* const d = &dialog;
    Control* const c = &control;
    auto* combo = new QComboBox(d);
    QObject::connect(combo, &QComboBox::activated, d, [d, c](int row) {
        if (InRange(row, c->list.Size())) d->Act([&] { d->Model().UserChoose(c->Name(), ChoiceFor(*c, row), c->Index()); });
    });
    return combo;
}

void SyncComboBox(const Control& control, QComboBox& combo) {
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

QListWidget* CreateListBox(FormDialog& dialog, Control& control) {
    FormDialog* const d = &dialog;
    Control* const c = &control;
    auto* list = new QListWidget(d);
    // Moving to a row is the click the handlers see. Qt selects before
    // it moves the current row when keys are used, so the two are
    // kept apart: the selected rows are only state.
    QObject::connect(list, &QListWidget::currentRowChanged, d, [d, c](int row) {
        if (InRange(row, c->list.Size())) d->Act([&] { d->Model().UserChoose(c->Name(), ChoiceFor(*c, row), c->Index()); });
    });
    QObject::connect(list, &QListWidget::itemSelectionChanged, d, [d, c, list] {
        if (!d->Listening() || !c->multiSelect) return;
        c->selectedRows.clear();
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->isSelected()) c->selectedRows.push_back(i);
    });
    QObject::connect(list, &QListWidget::itemDoubleClicked, d,
                     [d, c] { d->Act([&] { d->Model().UserDblClick(c->Name(), c->Index()); }); });
    return list;
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

QTreeWidget* CreateListView(FormDialog& dialog, Control& control) {
    FormDialog* const d = &dialog;
    Control* const c = &control;
    auto* view = new QTreeWidget(d);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    QObject::connect(view, &QTreeWidget::currentItemChanged, d, [d, c, view](QTreeWidgetItem* current) {
        const int row = current ? view->indexOfTopLevelItem(current) : -1;
        d->Act([&] {
            // Rows without an entry in the list have no item data to
            // choose by; the selection is kept all the same.
            if (InRange(row, c->list.Size()))
                d->Model().UserChoose(c->Name(), ChoiceFor(*c, row), c->Index());
            else
                c->listIndex = row;
        });
    });
    QObject::connect(view, &QTreeWidget::itemDoubleClicked, d,
                     [d, c] { d->Act([&] { d->Model().UserDblClick(c->Name(), c->Index()); }); });
    // A click on an entry, also on the one already selected.
    QObject::connect(view, &QTreeWidget::itemClicked, d, [d, c, view](QTreeWidgetItem* item) {
        const int row = item ? view->indexOfTopLevelItem(item) : -1;
        if (row < 0) return;
        d->Act([&] {
            c->listIndex = row;
            d->Model().UserClick(c->Name(), c->Index());
        });
    });
    return view;
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

void ConnectTabStrip(FormDialog& dialog, Control& control, QTabWidget& tabs) {
    FormDialog* const d = &dialog;
    Control* const c = &control;
    QObject::connect(&tabs, &QTabWidget::currentChanged, d, [d, c](int page) {
        if (InRange(page, c->list.Size())) d->Act([&] { d->Model().UserSelectTab(c->Name(), page); });
    });
}

void SyncTabStrip(const Control& control, QTabWidget& tabs) {
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

}  // namespace ov::gui
