#include "platform/db/SqlDialect.h"

#include "platform/db/SqlTokens.h"

#include <vector>

namespace ov::db {

namespace {

using Token = SqlToken;

std::vector<Token> Tokenise(const QString& sql) {
    return TokeniseSql(sql, DoubleQuotes::Text);
}

QString Join(const std::vector<Token>& tokens, std::size_t from, std::size_t to) {
    QString out;
    for (std::size_t i = from; i < to && i < tokens.size(); ++i) {
        out += tokens[i].kind == Token::Text ? SqlText(tokens[i].value) : tokens[i].text;
    }
    return out.trimmed();
}

bool IsNameOrWord(const Token& t) {
    return t.kind == Token::Word || t.kind == Token::Name;
}

bool IsClauseWord(const Token& t) {
    static const char* const words[] = {"INNER", "LEFT",   "RIGHT", "JOIN",  "ON",    "WHERE", "ORDER",
                                        "GROUP", "HAVING", "UNION", "LIMIT", "CROSS", "OUTER", "NATURAL"};
    for (const char* w : words)
        if (IsWord(t, w)) return true;
    return false;
}

}  // namespace

QString QuoteName(const QString& name) {
    QString inner = name;
    inner.remove(u']');
    return u'[' + inner + u']';
}

QString TranslateSql(const QString& sql) {
    const auto tokens = Tokenise(sql);
    QString out;
    out.reserve(sql.size() + 8);
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        const bool afterDot = i > 0 && IsSymbol(tokens[i - 1], ".");
        if (t.kind == Token::Text) {
            out += SqlText(t.value);
        } else if (!afterDot && IsWord(t, "True")) {
            out += QStringLiteral("-1");
        } else if (!afterDot && IsWord(t, "False")) {
            out += QStringLiteral("0");
        } else if (IsSymbol(t, "&")) {
            out += QStringLiteral("||");
        } else {
            out += t.text;
        }
    }
    return out;
}

std::optional<SelectParts> AnalyseSelect(const QString& translatedSql) {
    const auto tokens = Tokenise(translatedSql);
    std::vector<std::size_t> significant;
    for (std::size_t i = 0; i < tokens.size(); ++i)
        if (tokens[i].kind != Token::Space) significant.push_back(i);
    if (significant.empty() || !IsWord(tokens[significant[0]], "SELECT")) return std::nullopt;

    // Top-level clause positions (outside parentheses).
    std::size_t fromAt = 0, whereAt = 0, orderAt = 0;
    int depth = 0;
    bool listHasParen = false;
    for (std::size_t k = 1; k < significant.size(); ++k) {
        const std::size_t i = significant[k];
        const Token& t = tokens[i];
        if (IsSymbol(t, "(")) {
            if (!fromAt) listHasParen = true;
            ++depth;
            continue;
        }
        if (IsSymbol(t, ")")) {
            --depth;
            continue;
        }
        if (IsSymbol(t, ";")) return std::nullopt;
        if (depth != 0) {
            if (fromAt && IsWord(t, "SELECT")) return std::nullopt;  // sub-select
            continue;
        }
        for (const char* w : {"DISTINCT", "GROUP", "HAVING", "UNION", "LIMIT", "TOP", "INTERSECT", "EXCEPT"})
            if (IsWord(t, w)) return std::nullopt;
        if (IsWord(t, "FROM") && !fromAt)
            fromAt = i;
        else if (IsWord(t, "WHERE") && fromAt && !whereAt)
            whereAt = i;
        else if (IsWord(t, "ORDER") && fromAt && !orderAt)
            orderAt = i;
    }
    // Function calls in the select list may be aggregates: read such results whole.
    if (!fromAt || listHasParen) return std::nullopt;

    SelectParts parts;
    const std::size_t end = tokens.size();
    const std::size_t fromEnd = whereAt ? whereAt : (orderAt ? orderAt : end);
    parts.selectList = Join(tokens, significant[1], fromAt);
    parts.from = Join(tokens, fromAt + 1, fromEnd);
    if (whereAt) parts.where = Join(tokens, whereAt + 1, orderAt ? orderAt : end);
    if (orderAt) {
        // Skip "ORDER" and "BY".
        std::size_t k = orderAt + 1;
        while (k < end && tokens[k].kind == Token::Space) ++k;
        if (k < end && IsWord(tokens[k], "BY")) ++k;
        parts.orderBy = Join(tokens, k, end);
    }

    // The base table: the first name in FROM, behind any opening parentheses.
    std::size_t k = fromAt + 1;
    while (k < fromEnd && (tokens[k].kind == Token::Space || IsSymbol(tokens[k], "("))) ++k;
    if (k >= fromEnd || !IsNameOrWord(tokens[k])) return std::nullopt;
    if (IsWord(tokens[k], "SELECT")) return std::nullopt;
    parts.baseTable = tokens[k].value;
    parts.baseQualifier = tokens[k].text;
    std::size_t a = k + 1;
    while (a < fromEnd && tokens[a].kind == Token::Space) ++a;
    if (a < fromEnd && IsWord(tokens[a], "AS")) {
        ++a;
        while (a < fromEnd && tokens[a].kind == Token::Space) ++a;
    }
    if (a < fromEnd && IsNameOrWord(tokens[a]) && !IsClauseWord(tokens[a]))
        parts.baseQualifier = tokens[a].text;
    for (std::size_t j = fromAt + 1; j < fromEnd; ++j) {
        if (IsWord(tokens[j], "JOIN") || IsSymbol(tokens[j], ",")) parts.isJoin = true;
    }
    return parts;
}

}  // namespace ov::db
