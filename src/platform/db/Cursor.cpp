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

}  // namespace ov::db
