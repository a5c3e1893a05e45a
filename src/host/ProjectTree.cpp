#include "host/ProjectTree.h"

#include "platform/db/Cursor.h"

#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "platform/db/Recordset.h"
#include "settings/TextTable.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <vector>

namespace ov::host {

namespace {

constexpr int kOwnDriverMode = 3;
constexpr NodeFlags kFolderFlags{true, false, false, false};
constexpr NodeFlags kObjectFlags{false, false, false, false};
constexpr NodeFlags kBranchFlags{false, true, false, false};

QString Str(db::Recordset& rs, const char* field) { return rs.Value(QString::fromUtf8(field)).toString(); }
int Int(db::Recordset& rs, const char* field) { return rs.Value(QString::fromUtf8(field)).toInt(); }

QStringList SplitPath(const QString& path, const QString& separator) {
    if (separator.isEmpty()) return {path};
    return path.split(separator);
}

}  // namespace

QString ProjectTree::DeviceText(const QString& name, const QString& shortDescriptor) {
    // An empty text is stored as one U+0000 character; it shows as nothing.
    const auto shown = [](const QString& text) { return text == QString(QChar(0)) ? QString() : text; };
    return shown(name) + QStringLiteral(": ") + shown(shortDescriptor);
}

QStringList ProjectTree::LevelKeys(const QString& deviceKey, const QString& itemPath) {
    const QString separator = nodekey::SecondField(deviceKey);
    QStringList keys;
    if (separator.isEmpty() || separator == QString(QChar(0))) return keys;
    const QStringList parts = SplitPath(itemPath, separator);
    const qsizetype levels = std::min<qsizetype>(parts.size() - 1, kMaxBranchLevels);
    QString key = deviceKey + nodekey::kSeparator;
    for (qsizetype level = 0; level < levels; ++level) {
        key += (level == 0 ? QString() : separator) + parts[level];
        keys << key;
    }
    return keys;
}

void ProjectTree::BuildBranch(model::DataConnection& data, const QString& identifyingField) {
    using settings::Text;
    db::Connection& connection = data.Connection();
    m_host.AddNode(nodekey::kRoot, Text(506), nodekey::kInternal, QString(), images::kInternal, kFolderFlags);
    m_host.AddNode(nodekey::kRoot, Text(504), nodekey::kExternal, QString(), images::kDevice, kFolderFlags);

    struct Device {
        int id;
        QString name, descriptor, separator;
        int blobMode;
    };
    std::vector<Device> devices;
    {
        db::Recordset rs;
        rs.Open(QStringLiteral("SELECT * FROM TpdbDevices"), connection);
        for (; !rs.IsEOF(); rs.MoveNext())
            devices.push_back({Int(rs, "ID"), Str(rs, "Name"), Str(rs, "ShortDescriptor"),
                               Str(rs, "HierarchBrowseSeparator"), Int(rs, "BlobMode")});
    }
    for (const Device& d : devices)
        AddDevice(connection, nodekey::kExternal, d.id, d.name, d.descriptor, d.separator, d.blobMode, identifyingField);

    m_host.AddNode(nodekey::kRoot, Text(503), nodekey::kGroups, QString(), images::kGroup, kFolderFlags);
    db::Recordset groups;
    groups.Open(QStringLiteral("SELECT * FROM TpdbGroups"), connection);
    for (; !groups.IsEOF(); groups.MoveNext()) {
        const int groupId = Int(groups, "ID");
        const QString groupKey = nodekey::GroupKey(groupId);
        m_host.AddNode(nodekey::kGroups, Str(groups, "Name"), groupKey, QString(), images::kGroup, kObjectFlags);
        for (const Device& d : devices)
            m_host.AddNode(groupKey, DeviceText(d.name, d.descriptor), nodekey::GroupDeviceKey(groupId, d.id), QString(),
                           images::kGroup, kObjectFlags);
    }

    m_host.AddNode(nodekey::kRoot, Text(502), nodekey::kUnits, QString(), images::kUnit, kFolderFlags);
    m_host.AddNode(nodekey::kUnits, Text(507), nodekey::ProcessUnitsKey(), QString(), images::kUnit, kFolderFlags);
    m_host.AddNode(nodekey::kUnits, Text(508), nodekey::ViewUnitsKey(), QString(), images::kUnit, kFolderFlags);
    db::Recordset classes;
    classes.Open(QStringLiteral("SELECT * FROM TpdbUnitClasses"), connection);
    for (; !classes.IsEOF(); classes.MoveNext()) {
        const int switchType = Int(classes, "SwitchType");
        if (switchType != 0 && switchType != 1) continue;  // other kinds of class are not shown
        const bool process = switchType == 0;
        m_host.AddNode(process ? nodekey::ProcessUnitsKey() : nodekey::ViewUnitsKey(), Str(classes, "Name"),
                       nodekey::UnitClassKey(Int(classes, "ID"), process), QString(), images::kUnit, kObjectFlags);
    }

    m_host.AddNode(nodekey::kRoot, Text(505), nodekey::kStructures, QString(), images::kStructure, kFolderFlags);
    db::Recordset structures;
    structures.Open(QStringLiteral("SELECT * FROM TpdbStructDefs"), connection);
    for (; !structures.IsEOF(); structures.MoveNext())
        m_host.AddNode(nodekey::kStructures, Str(structures, "Name"), nodekey::StructureKey(Int(structures, "ID")),
                       QString(), images::kStructure, kObjectFlags);
}

void ProjectTree::AddDevice(db::Connection& connection, const QString& parentKey, int id, const QString& name,
                            const QString& descriptor, const QString& separator, int blobMode,
                            const QString& identifyingField) {
    const QString key = nodekey::DeviceKey(id, separator, blobMode == kOwnDriverMode);
    m_host.AddNode(parentKey, DeviceText(name, descriptor), key, QString(), images::kDevice, kObjectFlags);
    AddItemBranches(connection, key, id, identifyingField);
}

void ProjectTree::AddItemBranches(db::Connection& connection, const QString& deviceKey, int deviceId,
                                  const QString& identifyingField) {
    const QString separator = nodekey::SecondField(deviceKey);
    if (separator.isEmpty() || separator == QString(QChar(0))) return;
    // The identifying field in its own order: the items of a folder come
    // one after the other, so a folder's levels are worked out once per
    // folder, not once per item.
    db::Cursor items(connection, QStringLiteral("SELECT %1 FROM TpdbItems WHERE DeviceID = %2 ORDER BY %1")
                                     .arg(identifyingField == QStringLiteral("Name") ? QStringLiteral("Name") : QStringLiteral("ItemAccess"))
                                     .arg(deviceId));
    QHash<QString, int> indexOfKey;  // node key -> place in order and counts
    QStringList order;
    std::vector<int> counts;
    const QByteArray separatorBytes = separator.toUtf8();
    // The folder part of the previous item, as stored; none before the
    // first item, and an item without separator has none either, which is
    // not the empty folder of a name that starts with the separator.
    QByteArray folder;
    enum class Previous { Nothing, NoFolder, Folder } previous = Previous::Nothing;
    std::vector<int> levels;         // its levels' places
    while (items.Next()) {
        // Compared as the database keeps it: a text is made only for a new folder.
        const QByteArrayView bytes = items.Utf8(0);
        const qsizetype cut = bytes.lastIndexOf(separatorBytes);
        const Previous now = cut < 0 ? Previous::NoFolder : Previous::Folder;
        if (now != previous || (cut >= 0 && bytes.first(cut) != QByteArrayView(folder))) {
            folder = cut < 0 ? QByteArray() : bytes.first(cut).toByteArray();
            previous = now;
            levels.clear();
            const QString path = QString::fromUtf8(bytes);
            const QStringList keys = LevelKeys(deviceKey, path);
            const QStringList parts = SplitPath(path, separator);
            for (qsizetype level = 0; level < keys.size(); ++level) {
                auto it = indexOfKey.constFind(keys[level]);
                if (it == indexOfKey.cend()) {
                    it = indexOfKey.insert(keys[level], static_cast<int>(order.size()));
                    order << keys[level];
                    counts.push_back(0);
                    m_host.AddNode(level == 0 ? deviceKey : keys[level - 1], parts[level], keys[level], QString(),
                                   images::kItemBranch, kBranchFlags);
                }
                levels.push_back(*it);
            }
        }
        for (const int level : levels) ++counts[static_cast<std::size_t>(level)];
    }
    for (qsizetype i = 0; i < order.size(); ++i)
        m_host.SetNodeProperty(order[i], kPropertyItemCount, QString::number(counts[static_cast<std::size_t>(i)]));
}

bool ProjectTree::MaintainsBranches(const QString& currentKey) {
    const QString kind = nodekey::Kind(currentKey);
    if (kind == QStringLiteral("OPCG")) return false;
    if (kind == QStringLiteral("OPCD")) {
        if (nodekey::NodeId(currentKey) == 0) return false;
        if (nodekey::ModeLetter(currentKey) == QStringLiteral("D")) return false;
    }
    return true;
}

int ProjectTree::BranchCount(const QString& key) {
    QVariant value;
    if (m_host.GetNodeProperty(key, kPropertyItemCount, value) != 0) return -1;
    return value.toString().toInt();
}

void ProjectTree::ItemAdded(const QString& deviceKey, const QString& itemPath) {
    const QStringList keys = LevelKeys(deviceKey, itemPath);
    const QStringList parts = SplitPath(itemPath, nodekey::SecondField(deviceKey));
    for (qsizetype level = 0; level < keys.size(); ++level) {
        const int count = BranchCount(keys[level]);
        if (count < 0) {
            m_host.AddNode(level == 0 ? deviceKey : keys[level - 1], parts[level], keys[level], QStringLiteral("1"),
                           images::kItemBranch, kBranchFlags);
            m_host.SetNodeProperty(keys[level], kPropertyItemCount, QStringLiteral("1"));
        } else {
            m_host.SetNodeProperty(keys[level], kPropertyItemCount, QString::number(count + 1));
        }
    }
}

void ProjectTree::ItemDeleted(const QString& deviceKey, const QString& itemPath) {
    const QStringList keys = LevelKeys(deviceKey, itemPath);
    // Deepest first, so an emptied folder goes before its parent is looked at.
    for (qsizetype level = keys.size() - 1; level >= 0; --level) {
        const int count = BranchCount(keys[level]);
        if (count < 0) continue;
        if (count <= 1)
            m_host.RemoveNode(keys[level]);
        else
            m_host.SetNodeProperty(keys[level], kPropertyItemCount, QString::number(count - 1));
    }
}

void ProjectTree::ItemPathChanged(const QString& deviceKey, const QString& oldPath, const QString& newPath) {
    if (oldPath == newPath) return;
    ItemDeleted(deviceKey, oldPath);
    ItemAdded(deviceKey, newPath);
}

void ProjectTree::ItemsChanged(const QString& deviceKey, const QStringList& removedPaths, const QStringList& addedPaths) {
    const QString separator = nodekey::SecondField(deviceKey);
    if (separator.isEmpty() || separator == QString(QChar(0))) return;
    QHash<QString, int> delta;
    struct NewNode {
        QString parent, text, key;
    };
    std::vector<NewNode> created;  // parents before children, in the order met
    QSet<QString> known;           // keys looked up in the tree already
    QString lastFolder;
    QStringList lastKeys, lastParts;
    bool haveLast = false;
    const auto account = [&](const QString& path, int change) {
        // Paths of one folder follow each other: its levels are worked out once.
        const qsizetype cut = path.lastIndexOf(separator);
        const QString folder = cut < 0 ? QString() : path.left(cut);
        if (!haveLast || folder != lastFolder) {
            lastFolder = folder;
            haveLast = true;
            lastKeys = LevelKeys(deviceKey, path);
            lastParts = SplitPath(path, separator);
        }
        for (qsizetype level = 0; level < lastKeys.size(); ++level) {
            const QString& key = lastKeys[level];
            delta[key] += change;
            if (change > 0 && !known.contains(key)) {
                known.insert(key);
                if (BranchCount(key) < 0) created.push_back({level == 0 ? deviceKey : lastKeys[level - 1], lastParts[level], key});
            }
        }
    };
    for (const QString& path : removedPaths) account(path, -1);
    haveLast = false;
    for (const QString& path : addedPaths) account(path, +1);
    // A new folder gets its count once, below, with the others.
    QSet<QString> createdKeys;
    for (const NewNode& node : created) {
        m_host.AddNode(node.parent, node.text, node.key, QStringLiteral("1"), images::kItemBranch, kBranchFlags);
        createdKeys.insert(node.key);
    }
    // Deepest first, so an emptied folder goes before its parent is looked at.
    QStringList keys = delta.keys();
    std::sort(keys.begin(), keys.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& key : keys) {
        const int count = createdKeys.contains(key) ? 0 : BranchCount(key);
        if (count < 0) continue;
        const int updated = count + delta.value(key);
        if (updated <= 0)
            m_host.RemoveNode(key);
        else if (updated != count || createdKeys.contains(key))
            m_host.SetNodeProperty(key, kPropertyItemCount, QString::number(updated));
    }
}

void ProjectTree::AddDeviceNodes(db::Connection& connection, int deviceId, const QString& identifyingField) {
    db::Recordset rs;
    rs.Open(QStringLiteral("SELECT * FROM TpdbDevices WHERE ID =%1").arg(deviceId), connection);
    if (rs.IsEOF()) return;
    const QString key = AddDeviceNodes(deviceId, Str(rs, "Name"), Str(rs, "ShortDescriptor"),
                                       Str(rs, "HierarchBrowseSeparator"), Int(rs, "BlobMode") == kOwnDriverMode);
    AddItemBranches(connection, key, deviceId, identifyingField);
}

QString ProjectTree::AddDeviceNodes(int deviceId, const QString& name, const QString& descriptor,
                                    const QString& separator, bool ownDriver) {
    const QString key = nodekey::DeviceKey(deviceId, separator, ownDriver);
    const QString text = DeviceText(name, descriptor);
    m_host.AddNode(nodekey::kExternal, text, key, QString(), images::kDevice, kObjectFlags);
    for (const QString& groupKey : m_host.GetChildKeys(nodekey::kGroups, 1))
        m_host.AddNode(groupKey, text, nodekey::GroupDeviceKey(nodekey::NodeId(groupKey), deviceId), QString(),
                       images::kGroup, kObjectFlags);
    return key;
}

QString ProjectTree::DeviceNodeKey(int deviceId) {
    for (const QString& key : m_host.GetChildKeys(nodekey::kExternal, 1))
        if (nodekey::NodeId(key) == deviceId) return key;
    return QString();
}

void ProjectTree::RemoveDeviceNodes(int deviceId) {
    for (const QString& groupKey : m_host.GetChildKeys(nodekey::kGroups, 1))
        m_host.RemoveNode(nodekey::GroupDeviceKey(nodekey::NodeId(groupKey), deviceId));
    const QString key = DeviceNodeKey(deviceId);
    if (!key.isEmpty()) m_host.RemoveNode(key);
}

void ProjectTree::RelabelDevice(int deviceId, const QString& text) {
    const QString key = DeviceNodeKey(deviceId);
    if (!key.isEmpty()) m_host.SetNodeProperty(key, kPropertyText, text);
    for (const QString& groupKey : m_host.GetChildKeys(nodekey::kGroups, 1)) {
        const QString child = nodekey::GroupDeviceKey(nodekey::NodeId(groupKey), deviceId);
        QVariant probe;
        if (m_host.GetNodeProperty(child, kPropertyText, probe) == 0) m_host.SetNodeProperty(child, kPropertyText, text);
    }
}

void ProjectTree::AddGroupNodes(db::Connection& connection, int groupId) {
    db::Recordset group;
    group.Open(QStringLiteral("SELECT Name FROM TpdbGroups WHERE ID =%1").arg(groupId), connection);
    if (group.IsEOF()) return;
    const QString groupKey = nodekey::GroupKey(groupId);
    m_host.AddNode(nodekey::kGroups, Str(group, "Name"), groupKey, QString(), images::kGroup, kObjectFlags);
    db::Recordset devices;
    devices.Open(QStringLiteral("SELECT ID, Name, ShortDescriptor FROM TpdbDevices"), connection);
    for (; !devices.IsEOF(); devices.MoveNext())
        m_host.AddNode(groupKey, DeviceText(Str(devices, "Name"), Str(devices, "ShortDescriptor")),
                       nodekey::GroupDeviceKey(groupId, Int(devices, "ID")), QString(), images::kGroup, kObjectFlags);
}

void ProjectTree::AddGroupNodes(int groupId, const QString& name) {
    const QString groupKey = nodekey::GroupKey(groupId);
    m_host.AddNode(nodekey::kGroups, name, groupKey, QString(), images::kGroup, kObjectFlags);
    for (const QString& deviceKey : m_host.GetChildKeys(nodekey::kExternal, 1)) {
        QVariant text;
        m_host.GetNodeProperty(deviceKey, kPropertyText, text);
        m_host.AddNode(groupKey, text.toString(), nodekey::GroupDeviceKey(groupId, nodekey::NodeId(deviceKey)), QString(),
                       images::kGroup, kObjectFlags);
    }
}

void ProjectTree::RemoveGroupNode(int groupId) { m_host.RemoveNode(nodekey::GroupKey(groupId)); }

void ProjectTree::RelabelGroup(int groupId, const QString& name) { Relabel(nodekey::GroupKey(groupId), name); }

void ProjectTree::AddStructureNode(int structureId, const QString& name) {
    m_host.AddNode(nodekey::kStructures, name, nodekey::StructureKey(structureId), QString(), images::kStructure,
                   kObjectFlags);
}

void ProjectTree::AddUnitClassNode(int classId, bool process, const QString& name) {
    m_host.AddNode(process ? nodekey::ProcessUnitsKey() : nodekey::ViewUnitsKey(), name,
                   nodekey::UnitClassKey(classId, process), QString(), images::kUnit, kObjectFlags);
}

void ProjectTree::RemoveNode(const QString& key) { m_host.RemoveNode(key); }

void ProjectTree::Relabel(const QString& key, const QString& text) {
    QVariant shown;
    if (m_host.GetNodeProperty(key, kPropertyText, shown) == 0 && shown.toString() != text)
        m_host.SetNodeProperty(key, kPropertyText, text);
}

QString ProjectTree::RefreshDeviceNode(model::DataConnection& data, const QString& deviceKey,
                                       const QString& identifyingField) {
    const QString newKey = RekeyDevice(data.Connection(), deviceKey, identifyingField);
    if (!newKey.isEmpty()) m_host.SelectNode(newKey);
    return newKey;
}

QString ProjectTree::RekeyDevice(db::Connection& connection, const QString& deviceKey, const QString& identifyingField) {
    const int id = nodekey::NodeId(nodekey::DeviceKeyOf(deviceKey));
    db::Recordset rs;
    rs.Open(QStringLiteral("SELECT * FROM TpdbDevices WHERE ID =%1").arg(id), connection);
    if (rs.IsEOF()) return QString();
    const int blobMode = Int(rs, "BlobMode");
    const QString newKey = nodekey::DeviceKey(id, Str(rs, "HierarchBrowseSeparator"), blobMode == kOwnDriverMode);
    m_host.SetNodeProperty(deviceKey, kPropertyKey, newKey);
    m_host.SetNodeProperty(newKey, kPropertyText, DeviceText(Str(rs, "Name"), Str(rs, "ShortDescriptor")));
    for (const QString& child : m_host.GetChildKeys(newKey, 1)) m_host.RemoveNode(child);
    AddItemBranches(connection, newKey, id, identifyingField);
    return newKey;
}

}  // namespace ov::host
