// The session extension is part of the system's SQLite; its declarations
// come with these two switches.
#define SQLITE_ENABLE_SESSION 1
#define SQLITE_ENABLE_PREUPDATE_HOOK 1

#include "platform/db/Changeset.h"

#include "platform/db/Connection.h"
#include "platform/db/ConnectionImpl.h"
#include "platform/db/DbError.h"
#include "platform/db/SqlDialect.h"
#include "platform/db/SqliteBackend.h"
#include "platform/db/SqliteStatement.h"

#include <cstring>
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

namespace {

// SQLite's changeset format, written for changes a server logged: per table
// a header ('T', column count, key flags, name), then per row the operation,
// an indirect flag and the old and/or new record.
void PutVarint(QByteArray& out, quint64 v) {
    char bytes[10];
    int n = 0;
    do {
        bytes[n++] = static_cast<char>(v & 0x7f);
        v >>= 7;
    } while (v != 0 && n < 9);
    for (int i = n - 1; i >= 0; --i) out.append(static_cast<char>(bytes[i] | (i > 0 ? 0x80 : 0)));
}

void PutValue(QByteArray& out, const std::optional<QVariant>& value) {
    if (!value) {
        out.append('\0');  // not part of this change
        return;
    }
    const QVariant& v = *value;
    const auto putBigEndian = [&out](quint64 bits) {
        for (int shift = 56; shift >= 0; shift -= 8) out.append(static_cast<char>((bits >> shift) & 0xff));
    };
    switch (v.typeId()) {
        case QMetaType::UnknownType: out.append('\5'); return;
        case QMetaType::LongLong:
        case QMetaType::Int:
            out.append('\1');
            putBigEndian(static_cast<quint64>(v.toLongLong()));
            return;
        case QMetaType::Double: {
            out.append('\2');
            const double d = v.toDouble();
            quint64 bits = 0;
            std::memcpy(&bits, &d, sizeof bits);
            putBigEndian(bits);
            return;
        }
        case QMetaType::QByteArray: {
            const QByteArray blob = v.toByteArray();
            out.append('\4');
            PutVarint(out, static_cast<quint64>(blob.size()));
            out.append(blob);
            return;
        }
        default: {
            if (v.isNull()) {
                out.append('\5');
                return;
            }
            const QByteArray text = v.toString().toUtf8();
            out.append('\3');
            PutVarint(out, static_cast<quint64>(text.size()));
            out.append(text);
            return;
        }
    }
}

// The logged changes of each row made one, as a session keeps them: the row
// as it was before the first change and as it is after the last.
Changeset EncodeLoggedChanges(Backend& db, const std::vector<LoggedChange>& log) {
    struct RowChange {
        QVariantList before, after;
    };
    struct TableChanges {
        int keyColumn = 0;
        int columns = 0;
        std::vector<QVariant> order;  // keys in the order rows were first touched
        std::map<QString, RowChange> rows;
    };
    std::map<QString, TableChanges> tables;
    std::vector<QString> tableOrder;
    for (const LoggedChange& change : log) {
        auto [it, isNew] = tables.try_emplace(change.table);
        TableChanges& table = it->second;
        if (isNew) {
            tableOrder.push_back(change.table);
            const QString key = db.RowKey(change.table);
            const std::vector<ColumnInfo> columns = db.Columns(change.table);
            table.columns = static_cast<int>(columns.size());
            for (std::size_t c = 0; c < columns.size(); ++c)
                if (columns[c].name.compare(key, Qt::CaseInsensitive) == 0) table.keyColumn = static_cast<int>(c);
        }
        const QVariantList& image = change.after.isEmpty() ? change.before : change.after;
        if (image.size() != table.columns) continue;
        const QVariant key = image[table.keyColumn];
        const QString keyText = key.toString();
        auto row = table.rows.find(keyText);
        if (row == table.rows.end()) {
            row = table.rows.emplace(keyText, RowChange{change.before, change.after}).first;
            table.order.push_back(key);
        } else {
            row->second.after = change.after;
        }
    }

    QByteArray out;
    for (const QString& name : tableOrder) {
        const TableChanges& table = tables[name];
        QByteArray body;
        for (const QVariant& key : table.order) {
            const RowChange& row = table.rows.at(key.toString());
            if (row.before.isEmpty() && row.after.isEmpty()) continue;
            if (row.before.isEmpty() || row.after.isEmpty()) {
                body.append(static_cast<char>(row.before.isEmpty() ? 18 : 9));  // insert, delete
                body.append('\0');
                for (const QVariant& v : row.before.isEmpty() ? row.after : row.before) PutValue(body, v);
                continue;
            }
            QByteArray oldRecord, newRecord;
            bool changed = false;
            for (int c = 0; c < table.columns; ++c) {
                const bool differs = row.before[c] != row.after[c] || row.before[c].isNull() != row.after[c].isNull();
                changed = changed || differs;
                PutValue(oldRecord, c == table.keyColumn || differs ? std::optional<QVariant>(row.before[c]) : std::nullopt);
                PutValue(newRecord, differs ? std::optional<QVariant>(row.after[c]) : std::nullopt);
            }
            if (!changed) continue;
            body.append(static_cast<char>(23));  // update
            body.append('\0');
            body.append(oldRecord);
            body.append(newRecord);
        }
        if (body.isEmpty()) continue;
        out.append('T');
        PutVarint(out, static_cast<quint64>(table.columns));
        for (int c = 0; c < table.columns; ++c) out.append(c == table.keyColumn ? '\1' : '\0');
        out.append(name.toUtf8());
        out.append('\0');
        out.append(body);
    }
    return Changeset(out);
}

// Applies changes through plain statements, for engines without SQLite's
// own apply: each row must be as the changes expect, else it is in the way.
std::optional<ConflictingRow> ApplyWithStatements(Connection& connection, const Changeset& changes) {
    std::optional<ConflictingRow> conflict;
    std::map<QString, QStringList> columnsOf;
    const auto columns = [&](const QString& table) -> const QStringList& {
        auto it = columnsOf.find(table);
        if (it == columnsOf.end()) {
            QStringList names;
            for (const ColumnInfo& c : connection.Columns(table)) names << QuoteName(c.name);
            it = columnsOf.emplace(table, names).first;
        }
        return it->second;
    };
    ForEachChange(changes.Bytes(), [&](sqlite3_changeset_iter* iter, const char* tableName, int count, int operation) {
        if (conflict) return;
        const QString table = QString::fromUtf8(tableName);
        const QStringList& names = columns(table);
        unsigned char* keyFlags = nullptr;
        int keyCount = 0;
        sqlite3changeset_pk(iter, &keyFlags, &keyCount);
        QStringList assignments, conditions, inserted;
        std::vector<QVariant> setValues, whereValues;
        QVariant key;
        for (int c = 0; c < count && c < names.size(); ++c) {
            sqlite3_value* before = nullptr;
            sqlite3_value* after = nullptr;
            if (operation != SQLITE_INSERT) sqlite3changeset_old(iter, c, &before);
            if (operation != SQLITE_DELETE) sqlite3changeset_new(iter, c, &after);
            if (keyFlags[c] && key.isNull()) key = ValueOf(before ? before : after);
            if (operation == SQLITE_INSERT) {
                inserted << names[c];
                setValues.push_back(ValueOf(after));
                continue;
            }
            if (after) {
                assignments << names[c] + QStringLiteral(" = ?");
                setValues.push_back(ValueOf(after));
            }
            if (before) {
                const QVariant old = ValueOf(before);
                conditions << (old.isNull() ? names[c] + QStringLiteral(" IS NULL") : names[c] + QStringLiteral(" = ?"));
                if (!old.isNull()) whereValues.push_back(old);
            }
        }
        QString sql;
        if (operation == SQLITE_INSERT) {
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(QuoteName(table), inserted.join(QStringLiteral(", ")),
                           QStringList(inserted.size(), QStringLiteral("?")).join(QStringLiteral(", ")));
        } else if (operation == SQLITE_DELETE) {
            sql = QStringLiteral("DELETE FROM %1 WHERE %2").arg(QuoteName(table), conditions.join(QStringLiteral(" AND ")));
        } else {
            sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                      .arg(QuoteName(table), assignments.join(QStringLiteral(", ")), conditions.join(QStringLiteral(" AND ")));
        }
        std::vector<QVariant> parameters = setValues;
        parameters.insert(parameters.end(), whereValues.begin(), whereValues.end());
        try {
            if (connection.Execute(sql, parameters) == 0) conflict = ConflictingRow{table, key};
        } catch (const DbError& e) {
            if (!e.IsUniqueViolation()) throw;
            conflict = ConflictingRow{table, key};
        }
    });
    return conflict;
}

}  // namespace

