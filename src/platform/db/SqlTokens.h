#pragma once

// The one tokeniser of the SQL the data layer rewrites: SQLite's form of the
// classic dialect (SqlDialect) and the server's form of that (PgDialect).
// Internal to the database layer.

#include <QString>
#include <vector>

namespace ov::db {

struct SqlToken {
    enum Kind {
        Word,       // a bare word: keyword, name or function
        Name,       // [bracketed], `backquoted` or "double-quoted" (see DoubleQuotes)
        Text,       // 'a text literal'
        Number,     // 12, 1.5, .5, 1e-3
        Parameter,  // ?, ?3
        Symbol,     // operators and punctuation: ( ) , . || <= ...
        Space,      // white space; a comment counts as one space
        // The tokeniser never makes these: the server's rewrite gives them to
        // words it recognised and to ranges it replaced by their new text.
        Keyword,
        Function,
        Expression
    };
    Kind kind;
    QString text;   // as the statement writes it (the output writes it so)
    QString value;  // a Word itself, a Name or Text without its quotes
};

// What "double quotes" stand for: a text in the classic dialect, a name in
// SQLite's and the server's form.
enum class DoubleQuotes { Text, Name };

std::vector<SqlToken> TokeniseSql(const QString& sql, DoubleQuotes doubleQuotes);

// A Word or Keyword, compared without regard to case.
bool IsWord(const SqlToken& t, const char* word);
bool IsSymbol(const SqlToken& t, const char* symbol);

// A text as a single-quoted SQL literal.
QString SqlText(const QString& value);

}  // namespace ov::db
