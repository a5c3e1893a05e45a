#pragma once

// Reading the change log a server project's triggers write: a connection's
// own changes for its undo, and other connections' for its listener.

#include "platform/db/PgSession.h"

namespace ov::db {

// The log's present end.
qint64 ChangeLogEnd(PgSession& session);
// This connection's changes after a mark, oldest first, each row's values in
// its table's column order.
std::vector<LoggedChange> OwnChangesSince(
    PgSession& session, qint64 mark, const std::function<std::vector<ColumnInfo>(const QString&)>& columnsOf);
// Listens on a line of its own for what connections other than the writer
// (by its server process) commit.
std::unique_ptr<ChangeListener> ListenOnLine(std::shared_ptr<PgSession> line, int writerPid);

}  // namespace ov::db
