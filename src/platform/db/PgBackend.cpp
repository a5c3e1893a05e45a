#include "platform/db/PgBackend.h"

#include "platform/db/DbError.h"
#include "platform/db/SqlDialect.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>
#include <libpq-fe.h>
#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <map>
#include <unordered_map>
#include <unordered_set>

namespace ov::db {

namespace {

// Type OIDs of pg_type that come back as numbers.
constexpr Oid kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700, kFloat8 = 701,
              kNumeric = 1700;

struct ResultDeleter {
    void operator()(PGresult* r) const { PQclear(r); }
};
using PgResult = std::unique_ptr<PGresult, ResultDeleter>;

bool Succeeded(const PGresult* r) {
    const ExecStatusType s = PQresultStatus(r);
    return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK || s == PGRES_EMPTY_QUERY;
}

QString FirstWord(const QString& sql) {
    static const QRegularExpression word(QStringLiteral("^\\s*([A-Za-z]+)"));
    return word.match(sql).captured(1).toUpper();
}

// SQLSTATE's five characters packed the way the server packs them: a number
// to keep as the error's own code.
int PackedState(const char* state) {
    if (!state || std::strlen(state) != 5) return 0;
    int packed = 0;
    for (int i = 0; i < 5; ++i) packed |= ((state[i] - '0') & 0x3F) << (6 * i);
    return packed;
}

DbError ErrorOf(const PGresult* r, PGconn* conn, const QString& context) {
    const char* stateText = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    const QString state = QString::fromLatin1(stateText ? stateText : "");
    QString message = QString::fromUtf8(r ? PQresultErrorMessage(r) : PQerrorMessage(conn)).trimmed();
    if (message.isEmpty()) message = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    const char* detail = r ? PQresultErrorField(r, PG_DIAG_MESSAGE_DETAIL) : nullptr;
    ErrorInfo info{err::Fail, message, context, PackedState(stateText)};
    if (state == QStringLiteral("23505")) {
        const QString key = QString::fromUtf8(detail ? detail : PQresultErrorField(r, PG_DIAG_CONSTRAINT_NAME));
        info.number = err::ErrorsOccurred;
        info.description = QStringLiteral("The changes were not saved because they would create duplicate values in "
                                          "a unique index (%1). Change the value and try again.")
                               .arg(key);
    } else if (state == QStringLiteral("23502")) {
        const char* column = PQresultErrorField(r, PG_DIAG_COLUMN_NAME);
        info.number = err::IntegrityViolation;
        info.description = QStringLiteral("The field %1 cannot contain a Null value.").arg(QString::fromUtf8(column ? column : ""));
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
    } else if (state == QStringLiteral("55P03") || state == QStringLiteral("40P01") || state == QStringLiteral("40001")) {
        info.description = QStringLiteral("The project database is locked by another process; try again when it has "
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
// and keeps the keys ahead as the editor's own writes do.
//
// A key given explicitly (the template's first group, a row brought back by
// undo, a copied project) moves the table's key sequence past it, so that the
// next new row does not collide with it, as a file's next row ID would not.
const char* const kKeepKeyAhead = R"(
CREATE FUNCTION ov_keep_key_ahead() RETURNS trigger LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
DECLARE
    sequence text := pg_get_serial_sequence(quote_ident(TG_TABLE_SCHEMA) || '.' || quote_ident(TG_TABLE_NAME), TG_ARGV[0]);
    top bigint;
BEGIN
    EXECUTE format('SELECT max(%I) FROM ov_new_rows', TG_ARGV[0]) INTO top;
    IF top IS NOT NULL AND top > coalesce(pg_sequence_last_value(sequence::regclass), 0) THEN
        PERFORM setval(sequence, top);
    END IF;
    RETURN NULL;
END $$)";

// Every row change of a project, for each engineer's undo and for telling
// the other studios what changed: who, when, which table, the row before and after.
const char* const kChangeLog[] = {
    R"(CREATE TABLE ov_changes (
        seq bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
        pid integer NOT NULL DEFAULT pg_backend_pid(),
        who text NOT NULL DEFAULT session_user,
        at timestamptz NOT NULL DEFAULT clock_timestamp(),
        tbl text NOT NULL,
        before jsonb,
        after jsonb))",
    R"(CREATE FUNCTION ov_log_change() RETURNS trigger LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
BEGIN
    -- A connection filling a new project (a copy) keeps no log.
    IF current_setting('ov.log', true) = 'off' THEN
        RETURN NULL;
    END IF;
    INSERT INTO ov_changes (tbl, before, after)
    VALUES (TG_TABLE_NAME, CASE WHEN TG_OP <> 'INSERT' THEN to_jsonb(OLD) END,
            CASE WHEN TG_OP <> 'DELETE' THEN to_jsonb(NEW) END);
    -- One notice per transaction (the server folds equal ones): the
    -- listeners read what changed from the log.
    PERFORM pg_notify('ov_changes', TG_TABLE_SCHEMA);
    RETURN NULL;
END $$)",
};

QVariant FromJson(const QJsonValue& value, DataType type) {
    if (value.isNull() || value.isUndefined()) return QVariant();
    switch (type) {
        case DataType::Double:
        case DataType::Single:
        case DataType::Currency: return QVariant(value.toDouble());
        case DataType::SmallInt:
        case DataType::Integer:
        case DataType::BigInt:
        case DataType::Boolean:
        case DataType::UnsignedTinyInt: return QVariant(static_cast<qlonglong>(value.toDouble()));
        default: return value.isString() ? QVariant(value.toString()) : QVariant(value.toVariant().toString());
    }
}

}  // namespace

