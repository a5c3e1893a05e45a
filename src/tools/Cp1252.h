#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace ov::tools {

// Windows-1252, the ANSI code page of the files spreadsheets exchange with
// the editor: Latin-1 with printable characters (€, „, ‰, ...) in 0x80 to
// 0x9F. A character the code page lacks is written as "?".
QString DecodeCp1252(const QByteArray& bytes);
QByteArray EncodeCp1252(QStringView text);

}  // namespace ov::tools
