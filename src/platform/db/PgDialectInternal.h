#pragma once

// What the parts of the server's dialect share: names and keywords
// (PgNames.cpp), statements (PgRewrite.cpp), tables and their types
// (PgTables.cpp). Internal to the database layer; callers include PgDialect.h.

#include "platform/db/PgDialect.h"
#include "platform/db/SqlTokens.h"

#include <QSet>
#include <optional>
#include <vector>

namespace ov::db::pg {

using Token = SqlToken;

bool IsKeyword(const Token& t);
// The functions the server knows, by their SQLite names: SQLite's own ones
// under the server's name, those both know as they are.
const QHash<QString, QString>& Functions();
// A name quoted for the server, in its proper case when the dictionary has it.
QString QuotedName(const QString& name, const PgNames& names);
// Whether names marks column (lower case or not) as never null (AddPgNeverNull).
bool IsNeverNull(const PgNames& names, const QString& column);

// A statement that is no table definition in the server's form (see PgSql).
QString TranslateStatement(std::vector<Token> tokens, const PgNames& names, int* parameterCount);

// CREATE TABLE and ALTER TABLE ... ADD in the server's form, with the domains
// their columns need added to *domains; nothing when the statement is neither.
std::optional<QString> TableDefinition(const std::vector<Token>& t, const PgNames& names,
                                       QSet<QString>* domains);

}  // namespace ov::db::pg
