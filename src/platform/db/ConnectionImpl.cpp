#include "platform/db/ConnectionImpl.h"

#include "platform/db/SqlDialect.h"

#include <sqlite3.h>

namespace ov::db {

ConnectionImpl::~ConnectionImpl() { CloseDb(); }

sqlite3* ConnectionImpl::Db() const {
    if (!m_db) throw DbError(err::ObjectClosed, QStringLiteral("Operation is not allowed when the connection is closed."));
    return m_db;
}

SqliteStatement& ConnectionImpl::CachedStatement(const QString& sql) {
    auto it = m_statements.find(sql);
    if (it == m_statements.end()) {
        // A handful of statements repeat; a program that makes up new texts
        // all the time does not keep them all.
        if (m_statements.size() >= 64) m_statements.clear();
        it = m_statements.emplace(sql, std::make_unique<SqliteStatement>(Db(), TranslateSql(sql))).first;
    }
    it->second->Reset();
    return *it->second;
}

void ConnectionImpl::CloseDb() {
    if (!m_db) return;
    if (transactionLevel > 0) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    transactionLevel = 0;
    afterCommit.clear();
    m_statements.clear();
    // Statements still held by recordsets are finalised when those go away.
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    ++m_generation;
}

void ConnectionImpl::UpdateProgressHandler() {
    if (!m_db) return;
    // Every 100,000 steps of the database's machine: a few milliseconds.
    constexpr int kSteps = 100000;
    if (!keepGoing && !watch) {
        sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
        return;
    }
    sqlite3_progress_handler(
        m_db, kSteps,
        [](void* context) -> int {
            auto* impl = static_cast<ConnectionImpl*>(context);
            if (impl->watch) impl->watch();
            return impl->keepGoing && !impl->keepGoing() ? 1 : 0;
        },
        this);
}

void ConnectionImpl::Record(const DbError& error) {
    m_errors.clear();
    m_errors.push_back(error.Info());
}

}  // namespace ov::db
