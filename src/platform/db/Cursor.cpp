#include "platform/db/Cursor.h"

#include "platform/db/Connection.h"
#include "platform/db/ConnectionImpl.h"
#include "platform/db/SqlDialect.h"

namespace ov::db {

Cursor::Cursor(Connection& connection, const QString& sql) {
    ConnectionImpl* impl = connection.Impl().get();
    Guarded(impl, [&] { m_statement = impl->Db().Prepare(TranslateSql(sql)); });
}

Cursor::~Cursor() = default;

bool Cursor::Next() { return m_statement->Step(); }

int Cursor::ColumnCount() const { return m_statement->ColumnCount(); }

QString Cursor::ColumnName(int index) const { return m_statement->ColumnName(index); }

QVariant Cursor::Value(int index) const { return m_statement->Column(index); }

QByteArrayView Cursor::Utf8(int index) const { return m_statement->Utf8(index); }

void Cursor::ColumnDigests(int first, std::vector<quint64>& digests) const { m_statement->ColumnDigests(first, digests); }

}  // namespace ov::db
