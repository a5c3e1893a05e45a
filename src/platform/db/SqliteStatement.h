#pragma once

#include "platform/db/Backend.h"

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
class SqliteStatement final : public Statement {
public:
    SqliteStatement(sqlite3* db, const QString& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    void Bind(int index, const QVariant& value) override;
    bool Step() override;
    void Reset() override;
    bool IsReadOnly() const override;

    int ColumnCount() const override;
    QVariant Column(int index) const override;
    qint64 ColumnInt64(int index) const override;
    QString ColumnName(int index) const override;
    QString ColumnDeclType(int index) const override;
    QString ColumnTableName(int index) const override;
    QString ColumnOriginName(int index) const override;
    QByteArrayView Utf8(int index) const override;
    void ColumnDigests(int first, std::vector<quint64>& digests) const override;

    sqlite3_stmt* Handle() const { return m_stmt; }

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
};

}  // namespace ov::db
