#include "platform/db/LikePattern.h"

#include <array>

namespace ov::db {

namespace {
QChar Fold(QChar c) { return c.toCaseFolded(); }
}  // namespace

bool LikePattern::Token::Accepts(QChar folded) const {
    switch (kind) {
        case Literal:
            return folded == ch;
        case AnyChar:
            return true;
        case Set: {
            bool inSet = false;
            for (const auto& [low, high] : ranges) {
                if (folded >= low && folded <= high) {
                    inSet = true;
                    break;
                }
            }
            return inSet != negated;
        }
        case AnyRun:
            return false;
    }
    return false;
}

LikePattern::LikePattern(const QString& pattern, QChar escape) {
    const qsizetype n = pattern.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = pattern[i];
        if (!escape.isNull() && c == escape && i + 1 < n) {
            m_tokens.push_back({Token::Literal, Fold(pattern[++i]), false, {}});
        } else if (c == u'%') {
            if (m_tokens.empty() || m_tokens.back().kind != Token::AnyRun)
                m_tokens.push_back({Token::AnyRun, {}, false, {}});
        } else if (c == u'_') {
            m_tokens.push_back({Token::AnyChar, {}, false, {}});
        } else if (c == u'[' && pattern.indexOf(u']', i + 2) > i) {
            // "[" opens a set that runs to the next "]"; the first character
            // inside may itself be "]"-free text such as "[", "%" or "_".
            const qsizetype close = pattern.indexOf(u']', i + 2);
            Token set{Token::Set, {}, false, {}};
            qsizetype j = i + 1;
            if (pattern[j] == u'!' && j + 1 < close) {
                set.negated = true;
                ++j;
            }
            while (j < close) {
                const QChar low = Fold(pattern[j]);
                if (j + 2 < close && pattern[j + 1] == u'-') {
                    const QChar high = Fold(pattern[j + 2]);
                    set.ranges.emplace_back(std::min(low, high), std::max(low, high));
                    j += 3;
                } else {
                    set.ranges.emplace_back(low, low);
                    ++j;
                }
            }
            m_tokens.push_back(std::move(set));
            i = close;
        } else {
            // An unclosed "[" is taken literally rather than failing the query.
            m_tokens.push_back({Token::Literal, Fold(c), false, {}});
        }
    }
}

LikePattern LikePattern::ForCriteria(const QString& pattern) {
    QString sqlPattern = pattern;
    sqlPattern.replace(u'*', u'%');
    return LikePattern(sqlPattern);
}

bool LikePattern::Matches(const QString& text) const {
    // Greedy matching with backtracking to the last "%": linear for the
    // patterns the editor writes, correct for any number of "%".
    const qsizetype n = text.size();
    const std::size_t m = m_tokens.size();
    qsizetype t = 0;
    std::size_t p = 0;
    std::size_t starToken = SIZE_MAX;
    qsizetype starText = 0;
    while (t < n) {
        if (p < m && m_tokens[p].kind == Token::AnyRun) {
            starToken = p++;
            starText = t;
        } else if (p < m && m_tokens[p].Accepts(Fold(text[t]))) {
            ++p;
            ++t;
        } else if (starToken != SIZE_MAX) {
            p = starToken + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < m && m_tokens[p].kind == Token::AnyRun) ++p;
    return p == m;
}

namespace {

// ASCII characters that only their ASCII case partner folds to: for them
// the database's NOCASE order agrees with our case-insensitive match.
const std::array<bool, 128>& PlainAscii() {
    static const std::array<bool, 128> plain = [] {
        std::array<bool, 128> table{};
        for (int c = 0x20; c < 0x7F; ++c) table[static_cast<std::size_t>(c)] = true;
        for (char32_t u = 0x80; u <= 0xFFFF; ++u) {
            if (u >= 0xD800 && u <= 0xDFFF) continue;  // halves of surrogate pairs are never folded
            const char16_t folded = Fold(QChar(static_cast<char16_t>(u))).unicode();
            if (folded >= 0x80) continue;
            // A non-ASCII character matching an ASCII one: every ASCII
            // character of that fold loses its place in the range.
            for (int c = 0; c < 128; ++c)
                if (Fold(QChar(static_cast<char16_t>(c))).unicode() == folded) table[static_cast<std::size_t>(c)] = false;
        }
        return table;
    }();
    return plain;
}

}  // namespace

bool LikePrefixRangeIsExact(const QString& literal) {
    for (const QChar c : literal)
        if (c.unicode() >= 0x80 || !PlainAscii()[c.unicode()]) return false;
    return !literal.isEmpty();
}

QString LikePrefixRange(const QString& column, const QString& literal) {
    QString start;
    for (const QChar c : literal) {
        const char16_t u = c.unicode();
        if (u >= 0x80 || !PlainAscii()[u]) break;
        start += c;
    }
    if (start.isEmpty()) return QString();
    start.replace(u'\'', QStringLiteral("''"));
    return QStringLiteral("%1 >= '%2' AND %1 < '%2' || char(1114111)").arg(column, start);
}

}  // namespace ov::db
