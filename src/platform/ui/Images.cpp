#include "platform/ui/Images.h"

#include <QHash>
#include <QMutex>

namespace ov::ui {

namespace {
QMutex& Lock() {
    static QMutex mutex;
    return mutex;
}
QHash<QString, QByteArray>& Registered() {
    static QHash<QString, QByteArray> images;
    return images;
}
}  // namespace

void RegisterImage(const QString& key, const QByteArray& png) {
    QMutexLocker lock(&Lock());
    Registered().insert(key, png);
}

QByteArray ImageData(const QString& key) {
    QMutexLocker lock(&Lock());
    return Registered().value(key);
}

}  // namespace ov::ui
