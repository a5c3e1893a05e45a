#pragma once

#include "platform/db/Backend.h"

struct sqlite3;

namespace ov::db {

// A project database in a file, through SQLite. Other programs may have the
// same file open; locks wait up to the busy timeout.
class SqliteBackend final : public Backend {
public:
    // Opens an existing project file; never creates one.
    static std::unique_ptr<SqliteBackend> Open(const QString& file, bool forWriting, int busyTimeout);
    ~SqliteBackend() override;

    std::unique_ptr<Statement> Prepare(const QString& translatedSql) override;
    qint64 ChangedRows() const override;
    qint64 LastInsertId() const override;
    bool IsReadOnly() const override;
    db::FileSystem FileSystem() const override { return m_fileSystem; }

    void Begin() override;
    bool InTransaction() const override;
    void Abandon() override;

    void SetBusyTimeout(int milliseconds) override;
    void SetProgressHandler(std::function<bool()> keepGoing) override;

    QStringList Tables() override;
    std::vector<ColumnInfo> Columns(const QString& table) override;
    std::vector<IndexInfo> Indexes(const QString& table) override;
    void CreateIndex(const QString& table, const IndexInfo& index) override;
    void DropIndex(const QString& table, const QString& index) override;
    QString RowKey(const QString& table) override;

    // For what only SQLite offers (its session extension for undo).
    sqlite3* Handle() const { return m_db; }

private:
    SqliteBackend(sqlite3* db, db::FileSystem fileSystem) : m_db(db), m_fileSystem(std::move(fileSystem)) {}

    sqlite3* m_db = nullptr;
    db::FileSystem m_fileSystem;
    std::function<bool()> m_keepGoing;
};

// The SQLite handle behind a backend; throws when it is another engine.
sqlite3* SqliteHandleOf(Backend& backend);

}  // namespace ov::db
