#include "platform/db/DatabaseFile.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/PgBackend.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <unistd.h>

namespace ov::db {

namespace {

void RemoveWithCompanions(const QString& file) {
    QFile::remove(file);
    QFile::remove(file + QStringLiteral("-wal"));
    QFile::remove(file + QStringLiteral("-shm"));
    QFile::remove(file + QStringLiteral("-journal"));
}

}  // namespace

namespace {

// A server project is made in its own schema; a failure drops it again.
void CreateServerProject(const QString& dataSource, const std::function<void(Connection&)>& build) {
    PgBackend::CreateSchema(dataSource);
    try {
        Connection connection;
        connection.Open(QStringLiteral("Data Source=%1;Mode=Read|Write").arg(dataSource));
        // Nobody sees the project before it is made: its rows need no log entry each.
        connection.SetChangeLogging(false);
        connection.InTransaction([&] { build(connection); });
    } catch (...) {
        try {
            PgBackend::DropProject(dataSource);
        } catch (const DbError&) {
            // The first failure is the one to tell.
        }
        throw;
    }
}

}  // namespace

void CreateDatabaseFile(const QString& path, const std::function<void(Connection&)>& build) {
    if (IsServerDataSource(path)) {
        CreateServerProject(path, build);
        return;
    }
    const QFileInfo target(path);
    if (target.exists())
        throw DbError(err::Fail, QStringLiteral("The file '%1' already exists; it is not replaced.").arg(path));
    if (!target.absoluteDir().exists())
        throw DbError(err::Fail, QStringLiteral("The folder '%1' does not exist.").arg(target.absolutePath()));

    const QString scratch = target.absoluteFilePath() + QStringLiteral(".new-%1").arg(::getpid());
    RemoveWithCompanions(scratch);
    sqlite3* db = nullptr;
    // Only made here; the connection below chooses the journal, as every
    // connection does by the file system the folder lies on.
    const int rc = sqlite3_open_v2(QFile::encodeName(scratch).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_close_v2(db);
    if (rc != SQLITE_OK) {
        RemoveWithCompanions(scratch);
        throw DbError(err::Fail, QStringLiteral("The file '%1' cannot be created.").arg(path));
    }

    try {
        Connection connection;
        connection.Open(QStringLiteral("Data Source=%1;Mode=Read|Write").arg(scratch));
        connection.BeginTrans();
        try {
            build(connection);
            connection.CommitTrans();
        } catch (...) {
            connection.RollbackTrans();
            throw;
        }
        connection.Close();
    } catch (...) {
        RemoveWithCompanions(scratch);
        throw;
    }
    // link() refuses an existing target, so a file made meanwhile is never replaced.
    if (::link(QFile::encodeName(scratch).constData(), QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
        RemoveWithCompanions(scratch);
        throw DbError(err::Fail, QStringLiteral("The file '%1' cannot be created (it exists now, or the folder is "
                                                "read-only).")
                                     .arg(path));
    }
    RemoveWithCompanions(scratch);
}

}  // namespace ov::db
