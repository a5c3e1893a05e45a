#pragma once

#include <QString>
#include <Qt>

namespace ov::studio::keycodes {

// The add-in speaks in the key codes of its home platform: virtual key codes
// for key down and up (F1 = 112, Delete = 46, "A" = 65), an ASCII code for
// key press, and a shift state of 1 Shift, 2 Ctrl, 4 Alt.

// 0 when the key has no virtual key code.
int VirtualKey(int qtKey, Qt::KeyboardModifiers modifiers);
int ShiftState(Qt::KeyboardModifiers modifiers);
// The character a key press produces (Ctrl+letter gives 1..26, Return 13,
// Escape 27, Backspace 8); 0 when it produces none.
int KeyAscii(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text);
// 1 left, 2 right, 4 middle; 0 for other buttons.
int MouseButton(Qt::MouseButton button);

}  // namespace ov::studio::keycodes
