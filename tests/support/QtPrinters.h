#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <ostream>

// Readable values in test failures instead of byte dumps.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* out) {
    *out << '{';
    for (qsizetype i = 0; i < list.size(); ++i) *out << (i ? ", \"" : "\"") << list[i].toStdString() << '"';
    *out << '}';
}
inline void PrintTo(const QVariant& value, std::ostream* out) {
    *out << value.typeName() << '(' << value.toString().toStdString() << ')';
}
