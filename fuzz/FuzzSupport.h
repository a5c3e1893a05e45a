#pragma once

// What the fuzz targets share: the input as text, a Qt application for
// the parts that need one, a folder of their own for files.

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>

namespace ov::fuzz {

inline QByteArray Bytes(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// UTF-8 as the programs read text; invalid sequences become U+FFFD.
inline QString Text(const std::uint8_t* data, std::size_t size) { return QString::fromUtf8(Bytes(data, size)); }

// The text before the first line end and the rest.
inline std::pair<QString, QString> TwoParts(const QString& text) {
    const qsizetype cut = text.indexOf(u'\n');
    return cut < 0 ? std::pair{text, QString()} : std::pair{text.left(cut), text.mid(cut + 1)};
}

inline void EnsureApplication() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;
}

inline const QTemporaryDir& WorkFolder() {
    static QTemporaryDir dir;
    return dir;
}

// A property the code promises, broken: a crash the fuzzer reports.
#define OV_FUZZ_CHECK(condition)                                                   \
    do {                                                                           \
        if (!(condition)) {                                                        \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                          \
        }                                                                          \
    } while (false)

}  // namespace ov::fuzz
