#include "platform/db/PgBackend.h"

#include "platform/db/DbError.h"
#include "platform/db/PgChangeLog.h"
#include "platform/db/PgProjectSchema.h"
#include "platform/db/PgSession.h"
#include "platform/db/PgStatement.h"
#include "platform/db/SqlDialect.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>
#include <cstdlib>

namespace ov::db {

namespace {

bool ValidProjectName(const QString& name) {
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z_][A-Za-z0-9_\\-]{0,62}$"));
    return valid.match(name).hasMatch();
}

}  // namespace

bool IsServerDataSource(const QString& dataSource) {
    return dataSource.startsWith(QStringLiteral("postgresql://"), Qt::CaseInsensitive) ||
           dataSource.startsWith(QStringLiteral("postgres://"), Qt::CaseInsensitive);
}

ServerProject ParseServerDataSource(const QString& dataSource) {
    QUrl url(dataSource, QUrl::StrictMode);
    if (!url.isValid())
        pg::FailOpen(
            QStringLiteral(
                "'%1' is no valid server address (postgresql://user@host:port/database?project=NAME).")
                .arg(dataSource));
    QUrlQuery query(url);
    ServerProject where;
    where.project = query.queryItemValue(QStringLiteral("project"), QUrl::FullyDecoded);
    if (where.project.isEmpty())
        pg::FailOpen(QStringLiteral("The server address '%1' names no project (…?project=NAME).")
                         .arg(url.toDisplayString(QUrl::RemovePassword)));
    if (!ValidProjectName(where.project))
        pg::FailOpen(
            QStringLiteral(
                "'%1' cannot be a project name on a server: use letters, digits, '_' and '-', at most "
                "63, beginning with a letter.")
                .arg(where.project));
    query.removeAllQueryItems(QStringLiteral("project"));
    url.setQuery(query);
    where.conninfo = url.toString(QUrl::FullyEncoded);
    return where;
}

std::unique_ptr<PgBackend> PgBackend::Open(const QString& dataSource, bool forWriting, int busyTimeout,
                                           const QString& user, const QString& password) {
    const ServerProject where = ParseServerDataSource(dataSource);
    auto session = ConnectToServer(where, user, password);
    pg::Result exists =
        session->Run(QStringLiteral("SELECT 1 FROM pg_namespace WHERE nspname = $1"), {where.project});
    if (PQntuples(exists.get()) == 0)
        pg::FailOpen(QStringLiteral("The server has no project '%1' in the database '%2'.")
                         .arg(where.project, QString::fromUtf8(PQdb(session->conn))));
    // The project's own names first; citext and its operators live in public.
    session->Run(QStringLiteral("SELECT set_config('search_path', quote_ident($1) || ', public', false)"),
                 {where.project});
    pg::Result canWrite = session->Run(
        QStringLiteral(
            "SELECT has_schema_privilege(current_user, $1, 'USAGE'), "
            "coalesce((SELECT bool_and(has_table_privilege(current_user, c.oid, 'INSERT, UPDATE, DELETE')) "
            "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
            "WHERE n.nspname = $1 AND c.relkind = 'r'), true), current_user"),
        {where.project});
    const QString role = QString::fromUtf8(PQgetvalue(canWrite.get(), 0, 2));
    if (PQgetvalue(canWrite.get(), 0, 0)[0] != 't')
        pg::FailOpen(QStringLiteral("The role '%1' may not use the project '%2' on the server.")
                         .arg(role, where.project));
    if (PQgetvalue(canWrite.get(), 0, 1)[0] != 't') {
        session->readOnly = true;
        session->readOnlyReason =
            QStringLiteral("The role '%1' may only read the project '%2' on the server.")
                .arg(role, where.project);
        if (forWriting)
            pg::FailOpen(session->readOnlyReason + QStringLiteral(" It cannot be opened for editing."));
    }
    if (!forWriting) {
        session->readOnly = true;
        session->Run(QStringLiteral("SET default_transaction_read_only = on"));
    }
    session->LoadNames();
    if (forWriting) {
        try {
            TrimChangeLog(*session);
        } catch (const DbError&) {
            // An old log entry left over harms nobody; the project opens all the same.
        }
    }
    std::unique_ptr<PgBackend> backend(new PgBackend(std::move(session)));
    backend->SetBusyTimeout(busyTimeout);
    return backend;
}

