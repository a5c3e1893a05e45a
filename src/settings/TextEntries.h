#pragma once

#include <span>
#include <vector>

namespace ov::settings {

// One entry of the built-in text table: the text ID with its German and English text (UTF-8).
struct TextEntry {
    int id;
    const char* german;
    const char* english;
};

// The classic texts are numbered below this, the editor's own from it on.
inline constexpr int kFirstOwnText = 9000;

// All built-in entries, ordered by ID.
const std::vector<TextEntry>& BuiltInTextEntries();
// The editor's own entries (OwnTextEntries.cpp).
std::span<const TextEntry> OwnTextEntries();

// Texts are stored under keys derived from the ID plus 100000 per language,
// so every ID must stay positive and below 100000; callers rely on the
// ascending order. Each table checks its part when it is compiled.
template <std::size_t N>
constexpr bool IdsAscendingBetween(const TextEntry (&entries)[N], int above, int below) {
    int previous = above;
    for (const TextEntry& entry : entries) {
        if (entry.id <= previous || entry.id >= below) return false;
        previous = entry.id;
    }
    return true;
}

}  // namespace ov::settings
