#include "platform/db/DbError.h"
#include "platform/db/PgDialectInternal.h"

#include <QRegularExpression>

namespace ov::db {

namespace pg {

namespace {

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
        if (IsWord(t, w)) return true;
    return false;
}

// Where the two words "first second" starting at k end (the second one's
// index), or 0 when they do not stand there.
std::size_t PairEnd(const std::vector<Token>& t, std::size_t k, const char* first, const char* second) {
    if (!IsWord(t[k], first)) return 0;
    std::size_t n = k + 1;
    while (n < t.size() && t[n].kind == Token::Space) ++n;
    return n < t.size() && IsWord(t[n], second) ? n : 0;
}

// One column definition ("Name VARCHAR(255) COLLATE NOCASE", "ID INTEGER
// PRIMARY KEY AUTOINCREMENT CHECK (ID < 65536)") in the server's form.
QString ColumnDefinition(const std::vector<Token>& t, const PgNames& names, QSet<QString>* domains) {
    std::vector<std::size_t> sig;
    for (std::size_t k = 0; k < t.size(); ++k)
        if (t[k].kind != Token::Space) sig.push_back(k);
    if (sig.empty()) throw DbError(err::ErrorsInCommand, QStringLiteral("An empty column definition."));
    const QString name = QuotedName(t[sig[0]].value, names);

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
        if (const std::size_t n = PairEnd(t, k, "COLLATE", "NOCASE")) {
            nocase = true;
            k = n;
            continue;
        }
        if (IsWord(t[k], "AUTOINCREMENT")) {
            autoincrement = true;
            continue;
        }
        if (const std::size_t n = PairEnd(t, k, "PRIMARY", "KEY")) {
            primaryKey = true;
            k = n;
            continue;
        }
        rest.push_back(t[k]);
    }
    const ColumnType type = TypeOf(typeWords.join(u' '), size, nocase);
    if (!type.domain.isEmpty()) domains->insert(type.domain);
    QString out = name + u' ' + type.pgType;
    if (primaryKey && autoincrement) out += QStringLiteral(" GENERATED BY DEFAULT AS IDENTITY");
    if (primaryKey) out += QStringLiteral(" PRIMARY KEY");
    const QString constraints = TranslateStatement(rest, names, nullptr).simplified();
    if (!constraints.isEmpty()) out += u' ' + constraints;
    return out;
}

}  // namespace

std::optional<QString> TableDefinition(const std::vector<Token>& t, const PgNames& names,
                                       QSet<QString>* domains) {
    std::vector<std::size_t> sig;
    for (std::size_t k = 0; k < t.size(); ++k)
        if (t[k].kind != Token::Space && !IsSymbol(t[k], ";")) sig.push_back(k);
    if (sig.size() < 4) return std::nullopt;
    if (IsWord(t[sig[0]], "ALTER") && IsWord(t[sig[1]], "TABLE") && IsWord(t[sig[3]], "ADD")) {
        std::size_t c = 4;
        if (c < sig.size() && IsWord(t[sig[c]], "COLUMN")) ++c;
        if (c >= sig.size() || IsWord(t[sig[c]], "CONSTRAINT") || IsWord(t[sig[c]], "PRIMARY") ||
            IsWord(t[sig[c]], "UNIQUE") || IsWord(t[sig[c]], "CHECK"))
            return std::nullopt;
        const Token& table = t[sig[2]];
        const std::vector<Token> column(t.begin() + static_cast<std::ptrdiff_t>(sig[c]),
                                        t.begin() + static_cast<std::ptrdiff_t>(sig.back() + 1));
        return QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
            .arg(QuotedName(table.value, names), ColumnDefinition(column, names, domains));
    }
    if (!IsWord(t[sig[0]], "CREATE")) return std::nullopt;
    std::size_t s = 1;
    QString head = QStringLiteral("CREATE ");
    if (IsWord(t[sig[s]], "TEMP") || IsWord(t[sig[s]], "TEMPORARY")) {
        head += QStringLiteral("TEMPORARY ");
        ++s;
    }
    if (s >= sig.size() || !IsWord(t[sig[s]], "TABLE")) return std::nullopt;
    head += QStringLiteral("TABLE ");
    ++s;
    if (s + 2 < sig.size() && IsWord(t[sig[s]], "IF") && IsWord(t[sig[s + 1]], "NOT") &&
        IsWord(t[sig[s + 2]], "EXISTS")) {
        head += QStringLiteral("IF NOT EXISTS ");
        s += 3;
    }
    if (s + 1 >= sig.size() || !IsSymbol(t[sig[s + 1]], "("))
        return std::nullopt;  // CREATE TABLE ... AS SELECT
    const Token& table = t[sig[s]];
    head += QuotedName(table.value, names);

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
        if (IsWord(lead, "PRIMARY") || IsWord(lead, "UNIQUE") || IsWord(lead, "CHECK") ||
            IsWord(lead, "CONSTRAINT") || IsWord(lead, "FOREIGN"))
            columns << TranslateStatement(part, names, nullptr).simplified();
        else
            columns << ColumnDefinition(part, names, domains);
    }
    return head + QStringLiteral(" (\n    ") + columns.join(QStringLiteral(",\n    ")) + QStringLiteral(")");
}

}  // namespace pg

QStringList PgDomainsFor(const QString& ddl) {
    QSet<QString> domains;
    pg::TableDefinition(TokeniseSql(ddl, DoubleQuotes::Name), PgNames(), &domains);
    QStringList sorted(domains.begin(), domains.end());
    sorted.sort();
    QStringList statements;
    for (const QString& domain : sorted) statements << pg::DomainDefinition(domain);
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

}  // namespace ov::db
