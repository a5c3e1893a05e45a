#pragma once

#include "platform/ui/Progress.h"

#include <QString>
#include <optional>

namespace ov::db {
class Connection;
}

namespace ov::objects {

// Work on many rows inside one transaction. From quietBelow rows on, a
// progress window with Cancel: Cancel stops the running statement, which
// then fails, so the transaction around the work rolls back whole.
class LongWork {
  public:
    static constexpr qint64 kQuietRows = 20000;

    LongWork(db::Connection& connection, const QString& title, qint64 total, qint64 quietBelow = kQuietRows);
    ~LongWork();
    LongWork(const LongWork&) = delete;
    LongWork& operator=(const LongWork&) = delete;

    // How far the work got: shown when the database next asks, or at once
    // by Step, which stops work done in many short statements. After a
    // Cancel, Step throws the error of a stopped statement.
    void SetDone(qint64 done) { m_done = done; }
    void Step(qint64 done);
    bool Cancelled() const { return m_cancelled; }
    // Closes the progress window and lets statements run again; call it
    // once the transaction ended, before the views read the database.
    void Finish();

  private:
    db::Connection& m_connection;
    std::optional<ui::ProgressScope> m_progress;
    qint64 m_done = 0;
    bool m_cancelled = false;
};

}  // namespace ov::objects