namespace {

void RefuseExisting(PgSession& session) {
    pg::Result exists = session.Run(QStringLiteral("SELECT 1 FROM pg_namespace WHERE nspname = $1"), {session.schema});
    if (PQntuples(exists.get()) > 0)
        pg::FailOpen(QStringLiteral("The project '%1' exists on the server already; it is not replaced.")
                         .arg(session.schema));
}

}  // namespace

void PgBackend::RefuseExistingProject(const QString& dataSource, const QString& user, const QString& password) {
    RefuseExisting(*ConnectToServer(ParseServerDataSource(dataSource), user, password));
}

void PgBackend::CreateSchema(const QString& dataSource, const QString& user, const QString& password) {
    const ServerProject where = ParseServerDataSource(dataSource);
    auto session = ConnectToServer(where, user, password);
    RefuseExisting(*session);
    session->Run(QStringLiteral("BEGIN"));
    try {
        session->Run(
            QStringLiteral("CREATE SCHEMA %1").arg(pg::QuotedIdentifier(session->conn, where.project)));
        session->Run(QStringLiteral("SELECT set_config('search_path', quote_ident($1) || ', public', true)"),
                     {where.project});
        CreateProjectObjects(*session);
        session->Run(QStringLiteral("COMMIT"));
    } catch (...) {
        pg::Result undo(PQexec(session->conn, "ROLLBACK"));
        throw;
    }
}

void PgBackend::DropProject(const QString& dataSource, const QString& user, const QString& password) {
    const ServerProject where = ParseServerDataSource(dataSource);
    auto session = ConnectToServer(where, user, password);
    session->Run(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE")
                     .arg(pg::QuotedIdentifier(session->conn, where.project)));
}

PgBackend::~PgBackend() {
    Abandon();
    m_session->Close();
}

std::unique_ptr<Statement> PgBackend::Prepare(const QString& translatedSql) {
    return MakePgStatement(m_session, translatedSql);
}

qint64 PgBackend::ChangedRows() const {
    return m_session->changedRows;
}

qint64 PgBackend::LastInsertId() const {
    return m_session->lastInsertId;
}

bool PgBackend::IsReadOnly() const {
    return m_session->readOnly;
}

QString PgBackend::ReadOnlyReason() const {
    return m_session->readOnlyReason;
}

int PgBackend::ServerProcessId() const {
    return PQbackendPID(m_session->Conn());
}

QString PgBackend::Schema() const {
    return m_session->schema;
}

void PgBackend::Begin() {
    m_session->Run(QStringLiteral("BEGIN"));
}

bool PgBackend::InTransaction() const {
    return m_session->conn && m_session->InTransaction();
}

void PgBackend::Abandon() {
    if (InTransaction()) pg::Result r(PQexec(m_session->conn, "ROLLBACK"));
}

void PgBackend::SetBusyTimeout(int milliseconds) {
    // Rows another engineer's open transaction holds are waited for this long.
    m_session->Run(QStringLiteral("SELECT set_config('lock_timeout', $1, false)"),
                   {QString::number(milliseconds)});
}

void PgBackend::SetChangeLogging(bool on) {
    m_session->Run(QStringLiteral("SELECT set_config('ov.log', $1, false)"),
                   {on ? QStringLiteral("on") : QStringLiteral("off")});
    m_session->logging = on;
}

void PgBackend::SetProgressHandler(std::function<bool()> keepGoing) {
    m_session->keepGoing = std::move(keepGoing);
}

QStringList PgBackend::Tables() {
    pg::Result r = m_session->Run(
        QStringLiteral("SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                       "WHERE n.nspname = $1 AND c.relkind IN ('r', 'p') AND c.relname NOT LIKE 'ov\\_%' "
                       "ORDER BY lower(c.relname)"),
        {m_session->schema});
    QStringList names;
    for (int i = 0; i < PQntuples(r.get()); ++i) names << QString::fromUtf8(PQgetvalue(r.get(), i, 0));
    return names;
}

