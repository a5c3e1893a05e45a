#include "platform/db/LikePattern.h"

#include <QHash>
#include <QList>

namespace ov::db {

namespace {
QChar Fold(QChar c) {
    return c.toCaseFolded();
}
char32_t Fold(char32_t c) {
    return QChar::toCaseFolded(c);
}
}  // namespace

bool LikePattern::Token::Accepts(char32_t folded) const {
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

LikePattern::LikePattern(const QString& patternText, QChar escape) {
    const QList<uint> pattern = patternText.toUcs4();  // by characters, not UTF-16 units
    const auto closing = [&](qsizetype from) { return pattern.indexOf(uint(U']'), from); };
    const qsizetype n = pattern.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char32_t c = pattern[i];
        if (!escape.isNull() && c == escape.unicode() && i + 1 < n) {
            m_tokens.push_back({Token::Literal, Fold(pattern[++i]), false, {}});
        } else if (c == U'%') {
            if (m_tokens.empty() || m_tokens.back().kind != Token::AnyRun)
                m_tokens.push_back({Token::AnyRun, 0, false, {}});
        } else if (c == U'_') {
            m_tokens.push_back({Token::AnyChar, 0, false, {}});
        } else if (c == U'[' && i + 2 < n && closing(i + 2) > i) {
            // "[" opens a set that runs to the next "]"; the first character
            // inside may itself be "]"-free text such as "[", "%" or "_".
            const qsizetype close = closing(i + 2);
            Token set{Token::Set, 0, false, {}};
            qsizetype j = i + 1;
            if (pattern[j] == U'!' && j + 1 < close) {
                set.negated = true;
                ++j;
            }
            while (j < close) {
                const char32_t low = Fold(pattern[j]);
                if (j + 2 < close && pattern[j + 1] == U'-') {
                    const char32_t high = Fold(pattern[j + 2]);
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

bool LikePattern::Matches(const QString& textUtf16) const {
    // Greedy matching with backtracking to the last "%": linear for the
    // patterns the editor writes, correct for any number of "%".
    const QList<uint> text = textUtf16.toUcs4();
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

constexpr int kMaxRanges = 8;  // more index ranges cost more than the Like they spare

// Every character of the Basic Multilingual Plane by its case fold: the
// characters a case-insensitive match takes for one another.
const QHash<char16_t, QList<QChar>>& CharactersByFold() {
    static const QHash<char16_t, QList<QChar>> byFold = [] {
        QHash<char16_t, QList<QChar>> table;
        for (char32_t u = 0; u <= 0xFFFF; ++u) {
            if (u >= 0xD800 && u <= 0xDFFF) continue;  // halves of surrogate pairs are never folded
            const QChar c(static_cast<char16_t>(u));
            table[Fold(c).unicode()].append(c);
        }
        return table;
    }();
    return byFold;
}

// The characters c stands for under the Like, one per class the column's
// NOCASE order keeps apart (it folds ASCII letters only, so "K" and "k"
// are one range, the Kelvin sign another).
QList<QChar> Variants(QChar c) {
    if (c.isSurrogate()) return {c};
    QList<QChar> variants;
    for (const QChar v : CharactersByFold().value(Fold(c).unicode())) {
        const QChar key = v.unicode() < 0x80 ? QChar(QChar::toLower(v.unicode())) : v;
        if (!variants.contains(key)) variants.append(key);
    }
    if (variants.isEmpty()) variants.append(c);
    return variants;
}

QString Range(const QString& column, QString start) {
    start.replace(u'\'', QStringLiteral("''"));
    return QStringLiteral("%1 >= '%2' AND %1 < '%2' || char(1114111)").arg(column, start);
}

}  // namespace

PrefixRanges LikePrefixRanges(const QString& column, const QString& literal) {
    QStringList starts{QString()};
    qsizetype covered = 0;
    for (; covered < literal.size(); ++covered) {
        const QList<QChar> variants = Variants(literal[covered]);
        if (starts.size() * variants.size() > kMaxRanges) break;
        QStringList longer;
        for (const QString& start : starts)
            for (const QChar v : variants) longer << start + v;
        starts = longer;
    }
    PrefixRanges ranges;
    if (covered == 0) return ranges;
    ranges.exact = covered == literal.size();
    for (const QString& start : starts) ranges.conditions << Range(column, start);
    return ranges;
}

}  // namespace ov::db
