#pragma once

#include <QString>
#include <optional>

namespace ov::db {

// The SQL the editor writes is the classic desktop-database dialect. SQLite
// understands most of it as it stands (bracketed names, Like, As, joins in
// parentheses); this turns the rest into SQLite's form: True/False become the
// stored -1/0, "double quoted" texts become 'single quoted' ones and "&"
// concatenates text.
QString TranslateSql(const QString& sql);

// A SELECT cut into its clauses, for recordsets that keep only the row keys
// and read the rows page by page.
struct SelectParts {
    QString selectList;
    QString from;
    QString where;    // empty when none
    QString orderBy;  // empty when none
    QString baseTable;  // first table of FROM: the one whose rows the recordset can change
    QString baseQualifier;  // alias of the base table, or its name
    bool isJoin = false;
};

// Analyses a translated SELECT. Gives nothing for statements whose rows have
// no single base row (DISTINCT, GROUP BY, UNION, aggregates, LIMIT, sub-selects
// in FROM): those are read whole.
std::optional<SelectParts> AnalyseSelect(const QString& translatedSql);

// Quotes a name for SQL: [name] style is understood by both dialects.
QString QuoteName(const QString& name);

}  // namespace ov::db
