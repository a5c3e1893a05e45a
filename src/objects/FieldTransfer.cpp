#include "objects/FieldTransfer.h"

namespace ov::objects {

namespace {

// The leading number of a text ("12abc" gives 12, "abc" gives 0).
double LeadingNumber(QString text, bool whole) {
    text = text.trimmed().replace(u',', u'.');
    qsizetype end = 0;
    if (end < text.size() && (text[end] == u'-' || text[end] == u'+')) ++end;
    bool point = false;
    while (end < text.size() && (text[end].isDigit() || (!whole && !point && text[end] == u'.'))) {
        point = point || text[end] == u'.';
        ++end;
    }
    return text.left(end).toDouble();
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
