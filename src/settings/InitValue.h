#pragma once

#include <QLocale>
#include <QString>
#include <variant>

namespace ov::settings {

// The value of one setting. The settings file holds text, and these are the
// three kinds that text is read back as; nothing else is ever stored.
using InitValue = std::variant<bool, double, QString>;

// The value a settings text stands for. Leading blanks are dropped; exactly
// "TRUE", "True", "true" and "FALSE", "False", "false" are Booleans; a text
// starting with a digit is the number at its start, read with either "," or
// "." as the decimal separator ("8,25" and "8.25" both give 8.25, "12abc"
// gives 12); anything else stays text, so "-5" and "True " are strings.
InitValue ParseInitValue(const QString& text);

// The text written to the settings file: a string as it is, a Boolean as
// "True" or "False", a number in the locale's general number format without
// digit grouping (German "8,25", English "8.25", whole numbers without decimals).
QString FormatInitValue(const InitValue& value, const QLocale& locale);

}  // namespace ov::settings
