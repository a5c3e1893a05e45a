#include "objects/LongWork.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"

namespace ov::objects {

LongWork::LongWork(db::Connection& connection, const QString& title, qint64 total, qint64 quietBelow)
    : m_connection(connection) {
    if (total < quietBelow) return;
    m_progress.emplace(title, total);
    // The database asks between steps of a statement, so even one long
    // statement can be stopped.
    m_connection.SetKeepGoing([this] {
        m_cancelled = m_cancelled || !m_progress->Advance(m_done);
        return !m_cancelled;
    });
}

void LongWork::Step(qint64 done) {
    m_done = done;
    if (!m_progress) return;
    m_cancelled = m_cancelled || !m_progress->Advance(done);
    if (m_cancelled) throw db::DbError(db::err::Fail, QStringLiteral("interrupted"));
}

void LongWork::Finish() {
    if (!m_progress) return;
    m_connection.SetKeepGoing({});
    m_progress.reset();
}

LongWork::~LongWork() { Finish(); }

}  // namespace ov::objects
