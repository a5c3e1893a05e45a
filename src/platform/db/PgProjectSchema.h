#pragma once

// What a server project has beyond its tables: the functions its SQL calls,
// the change log and the triggers that write it and keep keys ahead.

#include "platform/db/PgSession.h"

namespace ov::db {

// Made once with the project's schema (the search path set to it).
void CreateProjectObjects(PgSession& session);
// Gives every table of the project that lacks them its triggers: the change
// log's, and the one that keeps a generated key ahead of keys given explicitly.
void AddTableTriggers(PgSession& session);
// The change log keeps a day: undo takes its steps from it at once and the
// listeners within moments, so older entries only tell who changed what.
inline constexpr int kChangeLogHours = 24;
// Removes what is older, as a studio opens the project for editing.
void TrimChangeLog(PgSession& session);
// Lets the server count what a filled project holds, so that its first
// queries are planned for a million rows rather than for none.
void RefreshStatistics(PgSession& session);

}  // namespace ov::db
