#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace ov::test {

// Writes a whole file, replacing what was there. Gives the path, or an
// empty text when the file could not be written.
inline QString WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size()) return {};
    return path;
}

// The bytes of a whole file, or "<missing>" when it cannot be read.
inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

}  // namespace ov::test
