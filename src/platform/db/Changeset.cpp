// The session extension is part of the system's SQLite; its declarations
// come with these two switches.
#define SQLITE_ENABLE_SESSION 1
#define SQLITE_ENABLE_PREUPDATE_HOOK 1

#include "platform/db/Changeset.h"

#include "platform/db/Connection.h"
#include "platform/db/ConnectionImpl.h"
#include "platform/db/DbError.h"
#include "platform/db/SqliteStatement.h"

#include <sqlite3.h>

namespace ov::db {

namespace {

[[noreturn]] void Fail(sqlite3* db, int rc, const char* what) {
    throw MakeSqliteError(db, rc, QString::fromUtf8(what));
}

// The conflicting rows, named; the whole apply is abandoned at the first.
struct ConflictLog {
    QStringList rows;
};

int OnConflict(void* context, int /*kind*/, sqlite3_changeset_iter* iter) {
    auto* log = static_cast<ConflictLog*>(context);
    const char* table = nullptr;
    int columns = 0, operation = 0, indirect = 0;
    sqlite3changeset_op(iter, &table, &columns, &operation, &indirect);
    QString key;
    sqlite3_value* value = nullptr;
    // The first primary key column names the row.
    if ((operation == SQLITE_INSERT ? sqlite3changeset_new(iter, 0, &value) : sqlite3changeset_old(iter, 0, &value)) == SQLITE_OK && value)
        key = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)));
    log->rows << QStringLiteral("%1 row %2").arg(QString::fromUtf8(table), key);
    return SQLITE_CHANGESET_ABORT;
}

}  // namespace

Changeset Changeset::Inverted() const {
    if (IsEmpty()) return {};
    int size = 0;
    void* inverted = nullptr;
    const int rc = sqlite3changeset_invert(static_cast<int>(m_bytes.size()), m_bytes.constData(), &size, &inverted);
    if (rc != SQLITE_OK) Fail(nullptr, rc, "invert changes");
    Changeset result(QByteArray(static_cast<const char*>(inverted), size));
    sqlite3_free(inverted);
    return result;
}

struct ChangeRecorder::Session {
    std::shared_ptr<ConnectionImpl> connection;
    sqlite3_session* session = nullptr;
};

ChangeRecorder::ChangeRecorder(Connection& connection) : m_session(std::make_unique<Session>()) {
    m_session->connection = connection.Impl();
    sqlite3* db = m_session->connection->Db();
    int rc = sqlite3session_create(db, "main", &m_session->session);
    if (rc == SQLITE_OK) rc = sqlite3session_attach(m_session->session, nullptr);  // every table
    if (rc != SQLITE_OK) {
        if (m_session->session) sqlite3session_delete(m_session->session);
        Fail(db, rc, "record changes");
    }
}

ChangeRecorder::~ChangeRecorder() {
    if (m_session && m_session->session) sqlite3session_delete(m_session->session);
}

Changeset ChangeRecorder::Changes() const {
    int size = 0;
    void* bytes = nullptr;
    const int rc = sqlite3session_changeset(m_session->session, &size, &bytes);
    if (rc != SQLITE_OK) Fail(m_session->connection->Db(), rc, "read recorded changes");
    Changeset result(QByteArray(static_cast<const char*>(bytes), size));
    sqlite3_free(bytes);
    return result;
}

ApplyOutcome ApplyChangeset(Connection& connection, const Changeset& changes) {
    ApplyOutcome outcome;
    if (changes.IsEmpty()) {
        outcome.applied = true;
        return outcome;
    }
    ConflictLog log;
    sqlite3* db = connection.Impl()->Db();
    connection.BeginTrans();
    const int rc = sqlite3changeset_apply(db, static_cast<int>(changes.Size()), const_cast<char*>(changes.Bytes().constData()),
                                          nullptr, OnConflict, &log);
    if (rc == SQLITE_OK && log.rows.isEmpty()) {
        connection.CommitTrans();
        outcome.applied = true;
        return outcome;
    }
    connection.RollbackTrans();
    if (log.rows.isEmpty() && rc != SQLITE_ABORT) Fail(db, rc, "apply changes");
    outcome.conflicts = log.rows;
    return outcome;
}

}  // namespace ov::db
