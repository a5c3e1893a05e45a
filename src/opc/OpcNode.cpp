#include "opc/OpcNode.h"

#include <QHash>

namespace ov::opc {

namespace {

constexpr int kArrayFlag = 8192;
constexpr int kVariant = 12;
constexpr int kByte = 17;

}  // namespace

int ClassicDataType(const OpcNode& variable) {
    if (variable.declared) return variable.declared->dataType;
    // Texts in all their forms (identifiers, names, XML) become strings, a
    // status code its 32-bit number; structures, variants and what has no
    // built-in type stay variants.
    static const QHash<QString, int> codes{
        {QStringLiteral("Boolean"), 11},      {QStringLiteral("SByte"), 16},         {QStringLiteral("Byte"), 17},
        {QStringLiteral("Int16"), 2},         {QStringLiteral("UInt16"), 18},        {QStringLiteral("Int32"), 3},
        {QStringLiteral("UInt32"), 19},       {QStringLiteral("Int64"), 20},         {QStringLiteral("UInt64"), 21},
        {QStringLiteral("Float"), 4},         {QStringLiteral("Double"), 5},         {QStringLiteral("String"), 8},
        {QStringLiteral("DateTime"), 7},      {QStringLiteral("LocalizedText"), 8},  {QStringLiteral("Guid"), 8},
        {QStringLiteral("NodeId"), 8},        {QStringLiteral("ExpandedNodeId"), 8}, {QStringLiteral("QualifiedName"), 8},
        {QStringLiteral("XmlElement"), 8},    {QStringLiteral("StatusCode"), 19}};
    const bool array = variable.valueRank >= 1 || !variable.arrayDimensions.empty();
    if (variable.dataType == QStringLiteral("ByteString")) {
        // A byte string is an array of bytes; an array of them has no classic type.
        return array ? kVariant | kArrayFlag : kByte | kArrayFlag;
    }
    const int code = codes.value(variable.dataType, kVariant);
    return array ? code | kArrayFlag : code;
}

int ClassicAccessRights(int accessLevel) {
    const bool read = (accessLevel & 1) != 0, write = (accessLevel & 2) != 0;
    if (read && write) return 3;
    if (write) return 2;
    return read ? 1 : 0;
}

int ClassicFieldSize(const OpcNode& variable) {
    if (variable.arrayDimensions.empty()) return 0;
    qint64 size = 1;
    for (const quint32 dimension : variable.arrayDimensions) {
        size *= dimension;
        if (size == 0 || size > 0x7fffffff) return 0;  // open or absurd: no fixed size
    }
    return static_cast<int>(size);
}

QString NodeIdWithUri(const QString& namespaceUri, const QString& identifier) {
    QString uri = namespaceUri;
    uri.replace(u'%', QStringLiteral("%25")).replace(u';', QStringLiteral("%3B"));
    return QStringLiteral("nsu=") + uri + u';' + identifier;
}

}  // namespace ov::opc
