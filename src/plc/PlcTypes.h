#pragma once

#include "plc/PlcProgram.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace ov::plc {

// An elementary IEC 61131-3 type (also in the spellings of the common PLC
// tools, "Bool", "DWord", "Time_Of_Day"): its variant code and its size in
// bytes (a BOOL counts one byte outside a structure, one bit inside).
struct ElementaryType {
    int dataType = 0;
    int bytes = 0;
};
std::optional<ElementaryType> FindElementaryType(const QString& name);

// A type as written in a declaration: an elementary type, STRING(20),
// STRING[20], WSTRING, ARRAY[0..7] OF BOOL, ARRAY[1..2, 0..3] OF INT, or
// the name of a structure (also quoted, "Motor_UDT"). isStructure tells
// whether a name is one of the program's structure types. Nothing, with a
// message, for an unknown type or an array bound that is no number.
std::optional<PlcType> ParseType(const QString& text, const std::function<bool(const QString&)>& isStructure,
                                 QString* error);

// A structure type as a text source declares it: its members in order,
// each with the type as written.
struct DeclaredStructure {
    QString name;
    struct Member {
        QString name;
        QString type;
        QString comment;
    };
    std::vector<Member> members;
    QString comment;
    QString where;  // for messages
};

// The structures of a source without offsets (structured text, PLCopen XML)
// laid out the usual way: BOOLs packed as bits, every other member aligned
// to its size (a structure to its largest member, a string to its
// characters). Returns them with a type before the types that use it;
// nothing, with a message naming the structure, for an unknown type, an
// array bound that is no number, or types nested in a cycle.
std::optional<std::vector<PlcStructure>> LayOut(const std::vector<DeclaredStructure>& declared, QString* error);

// The structures of the list sorted so that each comes after the ones it
// uses; nothing, with a message, when they nest in a cycle or a member
// names a structure that is not in the list.
std::optional<std::vector<PlcStructure>> InUseOrder(std::vector<PlcStructure> structures, QString* error);

// A located variable's place as the device's address: "%IX0.1" and "%I0.1"
// become "I0.1", "%QW4" "QW4", "%MD100" "MD100", "%DB5.DBW2" "DB5.DBW2".
// An empty text for a location left open ("%I*"); nothing, with a message,
// for a location the device cannot read.
std::optional<QString> DeviceAddress(const QString& location, QString* error);

// "Line 12: <message>" and the like: where a reader met what it refuses.
QString AtPlace(const QString& where, const QString& message);

}  // namespace ov::plc
