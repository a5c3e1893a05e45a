#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace ov::db {

// PostgreSQL's form of the SQL the data layer runs on SQLite. The input is
// TranslateSql's output (SQLite's form of the classic dialect); the output
// runs on a server project whose tables were made from the same statements.
//
// Names. Tables and columns are made on the server with quoted names in their
// proper case ("TpdbItems"."Name"), so every identifier of a statement is
// written quoted: one found in the name dictionary in its proper case, any
// other (aliases, CTE names, index names) quoted exactly as written. Bare
// words, [bracketed], "double-quoted" and `backquoted` names are identifiers
// alike; SQL keywords stay unquoted, so a column named like a keyword must be
// bracketed (as SQLite wants too: [Delete]).
//
// Functions. A known function name followed by "(" stays a function: ifnull
// becomes coalesce, char chr, instr strpos, group_concat string_agg (of the
// values as text, "," unless a separator is given), last_insert_rowid
// lastval, max and min of several arguments greatest and least.
//
// Parameters. "?" becomes $1, $2, ... in the order they appear.
//
// Like. "a [NOT] LIKE b [ESCAPE c]" becomes "[NOT] ov_like(a, b[, c])", the
// classic rules of LikePattern (see PgProjectFunctions). Operands may be a
// (qualified) name, a parameter, a literal, a function call, a parenthesised
// expression, and chains of those joined by "||".
//
// Also: "COLLATE NOCASE" is dropped (the name columns compare without regard
// to case on the server themselves), "COLLATE BINARY" becomes COLLATE "C",
// "x IS y" with y not NULL becomes "x IS NOT DISTINCT FROM y" and "x IS NOT
// y" "x IS DISTINCT FROM y", "==" becomes "=".
//
// Tables. CREATE TABLE and ALTER TABLE ... ADD [COLUMN] get the server's
// column types: INTEGER PRIMARY KEY AUTOINCREMENT an identity column, other
// integers bigint, SMALLINT smallint, DOUBLE double precision, BOOLEAN the
// domain ov_boolean (smallint holding -1 and 0), LONGTEXT ov_longtext (text),
// VARCHAR(n) COLLATE NOCASE ov_nocase_<n> (citext), VARCHAR(n) ov_text_<n>
// (text). The domains keep the declared type visible to schema inspection
// (DeclarationOfPgType); the lengths are not enforced, so what a project file
// accepts the server accepts too.

// The proper-case names of a project's tables and columns by their lower-case form.
using PgNames = QHash<QString, QString>;
void AddPgNames(PgNames& names, const QString& table, const QStringList& columns);
// A column that holds no null in any table that has it (a row key): sorts by
// it need not say where nulls go, and so can use the primary key's index.
void AddPgNeverNull(PgNames& names, const QString& column);

// The PostgreSQL text of one statement; parameterCount receives the number of
// "?" parameters. Throws DbError (ErrorsInCommand) for statements with no
// server form (PRAGMA).
QString PgSql(const QString& sql, const PgNames& names, int* parameterCount = nullptr);

// The CREATE DOMAIN statements the column types of a CREATE TABLE or ALTER
// TABLE ... ADD statement (in SQLite's form) need, each harmless when the
// domain exists already. Run PgProjectFunctions first: ov_nocase_<n> needs citext.
QStringList PgDomainsFor(const QString& ddl);

// The declared type schema inspection gives for a column ("VARCHAR(255)",
// "BOOLEAN", "LONGTEXT", "DOUBLE", "INTEGER", "SMALLINT", ...), from its
// domain's name or else its type's name (information_schema's domain_name /
// udt_name); characterMaximumLength for varchar columns.
QString DeclarationOfPgType(const QString& domainOrTypeName, int characterMaximumLength = 0);

// A column default as the server shows it ("'-1'::integer", "'x'::text") in
// the form SQLite's table info gives it ("-1", "'x'").
QString DefaultOfPg(const QString& columnDefault);

// The columns of a table in the current schema: name, domain or type name,
// character_maximum_length, is_nullable ("YES"/"NO"), column_default; $1 is
// the table's name.
QString PgColumnsQuery();

// The statements every project schema gets, in order: the citext extension
// (in the schema public, which must be on the search path after the project's
// own schema: citext's operators live there) and the functions ov_like(value,
// pattern) and ov_like(value, pattern, escape) with LikePattern's rules:
// "%", "_", "[abc]", "[a-z]", "[!a-z]", letter case ignored, an optional
// escape character; a null value or pattern gives null. They take text and
// citext alike; a constant pattern is turned into a regular expression once
// per statement.
QStringList PgProjectFunctions();

}  // namespace ov::db
