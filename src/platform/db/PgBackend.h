#pragma once

#include "platform/db/Backend.h"
#include "platform/db/PgDialect.h"

#include <memory>

namespace ov::db {

// True for a data source naming a project on a PostgreSQL server
// ("postgresql://user@host:port/database?project=NAME").
bool IsServerDataSource(const QString& dataSource);

// Where a server project lies: the server connection (libpq's URI without
// our own "project" parameter) and the project's schema name.
struct ServerProject {
    QString conninfo;
    QString project;
};
ServerProject ParseServerDataSource(const QString& dataSource);

struct PgSession;

// A project on a PostgreSQL server: one schema of a database, made from the
// same template as a project file. The SQL the layer writes is turned into
// the server's form (PgSql); a statement's failure inside a transaction
// undoes only that statement, as it does in a file.
class PgBackend final : public Backend {
public:
    // Opens an existing project; never creates one. user and password may be
    // empty: then libpq takes them from the URI, PGPASSWORD or ~/.pgpass.
    static std::unique_ptr<PgBackend> Open(const QString& dataSource, bool forWriting, int busyTimeout,
                                           const QString& user = QString(), const QString& password = QString());
    // Makes an empty project: its schema with the server functions every
    // project has. Refuses a project that exists already.
    static void CreateSchema(const QString& dataSource, const QString& user = QString(),
                             const QString& password = QString());
    // Fails, as CreateSchema would, when the project exists: a caller that
    // prepares a long fill first asks before it starts.
    static void RefuseExistingProject(const QString& dataSource, const QString& user = QString(),
                                      const QString& password = QString());
    // Removes a project with everything in it.
    static void DropProject(const QString& dataSource, const QString& user = QString(),
                            const QString& password = QString());
    ~PgBackend() override;

    std::unique_ptr<Statement> Prepare(const QString& translatedSql) override;
    qint64 ChangedRows() const override;
    qint64 LastInsertId() const override;
    bool IsReadOnly() const override;
    QString WriteRefusal() const override { return ReadOnlyReason(); }

    void Begin() override;
    bool InTransaction() const override;
    void Abandon() override;

    void SetBusyTimeout(int milliseconds) override;
    void SetProgressHandler(std::function<bool()> keepGoing) override;
    void SetChangeLogging(bool on) override;
    std::unique_ptr<ChangeListener> Listen() override;

    QStringList Tables() override;
    std::vector<ColumnInfo> Columns(const QString& table) override;
    std::vector<IndexInfo> Indexes(const QString& table) override;
    void CreateIndex(const QString& table, const IndexInfo& index) override;
    void DropIndex(const QString& table, const QString& index) override;
    QString RowKey(const QString& table) override;
    qint64 ChangeLogMark() override;
    std::vector<LoggedChange> ChangesSince(qint64 mark) override;

    // Why the project can only be read (a role without the right to write),
    // empty when it can be changed.
    QString ReadOnlyReason() const;
    // The server process serving this connection: its changes carry it in the log.
    int ServerProcessId() const;
    QString Schema() const;

private:
    explicit PgBackend(std::shared_ptr<PgSession> session) : m_session(std::move(session)) {}

    std::shared_ptr<PgSession> m_session;
};

}  // namespace ov::db
