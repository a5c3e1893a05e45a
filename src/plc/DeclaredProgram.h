#pragma once

#include "plc/PlcProgram.h"
#include "plc/PlcTypes.h"
#include "plc/ReaderTexts.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <optional>
#include <vector>

namespace ov::plc {

// A variable as a source without offsets declares it, its type as written.
struct DeclaredVariable {
    QStringList path;
    QString type;      // "ARRAY[0..7] OF BOOL", "ST_Motor", "TON"
    QString location;  // "%IX0.1"; empty when not located
    QString comment;
    bool constant = false;
    QString where;  // "Line 12"
};

// What a reader of a source without offsets (structured text, PLCopen XML)
// collects in its one pass, before any name is resolved: a type may be
// used before it is declared.
struct DeclaredProgram {
    QString format;
    std::vector<DeclaredStructure> structures;
    // Other named types, by folded name: aliases with the type they stand
    // for, enumerations as INT (the PLC holds an enumeration's value as an INT).
    QHash<QString, QString> aliases;
    QSet<QString> functionBlocks;  // folded names of the program's function blocks
    std::vector<DeclaredVariable> variables;
};

// The program with every name resolved: aliases replaced, structures laid
// out, variables typed and located. An instance of a function block (the
// program's own or a standard one such as TON) is left out with a note, and
// so is the address of a location the device cannot read. Nothing, with a
// message naming the place, for an unknown type or types in a cycle.
std::optional<PlcProgram> Resolve(const DeclaredProgram& declared, QString* error);

}  // namespace ov::plc
