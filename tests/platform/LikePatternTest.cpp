#include "platform/db/LikePattern.h"

#include <gtest/gtest.h>

using ov::db::LikePattern;

namespace {

bool Like(const char* text, const char* pattern) {
    return LikePattern(QString::fromUtf8(pattern)).Matches(QString::fromUtf8(text));
}

TEST(LikePattern, PercentAndUnderscoreAreWildcards) {
    EXPECT_TRUE(Like("Line1.Motor1.Speed", "Line1.%"));
    EXPECT_TRUE(Like("Line1.", "Line1.%"));
    EXPECT_FALSE(Like("Line2.Motor", "Line1.%"));
    EXPECT_TRUE(Like("abc", "a_c"));
    EXPECT_FALSE(Like("ac", "a_c"));
    EXPECT_TRUE(Like("a.b.c", "%.%.%"));
    EXPECT_FALSE(Like("a.b", "%.%.%"));
    EXPECT_TRUE(Like("", "%"));
    EXPECT_TRUE(Like("", ""));
    EXPECT_FALSE(Like("x", ""));
}

TEST(LikePattern, FolderQueriesSelectDirectChildrenOnly) {
    // The item view of a folder: inside "Line1." but not in a deeper folder.
    const auto inFolder = [](const char* name) {
        return Like(name, "Line1.%") && !Like(name, "Line1.%.%");
    };
    EXPECT_TRUE(inFolder("Line1.Counter"));
    EXPECT_FALSE(inFolder("Line1.Motor1.Speed"));
    EXPECT_FALSE(inFolder("Line10.Counter"));
}

TEST(LikePattern, BracketsMakeWildcardsLiteral) {
    EXPECT_TRUE(Like("50%", "50[%]"));
    EXPECT_FALSE(Like("500", "50[%]"));
    EXPECT_TRUE(Like("a_b", "a[_]b"));
    EXPECT_FALSE(Like("axb", "a[_]b"));
    EXPECT_TRUE(Like("[x]", "[[]x]"));
    EXPECT_TRUE(Like("Tank[1].Level", "Tank[[]1].%"));
    EXPECT_FALSE(Like("Tank1.Level", "Tank[[]1].%"));
}

TEST(LikePattern, SetsRangesAndNegation) {
    EXPECT_TRUE(Like("M3", "M[0-9]"));
    EXPECT_FALSE(Like("MX", "M[0-9]"));
    EXPECT_TRUE(Like("MX", "M[!0-9]"));
    EXPECT_FALSE(Like("M3", "M[!0-9]"));
    EXPECT_TRUE(Like("b", "[abc]"));
    EXPECT_TRUE(Like("!", "[!]"));
}

TEST(LikePattern, IgnoresLetterCaseIncludingUmlauts) {
    EXPECT_TRUE(Like("MOTOR", "motor"));
    EXPECT_TRUE(Like("Füllstand", "FÜLL%"));
    EXPECT_TRUE(Like("X", "[a-z]"));
}

TEST(LikePattern, UnclosedBracketIsLiteral) {
    EXPECT_TRUE(Like("a[b", "a[b"));
    EXPECT_FALSE(Like("ab", "a[b"));
}

TEST(LikePattern, EscapeCharacterAndCriteriaStar) {
    EXPECT_TRUE(LikePattern(QStringLiteral("50\\%"), u'\\').Matches(QStringLiteral("50%")));
    EXPECT_FALSE(LikePattern(QStringLiteral("50\\%"), u'\\').Matches(QStringLiteral("500")));
    EXPECT_TRUE(LikePattern::ForCriteria(QStringLiteral("Mot*")).Matches(QStringLiteral("Motor")));
}

TEST(LikePattern, ManyWildcardsStayFast) {
    // Backtracking is bounded: a long non-matching text with many "%" ends quickly.
    const QString text(5000, u'a');
    EXPECT_FALSE(LikePattern(QStringLiteral("%a%a%a%a%a%b")).Matches(text));
}

}  // namespace
