#include "platform/db/Connection.h"

#include <optional>

#include "platform/db/ConnectionImpl.h"
#include "platform/db/SqlDialect.h"
#include "platform/db/PgBackend.h"
#include "platform/db/SqliteBackend.h"

namespace ov::db {

namespace {

[[noreturn]] void FailOpen(const QString& text) { throw DbError(err::Fail, text); }

}  // namespace

QString ConnectionStringValue(const QString& connectionString, const QString& key) {
    for (const QString& part : connectionString.split(u';', Qt::SkipEmptyParts)) {
        const auto eq = part.indexOf(u'=');
        if (eq < 0) continue;
        if (part.left(eq).trimmed().compare(key, Qt::CaseInsensitive) != 0) continue;
        QString value = part.mid(eq + 1).trimmed();
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return QString();
}

Connection::Connection() : m_impl(std::make_shared<ConnectionImpl>()) {}

Connection::~Connection() { Close(); }

void Connection::Open(const QString& connectionString, const QString& user, const QString& password) {
    Guarded(m_impl.get(), [&] {
        if (m_impl->IsOpen())
            throw DbError(err::ObjectOpen, QStringLiteral("The connection is already open."));
        const QString file = ConnectionStringValue(connectionString, QStringLiteral("Data Source"));
        const QString mode = ConnectionStringValue(connectionString, QStringLiteral("Mode"));
        const bool wantWrite = mode.isEmpty() || mode.contains(QStringLiteral("Write"), Qt::CaseInsensitive);
        const QString timeout = ConnectionStringValue(connectionString, QStringLiteral("Busy Timeout"));
        if (!timeout.isEmpty()) m_busyTimeout = timeout.toInt();

        if (file.isEmpty()) FailOpen(QStringLiteral("No project database is named (Data Source is empty)."));
        if (IsServerDataSource(file))
            m_impl->Attach(PgBackend::Open(file, wantWrite, m_busyTimeout, user, password));
        else
            m_impl->Attach(SqliteBackend::Open(file, wantWrite, m_busyTimeout));
        m_impl->ClearErrors();
        m_connectionString = connectionString;
        m_dataSource = file;
        m_readOnly = !wantWrite;
        m_fileSystem = m_impl->Db().FileSystem();
    });
}

void Connection::Close() {
    if (!m_impl->IsOpen()) return;
    m_impl->CloseDb();
    // Recordsets still holding the old state see it closed; a new Open starts afresh.
    m_impl = std::make_shared<ConnectionImpl>();
}

ObjectState Connection::State() const { return m_impl->IsOpen() ? ObjectState::Open : ObjectState::Closed; }

void Connection::SetBusyTimeout(int milliseconds) {
    m_busyTimeout = milliseconds;
    if (m_impl->IsOpen()) m_impl->Db().SetBusyTimeout(milliseconds);
}

void Connection::InTransaction(const std::function<void()>& work) {
    BeginTrans();
    try {
        work();
        CommitTrans();
    } catch (...) {
        RollbackTrans();
        throw;
    }
}

qint64 Connection::LastInsertId() const { return m_impl->Db().LastInsertId(); }

void Connection::SetKeepGoing(std::function<bool()> keepGoing) {
    m_impl->keepGoing = std::move(keepGoing);
    m_impl->UpdateProgressHandler();
}

qint64 Connection::Execute(const QString& sql, std::span<const QVariant> parameters) {
    return Guarded(m_impl.get(), [&]() -> qint64 {
        Backend& db = m_impl->Db();
        std::unique_ptr<Statement> once;
        if (parameters.empty()) once = db.Prepare(TranslateSql(sql));
        Statement& statement = once ? *once : m_impl->CachedStatement(sql);
        // A kept statement is reset whatever happens, so it holds no lock.
        struct Done {
            Statement& statement;
            ~Done() { statement.Reset(); }
        } done{statement};
        statement.BindAll(parameters);
        const bool writes = !statement.IsReadOnly();
        while (statement.Step()) {
        }
        if (!writes) return 0;
        const qint64 changed = db.ChangedRows();
        m_impl->NoteWrite();
        return changed;
    });
}

int Connection::BeginTrans() {
    return Guarded(m_impl.get(), [&] {
        Backend& db = m_impl->Db();
        if (m_impl->transactionLevel == 0)
            db.Begin();
        else
            db.Prepare(QStringLiteral("SAVEPOINT ov_level%1").arg(m_impl->transactionLevel + 1))->Step();
        m_impl->afterCommit.emplace_back();
        return ++m_impl->transactionLevel;
    });
}

void Connection::CommitTrans() {
    Guarded(m_impl.get(), [&] {
        Backend& db = m_impl->Db();
        const int level = m_impl->transactionLevel;
        if (level == 0) throw DbError(err::IllegalOperation, QStringLiteral("No transaction is active."));
        db.Prepare(level == 1 ? QStringLiteral("COMMIT") : QStringLiteral("RELEASE ov_level%1").arg(level))->Step();
        --m_impl->transactionLevel;
        auto done = std::move(m_impl->afterCommit.back());
        m_impl->afterCommit.pop_back();
        if (level > 1) {
            // Committed into the enclosing transaction, which may still roll back.
            auto& outer = m_impl->afterCommit.back();
            outer.insert(outer.end(), std::make_move_iterator(done.begin()), std::make_move_iterator(done.end()));
            return;
        }
        if (m_impl->onCommitted) m_impl->onCommitted();
        for (const auto& action : done) action();
    });
}

void Connection::SetCommitObserver(std::function<void()> observer) { m_impl->onCommitted = std::move(observer); }

void Connection::SetSchemaObserver(std::function<void()> observer) { m_impl->onSchemaChanged = std::move(observer); }

void Connection::AfterCommit(std::function<void()> action) {
    if (m_impl->transactionLevel == 0 || m_impl->afterCommit.empty()) {
        action();
        return;
    }
    m_impl->afterCommit.back().push_back(std::move(action));
}

void Connection::RollbackTrans() {
    Guarded(m_impl.get(), [&] {
        Backend& db = m_impl->Db();
        const int level = m_impl->transactionLevel;
        if (level == 0) throw DbError(err::IllegalOperation, QStringLiteral("No transaction is active."));
        if (!db.InTransaction()) {
            // The database rolled the whole transaction back itself (an
            // interrupted statement, a full disk): only this level ends here,
            // the callers above roll back theirs as they unwind.
            --m_impl->transactionLevel;
            if (!m_impl->afterCommit.empty()) m_impl->afterCommit.pop_back();
            m_impl->BumpGeneration();
            return;
        }
        if (level == 1) {
            db.Prepare(QStringLiteral("ROLLBACK"))->Step();
        } else {
            db.Prepare(QStringLiteral("ROLLBACK TO ov_level%1").arg(level))->Step();
            db.Prepare(QStringLiteral("RELEASE ov_level%1").arg(level))->Step();
        }
        --m_impl->transactionLevel;
        if (!m_impl->afterCommit.empty()) m_impl->afterCommit.pop_back();
        m_impl->BumpGeneration();
    });
}

int Connection::TransactionLevel() const { return m_impl->transactionLevel; }

const std::vector<ErrorInfo>& Connection::Errors() const { return m_impl->Errors(); }

void Connection::ClearErrors() { m_impl->ClearErrors(); }

std::unique_ptr<ChangeListener> Connection::ListenForOthers() {
    return Guarded(m_impl.get(), [&] { return m_impl->Db().Listen(); });
}

QString Connection::WriteRefusal() const {
    return m_impl->IsOpen() ? m_impl->Db().WriteRefusal() : QString();
}

void Connection::ForgetCachedRows() {
    if (m_impl->IsOpen()) m_impl->BumpGeneration();
}

void Connection::SetChangeLogging(bool on) {
    Guarded(m_impl.get(), [&] { m_impl->Db().SetChangeLogging(on); });
}

QStringList Connection::Tables() const {
    return Guarded(m_impl.get(), [&] { return m_impl->Db().Tables(); });
}

bool Connection::HasTable(const QString& table) const { return Tables().contains(table, Qt::CaseInsensitive); }

std::vector<ColumnInfo> Connection::Columns(const QString& table) const {
    return Guarded(m_impl.get(), [&] {
        std::vector<ColumnInfo> columns = m_impl->Db().Columns(table);
        if (columns.empty())
            throw DbError(err::NoTable, QStringLiteral("The table '%1' does not exist.").arg(table));
        return columns;
    });
}

bool Connection::HasColumn(const QString& table, const QString& column) const {
    if (!HasTable(table)) return false;
    for (const ColumnInfo& info : Columns(table))
        if (info.name.compare(column, Qt::CaseInsensitive) == 0) return true;
    return false;
}

std::vector<IndexInfo> Connection::Indexes(const QString& table) const {
    return Guarded(m_impl.get(), [&] { return m_impl->Db().Indexes(table); });
}

bool Connection::HasIndex(const QString& table, const QString& index) const {
    for (const IndexInfo& info : Indexes(table))
        if (info.name.compare(index, Qt::CaseInsensitive) == 0) return true;
    return false;
}

void Connection::CreateIndex(const QString& table, const IndexInfo& index) {
    Guarded(m_impl.get(), [&] {
        if (index.columns.isEmpty())
            throw DbError(err::InvalidArgument, QStringLiteral("The index '%1' names no columns.").arg(index.name));
        m_impl->Db().CreateIndex(table, index);
        m_impl->BumpGeneration();
        if (m_impl->onSchemaChanged) m_impl->onSchemaChanged();
    });
}

void Connection::DropIndex(const QString& table, const QString& index) {
    Guarded(m_impl.get(), [&] {
        if (!HasIndex(table, index))
            throw DbError(err::ItemNotFound,
                          QStringLiteral("The table '%1' has no index '%2'.").arg(table, index));
        m_impl->Db().DropIndex(table, index);
        m_impl->BumpGeneration();
        if (m_impl->onSchemaChanged) m_impl->onSchemaChanged();
    });
}

}  // namespace ov::db