std::vector<ColumnInfo> PgBackend::Columns(const QString& table) {
    const QString proper = m_session->names.value(table.toLower(), table);
    pg::Result r = m_session->Run(PgColumnsQuery(), {proper});
    std::vector<ColumnInfo> columns;
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        ColumnInfo column;
        column.name = QString::fromUtf8(PQgetvalue(r.get(), i, 0));
        column.type =
            DataTypeFromDeclaration(DeclarationOfPgType(QString::fromUtf8(PQgetvalue(r.get(), i, 1)),
                                                        std::atoi(PQgetvalue(r.get(), i, 2))),
                                    &column.definedSize);
        column.nullable = QString::fromUtf8(PQgetvalue(r.get(), i, 3)) == QStringLiteral("YES");
        column.defaultExpression = DefaultOfPg(QString::fromUtf8(PQgetvalue(r.get(), i, 4)));
        columns.push_back(column);
    }
    return columns;
}

std::vector<IndexInfo> PgBackend::Indexes(const QString& table) {
    pg::Result r = m_session->Run(
        QStringLiteral(
            "SELECT i.relname, ix.indisunique, ix.indisprimary, "
            "array_to_string(ARRAY(SELECT a.attname FROM unnest(ix.indkey) WITH ORDINALITY k(attnum, ord) "
            "JOIN pg_attribute a ON a.attrelid = t.oid AND a.attnum = k.attnum ORDER BY k.ord), E'\\x1f') "
            "FROM pg_index ix JOIN pg_class i ON i.oid = ix.indexrelid JOIN pg_class t ON t.oid = "
            "ix.indrelid "
            "JOIN pg_namespace n ON n.oid = t.relnamespace WHERE n.nspname = $1 AND lower(t.relname) = "
            "lower($2) "
            "ORDER BY ix.indisprimary DESC, i.relname"),
        {m_session->schema, table});
    std::vector<IndexInfo> indexes;
    const QString prefix = m_session->names.value(table.toLower(), table) + u'.';
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        IndexInfo index;
        const QString stored = QString::fromUtf8(PQgetvalue(r.get(), i, 0));
        index.unique = PQgetvalue(r.get(), i, 1)[0] == 't';
        index.primaryKey = PQgetvalue(r.get(), i, 2)[0] == 't';
        index.columns = QString::fromUtf8(PQgetvalue(r.get(), i, 3)).split(QChar(0x1f), Qt::SkipEmptyParts);
        // The row key is known by its column's name, as in a file.
        index.name = index.primaryKey && index.columns.size() == 1    ? index.columns[0]
                     : stored.startsWith(prefix, Qt::CaseInsensitive) ? stored.mid(prefix.size())
                                                                      : stored;
        indexes.push_back(index);
    }
    return indexes;
}

void PgBackend::CreateIndex(const QString& table, const IndexInfo& index) {
    QStringList columns;
    for (const QString& c : index.columns) columns << QuoteName(c);
    const QString proper = m_session->names.value(table.toLower(), table);
    Prepare(QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                .arg(index.unique ? QStringLiteral("UNIQUE ") : QString(),
                     QuoteName(StoredIndexName(proper, index.name)), QuoteName(table),
                     columns.join(QStringLiteral(", "))))
        ->Step();
}

void PgBackend::DropIndex(const QString& table, const QString& index) {
    const QString proper = m_session->names.value(table.toLower(), table);
    for (const IndexInfo& info : Indexes(table)) {
        if (info.name.compare(index, Qt::CaseInsensitive) != 0) continue;
        Prepare(QStringLiteral("DROP INDEX %1").arg(QuoteName(StoredIndexName(proper, info.name))))->Step();
        return;
    }
}

QString PgBackend::RowKey(const QString& table) {
    return m_session->RowKey(table);
}

std::unique_ptr<ChangeListener> PgBackend::Listen() {
    auto line = ConnectToServer(m_session->where, m_session->user, m_session->password);
    line->Run(QStringLiteral("SELECT set_config('search_path', quote_ident($1) || ', public', false)"),
              {line->schema});
    return ListenOnLine(std::move(line), ServerProcessId());
}

qint64 PgBackend::ChangeLogMark() {
    return ChangeLogEnd(*m_session);
}

std::vector<LoggedChange> PgBackend::ChangesSince(qint64 mark) {
    return OwnChangesSince(*m_session, mark, [this](const QString& table) { return Columns(table); });
}

}  // namespace ov::db
