#pragma once

#include <cstddef>
#include <span>

namespace ov {

// A file built into the program (icons and the like).
struct EmbeddedFile {
    const char* name;  // file name without extension (and without folder, or below the embedded tree)
    const unsigned char* data;
    std::size_t size;
};

}  // namespace ov
