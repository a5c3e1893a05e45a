#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace ov::opc {

// One node of an OPC UA address space as the editor needs it: objects
// (folders) and variables below the server's Objects folder.
struct OpcNode {
    // "i=85" for namespace 0, else with the namespace URI, which survives a
    // server that renumbers its namespaces: "nsu=urn:plant;s=Line1.Speed".
    QString nodeId;
    QString browseName;
    QString displayName;
    bool isVariable = false;
    bool hasChildren = false;
    // Reached from its parent over HasProperty or a subtype (EURange and
    // the like): an item only when ticked by itself.
    bool isProperty = false;
    // Variables: the built-in type the DataType is or derives from
    // ("Double", "Int32", ...; "Unknown" when the chain ends nowhere).
    QString dataType;
    int valueRank = -1;
    std::vector<quint32> arrayDimensions;
    int accessLevel = 0;  // bit 1 read, bit 2 write

    // A variable a PLC program declares comes with its item fields as the
    // program gives them; a server's variable has them derived from the above.
    struct Declared {
        int dataType = 0;     // VT code, 12 for a structure
        int fieldSize = 0;
        int accessRights = 3;
        QString structure;    // the structure's name when dataType is 12
        QString comment;
    };
    std::optional<Declared> declared;
};

// The node id of the Objects folder, below which items are looked for.
inline const QString kObjectsFolder = QStringLiteral("i=85");

// The classic item fields of a variable.
int ClassicDataType(const OpcNode& variable);   // VT code, 8192 added for arrays
int ClassicAccessRights(int accessLevel);       // 1 read, 2 write, 3 both, 0 neither
int ClassicFieldSize(const OpcNode& variable);  // elements of an array, else 0

// "nsu=<uri>;..." for a node id of a namespace other than 0; ";" and "%" in
// the URI are escaped so the id stays one string that splits at its first ";".
QString NodeIdWithUri(const QString& namespaceUri, const QString& identifier);

}  // namespace ov::opc
