#include "platform/db/PgDialectInternal.h"

namespace ov::db {

namespace pg {

namespace {

// The names dictionary marks never-null columns under this prefix.
const QString kNeverNull = QStringLiteral("\x01never null ");

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

}  // namespace

bool IsKeyword(const Token& t) {
    return t.kind == Token::Word && Keywords().contains(t.value.toUpper());
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

bool IsNeverNull(const PgNames& names, const QString& column) {
    return names.contains(kNeverNull + column.toLower());
}

}  // namespace pg

void AddPgNames(PgNames& names, const QString& table, const QStringList& columns) {
    names.insert(table.toLower(), table);
    for (const QString& column : columns) names.insert(column.toLower(), column);
}

void AddPgNeverNull(PgNames& names, const QString& column) {
    names.insert(pg::kNeverNull + column.toLower(), column);
}

}  // namespace ov::db
