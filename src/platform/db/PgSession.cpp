#include "platform/db/PgSession.h"

#include <poll.h>
#include <QRegularExpression>
#include <cstdlib>
#include <cstring>
#include <map>

namespace ov::db {

namespace pg {

namespace {

// SQLSTATE's five characters packed the way the server packs them: a number
// to keep as the error's own code.
int PackedState(const char* state) {
    if (!state || std::strlen(state) != 5) return 0;
    int packed = 0;
    for (int i = 0; i < 5; ++i) packed |= ((state[i] - '0') & 0x3F) << (6 * i);
    return packed;
}

}  // namespace

bool Succeeded(const PGresult* r) {
    const ExecStatusType s = PQresultStatus(r);
    return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK || s == PGRES_EMPTY_QUERY;
}

DbError ErrorOf(const PGresult* r, PGconn* conn, const QString& context) {
    const char* stateText = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    const QString state = QString::fromLatin1(stateText ? stateText : "");
    QString message = QString::fromUtf8(r ? PQresultErrorMessage(r) : PQerrorMessage(conn)).trimmed();
    if (message.isEmpty()) message = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    const char* detail = r ? PQresultErrorField(r, PG_DIAG_MESSAGE_DETAIL) : nullptr;
    ErrorInfo info{err::Fail, message, context, PackedState(stateText)};
    if (state == QStringLiteral("23505")) {
        const QString key =
            QString::fromUtf8(detail ? detail : PQresultErrorField(r, PG_DIAG_CONSTRAINT_NAME));
        info.number = err::ErrorsOccurred;
        info.description = QStringLiteral(
                               "The changes were not saved because they would create duplicate values in "
                               "a unique index (%1). Change the value and try again.")
                               .arg(key);
    } else if (state == QStringLiteral("23502")) {
        const char* column = PQresultErrorField(r, PG_DIAG_COLUMN_NAME);
        info.number = err::IntegrityViolation;
        info.description = QStringLiteral("The field %1 cannot contain a Null value.")
                               .arg(QString::fromUtf8(column ? column : ""));
    } else if (state.startsWith(QStringLiteral("23"))) {
        info.number = err::IntegrityViolation;
        info.description = QStringLiteral("The change violates a rule of the database: %1").arg(message);
    } else if (state == QStringLiteral("42P01")) {
        info.number = err::NoTable;
        info.description = QStringLiteral("The table does not exist (%1).").arg(message);
    } else if (state == QStringLiteral("42703")) {
        info.number = err::ParamNotOptional;
        info.description = QStringLiteral("Unknown field name (%1).").arg(message);
    } else if (state == QStringLiteral("22003") || state == QStringLiteral("22001")) {
        info.number = err::DataOverflow;
        info.description = QStringLiteral("A value is too large to be stored (%1).").arg(message);
    } else if (state.startsWith(QStringLiteral("22"))) {
        info.number = err::CantConvertValue;
        info.description = QStringLiteral("Data type mismatch (%1).").arg(message);
    } else if (state.startsWith(QStringLiteral("42")) && state != QStringLiteral("42501")) {
        info.number = err::ErrorsInCommand;
        info.description = QStringLiteral("Error in the SQL statement: %1").arg(message);
    } else if (state == QStringLiteral("55P03") || state == QStringLiteral("40P01") ||
               state == QStringLiteral("40001")) {
        info.description = QStringLiteral(
                               "The project database is locked by another process; try again when it has "
                               "finished (%1).")
                               .arg(message);
    } else if (state == QStringLiteral("25006") || state == QStringLiteral("42501")) {
        info.description = QStringLiteral("The project database is read-only (%1).").arg(message);
    } else if (state == QStringLiteral("57014")) {
        info.description = QStringLiteral("The statement was stopped (%1).").arg(message);
    } else if (PQstatus(conn) != CONNECTION_OK) {
        info.description = QStringLiteral("The connection to the project server was lost (%1).").arg(message);
    }
    return DbError(info);
}

// The trigger functions keep the project's search path of their making, so
// that a write from any program (psql, a script of the team's own) is logged

[[noreturn]] void FailOpen(const QString& text) {
    throw DbError(err::Fail, text);
}

// A name written for the server, quoted as it needs; libpq's copy is freed here.
QString QuotedIdentifier(PGconn* conn, const QString& name) {
    const QByteArray text = name.toUtf8();
    char* quoted = PQescapeIdentifier(conn, text.constData(), static_cast<std::size_t>(text.size()));
    const QString result = QString::fromUtf8(quoted);
    PQfreemem(quoted);
    return result;
}

qint64 Int64(const PGresult* r, int row, int column) {
    return std::strtoll(PQgetvalue(r, row, column), nullptr, 10);
}

}  // namespace pg

using pg::ErrorOf;
using pg::Succeeded;

void PgSession::Close() {
    if (conn) PQfinish(conn);
    conn = nullptr;
}

PGconn* PgSession::Conn() const {
    if (!conn)
        throw DbError(err::ObjectClosed,
                      QStringLiteral("Operation is not allowed when the connection is closed."));
    return conn;
}

bool PgSession::InTransaction() const {
    const PGTransactionStatusType s = PQtransactionStatus(conn);
    return s == PQTRANS_INTRANS || s == PQTRANS_INERROR;
}

pg::Result PgSession::Run(const QString& sql, const QStringList& parameters) {
    std::vector<QByteArray> values;
    std::vector<const char*> pointers;
    for (const QString& p : parameters) values.push_back(p.toUtf8());
    for (const QByteArray& v : values) pointers.push_back(v.constData());
    pg::Result r(PQexecParams(Conn(), sql.toUtf8().constData(), static_cast<int>(pointers.size()), nullptr,
                              pointers.data(), nullptr, nullptr, 0));
    if (!Succeeded(r.get())) throw ErrorOf(r.get(), conn, sql);
    return r;
}

std::vector<pg::Result> PgSession::Pipeline(const std::vector<std::function<int(PGconn*)>>& sends,
                                            const QString& context) {
    PGconn* c = Conn();
    DeallocateUnused();
    if (keepGoing && !keepGoing()) throw DbError(err::Fail, QStringLiteral("The statement was stopped."));
    const bool protect = InTransaction();
    if (!PQenterPipelineMode(c)) throw ErrorOf(nullptr, c, context);
    static const char* const kSavepoint = "SAVEPOINT ov_statement";
    static const char* const kRelease = "RELEASE SAVEPOINT ov_statement";
    bool sent = !protect || PQsendQueryParams(c, kSavepoint, 0, nullptr, nullptr, nullptr, nullptr, 0);
    for (const auto& send : sends) sent = sent && send(c);
    if (protect) sent = sent && PQsendQueryParams(c, kRelease, 0, nullptr, nullptr, nullptr, nullptr, 0);
    sent = sent && PQpipelineSync(c);
    const std::size_t expected = sends.size() + (protect ? 2 : 0);
    std::vector<pg::Result> results;
    // Each command answers with its result and then a null; the sync comes last.
    bool cancelled = false;
    for (std::size_t i = 0; sent && i < expected; ++i) {
        AwaitAnswer(cancelled);
        pg::Result first(PQgetResult(c));
        if (!first) {
            sent = false;
            break;
        }
        while (pg::Result more{PQgetResult(c)}) {
        }
        results.push_back(std::move(first));
    }
    if (sent) {
        pg::Result sync(PQgetResult(c));
        sent = sync && PQresultStatus(sync.get()) == PGRES_PIPELINE_SYNC;
    }
    PQexitPipelineMode(c);
    if (!sent || results.size() != expected) throw ErrorOf(nullptr, c, context);
    if (protect) {
        results.erase(results.begin());
        results.pop_back();
    }
    for (const pg::Result& r : results) {
        if (Succeeded(r.get()) || PQresultStatus(r.get()) == PGRES_PIPELINE_ABORTED) continue;
        DbError error = ErrorOf(r.get(), c, context);
        if (protect) {
            pg::Result undo(PQexec(c, "ROLLBACK TO SAVEPOINT ov_statement; RELEASE SAVEPOINT ov_statement"));
        }
        throw error;
    }
    return results;
}

// Waits until the server's next answer is there, asking keepGoing now
// and then; a no asks the server to stop the running statement, which
// then fails (57014) and undoes itself.
void PgSession::AwaitAnswer(bool& cancelled) {
    if (!keepGoing) return;  // PQgetResult waits
    for (;;) {
        if (!PQconsumeInput(conn) || !PQisBusy(conn)) return;  // a lost connection shows in PQgetResult
        pollfd answer{PQsocket(conn), POLLIN, 0};
        ::poll(&answer, 1, kAskEveryMs);
        if (cancelled || keepGoing()) continue;
        cancelled = true;
        if (PGcancel* cancel = PQgetCancel(conn)) {
            char error[256];
            PQcancel(cancel, error, sizeof error);
            PQfreeCancel(cancel);
        }
    }
}

void PgSession::DeallocateUnused() {
    if (unusedStatements.size() < 32) return;
    QString sql;
    for (const QString& name : unusedStatements) sql += QStringLiteral("DEALLOCATE %1;").arg(name);
    unusedStatements.clear();
    pg::Result r(PQexec(conn, sql.toUtf8().constData()));
}

void PgSession::LoadNames() {
    names.clear();
    pg::Result r =
        Run(QStringLiteral("SELECT c.relname, a.attname, a.attnotnull FROM pg_attribute a "
                           "JOIN pg_class c ON c.oid = a.attrelid "
                           "JOIN pg_namespace n ON n.oid = c.relnamespace "
                           "WHERE n.nspname = $1 AND c.relkind IN ('r', 'p', 'v') AND a.attnum > 0 "
                           "AND NOT a.attisdropped ORDER BY c.relname, a.attnum"),
            {schema});
    QString table;
    QStringList columns;
    std::map<QString, bool> neverNull;  // column -> never null in every table that has it
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        const QString t = QString::fromUtf8(PQgetvalue(r.get(), i, 0));
        if (t != table && !table.isEmpty()) {
            AddPgNames(names, table, columns);
            columns.clear();
        }
        table = t;
        columns << QString::fromUtf8(PQgetvalue(r.get(), i, 1));
        const bool notNull = PQgetvalue(r.get(), i, 2)[0] == 't';
        const auto [it, isNew] = neverNull.try_emplace(columns.back().toLower(), notNull);
        if (!isNew) it->second = it->second && notNull;
    }
    if (!table.isEmpty()) AddPgNames(names, table, columns);
    for (const auto& [column, never] : neverNull)
        if (never) AddPgNeverNull(names, column);
    tables.clear();
    rowKeys.clear();
}

