#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace ov::automation {

// Where print() writes.
class ScriptOutput : public QObject {
    Q_OBJECT
public:
    std::function<void(const QString&)> sink;
    Q_INVOKABLE void write(const QString& text) {
        if (sink) sink(text);
    }
};

}  // namespace ov::automation
