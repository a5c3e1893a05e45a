#include "platform/db/SqlTokens.h"

#include <QStringList>

namespace ov::db {

namespace {

bool IsWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

// The end of a quoted run opened at i, its content into *content. The closing
// character doubled stands for itself, except in a [bracketed] name, which
// ends at its first "]". An unclosed run takes the rest of the statement.
qsizetype QuotedEnd(const QString& sql, qsizetype i, QString* content) {
    const QChar open = sql[i];
    const QChar close = open == u'[' ? QChar(u']') : open;
    const bool doubled = open != u'[';
    const qsizetype n = sql.size();
    qsizetype j = i + 1;
    while (j < n) {
        if (sql[j] == close) {
            if (doubled && j + 1 < n && sql[j + 1] == close) {
                *content += close;
                j += 2;
                continue;
            }
            return j + 1;
        }
        *content += sql[j++];
    }
    return n;
}

// The end of a number starting at i: digits with decimal points, and an
// exponent only when digits follow it (else "e..." is a word of its own).
qsizetype NumberEnd(const QString& sql, qsizetype i) {
    const qsizetype n = sql.size();
    qsizetype j = i + 1;
    while (j < n && (sql[j].isDigit() || sql[j] == u'.')) ++j;
    if (j < n && (sql[j] == u'e' || sql[j] == u'E')) {
        qsizetype k = j + 1;
        if (k < n && (sql[k] == u'+' || sql[k] == u'-')) ++k;
        if (k < n && sql[k].isDigit()) {
            j = k;
            while (j < n && sql[j].isDigit()) ++j;
        }
    }
    return j;
}

qsizetype SymbolEnd(const QString& sql, qsizetype i) {
    static const QStringList pairs{QStringLiteral("<="), QStringLiteral(">="), QStringLiteral("<>"),
                                   QStringLiteral("!="), QStringLiteral("=="), QStringLiteral("||"),
                                   QStringLiteral("::"), QStringLiteral("<<"), QStringLiteral(">>")};
    return i + 1 < sql.size() && pairs.contains(sql.mid(i, 2)) ? i + 2 : i + 1;
}

// The end of a comment starting at i, or i when none starts there.
qsizetype CommentEnd(const QString& sql, qsizetype i) {
    const qsizetype n = sql.size();
    if (i + 1 >= n) return i;
    if (sql[i] == u'-' && sql[i + 1] == u'-') {
        const qsizetype end = sql.indexOf(u'\n', i + 2);
        return end < 0 ? n : end;  // the line break stays, as white space
    }
    if (sql[i] == u'/' && sql[i + 1] == u'*') {
        const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
        return end < 0 ? n : end + 2;
    }
    return i;
}

qsizetype RunEnd(const QString& sql, qsizetype i, bool (*belongs)(QChar)) {
    qsizetype j = i + 1;
    while (j < sql.size() && belongs(sql[j])) ++j;
    return j;
}

// The token starting at i; i moves behind it.
SqlToken NextToken(const QString& sql, qsizetype& i, DoubleQuotes doubleQuotes) {
    const QChar c = sql[i];
    const qsizetype start = i;
    const auto token = [&](SqlToken::Kind kind, qsizetype end, QString value = {}) {
        i = end;
        return SqlToken{kind, sql.mid(start, end - start), std::move(value)};
    };
    if (c.isSpace()) return token(SqlToken::Space, RunEnd(sql, i, [](QChar x) { return x.isSpace(); }));
    if (c == u'\'' || c == u'"' || c == u'[' || c == u'`') {
        QString content;
        const qsizetype end = QuotedEnd(sql, i, &content);
        const bool text = c == u'\'' || (c == u'"' && doubleQuotes == DoubleQuotes::Text);
        return token(text ? SqlToken::Text : SqlToken::Name, end, content);
    }
    if (c.isDigit() || (c == u'.' && i + 1 < sql.size() && sql[i + 1].isDigit()))
        return token(SqlToken::Number, NumberEnd(sql, i));
    if (c == u'?') return token(SqlToken::Parameter, RunEnd(sql, i, [](QChar x) { return x.isDigit(); }));
    if (IsWordChar(c)) {
        const qsizetype end = RunEnd(sql, i, IsWordChar);
        return token(SqlToken::Word, end, sql.mid(i, end - i));
    }
    if (const qsizetype end = CommentEnd(sql, i); end > i) {
        i = end;
        return SqlToken{SqlToken::Space, QStringLiteral(" "), {}};
    }
    return token(SqlToken::Symbol, SymbolEnd(sql, i));
}

}  // namespace

std::vector<SqlToken> TokeniseSql(const QString& sql, DoubleQuotes doubleQuotes) {
    std::vector<SqlToken> tokens;
    for (qsizetype i = 0; i < sql.size();) tokens.push_back(NextToken(sql, i, doubleQuotes));
    return tokens;
}

bool IsWord(const SqlToken& t, const char* word) {
    return (t.kind == SqlToken::Word || t.kind == SqlToken::Keyword) &&
           t.value.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool IsSymbol(const SqlToken& t, const char* symbol) {
    return t.kind == SqlToken::Symbol && t.text == QLatin1String(symbol);
}

QString SqlText(const QString& value) {
    QString escaped = value;
    escaped.replace(u'\'', QStringLiteral("''"));
    return u'\'' + escaped + u'\'';
}

}  // namespace ov::db
