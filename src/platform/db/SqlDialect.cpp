#include "platform/db/SqlDialect.h"

#include <QStringList>
#include <vector>

namespace ov::db {

namespace {

struct Token {
    enum Kind { Word, Quoted, Text, Number, Symbol, Space } kind;
    QString text;
};

bool IsWordChar(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$'; }

std::vector<Token> Tokenise(const QString& sql) {
    std::vector<Token> tokens;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        qsizetype j = i + 1;
        if (c.isSpace()) {
            while (j < n && sql[j].isSpace()) ++j;
            tokens.push_back({Token::Space, sql.mid(i, j - i)});
        } else if (c == u'\'' || c == u'"') {
            // A quoted text; the quote character doubled stands for itself.
            QString value;
            while (j < n) {
                if (sql[j] == c) {
                    if (j + 1 < n && sql[j + 1] == c) {
                        value += c;
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                value += sql[j++];
            }
            tokens.push_back({Token::Text, value});
        } else if (c == u'[') {
            while (j < n && sql[j] != u']') ++j;
            if (j < n) ++j;
            tokens.push_back({Token::Quoted, sql.mid(i, j - i)});
        } else if (c == u'`') {
            while (j < n && sql[j] != u'`') ++j;
            if (j < n) ++j;
            tokens.push_back({Token::Quoted, sql.mid(i, j - i)});
        } else if (c.isDigit()) {
            while (j < n && (sql[j].isDigit() || sql[j] == u'.')) ++j;
            tokens.push_back({Token::Number, sql.mid(i, j - i)});
        } else if (IsWordChar(c)) {
            while (j < n && IsWordChar(sql[j])) ++j;
            tokens.push_back({Token::Word, sql.mid(i, j - i)});
        } else if (c == u'-' && j < n && sql[j] == u'-') {
            while (j < n && sql[j] != u'\n') ++j;  // comment
            tokens.push_back({Token::Space, QStringLiteral(" ")});
        } else {
            if ((c == u'<' || c == u'>' || c == u'!' || c == u'|') && j < n &&
                (sql[j] == u'=' || sql[j] == u'>' || sql[j] == u'|'))
                ++j;
            tokens.push_back({Token::Symbol, sql.mid(i, j - i)});
        }
        i = j;
    }
    return tokens;
}

QString SqlText(const QString& value) {
    QString escaped = value;
    escaped.replace(u'\'', QStringLiteral("''"));
    return u'\'' + escaped + u'\'';
}

bool Is(const Token& t, const char* word) {
    return t.kind == Token::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

QString Join(const std::vector<Token>& tokens, std::size_t from, std::size_t to) {
    QString out;
    for (std::size_t i = from; i < to && i < tokens.size(); ++i) {
        out += tokens[i].kind == Token::Text ? SqlText(tokens[i].text) : tokens[i].text;
    }
    return out.trimmed();
}

QString Unbracket(const QString& name) {
    if (name.size() >= 2 && ((name.front() == u'[' && name.back() == u']') ||
                             (name.front() == u'`' && name.back() == u'`')))
        return name.mid(1, name.size() - 2);
    return name;
}

bool IsClauseWord(const Token& t) {
    static const char* const words[] = {"INNER", "LEFT",  "RIGHT", "JOIN", "ON",    "WHERE", "ORDER",
                                        "GROUP", "HAVING", "UNION", "LIMIT", "CROSS", "OUTER", "NATURAL"};
    for (const char* w : words)
        if (Is(t, w)) return true;
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
        const bool afterDot = i > 0 && tokens[i - 1].text == QStringLiteral(".");
        if (t.kind == Token::Text) {
            out += SqlText(t.text);
        } else if (!afterDot && Is(t, "True")) {
            out += QStringLiteral("-1");
        } else if (!afterDot && Is(t, "False")) {
            out += QStringLiteral("0");
        } else if (t.kind == Token::Symbol && t.text == QStringLiteral("&")) {
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
    if (significant.empty() || !Is(tokens[significant[0]], "SELECT")) return std::nullopt;

    // Top-level clause positions (outside parentheses).
    std::size_t fromAt = 0, whereAt = 0, orderAt = 0;
    int depth = 0;
    bool listHasParen = false;
    for (std::size_t k = 1; k < significant.size(); ++k) {
        const std::size_t i = significant[k];
        const Token& t = tokens[i];
        if (t.text == QStringLiteral("(")) {
            if (!fromAt) listHasParen = true;
            ++depth;
            continue;
        }
        if (t.text == QStringLiteral(")")) {
            --depth;
            continue;
        }
        if (t.text == QStringLiteral(";")) return std::nullopt;
        if (depth != 0) {
            if (fromAt && Is(t, "SELECT")) return std::nullopt;  // sub-select
            continue;
        }
        if (Is(t, "DISTINCT") || Is(t, "GROUP") || Is(t, "HAVING") || Is(t, "UNION") || Is(t, "LIMIT") ||
            Is(t, "TOP") || Is(t, "INTERSECT") || Is(t, "EXCEPT"))
            return std::nullopt;
        if (Is(t, "FROM") && !fromAt) fromAt = i;
        else if (Is(t, "WHERE") && fromAt && !whereAt) whereAt = i;
        else if (Is(t, "ORDER") && fromAt && !orderAt) orderAt = i;
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
        if (k < end && Is(tokens[k], "BY")) ++k;
        parts.orderBy = Join(tokens, k, end);
    }

    // The base table: the first name in FROM, behind any opening parentheses.
    std::size_t k = fromAt + 1;
    while (k < fromEnd && (tokens[k].kind == Token::Space || tokens[k].text == QStringLiteral("("))) ++k;
    if (k >= fromEnd || (tokens[k].kind != Token::Word && tokens[k].kind != Token::Quoted)) return std::nullopt;
    if (Is(tokens[k], "SELECT")) return std::nullopt;
    parts.baseTable = Unbracket(tokens[k].text);
    parts.baseQualifier = tokens[k].text;
    std::size_t a = k + 1;
    while (a < fromEnd && tokens[a].kind == Token::Space) ++a;
    if (a < fromEnd && Is(tokens[a], "AS")) {
        ++a;
        while (a < fromEnd && tokens[a].kind == Token::Space) ++a;
    }
    if (a < fromEnd && (tokens[a].kind == Token::Word || tokens[a].kind == Token::Quoted) && !IsClauseWord(tokens[a]))
        parts.baseQualifier = tokens[a].text;
    for (std::size_t j = fromAt + 1; j < fromEnd; ++j) {
        if (Is(tokens[j], "JOIN") || tokens[j].text == QStringLiteral(",")) parts.isJoin = true;
    }
    return parts;
}

}  // namespace ov::db
