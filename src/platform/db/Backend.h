#pragma once

#include "platform/db/FileSystem.h"
#include "platform/db/Schema.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace ov::db {

// How a value is stored, for digests that do not depend on the engine.
enum class StoredKind { Integer = 1, Float = 2, Text = 3, Blob = 4, Null = 5 };

// FNV-1a over the value's kind and bytes (integers as 64 bits, floats as
// doubles, texts as UTF-8): quick, and enough to tell two values apart.
inline quint64 ValueDigest(StoredKind kind, const void* data, std::size_t size) {
    quint64 hash = 14695981039346656037ull;
    const auto mix = [&hash](const void* bytes, std::size_t n) {
        const auto* b = static_cast<const unsigned char*>(bytes);
        for (std::size_t i = 0; i < n; ++i) hash = (hash ^ b[i]) * 1099511628211ull;
    };
    const int tag = static_cast<int>(kind);
    mix(&tag, sizeof tag);
    if (data) mix(data, size);
    return hash;
}

// A prepared statement of one database engine. Takes the SQL the layer
// writes (TranslateSql's form) with "?" parameters; values bound from
// QVariant, bool written as -1/0 the way Yes/No columns are stored.
class Statement {
public:
    virtual ~Statement() = default;

    virtual void Bind(int index, const QVariant& value) = 0;  // 1-based
    void BindAll(std::span<const QVariant> values) {
        for (std::size_t i = 0; i < values.size(); ++i) Bind(static_cast<int>(i) + 1, values[i]);
    }
    virtual bool Step() = 0;  // true while a row is available
    virtual void Reset() = 0;
    virtual bool IsReadOnly() const = 0;
    // Why the user may not change the project even when opening it for
    // editing (a server role that may only read); empty when they may.
    virtual QString WriteRefusal() const { return QString(); }

    virtual int ColumnCount() const = 0;
    virtual QVariant Column(int index) const = 0;  // qlonglong, double, QString, QByteArray or null
    virtual qint64 ColumnInt64(int index) const { return Column(index).toLongLong(); }
    virtual QString ColumnName(int index) const = 0;
    // The declared type of the table column behind a result column, empty for an expression.
    virtual QString ColumnDeclType(int index) const = 0;
    // The table and column a result column reads, empty for an expression.
    virtual QString ColumnTableName(int index) const = 0;
    virtual QString ColumnOriginName(int index) const = 0;
    // A text column's UTF-8 bytes, without a copy; valid until the next Step().
    virtual QByteArrayView Utf8(int index) const = 0;
    // Feeds each column's stored value from first on into a digest (type and
    // bytes, nothing converted): equal digests, equal values.
    virtual void ColumnDigests(int first, std::vector<quint64>& digests) const = 0;
};

// A row change as a server's change log keeps it: the row before and after,
// each with its values in the table's column order (empty for none).
struct LoggedChange {
    QString table;
    QVariantList before;
    QVariantList after;
};

// A committed row change of another connection, as a listener learns of it:
// the row before and after by column name (empty for none).
struct OthersChange {
    QString table;
    qint64 key = 0;
    QString who;  // the role that made it
    QString at;   // when, as the server tells it
    QVariantMap before;
    QVariantMap after;
};

// Listens for what other connections commit to the same project.
class ChangeListener {
public:
    virtual ~ChangeListener() = default;
    virtual int SocketDescriptor() const = 0;  // readable when there is news
    virtual std::vector<OthersChange> Take() = 0;
};

// One open database: the engine behind a connection. Everything that
// depends on the engine (opening, statements, transactions, the catalog)
// lives behind this interface; the layer above only speaks its SQL.
class Backend {
public:
    virtual ~Backend() = default;

    virtual std::unique_ptr<Statement> Prepare(const QString& translatedSql) = 0;
    // Rows changed by the last writing statement, and the key it gave a new row.
    virtual qint64 ChangedRows() const = 0;
    virtual qint64 LastInsertId() const = 0;
    virtual bool IsReadOnly() const = 0;
    // Why the user may not change the project even when opening it for
    // editing (a server role that may only read); empty when they may.
    virtual QString WriteRefusal() const { return QString(); }
    // Where the database lies; a server database lies on no file system.
    virtual db::FileSystem FileSystem() const { return {}; }

    // The outermost transaction, which takes the write lock at once so that
    // it never fails half-way because another program started writing.
    virtual void Begin() = 0;
    // False once the engine rolled an open transaction back by itself (an
    // interrupted statement, a full disk).
    virtual bool InTransaction() const = 0;
    // Ends an open transaction quietly when the connection closes.
    virtual void Abandon() = 0;

    virtual void SetBusyTimeout(int milliseconds) = 0;
    // Asked now and then while a statement runs; false stops it. Empty: not asked.
    virtual void SetProgressHandler(std::function<bool()> keepGoing) = 0;

    // The catalog. Index names are per table, as callers use them.
    virtual QStringList Tables() = 0;
    virtual std::vector<ColumnInfo> Columns(const QString& table) = 0;  // empty when no such table
    virtual std::vector<IndexInfo> Indexes(const QString& table) = 0;
    virtual void CreateIndex(const QString& table, const IndexInfo& index) = 0;
    virtual void DropIndex(const QString& table, const QString& index) = 0;
    // The column that keys a table's rows for keyset paging and writes.
    virtual QString RowKey(const QString& table) = 0;

    // Where the engine logs row changes itself: a mark of the log's present
    // end, and this connection's changes after a mark, oldest first.
    // Without a log (SQLite: undo records through its session) the mark is -1.
    virtual qint64 ChangeLogMark() { return -1; }
    virtual std::vector<LoggedChange> ChangesSince(qint64 /*mark*/) { return {}; }
    // Off while a connection fills a project nobody else sees yet (a copy):
    // its rows then go without a log entry each.
    virtual void SetChangeLogging(bool /*on*/) {}
    // A listener for other connections' commits, where the engine tells of
    // them (a server); none for a file.
    virtual std::unique_ptr<ChangeListener> Listen() { return nullptr; }
};

}  // namespace ov::db
