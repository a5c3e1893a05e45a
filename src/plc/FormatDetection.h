#pragma once

#include <QByteArray>
#include <QString>

namespace ov::plc {

// The formats of PLC program files the editor reads.
enum class PlcFormat { Unknown, PlcOpenXml, StructuredText, TwinCatSymbols, TiaTagTable };

// How much of a file's beginning DetectFormat needs to tell its format.
inline constexpr int kDetectionBytes = 64 * 1024;

// The format of a file told by its beginning alone, never by its name: a
// zip archive is a TIA Portal tag table, XML whose root is a PLCopen
// project (TC6 2.0 or 2.01) PLCopen XML, XML whose root is PlcProjectInfo
// a TwinCAT symbol file, text with a TYPE, VAR_GLOBAL or PROGRAM
// declaration outside comments structured text; anything else Unknown.
PlcFormat DetectFormat(const QByteArray& head);

// Whether an XML namespace is one of the PLCopen TC6 schemas (2.0, 2.01).
bool IsPlcOpenNamespace(QStringView uri);

// The text of a source file: UTF-8 with or without a byte order mark,
// else Latin-1 (older tools write their sources in the Windows code page).
QString SourceText(const QByteArray& content);

}  // namespace ov::plc
