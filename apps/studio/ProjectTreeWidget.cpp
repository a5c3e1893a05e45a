#include "studio/ProjectTreeWidget.h"

#include "studio/AddinCall.h"
#include "studio/KeyCodes.h"
#include "studio/VariableSelectionDialog.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <optional>

namespace ov::studio {

namespace {
constexpr int kKeyRole = Qt::UserRole;
}  // namespace

ProjectTreeWidget::ProjectTreeWidget(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(this, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { OnItemClicked(item); });
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { OnItemDoubleClicked(item); });
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { OnItemExpanded(item); });
}

ProjectTreeWidget::~ProjectTreeWidget() = default;

void ProjectTreeWidget::ClearTree() {
    m_nodes.clear();
    m_icons.clear();
    m_refused = 0;
    clear();
}

const ProjectTreeWidget::Node* ProjectTreeWidget::Find(const QString& key) const {
    const auto it = m_nodes.constFind(key);
    return it == m_nodes.constEnd() ? nullptr : &*it;
}

QTreeWidgetItem* ProjectTreeWidget::ItemOf(const QString& key) const {
    const Node* node = Find(key);
    return node ? node->item : nullptr;
}

QString ProjectTreeWidget::KeyOf(const QTreeWidgetItem* item) const {
    return item ? item->data(0, kKeyRole).toString() : QString();
}

QString ProjectTreeWidget::ImageKeyOf(const QString& key) const {
    const Node* node = Find(key);
    return node ? node->image : QString();
}

QString ProjectTreeWidget::ParentKey(const QTreeWidgetItem* item) const {
    return item && item->parent() ? KeyOf(item->parent()) : QString();
}

ProjectTreeWidget::EventNode ProjectTreeWidget::EventNodeOf(const QTreeWidgetItem* item) const {
    const QString key = KeyOf(item);
    const Node* node = Find(key);
    return EventNode{ParentKey(item), key, node ? node->tag : QString()};
}

// ---- the host interface -------------------------------------------------

host::WindowHandle ProjectTreeWidget::GetHostWindow() {
    return reinterpret_cast<host::WindowHandle>(m_editorArea);
}

void ProjectTreeWidget::AddIcon(const QString& imageKey, const QByteArray& picture) {
    HostCall call(*this);
    QPixmap pixmap;
    // An image that does not decode leaves its nodes without an icon rather
    // than refusing them.
    pixmap.loadFromData(picture, "PNG");
    m_icons.insert(imageKey, pixmap.isNull() ? QIcon() : QIcon(pixmap));
}

