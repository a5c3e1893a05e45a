#include "model/DeviceAddress.h"

namespace ov::model {

namespace {

// A version is a last "."-part that begins with a decimal digit.
bool IsVersion(const QString& part) {
    return !part.isEmpty() && part.front().isDigit() && part.front().unicode() < 128;
}

}  // namespace

double LeadingNumberOf(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ') ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) ++i;
    bool point = false;
    while (i < text.size() && ((text[i] >= u'0' && text[i] <= u'9') || (!point && text[i] == u'.'))) {
        point = point || text[i] == u'.';
        ++i;
    }
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    return ok ? value : 0.0;
}

QString OpcServerAddress::VersionedProgId() const {
    return version.isEmpty() ? progId : progId + u'.' + version;
}

QString OpcServerAddress::Stored() const {
    return (computer.isEmpty() ? QString() : u'<' + computer + u'>') + VersionedProgId();
}

OpcServerAddress ParseOpcServerProgId(const QVariant& stored) {
    OpcServerAddress address;
    QString rest = stored.isNull() ? QString() : stored.toString();
    if (rest.startsWith(u'<')) {
        // "<" without ">" names a computer and nothing else.
        const qsizetype close = rest.indexOf(u'>');
        address.computer = close < 0 ? rest.mid(1) : rest.mid(1, close - 1);
        rest = close < 0 ? QString() : rest.mid(close + 1);
    }
    const qsizetype dot = rest.lastIndexOf(u'.');
    if (dot >= 0 && IsVersion(rest.mid(dot + 1))) {
        address.version = rest.mid(dot + 1);
        rest.truncate(dot);
    }
    address.progId = rest;
    return address;
}

QString DriverAddress::Stored() const {
    return QStringLiteral("<%1>").arg(universalNumber) + driverName;
}

DriverAddress ParseDriverProgId(const QVariant& stored) {
    DriverAddress address;
    if (stored.isNull()) return address;
    const QString text = stored.toString();
    if (text.startsWith(u'<')) {
        const double number = LeadingNumberOf(text.mid(1));
        // Only a whole number that fits counts; "<1e9>" is no device number.
        address.universalNumber = number >= -2147483648.0 && number <= 2147483647.0 ? static_cast<int>(number) : 0;
    }
    const qsizetype close = text.indexOf(u'>');
    address.driverName = close < 0 ? QString() : text.mid(close + 1);
    return address;
}

namespace blobmode {

const std::array<Flag, 13> kFlags = {{
    {8, "chkSwapByte", 760, true},
    {16, "chkSwapFloat", 761, true},
    {32, "chkSwapInt", 762, true},
    {64, "chkConvertFloat", 763, false},
    {128, "chkUseSimulator", 741, false},
    {256, "chkSimulatorFromCompName", 742, false},
    {512, "chkSaveConfigPrivate", 743, false},
    {1024, "chkReadFromHardware", 764, false},
    {2048, "chkActivateItemStatic", 765, false},
    {4096, "chkDontReadInitValuesSynchron", 766, false},
    {8192, "chkUseCallbackInterfaceVersion1_0", 767, false},
    {16384, "chkDontUseShutdownInterface", 768, false},
    {static_cast<qint16>(-32768), "chkUnicodeStrings", 769, true},
}};

qint16 FromStored(const QVariant& stored) {
    return static_cast<qint16>(static_cast<quint16>(stored.toLongLong() & 0xFFFF));
}

}  // namespace blobmode

}  // namespace ov::model
