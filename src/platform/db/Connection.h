#pragma once

#include "platform/db/Backend.h"
#include "platform/db/DbError.h"
#include "platform/db/DbTypes.h"
#include "platform/db/FileSystem.h"
#include "platform/db/Schema.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace ov::db {

class ConnectionImpl;

// The connection to a project database. Opened with the editor's connection
// string ("Provider=...;Data Source=<file>;Mode=Read|Write|Share Deny None;");
// other programs may have the same file open at the same time. Every failing
// operation throws DbError and leaves its description in Errors().
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Never creates a file: a project database is made from the project template.
    void Open(const QString& connectionString, const QString& user = QString(), const QString& password = QString());
    void Close();
    ObjectState State() const;
    QString ConnectionString() const { return m_connectionString; }
    QString DataSource() const { return m_dataSource; }
    bool IsReadOnly() const { return m_readOnly; }
    // Why the user may not change the project at all (a server role that
    // may only read it), empty when they may.
    QString WriteRefusal() const;
    // What the open project lies on. Opened for editing on a network share,
    // the project keeps a rollback journal instead of the write-ahead log,
    // and only one computer should write to it at a time.
    const db::FileSystem& FileSystem() const { return m_fileSystem; }

    // Milliseconds to wait for another program's lock before giving up.
    void SetBusyTimeout(int milliseconds);

    // Asked now and then while a long statement runs; false stops the
    // statement, which then fails (and its transaction can be rolled back).
    // An empty function asks nothing.
    void SetKeepGoing(std::function<bool()> keepGoing);

    // Runs one statement; texts from users go in as parameters ("?"), never
    // pasted into the statement. Gives the number of rows changed.
    qint64 Execute(const QString& sql, std::span<const QVariant> parameters = {});
    qint64 Execute(const QString& sql, std::initializer_list<QVariant> parameters) {
        return Execute(sql, std::span<const QVariant>(parameters.begin(), parameters.size()));
    }

    // The ID the last INSERT of this connection gave its row.
    qint64 LastInsertId() const;

    // Transactions nest; each level gives its new depth.
    int BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    int TransactionLevel() const;
    // Runs the work in a transaction: committed when it returns, rolled back
    // (and the exception passed on) when it throws.
    void InTransaction(const std::function<void()>& work);
    // Runs the action when the outermost transaction commits, or at once when
    // none is open; a rollback drops it. What shows the data (the project
    // tree, the name sets) changes only for rows that were really written.
    void AfterCommit(std::function<void()> action);
    // Told whenever written rows became durable: after the outermost commit
    // and after each write made outside a transaction. The change recorder
    // of undo cuts its steps there.
    void SetCommitObserver(std::function<void()> observer);
    // Told after an index was made or dropped.
    void SetSchemaObserver(std::function<void()> observer);

    const std::vector<ErrorInfo>& Errors() const;
    void ClearErrors();

    // What other engineers commit to the project, where the engine tells of
    // it (a project on a server); nothing for a file. The listener has its
    // own line to the server and may outlive calls on this connection.
    std::unique_ptr<ChangeListener> ListenForOthers();
    // Rows read before are read again on their next use: others changed them.
    void ForgetCachedRows();

    // Off while filling a new project nobody else has open (a copy): its rows
    // are then not logged for undo or for other studios, which costs time.
    void SetChangeLogging(bool on);

    // Schema inspection, to find optional tables, fields and indexes.
    QStringList Tables() const;
    bool HasTable(const QString& table) const;
    std::vector<ColumnInfo> Columns(const QString& table) const;
    bool HasColumn(const QString& table, const QString& column) const;
    std::vector<IndexInfo> Indexes(const QString& table) const;
    bool HasIndex(const QString& table, const QString& index) const;
    void CreateIndex(const QString& table, const IndexInfo& index);
    void DropIndex(const QString& table, const QString& index);

    // For recordsets opened on this connection.
    std::shared_ptr<ConnectionImpl> Impl() const { return m_impl; }

private:
    std::shared_ptr<ConnectionImpl> m_impl;
    QString m_connectionString;
    QString m_dataSource;
    bool m_readOnly = false;
    db::FileSystem m_fileSystem;
    int m_busyTimeout = 5000;
};

// The parts of a connection string, keys compared without regard to case.
QString ConnectionStringValue(const QString& connectionString, const QString& key);

}  // namespace ov::db
