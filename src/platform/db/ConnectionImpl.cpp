#include "platform/db/ConnectionImpl.h"

#include <sqlite3.h>

namespace ov::db {

ConnectionImpl::~ConnectionImpl() { CloseDb(); }

sqlite3* ConnectionImpl::Db() const {
    if (!m_db) throw DbError(err::ObjectClosed, QStringLiteral("Operation is not allowed when the connection is closed."));
    return m_db;
}

void ConnectionImpl::CloseDb() {
    if (!m_db) return;
    if (transactionLevel > 0) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    transactionLevel = 0;
    afterCommit.clear();
    // Statements still held by recordsets are finalised when those go away.
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    ++m_generation;
}

void ConnectionImpl::Record(const DbError& error) {
    m_errors.clear();
    m_errors.push_back(error.Info());
}

}  // namespace ov::db
