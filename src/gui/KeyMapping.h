#pragma once

#include <Qt>

namespace ov::gui {

// The Windows-style key codes and shift states the models' key handlers
// expect: F1 is 112, Delete 46, the letters their upper-case codes; shift 1,
// control 2, alt 4. 0 for a key they have no code for.
int KeyCode(int qtKey);
int ShiftState(Qt::KeyboardModifiers modifiers);

}  // namespace ov::gui
