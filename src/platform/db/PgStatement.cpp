#include "platform/db/PgStatement.h"

#include "platform/db/PgProjectSchema.h"
#include "platform/db/SqlDialect.h"

#include <QDateTime>
#include <QRegularExpression>
#include <cstdlib>
#include <optional>

namespace ov::db {

namespace {

// Type OIDs of pg_type that come back as numbers.
constexpr Oid kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700,
              kFloat8 = 701, kNumeric = 1700;

QString FirstWord(const QString& sql) {
    static const QRegularExpression word(QStringLiteral("^\\s*([A-Za-z]+)"));
    return word.match(sql).captured(1).toUpper();
}

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
        m_readOnly =
            m_kind == QStringLiteral("SELECT") || m_kind == QStringLiteral("VALUES") ||
            (m_kind == QStringLiteral("WITH") &&
             !QString::fromUtf8(m_text).contains(QRegularExpression(
                 QStringLiteral("\\b(INSERT|UPDATE|DELETE)\\b"), QRegularExpression::CaseInsensitiveOption)));
        if (IsTransactionControl()) return;
        if (m_kind == QStringLiteral("CREATE") || m_kind == QStringLiteral("ALTER")) {
            for (const QString& domain : PgDomainsFor(sql)) s.Run(domain);
        }
        if (m_kind == QStringLiteral("INSERT")) AskForNewKey(sql);
        m_name = QStringLiteral("ov%1").arg(++s.statementCounter).toUtf8();
        const QByteArray name = m_name;
        const QByteArray text = m_text;
        auto results =
            s.Pipeline({[&](PGconn* c) {
                            return PQsendPrepare(c, name.constData(), text.constData(), parameters, nullptr);
                        },
                        [&](PGconn* c) { return PQsendDescribePrepared(c, name.constData()); }},
                       sql);
        m_description = std::move(results[1]);
    }

    ~PgStatement() override {
        if (!m_name.isEmpty() && m_session->conn) m_session->unusedStatements << QString::fromLatin1(m_name);
    }

    void Bind(int index, const QVariant& value) override {
        if (index < 1 || index > static_cast<int>(m_values.size()))
            throw DbError(err::InvalidArgument,
                          QStringLiteral("The statement has no parameter %1.").arg(index));
        auto& slot = m_values[static_cast<std::size_t>(index - 1)];
        int& binary = m_binary[static_cast<std::size_t>(index - 1)];
        binary = 0;
        if (!value.isValid() || value.isNull()) {
            slot.reset();
            return;
        }
        switch (value.typeId()) {
            case QMetaType::Bool:
                slot = value.toBool() ? QByteArray("-1") : QByteArray("0");
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                slot = QByteArray::number(value.toDouble(), 'g', 17);
                break;
            case QMetaType::QByteArray:
                slot = value.toByteArray();
                binary = 1;
                break;
            case QMetaType::QDateTime:
                slot = value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
                break;
            default:
                slot = value.toString().toUtf8();
                break;
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
            case kOid:
                return QVariant(static_cast<qlonglong>(std::strtoll(value, nullptr, 10)));
            case kBool:
                return QVariant(static_cast<qlonglong>(value[0] == 't' ? -1 : 0));
            case kFloat4:
            case kFloat8:
            case kNumeric:
                return QVariant(std::strtod(value, nullptr));
            case kBytea: {
                std::size_t length = 0;
                unsigned char* bytes =
                    PQunescapeBytea(reinterpret_cast<const unsigned char*>(value), &length);
                QByteArray data(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(length));
                PQfreemem(bytes);
                return data;
            }
            default:
                return QString::fromUtf8(value, PQgetlength(r, m_row, index));
        }
    }

    qint64 ColumnInt64(int index) const override {
        const PGresult* r = m_result.get();
        if (!r || PQgetisnull(r, m_row, index)) return 0;
        return std::strtoll(PQgetvalue(r, m_row, index), nullptr, 10);
    }

    QString ColumnName(int index) const override {
        return QString::fromUtf8(PQfname(m_description.get(), index));
    }

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
                    digests.push_back(
                        ValueDigest(StoredKind::Blob, v.constData(), static_cast<std::size_t>(v.size())));
                    break;
                }
                case QMetaType::QString: {
                    const QByteArrayView v = Utf8(i);
                    digests.push_back(
                        ValueDigest(StoredKind::Text, v.data(), static_cast<std::size_t>(v.size())));
                    break;
                }
                default:
                    digests.push_back(ValueDigest(StoredKind::Null, nullptr, 0));
                    break;
            }
        }
    }

private:
    bool IsTransactionControl() const {
        static const QStringList kControl = {QStringLiteral("BEGIN"),     QStringLiteral("COMMIT"),
                                             QStringLiteral("END"),       QStringLiteral("ROLLBACK"),
                                             QStringLiteral("SAVEPOINT"), QStringLiteral("RELEASE")};
        return kControl.contains(m_kind);
    }

    // An INSERT gives back the key of its (last) row, as a file's last row ID.
    void AskForNewKey(const QString& sql) {
        static const QRegularExpression into(
            QStringLiteral("^\\s*INSERT\\s+(?:OR\\s+\\w+\\s+)?INTO\\s+([\\[\"]?)([\\w]+)"),
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
            pg::Result r(PQexec(s.Conn(), m_text.constData()));
            if (!pg::Succeeded(r.get())) throw pg::ErrorOf(r.get(), s.conn, QString::fromUtf8(m_text));
            // A project just filled without a log (a copy, a new project)
            // has no statistics yet: its first tree would sort on disk.
            const bool committed = m_kind == QStringLiteral("COMMIT") || m_kind == QStringLiteral("END");
            if (committed && !s.logging) RefreshStatistics(s);
            return;
        }
        std::vector<const char*> values;
        std::vector<int> lengths;
        for (const auto& v : m_values) {
            values.push_back(v ? v->constData() : nullptr);
            lengths.push_back(v ? static_cast<int>(v->size()) : 0);
        }
        const QByteArray& name = m_name;
        auto results =
            s.Pipeline({[&](PGconn* c) {
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
        if (m_kind == QStringLiteral("CREATE") || m_kind == QStringLiteral("ALTER") ||
            m_kind == QStringLiteral("DROP"))
            s.LoadNames();
        if (m_kind == QStringLiteral("CREATE")) AddTableTriggers(s);
    }

    std::shared_ptr<PgSession> m_session;
    QString m_kind;
    QByteArray m_text;
    QByteArray m_name;
    std::vector<std::optional<QByteArray>> m_values;
    std::vector<int> m_binary;
    pg::Result m_description;
    pg::Result m_result;
    int m_row = -1;
    bool m_executed = false;
    bool m_readOnly = false;
    bool m_returnsKey = false;
    bool m_hideRows = false;
};

}  // namespace

std::unique_ptr<Statement> MakePgStatement(std::shared_ptr<PgSession> session, const QString& translatedSql) {
    return std::make_unique<PgStatement>(std::move(session), translatedSql);
}

}  // namespace ov::db
