#pragma once

// Row numbers between the form models (std::size_t) and Qt's widgets (int).

#include <cstddef>

namespace ov::gui {

inline int ToInt(std::size_t n) { return static_cast<int>(n); }

inline bool InRange(int index, std::size_t size) { return index >= 0 && static_cast<std::size_t>(index) < size; }

}  // namespace ov::gui
