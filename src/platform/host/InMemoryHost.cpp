#include "platform/host/InMemoryHost.h"

namespace ov::host {

namespace {
QString Visible(const QString& key) {
    QString shown = key;
    shown.replace(QChar(0xFF), u'|');
    return shown;
}
}  // namespace

WindowHandle InMemoryHost::GetHostWindow() {
    Record(QStringLiteral("GetHostWindow()"));
    return 1;
}

void InMemoryHost::AddIcon(const QString& imageKey, const QByteArray& picture) {
    Record(QStringLiteral("AddIcon(%1, %2 bytes)").arg(imageKey).arg(picture.size()));
    if (!m_icons.contains(imageKey)) m_icons.append(imageKey);
}

void InMemoryHost::AddNode(const QString& relativeKey, const QString& text, const QString& key, const QString& tag,
                           const QString& imageKey, NodeFlags flags) {
    Record(QStringLiteral("AddNode(%1, %2, %3)").arg(Visible(relativeKey), text, Visible(key)));
    if (key.isEmpty() || m_nodes.contains(key) || (!relativeKey.isEmpty() && !m_nodes.contains(relativeKey))) {
        ++m_refused;
        return;
    }
    Node node{key, relativeKey, text, tag, imageKey, flags, {}, {}};
    m_nodes.insert(key, node);
    if (relativeKey.isEmpty())
        m_topLevel.append(key);
    else
        m_nodes[relativeKey].children.append(key);
}

void InMemoryHost::RemoveSubtree(const QString& key) {
    const Node node = m_nodes.value(key);
    for (const QString& child : node.children) RemoveSubtree(child);
    m_nodes.remove(key);
    if (m_selected == key) m_selected.clear();
}

void InMemoryHost::RemoveNode(const QString& key) {
    Record(QStringLiteral("RemoveNode(%1)").arg(Visible(key)));
    const auto it = m_nodes.constFind(key);
    if (it == m_nodes.constEnd()) {
        ++m_refused;
        return;
    }
    const QString parent = it->parent;
    if (parent.isEmpty())
        m_topLevel.removeAll(key);
    else
        m_nodes[parent].children.removeAll(key);
    RemoveSubtree(key);
}

void InMemoryHost::SelectNode(const QString& key) {
    Record(QStringLiteral("SelectNode(%1)").arg(Visible(key)));
    if (m_nodes.contains(key)) m_selected = key;
}

void InMemoryHost::GetSelectedNode(QString& first, QString& key, QString& third, QString& fourth) {
    Record(QStringLiteral("GetSelectedNode()"));
    key = m_selected;
    const Node* node = Find(m_selected);
    first = node ? node->parent : QString();
    third = node ? node->tag : QString();
    fourth = node ? node->text : QString();
}

void InMemoryHost::GetNodeInfo(const QString& key, QString& first, QString& third) {
    Record(QStringLiteral("GetNodeInfo(%1)").arg(Visible(key)));
    const Node* node = Find(key);
    first = node ? node->parent : QString();
    third = node ? node->tag : QString();
}

QStringList InMemoryHost::GetChildKeys(const QString& key, int relation) {
    Record(QStringLiteral("GetChildKeys(%1, %2)").arg(Visible(key)).arg(relation));
    const Node* node = Find(key);
    return node && relation == 1 ? node->children : QStringList();
}

QString InMemoryHost::GetNodeRelative(const QString& key, int relation) {
    Record(QStringLiteral("GetNodeRelative(%1, %2)").arg(Visible(key)).arg(relation));
    const Node* node = Find(key);
    if (!node) return QString();
    if (relation == 1) return node->parent;
    const QStringList& siblings = node->parent.isEmpty() ? m_topLevel : m_nodes[node->parent].children;
    const qsizetype at = siblings.indexOf(key) + (relation == 2 ? 1 : -1);
    return at >= 0 && at < siblings.size() ? siblings[at] : QString();
}

int InMemoryHost::GetNodeProperty(const QString& key, int propertyId, QVariant& value) {
    Record(QStringLiteral("GetNodeProperty(%1, %2)").arg(Visible(key)).arg(propertyId));
    const Node* node = Find(key);
    if (!node) return 1;
    switch (propertyId) {
        case kPropertyKey: value = node->key; break;
        case kPropertyText: value = node->text; break;
        default: value = node->properties.value(propertyId); break;
    }
    return 0;
}

void InMemoryHost::SetNodeProperty(const QString& key, int propertyId, const QVariant& value) {
    Record(QStringLiteral("SetNodeProperty(%1, %2, %3)").arg(Visible(key)).arg(propertyId).arg(Visible(value.toString())));
    if (!m_nodes.contains(key)) {
        ++m_refused;
        return;
    }
    if (propertyId == kPropertyText) {
        m_nodes[key].text = value.toString();
    } else if (propertyId == kPropertyKey) {
        const QString newKey = value.toString();
        if (newKey == key) return;
        if (newKey.isEmpty() || m_nodes.contains(newKey)) {
            ++m_refused;
            return;
        }
        Node node = m_nodes.take(key);
        node.key = newKey;
        for (const QString& child : node.children) m_nodes[child].parent = newKey;
        QStringList& siblings = node.parent.isEmpty() ? m_topLevel : m_nodes[node.parent].children;
        siblings[siblings.indexOf(key)] = newKey;
        if (m_selected == key) m_selected = newKey;
        m_nodes.insert(newKey, node);
    } else {
        m_nodes[key].properties.insert(propertyId, value);
    }
}

void InMemoryHost::FocusProjectTree() {
    Record(QStringLiteral("FocusProjectTree()"));
    m_treeFocus = true;
}

QString InMemoryHost::SelectVariable(const QString& currentText, int flags) {
    Record(QStringLiteral("SelectVariable(%1, %2)").arg(currentText).arg(flags));
    return m_variableAnswers.isEmpty() ? QString() : m_variableAnswers.takeFirst();
}

const InMemoryHost::Node* InMemoryHost::Find(const QString& key) const {
    const auto it = m_nodes.constFind(key);
    return it == m_nodes.constEnd() ? nullptr : &*it;
}

void InMemoryHost::Walk(const std::function<void(const Node&, int)>& visit) const {
    std::function<void(const QString&, int)> walk = [&](const QString& key, int depth) {
        const Node* node = Find(key);
        if (!node) return;
        visit(*node, depth);
        for (const QString& child : node->children) walk(child, depth + 1);
    };
    for (const QString& key : m_topLevel) walk(key, 0);
}

QString InMemoryHost::Dump() const {
    QString text;
    Walk([&text](const Node& node, int depth) {
        text += QString(depth * 2, u' ') + Visible(node.key) + u'\t' + node.text + u'\t' + node.image;
        const auto count = node.properties.constFind(kPropertyItemCount);
        if (count != node.properties.constEnd()) text += u'\t' + count->toString();
        text += u'\n';
    });
    return text;
}

}  // namespace ov::host
