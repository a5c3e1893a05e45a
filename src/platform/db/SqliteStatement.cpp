#include "platform/db/SqliteStatement.h"

#include "platform/db/DbError.h"

#include <QDateTime>
#include <sqlite3.h>

#include <cerrno>
#include <cstring>

namespace ov::db {

namespace {

QString FromUtf8(const char* text) { return text ? QString::fromUtf8(text) : QString(); }

// "UNIQUE constraint failed: TpdbItems.Name, TpdbItems.DeviceID" -> "TpdbItems.Name, TpdbItems.DeviceID"
QString AfterColon(const QString& message) {
    const auto colon = message.indexOf(u':');
    return colon < 0 ? message : message.mid(colon + 1).trimmed();
}

ErrorInfo Describe(int code, const QString& message) {
    const int primary = code & 0xff;
    const QString lower = message.toLower();
    switch (code) {
        case SQLITE_CONSTRAINT_UNIQUE:
        case SQLITE_CONSTRAINT_PRIMARYKEY:
            return {err::ErrorsOccurred,
                    QStringLiteral("The changes were not saved because they would create duplicate values in "
                                   "a unique index (%1). Change the value and try again.")
                        .arg(AfterColon(message)),
                    {}, code};
        case SQLITE_CONSTRAINT_NOTNULL:
            return {err::IntegrityViolation,
                    QStringLiteral("The field %1 cannot contain a Null value.").arg(AfterColon(message)), {}, code};
        default:
            break;
    }
    switch (primary) {
        case SQLITE_CONSTRAINT:
            return {err::IntegrityViolation, QStringLiteral("The change violates a rule of the database: %1").arg(message), {}, code};
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return {err::Fail,
                    QStringLiteral("The project database is locked by another process; try again when it has "
                                   "finished (%1).")
                        .arg(message),
                    {}, code};
        case SQLITE_READONLY:
            return {err::Fail, QStringLiteral("The project database is read-only (%1).").arg(message), {}, code};
        case SQLITE_NOTADB:
            return {err::Fail, QStringLiteral("The file is not a project database."), {}, code};
        case SQLITE_CORRUPT:
            return {err::Fail, QStringLiteral("The project database is damaged (%1).").arg(message), {}, code};
        case SQLITE_CANTOPEN:
            return {err::Fail, QStringLiteral("The project database cannot be opened (%1).").arg(message), {}, code};
        case SQLITE_FULL:
            return {err::Fail, QStringLiteral("The disk is full (or the file reached its size limit); the change was not saved."), {}, code};
        case SQLITE_TOOBIG:
            return {err::DataOverflow, QStringLiteral("A value is too large to be stored."), {}, code};
        case SQLITE_MISMATCH:
            return {err::CantConvertValue, QStringLiteral("Data type mismatch (%1).").arg(message), {}, code};
        default:
            break;
    }
    if (lower.contains(u"no such table"))
        return {err::NoTable, QStringLiteral("The table does not exist (%1).").arg(message), {}, code};
    if (lower.contains(u"no such column"))
        return {err::ParamNotOptional, QStringLiteral("Unknown field name (%1).").arg(message), {}, code};
    if (primary == SQLITE_ERROR)
        return {err::ErrorsInCommand, QStringLiteral("Error in the SQL statement: %1").arg(message), {}, code};
    return {err::Fail, message, {}, code};
}

}  // namespace

DbError MakeSqliteError(sqlite3* db, int resultCode, const QString& context) {
    QString message = db ? FromUtf8(sqlite3_errmsg(db)) : FromUtf8(sqlite3_errstr(resultCode));
    int code = db ? sqlite3_extended_errcode(db) : resultCode;
    if (db && ((code ? code : resultCode) & 0xff) == SQLITE_IOERR) {
        // A write the system refused for want of room is a full disk to the
        // person, whatever SQLite calls it; other failures get the system's words.
        const int systemError = sqlite3_system_errno(db);
        if (systemError == ENOSPC || systemError == EFBIG || systemError == EDQUOT) code = SQLITE_FULL;
        else if (systemError != 0) message += QStringLiteral(" (%1)").arg(FromUtf8(std::strerror(systemError)));
    }
    ErrorInfo info = Describe(code ? code : resultCode, message);
    if (!context.isEmpty()) info.source = context;
    return DbError(info);
}

SqliteStatement::SqliteStatement(sqlite3* db, const QString& sql) : m_db(db) {
    const QByteArray text = sql.toUtf8();
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v3(db, text.constData(), static_cast<int>(text.size()), SQLITE_PREPARE_PERSISTENT,
                                      &m_stmt, &tail);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        throw MakeSqliteError(db, rc, sql);
    }
    if (!m_stmt) throw DbError(err::ErrorsInCommand, QStringLiteral("The SQL statement is empty."));
    // One statement at a time: text after it would silently not run.
    const QString rest = QString::fromUtf8(tail).trimmed();
    if (!rest.isEmpty() && rest != QStringLiteral(";")) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        throw DbError(err::ErrorsInCommand,
                      QStringLiteral("Characters found after the end of the SQL statement: %1").arg(rest.left(80)));
    }
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(m_stmt); }

