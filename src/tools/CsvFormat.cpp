#include "tools/CsvFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace ov::tools {

FieldKind FieldKindOf(db::DataType type) {
    switch (type) {
        case db::DataType::SmallInt:
        case db::DataType::Integer:
        case db::DataType::Single:
        case db::DataType::Double:
        case db::DataType::Currency:
        case db::DataType::UnsignedTinyInt:
        case db::DataType::BigInt:
            return FieldKind::Number;
        case db::DataType::Boolean:
            return FieldKind::Boolean;
        case db::DataType::VarWChar:
        case db::DataType::LongVarWChar:
            return FieldKind::Text;
        default:
            return FieldKind::Other;
    }
}

QString FormatField(const QVariant& value, FieldKind kind, const QLocale& locale) {
    if (value.isNull()) return QString();
    switch (kind) {
        case FieldKind::Number: {
            // Whole numbers as they are; others with up to 15 digits and the
            // locale's decimal point, no thousands separators, so a
            // spreadsheet reads them back.
            if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int)
                return QString::number(value.toLongLong());
            const double number = value.toDouble();
            if (number == std::trunc(number) && std::fabs(number) < 1e15) return QString::number(static_cast<qlonglong>(number));
            QString text = QString::number(number, 'g', 15);
            const QString point = locale.decimalPoint();
            if (point != QStringLiteral(".")) text.replace(u'.', point);
            return text;
        }
        case FieldKind::Boolean:
            return value.toLongLong() != 0 || (value.typeId() == QMetaType::Bool && value.toBool()) ? QStringLiteral("-1")
                                                                                                    : QStringLiteral("0");
        case FieldKind::Text: {
            QString text = value.toString();
            const bool quote = std::any_of(text.cbegin(), text.cend(), [](QChar c) {
                return c == u';' || c == u'"' || c == u'\r' || c == u'\n';
            });
            if (!quote) return text;
            text.replace(u'"', QStringLiteral("\"\""));
            return u'"' + text + u'"';
        }
        case FieldKind::Other:
            break;
    }
    return QString();
}

bool ReadsQuotedFields(QStringView line) { return line.startsWith(u'"') || line.contains(QStringLiteral(";\"")); }

void QuoteScanner::Feed(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (m_quoted) {
            if (c != u'"') {
                m_fieldEmpty = false;
            } else if (i + 1 < text.size() && text[i + 1] == u'"') {
                m_fieldEmpty = false;
                ++i;
            } else {
                m_quoted = false;
            }
        } else if (c == u';') {
            m_fieldEmpty = true;
        } else if (c == u'"' && m_fieldEmpty) {
            m_quoted = true;
        } else {
            m_fieldEmpty = false;
        }
    }
}

QStringList SplitCsvLine(QStringView line, int maxFields, bool* unterminated) {
    QStringList fields;
    if (unterminated) *unterminated = false;
    const auto keep = [&](QString field) {
        if (fields.size() < maxFields + 1) fields << std::move(field);
    };
    if (!ReadsQuotedFields(line)) {
        for (const QStringView part : line.split(u';')) keep(part.toString());
    } else {
        QString field;
        bool quoted = false;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const QChar c = line[i];
            if (quoted) {
                if (c != u'"') {
                    field += c;
                } else if (i + 1 < line.size() && line[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else if (c == u';') {
                keep(std::move(field));
                field.clear();
            } else if (c == u'"' && field.isEmpty()) {
                quoted = true;
            } else {
                field += c;
            }
        }
        keep(std::move(field));
        if (unterminated) *unterminated = quoted;
    }
    // One more than allowed is kept, so that a line too long never fits.
    if (fields.size() > maxFields) fields.erase(fields.begin() + maxFields + 1, fields.end());
    return fields;
}

std::optional<double> LeadingNumber(QStringView field) {
    // The number's characters, ASCII, with "." as the decimal point.
    char buffer[64];
    std::size_t n = 0;
    qsizetype i = 0;
    while (i < field.size() && field[i] == u' ') ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == u'-' || field[i] == u'+')) negative = field[i++] == u'-';
    bool digits = false;
    bool point = false;
    bool dropped = false;  // more digits than the buffer holds: too long for from_chars, read as text
    QString longNumber;
    for (; i < field.size(); ++i) {
        const char16_t c = field[i].unicode();
        if (c >= u'0' && c <= u'9') {
            digits = true;
        } else if ((c == u',' || c == u'.') && !point) {
            point = true;
        } else {
            break;
        }
        const char ascii = c == u',' ? '.' : static_cast<char>(c);
        if (n < sizeof buffer - 8) buffer[n++] = ascii;
        else dropped = true;
        longNumber += QLatin1Char(ascii);
    }
    if (!digits) return 0.0;
    // An exponent counts only with its digits ("2E3", not "2E").
    if (i + 1 < field.size() && (field[i] == u'e' || field[i] == u'E')) {
        qsizetype j = i + 1;
        QString exponent = QStringLiteral("e");
        if (j < field.size() && (field[j] == u'-' || field[j] == u'+')) exponent += field[j++];
        const qsizetype start = j;
        while (j < field.size() && field[j] >= u'0' && field[j] <= u'9') exponent += field[j++];
        if (j > start) {
            longNumber += exponent;
            dropped = true;  // exponents go the careful way
        }
    }
    double value = 0.0;
    if (!dropped) {
        if (std::from_chars(buffer, buffer + n, value).ec != std::errc()) return std::nullopt;
    } else {
        bool ok = false;
        value = longNumber.toDouble(&ok);
        if (!ok) return std::nullopt;
    }
    if (!std::isfinite(value)) return std::nullopt;
    return negative ? -value : value;
}

std::optional<ImportedValue> ImportField(const QString& field, FieldKind kind, db::DataType type, QString* error) {
    switch (kind) {
        case FieldKind::Number:
        case FieldKind::Boolean: {
            const std::optional<double> number = LeadingNumber(field);
            if (!number) {
                *error = QStringLiteral("\"%1\" is too large a number").arg(field.left(40));
                return std::nullopt;
            }
            if (kind == FieldKind::Boolean) return ImportedValue{QVariant(*number != 0.0)};
            const bool whole = type != db::DataType::Single && type != db::DataType::Double && type != db::DataType::Currency;
            if (whole) {
                // Beyond 64 bits is out of range.
                if (std::fabs(*number) >= 9.2e18) {
                    *error = QStringLiteral("\"%1\" is too large a number").arg(field.left(40));
                    return std::nullopt;
                }
                // As an assignment to a whole-number field always did: to the nearest, halves to even.
                return ImportedValue{QVariant(static_cast<qlonglong>(std::nearbyint(*number)))};
            }
            return ImportedValue{QVariant(*number)};
        }
        case FieldKind::Text:
            return ImportedValue{field.isEmpty() ? QVariant() : QVariant(field)};
        case FieldKind::Other:
            break;
    }
    return ImportedValue{QVariant(), false};
}

}  // namespace ov::tools