// One connection to the server, shared by the backend and its statements so
// that a statement outliving its connection never touches a closed one.
struct PgSession {
    PGconn* conn = nullptr;
    ServerProject where;
    QString user, password;  // as given to open, for a listener's own line
    QString schema;
    PgNames names;
    bool readOnly = false;
    QString readOnlyReason;
    qint64 lastInsertId = 0;
    qint64 changedRows = 0;
    std::function<bool()> keepGoing;
    quint64 statementCounter = 0;
    QStringList unusedStatements;  // prepared names to deallocate at the next chance
    std::unordered_map<QString, QString> rowKeys;  // table (lower case) -> key column

    struct TableColumns {
        QString table;
        std::unordered_map<int, std::pair<QString, QString>> columns;  // attnum -> name, declaration
    };
    std::unordered_map<Oid, TableColumns> tables;

    ~PgSession() { Close(); }
    void Close() {
        if (conn) PQfinish(conn);
        conn = nullptr;
    }
    PGconn* Conn() const {
        if (!conn) throw DbError(err::ObjectClosed, QStringLiteral("Operation is not allowed when the connection is closed."));
        return conn;
    }
    bool InTransaction() const {
        const PGTransactionStatusType s = PQtransactionStatus(conn);
        return s == PQTRANS_INTRANS || s == PQTRANS_INERROR;
    }

    // A statement of our own, without parameters from users.
    PgResult Run(const QString& sql, const QStringList& parameters = {}) {
        std::vector<QByteArray> values;
        std::vector<const char*> pointers;
        for (const QString& p : parameters) values.push_back(p.toUtf8());
        for (const QByteArray& v : values) pointers.push_back(v.constData());
        PgResult r(PQexecParams(Conn(), sql.toUtf8().constData(), static_cast<int>(pointers.size()), nullptr,
                                pointers.data(), nullptr, nullptr, 0));
        if (!Succeeded(r.get())) throw ErrorOf(r.get(), conn, sql);
        return r;
    }

    // Runs the commands one after the other in one round trip. Inside a
    // transaction a savepoint brackets them: a failing statement then undoes
    // only itself, and the transaction goes on, as it does in a file.
    std::vector<PgResult> Pipeline(const std::vector<std::function<int(PGconn*)>>& sends, const QString& context) {
        PGconn* c = Conn();
        DeallocateUnused();
        if (keepGoing && !keepGoing())
            throw DbError(err::Fail, QStringLiteral("The statement was stopped."));
        const bool protect = InTransaction();
        if (!PQenterPipelineMode(c)) throw ErrorOf(nullptr, c, context);
        static const char* const kSavepoint = "SAVEPOINT ov_statement";
        static const char* const kRelease = "RELEASE SAVEPOINT ov_statement";
        bool sent = !protect || PQsendQueryParams(c, kSavepoint, 0, nullptr, nullptr, nullptr, nullptr, 0);
        for (const auto& send : sends) sent = sent && send(c);
        if (protect) sent = sent && PQsendQueryParams(c, kRelease, 0, nullptr, nullptr, nullptr, nullptr, 0);
        sent = sent && PQpipelineSync(c);
        const std::size_t expected = sends.size() + (protect ? 2 : 0);
        std::vector<PgResult> results;
        // Each command answers with its result and then a null; the sync comes last.
        bool cancelled = false;
        for (std::size_t i = 0; sent && i < expected; ++i) {
            AwaitAnswer(cancelled);
            PgResult first(PQgetResult(c));
            if (!first) {
                sent = false;
                break;
            }
            while (PgResult more{PQgetResult(c)}) {
            }
            results.push_back(std::move(first));
        }
        if (sent) {
            PgResult sync(PQgetResult(c));
            sent = sync && PQresultStatus(sync.get()) == PGRES_PIPELINE_SYNC;
        }
        PQexitPipelineMode(c);
        if (!sent || results.size() != expected) throw ErrorOf(nullptr, c, context);
        if (protect) {
            results.erase(results.begin());
            results.pop_back();
        }
        for (const PgResult& r : results) {
            if (Succeeded(r.get()) || PQresultStatus(r.get()) == PGRES_PIPELINE_ABORTED) continue;
            DbError error = ErrorOf(r.get(), c, context);
            if (protect) {
                PgResult undo(PQexec(c, "ROLLBACK TO SAVEPOINT ov_statement; RELEASE SAVEPOINT ov_statement"));
            }
            throw error;
        }
        return results;
    }

