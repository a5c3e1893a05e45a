#pragma once

#include <QByteArray>
#include <QVariant>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace ov::db {

class Connection;

// The row changes of a piece of work as SQLite's session extension keeps
// them: rows inserted, deleted and updated, with their old and new values.
class Changeset {
  public:
    Changeset() = default;
    explicit Changeset(QByteArray bytes) : m_bytes(std::move(bytes)) {}

    bool IsEmpty() const { return m_bytes.isEmpty(); }
    qsizetype Size() const { return m_bytes.size(); }
    const QByteArray& Bytes() const { return m_bytes; }
    // The changes that take these back: inserts become deletes, old and
    // new values of updates swap.
    Changeset Inverted() const;
    // These changes followed by later ones, as one.
    Changeset Then(const Changeset& later) const;

    // How many rows of each table the changes insert, update and delete.
    struct TableCounts {
        qint64 inserted = 0;
        qint64 updated = 0;
        qint64 deleted = 0;
        qint64 Total() const { return inserted + updated + deleted; }
    };
    std::map<QString, TableCounts> Summary() const;

    // Each row the changes touch with the values they know of it: all of
    // an inserted or deleted row; of an updated row its key and the
    // columns that changed (their new values), the others invalid.
    struct Row {
        QString table;
        QVariantList values;
    };
    std::vector<Row> Rows() const;

  private:
    QByteArray m_bytes;
};

// Records every row change made through a connection while it lives
// (tables with a primary key, which every project table has).
class ChangeRecorder {
  public:
    explicit ChangeRecorder(Connection& connection);
    ~ChangeRecorder();
    ChangeRecorder(const ChangeRecorder&) = delete;
    ChangeRecorder& operator=(const ChangeRecorder&) = delete;

    // The changes recorded so far.
    Changeset Changes() const;
    // The memory the recording holds (old values of changed rows).
    qint64 MemoryUsed() const;
    // Stops recording once it holds more than this (checked every few
    // milliseconds while statements run): work too large to keep costs
    // no more than that. The changes are then incomplete.
    void SetLimit(qint64 bytes);
    bool Overflowed() const;

  private:
    struct Session;
    std::unique_ptr<Session> m_session;
};

// Applies changes in one transaction of their own. When a row is not as
// the changes expect (another program changed or removed it, or took its
// key), nothing is applied and the row in the way is named.
struct ConflictingRow {
    QString table;
    QVariant key;  // the first primary key column
    QString Text() const { return QStringLiteral("%1 row %2").arg(table, key.toString()); }
};
struct ApplyOutcome {
    bool applied = false;
    std::optional<ConflictingRow> conflict;
};
ApplyOutcome ApplyChangeset(Connection& connection, const Changeset& changes);

}  // namespace ov::db
