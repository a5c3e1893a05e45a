#include "platform/db/Connection.h"

#include <optional>

#include "platform/db/ConnectionImpl.h"
#include "platform/db/LikePattern.h"
#include "platform/db/SqlDialect.h"
#include "platform/db/SqliteStatement.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <sqlite3.h>

namespace ov::db {

namespace {

QString TextArg(sqlite3_value* value) {
    const auto* data = static_cast<const char16_t*>(sqlite3_value_text16(value));
    return data ? QString::fromUtf16(data, sqlite3_value_bytes16(value) / 2) : QString();
}

// The database's LIKE operator with the matching rules project databases have
// always had (see LikePattern); the compiled pattern is kept per statement.
void LikeFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    auto* pattern = static_cast<LikePattern*>(sqlite3_get_auxdata(context, 0));
    if (!pattern) {
        QChar escape;
        if (argc == 3) {
            const QString e = TextArg(argv[2]);
            if (e.size() != 1) {
                sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
                return;
            }
            escape = e[0];
        }
        pattern = new LikePattern(TextArg(argv[0]), escape);
        sqlite3_set_auxdata(context, 0, pattern, [](void* p) { delete static_cast<LikePattern*>(p); });
        pattern = static_cast<LikePattern*>(sqlite3_get_auxdata(context, 0));
        if (!pattern) {  // SQLite could not keep it; match once without the cache
            sqlite3_result_int(context, LikePattern(TextArg(argv[0]), escape).Matches(TextArg(argv[1])));
            return;
        }
    }
    sqlite3_result_int(context, pattern->Matches(TextArg(argv[1])) ? 1 : 0);
}

void RegisterFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF16 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(db, "like", 2, flags, nullptr, LikeFunction, nullptr, nullptr);
    sqlite3_create_function(db, "like", 3, flags, nullptr, LikeFunction, nullptr, nullptr);
}

// The permission bits, not access(): an administrator may write anything, but a
// project marked read-only is meant to stay unchanged.
bool HasWriteBits(const QFileInfo& info) {
    return info.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther);
}

[[noreturn]] void FailOpen(const QString& text) { throw DbError(err::Fail, text); }

void Run(sqlite3* db, const char* sql) {
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) throw MakeSqliteError(db, rc, QString::fromUtf8(sql));
}

bool IsBusy(int rc) { return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED; }

// Byte 18 of the header is 2 while the file keeps a write-ahead log.
bool KeepsWriteAheadLog(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray header = f.read(20);
    return header.size() == 20 && header[18] == 2;
}

// On a network share the project keeps a rollback journal: the write-ahead
// log's index lives in shared memory, which programs on other computers
// never see. A file that still keeps the log (made on a local disk, then
// copied to the share) is switched over. It is read with its lock held
// exclusively from the start, so that SQLite keeps the log's index in this
// program's memory instead of a shared-memory file on the share; leaving the
// log needs the file to itself, so while another program has it open the
// user is told so instead of working on in the log.
void UseRollbackJournal(sqlite3* db, const QString& file, const FileSystem& fileSystem, int busyTimeout) {
    const auto failInUse = [&] {
        FailOpen(QStringLiteral("The project database '%1' lies on a network share (%2) and still keeps the "
                                "write-ahead log, which a share cannot keep safely. It is changed to a rollback "
                                "journal when no other program has it open: close it in the other programs, "
                                "then open it again.")
                     .arg(file, fileSystem.name));
    };
    const bool inLog = KeepsWriteAheadLog(file);
    if (inLog) Run(db, "PRAGMA locking_mode=EXCLUSIVE");
    // The exclusive lock is taken without SQLite's busy handler: wait here.
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const int rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) break;
        if (!inLog || !IsBusy(rc)) throw MakeSqliteError(db, rc, file);
        if (waited.elapsed() >= busyTimeout) failInUse();
        sqlite3_sleep(20);
    }
    try {
        SqliteStatement mode(db, QStringLiteral("PRAGMA journal_mode=DELETE"));
        if (!mode.Step() || mode.Column(0).toString().compare(QStringLiteral("delete"), Qt::CaseInsensitive) != 0)
            failInUse();
    } catch (const DbError& e) {
        if (IsBusy(e.NativeError())) failInUse();
        throw;
    }
    if (inLog) {
        Run(db, "PRAGMA locking_mode=NORMAL");
        Run(db, "SELECT count(*) FROM sqlite_master");  // lets go of the exclusive lock
    }
}

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

