#pragma once

#include "platform/db/Backend.h"

#include <memory>
#include <unordered_map>

#include "platform/db/DbError.h"

#include <QString>
#include <functional>
#include <vector>

namespace ov::db {

// The state of one open project database, shared by the connection and the
// recordsets opened on it, so a recordset notices when its connection closed.
class ConnectionImpl {
public:
    ~ConnectionImpl();

    Backend& Db() const;  // throws ObjectClosed when the connection is closed
    bool IsOpen() const { return m_db != nullptr; }
    void Attach(std::unique_ptr<Backend> db) { m_db = std::move(db); }
    void CloseDb();

    // Raised on every write: cached rows of other recordsets are then re-read.
    quint64 Generation() const { return m_generation; }
    quint64 BumpGeneration() { return ++m_generation; }

    void Record(const DbError& error);
    void ClearErrors() { m_errors.clear(); }
    const std::vector<ErrorInfo>& Errors() const { return m_errors; }

    // The prepared statement of a text Execute runs with parameters: a
    // command that writes thousands of rows prepares each statement once.
    // The statement comes reset; the caller resets it again when done.
    Statement& CachedStatement(const QString& sql);

    int transactionLevel = 0;
    std::function<bool()> keepGoing;
    // Looked at as often as keepGoing is asked (a change recorder watching its size).
    std::function<void()> watch;
    // Has the database ask them while statements run, while either is set.
    void UpdateProgressHandler();
    // Per open transaction level, what is to happen once the outermost commit succeeded.
    std::vector<std::vector<std::function<void()>>> afterCommit;
    std::function<void()> onCommitted;
    std::function<void()> onSchemaChanged;
    // A write outside a transaction is committed by itself.
    void NoteWrite() {
        BumpGeneration();
        if (transactionLevel == 0 && onCommitted) onCommitted();
    }

private:
    std::unique_ptr<Backend> m_db;
    quint64 m_generation = 1;
    std::vector<ErrorInfo> m_errors;
    std::unordered_map<QString, std::unique_ptr<Statement>> m_statements;
};

// Runs an operation and records a failure in the connection's error list
// before passing it on, as every public database operation does.
template <typename Fn>
auto Guarded(ConnectionImpl* connection, Fn&& fn) -> decltype(fn()) {
    try {
        return fn();
    } catch (const DbError& error) {
        if (connection) connection->Record(error);
        throw;
    }
}

}  // namespace ov::db
