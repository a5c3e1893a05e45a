#include "automation/ScriptKeys.h"

#include <QStringList>

#include <utility>

namespace ov::automation {

bool ParseKeys(const QString& keys, int& keyCode, int& shift) {
    shift = 0;
    keyCode = 0;
    const QStringList parts = keys.split(u'+', Qt::SkipEmptyParts);
    if (parts.isEmpty()) return false;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        const QString m = parts[i].trimmed().toLower();
        if (m == u"ctrl" || m == u"control") shift |= 2;
        else if (m == u"shift") shift |= 1;
        else if (m == u"alt") shift |= 4;
        else return false;
    }
    const QString key = parts.last().trimmed();
    const QString k = key.toLower();
    if (k.size() >= 2 && k[0] == u'f' && k.mid(1).toInt() >= 1 && k.mid(1).toInt() <= 24) {
        keyCode = 111 + k.mid(1).toInt();
        return true;
    }
    static const std::pair<const char*, int> named[] = {
        {"delete", 46}, {"del", 46},   {"insert", 45}, {"enter", 13}, {"return", 13}, {"escape", 27}, {"esc", 27},
        {"tab", 9},     {"left", 37},  {"up", 38},     {"right", 39}, {"down", 40},   {"home", 36},   {"end", 35},
        {"pageup", 33}, {"pagedown", 34}, {"space", 32}, {"backspace", 8}};
    for (const auto& [name, code] : named) {
        if (k == QLatin1String(name)) {
            keyCode = code;
            return true;
        }
    }
    if (key.size() == 1 && key[0].isLetterOrNumber() && key[0].unicode() < 128) {
        keyCode = key[0].toUpper().unicode();
        return true;
    }
    return false;
}

}  // namespace ov::automation
