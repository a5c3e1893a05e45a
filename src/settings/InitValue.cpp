#include "settings/InitValue.h"

#include <charconv>
#include <cmath>

namespace ov::settings {

namespace {

bool IsDecimalDigit(QChar c) { return c >= u'0' && c <= u'9'; }

QString FormatNumber(double value, const QLocale& locale) {
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    if (value == 0) return plain.toString(0.0, 'f', 0);  // no "-0"
    // Exponents only where plain digits would run long, as the general number format does.
    const double magnitude = std::abs(value);
    const char format = std::isfinite(value) && magnitude >= 1e-4 && magnitude < 1e15 ? 'f' : 'g';
    return plain.toString(value, format, QLocale::FloatingPointShortest);
}

}  // namespace

InitValue ParseInitValue(const QString& text) {
    qsizetype start = 0;
    while (start < text.size() && text.at(start) == u' ') ++start;
    const QString value = text.mid(start);
    if (value == u"TRUE" || value == u"True" || value == u"true") return true;
    if (value == u"FALSE" || value == u"False" || value == u"false") return false;
    if (value.isEmpty() || !IsDecimalDigit(value.front())) return value;

    // The defaults were written with a decimal comma, files by any locale:
    // both separators mean the same here.
    const std::string ascii = QString(value).replace(u',', u'.').toStdString();
    double number = 0;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), number);
    if (error != std::errc() || end == ascii.data()) return value;
    return number;
}

QString FormatInitValue(const InitValue& value, const QLocale& locale) {
    if (const auto* flag = std::get_if<bool>(&value)) return *flag ? QStringLiteral("True") : QStringLiteral("False");
    if (const auto* number = std::get_if<double>(&value)) return FormatNumber(*number, locale);
    return std::get<QString>(value);
}

}  // namespace ov::settings
