#include "platform/db/ConnectionImpl.h"

#include "platform/db/SqlDialect.h"

namespace ov::db {

ConnectionImpl::~ConnectionImpl() { CloseDb(); }

Backend& ConnectionImpl::Db() const {
    if (!m_db) throw DbError(err::ObjectClosed, QStringLiteral("Operation is not allowed when the connection is closed."));
    return *m_db;
}

Statement& ConnectionImpl::CachedStatement(const QString& sql) {
    auto it = m_statements.find(sql);
    if (it == m_statements.end()) {
        // A handful of statements repeat; a program that makes up new texts
        // all the time does not keep them all.
        if (m_statements.size() >= 64) m_statements.clear();
        it = m_statements.emplace(sql, Db().Prepare(TranslateSql(sql))).first;
    }
    it->second->Reset();
    return *it->second;
}

void ConnectionImpl::CloseDb() {
    if (!m_db) return;
    transactionLevel = 0;
    afterCommit.clear();
    m_statements.clear();
    m_db.reset();
    ++m_generation;
}

void ConnectionImpl::UpdateProgressHandler() {
    if (!m_db) return;
    if (!keepGoing && !watch) {
        m_db->SetProgressHandler({});
        return;
    }
    m_db->SetProgressHandler([this] {
        if (watch) watch();
        return !keepGoing || keepGoing();
    });
}

void ConnectionImpl::Record(const DbError& error) {
    m_errors.clear();
    m_errors.push_back(error.Info());
}

}  // namespace ov::db
