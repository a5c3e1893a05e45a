#include "model/UnitConversion.h"

#include <QLocale>
#include <QStringList>
#include <cfloat>
#include <charconv>
#include <cmath>

namespace ov::model::units {

namespace {

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }
bool IsBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// The number at the start of a text, blanks left out: sign, digits, one
// decimal point, an exponent only when digits follow it.
QString LeadingNumberText(const QString& text) {
    QString compact;
    compact.reserve(text.size());
    for (QChar c : text)
        if (!IsBlank(c)) compact += c == u',' ? u'.' : c;
    qsizetype end = 0;
    if (end < compact.size() && (compact[end] == u'-' || compact[end] == u'+')) ++end;
    bool digits = false, point = false;
    while (end < compact.size() && (IsDigit(compact[end]) || (!point && compact[end] == u'.'))) {
        digits = digits || IsDigit(compact[end]);
        point = point || compact[end] == u'.';
        ++end;
    }
    if (!digits) return QString();
    if (end < compact.size() && (compact[end] == u'e' || compact[end] == u'E')) {
        qsizetype exponent = end + 1;
        if (exponent < compact.size() && (compact[exponent] == u'-' || compact[exponent] == u'+')) ++exponent;
        if (exponent < compact.size() && IsDigit(compact[exponent])) {
            while (exponent < compact.size() && IsDigit(compact[exponent])) ++exponent;
            end = exponent;
        }
    }
    return compact.left(end);
}

bool InRange(double value, FieldType type) {
    switch (type) {
        case FieldType::SmallInt:
            return value >= -32768.0 && value <= 32767.0;
        case FieldType::Integer:
            return value >= -2147483648.0 && value <= 2147483647.0;
        case FieldType::Single:
            return std::isfinite(value) && std::fabs(value) <= FLT_MAX;
        case FieldType::Double:
            return std::isfinite(value);
    }
    return false;
}

// "-0" is shown as "0".
double NoNegativeZero(double value) { return value == 0.0 ? 0.0 : value; }

// At most 15 significant digits: all a double holds exactly in decimal, so
// 0.1 + 0.2 shows as 0.3 and reads back as the same 15-digit value.
QString Shortest(double value) {
    QString text = QString::number(NoNegativeZero(value), 'g', 15);
    if (text.startsWith(u'.')) text.prepend(u'0');
    return text.isEmpty() ? QStringLiteral("0") : text;
}

QString Whole(double value) { return QString::number(NoNegativeZero(value), 'f', 0); }

}  // namespace

bool IsIntegerType(FieldType type) { return type == FieldType::SmallInt || type == FieldType::Integer; }

std::optional<double> ParseChecked(const QString& text, FieldType type) {
    const QByteArray number = LeadingNumberText(text).toLatin1();
    double value = 0.0;
    if (!number.isEmpty()) {
        // from_chars knows no "+" sign and reads the same in every locale.
        const char* begin = number.constData() + (number.startsWith('+') ? 1 : 0);
        const auto [end, error] = std::from_chars(begin, number.constData() + number.size(), value);
        if (error == std::errc::result_out_of_range) {
            // Too small to tell from 0 is 0; too large is no number.
            const QByteArray unsignedNumber = number.startsWith('-') || number.startsWith('+') ? number.mid(1) : number;
            const bool tiny = number.contains("e-") || number.contains("E-") || unsignedNumber.startsWith('.') ||
                              unsignedNumber.startsWith("0.");
            if (!tiny) return std::nullopt;
            value = 0.0;
        } else if (error != std::errc()) {
            value = 0.0;
        }
    }
    if (IsIntegerType(type)) value = std::floor(value);
    if (!InRange(value, type)) return std::nullopt;
    return NoNegativeZero(value);
}

double Parse(const QString& text, FieldType type) { return ParseChecked(text, type).value_or(0.0); }

bool IsNumeric(const QString& text) {
    QString normal = text.trimmed();
    normal.replace(u',', u'.');
    if (normal.isEmpty()) return false;
    bool ok = false;
    const double value = QLocale::c().toDouble(normal, &ok);
    return ok && std::isfinite(value);
}

QString Format(double value, FieldType type, int digits) {
    if (IsIntegerType(type)) {
        if (digits < 1) return Whole(std::trunc(value));
        return Shortest(value / std::pow(10.0, digits));
    }
    if (digits < 0) return Shortest(value);
    if (digits == 0) return Whole(std::floor(value));
    // More decimals than a double holds only add zeros.
    return QString::number(NoNegativeZero(value), 'f', std::min(digits, 30));
}

std::optional<Line> LineThrough(double x1, double y1, double x2, double y2) {
    if (x1 == x2) return std::nullopt;
    const double m = (y2 - y1) / (x2 - x1);
    if (!std::isfinite(m)) return std::nullopt;
    return Line{m, y1 - m * x1};
}

std::optional<ConversionData> SplitConversionData(const QString& data) {
    const QStringList parts = data.split(u';');
    if (parts.size() < 6) return std::nullopt;
    return ConversionData{parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]};
}

}  // namespace ov::model::units
