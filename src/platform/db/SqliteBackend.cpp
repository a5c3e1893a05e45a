#include "platform/db/SqliteBackend.h"

#include "platform/db/DbError.h"
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

std::unique_ptr<SqliteBackend> SqliteBackend::Open(const QString& file, bool forWriting, int busyTimeout) {
    const QFileInfo info(file);
    if (!info.exists()) FailOpen(QStringLiteral("Could not find the project database '%1'.").arg(file));
    if (!info.isFile()) FailOpen(QStringLiteral("'%1' is a folder, not a project database.").arg(file));
    if (forWriting && !HasWriteBits(info))
        FailOpen(QStringLiteral("The project database '%1' is read-only; it cannot be opened for editing.").arg(file));
    if (forWriting && !QFileInfo(info.absolutePath()).isWritable())
        FailOpen(QStringLiteral("The folder of the project database '%1' is read-only; the database needs to "
                                "keep its journal there.")
                     .arg(file));

    const db::FileSystem fileSystem = db::FileSystem::Of(info.absolutePath());
    sqlite3* db = nullptr;
    int flags = (forWriting ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_EXRESCODE;
    QByteArray name = QFile::encodeName(file);
    const QFileInfo journal(info.absoluteFilePath() + QStringLiteral("-wal"));
    const bool readOnlyFolder = !HasWriteBits(QFileInfo(info.absolutePath()));
    if (!forWriting && ((readOnlyFolder && (!journal.exists() || journal.size() == 0)) ||
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
    sqlite3_busy_timeout(db, busyTimeout);
    try {
        // Reading the schema proves that this is a database and that nobody holds it exclusively.
        if (forWriting && fileSystem.network) {
            UseRollbackJournal(db, file, fileSystem, busyTimeout);
        } else {
            Run(db, "SELECT count(*) FROM sqlite_master");
            // Back on a local disk, a project from a share keeps the log again.
            if (forWriting) Run(db, "PRAGMA journal_mode=WAL");
        }
        if (forWriting) Run(db, "PRAGMA synchronous=FULL");
    } catch (const DbError& e) {
        sqlite3_close_v2(db);
        if (e.NativeError() == SQLITE_NOTADB)
            FailOpen(QStringLiteral("'%1' is not a project database.").arg(file));
        if (IsBusy(e.NativeError()))
            FailOpen(QStringLiteral("The project database '%1' is locked by another program.").arg(file));
        throw;
    }
    RegisterFunctions(db);
    return std::unique_ptr<SqliteBackend>(new SqliteBackend(db, fileSystem));
}

SqliteBackend::~SqliteBackend() {
    Abandon();
    // Statements still held by recordsets are finalised when those go away.
    sqlite3_close_v2(m_db);
}

std::unique_ptr<Statement> SqliteBackend::Prepare(const QString& translatedSql) {
    return std::make_unique<SqliteStatement>(m_db, translatedSql);
}

qint64 SqliteBackend::ChangedRows() const { return sqlite3_changes64(m_db); }

qint64 SqliteBackend::LastInsertId() const { return sqlite3_last_insert_rowid(m_db); }

bool SqliteBackend::IsReadOnly() const { return sqlite3_db_readonly(m_db, "main") != 0; }

void SqliteBackend::Begin() {
    // IMMEDIATE takes the write lock at once.
    SqliteStatement(m_db, QStringLiteral("BEGIN IMMEDIATE")).Step();
}

bool SqliteBackend::InTransaction() const { return sqlite3_get_autocommit(m_db) == 0; }

void SqliteBackend::Abandon() {
    if (InTransaction()) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteBackend::SetBusyTimeout(int milliseconds) { sqlite3_busy_timeout(m_db, milliseconds); }

void SqliteBackend::SetProgressHandler(std::function<bool()> keepGoing) {
    m_keepGoing = std::move(keepGoing);
    if (!m_keepGoing) {
        sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
        return;
    }
    // Every 100,000 steps of the database's machine: a few milliseconds.
    constexpr int kSteps = 100000;
    sqlite3_progress_handler(
        m_db, kSteps, [](void* context) -> int { return static_cast<SqliteBackend*>(context)->m_keepGoing() ? 0 : 1; },
        this);
}

QStringList SqliteBackend::Tables() {
    SqliteStatement statement(m_db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                                   "substr(name, 1, 7) <> 'sqlite_' ORDER BY name COLLATE NOCASE"));
    QStringList names;
    while (statement.Step()) names << statement.Column(0).toString();
    return names;
}

std::vector<ColumnInfo> SqliteBackend::Columns(const QString& table) {
    SqliteStatement statement(m_db, QStringLiteral("PRAGMA table_info(%1)").arg(QuoteName(table)));
    std::vector<ColumnInfo> columns;
    while (statement.Step()) {
        ColumnInfo column;
        column.name = statement.Column(1).toString();
        column.type = DataTypeFromDeclaration(statement.Column(2).toString(), &column.definedSize);
        column.nullable = statement.ColumnInt64(3) == 0 && statement.ColumnInt64(5) == 0;
        column.defaultExpression = statement.Column(4).toString();
        columns.push_back(column);
    }
    return columns;
}

std::vector<IndexInfo> SqliteBackend::Indexes(const QString& table) {
    std::vector<IndexInfo> indexes;
    // An INTEGER PRIMARY KEY is the row key itself and has no index entry of its own.
    const QString key = RowKey(table);
    if (key != QStringLiteral("rowid")) indexes.push_back({key, {key}, true, true});

    SqliteStatement list(m_db, QStringLiteral("PRAGMA index_list(%1)").arg(QuoteName(table)));
    const QString prefix = table + u'.';
    while (list.Step()) {
        const QString stored = list.Column(1).toString();
        IndexInfo index;
        index.name = stored.startsWith(prefix, Qt::CaseInsensitive) ? stored.mid(prefix.size()) : stored;
        index.unique = list.ColumnInt64(2) != 0;
        index.primaryKey = list.Column(3).toString() == QStringLiteral("pk");
        SqliteStatement columns(m_db, QStringLiteral("PRAGMA index_info(%1)").arg(QuoteName(stored)));
        while (columns.Step()) index.columns << columns.Column(2).toString();
        indexes.push_back(index);
    }
    return indexes;
}

void SqliteBackend::CreateIndex(const QString& table, const IndexInfo& index) {
    QStringList columns;
    for (const QString& c : index.columns) columns << QuoteName(c);
    const QString sql = QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                            .arg(index.unique ? QStringLiteral("UNIQUE ") : QString(),
                                 QuoteName(StoredIndexName(table, index.name)), QuoteName(table),
                                 columns.join(QStringLiteral(", ")));
    SqliteStatement(m_db, sql).Step();
}

void SqliteBackend::DropIndex(const QString& table, const QString& index) {
    SqliteStatement(m_db, QStringLiteral("DROP INDEX %1").arg(QuoteName(StoredIndexName(table, index)))).Step();
}

sqlite3* SqliteHandleOf(Backend& backend) {
    auto* sqlite = dynamic_cast<SqliteBackend*>(&backend);
    if (!sqlite)
        throw DbError(err::FeatureNotAvailable, QStringLiteral("This operation needs a project database file."));
    return sqlite->Handle();
}

QString SqliteBackend::RowKey(const QString& table) {
    // A single INTEGER PRIMARY KEY column is the row key under its own name.
    SqliteStatement info(m_db, QStringLiteral("PRAGMA table_info(%1)").arg(QuoteName(table)));
    QStringList keyColumns;
    bool integerKey = false;
    while (info.Step()) {
        if (info.ColumnInt64(5) > 0) {
            keyColumns << info.Column(1).toString();
            integerKey = info.Column(2).toString().compare(QStringLiteral("INTEGER"), Qt::CaseInsensitive) == 0;
        }
    }
    return keyColumns.size() == 1 && integerKey ? keyColumns[0] : QStringLiteral("rowid");
}

}  // namespace ov::db
