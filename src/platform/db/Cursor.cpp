#include "platform/db/Cursor.h"

#include "platform/db/Connection.h"
#include "platform/db/ConnectionImpl.h"
#include "platform/db/SqlDialect.h"
#include "platform/db/SqliteStatement.h"

#include <sqlite3.h>

namespace ov::db {

Cursor::Cursor(Connection& connection, const QString& sql) {
    ConnectionImpl* impl = connection.Impl().get();
    Guarded(impl, [&] { m_statement = std::make_unique<SqliteStatement>(impl->Db(), TranslateSql(sql)); });
}

Cursor::~Cursor() = default;

bool Cursor::Next() { return m_statement->Step(); }

int Cursor::ColumnCount() const { return m_statement->ColumnCount(); }

QString Cursor::ColumnName(int index) const { return m_statement->ColumnName(index); }

QVariant Cursor::Value(int index) const { return m_statement->Column(index); }

QByteArrayView Cursor::Utf8(int index) const {
    sqlite3_stmt* statement = m_statement->Handle();
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, index));
    return text ? QByteArrayView(text, sqlite3_column_bytes(statement, index)) : QByteArrayView();
}

namespace {

// FNV-1a, 64 bits: quick, and enough to tell two values apart.
quint64 Mix(quint64 hash, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

}  // namespace

void Cursor::ColumnDigests(int first, std::vector<quint64>& digests) const {
    sqlite3_stmt* statement = m_statement->Handle();
    const int count = sqlite3_column_count(statement);
    digests.clear();
    for (int i = first; i < count; ++i) {
        const int type = sqlite3_column_type(statement, i);
        quint64 hash = Mix(14695981039346656037ull, &type, sizeof type);
        if (type == SQLITE_INTEGER) {
            const sqlite3_int64 value = sqlite3_column_int64(statement, i);
            hash = Mix(hash, &value, sizeof value);
        } else if (type == SQLITE_FLOAT) {
            const double value = sqlite3_column_double(statement, i);
            hash = Mix(hash, &value, sizeof value);
        } else if (type == SQLITE_TEXT || type == SQLITE_BLOB) {
            const void* bytes = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(statement, i))
                                                    : sqlite3_column_blob(statement, i);
            hash = Mix(hash, bytes, static_cast<std::size_t>(sqlite3_column_bytes(statement, i)));
        }
        digests.push_back(hash);
    }
}

}  // namespace ov::db