const PgSession::TableColumns* PgSession::ColumnsOf(Oid table) {
    if (table == 0) return nullptr;
    auto it = tables.find(table);
    if (it != tables.end()) return &it->second;
    pg::Result r = Run(QStringLiteral("SELECT c.relname, a.attnum, a.attname, t.typname, "
                                      "CASE WHEN a.atttypmod > 4 THEN a.atttypmod - 4 ELSE 0 END "
                                      "FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
                                      "JOIN pg_type t ON t.oid = a.atttypid "
                                      "WHERE a.attrelid = $1 AND a.attnum > 0 AND NOT a.attisdropped"),
                       {QString::number(table)});
    TableColumns info;
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        info.table = QString::fromUtf8(PQgetvalue(r.get(), i, 0));
        info.columns[std::atoi(PQgetvalue(r.get(), i, 1))] = {
            QString::fromUtf8(PQgetvalue(r.get(), i, 2)),
            DeclarationOfPgType(QString::fromUtf8(PQgetvalue(r.get(), i, 3)),
                                std::atoi(PQgetvalue(r.get(), i, 4)))};
    }
    return &tables.emplace(table, std::move(info)).first->second;
}

QString PgSession::RowKey(const QString& table) {
    const QString lower = table.toLower();
    const auto it = rowKeys.find(lower);
    if (it != rowKeys.end()) return it->second;
    pg::Result r =
        Run(QStringLiteral("SELECT a.attname FROM pg_index ix JOIN pg_class t ON t.oid = ix.indrelid "
                           "JOIN pg_namespace n ON n.oid = t.relnamespace "
                           "JOIN pg_attribute a ON a.attrelid = t.oid AND a.attnum = ANY(ix.indkey) "
                           "WHERE ix.indisprimary AND n.nspname = $1 AND lower(t.relname) = $2"),
            {schema, lower});
    const QString key = PQntuples(r.get()) == 1 ? QString::fromUtf8(PQgetvalue(r.get(), 0, 0)) : QString();
    rowKeys[lower] = key;
    return key;
}