void ProjectTreeWidget::InsertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* item) {
    const QString text = item->text(0);
    int low = 0;
    int high = parent->childCount();
    // After any equal texts, so that equal names keep the order they came in.
    while (low < high) {
        const int middle = (low + high) / 2;
        if (QString::compare(parent->child(middle)->text(0), text, Qt::CaseInsensitive) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    parent->insertChild(low, item);
}

void ProjectTreeWidget::AddNode(const QString& relativeKey, const QString& text, const QString& key,
                                const QString& tag, const QString& imageKey, host::NodeFlags flags) {
    HostCall call(*this);
    const Node* parent = relativeKey.isEmpty() ? nullptr : Find(relativeKey);
    if (key.isEmpty() || m_nodes.contains(key) || (!relativeKey.isEmpty() && !parent)) {
        ++m_refused;
        return;
    }
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, kKeyRole, key);
    item->setIcon(0, m_icons.value(imageKey));
    QTreeWidgetItem* parentItem = parent ? parent->item : nullptr;
    const bool sorted = parent && parent->flags.sorted;
    m_nodes.insert(key, Node{item, tag, imageKey, flags, {}});
    if (!parentItem)
        addTopLevelItem(item);
    else if (sorted)
        InsertSorted(parentItem, item);
    else
        parentItem->addChild(item);
    if (flags.expanded) item->setExpanded(true);
}

void ProjectTreeWidget::ForgetSubtree(QTreeWidgetItem* item) {
    for (int i = 0; i < item->childCount(); ++i) ForgetSubtree(item->child(i));
    m_nodes.remove(KeyOf(item));
}

void ProjectTreeWidget::RemoveNode(const QString& key) {
    HostCall call(*this);
    const Node* node = Find(key);
    if (!node) {
        ++m_refused;
        return;
    }
    QTreeWidgetItem* item = node->item;
    // The selection goes with the node: no neighbour becomes current behind
    // the add-in's back.
    for (const QTreeWidgetItem* at = currentItem(); at; at = at->parent()) {
        if (at == item) {
            setCurrentItem(nullptr);
            break;
        }
    }
    ForgetSubtree(item);
    delete item;
}

void ProjectTreeWidget::SelectNode(const QString& key) {
    HostCall call(*this);
    QTreeWidgetItem* item = ItemOf(key);
    if (!item) return;
    setCurrentItem(item);
    scrollToItem(item);
}

void ProjectTreeWidget::GetSelectedNode(QString& first, QString& key, QString& third, QString& fourth) {
    const QTreeWidgetItem* item = currentItem();
    const Node* node = item ? Find(KeyOf(item)) : nullptr;
    key = node ? KeyOf(item) : QString();
    first = node ? ParentKey(item) : QString();
    third = node ? node->tag : QString();
    fourth = node ? item->text(0) : QString();
}

void ProjectTreeWidget::GetNodeInfo(const QString& key, QString& first, QString& third) {
    const Node* node = Find(key);
    first = node ? ParentKey(node->item) : QString();
    third = node ? node->tag : QString();
}

QStringList ProjectTreeWidget::GetChildKeys(const QString& key, int relation) {
    const Node* node = Find(key);
    QStringList keys;
    if (!node || relation != 1) return keys;
    keys.reserve(node->item->childCount());
    for (int i = 0; i < node->item->childCount(); ++i) keys << KeyOf(node->item->child(i));
    return keys;
}

QString ProjectTreeWidget::GetNodeRelative(const QString& key, int relation) {
    const Node* node = Find(key);
    if (!node) return QString();
    const QTreeWidgetItem* item = node->item;
    if (relation == 1) return ParentKey(item);
    if (relation != 2 && relation != 3) return QString();
    QTreeWidgetItem* parent = item->parent();
    const int index = parent ? parent->indexOfChild(node->item) : indexOfTopLevelItem(node->item);
    const int count = parent ? parent->childCount() : topLevelItemCount();
    const int at = index + (relation == 2 ? 1 : -1);
    if (at < 0 || at >= count) return QString();
    return KeyOf(parent ? parent->child(at) : topLevelItem(at));
}

int ProjectTreeWidget::GetNodeProperty(const QString& key, int propertyId, QVariant& value) {
    const Node* node = Find(key);
    if (!node) return 1;
    switch (propertyId) {
        case host::kPropertyKey:
            value = key;
            break;
        case host::kPropertyText:
            value = node->item->text(0);
            break;
        case host::kPropertyExpanded:
            value = node->item->isExpanded();
            break;
        default:
            value = node->properties.value(propertyId);
            break;
    }
    return 0;
}

void ProjectTreeWidget::UpdateToolTip(const Node& node) {
    const auto count = node.properties.constFind(host::kPropertyItemCount);
    if (count == node.properties.constEnd()) return;
    const QString number = count->toString();
    node.item->setToolTip(
        0, number == QStringLiteral("1") ? QStringLiteral("1 item") : QStringLiteral("%1 items").arg(number));
}

void ProjectTreeWidget::SetNodeProperty(const QString& key, int propertyId, const QVariant& value) {
    HostCall call(*this);
    const auto it = m_nodes.find(key);
    if (it == m_nodes.end()) {
        ++m_refused;
        return;
    }
    if (propertyId == host::kPropertyText) {
        it->item->setText(0, value.toString());
    } else if (propertyId == host::kPropertyExpanded) {
        it->item->setExpanded(value.toBool());
    } else if (propertyId == host::kPropertyKey) {
        const QString newKey = value.toString();
        if (newKey == key) return;
        if (newKey.isEmpty() || m_nodes.contains(newKey)) {
            ++m_refused;
            return;
        }
        Node node = m_nodes.take(key);
        node.item->setData(0, kKeyRole, newKey);
        m_nodes.insert(newKey, node);
    } else {
        it->properties.insert(propertyId, value);
        UpdateToolTip(*it);
    }
}

void ProjectTreeWidget::FocusProjectTree() {
    setFocus(Qt::OtherFocusReason);
}

// The flags say what the variable is for; any item of the project may serve,
// so the list is the same for all of them.
QString ProjectTreeWidget::SelectVariable(const QString& currentText, int /*flags*/) {
    HostCall call(*this);
    VariableSelectionDialog dialog(m_projectFile, currentText, window(), m_serverRole, m_serverPassword);
    return dialog.exec() == QDialog::Accepted ? dialog.SelectedName() : QString();
}

bool ProjectTreeWidget::ServerLogin(QString& role, QString& password) {
    if (m_serverRole.isEmpty()) return false;
    role = m_serverRole;
    password = m_serverPassword;
    return true;
}

// ---- the user's events, handed to the add-in ----------------------------

void ProjectTreeWidget::ClickNode(const QString& key) {
    QTreeWidgetItem* item = ItemOf(key);
    if (!item) return;
    setCurrentItem(item);
    scrollToItem(item);
    OnItemClicked(item);
}

void ProjectTreeWidget::ExpandNode(const QString& key) {
    if (QTreeWidgetItem* item = ItemOf(key)) item->setExpanded(true);
}

void ProjectTreeWidget::OnItemClicked(QTreeWidgetItem* item) {
    if (!item || !Forwarding()) return;
    const EventNode node = EventNodeOf(item);
    host::COV4Extensibility* addin = m_addin;
    CallAddin("NodeClick", [&] { addin->NodeClick(node.first, node.key, node.third); });
    emit AddinEventHandled();
}

void ProjectTreeWidget::OnItemDoubleClicked(QTreeWidgetItem* item) {
    if (!item || !Forwarding()) return;
    const EventNode node = EventNodeOf(item);
    host::COV4Extensibility* addin = m_addin;
    CallAddin("NodeDblClick", [&] { addin->NodeDblClick(node.first, node.key, node.third); });
    emit AddinEventHandled();
}

void ProjectTreeWidget::OnItemExpanded(QTreeWidgetItem* item) {
    if (!item || !Forwarding()) return;
    const EventNode node = EventNodeOf(item);
    host::COV4Extensibility* addin = m_addin;
    CallAddin("NodeExpand", [&] { addin->NodeExpand(node.first, node.key, node.third); });
    emit AddinEventHandled();
}

void ProjectTreeWidget::mouseReleaseEvent(QMouseEvent* event) {
    // Read everything first: the click the base class reports may change the tree.
    const QTreeWidgetItem* item = itemAt(event->position().toPoint());
    std::optional<EventNode> node;
    if (item && Forwarding()) node = EventNodeOf(item);
    const int button = keycodes::MouseButton(event->button());
    const int shift = keycodes::ShiftState(event->modifiers());
    const QPoint global = event->globalPosition().toPoint();
    QTreeWidget::mouseReleaseEvent(event);
    if (!node || button == 0 || !Forwarding()) return;
    host::COV4Extensibility* addin = m_addin;
    CallAddin("NodeMouseUp", [&] {
        addin->NodeMouseUp(node->first, node->key, node->third, button, shift, global.x(), global.y());
    });
    emit AddinEventHandled();
}

void ProjectTreeWidget::keyPressEvent(QKeyEvent* event) {
    const QTreeWidgetItem* item = currentItem();
    if (!item || !Forwarding()) {
        QTreeWidget::keyPressEvent(event);
        return;
    }
    const EventNode node = EventNodeOf(item);
    host::COV4Extensibility* addin = m_addin;
    const int shift = keycodes::ShiftState(event->modifiers());
    bool forwarded = false;
    bool swallowed = false;
    int keyCode = keycodes::VirtualKey(event->key(), event->modifiers());
    if (keyCode != 0) {
        CallAddin("NodeKeyDown",
                  [&] { addin->NodeKeyDown(node.first, node.key, node.third, keyCode, shift); });
        forwarded = true;
        swallowed = keyCode == 0;
    }
    // A key the add-in took on key down produces no character either.
    int keyAscii = keycodes::KeyAscii(event->key(), event->modifiers(), event->text());
    if (!swallowed && keyAscii != 0) {
        CallAddin("NodeKeyPress", [&] { addin->NodeKeyPress(node.first, node.key, node.third, keyAscii); });
        forwarded = true;
        swallowed = keyAscii == 0;
    }
    if (forwarded) emit AddinEventHandled();
    if (swallowed) {
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
    // Moving through the tree with the keys shows each node, as a click does.
    if (QTreeWidgetItem* now = currentItem(); now && now != item) OnItemClicked(now);
}

void ProjectTreeWidget::keyReleaseEvent(QKeyEvent* event) {
    const QTreeWidgetItem* item = currentItem();
    int keyCode = keycodes::VirtualKey(event->key(), event->modifiers());
    // A held key repeats its key down, not its key up.
    if (!item || !Forwarding() || keyCode == 0 || event->isAutoRepeat()) {
        QTreeWidget::keyReleaseEvent(event);
        return;
    }
    const EventNode node = EventNodeOf(item);
    host::COV4Extensibility* addin = m_addin;
    const int shift = keycodes::ShiftState(event->modifiers());
    CallAddin("NodeKeyUp", [&] { addin->NodeKeyUp(node.first, node.key, node.third, keyCode, shift); });
    emit AddinEventHandled();
    if (keyCode == 0) {
        event->accept();
        return;
    }
    QTreeWidget::keyReleaseEvent(event);
}

}  // namespace ov::studio