    // Waits until the server's next answer is there, asking keepGoing now
    // and then; a no asks the server to stop the running statement, which
    // then fails (57014) and undoes itself.
    void AwaitAnswer(bool& cancelled) {
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
    static constexpr int kAskEveryMs = 20;

    void DeallocateUnused() {
        if (unusedStatements.size() < 32) return;
        QString sql;
        for (const QString& name : unusedStatements) sql += QStringLiteral("DEALLOCATE %1;").arg(name);
        unusedStatements.clear();
        PgResult r(PQexec(conn, sql.toUtf8().constData()));
    }

    void LoadNames() {
        names.clear();
        PgResult r = Run(QStringLiteral("SELECT c.relname, a.attname, a.attnotnull FROM pg_attribute a "
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

    const TableColumns* ColumnsOf(Oid table) {
        if (table == 0) return nullptr;
        auto it = tables.find(table);
        if (it != tables.end()) return &it->second;
        PgResult r = Run(QStringLiteral("SELECT c.relname, a.attnum, a.attname, t.typname, "
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
                DeclarationOfPgType(QString::fromUtf8(PQgetvalue(r.get(), i, 3)), std::atoi(PQgetvalue(r.get(), i, 4)))};
        }
        return &tables.emplace(table, std::move(info)).first->second;
    }

    QString RowKey(const QString& table) {
        const QString lower = table.toLower();
        const auto it = rowKeys.find(lower);
        if (it != rowKeys.end()) return it->second;
        PgResult r = Run(QStringLiteral("SELECT a.attname FROM pg_index ix JOIN pg_class t ON t.oid = ix.indrelid "
                                        "JOIN pg_namespace n ON n.oid = t.relnamespace "
                                        "JOIN pg_attribute a ON a.attrelid = t.oid AND a.attnum = ANY(ix.indkey) "
                                        "WHERE ix.indisprimary AND n.nspname = $1 AND lower(t.relname) = $2"),
                         {schema, lower});
        const QString key = PQntuples(r.get()) == 1 ? QString::fromUtf8(PQgetvalue(r.get(), 0, 0)) : QString();
        rowKeys[lower] = key;
        return key;
    }
};

namespace {

// A prepared statement on the server. Prepared (and described) at once, so a
// statement in error fails where it is made, as in a file.
class PgStatement final : public Statement {
public:
    PgStatement(std::shared_ptr<PgSession> session, const QString& sql) : m_session(std::move(session)) {
        PgSession& s = *m_session;
        m_kind = FirstWord(sql);
        int parameters = 0;
        m_text = PgSql(sql, s.names, &parameters).toUtf8();
        m_values.assign(static_cast<std::size_t>(parameters), std::nullopt);
        m_binary.assign(static_cast<std::size_t>(parameters), 0);
        m_readOnly = m_kind == QStringLiteral("SELECT") || m_kind == QStringLiteral("VALUES") ||
                     (m_kind == QStringLiteral("WITH") &&
                      !QString::fromUtf8(m_text).contains(QRegularExpression(QStringLiteral("\\b(INSERT|UPDATE|DELETE)\\b"),
                                                                             QRegularExpression::CaseInsensitiveOption)));
        if (IsTransactionControl()) return;
        if (m_kind == QStringLiteral("CREATE") || m_kind == QStringLiteral("ALTER")) {
            for (const QString& domain : PgDomainsFor(sql)) s.Run(domain);
        }
        if (m_kind == QStringLiteral("INSERT")) AskForNewKey(sql);
        m_name = QStringLiteral("ov%1").arg(++s.statementCounter).toUtf8();
        const QByteArray name = m_name;
        const QByteArray text = m_text;
        auto results = s.Pipeline({[&](PGconn* c) { return PQsendPrepare(c, name.constData(), text.constData(), parameters, nullptr); },
                                   [&](PGconn* c) { return PQsendDescribePrepared(c, name.constData()); }},
                                  sql);
        m_description = std::move(results[1]);
    }

    ~PgStatement() override {
        if (!m_name.isEmpty() && m_session->conn) m_session->unusedStatements << QString::fromLatin1(m_name);
    }

    void Bind(int index, const QVariant& value) override {
        if (index < 1 || index > static_cast<int>(m_values.size()))
            throw DbError(err::InvalidArgument, QStringLiteral("The statement has no parameter %1.").arg(index));
        auto& slot = m_values[static_cast<std::size_t>(index - 1)];
        int& binary = m_binary[static_cast<std::size_t>(index - 1)];
        binary = 0;
        if (!value.isValid() || value.isNull()) {
            slot.reset();
            return;
        }
        switch (value.typeId()) {
            case QMetaType::Bool: slot = value.toBool() ? QByteArray("-1") : QByteArray("0"); break;
            case QMetaType::Double:
            case QMetaType::Float: slot = QByteArray::number(value.toDouble(), 'g', 17); break;
            case QMetaType::QByteArray:
                slot = value.toByteArray();
                binary = 1;
                break;
            case QMetaType::QDateTime:
                slot = value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
                break;
            default: slot = value.toString().toUtf8(); break;
        }
    }

    bool Step() override {
        if (!m_executed) {
            Execute();
            m_executed = true;
            m_row = 0;
        } else {
            ++m_row;
        }
        return m_result && !m_hideRows && m_row < PQntuples(m_result.get());
    }

    void Reset() override {
        m_result.reset();
        m_executed = false;
        m_row = -1;
        for (auto& v : m_values) v.reset();
    }

    bool IsReadOnly() const override { return m_readOnly; }

    int ColumnCount() const override { return m_description ? PQnfields(m_description.get()) : 0; }

    QVariant Column(int index) const override {
        const PGresult* r = m_result.get();
        if (!r || PQgetisnull(r, m_row, index)) return QVariant();
        const char* value = PQgetvalue(r, m_row, index);
        switch (PQftype(r, index)) {
            case kInt2:
            case kInt4:
            case kInt8:
            case kOid: return QVariant(static_cast<qlonglong>(std::strtoll(value, nullptr, 10)));
            case kBool: return QVariant(static_cast<qlonglong>(value[0] == 't' ? -1 : 0));
            case kFloat4:
            case kFloat8:
            case kNumeric: return QVariant(std::strtod(value, nullptr));
            case kBytea: {
                std::size_t length = 0;
                unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(value), &length);
                QByteArray data(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(length));
                PQfreemem(bytes);
                return data;
            }
            default: return QString::fromUtf8(value, PQgetlength(r, m_row, index));
        }
    }

    qint64 ColumnInt64(int index) const override {
        const PGresult* r = m_result.get();
        if (!r || PQgetisnull(r, m_row, index)) return 0;
        return std::strtoll(PQgetvalue(r, m_row, index), nullptr, 10);
    }

    QString ColumnName(int index) const override { return QString::fromUtf8(PQfname(m_description.get(), index)); }

    QString ColumnDeclType(int index) const override {
        const auto* table = m_session->ColumnsOf(PQftable(m_description.get(), index));
        if (!table) return QString();
        const auto it = table->columns.find(PQftablecol(m_description.get(), index));
        return it == table->columns.end() ? QString() : it->second.second;
    }

    QString ColumnTableName(int index) const override {
        const auto* table = m_session->ColumnsOf(PQftable(m_description.get(), index));
        return table ? table->table : QString();
    }

    QString ColumnOriginName(int index) const override {
        const auto* table = m_session->ColumnsOf(PQftable(m_description.get(), index));
        if (!table) return QString();
        const auto it = table->columns.find(PQftablecol(m_description.get(), index));
        return it == table->columns.end() ? QString() : it->second.first;
    }

    QByteArrayView Utf8(int index) const override {
        const PGresult* r = m_result.get();
        if (!r || PQgetisnull(r, m_row, index)) return {};
        return QByteArrayView(PQgetvalue(r, m_row, index), PQgetlength(r, m_row, index));
    }

    void ColumnDigests(int first, std::vector<quint64>& digests) const override {
        digests.clear();
        for (int i = first; i < ColumnCount(); ++i) {
            const QVariant value = Column(i);
            switch (value.typeId()) {
                case QMetaType::LongLong: {
                    const qint64 v = value.toLongLong();
                    digests.push_back(ValueDigest(StoredKind::Integer, &v, sizeof v));
                    break;
                }
                case QMetaType::Double: {
                    const double v = value.toDouble();
                    digests.push_back(ValueDigest(StoredKind::Float, &v, sizeof v));
                    break;
                }
                case QMetaType::QByteArray: {
                    const QByteArray v = value.toByteArray();
                    digests.push_back(ValueDigest(StoredKind::Blob, v.constData(), static_cast<std::size_t>(v.size())));
                    break;
                }
                case QMetaType::QString: {
                    const QByteArrayView v = Utf8(i);
                    digests.push_back(ValueDigest(StoredKind::Text, v.data(), static_cast<std::size_t>(v.size())));
                    break;
                }
                default: digests.push_back(ValueDigest(StoredKind::Null, nullptr, 0)); break;
            }
        }
    }

private:
    bool IsTransactionControl() const {
        static const QStringList kControl = {QStringLiteral("BEGIN"),   QStringLiteral("COMMIT"),
                                             QStringLiteral("END"),     QStringLiteral("ROLLBACK"),
                                             QStringLiteral("SAVEPOINT"), QStringLiteral("RELEASE")};
        return kControl.contains(m_kind);
    }

    // An INSERT gives back the key of its (last) row, as a file's last row ID.
    void AskForNewKey(const QString& sql) {
        static const QRegularExpression into(QStringLiteral("^\\s*INSERT\\s+(?:OR\\s+\\w+\\s+)?INTO\\s+([\\[\"]?)([\\w]+)"),
                                             QRegularExpression::CaseInsensitiveOption);
        const auto match = into.match(sql);
        if (!match.hasMatch()) return;
        const QString key = m_session->RowKey(match.captured(2));
        if (key.isEmpty()) return;
        m_text += " RETURNING " + QuoteName(key).replace(u'[', u'"').replace(u']', u'"').toUtf8();
        m_returnsKey = true;
    }

    void Execute() {
        PgSession& s = *m_session;
        if (IsTransactionControl()) {
            PgResult r(PQexec(s.Conn(), m_text.constData()));
            if (!Succeeded(r.get())) throw ErrorOf(r.get(), s.conn, QString::fromUtf8(m_text));
            return;
        }
        std::vector<const char*> values;
        std::vector<int> lengths;
        for (const auto& v : m_values) {
            values.push_back(v ? v->constData() : nullptr);
            lengths.push_back(v ? static_cast<int>(v->size()) : 0);
        }
        const QByteArray& name = m_name;
        auto results = s.Pipeline({[&](PGconn* c) {
                                      return PQsendQueryPrepared(c, name.constData(), static_cast<int>(values.size()),
                                                                 values.data(), lengths.data(), m_binary.data(), 0);
                                  }},
                                  QString::fromUtf8(m_text));
        m_result = std::move(results[0]);
        const char* changed = PQcmdTuples(m_result.get());
        if (!m_readOnly) s.changedRows = changed && *changed ? std::atoll(changed) : 0;
        if (m_returnsKey) {
            const int rows = PQntuples(m_result.get());
            if (rows > 0) s.lastInsertId = std::strtoll(PQgetvalue(m_result.get(), rows - 1, 0), nullptr, 10);
            m_hideRows = true;
        }
        if (m_kind == QStringLiteral("CREATE") || m_kind == QStringLiteral("ALTER") || m_kind == QStringLiteral("DROP"))
            s.LoadNames();
        if (m_kind == QStringLiteral("CREATE")) KeepNewTablesKeyAhead();
    }

    // A new table gets its triggers: the change log's, and the one that keeps
    // a generated key ahead of keys given explicitly.
    void KeepNewTablesKeyAhead() {
        PgSession& s = *m_session;
        PgResult unlogged = s.Run(QStringLiteral("SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                                                 "WHERE n.nspname = $1 AND c.relkind = 'r' AND c.relname NOT LIKE 'ov\\_%' "
                                                 "AND NOT EXISTS (SELECT 1 FROM pg_trigger g WHERE g.tgrelid = c.oid "
                                                 "AND g.tgname = 'ov_log')"),
                                  {s.schema});
        for (int i = 0; i < PQntuples(unlogged.get()); ++i)
            s.Run(QStringLiteral("CREATE TRIGGER ov_log AFTER INSERT OR UPDATE OR DELETE ON \"%1\" FOR EACH ROW "
                                 "EXECUTE FUNCTION ov_log_change()")
                      .arg(QString::fromUtf8(PQgetvalue(unlogged.get(), i, 0))));
        PgResult r = s.Run(QStringLiteral("SELECT c.relname, a.attname FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
                                          "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = $1 "
                                          "AND a.attidentity <> '' AND NOT EXISTS (SELECT 1 FROM pg_trigger g "
                                          "WHERE g.tgrelid = c.oid AND g.tgname = 'ov_key_ahead')"),
                           {s.schema});
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            const QString table = QString::fromUtf8(PQgetvalue(r.get(), i, 0));
            const QString key = QString::fromUtf8(PQgetvalue(r.get(), i, 1));
            s.Run(QStringLiteral("CREATE TRIGGER ov_key_ahead AFTER INSERT ON \"%1\" REFERENCING NEW TABLE AS ov_new_rows "
                                 "FOR EACH STATEMENT EXECUTE FUNCTION ov_keep_key_ahead('%2')")
                      .arg(table, key));
        }
    }

    std::shared_ptr<PgSession> m_session;
    QString m_kind;
    QByteArray m_text;
    QByteArray m_name;
    std::vector<std::optional<QByteArray>> m_values;
    std::vector<int> m_binary;
    PgResult m_description;
    PgResult m_result;
    int m_row = -1;
    bool m_executed = false;
    bool m_readOnly = false;
    bool m_returnsKey = false;
    bool m_hideRows = false;
};

[[noreturn]] void FailOpen(const QString& text) { throw DbError(err::Fail, text); }

// A name written for the server, quoted as it needs; libpq's copy is freed here.
QString QuotedIdentifier(PGconn* conn, const QString& name) {
    const QByteArray text = name.toUtf8();
    char* quoted = PQescapeIdentifier(conn, text.constData(), static_cast<std::size_t>(text.size()));
    const QString result = QString::fromUtf8(quoted);
    PQfreemem(quoted);
    return result;
}

bool ValidProjectName(const QString& name) {
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z_][A-Za-z0-9_\\-]{0,62}$"));
    return valid.match(name).hasMatch();
}

std::shared_ptr<PgSession> Connect(const ServerProject& where, const QString& user, const QString& password) {
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
        FailOpen(QStringLiteral("The project server cannot be reached or refused the login of the role '%1' (%2).")
                     .arg(role, message));
    }
    PQsetClientEncoding(session->conn, "UTF8");
    // The server's notices (a drop that cascades, ...) are not the user's business.
    PQsetNoticeProcessor(session->conn, [](void*, const char*) {}, nullptr);
    return session;
}

}  // namespace

