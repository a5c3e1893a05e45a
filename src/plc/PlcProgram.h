#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace ov::plc {

// The type of a variable or structure member as the project stores it.
struct PlcType {
    int dataType = 0;    // OLE variant code (CVT_Types); 12 for a structure, 256 for a bit member
    QString structure;   // the structure's name when dataType is 12
    int fieldSize = 0;   // elements of an array (all dimensions), characters of a string; 0 for one value

    bool operator==(const PlcType&) const = default;
};

// A member of a structure type, its order number its offset in the
// structure: the byte, for a bit member byte.bit ("3.5").
struct PlcMember {
    QString name;
    PlcType type;
    double orderNumber = 0;
    QString comment;

    bool operator==(const PlcMember&) const = default;
};

// A structure type (STRUCT, a TwinCAT data unit type): members in their order.
struct PlcStructure {
    QString name;
    std::vector<PlcMember> members;
    QString comment;

    bool operator==(const PlcStructure&) const = default;
};

// A variable the program declares globally or in a program.
struct PlcVariable {
    QStringList path;   // the symbol path: {"GVL", "Motor1"}, {"MAIN", "counter"}
    PlcType type;
    QString address;    // where it is located, in the device's form ("I0.1", "DB5.DBW2"); empty when not located
    QString comment;
    int accessRights = 3;  // 1 read (inputs and constants), 3 read and write
    QString where;         // the line or element that declares it, for messages

    bool operator==(const PlcVariable&) const = default;
};

// What a PLC program file holds for an HMI: its structure types (a type
// before every type that uses it) and its variables, in the file's order.
struct PlcProgram {
    QString format;  // the format's name as the person knows it
    std::vector<PlcStructure> structures;
    std::vector<PlcVariable> variables;
    // What was read in a way the person should know (a location that is no
    // address of the device, kept by its symbol path), one line each.
    QStringList notes;
};

// The most variables a program may have: beyond it the browse dialog and
// the project would be held up for minutes by one import.
inline constexpr int kMaxVariables = 500000;

}  // namespace ov::plc
