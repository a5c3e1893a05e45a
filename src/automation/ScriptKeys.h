#pragma once

#include <QString>

namespace ov::automation {

// Turns "Ctrl+C", "F8", "Alt+F6", "Ctrl+Delete" into a key code and shift state.
bool ParseKeys(const QString& keys, int& keyCode, int& shift);

}  // namespace ov::automation