void SqliteStatement::Bind(int index, const QVariant& value) {
    int rc = SQLITE_OK;
    if (!value.isValid() || value.isNull()) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else {
        switch (value.typeId()) {
            case QMetaType::Bool:
                rc = sqlite3_bind_int(m_stmt, index, value.toBool() ? -1 : 0);
                break;
            case QMetaType::Int:
            case QMetaType::Short:
            case QMetaType::UShort:
            case QMetaType::UInt:
            case QMetaType::Long:
            case QMetaType::LongLong:
            case QMetaType::Char:
            case QMetaType::SChar:
            case QMetaType::UChar:
                rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
                break;
            case QMetaType::QByteArray: {
                const QByteArray bytes = value.toByteArray();
                rc = sqlite3_bind_blob(m_stmt, index, bytes.constData(), static_cast<int>(bytes.size()),
                                       SQLITE_TRANSIENT);
                break;
            }
            default: {
                const QString text = value.typeId() == QMetaType::QDateTime
                                         ? value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                         : value.toString();
                rc = sqlite3_bind_text16(m_stmt, index, text.utf16(), static_cast<int>(text.size() * 2),
                                         SQLITE_TRANSIENT);
                break;
            }
        }
    }
    if (rc != SQLITE_OK) throw MakeSqliteError(m_db, rc);
}

bool SqliteStatement::Step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    DbError error = MakeSqliteError(m_db, rc);
    sqlite3_reset(m_stmt);
    throw error;
}

void SqliteStatement::Reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int SqliteStatement::ColumnCount() const { return sqlite3_column_count(m_stmt); }

QVariant SqliteStatement::Column(int index) const {
    switch (sqlite3_column_type(m_stmt, index)) {
        case SQLITE_INTEGER:
            return QVariant(static_cast<qlonglong>(sqlite3_column_int64(m_stmt, index)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(m_stmt, index));
        case SQLITE_TEXT: {
            const auto* data = static_cast<const char16_t*>(sqlite3_column_text16(m_stmt, index));
            const int bytes = sqlite3_column_bytes16(m_stmt, index);
            return QVariant(QString::fromUtf16(data, bytes / 2));
        }
        case SQLITE_BLOB: {
            const auto* data = static_cast<const char*>(sqlite3_column_blob(m_stmt, index));
            return QVariant(QByteArray(data, sqlite3_column_bytes(m_stmt, index)));
        }
        default:
            return QVariant();
    }
}

qint64 SqliteStatement::ColumnInt64(int index) const { return sqlite3_column_int64(m_stmt, index); }
QString SqliteStatement::ColumnName(int index) const { return FromUtf8(sqlite3_column_name(m_stmt, index)); }
QString SqliteStatement::ColumnDeclType(int index) const { return FromUtf8(sqlite3_column_decltype(m_stmt, index)); }
QString SqliteStatement::ColumnTableName(int index) const { return FromUtf8(sqlite3_column_table_name(m_stmt, index)); }
QString SqliteStatement::ColumnOriginName(int index) const { return FromUtf8(sqlite3_column_origin_name(m_stmt, index)); }
bool SqliteStatement::IsReadOnly() const { return sqlite3_stmt_readonly(m_stmt) != 0; }

QByteArrayView SqliteStatement::Utf8(int index) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, index));
    return text ? QByteArrayView(text, sqlite3_column_bytes(m_stmt, index)) : QByteArrayView();
}

void SqliteStatement::ColumnDigests(int first, std::vector<quint64>& digests) const {
    const int count = sqlite3_column_count(m_stmt);
    digests.clear();
    for (int i = first; i < count; ++i) {
        const int type = sqlite3_column_type(m_stmt, i);
        if (type == SQLITE_INTEGER) {
            const qint64 value = sqlite3_column_int64(m_stmt, i);
            digests.push_back(ValueDigest(StoredKind::Integer, &value, sizeof value));
        } else if (type == SQLITE_FLOAT) {
            const double value = sqlite3_column_double(m_stmt, i);
            digests.push_back(ValueDigest(StoredKind::Float, &value, sizeof value));
        } else if (type == SQLITE_TEXT) {
            const QByteArrayView text = Utf8(i);
            digests.push_back(ValueDigest(StoredKind::Text, text.data(), static_cast<std::size_t>(text.size())));
        } else if (type == SQLITE_BLOB) {
            digests.push_back(ValueDigest(StoredKind::Blob, sqlite3_column_blob(m_stmt, i),
                                          static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, i))));
        } else {
            digests.push_back(ValueDigest(StoredKind::Null, nullptr, 0));
        }
    }
}

}  // namespace ov::db
