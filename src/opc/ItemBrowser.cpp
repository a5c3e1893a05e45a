#include "opc/ItemBrowser.h"

namespace ov::opc {

namespace {

const QString kStopped = QStringLiteral("Loading the address space was stopped.");

// Marks a long load while it runs; loads do not nest.
struct BusyScope {
    explicit BusyScope(bool& busy) : m_busy(busy) { m_busy = true; }
    ~BusyScope() { m_busy = false; }
    bool& m_busy;
};

}  // namespace

void ItemBrowser::Reset() {
    m_source.reset();
    m_existing.clear();
    m_ticked.clear();
    m_entries.clear();
    m_top.clear();
    m_started = false;
    m_separator = QStringLiteral(".");
}

void ItemBrowser::SetSeparator(int characterCode) {
    m_separator = characterCode > 0 ? QString(QChar(characterCode)) : QStringLiteral(".");
}

void ItemBrowser::SetExistingItems(std::vector<BrowseItem> items) {
    m_existing = std::move(items);
    m_ticked.clear();
    for (const BrowseItem& item : m_existing) m_ticked.insert(item.itemId.toCaseFolded());
}

void ItemBrowser::SetSource(std::unique_ptr<AddressSource> source) {
    m_source = std::move(source);
    m_entries.clear();
    m_top.clear();
    m_started = false;
}

bool ItemBrowser::Start(QString* error) {
    if (m_started) return true;
    if (!m_source) {
        *error = QStringLiteral("No address space to browse.");
        return false;
    }
    if (m_busy) return false;
    BusyScope busy(m_busy);
    if (!m_source->Open(error)) return false;
    m_started = LoadChildren(QString(), error);
    return m_started;
}

bool ItemBrowser::Report() { return !progress || progress(LoadedCount()); }

bool ItemBrowser::LoadChildren(const QString& nodeId, QString* error) {
    const int before = LoadedCount();
    const auto children = m_source->Children(nodeId.isEmpty() ? kObjectsFolder : nodeId, error,
                                             [this, before](int loaded) { return !progress || progress(before + loaded); });
    if (!children) return false;
    const Entry* parent = nodeId.isEmpty() ? nullptr : Find(nodeId);
    const QStringList parentNames = parent ? parent->names : QStringList();
    // Inserting may move the entries: the parent is looked up again after.
    std::vector<QString> list;
    for (const OpcNode& node : *children) {
        // A node reached over a second reference is shown where it was met first.
        if (m_entries.contains(node.nodeId)) continue;
        Entry entry;
        entry.node = node;
        entry.parent = nodeId;
        entry.names = parentNames;
        entry.names << node.browseName;
        entry.loaded = !node.hasChildren;
        m_entries.insert(node.nodeId, std::move(entry));
        list.push_back(node.nodeId);
    }
    std::vector<QString>& owner = nodeId.isEmpty() ? m_top : m_entries[nodeId].children;
    owner.insert(owner.end(), list.begin(), list.end());
    if (!nodeId.isEmpty()) m_entries[nodeId].loaded = true;
    return true;
}

bool ItemBrowser::Expand(const QString& nodeId, QString* error) {
    const Entry* entry = Find(nodeId);
    if (!entry) {
        *error = QStringLiteral("The address space has no node %1.").arg(nodeId);
        return false;
    }
    if (entry->loaded) return true;
    if (m_busy) return false;
    BusyScope busy(m_busy);
    return LoadChildren(nodeId, error);
}

bool ItemBrowser::LoadBelow(const QString& nodeId, QString* error) {
    std::vector<QString> pending{nodeId};
    while (!pending.empty()) {
        const QString id = pending.back();
        pending.pop_back();
        if (!Find(id)->loaded) {
            if (!Report()) {
                *error = kStopped;
                return false;
            }
            if (!LoadChildren(id, error)) return false;
        }
        for (const QString& child : Find(id)->children) pending.push_back(child);
    }
    return true;
}

bool ItemBrowser::ExpandAll(QString* error, bool systemNodes) {
    if (m_busy) return false;
    BusyScope busy(m_busy);
    const std::vector<QString> top = m_top;
    for (const QString& id : top)
        if ((systemNodes || !IsSystemNode(id)) && !LoadBelow(id, error)) return false;
    return true;
}

void ItemBrowser::CollectVariables(const QString& nodeId, std::vector<const Entry*>& out) const {
    std::vector<QString> pending{nodeId};
    while (!pending.empty()) {
        const Entry* entry = Find(pending.back());
        pending.pop_back();
        if (entry->node.isVariable) out.push_back(entry);
        for (const QString& child : entry->children) pending.push_back(child);
    }
}

bool ItemBrowser::SetTicked(const QString& nodeId, bool ticked, QString* error) {
    if (!Find(nodeId)) {
        *error = QStringLiteral("The address space has no node %1.").arg(nodeId);
        return false;
    }
    if (m_busy) return false;
    {
        BusyScope busy(m_busy);
        if (!LoadBelow(nodeId, error)) return false;
    }
    std::vector<const Entry*> variables;
    CollectVariables(nodeId, variables);
    for (const Entry* variable : variables) {
        const QString key = variable->node.nodeId.toCaseFolded();
        if (ticked)
            m_ticked.insert(key);
        else
            m_ticked.remove(key);
    }
    return true;
}

QString ItemBrowser::Resolve(const QString& path, QString* error) {
    QString current;
    for (const QString& name : path.split(u'/', Qt::SkipEmptyParts)) {
        if (!current.isEmpty() && !Expand(current, error)) return QString();
        const std::vector<QString>& children = current.isEmpty() ? m_top : Find(current)->children;
        QString next;
        for (const QString& child : children)
            if (Find(child)->node.browseName == name) next = child;
        if (next.isEmpty()) {
            *error = QStringLiteral("The address space has no node \"%1\".").arg(path);
            return QString();
        }
        current = next;
    }
    if (current.isEmpty()) *error = QStringLiteral("The address space has no node \"%1\".").arg(path);
    return current;
}

const ItemBrowser::Entry* ItemBrowser::Find(const QString& nodeId) const {
    const auto it = m_entries.constFind(nodeId);
    return it == m_entries.cend() ? nullptr : &*it;
}

bool ItemBrowser::IsSystemNode(const QString& nodeId) { return !nodeId.startsWith(QLatin1String("nsu=")); }

QHash<QString, int> ItemBrowser::CheckStates() const {
    QHash<QString, int> states;
    // Children before parents: a node's state folds its children's.
    const std::function<int(const QString&)> visit = [&](const QString& id) -> int {
        const Entry& entry = *Find(id);
        int state = 0;
        if (entry.node.isVariable) {
            state = IsTicked(entry.node.nodeId) ? 1 : 0;
        } else {
            bool any = false;
            bool all = true;
            for (const QString& child : entry.children) {
                const int childState = visit(child);
                any = any || childState != 0;
                all = all && childState == 1;
            }
            state = !any ? 0 : (all && entry.loaded ? 1 : 2);
        }
        states.insert(id, state);
        return state;
    };
    for (const QString& id : m_top) visit(id);
    return states;
}

std::vector<QString> ItemBrowser::Matches(const QString& text) const {
    std::vector<QString> found;
    const QString needle = text.trimmed();
    if (needle.isEmpty()) return found;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it)
        if (it->node.browseName.contains(needle, Qt::CaseInsensitive) ||
            it->node.displayName.contains(needle, Qt::CaseInsensitive))
            found.push_back(it.key());
    return found;
}

BrowseLists ItemBrowser::Lists() const {
    // In the order of the tree, so the new items arrive as the server lists them.
    std::vector<BrowseItem> ticked;
    std::vector<QString> pending(m_top.rbegin(), m_top.rend());
    while (!pending.empty()) {
        const Entry& entry = *Find(pending.back());
        pending.pop_back();
        if (entry.node.isVariable && IsTicked(entry.node.nodeId)) ticked.push_back(ItemOf(entry.node, entry.names, m_separator));
        pending.insert(pending.end(), entry.children.rbegin(), entry.children.rend());
    }
    CompareOptions options;
    options.nameFromItemId = nameFromItemId;
    // The device's items the person never saw stay ticked, and so stay.
    options.keep = [this](const BrowseItem& item) { return IsTicked(item.itemId); };
    return Compare(m_existing, ticked, options);
}

}  // namespace ov::opc
