#pragma once

#include <QByteArray>
#include <QString>

namespace ov::ui {

// Pictures the dialogs show beside tree nodes, by key, as PNG data. The
// units that own the pictures register them once; renderers look them up.
void RegisterImage(const QString& key, const QByteArray& png);
// Empty when no picture has that key.
QByteArray ImageData(const QString& key);

}  // namespace ov::ui
