#pragma once

#include <span>

namespace ov::settings {

// One entry of the built-in text table: the text ID with its German and English text (UTF-8).
struct TextEntry {
    int id;
    const char* german;
    const char* english;
};

// All built-in entries, ordered by ID.
std::span<const TextEntry> BuiltInTextEntries();

}  // namespace ov::settings