struct ChangeRecorder::Session {
    std::shared_ptr<ConnectionImpl> connection;
    sqlite3_session* session = nullptr;
    qint64 logMark = -1;  // where the engine's own change log stood when recording began
    qint64 limit = 0;
    bool overflowed = false;
};

ChangeRecorder::ChangeRecorder(Connection& connection) : m_session(std::make_unique<Session>()) {
    m_session->connection = connection.Impl();
    m_session->logMark = m_session->connection->Db().ChangeLogMark();
    if (m_session->logMark >= 0) return;
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
    if (!m_session->session) return;  // a server's log is kept on the server
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
    if (!m_session->session) {
        Backend& db = m_session->connection->Db();
        return EncodeLoggedChanges(db, db.ChangesSince(m_session->logMark));
    }
    int size = 0;
    void* bytes = nullptr;
    const int rc = sqlite3session_changeset(m_session->session, &size, &bytes);
    if (rc != SQLITE_OK) Fail(SqliteHandleOf(m_session->connection->Db()), rc, "read recorded changes");
    Changeset result(QByteArray(static_cast<const char*>(bytes), size));
    sqlite3_free(bytes);
    return result;
}

qint64 ChangeRecorder::MemoryUsed() const {
    return m_session->session ? sqlite3session_memory_used(m_session->session) : 0;
}

ApplyOutcome ApplyChangeset(Connection& connection, const Changeset& changes) {
    ApplyOutcome outcome;
    if (changes.IsEmpty()) {
        outcome.applied = true;
        return outcome;
    }
    if (connection.Impl()->Db().ChangeLogMark() >= 0) {
        connection.BeginTrans();
        try {
            outcome.conflict = ApplyWithStatements(connection, changes);
        } catch (...) {
            connection.RollbackTrans();
            throw;
        }
        if (outcome.conflict) {
            connection.RollbackTrans();
            return outcome;
        }
        connection.CommitTrans();
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
