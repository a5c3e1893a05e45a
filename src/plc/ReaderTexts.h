#pragma once

// Texts the file readers share: where in a file, and the limit of variables.

#include "plc/PlcProgram.h"
#include "settings/TextTable.h"

#include <QLocale>
#include <QString>

namespace ov::plc {

// "Line 12" in the interface language.
inline QString LineText(qint64 line) {
    return settings::Text(9350).replace(QStringLiteral("<n>"), QString::number(line));
}

// The program holds more variables than an import takes; the number written
// the way the interface language writes numbers (500.000, 500,000).
inline QString TooManyVariables() {
    const bool german = settings::TextTable::Instance().Language() == settings::TextTable::kGerman;
    const QLocale locale(german ? QLocale::German : QLocale::English);
    return settings::Text(9349).replace(QStringLiteral("<n>"), locale.toString(kMaxVariables));
}

}  // namespace ov::plc
