#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

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

  private:
    struct Session;
    std::unique_ptr<Session> m_session;
};

// Applies changes in one transaction of their own. When a row is not as
// the changes expect (another program changed or removed it, or took its
// key), nothing is applied and the rows in the way are named
// ("TpdbItems row 17").
struct ApplyOutcome {
    bool applied = false;
    QStringList conflicts;
};
ApplyOutcome ApplyChangeset(Connection& connection, const Changeset& changes);

}  // namespace ov::db
