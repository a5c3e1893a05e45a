#pragma once

#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <memory>

namespace ov::db {

class Connection;
class SqliteStatement;

// Reads the rows of a query once, front to back, without keeping them: for
// long one-way work (writing every item to a file) where a recordset's
// scrolling and caching would only cost time. The SQL is translated as for
// a recordset; errors are thrown as DbError.
class Cursor {
  public:
    Cursor(Connection& connection, const QString& sql);
    ~Cursor();
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    bool Next();  // true while there is a row
    int ColumnCount() const;
    QString ColumnName(int index) const;
    QVariant Value(int index) const;  // null, qlonglong, double, QString or QByteArray
    // A text column's UTF-8 bytes, without a copy; valid until the next Next().
    QByteArrayView Utf8(int index) const;

  private:
    std::unique_ptr<SqliteStatement> m_statement;
};

}  // namespace ov::db
