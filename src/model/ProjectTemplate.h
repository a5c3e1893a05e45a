#pragma once

#include <QString>
#include <QStringList>

namespace ov::db {
class Connection;
}

namespace ov::model {

// The connection string the editor opens a project database with.
QString ProjectConnectionString(const QString& projectFile);
// For reading only: works on a project on read-only media too.
QString ProjectReadConnectionString(const QString& projectFile);

// Creates a new, empty project database from the project template: every
// table, index and default, group 1, the items text group and the project
// languages German and English. Refuses to replace an existing file; throws
// db::DbError.
void CreateProjectDatabase(const QString& projectFile);

// The CREATE TABLE statements of the template, in the order they are made.
QStringList ProjectTemplateTables();

// The template's tables and indexes, written into an open, empty database.
void WriteProjectTemplate(db::Connection& connection);

// The name of the default group (group 1) of a new project.
inline constexpr const char* kDefaultGroupName = "Standard";

}  // namespace ov::model
