#pragma once

#include <QString>
#include <vector>

namespace ov::db {

// A "Like" pattern as project databases have always understood it: "%" any run
// of characters, "_" one character, "[abc]", "[a-z]" and "[!a-z]" character
// sets, so "[%]", "[_]" and "[[]" stand for the characters themselves.
// Matching ignores letter case. An optional escape character makes the next
// pattern character literal (the SQL ESCAPE clause).
class LikePattern {
public:
    explicit LikePattern(const QString& pattern, QChar escape = QChar());

    bool Matches(const QString& text) const;

    // True when ADO-style criteria use "*" for "%" (Find and Filter accept both).
    static LikePattern ForCriteria(const QString& pattern);

private:
    struct Token {
        enum Kind { Literal, AnyChar, AnyRun, Set } kind;
        QChar ch;                                // Literal (case folded)
        bool negated = false;                    // Set
        std::vector<std::pair<QChar, QChar>> ranges;  // Set, case folded
        bool Accepts(QChar folded) const;
    };

    std::vector<Token> m_tokens;
};

// A condition that lets the database find the rows of a text column (one
// declared COLLATE NOCASE) that begin with literal, through an index on the
// column, without losing a row the case-insensitive Like would give: it
// covers the longest start of literal whose characters match only their
// ASCII case partners ("k" is left out: the Kelvin sign folds to it).
// Empty when no such start exists. Use it beside the Like, which stays the
// exact test: column >= 'Area3.L' AND column < 'Area3.L' || char(1114111).
QString LikePrefixRange(const QString& column, const QString& literal);
// Whether that range covers all of literal: then it finds exactly the rows
// the Like "literal%" gives, and the Like can go.
bool LikePrefixRangeIsExact(const QString& literal);

}  // namespace ov::db
