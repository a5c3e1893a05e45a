#pragma once

// The readers of PLC program files, one per format. Each gives the whole
// program, or nothing and a message naming the line or element it refuses.

#include "plc/PlcProgram.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace ov::plc {

// PLCopen XML (TC6 2.0 and 2.01): data types, global variables, program interfaces.
std::optional<PlcProgram> ReadPlcOpenXml(const QByteArray& content, QString* error);
// IEC 61131-3 structured text: TYPE, VAR_GLOBAL and PROGRAM declarations.
std::optional<PlcProgram> ReadStructuredText(const QByteArray& content, QString* error);
// A TwinCAT symbol file (.tpy): its data types and symbols.
std::optional<PlcProgram> ReadTwinCatSymbols(const QByteArray& content, QString* error);
// A TIA Portal tag table exported as a workbook (.xlsx), sheet "PLC Tags".
std::optional<PlcProgram> ReadTiaTagTable(const QByteArray& content, QString* error);

}  // namespace ov::plc

namespace ov::plc {

// A PLC program in any of the formats above, told by its content.
// Nothing, with a message, for content in none of them.
std::optional<PlcProgram> ReadPlcProgram(const QByteArray& content, QString* error);
// The same for a file; a file that cannot be read gives a message naming it.
std::optional<PlcProgram> ReadPlcProgramFile(const QString& path, QString* error);

}  // namespace ov::plc
