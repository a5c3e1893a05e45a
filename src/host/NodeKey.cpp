#include "host/NodeKey.h"

namespace ov::host::nodekey {

namespace {

// The whole number at the start of a text, 0 when it starts with none.
int LeadingNumber(const QString& text) {
    qsizetype end = 0;
    if (end < text.size() && (text[end] == u'-' || text[end] == u'+')) ++end;
    while (end < text.size() && text[end].isDigit() && text[end].unicode() < 128) ++end;
    bool ok = false;
    const int value = text.left(end).toInt(&ok);
    return ok ? value : 0;
}

}  // namespace

QString Kind(const QString& key) { return key.left(4); }

int NodeId(const QString& key) {
    const qsizetype sep = key.indexOf(kSeparator);
    const QString head = sep < 0 ? key : key.left(sep);
    if (head.size() < 5) return -1;
    return LeadingNumber(head.mid(4));
}

QString SecondField(const QString& key) {
    const qsizetype first = key.indexOf(kSeparator);
    if (first < 0) return key;
    const qsizetype second = key.indexOf(kSeparator, first + 1);
    if (second < 0) {
        const QString rest = key.mid(first + 1);
        return rest.isEmpty() ? QString(QChar(0)) : rest;
    }
    return key.mid(first + 1, second - first - 1);
}

QString ModeLetter(const QString& key) {
    const qsizetype first = key.indexOf(kSeparator);
    const qsizetype second = first < 0 ? -1 : key.indexOf(kSeparator, first + 1);
    return second < 0 ? QString() : key.mid(second + 1, 1);
}

int SubId(const QString& key) {
    const qsizetype first = key.indexOf(kSeparator);
    if (first < 0 || first == key.size() - 1) return -1;
    return LeadingNumber(key.mid(first + 1));
}

bool IsDeviceNode(const QString& key) { return Kind(key) == QStringLiteral("OPCD") && key.count(kSeparator) < 3; }

QString BranchPath(const QString& key) {
    if (Kind(key) != QStringLiteral("OPCD")) return QString();
    qsizetype at = -1;
    for (int i = 0; i < 3; ++i) {
        at = key.indexOf(kSeparator, at + 1);
        if (at < 0) return QString();
    }
    return key.mid(at + 1);
}

QString DeviceKeyOf(const QString& key) {
    qsizetype at = -1;
    for (int i = 0; i < 3; ++i) {
        at = key.indexOf(kSeparator, at + 1);
        if (at < 0) return key;
    }
    return key.left(at);
}

QString DeviceKey(int deviceId, const QString& separator, bool ownDriver) {
    // A separator the dialog stored empty is one U+0000 character: no separator.
    const QString stored = separator == QString(QChar(0)) ? QString() : separator;
    return QStringLiteral("OPCD") + QString::number(deviceId) + kSeparator + stored + kSeparator +
           (ownDriver ? u'D' : u'O');
}

QString ProcessUnitsKey() { return kUnits + kSeparator + u'P'; }
QString ViewUnitsKey() { return kUnits + kSeparator + u'V'; }
QString UnitClassKey(int id, bool process) {
    return QStringLiteral("OPCU") + QString::number(id) + kSeparator + (process ? u'P' : u'V');
}
QString GroupKey(int id) { return QStringLiteral("OPCG") + QString::number(id); }
QString GroupDeviceKey(int groupId, int deviceId) { return GroupKey(groupId) + kSeparator + QString::number(deviceId); }
QString StructureKey(int id) { return QStringLiteral("OPCS") + QString::number(id); }

int HelpTopic(const QString& key) {
    const QString kind = Kind(key);
    if (kind == QStringLiteral("OPCE")) return 80001;
    if (kind == QStringLiteral("OPCD")) return NodeId(key) == 0 ? 82100 : 82000;
    if (kind == QStringLiteral("OPCG")) return 82200;
    if (kind == QStringLiteral("OPCU")) return 82300;
    if (kind == QStringLiteral("OPCS")) return 82500;
    return 0;
}

QString ImageKey(const QString& key) {
    const QString kind = Kind(key);
    if (kind == QStringLiteral("OPCE")) return images::kEditor;
    if (kind == QStringLiteral("OPCD")) return NodeId(key) == 0 ? images::kInternal : images::kDevice;
    if (kind == QStringLiteral("OPCG")) return images::kGroup;
    if (kind == QStringLiteral("OPCU")) return images::kUnit;
    if (kind == QStringLiteral("OPCS")) return images::kStructure;
    return QString();
}

}  // namespace ov::host::nodekey
