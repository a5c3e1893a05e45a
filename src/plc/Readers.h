#pragma once

#include "plc/PlcProgram.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace ov::plc {

// Each reader takes a whole file and gives the program it holds, or nothing
// with a message naming the line or element it refuses; never a part of one.

// A TwinCAT symbol file (.tpy): its data types and symbols.
std::optional<PlcProgram> ReadTwinCatSymbols(const QByteArray& content, QString* error);
// A TIA Portal tag table exported as a workbook (.xlsx), sheet "PLC Tags".
std::optional<PlcProgram> ReadTiaTagTable(const QByteArray& content, QString* error);

}  // namespace ov::plc
