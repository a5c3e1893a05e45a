#include "platform/db/PgDialect.h"

#include "platform/db/DbError.h"
#include "platform/db/DbTypes.h"

#include <QRegularExpression>
#include <QSet>
#include <optional>
#include <vector>

namespace ov::db {

namespace {

// The names dictionary marks never-null columns under this prefix.
const QString kNeverNull = QStringLiteral("\x01never null ");

struct Token {
    enum Kind { Word, Name, Text, Number, Parameter, Symbol, Space, Function, Keyword, Expression } kind;
    QString text;  // as the output writes it
    QString raw;   // as the input had it (a Name's inner name)
};

bool IsWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

std::vector<Token> Tokenise(const QString& sql) {
    std::vector<Token> tokens;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        qsizetype j = i + 1;
        if (c.isSpace()) {
            while (j < n && sql[j].isSpace()) ++j;
            tokens.push_back({Token::Space, sql.mid(i, j - i), {}});
        } else if (c == u'\'') {
            // A text literal, written back as it came ('' inside stays '').
            while (j < n) {
                if (sql[j] == u'\'') {
                    if (j + 1 < n && sql[j + 1] == u'\'') {
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                ++j;
            }
            tokens.push_back({Token::Text, sql.mid(i, j - i), {}});
        } else if (c == u'"' || c == u'[' || c == u'`') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            QString name;
            while (j < n) {
                if (sql[j] == close) {
                    if (close != u']' && j + 1 < n && sql[j + 1] == close) {
                        name += close;
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                name += sql[j++];
            }
            tokens.push_back({Token::Name, sql.mid(i, j - i), name});
        } else if (c.isDigit() || (c == u'.' && j < n && sql[j].isDigit())) {
            while (j < n && (sql[j].isDigit() || sql[j] == u'.')) ++j;
            if (j < n && (sql[j] == u'e' || sql[j] == u'E')) {
                qsizetype k = j + 1;
                if (k < n && (sql[k] == u'+' || sql[k] == u'-')) ++k;
                if (k < n && sql[k].isDigit()) {
                    j = k;
                    while (j < n && sql[j].isDigit()) ++j;
                }
            }
            tokens.push_back({Token::Number, sql.mid(i, j - i), {}});
        } else if (c == u'?') {
            while (j < n && sql[j].isDigit()) ++j;
            tokens.push_back({Token::Parameter, sql.mid(i, j - i), {}});
        } else if (IsWordChar(c)) {
            while (j < n && IsWordChar(sql[j])) ++j;
            tokens.push_back({Token::Word, sql.mid(i, j - i), sql.mid(i, j - i)});
        } else if (c == u'-' && j < n && sql[j] == u'-') {
            while (j < n && sql[j] != u'\n') ++j;  // a comment
            tokens.push_back({Token::Space, QStringLiteral(" "), {}});
        } else if (c == u'/' && j < n && sql[j] == u'*') {
            const qsizetype end = sql.indexOf(QStringLiteral("*/"), j + 1);
            j = end < 0 ? n : end + 2;
            tokens.push_back({Token::Space, QStringLiteral(" "), {}});
        } else {
            static const QStringList pairs{QStringLiteral("<="), QStringLiteral(">="), QStringLiteral("<>"),
                                           QStringLiteral("!="), QStringLiteral("=="), QStringLiteral("||"),
                                           QStringLiteral("::"), QStringLiteral("<<"), QStringLiteral(">>")};
            if (j < n && pairs.contains(sql.mid(i, 2))) ++j;
            tokens.push_back({Token::Symbol, sql.mid(i, j - i), {}});
        }
        i = j;
    }
    return tokens;
}

// The keywords of the SQL the editor and its tools write, and of the tables'
// definitions. Column names must not be among them (or be bracketed).
const QSet<QString>& Keywords() {
    static const QSet<QString> words = [] {
        QSet<QString> set;
        for (const char* w :
             {"ABORT", "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "AUTOINCREMENT", "BEGIN", "BETWEEN",
              "BY", "CASCADE", "CASE", "CAST", "CHECK", "COLLATE", "COLUMN", "COMMIT", "CONFLICT",
              "CONSTRAINT", "CREATE", "CROSS", "CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP", "DEFAULT",
              "DEFERRABLE", "DEFERRED", "DELETE", "DESC", "DISTINCT", "DO", "DROP", "ELSE", "END", "ESCAPE",
              "EXCEPT", "EXCLUSIVE", "EXISTS", "FALSE", "FIRST", "FOREIGN", "FROM", "FULL", "GLOB", "GROUP",
              "HAVING", "IF", "IGNORE", "IMMEDIATE", "IN", "INDEX", "INNER", "INSERT", "INTERSECT", "INTO",
              "IS", "ISNULL", "JOIN", "KEY", "LAST", "LEFT", "LIKE", "LIMIT", "NATURAL", "NO", "NOT",
              "NOTHING", "NOTNULL", "NULL", "NULLS", "OF", "OFFSET", "ON", "OR", "ORDER", "OUTER", "OVER",
              "PARTITION", "PRIMARY", "RECURSIVE", "REFERENCES", "RELEASE", "RESTRICT", "RETURNING", "RIGHT",
              "ROLLBACK", "SAVEPOINT", "SELECT", "SET", "TABLE", "TEMP", "TEMPORARY", "THEN", "TO",
              "TRANSACTION", "TRUE", "UNION", "UNIQUE", "UPDATE", "USING", "VALUES", "VIEW", "WHEN", "WHERE",
              "WITH", "WITHOUT",
              // type names, as CAST and the tables' definitions write them
              "BIGINT", "BOOLEAN", "DOUBLE", "FLOAT", "INT", "INTEGER", "LONGTEXT", "NUMERIC", "PRECISION",
              "REAL", "SMALLINT", "TEXT", "VARCHAR"})
            set.insert(QString::fromLatin1(w));
        return set;
    }();
    return words;
}

bool IsKeyword(const Token& t) {
    return t.kind == Token::Word && Keywords().contains(t.raw.toUpper());
}

bool Is(const Token& t, const char* word) {
    return (t.kind == Token::Word || t.kind == Token::Keyword) &&
           t.raw.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool IsSymbol(const Token& t, const char* symbol) {
    return t.kind == Token::Symbol && t.text == QLatin1String(symbol);
}

// SQLite's functions by their PostgreSQL names; functions both know keep theirs.
const QHash<QString, QString>& Functions() {
    static const QHash<QString, QString> map = [] {
        QHash<QString, QString> m;
        for (const char* same :
             {"abs",    "avg",     "coalesce", "count",  "length",     "lower",    "max",   "min",
              "nullif", "replace", "round",    "substr", "sum",        "trim",     "ltrim", "rtrim",
              "upper",  "ov_like", "chr",      "strpos", "string_agg", "greatest", "least", "lastval"})
            m.insert(QString::fromLatin1(same), QString::fromLatin1(same));
        m.insert(QStringLiteral("ifnull"), QStringLiteral("coalesce"));
        m.insert(QStringLiteral("char"), QStringLiteral("chr"));
        m.insert(QStringLiteral("instr"), QStringLiteral("strpos"));
        m.insert(QStringLiteral("group_concat"), QStringLiteral("string_agg"));
        m.insert(QStringLiteral("last_insert_rowid"), QStringLiteral("lastval"));
        return m;
    }();
    return map;
}

QString QuotedName(const QString& name, const PgNames& names) {
    QString proper = names.value(name.toLower(), name);
    proper.replace(u'"', QStringLiteral("\"\""));
    return u'"' + proper + u'"';
}

class Statement {
  public:
    Statement(std::vector<Token> tokens, const PgNames& names) : m_t(std::move(tokens)), m_names(names) {}

    QString Translate(int* parameterCount) {
        DropCollations();
        Classify(parameterCount);
        RewriteIs();
        RewriteLikes();
        RewriteCalls();
        OrderNulls();
        return BinaryOrder();
    }

  private:
    std::vector<Token> m_t;
    const PgNames& m_names;

    int Next(int i) const {
        for (++i; i < static_cast<int>(m_t.size()); ++i)
            if (m_t[i].kind != Token::Space) return i;
        return -1;
    }
    int Prev(int i) const {
        for (--i; i >= 0; --i)
            if (m_t[i].kind != Token::Space) return i;
        return -1;
    }
    // The matching parenthesis of the one at i, forwards or backwards.
    int Match(int i, int step) const {
        int depth = 0;
        for (int k = i; k >= 0 && k < static_cast<int>(m_t.size()); k += step) {
            if (IsSymbol(m_t[k], "("))
                depth += step;
            else if (IsSymbol(m_t[k], ")"))
                depth -= step;
            if (depth == 0) return k;
        }
        throw DbError(err::ErrorsInCommand, QStringLiteral("Unbalanced parentheses in SQL."));
    }

    void DropCollations() {
        for (int i = 0; i < static_cast<int>(m_t.size()); ++i) {
            if (!Is(m_t[i], "COLLATE")) continue;
            const int what = Next(i);
            if (what < 0) continue;
            if (Is(m_t[what], "NOCASE")) {
                int from = i;
                if (from > 0 && m_t[from - 1].kind == Token::Space) --from;
                m_t.erase(m_t.begin() + from, m_t.begin() + what + 1);
                i = from - 1;
            } else if (Is(m_t[what], "BINARY")) {
                m_t[what] = {Token::Expression, QStringLiteral("\"C\""), QStringLiteral("BINARY")};
            }
        }
    }

    void Classify(int* parameterCount) {
        int parameters = 0;
        for (int i = 0; i < static_cast<int>(m_t.size()); ++i) {
            Token& t = m_t[i];
            const int prev = Prev(i), next = Next(i);
            const bool qualified =
                (prev >= 0 && IsSymbol(m_t[prev], ".")) || (next >= 0 && IsSymbol(m_t[next], "."));
            if (t.kind == Token::Word) {
                const QString lower = t.raw.toLower();
                if (!qualified && IsKeyword(t)) {
                    t.kind = Token::Keyword;
                } else if (!qualified && next >= 0 && IsSymbol(m_t[next], "(") &&
                           Functions().contains(lower)) {
                    t.kind = Token::Function;
                    t.text = Functions().value(lower);
                } else {
                    t.kind = Token::Name;
                    t.text = QuotedName(t.raw, m_names);
                }
            } else if (t.kind == Token::Name) {
                t.text = QuotedName(t.raw, m_names);
            } else if (t.kind == Token::Parameter) {
                t.text = QStringLiteral("$%1").arg(++parameters);
            } else if (IsSymbol(t, "==")) {
                t.text = QStringLiteral("=");
            }
        }
        if (parameterCount) *parameterCount = parameters;
    }

    void RewriteIs() {
        for (int i = 0; i < static_cast<int>(m_t.size()); ++i) {
            if (!Is(m_t[i], "IS")) continue;
            const int next = Next(i);
            if (next < 0) continue;
            const bool negated = Is(m_t[next], "NOT");
            const int operand = negated ? Next(next) : next;
            if (operand < 0 || Is(m_t[operand], "NULL") || Is(m_t[operand], "DISTINCT")) continue;
            if (negated)
                m_t[next].text = QStringLiteral("DISTINCT FROM");
            else
                m_t[i].text += QStringLiteral(" NOT DISTINCT FROM");
        }
    }

    // Where the operand ending at i begins: a name (qualified or not), a
    // literal, a parameter, a call or a parenthesised expression.
    int PrimaryStart(int i) const {
        if (IsSymbol(m_t[i], ")")) {
            const int open = Match(i, -1);
            const int before = Prev(open);
            return before >= 0 && m_t[before].kind == Token::Function ? before : open;
        }
        if (m_t[i].kind == Token::Name) {
            const int dot = Prev(i);
            if (dot >= 0 && IsSymbol(m_t[dot], ".")) {
                const int qualifier = Prev(dot);
                if (qualifier >= 0 && m_t[qualifier].kind == Token::Name) return qualifier;
            }
        }
        return i;
    }
    int PrimaryEnd(int i) const {
        if (m_t[i].kind == Token::Function) return Match(Next(i), +1);
        if (IsSymbol(m_t[i], "(")) return Match(i, +1);
        if (m_t[i].kind == Token::Name) {
            const int dot = Next(i);
            if (dot >= 0 && IsSymbol(m_t[dot], ".")) {
                const int column = Next(dot);
                if (column >= 0 && (m_t[column].kind == Token::Name || IsSymbol(m_t[column], "*")))
                    return column;
            }
        }
        return i;
    }
    // Operands joined by "||" belong together: the operator binds closer than LIKE.
    int OperandStart(int end) const {
        int start = PrimaryStart(end);
        for (int op = Prev(start); op >= 0 && IsSymbol(m_t[op], "||"); op = Prev(start)) {
            const int before = Prev(op);
            if (before < 0) break;
            start = PrimaryStart(before);
        }
        return start;
    }
    int OperandEnd(int start) const {
        int end = PrimaryEnd(start);
        for (int op = Next(end); op >= 0 && IsSymbol(m_t[op], "||"); op = Next(end)) {
            const int after = Next(op);
            if (after < 0) break;
            end = PrimaryEnd(after);
        }
        return end;
    }
    QString Text(int from, int to) const {
        QString out;
        for (int k = from; k <= to; ++k) out += m_t[k].text;
        return out.trimmed();
    }

    void RewriteLikes() {
        for (int i = 0; i < static_cast<int>(m_t.size()); ++i) {
            if (!Is(m_t[i], "LIKE")) continue;
            int leftEnd = Prev(i);
            const bool negated = leftEnd >= 0 && Is(m_t[leftEnd], "NOT");
            if (negated) leftEnd = Prev(leftEnd);
            const int rightStart = Next(i);
            if (leftEnd < 0 || rightStart < 0)
                throw DbError(err::ErrorsInCommand, QStringLiteral("LIKE without an operand."));
            const int leftStart = OperandStart(leftEnd);
            const int rightEnd = OperandEnd(rightStart);
            QString call = (negated ? QStringLiteral("NOT ov_like(") : QStringLiteral("ov_like(")) +
                           Text(leftStart, leftEnd) + QStringLiteral(", ") + Text(rightStart, rightEnd);
            int last = rightEnd;
            const int escape = Next(rightEnd);
            if (escape >= 0 && Is(m_t[escape], "ESCAPE")) {
                const int escapeStart = Next(escape);
                if (escapeStart < 0)
                    throw DbError(err::ErrorsInCommand, QStringLiteral("ESCAPE without a character."));
                last = OperandEnd(escapeStart);
                call += QStringLiteral(", ") + Text(escapeStart, last);
            }
            call += u')';
            m_t.erase(m_t.begin() + leftStart + 1, m_t.begin() + last + 1);
            m_t[leftStart] = {Token::Expression, call, {}};
            i = leftStart;
        }
    }

    // A file sorts empty values (nulls) before all others, the server after
    // them unless told: each sort key says where they go, and so does each
    // column of an index, which then still serves the sort. Keys that are
    // never null (the row keys) stay as they are and keep the primary key's
    // index, which cannot say it.
    void OrderNulls() {
        for (int i = 0; i < static_cast<int>(m_t.size()); ++i) {
            int start = -1;
            if (Is(m_t[i], "ORDER") && Next(i) >= 0 && Is(m_t[Next(i)], "BY")) {
                start = Next(i) + 1;
            } else if (Is(m_t[i], "INDEX")) {
                int k = Next(i);
                while (k >= 0 && !IsSymbol(m_t[k], "(")) k = Next(k);
                if (k >= 0) start = k + 1;
            }
            if (start < 0) continue;
            int depth = 0, term = start;
            for (int k = start;; ++k) {
                const bool atEnd = k >= static_cast<int>(m_t.size()) || (depth == 0 && IsClauseEnd(m_t[k]));
                if (!atEnd && IsSymbol(m_t[k], "(")) ++depth;
                if (!atEnd && IsSymbol(m_t[k], ")")) --depth;
                if (atEnd || (depth == 0 && IsSymbol(m_t[k], ","))) {
                    if (PlaceNulls(term, k - 1)) ++k;
                    term = k + 1;
                    if (atEnd) break;
                }
            }
            i = start;
        }
    }
    static bool IsClauseEnd(const Token& t) {
        for (const char* word : {"LIMIT", "OFFSET", "UNION", "EXCEPT", "INTERSECT", "RETURNING", "WHERE"})
            if (Is(t, word)) return true;
        return IsSymbol(t, ")") || IsSymbol(t, ";");
    }
    // Adds where nulls go to the sort key from..to; true when a token was added.
    bool PlaceNulls(int from, int to) {
        int last = to;
        while (last >= from && m_t[last].kind == Token::Space) --last;
        if (last < from) return false;
        for (int k = from; k <= last; ++k)
            if (Is(m_t[k], "NULLS")) return false;
        const bool descending = Is(m_t[last], "DESC");
        int column = descending || Is(m_t[last], "ASC") ? Prev(last) : last;
        if (column >= from && m_t[column].kind == Token::Name &&
            m_names.contains(kNeverNull + m_t[column].raw.toLower()) && PrimaryStart(column) == Next(from - 1))
            return false;
        m_t.insert(m_t.begin() + last + 1,
                   {Token::Expression, descending ? QStringLiteral(" NULLS LAST") : QStringLiteral(" NULLS FIRST"), {}});
        return true;
    }

    // COLLATE BINARY orders by the characters' codes: the value as text in
    // the "C" collation (name columns compare without regard to case
    // otherwise). An output column's alias may not take part in an
    // expression, so a statement sorted by one is sorted from outside.
    QString BinaryOrder() {
        bool outside = false;
        int orderBy = -1;
        for (int i = 0; i < static_cast<int>(m_t.size()); ++i) {
            if (Is(m_t[i], "ORDER")) orderBy = i;
            if (!(m_t[i].kind == Token::Expression && m_t[i].raw == QLatin1String("BINARY"))) continue;
            const int collate = Prev(i);
            const int end = collate >= 0 ? Prev(collate) : -1;
            m_t[i].raw.clear();  // done with this one
            if (end < 0) continue;
            const int start = OperandStart(end);
            bool alias = false;
            if (start == end && m_t[end].kind == Token::Name)
                for (int k = 0; k < start; ++k)
                    if (Is(m_t[k], "AS") && Next(k) >= 0 && m_t[Next(k)].kind == Token::Name &&
                        m_t[Next(k)].text == m_t[end].text && Next(k) < orderBy)
                        alias = true;
            outside = outside || alias;
            const QString cast = QStringLiteral("CAST(%1 AS text)").arg(Text(start, end));
            m_t.erase(m_t.begin() + start + 1, m_t.begin() + end + 1);
            m_t[start] = {Token::Expression, cast, {}};
            i = start;
        }
        QString out;
        if (outside && orderBy >= 0) {
            for (int k = 0; k < orderBy; ++k) out += m_t[k].text;
            out = QStringLiteral("SELECT * FROM (%1) AS \"ov_rows\" ").arg(out.trimmed());
            for (int k = orderBy; k < static_cast<int>(m_t.size()); ++k) out += m_t[k].text;
            return out;
        }
        for (const Token& t : m_t) out += t.text;
        return out;
    }

    // Calls whose PostgreSQL form depends on their arguments.
    void RewriteCalls() {
        for (int i = 0; i < static_cast<int>(m_t.size()); ++i) {
            if (m_t[i].kind != Token::Function) continue;
            const int open = Next(i);
            const int close = Match(open, +1);
            std::vector<std::pair<int, int>> arguments;  // token ranges, spaces included
            int from = open + 1, depth = 0;
            for (int k = open + 1; k < close; ++k) {
                if (IsSymbol(m_t[k], "("))
                    ++depth;
                else if (IsSymbol(m_t[k], ")"))
                    --depth;
                else if (depth == 0 && IsSymbol(m_t[k], ",")) {
                    arguments.emplace_back(from, k - 1);
                    from = k + 1;
                }
            }
            if (close > open + 1) arguments.emplace_back(from, close - 1);
            const QString& name = m_t[i].text;
            if ((name == QLatin1String("max") || name == QLatin1String("min")) && arguments.size() > 1) {
                m_t[i].text =
                    name == QLatin1String("max") ? QStringLiteral("greatest") : QStringLiteral("least");
            } else if (name == QLatin1String("string_agg") && !arguments.empty()) {
                // Any values, joined as text; "," unless a separator is given.
                const QString separator = arguments.size() > 1 ? Text(arguments[1].first, arguments[1].second)
                                                               : QStringLiteral("','");
                const QString call = QStringLiteral("string_agg(CAST(%1 AS text), %2)")
                                         .arg(Text(arguments[0].first, arguments[0].second), separator);
                m_t.erase(m_t.begin() + i + 1, m_t.begin() + close + 1);
                m_t[i] = {Token::Expression, call, {}};
            }
        }
    }
};

// --- table definitions ---

struct ColumnType {
    QString pgType;  // what the column is made with
    QString domain;  // the domain it needs, empty for a built-in type
};

QString DomainDefinition(const QString& domain) {
    QString base;
    if (domain == QLatin1String("ov_boolean"))
        base = QStringLiteral("smallint");
    else if (domain.startsWith(QLatin1String("ov_nocase_")))
        base = QStringLiteral("citext");
    else
        base = QStringLiteral("text");
    return QStringLiteral(
               "DO $$BEGIN CREATE DOMAIN %1 AS %2; EXCEPTION WHEN duplicate_object THEN NULL; END$$")
        .arg(domain, base);
}

// The server's type of a declared column type; size is the declared length or 0.
ColumnType TypeOf(const QString& declared, int size, bool nocase) {
    const QString d = declared.toUpper();
    if (d.contains(u"BOOL") || d == u"BIT" || d == u"YESNO")
        return {QStringLiteral("ov_boolean"), QStringLiteral("ov_boolean")};
    if (d == u"SMALLINT" || d == u"TINYINT" || d == u"SHORT" || d == u"INT2")
        return {QStringLiteral("smallint"), {}};
    if (d.contains(u"INT") || d == u"LONG" || d == u"COUNTER") return {QStringLiteral("bigint"), {}};
    if (d == u"SINGLE" || d == u"FLOAT4") return {QStringLiteral("real"), {}};
    if (d.contains(u"DOUB") || d.contains(u"FLOA") || d.contains(u"REAL") || d.contains(u"NUMERIC") ||
        d.contains(u"DECIMAL"))
        return {QStringLiteral("double precision"), {}};
    if (d.contains(u"DATE") || d.contains(u"TIME")) return {QStringLiteral("timestamp"), {}};
    if (d.contains(u"BLOB") || d.contains(u"BINARY")) return {QStringLiteral("bytea"), {}};
    const bool longText = d.contains(u"LONGTEXT") || d.contains(u"MEMO") || d.contains(u"CLOB") ||
                          ((d == u"TEXT" || d == u"NTEXT") && size == 0);
    if (longText) {
        const QString domain = nocase ? QStringLiteral("ov_nocase_longtext") : QStringLiteral("ov_longtext");
        return {domain, domain};
    }
    if (d.contains(u"CHAR") || d.contains(u"TEXT") || d.contains(u"STRING")) {
        const QString domain = QStringLiteral("%1%2")
                                   .arg(nocase ? QStringLiteral("ov_nocase_") : QStringLiteral("ov_text_"))
                                   .arg(size > 0 ? size : 255);
        return {domain, domain};
    }
    return {declared.toLower(), {}};
}

bool IsConstraintWord(const Token& t) {
    for (const char* w : {"PRIMARY", "NOT", "NULL", "DEFAULT", "CHECK", "UNIQUE", "COLLATE", "REFERENCES",
                          "CONSTRAINT", "GENERATED", "AS"})
        if (Is(t, w)) return true;
    return false;
}

// One column definition ("Name VARCHAR(255) COLLATE NOCASE", "ID INTEGER
// PRIMARY KEY AUTOINCREMENT CHECK (ID < 65536)") in the server's form.
QString ColumnDefinition(const std::vector<Token>& t, const PgNames& names, QSet<QString>* domains) {
    std::vector<std::size_t> sig;
    for (std::size_t k = 0; k < t.size(); ++k)
        if (t[k].kind != Token::Space) sig.push_back(k);
    if (sig.empty()) throw DbError(err::ErrorsInCommand, QStringLiteral("An empty column definition."));
    const QString name = QuotedName(t[sig[0]].raw, names);

    std::size_t s = 1;
    QStringList typeWords;
    while (s < sig.size() && t[sig[s]].kind == Token::Word && !IsConstraintWord(t[sig[s]]))
        typeWords << t[sig[s++]].text;
    int size = 0;
    if (s < sig.size() && IsSymbol(t[sig[s]], "(")) {
        if (s + 1 < sig.size() && t[sig[s + 1]].kind == Token::Number) size = t[sig[s + 1]].text.toInt();
        while (s < sig.size() && !IsSymbol(t[sig[s]], ")")) ++s;
        ++s;
    }
    // What follows the type: COLLATE NOCASE belongs to it, PRIMARY KEY
    // AUTOINCREMENT makes the identity; the rest is translated as it stands.
    bool nocase = false, autoincrement = false, primaryKey = false;
    std::vector<Token> rest;
    for (std::size_t k = s < sig.size() ? sig[s] : t.size(); k < t.size(); ++k) {
        if (Is(t[k], "COLLATE")) {
            std::size_t n = k + 1;
            while (n < t.size() && t[n].kind == Token::Space) ++n;
            if (n < t.size() && Is(t[n], "NOCASE")) {
                nocase = true;
                k = n;
                continue;
            }
        }
        if (Is(t[k], "AUTOINCREMENT")) {
            autoincrement = true;
            continue;
        }
        if (Is(t[k], "PRIMARY")) {
            std::size_t n = k + 1;
            while (n < t.size() && t[n].kind == Token::Space) ++n;
            if (n < t.size() && Is(t[n], "KEY")) {
                primaryKey = true;
                k = n;
                continue;
            }
        }
        rest.push_back(t[k]);
    }
    const ColumnType type = TypeOf(typeWords.join(u' '), size, nocase);
    if (!type.domain.isEmpty()) domains->insert(type.domain);
    QString out = name + u' ' + type.pgType;
    if (primaryKey && autoincrement) out += QStringLiteral(" GENERATED BY DEFAULT AS IDENTITY");
    if (primaryKey) out += QStringLiteral(" PRIMARY KEY");
    const QString constraints = Statement(rest, names).Translate(nullptr).simplified();
    if (!constraints.isEmpty()) out += u' ' + constraints;
    return out;
}

// CREATE TABLE and ALTER TABLE ... ADD in the server's form; nothing when the
// statement is neither.
std::optional<QString> TableDefinition(const std::vector<Token>& t, const PgNames& names,
                                       QSet<QString>* domains) {
    std::vector<std::size_t> sig;
    for (std::size_t k = 0; k < t.size(); ++k)
        if (t[k].kind != Token::Space && !IsSymbol(t[k], ";")) sig.push_back(k);
    if (sig.size() < 4) return std::nullopt;
    if (Is(t[sig[0]], "ALTER") && Is(t[sig[1]], "TABLE") && Is(t[sig[3]], "ADD")) {
        std::size_t c = 4;
        if (c < sig.size() && Is(t[sig[c]], "COLUMN")) ++c;
        if (c >= sig.size() || Is(t[sig[c]], "CONSTRAINT") || Is(t[sig[c]], "PRIMARY") ||
            Is(t[sig[c]], "UNIQUE") || Is(t[sig[c]], "CHECK"))
            return std::nullopt;
        const Token& table = t[sig[2]];
        const std::vector<Token> column(t.begin() + static_cast<std::ptrdiff_t>(sig[c]),
                                        t.begin() + static_cast<std::ptrdiff_t>(sig.back() + 1));
        return QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
            .arg(QuotedName(table.raw, names), ColumnDefinition(column, names, domains));
    }
    if (!Is(t[sig[0]], "CREATE")) return std::nullopt;
    std::size_t s = 1;
    QString head = QStringLiteral("CREATE ");
    if (Is(t[sig[s]], "TEMP") || Is(t[sig[s]], "TEMPORARY")) {
        head += QStringLiteral("TEMPORARY ");
        ++s;
    }
    if (s >= sig.size() || !Is(t[sig[s]], "TABLE")) return std::nullopt;
    head += QStringLiteral("TABLE ");
    ++s;
    if (s + 2 < sig.size() && Is(t[sig[s]], "IF") && Is(t[sig[s + 1]], "NOT") &&
        Is(t[sig[s + 2]], "EXISTS")) {
        head += QStringLiteral("IF NOT EXISTS ");
        s += 3;
    }
    if (s + 1 >= sig.size() || !IsSymbol(t[sig[s + 1]], "("))
        return std::nullopt;  // CREATE TABLE ... AS SELECT
    const Token& table = t[sig[s]];
    head += QuotedName(table.raw, names);

    // The definitions between the outer parentheses, split at their commas.
    const std::size_t open = sig[s + 1];
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    std::size_t from = open + 1;
    int depth = 0;
    std::size_t k = open + 1;
    for (; k < t.size(); ++k) {
        if (IsSymbol(t[k], "(")) {
            ++depth;
        } else if (IsSymbol(t[k], ")")) {
            if (depth-- == 0) break;
        } else if (depth == 0 && IsSymbol(t[k], ",")) {
            ranges.emplace_back(from, k);
            from = k + 1;
        }
    }
    if (k >= t.size()) throw DbError(err::ErrorsInCommand, QStringLiteral("Unbalanced parentheses in SQL."));
    ranges.emplace_back(from, k);
    QStringList columns;
    for (const auto& [f, e] : ranges) {
        const std::vector<Token> part(t.begin() + static_cast<std::ptrdiff_t>(f),
                                      t.begin() + static_cast<std::ptrdiff_t>(e));
        std::size_t first = 0;
        while (first < part.size() && part[first].kind == Token::Space) ++first;
        if (first == part.size()) continue;
        const Token& lead = part[first];
        if (Is(lead, "PRIMARY") || Is(lead, "UNIQUE") || Is(lead, "CHECK") || Is(lead, "CONSTRAINT") ||
            Is(lead, "FOREIGN"))
            columns << Statement(part, names).Translate(nullptr).simplified();
        else
            columns << ColumnDefinition(part, names, domains);
    }
    return head + QStringLiteral(" (\n    ") + columns.join(QStringLiteral(",\n    ")) + QStringLiteral(")");
}

}  // namespace

void AddPgNames(PgNames& names, const QString& table, const QStringList& columns) {
    names.insert(table.toLower(), table);
    for (const QString& column : columns) names.insert(column.toLower(), column);
}

void AddPgNeverNull(PgNames& names, const QString& column) { names.insert(kNeverNull + column.toLower(), column); }

QString PgSql(const QString& sql, const PgNames& names, int* parameterCount) {
    std::vector<Token> tokens = Tokenise(sql);
    for (const Token& t : tokens) {
        if (t.kind == Token::Space) continue;
        if (Is(t, "PRAGMA"))
            throw DbError(err::ErrorsInCommand,
                          QStringLiteral("PRAGMA has no form on a database server: %1").arg(sql));
        break;
    }
    QSet<QString> domains;
    if (const auto table = TableDefinition(tokens, names, &domains)) {
        if (parameterCount) *parameterCount = 0;
        return *table;
    }
    return Statement(std::move(tokens), names).Translate(parameterCount);
}

QStringList PgDomainsFor(const QString& ddl) {
    QSet<QString> domains;
    TableDefinition(Tokenise(ddl), PgNames(), &domains);
    QStringList sorted(domains.begin(), domains.end());
    sorted.sort();
    QStringList statements;
    for (const QString& domain : sorted) statements << DomainDefinition(domain);
    return statements;
}

QString DeclarationOfPgType(const QString& domainOrTypeName, int characterMaximumLength) {
    const QString t = domainOrTypeName.trimmed().toLower();
    static const QRegularExpression sized(QStringLiteral("^ov_(?:nocase|text)_(\\d+)$"));
    if (const auto m = sized.match(t); m.hasMatch()) return QStringLiteral("VARCHAR(%1)").arg(m.captured(1));
    if (t == u"ov_boolean" || t == u"bool" || t == u"boolean") return QStringLiteral("BOOLEAN");
    if (t == u"ov_longtext" || t == u"ov_nocase_longtext" || t == u"text" || t == u"citext")
        return QStringLiteral("LONGTEXT");
    if (t == u"int8" || t == u"bigint" || t == u"int4" || t == u"integer" || t == u"int")
        return QStringLiteral("INTEGER");
    if (t == u"int2" || t == u"smallint") return QStringLiteral("SMALLINT");
    if (t == u"float8" || t == u"double precision") return QStringLiteral("DOUBLE");
    if (t == u"float4" || t == u"real") return QStringLiteral("SINGLE");
    if (t == u"numeric") return QStringLiteral("NUMERIC");
    if (t.startsWith(u"timestamp") || t == u"date") return QStringLiteral("DATETIME");
    if (t == u"bytea") return QStringLiteral("BLOB");
    if (t == u"varchar" || t == u"character varying" || t == u"bpchar" || t == u"character")
        return characterMaximumLength > 0 ? QStringLiteral("VARCHAR(%1)").arg(characterMaximumLength)
                                          : QStringLiteral("VARCHAR");
    return domainOrTypeName.toUpper();
}

QString DefaultOfPg(const QString& columnDefault) {
    QString d = columnDefault.trimmed();
    static const QRegularExpression cast(QStringLiteral("::[A-Za-z_ ]+(\\(\\d+\\))?$"));
    for (QRegularExpressionMatch m = cast.match(d); m.hasMatch(); m = cast.match(d))
        d = d.left(m.capturedStart()).trimmed();
    static const QRegularExpression quotedNumber(QStringLiteral("^'(-?\\d+(?:\\.\\d+)?)'$"));
    if (const auto m = quotedNumber.match(d); m.hasMatch()) return m.captured(1);
    if (d.size() >= 2 && d.front() == u'(' && d.back() == u')') d = d.mid(1, d.size() - 2);
    return d;
}

QString PgColumnsQuery() {
    return QStringLiteral(
        "SELECT column_name, COALESCE(domain_name, udt_name), character_maximum_length, is_nullable, "
        "column_default "
        "FROM information_schema.columns WHERE table_schema = current_schema() AND table_name = $1 "
        "ORDER BY ordinal_position");
}

QStringList PgProjectFunctions() {
    return {
        QStringLiteral("CREATE EXTENSION IF NOT EXISTS citext WITH SCHEMA public"),
        // A name column compared with a text expression ignores letter case,
        // as a NOCASE column does in a file. citext has no operators for
        // citext and text, so the server would compare both as text, with
        // regard to case: the upper bound of a prefix range ("Name <
        // 'area3.' || chr(1114111)") then lets every "Area..." row through.
        // The operators are plain SQL: the planner puts citext's own
        // comparison in place, which the name indexes serve.
        QStringLiteral(R"(DO $$
DECLARE
    op record;
BEGIN
    FOR op IN SELECT * FROM (VALUES ('<', 'lt'), ('<=', 'le'), ('>', 'gt'), ('>=', 'ge'), ('=', 'eq'), ('<>', 'ne'))
              AS v(sign, name) LOOP
        EXECUTE format('CREATE OR REPLACE FUNCTION ov_nocase_%s(a citext, b text) RETURNS boolean '
                       'LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS %L', op.name, 'SELECT a ' || op.sign || ' b::citext');
        IF NOT EXISTS (SELECT 1 FROM pg_operator o WHERE o.oprnamespace = current_schema()::regnamespace
                       AND o.oprname = op.sign AND o.oprleft = 'citext'::regtype AND o.oprright = 'text'::regtype) THEN
            EXECUTE format('CREATE OPERATOR %s (LEFTARG = citext, RIGHTARG = text, FUNCTION = ov_nocase_%s)',
                           op.sign, op.name);
        END IF;
    END LOOP;
END
$$)"),
        // One character of a pattern as the expression writes it: letters
        // and digits as they are, anything else by its code point.
        QStringLiteral(R"(CREATE OR REPLACE FUNCTION ov_like_char(c text) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT CASE WHEN c ~ '^[a-z0-9]$' THEN c
            WHEN ascii(c) < 65536 THEN '\u' || lpad(to_hex(ascii(c)), 4, '0')
            ELSE '\U' || lpad(to_hex(ascii(c)), 8, '0') END
$$)"),
        // The pattern as an anchored regular expression over case-folded
        // text ("%" any run, "_" one character, "[a-z]" and "[!a-z]" sets
        // with their bounds folded, the character after the escape
        // literal), parsed exactly as LikePattern parses it.
        QStringLiteral(
            R"(CREATE OR REPLACE FUNCTION ov_like_regex(pattern text, escape_char text) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
    n int := length(pattern);
    i int := 1;
    j int;
    close int;
    c text;
    low text;
    high text;
    folded text;
    k int;
    result text := '^';
    run boolean := false;
BEGIN
    IF pattern IS NULL THEN
        RETURN NULL;
    END IF;
    IF escape_char IS NOT NULL AND length(escape_char) <> 1 THEN
        RAISE EXCEPTION 'ESCAPE expression must be a single character' USING ERRCODE = '22025';
    END IF;
    WHILE i <= n LOOP
        c := substr(pattern, i, 1);
        IF escape_char IS NOT NULL AND c = escape_char AND i < n THEN
            i := i + 1;
            folded := lower(upper(substr(pattern, i, 1)));
            FOR k IN 1 .. length(folded) LOOP
                result := result || ov_like_char(substr(folded, k, 1));
            END LOOP;
            run := false;
        ELSIF c = '%' THEN
            IF NOT run THEN
                result := result || '.*';
            END IF;
            run := true;
        ELSIF c = '_' THEN
            result := result || '.';
            run := false;
        ELSIF c = '[' AND strpos(substr(pattern, i + 2), ']') > 0 THEN
            close := i + 1 + strpos(substr(pattern, i + 2), ']');
            j := i + 1;
            result := result || '[';
            IF substr(pattern, j, 1) = '!' AND j + 1 < close THEN
                result := result || '^';
                j := j + 1;
            END IF;
            WHILE j < close LOOP
                low := left(lower(upper(substr(pattern, j, 1))), 1);
                IF j + 2 < close AND substr(pattern, j + 1, 1) = '-' THEN
                    high := left(lower(upper(substr(pattern, j + 2, 1))), 1);
                    IF ascii(low) > ascii(high) THEN
                        c := low;
                        low := high;
                        high := c;
                    END IF;
                    result := result || ov_like_char(low) || '-' || ov_like_char(high);
                    j := j + 3;
                ELSE
                    result := result || ov_like_char(low);
                    j := j + 1;
                END IF;
            END LOOP;
            result := result || ']';
            i := close;
            run := false;
        ELSE
            folded := lower(upper(c));
            FOR k IN 1 .. length(folded) LOOP
                result := result || ov_like_char(substr(folded, k, 1));
            END LOOP;
            run := false;
        END IF;
        i := i + 1;
    END LOOP;
    RETURN result || '$';
END
$$)"),
        // Plain SQL, so the planner puts the body in place and works out the
        // expression of a constant pattern once.
        QStringLiteral(R"(CREATE OR REPLACE FUNCTION ov_like(subject text, pattern text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT lower(upper(subject)) ~ ov_like_regex(pattern, NULL)
$$)"),
        QStringLiteral(
            R"(CREATE OR REPLACE FUNCTION ov_like(subject text, pattern text, escape_char text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT lower(upper(subject)) ~ ov_like_regex(pattern, coalesce(escape_char, ''))
$$)"),
    };
}

}  // namespace ov::db
