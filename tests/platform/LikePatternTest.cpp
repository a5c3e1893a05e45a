// Like patterns as the editor's queries use them: wildcards, bracketed
// literals, sets and ranges, without regard to letter case.

#include "platform/db/LikePattern.h"

#include <gtest/gtest.h>

using ov::db::LikePattern;

namespace {

bool Like(const char* text, const char* pattern) {
    return LikePattern(QString::fromUtf8(pattern)).Matches(QString::fromUtf8(text));
}

TEST(LikePattern, MatchesWhatThePatternSays) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        // "%" and "_" are wildcards.
        {"Line1.Motor1.Speed", "Line1.%", true}, {"Line1.", "Line1.%", true}, {"Line2.Motor", "Line1.%", false},
        {"abc", "a_c", true}, {"ac", "a_c", false}, {"a.b.c", "%.%.%", true}, {"a.b", "%.%.%", false},
        {"", "%", true}, {"", "", true}, {"x", "", false},
        // Brackets make wildcards literal.
        {"50%", "50[%]", true}, {"500", "50[%]", false}, {"a_b", "a[_]b", true}, {"axb", "a[_]b", false},
        {"[x]", "[[]x]", true}, {"Tank[1].Level", "Tank[[]1].%", true}, {"Tank1.Level", "Tank[[]1].%", false},
        // Sets, ranges and their negation; an unclosed bracket is literal.
        {"M3", "M[0-9]", true}, {"MX", "M[0-9]", false}, {"MX", "M[!0-9]", true}, {"M3", "M[!0-9]", false},
        {"b", "[abc]", true}, {"!", "[!]", true}, {"a[b", "a[b", true}, {"ab", "a[b", false},
        // Letter case does not count, umlauts included.
        {"MOTOR", "motor", true}, {"Füllstand", "FÜLL%", true}, {"X", "[a-z]", true},
    };
    for (const auto& [text, pattern, matches] : cases)
        EXPECT_EQ(Like(text, pattern), matches) << text << " Like " << pattern;
}

TEST(LikePattern, FolderQueriesSelectDirectChildrenOnly) {
    // The item view of a folder: inside "Line1." but not in a deeper folder.
    const auto inFolder = [](const char* name) { return Like(name, "Line1.%") && !Like(name, "Line1.%.%"); };
    EXPECT_TRUE(inFolder("Line1.Counter"));
    EXPECT_FALSE(inFolder("Line1.Motor1.Speed"));
    EXPECT_FALSE(inFolder("Line10.Counter"));
}

TEST(LikePattern, EscapeCharacterAndCriteriaStar) {
    EXPECT_TRUE(LikePattern(QStringLiteral("50\\%"), u'\\').Matches(QStringLiteral("50%")));
    EXPECT_FALSE(LikePattern(QStringLiteral("50\\%"), u'\\').Matches(QStringLiteral("500")));
    EXPECT_TRUE(LikePattern::ForCriteria(QStringLiteral("Mot*")).Matches(QStringLiteral("Motor")));
}

TEST(LikePattern, ManyWildcardsStayFast) {
    // Backtracking is bounded: a long non-matching text with many "%" ends quickly.
    EXPECT_FALSE(LikePattern(QStringLiteral("%a%a%a%a%a%b")).Matches(QString(5000, u'a')));
}

}  // namespace
