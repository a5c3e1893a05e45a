#pragma once

#include "platform/db/DbTypes.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace ov::tools {

// How a column's values are written to and read from a CSV field.
enum class FieldKind { Number, Boolean, Text, Other };
FieldKind FieldKindOf(db::DataType type);

// The field of a value: numbers in the locale's general format (1,5 under
// German settings), Booleans as -1 and 0, texts as they are, in double
// quotes with inner quotes doubled when they hold ";", a double quote, a CR
// or an LF (so every text reads back as it was, and spreadsheets read it
// too); Null texts and columns of other types as an empty field.
QString FormatField(const QVariant& value, FieldKind kind, const QLocale& locale);

// Whether a line is read character by character: it holds ";" directly
// followed by a double quote, or begins with a double quote.
bool ReadsQuotedFields(QStringView line);

// The fields of a line (a record: line breaks inside quotes belong to their
// field). A line that ReadsQuotedFields is read character by character
// (";" inside quotes is text, "" is one quote); any other is split at every ";". At most maxFields + 1 are kept,
// so a longer line keeps a wrong count without growing without bound.
// unterminated is set for a quote that is never closed.
QStringList SplitCsvLine(QStringView line, int maxFields, bool* unterminated = nullptr);

// Follows the double quotes of a record as SplitCsvLine reads them, one
// physical line after the other, to tell whether a quoted field is still
// open at the end of a line: its line break then belongs to the field.
class QuoteScanner {
  public:
    void Feed(QStringView text);
    bool Open() const { return m_quoted; }

  private:
    bool m_quoted = false;
    bool m_fieldEmpty = true;
};

// The leading number of a field: blanks, a sign, digits with "," or "." as
// decimal separator, an exponent. 0 when there is none; nothing when the
// number is too large for a double ("1e999").
std::optional<double> LeadingNumber(QStringView field);

// The value a field gives its column: numbers from the leading number,
// Booleans true for a number other than 0, texts as they are (an empty field
// is Null), nothing for other columns. Nothing with a message for a number
// out of range.
struct ImportedValue {
    QVariant value;
    bool write = true;  // false: the column receives no value
};
std::optional<ImportedValue> ImportField(const QString& field, FieldKind kind, db::DataType type, QString* error);

}  // namespace ov::tools
