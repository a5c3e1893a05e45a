#include "model/DataConnection.h"

#include "model/ProjectTemplate.h"
#include "platform/db/DbError.h"

namespace ov::model {

namespace {

struct Command {
    const char* name;
    const char* table;
};

const Command kCommands[] = {
    {"OPCDevices", "TpdbDevices"},       {"OPCGroups", "TpdbGroups"},
    {"OPCItems", "TpdbItems"},           {"OPCUnits", "TpdbUnits"},
    {"tabOPCItems", "TpdbItems"},        {"OPCConnections", "TpdbConnections"},
    {"tabOPCUnits", "TpdbUnits"},        {"OPCUnitClasses", "TpdbUnitClasses"},
    {"OPCStructDefs", "TpdbStructDefs"}, {"OPCStructMembers", "TpdbStructMembers"},
    {"tabStructMembers", "TpdbStructMembers"}, {"tabOPCGroups", "TpdbGroups"},
    {"idxTexts", "TidxTexts"},           {"cfgLanguages", "TcfgLanguages"},
};

// "rsOPCItems" and "OPCItems" name the same command.
QString CommandName(const QString& name) {
    for (const Command& c : kCommands) {
        const QString command = QString::fromUtf8(c.name);
        if (name == command || name == QStringLiteral("rs") + command) return command;
    }
    return name.startsWith(QStringLiteral("rs")) ? name.mid(2) : name;
}

void OpenDirect(db::Recordset& rs, db::Connection& connection, const QString& table, const QString& index) {
    if (rs.State() == db::ObjectState::Open) return;
    rs.Open(table, connection, db::CommandType::TableDirect);
    rs.SetIndex(index);
}

}  // namespace

DataConnection::DataConnection() = default;

DataConnection::~DataConnection() { Close(); }

void DataConnection::Open(const QString& projectFile, bool readOnly, const QString& role, const QString& password) {
    if (IsOpen()) return;
    m_connection.Open(readOnly ? ProjectReadConnectionString(projectFile) : ProjectConnectionString(projectFile), role,
                      password);
}

db::Recordset& DataConnection::Recordset(const QString& name) {
    const QString key = QStringLiteral("rs") + CommandName(name);
    auto& slot = m_recordsets[key];
    if (!slot) slot = std::make_shared<db::Recordset>();
    return *slot;
}

QString DataConnection::TableOfCommand(const QString& name) {
    const QString command = CommandName(name);
    for (const Command& c : kCommands)
        if (command == QString::fromUtf8(c.name)) return QString::fromUtf8(c.table);
    return QString();
}

db::Recordset& DataConnection::OpenCommand(const QString& name) {
    db::Recordset& rs = Recordset(name);
    if (rs.State() == db::ObjectState::Open) return rs;
    const QString table = TableOfCommand(name);
    if (table.isEmpty())
        throw db::DbError(db::err::ItemNotFound, QStringLiteral("There is no table command named '%1'.").arg(name));
    rs.Open(QStringLiteral("SELECT * FROM ") + table, m_connection);
    return rs;
}

void DataConnection::OpenDirectTables() {
    // Older projects have neither table: they open all the same.
    try {
        OpenDirect(Simulation(), m_connection, QStringLiteral("TpdbSimulation"), QStringLiteral("ItemID"));
    } catch (const db::DbError&) {
    }
    try {
        OpenDirect(Redundancy(), m_connection, QStringLiteral("TpdbAlign"), QStringLiteral("ItemID"));
    } catch (const db::DbError&) {
    }
}

db::Recordset& DataConnection::Connections() {
    db::Recordset& connections = Recordset(QStringLiteral("rsTpdbconnections"));
    if (IsOpen()) OpenDirect(connections, m_connection, QStringLiteral("Tpdbconnections"), QStringLiteral("Connection"));
    return connections;
}

int DataConnection::OpenRecordsetCount() const {
    int open = 0;
    for (const auto& rs : m_recordsets)
        if (rs->State() == db::ObjectState::Open) ++open;
    return open;
}

void DataConnection::CloseRecordsets() {
    for (const auto& rs : m_recordsets) rs->Close();  // saves, or cancels when saving fails
    m_recordsets.clear();
}

void DataConnection::Close() {
    CloseRecordsets();
    m_connection.Close();
}

}  // namespace ov::model
