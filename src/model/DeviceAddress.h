#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <array>

namespace ov::model {

// What a device's ProgID says. An OPC server is "<computer>ProgID.version"
// with the computer and the version optional; an own driver is "<N>name"
// with N its universal device number.
struct OpcServerAddress {
    QString computer;
    QString progId;   // without the version
    QString version;  // empty when the last part does not start with a digit

    // The ProgID as the server is called: with ".version" when there is one.
    QString VersionedProgId() const;
    // The stored form.
    QString Stored() const;
};
OpcServerAddress ParseOpcServerProgId(const QVariant& stored);

struct DriverAddress {
    int universalNumber = 0;  // 0 when the text does not start with "<"
    QString driverName;

    QString Stored() const;
};
DriverAddress ParseDriverProgId(const QVariant& stored);

// The leading number of a text as the classic Val() reads it: blanks skipped,
// a sign, digits, one decimal point; 0 when there is none.
double LeadingNumberOf(const QString& text);

// BlobMode: the device kind in bits 0 to 2, option flags above; a 16-bit
// signed value, so the Unicode flag (bit 15) makes it negative.
namespace blobmode {
inline constexpr qint16 kBytestream = 0;
inline constexpr qint16 kIec1131 = 1;
inline constexpr qint16 kSingleVariables = 2;
inline constexpr qint16 kOwnDriver = 3;
inline constexpr int kFirstUniversalNumber = 1;
inline constexpr int kLastUniversalNumber = 5;

struct Flag {
    qint16 value;
    const char* checkBox;
    int caption;          // text number
    bool bytestreamOnly;  // kept only with structure access as bytestream
};
// In the order the flags are listed; the Unicode flag last.
extern const std::array<Flag, 13> kFlags;

inline qint16 Kind(qint16 blobMode) { return static_cast<qint16>(blobMode & 7); }
inline bool Has(qint16 blobMode, qint16 flag) { return static_cast<qint16>(blobMode & flag) == flag; }
// A stored value as the 16-bit signed number it is (other programs may have
// written it as 32768 and more).
qint16 FromStored(const QVariant& stored);
}  // namespace blobmode

}  // namespace ov::model
