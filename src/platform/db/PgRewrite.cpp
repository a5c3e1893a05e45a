#include "platform/db/DbError.h"
#include "platform/db/PgDialectInternal.h"

namespace ov::db {

namespace pg {

namespace {

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
            if (!IsWord(m_t[i], "COLLATE")) continue;
            const int what = Next(i);
            if (what < 0) continue;
            if (IsWord(m_t[what], "NOCASE")) {
                int from = i;
                if (from > 0 && m_t[from - 1].kind == Token::Space) --from;
                m_t.erase(m_t.begin() + from, m_t.begin() + what + 1);
                i = from - 1;
            } else if (IsWord(m_t[what], "BINARY")) {
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
                const QString lower = t.value.toLower();
                if (!qualified && IsKeyword(t)) {
                    t.kind = Token::Keyword;
                } else if (!qualified && next >= 0 && IsSymbol(m_t[next], "(") &&
                           Functions().contains(lower)) {
                    t.kind = Token::Function;
                    t.text = Functions().value(lower);
                } else {
                    t.kind = Token::Name;
                    t.text = QuotedName(t.value, m_names);
                }
            } else if (t.kind == Token::Name) {
                t.text = QuotedName(t.value, m_names);
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
            if (!IsWord(m_t[i], "IS")) continue;
            const int next = Next(i);
            if (next < 0) continue;
            const bool negated = IsWord(m_t[next], "NOT");
            const int operand = negated ? Next(next) : next;
            if (operand < 0 || IsWord(m_t[operand], "NULL") || IsWord(m_t[operand], "DISTINCT")) continue;
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
            if (!IsWord(m_t[i], "LIKE")) continue;
            int leftEnd = Prev(i);
            const bool negated = leftEnd >= 0 && IsWord(m_t[leftEnd], "NOT");
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
            if (escape >= 0 && IsWord(m_t[escape], "ESCAPE")) {
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
            if (IsWord(m_t[i], "ORDER") && Next(i) >= 0 && IsWord(m_t[Next(i)], "BY")) {
                start = Next(i) + 1;
            } else if (IsWord(m_t[i], "INDEX")) {
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
            if (IsWord(t, word)) return true;
        return IsSymbol(t, ")") || IsSymbol(t, ";");
    }
    // Adds where nulls go to the sort key from..to; true when a token was added.
    bool PlaceNulls(int from, int to) {
        int last = to;
        while (last >= from && m_t[last].kind == Token::Space) --last;
        if (last < from) return false;
        for (int k = from; k <= last; ++k)
            if (IsWord(m_t[k], "NULLS")) return false;
        const bool descending = IsWord(m_t[last], "DESC");
        int column = descending || IsWord(m_t[last], "ASC") ? Prev(last) : last;
        if (column >= from && m_t[column].kind == Token::Name && IsNeverNull(m_names, m_t[column].value) &&
            PrimaryStart(column) == Next(from - 1))
            return false;
        m_t.insert(m_t.begin() + last + 1,
                   {Token::Expression,
                    descending ? QStringLiteral(" NULLS LAST") : QStringLiteral(" NULLS FIRST"),
                    {}});
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
            if (IsWord(m_t[i], "ORDER")) orderBy = i;
            if (!(m_t[i].kind == Token::Expression && m_t[i].value == QLatin1String("BINARY"))) continue;
            const int collate = Prev(i);
            const int end = collate >= 0 ? Prev(collate) : -1;
            m_t[i].value.clear();  // done with this one
            if (end < 0) continue;
            const int start = OperandStart(end);
            bool alias = false;
            if (start == end && m_t[end].kind == Token::Name)
                for (int k = 0; k < start; ++k)
                    if (IsWord(m_t[k], "AS") && Next(k) >= 0 && m_t[Next(k)].kind == Token::Name &&
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

}  // namespace

QString TranslateStatement(std::vector<Token> tokens, const PgNames& names, int* parameterCount) {
    return Statement(std::move(tokens), names).Translate(parameterCount);
}

}  // namespace pg

QString PgSql(const QString& sql, const PgNames& names, int* parameterCount) {
    std::vector<pg::Token> tokens = TokeniseSql(sql, DoubleQuotes::Name);
    for (const pg::Token& t : tokens) {
        if (t.kind == SqlToken::Space) continue;
        if (IsWord(t, "PRAGMA"))
            throw DbError(err::ErrorsInCommand,
                          QStringLiteral("PRAGMA has no form on a database server: %1").arg(sql));
        break;
    }
    QSet<QString> domains;
    if (const auto table = pg::TableDefinition(tokens, names, &domains)) {
        if (parameterCount) *parameterCount = 0;
        return *table;
    }
    return pg::TranslateStatement(std::move(tokens), names, parameterCount);
}

}  // namespace ov::db
