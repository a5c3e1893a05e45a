#include "platform/db/PgChangeLog.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <iterator>
#include <map>
#include <unordered_set>

namespace ov::db {

namespace {

QVariant FromJson(const QJsonValue& value, DataType type) {
    if (value.isNull() || value.isUndefined()) return QVariant();
    switch (type) {
        case DataType::Double:
        case DataType::Single:
        case DataType::Currency:
            return QVariant(value.toDouble());
        case DataType::SmallInt:
        case DataType::Integer:
        case DataType::BigInt:
        case DataType::Boolean:
        case DataType::UnsignedTinyInt:
            return QVariant(static_cast<qlonglong>(value.toDouble()));
        default:
            return value.isString() ? QVariant(value.toString()) : QVariant(value.toVariant().toString());
    }
}

QVariantMap RowOf(const PGresult* r, int row, int column) {
    if (PQgetisnull(r, row, column)) return {};
    return QJsonDocument::fromJson(QByteArray(PQgetvalue(r, row, column))).object().toVariantMap();
}

// A line of its own to the server that waits for the change log's notices.
class PgListener final : public ChangeListener {
public:
    PgListener(std::shared_ptr<PgSession> line, int writerPid)
        : m_line(std::move(line)), m_writerPid(writerPid) {
        m_line->Run(QStringLiteral("LISTEN ov_changes"));
        m_floor = ChangeLogEnd(*m_line);
    }

    int SocketDescriptor() const override { return PQsocket(m_line->conn); }

    std::vector<OthersChange> Take() override {
        PGconn* c = m_line->Conn();
        std::vector<OthersChange> changes;
        // A notice that comes while the rows are read is kept by libpq with
        // the answer, and the socket no longer tells of it: look again until
        // none is left, or that commit would wait for the next one.
        while (News(c)) {
            std::vector<OthersChange> more = ReadRows(UnseenNumbers());
            changes.insert(changes.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
        }
        return changes;
    }

private:
    bool News(PGconn* c) {
        if (!PQconsumeInput(c)) throw pg::ErrorOf(nullptr, c, QStringLiteral("LISTEN ov_changes"));
        bool news = false;
        while (PGnotify* notice = PQnotifies(c)) {
            news = news || QString::fromUtf8(notice->extra) == m_line->schema;
            PQfreemem(notice);
        }
        return news;
    }

    // Rows are numbered when written, not when committed: a transaction that
    // began earlier may commit later with lower numbers. The log is looked at
    // from a little before the highest number seen, skipping rows seen.
    static constexpr qint64 kWindow = 20000;

    // Numbers first, rows after: once a large change is read, the next
    // notices read only what is new, not the whole window again.
    QStringList UnseenNumbers() {
        pg::Result r = m_line->Run(QStringLiteral("SELECT seq FROM ov_changes WHERE seq > $1 AND pid <> $2"),
                                   {QString::number(m_floor), QString::number(m_writerPid)});
        QStringList unseen;
        qint64 highest = m_floor;
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            const qint64 seq = pg::Int64(r.get(), i, 0);
            highest = std::max(highest, seq);
            if (m_seen.insert(seq).second) unseen << QString::number(seq);
        }
        const qint64 floor = std::max(m_floor, highest - kWindow);
        if (floor > m_floor) {
            m_floor = floor;
            std::erase_if(m_seen, [&](qint64 seq) { return seq <= m_floor; });
        }
        return unseen;
    }

    std::vector<OthersChange> ReadRows(const QStringList& numbers) {
        if (numbers.isEmpty()) return {};
        pg::Result r = m_line->Run(
            QStringLiteral("SELECT tbl, who, to_char(at, 'YYYY-MM-DD HH24:MI:SS'), before::text, "
                           "after::text FROM ov_changes WHERE seq = ANY($1::bigint[]) ORDER BY seq"),
            {u'{' + numbers.join(u',') + u'}'});
        std::vector<OthersChange> changes;
        changes.reserve(static_cast<std::size_t>(PQntuples(r.get())));
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            OthersChange change;
            change.table = QString::fromUtf8(PQgetvalue(r.get(), i, 0));
            change.who = QString::fromUtf8(PQgetvalue(r.get(), i, 1));
            change.at = QString::fromUtf8(PQgetvalue(r.get(), i, 2));
            change.before = RowOf(r.get(), i, 3);
            change.after = RowOf(r.get(), i, 4);
            const QString key = m_line->RowKey(change.table);
            change.key = (change.after.isEmpty() ? change.before : change.after).value(key).toLongLong();
            changes.push_back(std::move(change));
        }
        return changes;
    }

    std::shared_ptr<PgSession> m_line;
    int m_writerPid = 0;
    qint64 m_floor = 0;
    std::unordered_set<qint64> m_seen;
};

}  // namespace

qint64 ChangeLogEnd(PgSession& session) {
    pg::Result r = session.Run(QStringLiteral("SELECT coalesce(max(seq), 0) FROM ov_changes"));
    return pg::Int64(r.get(), 0, 0);
}

std::vector<LoggedChange> OwnChangesSince(
    PgSession& session, qint64 mark,
    const std::function<std::vector<ColumnInfo>(const QString&)>& columnsOf) {
    pg::Result r = session.Run(QStringLiteral("SELECT tbl, before::text, after::text FROM ov_changes "
                                              "WHERE seq > $1 AND pid = pg_backend_pid() ORDER BY seq"),
                               {QString::number(mark)});
    std::map<QString, std::vector<ColumnInfo>> columnsByTable;
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
        auto it = columnsByTable.find(change.table);
        if (it == columnsByTable.end())
            it = columnsByTable.emplace(change.table, columnsOf(change.table)).first;
        if (!PQgetisnull(r.get(), i, 1)) change.before = image(PQgetvalue(r.get(), i, 1), it->second);
        if (!PQgetisnull(r.get(), i, 2)) change.after = image(PQgetvalue(r.get(), i, 2), it->second);
        changes.push_back(std::move(change));
    }
    return changes;
}

std::unique_ptr<ChangeListener> ListenOnLine(std::shared_ptr<PgSession> line, int writerPid) {
    return std::make_unique<PgListener>(std::move(line), writerPid);
}

}  // namespace ov::db
