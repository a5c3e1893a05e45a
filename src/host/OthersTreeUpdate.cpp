#include "host/OthersTreeUpdate.h"

#include "host/NodeKey.h"
#include "host/ProjectTree.h"

#include <utility>

namespace ov::host {

namespace {

constexpr int kOwnDriverMode = 3;

bool Is(const QString& table, const char* name) { return table.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; }

QString Text(const QVariantMap& row, const char* column) { return row.value(QLatin1String(column)).toString(); }
int Number(const QVariantMap& row, const char* column) { return row.value(QLatin1String(column)).toInt(); }

// Unit classes of other kinds than process (0) and view (1) have no node.
QString UnitClassNode(const db::OthersChange& change, const QVariantMap& row) {
    if (row.isEmpty()) return QString();
    const int switchType = Number(row, "SwitchType");
    if (switchType != 0 && switchType != 1) return QString();
    return nodekey::UnitClassKey(static_cast<int>(change.key), switchType == 0);
}

}  // namespace

OthersTreeUpdate::OthersTreeUpdate(HostStudio& host, ProjectTree& tree, db::Connection& connection,
                                   QString identifyingField)
    : m_host(host), m_tree(tree), m_connection(connection), m_field(std::move(identifyingField)) {}

bool OthersTreeUpdate::HasNode(const QString& key) {
    QVariant ignored;
    return !key.isEmpty() && m_host.GetNodeProperty(key, kPropertyKey, ignored) == 0;
}

OthersTreeUpdate::Outcome OthersTreeUpdate::Apply(const std::vector<db::OthersChange>& changes,
                                                  const QString& currentKey) {
    m_items.clear();
    m_foldersDone.clear();
    Outcome outcome;
    // The user's node and those above it, nearest first, as they are now.
    QStringList above;
    QVariant currentText;
    if (HasNode(currentKey)) {
        m_host.GetNodeProperty(currentKey, kPropertyText, currentText);
        for (QString key = currentKey; !key.isEmpty(); key = m_host.GetNodeRelative(key, 1)) above << key;
    }
    // Items are only gathered on the way: their folders follow once the
    // devices of this round are in place.
    for (const db::OthersChange& change : changes) {
        if (Is(change.table, "TpdbItems")) Item(change);
        else if (Is(change.table, "TpdbDevices")) Device(change, currentKey, outcome);
        else if (Is(change.table, "TpdbGroups")) Group(change);
        else if (Is(change.table, "TpdbStructDefs")) Structure(change);
        else if (Is(change.table, "TpdbUnitClasses")) UnitClass(change);
    }
    ApplyItems();
    if (above.isEmpty() || HasNode(currentKey)) return outcome;
    for (const QString& key : above)
        if (HasNode(key)) {
            outcome.shownKey = key;
            outcome.lostText = currentText.toString();
            break;
        }
    return outcome;
}

void OthersTreeUpdate::Device(const db::OthersChange& change, const QString& currentKey, Outcome& outcome) {
    const int id = static_cast<int>(change.key);
    const QVariantMap& row = change.after;
    if (row.isEmpty()) {
        m_tree.RemoveDeviceNodes(id);
        return;
    }
    const QString oldKey = m_tree.DeviceNodeKey(id);
    const QString separator = Text(row, "HierarchBrowseSeparator");
    const bool ownDriver = Number(row, "BlobMode") == kOwnDriverMode;
    if (oldKey.isEmpty()) {
        // Without folders: the device's items come after it in the log and bring them.
        m_tree.AddDeviceNodes(id, Text(row, "Name"), Text(row, "ShortDescriptor"), separator, ownDriver);
        return;
    }
    const QString text = ProjectTree::DeviceText(Text(row, "Name"), Text(row, "ShortDescriptor"));
    if (change.before.isEmpty() ||
        text != ProjectTree::DeviceText(Text(change.before, "Name"), Text(change.before, "ShortDescriptor")))
        m_tree.RelabelDevice(id, text);
    if (nodekey::DeviceKey(id, separator, ownDriver) == oldKey) return;
    // Another separator cuts the item names into other folders: only the
    // database can tell them all, unless the user works in that device.
    m_foldersDone.insert(id);
    if (nodekey::DeviceKeyOf(currentKey) == oldKey)
        outcome.waitsForRefresh = true;
    else
        m_tree.RekeyDevice(m_connection, oldKey, m_field);
}

void OthersTreeUpdate::Group(const db::OthersChange& change) {
    const int id = static_cast<int>(change.key);
    const QString key = nodekey::GroupKey(id);
    if (change.after.isEmpty()) {
        if (HasNode(key)) m_tree.RemoveGroupNode(id);
    } else if (!HasNode(key)) {
        m_tree.AddGroupNodes(id, Text(change.after, "Name"));
    } else {
        m_tree.RelabelGroup(id, Text(change.after, "Name"));
    }
}

void OthersTreeUpdate::Structure(const db::OthersChange& change) {
    const int id = static_cast<int>(change.key);
    const QString key = nodekey::StructureKey(id);
    if (change.after.isEmpty()) {
        if (HasNode(key)) m_tree.RemoveNode(key);
    } else if (!HasNode(key)) {
        m_tree.AddStructureNode(id, Text(change.after, "Name"));
    } else {
        m_tree.Relabel(key, Text(change.after, "Name"));
    }
}

void OthersTreeUpdate::UnitClass(const db::OthersChange& change) {
    const QString oldKey = UnitClassNode(change, change.before);
    const QString newKey = UnitClassNode(change, change.after);
    if (oldKey != newKey && HasNode(oldKey)) m_tree.RemoveNode(oldKey);
    if (newKey.isEmpty()) return;
    if (!HasNode(newKey))
        m_tree.AddUnitClassNode(static_cast<int>(change.key), Number(change.after, "SwitchType") == 0,
                                Text(change.after, "Name"));
    else
        m_tree.Relabel(newKey, Text(change.after, "Name"));
}

void OthersTreeUpdate::Item(const db::OthersChange& change) {
    const bool had = !change.before.isEmpty();
    const bool has = !change.after.isEmpty();
    const QString& field = m_field;
    const int fromDevice = had ? Number(change.before, "DeviceID") : -1;
    const int toDevice = has ? Number(change.after, "DeviceID") : -1;
    const QString fromPath = had ? change.before.value(field).toString() : QString();
    const QString toPath = has ? change.after.value(field).toString() : QString();
    // Most changes leave the item where it is: nothing for the folders.
    if (had && has && fromDevice == toDevice && fromPath == toPath) return;
    if (had) m_items[fromDevice].removed << fromPath;
    if (has) m_items[toDevice].added << toPath;
}

void OthersTreeUpdate::ApplyItems() {
    if (m_items.isEmpty()) return;
    QHash<int, QString> deviceKeys;
    for (const QString& key : m_host.GetChildKeys(nodekey::kExternal, 1)) deviceKeys.insert(nodekey::NodeId(key), key);
    for (auto it = m_items.cbegin(); it != m_items.cend(); ++it) {
        const QString key = deviceKeys.value(it.key());
        // A device gone, read anew, or one whose folders the editor does not keep.
        if (key.isEmpty() || m_foldersDone.contains(it.key()) || !ProjectTree::MaintainsBranches(key)) continue;
        m_tree.ItemsChanged(key, it->removed, it->added);
    }
}

}  // namespace ov::host