void Connection::Open(const QString& connectionString, const QString& /*user*/, const QString& /*password*/) {
    Guarded(m_impl.get(), [&] {
        if (m_impl->IsOpen())
            throw DbError(err::ObjectOpen, QStringLiteral("The connection is already open."));
        const QString file = ConnectionStringValue(connectionString, QStringLiteral("Data Source"));
        const QString mode = ConnectionStringValue(connectionString, QStringLiteral("Mode"));
        const bool wantWrite = mode.isEmpty() || mode.contains(QStringLiteral("Write"), Qt::CaseInsensitive);
        const QString timeout = ConnectionStringValue(connectionString, QStringLiteral("Busy Timeout"));
        if (!timeout.isEmpty()) m_busyTimeout = timeout.toInt();

        if (file.isEmpty()) FailOpen(QStringLiteral("No project database is named (Data Source is empty)."));
        const QFileInfo info(file);
        if (!info.exists()) FailOpen(QStringLiteral("Could not find the project database '%1'.").arg(file));
        if (!info.isFile()) FailOpen(QStringLiteral("'%1' is a folder, not a project database.").arg(file));
        if (wantWrite && !HasWriteBits(info))
            FailOpen(QStringLiteral("The project database '%1' is read-only; it cannot be opened for editing.").arg(file));
        if (wantWrite && !QFileInfo(info.absolutePath()).isWritable())
            FailOpen(QStringLiteral("The folder of the project database '%1' is read-only; the database needs to "
                                    "keep its journal there.")
                         .arg(file));

        const db::FileSystem fileSystem = db::FileSystem::Of(info.absolutePath());
        sqlite3* db = nullptr;
        int flags = (wantWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_EXRESCODE;
        QByteArray name = QFile::encodeName(file);
        const QFileInfo journal(info.absoluteFilePath() + QStringLiteral("-wal"));
        const bool readOnlyFolder = !HasWriteBits(QFileInfo(info.absolutePath()));
        if (!wantWrite && ((readOnlyFolder && (!journal.exists() || journal.size() == 0)) ||
                           (!journal.exists() && KeepsWriteAheadLog(file)))) {
            // Read-only media: no journal can be kept beside the file, and
            // nobody can change it, so the database is read as it lies (not
            // with committed work left in a journal: that one is read the
            // usual way). Nor does a reader leave a log and its index behind
            // in the folder of a file nobody has open.
            name = QUrl::fromLocalFile(info.absoluteFilePath()).toEncoded() + "?immutable=1";
            flags |= SQLITE_OPEN_URI;
        }
        const int rc = sqlite3_open_v2(name.constData(), &db, flags, nullptr);
        if (rc != SQLITE_OK) {
            DbError error = MakeSqliteError(db, rc, file);
            sqlite3_close_v2(db);
            throw error;
        }
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, m_busyTimeout);
        try {
            // Reading the schema proves that this is a database and that nobody holds it exclusively.
            if (wantWrite && fileSystem.network) {
                UseRollbackJournal(db, file, fileSystem, m_busyTimeout);
            } else {
                Run(db, "SELECT count(*) FROM sqlite_master");
                // Back on a local disk, a project from a share keeps the log again.
                if (wantWrite) Run(db, "PRAGMA journal_mode=WAL");
            }
            if (wantWrite) Run(db, "PRAGMA synchronous=FULL");
        } catch (const DbError& e) {
            sqlite3_close_v2(db);
            if (e.NativeError() == SQLITE_NOTADB)
                FailOpen(QStringLiteral("'%1' is not a project database.").arg(file));
            if (IsBusy(e.NativeError()))
                FailOpen(QStringLiteral("The project database '%1' is locked by another program.").arg(file));
            throw;
        }
        RegisterFunctions(db);
        m_impl->Attach(db);
        m_impl->ClearErrors();
        m_connectionString = connectionString;
        m_dataSource = file;
        m_readOnly = !wantWrite;
        m_fileSystem = fileSystem;
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
    if (m_impl->IsOpen()) sqlite3_busy_timeout(m_impl->Db(), milliseconds);
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

qint64 Connection::LastInsertId() const { return sqlite3_last_insert_rowid(m_impl->Db()); }

void Connection::SetKeepGoing(std::function<bool()> keepGoing) {
    m_impl->keepGoing = std::move(keepGoing);
    m_impl->UpdateProgressHandler();
}

qint64 Connection::Execute(const QString& sql, std::span<const QVariant> parameters) {
    return Guarded(m_impl.get(), [&]() -> qint64 {
        sqlite3* db = m_impl->Db();
        std::optional<SqliteStatement> once;
        SqliteStatement& statement = parameters.empty() ? once.emplace(db, TranslateSql(sql))
                                                        : m_impl->CachedStatement(sql);
        // A kept statement is reset whatever happens, so it holds no lock.
        struct Done {
            SqliteStatement& statement;
            ~Done() { statement.Reset(); }
        } done{statement};
        statement.BindAll(parameters);
        const bool writes = !statement.IsReadOnly();
        while (statement.Step()) {
        }
        if (!writes) return 0;
        const qint64 changed = sqlite3_changes64(db);
        m_impl->NoteWrite();
        return changed;
    });
}

int Connection::BeginTrans() {
    return Guarded(m_impl.get(), [&] {
        sqlite3* db = m_impl->Db();
        // IMMEDIATE takes the write lock at once, so a transaction never fails
        // half-way because another program started writing in the meantime.
        const QString sql = m_impl->transactionLevel == 0
                                ? QStringLiteral("BEGIN IMMEDIATE")
                                : QStringLiteral("SAVEPOINT ov_level%1").arg(m_impl->transactionLevel + 1);
        SqliteStatement statement(db, sql);
        statement.Step();
        m_impl->afterCommit.emplace_back();
        return ++m_impl->transactionLevel;
    });
}

void Connection::CommitTrans() {
    Guarded(m_impl.get(), [&] {
        sqlite3* db = m_impl->Db();
        const int level = m_impl->transactionLevel;
        if (level == 0) throw DbError(err::IllegalOperation, QStringLiteral("No transaction is active."));
        SqliteStatement statement(
            db, level == 1 ? QStringLiteral("COMMIT") : QStringLiteral("RELEASE ov_level%1").arg(level));
        statement.Step();
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
        sqlite3* db = m_impl->Db();
        const int level = m_impl->transactionLevel;
        if (level == 0) throw DbError(err::IllegalOperation, QStringLiteral("No transaction is active."));
        if (sqlite3_get_autocommit(db) != 0) {
            // The database rolled the whole transaction back itself (an
            // interrupted statement, a full disk): only this level ends here,
            // the callers above roll back theirs as they unwind.
            --m_impl->transactionLevel;
            if (!m_impl->afterCommit.empty()) m_impl->afterCommit.pop_back();
            m_impl->BumpGeneration();
            return;
        }
        if (level == 1) {
            SqliteStatement(db, QStringLiteral("ROLLBACK")).Step();
        } else {
            SqliteStatement(db, QStringLiteral("ROLLBACK TO ov_level%1").arg(level)).Step();
            SqliteStatement(db, QStringLiteral("RELEASE ov_level%1").arg(level)).Step();
        }
        --m_impl->transactionLevel;
        if (!m_impl->afterCommit.empty()) m_impl->afterCommit.pop_back();
        m_impl->BumpGeneration();
    });
}

int Connection::TransactionLevel() const { return m_impl->transactionLevel; }

const std::vector<ErrorInfo>& Connection::Errors() const { return m_impl->Errors(); }

void Connection::ClearErrors() { m_impl->ClearErrors(); }

QStringList Connection::Tables() const {
    return Guarded(m_impl.get(), [&] {
        SqliteStatement statement(m_impl->Db(),
                                  QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                                 "substr(name, 1, 7) <> 'sqlite_' ORDER BY name COLLATE NOCASE"));
        QStringList names;
        while (statement.Step()) names << statement.Column(0).toString();
        return names;
    });
}

bool Connection::HasTable(const QString& table) const { return Tables().contains(table, Qt::CaseInsensitive); }

std::vector<ColumnInfo> Connection::Columns(const QString& table) const {
    return Guarded(m_impl.get(), [&] {
        SqliteStatement statement(m_impl->Db(), QStringLiteral("PRAGMA table_info(%1)").arg(QuoteName(table)));
        std::vector<ColumnInfo> columns;
        while (statement.Step()) {
            ColumnInfo column;
            column.name = statement.Column(1).toString();
            column.type = DataTypeFromDeclaration(statement.Column(2).toString(), &column.definedSize);
            column.nullable = statement.ColumnInt64(3) == 0 && statement.ColumnInt64(5) == 0;
            column.defaultExpression = statement.Column(4).toString();
            columns.push_back(column);
        }
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
    return Guarded(m_impl.get(), [&] {
        sqlite3* db = m_impl->Db();
        std::vector<IndexInfo> indexes;
        // An INTEGER PRIMARY KEY is the row key itself and has no index entry of its own.
        SqliteStatement info(db, QStringLiteral("PRAGMA table_info(%1)").arg(QuoteName(table)));
        QStringList keyColumns;
        bool integerKey = false;
        while (info.Step()) {
            if (info.ColumnInt64(5) > 0) {
                keyColumns << info.Column(1).toString();
                integerKey = info.Column(2).toString().compare(QStringLiteral("INTEGER"), Qt::CaseInsensitive) == 0;
            }
        }
        if (keyColumns.size() == 1 && integerKey) indexes.push_back({keyColumns[0], keyColumns, true, true});

        SqliteStatement list(db, QStringLiteral("PRAGMA index_list(%1)").arg(QuoteName(table)));
        const QString prefix = table + u'.';
        while (list.Step()) {
            const QString stored = list.Column(1).toString();
            IndexInfo index;
            index.name = stored.startsWith(prefix, Qt::CaseInsensitive) ? stored.mid(prefix.size()) : stored;
            index.unique = list.ColumnInt64(2) != 0;
            index.primaryKey = list.Column(3).toString() == QStringLiteral("pk");
            SqliteStatement columns(db, QStringLiteral("PRAGMA index_info(%1)").arg(QuoteName(stored)));
            while (columns.Step()) index.columns << columns.Column(2).toString();
            indexes.push_back(index);
        }
        return indexes;
    });
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
        QStringList columns;
        for (const QString& c : index.columns) columns << QuoteName(c);
        const QString sql = QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                                .arg(index.unique ? QStringLiteral("UNIQUE ") : QString(),
                                     QuoteName(StoredIndexName(table, index.name)), QuoteName(table),
                                     columns.join(QStringLiteral(", ")));
        SqliteStatement(m_impl->Db(), sql).Step();
        m_impl->BumpGeneration();
        if (m_impl->onSchemaChanged) m_impl->onSchemaChanged();
    });
}

void Connection::DropIndex(const QString& table, const QString& index) {
    Guarded(m_impl.get(), [&] {
        if (!HasIndex(table, index))
            throw DbError(err::ItemNotFound,
                          QStringLiteral("The table '%1' has no index '%2'.").arg(table, index));
        SqliteStatement(m_impl->Db(),
                        QStringLiteral("DROP INDEX %1").arg(QuoteName(StoredIndexName(table, index))))
            .Step();
        m_impl->BumpGeneration();
        if (m_impl->onSchemaChanged) m_impl->onSchemaChanged();
    });
}

}  // namespace ov::db
