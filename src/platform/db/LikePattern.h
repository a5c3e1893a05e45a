#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace ov::db {

// A "Like" pattern as project databases have always understood it: "%" any run
// of characters, "_" one character, "[abc]", "[a-z]" and "[!a-z]" character
// sets, so "[%]", "[_]" and "[[]" stand for the characters themselves.
// Matching ignores letter case and goes by characters, so "_" stands for one
// character also beyond the Basic Multilingual Plane. An optional escape
// character makes the next pattern character literal (the SQL ESCAPE clause).
class LikePattern {
  public:
    explicit LikePattern(const QString& pattern, QChar escape = QChar());

    bool Matches(const QString& text) const;

    // True when ADO-style criteria use "*" for "%" (Find and Filter accept both).
    static LikePattern ForCriteria(const QString& pattern);

  private:
    struct Token {
        enum Kind { Literal, AnyChar, AnyRun, Set } kind;
        char32_t ch = 0;                                    // Literal (case folded)
        bool negated = false;                               // Set
        std::vector<std::pair<char32_t, char32_t>> ranges;  // Set, case folded
        bool Accepts(char32_t folded) const;
    };

    std::vector<Token> m_tokens;
};

// The rows of a text column (one declared COLLATE NOCASE) that begin with
// literal under the case-insensitive Like, as index ranges: one range per
// spelling the column's order keeps apart ("Öl" and "öl" are two ranges,
// "Line" and "LINE" one; "k" takes a second range for the Kelvin sign that
// folds to it). Long runs of such letters end the ranges early; then they
// only narrow the search and the Like beside them decides.
struct PrefixRanges {
    QStringList conditions;  // "column >= 'Area3.L' AND column < 'Area3.L' || char(1114111)"
    bool exact = false;      // together they give exactly the rows of Like 'literal%'
};
PrefixRanges LikePrefixRanges(const QString& column, const QString& literal);

}  // namespace ov::db
