#pragma once

#include <QChar>
#include <QString>

namespace ov::host {

// Tree node keys: a four-letter kind ("OPCE", "OPCD", "OPCG", "OPCU", "OPCS")
// and an ID, then further fields after the character 255.
namespace nodekey {

inline const QChar kSeparator = QChar(0xFF);

inline const QString kRoot = QStringLiteral("OPCE0");
inline const QString kInternal = QStringLiteral("OPCD0");
inline const QString kExternal = QStringLiteral("OPCD");
inline const QString kGroups = QStringLiteral("OPCG0");
inline const QString kUnits = QStringLiteral("OPCU0");
inline const QString kStructures = QStringLiteral("OPCS0");

QString Kind(const QString& key);
// The number after the kind, before the first separator; -1 when the key is too short.
int NodeId(const QString& key);
// Between the first and the second separator: a device's item separator or a unit branch letter.
QString SecondField(const QString& key);
// The device mode letter: "D" own driver, "O" OPC server.
QString ModeLetter(const QString& key);
// The number after the first separator (a device below a group), -1 when there is none.
int SubId(const QString& key);
// A device node itself, not one of its item branches.
bool IsDeviceNode(const QString& key);
// The item folder path of an item branch key, empty for other keys.
QString BranchPath(const QString& key);
// The device key an item branch belongs to (the key itself for a device).
QString DeviceKeyOf(const QString& key);

QString DeviceKey(int deviceId, const QString& separator, bool ownDriver);
QString ProcessUnitsKey();
QString ViewUnitsKey();
QString UnitClassKey(int id, bool process);
QString GroupKey(int id);
QString GroupDeviceKey(int groupId, int deviceId);
QString StructureKey(int id);

int HelpTopic(const QString& key);
QString ImageKey(const QString& key);

}  // namespace nodekey

// Images of the editor's nodes, handed to the studio at start.
namespace images {
inline const QString kEditor = QStringLiteral("icoOPCEditor");
inline const QString kInternal = QStringLiteral("icoVarIntern");
inline const QString kDevice = QStringLiteral("icoOPCDevice");
inline const QString kItemBranch = QStringLiteral("icoItemBranch");
inline const QString kGroup = QStringLiteral("icoOPCGroup");
inline const QString kUnit = QStringLiteral("icoOPCUnit");
inline const QString kStructure = QStringLiteral("icoOPCStruct");
}  // namespace images

}  // namespace ov::host
