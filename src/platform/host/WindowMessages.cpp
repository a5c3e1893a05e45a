#include "platform/host/WindowMessages.h"

#include <QHash>

namespace ov::host {

quint32 RegisterWindowMessage(const QString& name) {
    static QHash<QString, quint32> registered;
    const QString key = name.toUpper();
    const auto it = registered.constFind(key);
    if (it != registered.constEnd()) return *it;
    const quint32 number = 0xC000 + static_cast<quint32>(registered.size());
    registered.insert(key, number);
    return number;
}

}  // namespace ov::host
