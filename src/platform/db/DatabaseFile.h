#pragma once

#include <QString>
#include <functional>

namespace ov::db {

class Connection;

// Creates a new database file: build() fills it inside one transaction on a
// file beside the target, which is moved into place only when all went well,
// so a failure never leaves a half-made file. Refuses to replace an existing file.
// A server address ("postgresql://…?project=NAME") makes a project on the
// server the same way: a failure leaves no project behind.
void CreateDatabaseFile(const QString& path, const std::function<void(Connection&)>& build);

}  // namespace ov::db
