#pragma once

#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"

#include <QHash>
#include <QString>
#include <memory>

namespace ov::model {

// The editor's one connection to the project database with its named
// recordsets: one per table command ("rsOPCDevices" over TpdbDevices, ...)
// and the three tables opened directly with an index.
class DataConnection {
public:
    DataConnection();
    ~DataConnection();

    // Opens the connection when it is closed; throws db::DbError. Opened for
    // reading only, nothing is ever written to the file or its folder. A
    // project on a server takes the role and password when given.
    void Open(const QString& projectFile, bool readOnly = false, const QString& role = QString(),
              const QString& password = QString());
    bool IsOpen() const { return m_connection.State() == db::ObjectState::Open; }
    db::Connection& Connection() { return m_connection; }

    // The recordset of a table command, by its name with or without the
    // "rs" prefix ("rsOPCItems", "OPCItems"); made closed on first use.
    db::Recordset& Recordset(const QString& name);
    // The table behind a command name, empty for unknown names.
    static QString TableOfCommand(const QString& name);
    // Opens a command's recordset on its whole table when it is closed.
    db::Recordset& OpenCommand(const QString& name);

    // TpdbSimulation and TpdbAlign (both optional: failures are ignored) and
    // TpdbConnections, each opened directly with its index when still closed.
    void OpenDirectTables();
    db::Recordset& Simulation() { return Recordset(QStringLiteral("rsTpdbSimulation")); }
    db::Recordset& Redundancy() { return Recordset(QStringLiteral("rsTpdbAlign")); }
    // Opened on its index when first asked for: it has a row per item and group.
    db::Recordset& Connections();

    // Number of recordsets that are open.
    int OpenRecordsetCount() const;

    // Closes every recordset (a pending change is saved, or cancelled when
    // saving fails) and then the connection.
    // Closes every recordset, saving a pending change (or cancelling it
    // when saving fails); the connection stays open.
    void CloseRecordsets();
    void Close();

private:
    db::Connection m_connection;
    QHash<QString, std::shared_ptr<db::Recordset>> m_recordsets;
};

}  // namespace ov::model
