#pragma once

#include "platform/host/HostStudio.h"

#include <QString>
#include <QStringList>

namespace ov::db {
class Connection;
}
namespace ov::model {
class DataConnection;
}

namespace ov::host {

// The editor's branch of the studio's project tree, built from the project
// database and kept current as items change. The nodes live in the studio;
// this class keeps no copy of them.
class ProjectTree {
public:
    // Item paths deeper than this many folder levels show their deeper
    // levels as part of the item name, counted in the deepest folder.
    static constexpr int kMaxBranchLevels = 128;

    explicit ProjectTree(HostStudio& host) : m_host(host) {}

    // Everything below "OPCE0": internal variables, devices with their item
    // folders, groups with their devices, unit classes, structures.
    void BuildBranch(model::DataConnection& data, const QString& identifyingField);

    // The folder nodes of one device, with their item counts.
    void AddItemBranches(db::Connection& connection, const QString& deviceKey, int deviceId,
                         const QString& identifyingField);

    // Branches follow item changes only where they are shown: not below a
    // group, an own-driver device or the internal variables.
    static bool MaintainsBranches(const QString& currentKey);
    void ItemAdded(const QString& deviceKey, const QString& itemPath);
    void ItemDeleted(const QString& deviceKey, const QString& itemPath);
    void ItemPathChanged(const QString& deviceKey, const QString& oldPath, const QString& newPath);
    // Many items at once (a paste, a delete, a folder renamed): each folder's
    // count is changed once, emptied folders go, new ones come.
    void ItemsChanged(const QString& deviceKey, const QStringList& removedPaths, const QStringList& addedPaths);

    // A device added to the database: its node with its folders below the
    // devices, and its node below every group.
    void AddDeviceNodes(db::Connection& connection, int deviceId, const QString& identifyingField);
    // The same from the device's values, without folders: its items bring
    // them as they come. Gives the device node's key.
    QString AddDeviceNodes(int deviceId, const QString& name, const QString& descriptor, const QString& separator,
                           bool ownDriver);
    // A device deleted: its node and its nodes below the groups go.
    void RemoveDeviceNodes(int deviceId);
    // The device's name or description changed: every node of it shows the new text.
    void RelabelDevice(int deviceId, const QString& text);
    // The key of the device's node below the devices, empty when it has none.
    QString DeviceNodeKey(int deviceId);

    // A group added: its node below the groups, with one node per device.
    void AddGroupNodes(db::Connection& connection, int groupId);
    // The same with one node per device the tree shows.
    void AddGroupNodes(int groupId, const QString& name);
    void RemoveGroupNode(int groupId);
    void RelabelGroup(int groupId, const QString& name);

    // Structures below "OPCS0"; unit classes below the process or view node.
    void AddStructureNode(int structureId, const QString& name);
    void AddUnitClassNode(int classId, bool process, const QString& name);
    // Removes or relabels the node of that key, whatever its kind.
    void RemoveNode(const QString& key);
    void Relabel(const QString& key, const QString& text);

    // Reads the device again, gives its node the new key and text and builds
    // its folders anew. Gives the new key (empty when the device is gone).
    QString RefreshDeviceNode(model::DataConnection& data, const QString& deviceKey, const QString& identifyingField);
    // The same without selecting the node.
    QString RekeyDevice(db::Connection& connection, const QString& deviceKey, const QString& identifyingField);

    // The keys of the folder levels an item path runs through.
    static QStringList LevelKeys(const QString& deviceKey, const QString& itemPath);
    static QString DeviceText(const QString& name, const QString& shortDescriptor);

private:
    void AddDevice(db::Connection& connection, const QString& parentKey, int id, const QString& name,
                   const QString& descriptor, const QString& separator, int blobMode, const QString& identifyingField);
    int BranchCount(const QString& key);

    HostStudio& m_host;
};

}  // namespace ov::host
