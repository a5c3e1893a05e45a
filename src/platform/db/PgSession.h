#pragma once

// The parts of a server project's connection that its statements, its
// schema and its listener share. Inside the database layer only.

#include "platform/db/DbError.h"
#include "platform/db/PgBackend.h"
#include "platform/db/PgDialect.h"

#include <libpq-fe.h>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace ov::db {

namespace pg {

struct ResultDeleter {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

bool Succeeded(const PGresult* r);
// The server's failure as the layer's error, numbered as a file's would be.
DbError ErrorOf(const PGresult* r, PGconn* conn, const QString& context);
[[noreturn]] void FailOpen(const QString& text);
// A name written for the server, quoted as it needs.
QString QuotedIdentifier(PGconn* conn, const QString& name);
qint64 Int64(const PGresult* r, int row, int column);

}  // namespace pg

// One connection to the server, shared by the backend and its statements so
// that a statement outliving its connection never touches a closed one.
struct PgSession {
    PGconn* conn = nullptr;
    ServerProject where;
    QString user, password;  // as given to open, for a listener's own line
    QString schema;
    PgNames names;
    bool readOnly = false;
    QString readOnlyReason;
    bool logging = true;  // off while a copy fills a project nobody sees yet
    qint64 lastInsertId = 0;
    qint64 changedRows = 0;
    std::function<bool()> keepGoing;
    quint64 statementCounter = 0;
    QStringList unusedStatements;                  // prepared names to deallocate at the next chance
    std::unordered_map<QString, QString> rowKeys;  // table (lower case) -> key column

    struct TableColumns {
        QString table;
        std::unordered_map<int, std::pair<QString, QString>> columns;  // attnum -> name, declaration
    };
    std::unordered_map<Oid, TableColumns> tables;

    ~PgSession() { Close(); }
    void Close();
    PGconn* Conn() const;
    bool InTransaction() const;

    // A statement of our own, without parameters from users.
    pg::Result Run(const QString& sql, const QStringList& parameters = {});
    // Runs the commands one after the other in one round trip. Inside a
    // transaction a savepoint brackets them: a failing statement then undoes
    // only itself, and the transaction goes on, as it does in a file.
    std::vector<pg::Result> Pipeline(const std::vector<std::function<int(PGconn*)>>& sends,
                                     const QString& context);

    // The names of the project's tables and columns, read again after DDL.
    void LoadNames();
    const TableColumns* ColumnsOf(Oid table);
    QString RowKey(const QString& table);

  private:
    void AwaitAnswer(bool& cancelled);
    void DeallocateUnused();
    static constexpr int kAskEveryMs = 20;
};

// A new line to the server for a project; fails with a message naming the
// role when the login is refused.
std::shared_ptr<PgSession> ConnectToServer(const ServerProject& where, const QString& user,
                                           const QString& password);

}  // namespace ov::db
