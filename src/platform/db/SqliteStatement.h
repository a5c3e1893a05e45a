#pragma once

#include <QString>
#include <QVariant>
#include <span>

struct sqlite3;
struct sqlite3_stmt;

namespace ov::db {

class DbError;

// Turns a failed SQLite call into the error the callers of the data layer
// understand (unique violation, missing table, locked file, ...).
DbError MakeSqliteError(sqlite3* db, int resultCode, const QString& context = QString());

// A prepared statement. Values bound from QVariant: bool is written as -1/0,
// the way Yes/No columns have always been stored in project databases.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, const QString& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    void Bind(int index, const QVariant& value);  // 1-based
    void BindAll(std::span<const QVariant> values);
    bool Step();  // true while a row is available
    void Reset();

    int ColumnCount() const;
    QVariant Column(int index) const;  // raw storage value: qlonglong, double, QString, QByteArray or null
    qint64 ColumnInt64(int index) const;
    QString ColumnName(int index) const;
    QString ColumnDeclType(int index) const;
    QString ColumnTableName(int index) const;
    QString ColumnOriginName(int index) const;
    bool IsReadOnly() const;

    sqlite3_stmt* Handle() const { return m_stmt; }

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
};

}  // namespace ov::db
