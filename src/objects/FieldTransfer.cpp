#include "objects/FieldTransfer.h"

#include <cmath>

namespace ov::objects {

namespace {

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// The leading number of a text ("12abc" gives 12, "abc" gives 0, "1e12"
// gives 1e12 for a number with a fraction).
double LeadingNumber(QString text, bool whole) {
    text = text.trimmed().replace(u',', u'.');
    qsizetype end = 0;
    if (end < text.size() && (text[end] == u'-' || text[end] == u'+')) ++end;
    bool point = false;
    while (end < text.size() && (IsDigit(text[end]) || (!whole && !point && text[end] == u'.'))) {
        point = point || text[end] == u'.';
        ++end;
    }
    // An exponent counts only when digits follow it.
    if (!whole && end < text.size() && (text[end] == u'e' || text[end] == u'E')) {
        qsizetype exponent = end + 1;
        if (exponent < text.size() && (text[exponent] == u'-' || text[exponent] == u'+')) ++exponent;
        if (exponent < text.size() && IsDigit(text[exponent])) {
            while (exponent < text.size() && IsDigit(text[exponent])) ++exponent;
            end = exponent;
        }
    }
    const double value = text.left(end).toDouble();
    return std::isfinite(value) ? value : 0.0;
}

}  // namespace

QString ToDialogText(const QVariant& value) {
    if (value.isNull()) return QString();
    if (value.typeId() == QMetaType::Double) return QString::number(value.toDouble(), 'g', 15);
    const QString text = value.toString();
    return text == QString(QChar(0)) ? QString() : text;
}

QVariant FromDialogText(const QString& text, db::DataType type) {
    switch (type) {
        case db::DataType::SmallInt:
        case db::DataType::Integer:
        case db::DataType::BigInt:
        case db::DataType::UnsignedTinyInt:
            return static_cast<qlonglong>(LeadingNumber(text, true));
        case db::DataType::Single:
        case db::DataType::Double:
        case db::DataType::Currency:
            return LeadingNumber(text, false);
        default:
            return text.isEmpty() ? QString(QChar(0)) : text;
    }
}

}  // namespace ov::objects
