// The session extension is part of the system's SQLite; its declarations
// come with these two switches.
#define SQLITE_ENABLE_SESSION 1
#define SQLITE_ENABLE_PREUPDATE_HOOK 1

#include "platform/db/Changeset.h"

#include "platform/db/Connection.h"
#include "platform/db/ConnectionImpl.h"
#include "platform/db/DbError.h"
#include "platform/db/SqliteBackend.h"
#include "platform/db/SqliteStatement.h"

#include <functional>
#include <sqlite3.h>

namespace ov::db {

namespace {

[[noreturn]] void Fail(sqlite3* db, int rc, const char* what) {
    throw MakeSqliteError(db, rc, QString::fromUtf8(what));
}

QVariant ValueOf(sqlite3_value* value) {
    if (!value) return {};
    switch (sqlite3_value_type(value)) {
        case SQLITE_INTEGER: return QVariant(static_cast<qlonglong>(sqlite3_value_int64(value)));
        case SQLITE_FLOAT: return QVariant(sqlite3_value_double(value));
        case SQLITE_NULL: return {};
        default: return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)));
    }
}

// The whole apply is abandoned at the first row in the way.
int OnConflict(void* context, int /*kind*/, sqlite3_changeset_iter* iter) {
    auto* conflict = static_cast<std::optional<ConflictingRow>*>(context);
    const char* table = nullptr;
    int columns = 0, operation = 0, indirect = 0;
    sqlite3changeset_op(iter, &table, &columns, &operation, &indirect);
    sqlite3_value* value = nullptr;
    if (operation == SQLITE_INSERT ? sqlite3changeset_new(iter, 0, &value) : sqlite3changeset_old(iter, 0, &value))
        value = nullptr;
    *conflict = ConflictingRow{QString::fromUtf8(table), ValueOf(value)};
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

Changeset Changeset::Then(const Changeset& later) const {
    if (IsEmpty()) return later;
    if (later.IsEmpty()) return *this;
    int size = 0;
    void* joined = nullptr;
    const int rc = sqlite3changeset_concat(static_cast<int>(m_bytes.size()), const_cast<char*>(m_bytes.constData()),
                                           static_cast<int>(later.m_bytes.size()), const_cast<char*>(later.m_bytes.constData()),
                                           &size, &joined);
    if (rc != SQLITE_OK) Fail(nullptr, rc, "join changes");
    Changeset result(QByteArray(static_cast<const char*>(joined), size));
    sqlite3_free(joined);
    return result;
}

namespace {

// Calls visit for each change with its table, column count and operation.
void ForEachChange(const QByteArray& bytes,
                   const std::function<void(sqlite3_changeset_iter*, const char* table, int columns, int operation)>& visit) {
    if (bytes.isEmpty()) return;
    sqlite3_changeset_iter* iter = nullptr;
    int rc = sqlite3changeset_start(&iter, static_cast<int>(bytes.size()), const_cast<char*>(bytes.constData()));
    if (rc != SQLITE_OK) Fail(nullptr, rc, "read changes");
    while (sqlite3changeset_next(iter) == SQLITE_ROW) {
        const char* table = nullptr;
        int columns = 0, operation = 0, indirect = 0;
        sqlite3changeset_op(iter, &table, &columns, &operation, &indirect);
        visit(iter, table, columns, operation);
    }
    rc = sqlite3changeset_finalize(iter);
    if (rc != SQLITE_OK) Fail(nullptr, rc, "read changes");
}

}  // namespace

std::map<QString, Changeset::TableCounts> Changeset::Summary() const {
    std::map<QString, TableCounts> counts;
    ForEachChange(m_bytes, [&](sqlite3_changeset_iter*, const char* table, int, int operation) {
        TableCounts& c = counts[QString::fromUtf8(table)];
        ++(operation == SQLITE_INSERT ? c.inserted : operation == SQLITE_DELETE ? c.deleted : c.updated);
    });
    return counts;
}

std::vector<Changeset::Row> Changeset::Rows() const {
    std::vector<Row> rows;
    ForEachChange(m_bytes, [&](sqlite3_changeset_iter* iter, const char* table, int columns, int operation) {
        Row row{QString::fromUtf8(table), {}};
        for (int c = 0; c < columns; ++c) {
            sqlite3_value* value = nullptr;
            // The new value where the change gives one, else the old (a key, a deleted row).
            if (operation != SQLITE_DELETE) sqlite3changeset_new(iter, c, &value);
            if (!value && operation != SQLITE_INSERT) sqlite3changeset_old(iter, c, &value);
            row.values << ValueOf(value);
        }
        rows.push_back(std::move(row));
    });
    return rows;
}

struct ChangeRecorder::Session {
    std::shared_ptr<ConnectionImpl> connection;
    sqlite3_session* session = nullptr;
    qint64 limit = 0;
    bool overflowed = false;
};

ChangeRecorder::ChangeRecorder(Connection& connection) : m_session(std::make_unique<Session>()) {
    m_session->connection = connection.Impl();
    sqlite3* db = SqliteHandleOf(m_session->connection->Db());
    int rc = sqlite3session_create(db, "main", &m_session->session);
    if (rc == SQLITE_OK) rc = sqlite3session_attach(m_session->session, nullptr);  // every table
    if (rc != SQLITE_OK) {
        if (m_session->session) sqlite3session_delete(m_session->session);
        Fail(db, rc, "record changes");
    }
}

ChangeRecorder::~ChangeRecorder() {
    if (!m_session || !m_session->session) return;
    if (m_session->limit > 0) {
        m_session->connection->watch = {};
        m_session->connection->UpdateProgressHandler();
    }
    sqlite3session_delete(m_session->session);
}

void ChangeRecorder::SetLimit(qint64 bytes) {
    m_session->limit = bytes;
    Session* s = m_session.get();
    s->connection->watch = [s] {
        if (s->overflowed || sqlite3session_memory_used(s->session) <= s->limit) return;
        sqlite3session_enable(s->session, 0);
        s->overflowed = true;
    };
    s->connection->UpdateProgressHandler();
}

bool ChangeRecorder::Overflowed() const { return m_session->overflowed; }

Changeset ChangeRecorder::Changes() const {
    int size = 0;
    void* bytes = nullptr;
    const int rc = sqlite3session_changeset(m_session->session, &size, &bytes);
    if (rc != SQLITE_OK) Fail(SqliteHandleOf(m_session->connection->Db()), rc, "read recorded changes");
    Changeset result(QByteArray(static_cast<const char*>(bytes), size));
    sqlite3_free(bytes);
    return result;
}

qint64 ChangeRecorder::MemoryUsed() const { return sqlite3session_memory_used(m_session->session); }

ApplyOutcome ApplyChangeset(Connection& connection, const Changeset& changes) {
    ApplyOutcome outcome;
    if (changes.IsEmpty()) {
        outcome.applied = true;
        return outcome;
    }
    sqlite3* db = SqliteHandleOf(connection.Impl()->Db());
    connection.BeginTrans();
    const int rc = sqlite3changeset_apply(db, static_cast<int>(changes.Size()), const_cast<char*>(changes.Bytes().constData()),
                                          nullptr, OnConflict, &outcome.conflict);
    if (rc == SQLITE_OK && !outcome.conflict) {
        connection.CommitTrans();
        outcome.applied = true;
        return outcome;
    }
    connection.RollbackTrans();
    if (!outcome.conflict && rc != SQLITE_ABORT) Fail(db, rc, "apply changes");
    return outcome;
}

}  // namespace ov::db
