#pragma once

#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace ov::db {

class Connection;
class Statement;

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
    // A digest of each column's stored value from first on (its type and
    // bytes, nothing converted): equal digests, equal values, for comparing
    // the rows of two databases fast.
    void ColumnDigests(int first, std::vector<quint64>& digests) const;

  private:
    std::unique_ptr<Statement> m_statement;
};

}  // namespace ov::db
