#include "gui/FormTreeView.h"

#include "gui/FormDialog.h"

#include "platform/ui/Images.h"

#include <QHash>
#include <QIcon>
#include <QPixmap>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace ov::gui {

using ui::Control;

namespace {

constexpr int kNodeKeyRole = Qt::UserRole;

QIcon ImageIcon(const QString& key) {
    if (key.isEmpty()) return QIcon();
    QPixmap picture;
    return picture.loadFromData(ui::ImageData(key), "PNG") ? QIcon(picture) : QIcon();
}

}  // namespace

QTreeWidget* CreateTreeView(FormDialog& dialog, Control& control) {
    FormDialog* const d = &dialog;
    Control* const c = &control;
    auto* view = new QTreeWidget(d);
    if (control.dropDown) {
        view->setWindowFlags(Qt::Popup);
        // Closed by a click elsewhere or Escape: the model hears of it.
        view->installEventFilter(d);
    }
    view->setHeaderHidden(true);
    view->setUniformRowHeights(true);
    // A tree on the dialog itself shows a good part of an address space.
    if (!control.dropDown) view->setMinimumSize(view->fontMetrics().averageCharWidth() * 60, view->fontMetrics().height() * 20);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    const auto clicked = [d, c](QTreeWidgetItem* item) {
        if (item) d->Act([&] { d->Model().UserClickNode(c->Name(), item->data(0, kNodeKeyRole).toString()); });
    };
    QObject::connect(view, &QTreeWidget::itemClicked, d, clicked);
    // Enter on a node is its click.
    QObject::connect(view, &QTreeWidget::itemActivated, d, clicked);
    // Loading children rebuilds the tree: the model hears of it after
    // the widget's own signal has returned, never inside it.
    const auto opened = [d, c](QTreeWidgetItem* item, bool expand) {
        if (!d->Listening() || !item) return;
        const QString key = item->data(0, kNodeKeyRole).toString();
        d->ActLater([d, c, key, expand] { d->Model().UserExpandNode(c->Name(), key, expand); });
    };
    QObject::connect(view, &QTreeWidget::itemExpanded, d, [opened](QTreeWidgetItem* item) { opened(item, true); });
    QObject::connect(view, &QTreeWidget::itemCollapsed, d, [opened](QTreeWidgetItem* item) { opened(item, false); });
    QObject::connect(view, &QTreeWidget::itemChanged, d, [d, c](QTreeWidgetItem* item, int column) {
        if (!d->Listening() || !c->checkBoxes || column != 0) return;
        const QString key = item->data(0, kNodeKeyRole).toString();
        const ui::TreeNode* node = c->Node(key);
        // A partly ticked folder is ticked whole by a click.
        const bool ticked = item->checkState(0) != Qt::Unchecked;
        if (!node || (node->checkState == 1) == ticked) return;
        d->ActLater([d, c, key, ticked] { d->Model().UserCheckNode(c->Name(), key, ticked); });
    });
    return view;
}

void SyncTreeView(const Control& control, QTreeWidget& view) {
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

}  // namespace ov::gui
