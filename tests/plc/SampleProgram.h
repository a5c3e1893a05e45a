#pragma once

// The program both sample files describe (tests/fixtures/plc/sample.st and
// sample.plcopen.xml), as the readers must give it, and readable printing
// of the program's parts in test failures.

#include "plc/PlcProgram.h"
#include "support/QtPrinters.h"

#include <algorithm>
#include <ostream>

namespace ov::plc {

inline void PrintTo(const PlcType& type, std::ostream* out) {
    *out << type.dataType;
    if (!type.structure.isEmpty()) *out << ' ' << type.structure.toStdString();
    if (type.fieldSize) *out << '[' << type.fieldSize << ']';
}
inline void PrintTo(const PlcMember& member, std::ostream* out) {
    *out << member.name.toStdString() << " @" << member.orderNumber << ' ';
    PrintTo(member.type, out);
    *out << " // " << member.comment.toStdString();
}
inline void PrintTo(const PlcStructure& structure, std::ostream* out) {
    *out << structure.name.toStdString() << " // " << structure.comment.toStdString() << " {";
    for (const PlcMember& member : structure.members) {
        PrintTo(member, out);
        *out << "; ";
    }
    *out << '}';
}
inline void PrintTo(const PlcVariable& variable, std::ostream* out) {
    *out << variable.path.join(u'.').toStdString() << ' ';
    PrintTo(variable.type, out);
    *out << " at '" << variable.address.toStdString() << "' access " << variable.accessRights << " // "
         << variable.comment.toStdString() << " (" << variable.where.toStdString() << ')';
}

namespace sample {

enum class File { StructuredText, PlcOpen };

// The global variable list has a name in PLCopen XML only.
inline QStringList Path(File file, const char* scope, const char* name) {
    QStringList path;
    if (QByteArray(scope) == "GVL" ? file == File::PlcOpen : *scope != 0) path << QString::fromUtf8(scope);
    return path << QString::fromUtf8(name);
}

inline std::vector<PlcStructure> Structures() {
    const auto member = [](const char* name, PlcType type, double order, const char* comment = "") {
        return PlcMember{QString::fromUtf8(name), type, order, QString::fromUtf8(comment)};
    };
    // Bits packed from byte 0; Speed aligned to 4; the ten flags from 8.0 to
    // 9.1; the string at 10, 21 bytes; 32 bytes in all. Mode, an enumeration,
    // is an INT after the bit at 36.0.
    return {
        {QStringLiteral("ST_Motor"),
         {member("Running", {256, {}, 0}, 0.0, "Motor is running"),
          member("Fault", {256, {}, 0}, 0.1, "Drive reports a fault"), member("Speed", {4, {}, 0}, 4, "Speed in rpm"),
          member("Flags", {256, {}, 10}, 8.0), member("Name", {8, {}, 20}, 10, "Name shown on the panel")},
         QStringLiteral("A drive with its state")},
        {QStringLiteral("ST_Line"),
         {member("Id", {2, {}, 0}, 0), member("Motor", {12, QStringLiteral("ST_Motor"), 0}, 4, "The drive of the line"),
          member("Enabled", {256, {}, 0}, 36.0), member("Mode", {2, {}, 0}, 38)},
         QStringLiteral("One conveyor line")},
    };
}

struct Row {
    const char* scope;  // "GVL", "MAIN", "" for the constants
    const char* name;
    PlcType type;
    const char* address;
    int access;
    const char* comment;
    int lines[2];  // in sample.st, in sample.plcopen.xml
};

// "Line 12" as the tests read it (English).
inline QString LineOf(int line) { return QStringLiteral("Line %1").arg(line); }

inline std::vector<PlcVariable> Variables(File file) {
    const QString motor = QStringLiteral("ST_Motor");
    const Row rows[] = {
        {"GVL", "xStart", {11, {}, 0}, "I0.1", 1, "Start button", {34, 141}},
        {"GVL", "wSetpoint", {18, {}, 0}, "QW4", 3, "Setpoint of the drive", {35, 145}},
        {"GVL", "diCounter", {3, {}, 0}, "MD100", 3, "", {36, 149}},
        {"GVL", "liRaw", {20, {}, 0}, "", 1, "Raw value of the analyser", {37, 152}},
        {"GVL", "xSpare", {11, {}, 0}, "", 1, "", {38, 156}},
        {"GVL", "siOffset", {16, {}, 0}, "", 3, "", {39, 159}},
        {"GVL", "usiLevel", {17, {}, 0}, "", 3, "", {40, 162}},
        {"GVL", "byStatus", {17, {}, 0}, "", 3, "", {41, 165}},
        {"GVL", "iTemperature", {2, {}, 0}, "", 3, "Temperature in 0.1 °C", {43, 168}},
        {"GVL", "iLow", {2, {}, 0}, "", 3, "Alarm limits", {44, 172}},
        {"GVL", "iHigh", {2, {}, 0}, "", 3, "Alarm limits", {44, 176}},
        {"GVL", "uiCount", {18, {}, 0}, "", 3, "", {45, 180}},
        {"GVL", "dwFlags", {19, {}, 0}, "", 3, "", {46, 183}},
        {"GVL", "udiTotal", {19, {}, 0}, "", 3, "", {47, 186}},
        {"GVL", "uliEnergy", {21, {}, 0}, "", 3, "", {48, 189}},
        {"GVL", "lwMask", {21, {}, 0}, "", 3, "", {49, 192}},
        {"GVL", "rFlow", {4, {}, 0}, "", 3, "", {50, 195}},
        {"GVL", "lrVolume", {5, {}, 0}, "", 3, "", {51, 198}},
        {"GVL", "tCycle", {3, {}, 0}, "", 3, "", {52, 201}},
        {"GVL", "dToday", {7, {}, 0}, "", 3, "", {53, 204}},
        {"GVL", "todShift", {19, {}, 0}, "", 3, "", {54, 207}},
        {"GVL", "dtStamp", {7, {}, 0}, "", 3, "", {55, 210}},
        {"GVL", "sMessage", {8, {}, 20}, "", 3, "", {56, 213}},
        {"GVL", "wsText", {8, {}, 80}, "", 3, "", {57, 216}},
        {"GVL", "line1", {12, QStringLiteral("ST_Line"), 0}, "", 3, "Line 1", {58, 219}},
        {"GVL", "motors", {12, motor, 3}, "", 3, "", {59, 223}},
        {"GVL", "eMode", {2, {}, 0}, "", 3, "", {60, 226}},
        {"", "cMaxSpeed", {4, {}, 0}, "", 1, "Highest speed", {65, 235}},
        {"MAIN", "counter", {2, {}, 0}, "", 3, "Cycles since start", {70, 91}},
        {"MAIN", "steps", {2, {}, 3}, "", 3, "", {72, 98}},
        {"MAIN", "start", {11, {}, 0}, "", 3, "", {75, 111}},
        {"MAIN", "running", {11, {}, 0}, "", 3, "", {78, 116}},
    };
    const int column = file == File::StructuredText ? 0 : 1;
    std::vector<const Row*> ordered;
    for (const Row& row : rows) ordered.push_back(&row);
    // Variables come in the file's order.
    std::stable_sort(ordered.begin(), ordered.end(),
                     [column](const Row* a, const Row* b) { return a->lines[column] < b->lines[column]; });
    std::vector<PlcVariable> variables;
    for (const Row* row : ordered)
        variables.push_back({Path(file, row->scope, row->name), row->type, QString::fromUtf8(row->address),
                             QString::fromUtf8(row->comment), row->access, LineOf(row->lines[column])});
    return variables;
}

inline QStringList Notes(File file) {
    const bool st = file == File::StructuredText;
    const QString gvl = st ? QString() : QStringLiteral("GVL.");
    QStringList notes{
        LineOf(st ? 37 : 152) + QStringLiteral(": ") + gvl +
            QStringLiteral("liRaw keeps its name as item ID: \"%IL2\" is not an address the device reads"),
        LineOf(st ? 61 : 229) + QStringLiteral(": ") + gvl +
            QStringLiteral("valve1 is an instance of the function block FB_Valve and is left out"),
    };
    const QString timer = LineOf(st ? 71 : 95) + QStringLiteral(": MAIN.timer is an instance of the function block TON and is left out");
    if (st) notes.append(timer);
    else notes.prepend(timer);
    return notes;
}

}  // namespace sample

}  // namespace ov::plc
