#pragma once

#include <QString>
#include <optional>

namespace ov::model::units {

// A unit turns a raw value x into a physical value y = m·x + b, stored as two
// points. The unit dialog reads and shows its numbers in one way whatever the
// person's locale: "," and "." both are the decimal point, and numbers are
// shown with ".".

// The field types the numbers are read for (the database's codes).
enum class FieldType { SmallInt = 2, Integer = 3, Single = 4, Double = 5 };

bool IsIntegerType(FieldType type);

// The leading number of a text after every "," became "."; blanks are
// skipped and the number ends at the first character that cannot continue
// it. No number gives 0. Integer types take the largest integer not above
// the value. A number out of the type's range gives nothing.
std::optional<double> ParseChecked(const QString& text, FieldType type);
// The same, with 0 for a number out of range.
double Parse(const QString& text, FieldType type);

// The whole text is one number ("," or "." as the decimal point).
bool IsNumeric(const QString& text);

// Integer types: the integer part (d < 1), or the value with its decimal
// point moved d places to the left (d >= 1, 1234 with 2 shows 12.34).
// Floating types: the shortest form (d < 0), the largest integer not above
// the value (d = 0), or exactly d decimals (d > 0).
QString Format(double value, FieldType type, int digits);

// The straight line through two points; nothing when x1 equals x2.
struct Line {
    double m = 0;
    double b = 0;
};
std::optional<Line> LineThrough(double x1, double y1, double x2, double y2);

// The six parts of a predefined conversion "x1;y1;x2;y2;DecPointDisp;text";
// nothing when the string has fewer parts.
struct ConversionData {
    QString x1, y1, x2, y2, decimals, unitText;
};
std::optional<ConversionData> SplitConversionData(const QString& data);

// The decimal places a unit may show.
inline constexpr int kMaxDecimals = 15;

}  // namespace ov::model::units
