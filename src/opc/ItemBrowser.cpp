#include "opc/ItemBrowser.h"

#include <algorithm>

namespace ov::opc {

namespace {

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
    m_byFolder.clear();
    m_ticked.clear();
    m_entries.clear();
    m_top.clear();
    m_started = false;
    m_separator = QStringLiteral(".");
}

void ItemBrowser::SetSeparator(int characterCode) {
    m_separator = characterCode > 0 ? QString(QChar(characterCode)) : QStringLiteral(".");
    IndexExistingItems();
}

void ItemBrowser::SetExistingItems(std::vector<BrowseItem> items) {
    m_existing = std::move(items);
    m_ticked.clear();
    for (const BrowseItem& item : m_existing) m_ticked.insert(item.itemId.toCaseFolded());
    IndexExistingItems();
}

void ItemBrowser::IndexExistingItems() {
    m_byFolder.clear();
    for (int i = 0; i < static_cast<int>(m_existing.size()); ++i) {
        const BrowseItem& item = m_existing[i];
        // "Plant.Line1.Speed" belongs to the folder named Plant.Line1. Items
        // without a path stay out: the top is no folder anybody opened.
        const qsizetype cut = item.name.lastIndexOf(m_separator);
        if (cut > 0)
            m_byFolder.insert(QStringLiteral("n:") + item.name.left(cut).toCaseFolded(),
                              {i, item.name.mid(cut + m_separator.size())});
        // "nsu=urn:x;s=Plant.Line1.Speed" belongs to the node nsu=urn:x;s=Plant.Line1,
        // which covers items named by their IDs.
        const qsizetype semicolon = item.itemId.indexOf(u';');
        if (semicolon < 0 || item.itemId.mid(semicolon + 1, 2) != QLatin1String("s=")) continue;
        const qsizetype last = item.itemId.lastIndexOf(m_separator);
        if (last > semicolon + 3)
            m_byFolder.insert(QStringLiteral("i:") + item.itemId.left(last).toCaseFolded(),
                              {i, item.itemId.mid(last + m_separator.size())});
    }
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
    // A program is read whole: every folder shows the items it no longer
    // declares, so what left the program is offered for deletion.
    if (m_started && m_source->IsProgram()) {
        for (const QString& id : std::vector<QString>(m_top))
            if (!LoadBelow(id, error)) return m_started = false;
        AddTopGoneItems();
        if (tickWholeProgram) {
            std::vector<const Entry*> variables;
            for (const QString& id : m_top)
                if (!Find(id)->gone) CollectVariables(id, variables);
            for (const Entry* variable : variables) m_ticked.insert(variable->node.nodeId.toCaseFolded());
        }
    }
    return m_started;
}

bool ItemBrowser::Report() { return !progress || progress(LoadedCount()); }

bool ItemBrowser::LoadChildren(const QString& nodeId, QString* error) {
    const int before = LoadedCount();
    auto children = m_source->Children(nodeId.isEmpty() ? kObjectsFolder : nodeId, error,
                                       [this, before](int loaded) { return !progress || progress(before + loaded); });
    if (!children) return false;
    Insert(nodeId, std::move(*children));
    return true;
}

bool ItemBrowser::LoadSubtree(const QString& nodeId, QString* error) {
    const int before = LoadedCount();
    auto nodes = m_source->Subtree(nodeId, error, [this, before](int loaded) { return !progress || progress(before + loaded); });
    if (!nodes) return false;
    // Grouped by parent in the order met, so a parent is in place before its children.
    std::vector<QString> parents{nodeId};
    QHash<QString, std::vector<OpcNode>> children;
    children.insert(nodeId, {});
    for (SubtreeNode& listed : *nodes) {
        auto group = children.find(listed.parent);
        if (group == children.end()) {
            parents.push_back(listed.parent);
            group = children.insert(listed.parent, {});
        }
        group->push_back(std::move(listed.node));
    }
    for (const QString& parent : parents) {
        const Entry* entry = Find(parent);
        if (entry && !entry->loaded) Insert(parent, std::move(children[parent]));
    }
    return true;
}

void ItemBrowser::Insert(const QString& nodeId, std::vector<OpcNode> children) {
    const Entry* parent = nodeId.isEmpty() ? nullptr : Find(nodeId);
    const QStringList parentNames = parent ? parent->names : QStringList();
    // Inserting may move the entries: the parent is looked up again after.
    m_entries.reserve(m_entries.size() + static_cast<qsizetype>(children.size()));
    std::vector<QString> listed;
    listed.reserve(children.size());
    std::vector<QString> list;
    for (OpcNode& node : children) {
        listed.push_back(node.nodeId);
        // A node reached over a second reference is shown where it was met first.
        if (m_entries.contains(node.nodeId)) continue;
        DropGoneItem(node.nodeId);
        Entry entry;
        entry.parent = nodeId;
        entry.names = parentNames;
        entry.names << node.browseName;
        entry.loaded = !node.hasChildren;
        list.push_back(node.nodeId);
        const QString id = node.nodeId;
        entry.node = std::move(node);
        m_entries.emplace(id, std::move(entry));
    }
    std::vector<QString>& owner = nodeId.isEmpty() ? m_top : m_entries[nodeId].children;
    owner.insert(owner.end(), list.begin(), list.end());
    if (nodeId.isEmpty()) return;
    m_entries[nodeId].loaded = true;
    AddGoneItems(nodeId, listed);
}

void ItemBrowser::AddGoneItems(const QString& folderId, const std::vector<QString>& listedIds) {
    const QStringList folderNames = Find(folderId)->names;
    QList<std::pair<int, QString>> items = m_byFolder.values(QStringLiteral("n:") + ItemName(folderNames, m_separator).toCaseFolded());
    items += m_byFolder.values(QStringLiteral("i:") + folderId.toCaseFolded());
    if (items.isEmpty()) return;
    QSet<QString> listed;
    listed.reserve(static_cast<qsizetype>(listedIds.size()));
    for (const QString& id : listedIds) listed.insert(id.toCaseFolded());
    // In the device's order, each item once.
    std::sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    int previous = -1;
    for (const auto& [index, leaf] : items) {
        if (index == previous) continue;
        previous = index;
        const QString& itemId = m_existing[index].itemId;
        // Listed here, found elsewhere on the server, or already shown as gone.
        if (listed.contains(itemId.toCaseFolded()) || m_entries.contains(itemId) || m_entries.contains(GoneKey(itemId)))
            continue;
        Entry entry;
        entry.node.nodeId = itemId;
        entry.node.browseName = leaf;
        entry.node.displayName = leaf;
        entry.node.isVariable = true;
        entry.parent = folderId;
        entry.names = folderNames;
        entry.names << leaf;
        entry.loaded = true;
        entry.gone = true;
        m_entries.insert(GoneKey(itemId), std::move(entry));
        m_entries[folderId].goneItems.push_back(GoneKey(itemId));
        // Shown unticked: OK deletes it unless the person ticks it again.
        m_ticked.remove(itemId.toCaseFolded());
    }
}

void ItemBrowser::AddTopGoneItems() {
    // The rest of the device's items, found in no folder of the program, at the top under their names.
    for (const BrowseItem& item : m_existing) {
        const QString key = GoneKey(item.itemId);
        if (m_entries.contains(item.itemId) || m_entries.contains(key)) continue;
        Entry entry;
        entry.node.nodeId = item.itemId;
        entry.node.browseName = entry.node.displayName = item.name;
        entry.node.isVariable = true;
        entry.names = QStringList{item.name};
        entry.loaded = true;
        entry.gone = true;
        m_entries.insert(key, std::move(entry));
        m_top.push_back(key);
        m_ticked.remove(item.itemId.toCaseFolded());
    }
}

void ItemBrowser::DropGoneItem(const QString& itemId) {
    // The node turned up after all, in a folder loaded later: the item is
    // on the server and ticked as the device's items arrive.
    const QString key = GoneKey(itemId);
    const Entry* gone = Find(key);
    if (!gone) return;
    std::erase(m_entries[gone->parent].goneItems, key);
    m_entries.remove(key);
    m_ticked.insert(itemId.toCaseFolded());
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
    // One subtree call loads it all; what a depth limit of the source left
    // unloaded is fetched the same way from there.
    std::vector<QString> pending{nodeId};
    while (!pending.empty()) {
        const QString id = pending.back();
        pending.pop_back();
        if (!Find(id)->loaded) {
            if (!Report()) {
                *error = kLoadStopped;
                return false;
            }
            if (!LoadSubtree(id, error)) return false;
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
        const QString id = pending.back();
        const Entry* entry = Find(id);
        pending.pop_back();
        // A property goes with a tick of its own only, not with its variable's or folder's.
        if (entry->node.isVariable && (!entry->node.isProperty || id == nodeId)) out.push_back(entry);
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

bool ItemBrowser::IsSystemNode(const QString& nodeId) const {
    return !(m_source && m_source->IsProgram()) && !nodeId.startsWith(QLatin1String("nsu="));
}

QHash<QString, int> ItemBrowser::CheckStates() const {
    QHash<QString, int> states;
    // Children before parents: a node's state folds its children's.
    const std::function<int(const QString&)> visit = [&](const QString& id) -> int {
        const Entry& entry = *Find(id);
        bool any = false;
        bool all = true;
        for (const QString& child : entry.children) {
            const int childState = visit(child);
            // Properties are ticked by themselves and say nothing about their folder.
            if (Find(child)->node.isProperty) continue;
            any = any || childState != 0;
            all = all && childState == 1;
        }
        for (const QString& gone : entry.goneItems) states.insert(gone, IsTicked(Find(gone)->node.nodeId) ? 1 : 0);
        int state = 0;
        if (entry.node.isVariable) state = IsTicked(entry.node.nodeId) ? 1 : 0;
        else state = !any ? 0 : (all && entry.loaded ? 1 : 2);
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
        // The device's items no longer in the space stay by their tick alone (options.keep).
        if (entry.node.isVariable && !entry.gone && IsTicked(entry.node.nodeId))
            ticked.push_back(ItemOf(entry.node, entry.names, m_separator));
        pending.insert(pending.end(), entry.children.rbegin(), entry.children.rend());
    }
    CompareOptions options;
    options.nameFromItemId = nameFromItemId;
    options.compareStructure = m_source && m_source->IsProgram();
    // The device's items the person never saw stay ticked, and so stay.
    options.keep = [this](const BrowseItem& item) { return IsTicked(item.itemId); };
    return Compare(m_existing, ticked, options);
}

}  // namespace ov::opc