bool IsServerDataSource(const QString& dataSource) {
    return dataSource.startsWith(QStringLiteral("postgresql://"), Qt::CaseInsensitive) ||
           dataSource.startsWith(QStringLiteral("postgres://"), Qt::CaseInsensitive);
}

ServerProject ParseServerDataSource(const QString& dataSource) {
    QUrl url(dataSource, QUrl::StrictMode);
    if (!url.isValid())
        FailOpen(QStringLiteral("'%1' is no valid server address (postgresql://user@host:port/database?project=NAME).")
                     .arg(dataSource));
    QUrlQuery query(url);
    ServerProject where;
    where.project = query.queryItemValue(QStringLiteral("project"), QUrl::FullyDecoded);
    if (where.project.isEmpty())
        FailOpen(QStringLiteral("The server address '%1' names no project (…?project=NAME).").arg(url.toDisplayString(QUrl::RemovePassword)));
    if (!ValidProjectName(where.project))
        FailOpen(QStringLiteral("'%1' cannot be a project name on a server: use letters, digits, '_' and '-', at most "
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
    auto session = Connect(where, user, password);
    PgResult exists = session->Run(QStringLiteral("SELECT 1 FROM pg_namespace WHERE nspname = $1"), {where.project});
    if (PQntuples(exists.get()) == 0)
        FailOpen(QStringLiteral("The server has no project '%1' in the database '%2'.")
                     .arg(where.project, QString::fromUtf8(PQdb(session->conn))));
    // The project's own names first; citext and its operators live in public.
    session->Run(QStringLiteral("SELECT set_config('search_path', quote_ident($1) || ', public', false)"), {where.project});
    PgResult canWrite = session->Run(
        QStringLiteral("SELECT has_schema_privilege(current_user, quote_ident($1), 'USAGE'), "
                       "coalesce((SELECT bool_and(has_table_privilege(current_user, c.oid, 'INSERT, UPDATE, DELETE')) "
                       "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                       "WHERE n.nspname = $1 AND c.relkind = 'r'), true), current_user"),
        {where.project});
    const QString role = QString::fromUtf8(PQgetvalue(canWrite.get(), 0, 2));
    if (PQgetvalue(canWrite.get(), 0, 0)[0] != 't')
        FailOpen(QStringLiteral("The role '%1' may not use the project '%2' on the server.").arg(role, where.project));
    if (PQgetvalue(canWrite.get(), 0, 1)[0] != 't') {
        session->readOnly = true;
        session->readOnlyReason =
            QStringLiteral("The role '%1' may only read the project '%2' on the server.").arg(role, where.project);
        if (forWriting) FailOpen(session->readOnlyReason + QStringLiteral(" It cannot be opened for editing."));
    }
    if (!forWriting) {
        session->readOnly = true;
        session->Run(QStringLiteral("SET default_transaction_read_only = on"));
    }
    session->LoadNames();
    std::unique_ptr<PgBackend> backend(new PgBackend(std::move(session)));
    backend->SetBusyTimeout(busyTimeout);
    return backend;
}

void PgBackend::CreateSchema(const QString& dataSource, const QString& user, const QString& password) {
    const ServerProject where = ParseServerDataSource(dataSource);
    auto session = Connect(where, user, password);
    PgResult exists = session->Run(QStringLiteral("SELECT 1 FROM pg_namespace WHERE nspname = $1"), {where.project});
    if (PQntuples(exists.get()) > 0)
        FailOpen(QStringLiteral("The project '%1' exists on the server already; it is not replaced.").arg(where.project));
    session->Run(QStringLiteral("BEGIN"));
    try {
        session->Run(QStringLiteral("CREATE SCHEMA %1").arg(QuotedIdentifier(session->conn, where.project)));
        session->Run(QStringLiteral("SELECT set_config('search_path', quote_ident($1) || ', public', true)"), {where.project});
        for (const QString& statement : PgProjectFunctions()) session->Run(statement);
        session->Run(QString::fromUtf8(kKeepKeyAhead));
        for (const char* statement : kChangeLog) session->Run(QString::fromUtf8(statement));
        session->Run(QStringLiteral("COMMIT"));
    } catch (...) {
        PgResult undo(PQexec(session->conn, "ROLLBACK"));
        throw;
    }
}

void PgBackend::DropProject(const QString& dataSource, const QString& user, const QString& password) {
    const ServerProject where = ParseServerDataSource(dataSource);
    auto session = Connect(where, user, password);
    session->Run(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(QuotedIdentifier(session->conn, where.project)));
}

PgBackend::~PgBackend() {
    Abandon();
    m_session->Close();
}

std::unique_ptr<Statement> PgBackend::Prepare(const QString& translatedSql) {
    return std::make_unique<PgStatement>(m_session, translatedSql);
}

qint64 PgBackend::ChangedRows() const { return m_session->changedRows; }

qint64 PgBackend::LastInsertId() const { return m_session->lastInsertId; }

bool PgBackend::IsReadOnly() const { return m_session->readOnly; }

QString PgBackend::ReadOnlyReason() const { return m_session->readOnlyReason; }

int PgBackend::ServerProcessId() const { return PQbackendPID(m_session->Conn()); }

QString PgBackend::Schema() const { return m_session->schema; }

void PgBackend::Begin() { m_session->Run(QStringLiteral("BEGIN")); }

bool PgBackend::InTransaction() const { return m_session->conn && m_session->InTransaction(); }

void PgBackend::Abandon() {
    if (InTransaction()) PgResult r(PQexec(m_session->conn, "ROLLBACK"));
}

void PgBackend::SetBusyTimeout(int milliseconds) {
    // Rows another engineer's open transaction holds are waited for this long.
    m_session->Run(QStringLiteral("SELECT set_config('lock_timeout', $1, false)"), {QString::number(milliseconds)});
}

void PgBackend::SetChangeLogging(bool on) {
    m_session->Run(QStringLiteral("SELECT set_config('ov.log', $1, false)"), {on ? QStringLiteral("on") : QStringLiteral("off")});
}

void PgBackend::SetProgressHandler(std::function<bool()> keepGoing) { m_session->keepGoing = std::move(keepGoing); }

QStringList PgBackend::Tables() {
    PgResult r = m_session->Run(QStringLiteral("SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                                               "WHERE n.nspname = $1 AND c.relkind IN ('r', 'p') AND c.relname NOT LIKE 'ov\\_%' "
                                               "ORDER BY lower(c.relname)"),
                                {m_session->schema});
    QStringList names;
    for (int i = 0; i < PQntuples(r.get()); ++i) names << QString::fromUtf8(PQgetvalue(r.get(), i, 0));
    return names;
}

std::vector<ColumnInfo> PgBackend::Columns(const QString& table) {
    const QString proper = m_session->names.value(table.toLower(), table);
    PgResult r = m_session->Run(PgColumnsQuery(), {proper});
    std::vector<ColumnInfo> columns;
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        ColumnInfo column;
        column.name = QString::fromUtf8(PQgetvalue(r.get(), i, 0));
        column.type = DataTypeFromDeclaration(
            DeclarationOfPgType(QString::fromUtf8(PQgetvalue(r.get(), i, 1)), std::atoi(PQgetvalue(r.get(), i, 2))),
            &column.definedSize);
        column.nullable = QString::fromUtf8(PQgetvalue(r.get(), i, 3)) == QStringLiteral("YES");
        column.defaultExpression = DefaultOfPg(QString::fromUtf8(PQgetvalue(r.get(), i, 4)));
        columns.push_back(column);
    }
    return columns;
}

