#pragma once

#include "platform/db/PgSession.h"

namespace ov::db {

// A statement on the server, prepared (and described) at once, so that a
// statement in error fails where it is made, as in a file.
std::unique_ptr<Statement> MakePgStatement(std::shared_ptr<PgSession> session, const QString& translatedSql);

}  // namespace ov::db