std::shared_ptr<PgSession> ConnectToServer(const ServerProject& where, const QString& user,
                                           const QString& password) {
    auto session = std::make_shared<PgSession>();
    session->where = where;
    session->user = user;
    session->password = password;
    session->schema = where.project;
    const QByteArray conninfo = where.conninfo.toUtf8();
    const QByteArray userText = user.toUtf8(), passwordText = password.toUtf8();
    std::vector<const char*> keys = {"dbname", "application_name", "connect_timeout"};
    std::vector<const char*> values = {conninfo.constData(), "ovstudio", "10"};
    if (!user.isEmpty()) {
        keys.push_back("user");
        values.push_back(userText.constData());
    }
    if (!password.isEmpty()) {
        keys.push_back("password");
        values.push_back(passwordText.constData());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    session->conn = PQconnectdbParams(keys.data(), values.data(), 1);
    if (PQstatus(session->conn) != CONNECTION_OK) {
        const QString message = QString::fromUtf8(PQerrorMessage(session->conn)).simplified();
        const QString role = QString::fromUtf8(PQuser(session->conn));
        // A password is given in PGPASSWORD or ~/.pgpass; libpq tells a
        // missing one apart (PQconnectionUsedPassword says only that the
        // server asked), the server's message a wrong one. Both carry the
        // role, so that whoever opens can ask for a password and try again.
        if (PQconnectionNeedsPassword(session->conn))
            throw DbError::ForLogin(LoginFailure::PasswordWanted, role,
                                    QStringLiteral("The project server wants a password for the role '%1' (in "
                                                   "PGPASSWORD or ~/.pgpass).")
                                        .arg(role));
        if (message.contains(QStringLiteral("password authentication failed")))
            throw DbError::ForLogin(LoginFailure::PasswordRefused, role,
                                    QStringLiteral("The project server refused the password of the role '%1'.").arg(role));
        pg::FailOpen(
            QStringLiteral("The project server cannot be reached or refused the login of the role '%1' (%2).")
                .arg(role, message));
    }
    PQsetClientEncoding(session->conn, "UTF8");
    // The server's notices (a drop that cascades, ...) are not the user's business.
    PQsetNoticeProcessor(
        session->conn, [](void*, const char*) {}, nullptr);
    return session;
}

}  // namespace ov::db