std::vector<IndexInfo> PgBackend::Indexes(const QString& table) {
    PgResult r = m_session->Run(
        QStringLiteral("SELECT i.relname, ix.indisunique, ix.indisprimary, "
                       "array_to_string(ARRAY(SELECT a.attname FROM unnest(ix.indkey) WITH ORDINALITY k(attnum, ord) "
                       "JOIN pg_attribute a ON a.attrelid = t.oid AND a.attnum = k.attnum ORDER BY k.ord), E'\\x1f') "
                       "FROM pg_index ix JOIN pg_class i ON i.oid = ix.indexrelid JOIN pg_class t ON t.oid = ix.indrelid "
                       "JOIN pg_namespace n ON n.oid = t.relnamespace WHERE n.nspname = $1 AND lower(t.relname) = lower($2) "
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
        index.name = index.primaryKey && index.columns.size() == 1 ? index.columns[0]
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
                .arg(index.unique ? QStringLiteral("UNIQUE ") : QString(), QuoteName(StoredIndexName(proper, index.name)),
                     QuoteName(table), columns.join(QStringLiteral(", "))))
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

QString PgBackend::RowKey(const QString& table) { return m_session->RowKey(table); }

namespace {

// A line of its own to the server that waits for the change log's notices.
class PgListener final : public ChangeListener {
public:
    PgListener(std::shared_ptr<PgSession> line, int writerPid) : m_line(std::move(line)), m_writerPid(writerPid) {
        m_line->Run(QStringLiteral("LISTEN ov_changes"));
        PgResult end = m_line->Run(QStringLiteral("SELECT coalesce(max(seq), 0) FROM ov_changes"));
        m_floor = std::strtoll(PQgetvalue(end.get(), 0, 0), nullptr, 10);
    }

    int SocketDescriptor() const override { return PQsocket(m_line->conn); }

    std::vector<OthersChange> Take() override {
        PGconn* c = m_line->Conn();
        if (!PQconsumeInput(c)) throw ErrorOf(nullptr, c, QStringLiteral("LISTEN ov_changes"));
        bool news = false;
        while (PGnotify* notice = PQnotifies(c)) {
            news = news || QString::fromUtf8(notice->extra) == m_line->schema;
            PQfreemem(notice);
        }
        if (!news) return {};
        return ReadLog();
    }

private:
    // Rows are numbered when written, not when committed: a transaction that
    // began earlier may commit later with lower numbers. The log is read
    // from a little before the highest number seen, skipping rows seen.
    static constexpr qint64 kWindow = 20000;

    std::vector<OthersChange> ReadLog() {
        PgResult r = m_line->Run(QStringLiteral("SELECT seq, tbl, who, to_char(at, 'YYYY-MM-DD HH24:MI:SS'), "
                                                "coalesce(after, before)::text FROM ov_changes "
                                                "WHERE seq > $1 AND pid <> $2 ORDER BY seq"),
                                 {QString::number(m_floor), QString::number(m_writerPid)});
        std::vector<OthersChange> changes;
        qint64 highest = m_floor;
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            const qint64 seq = std::strtoll(PQgetvalue(r.get(), i, 0), nullptr, 10);
            highest = std::max(highest, seq);
            if (!m_seen.insert(seq).second) continue;
            OthersChange change;
            change.table = QString::fromUtf8(PQgetvalue(r.get(), i, 1));
            change.who = QString::fromUtf8(PQgetvalue(r.get(), i, 2));
            change.at = QString::fromUtf8(PQgetvalue(r.get(), i, 3));
            const QJsonObject row = QJsonDocument::fromJson(QByteArray(PQgetvalue(r.get(), i, 4))).object();
            const QString key = m_line->RowKey(change.table);
            change.key = static_cast<qint64>(row.value(key).toDouble());
            changes.push_back(change);
        }
        const qint64 floor = std::max(m_floor, highest - kWindow);
        if (floor > m_floor) {
            m_floor = floor;
            std::erase_if(m_seen, [&](qint64 seq) { return seq <= m_floor; });
        }
        return changes;
    }

    std::shared_ptr<PgSession> m_line;
    int m_writerPid = 0;
    qint64 m_floor = 0;
    std::unordered_set<qint64> m_seen;
};

}  // namespace

std::unique_ptr<ChangeListener> PgBackend::Listen() {
    auto line = Connect(m_session->where, m_session->user, m_session->password);
    line->Run(QStringLiteral("SELECT set_config('search_path', quote_ident($1) || ', public', false)"), {line->schema});
    return std::make_unique<PgListener>(std::move(line), ServerProcessId());
}

qint64 PgBackend::ChangeLogMark() {
    PgResult r = m_session->Run(QStringLiteral("SELECT coalesce(max(seq), 0) FROM ov_changes"));
    return std::strtoll(PQgetvalue(r.get(), 0, 0), nullptr, 10);
}

std::vector<LoggedChange> PgBackend::ChangesSince(qint64 mark) {
    PgResult r = m_session->Run(QStringLiteral("SELECT tbl, before::text, after::text FROM ov_changes "
                                               "WHERE seq > $1 AND pid = pg_backend_pid() ORDER BY seq"),
                                {QString::number(mark)});
    std::map<QString, std::vector<ColumnInfo>> columnsOf;
    std::vector<LoggedChange> changes;
    const auto image = [](const char* json, const std::vector<ColumnInfo>& columns) {
        QVariantList values;
        if (!json || !*json) return values;
        const QJsonObject row = QJsonDocument::fromJson(QByteArray(json)).object();
        for (const ColumnInfo& c : columns) values << FromJson(row.value(c.name), c.type);
        return values;
    };
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        LoggedChange change;
        change.table = QString::fromUtf8(PQgetvalue(r.get(), i, 0));
        auto it = columnsOf.find(change.table);
        if (it == columnsOf.end()) it = columnsOf.emplace(change.table, Columns(change.table)).first;
        if (!PQgetisnull(r.get(), i, 1)) change.before = image(PQgetvalue(r.get(), i, 1), it->second);
        if (!PQgetisnull(r.get(), i, 2)) change.after = image(PQgetvalue(r.get(), i, 2), it->second);
        changes.push_back(std::move(change));
    }
    return changes;
}

}  // namespace ov::db
