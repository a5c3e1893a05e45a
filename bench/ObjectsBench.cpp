// Deleting a device with 100,000 items, each with its group connection, an
// index text, a simulation and a redundancy row, and deleting a group with
// 100,000 connections: the editor's commands against a raw SQLite loop
// deleting the same rows one by one in one transaction. Prints one
// "name: value" line per figure.

#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "model/ProjectTemplate.h"
#include "objects/MItem.h"
#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"
#include "platform/host/InMemoryHost.h"
#include "platform/system/SystemTools.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <sqlite3.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kItems = 100000;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Fill(const QString& file) {
    ov::model::CreateProjectDatabase(file);
    ov::db::Connection c;
    c.Open(ov::model::ProjectConnectionString(file));
    c.Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, HierarchBrowseSeparator) VALUES (1, 'PLC', '.')"));
    c.Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, HierarchBrowseSeparator) VALUES (2, 'Other', '.')"));
    c.BeginTrans();
    for (int i = 1; i <= kItems; ++i) {
        const QString name = QStringLiteral("Line%1.Item%2").arg(i % 50).arg(i, 6, 10, QChar(u'0'));
        c.Execute(QStringLiteral("INSERT INTO TidxTexts (ID, Name, ParentID, L1033) VALUES (?, ?, 1, 'text')"),
                  {i, QStringLiteral("PLC.") + name});
        c.Execute(QStringLiteral("INSERT INTO TpdbItems (ID, DeviceID, Name, ItemAccess, TextID) VALUES (?, 1, ?, ?, ?)"),
                  {i, name, name, i});
    }
    // A second device keeps its items: the delete must not touch them.
    c.Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (2, 'Keep', 'Keep')"));
    c.Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) SELECT 1, ID FROM TpdbItems"));
    // A second group holds the first device's 100,000 items as well.
    c.Execute(QStringLiteral("INSERT INTO TpdbGroups (ID, Name) VALUES (2, 'Bulk')"));
    c.Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) SELECT 2, ID FROM TpdbItems WHERE DeviceID = 1"));
    c.Execute(QStringLiteral("INSERT INTO TpdbSimulation (ItemID, SimulationFunction) SELECT ID, 'Function1' FROM TpdbItems"));
    c.Execute(QStringLiteral("INSERT INTO TpdbAlign (ItemID) SELECT ID FROM TpdbItems"));
    c.CommitTrans();
}

// The group's connections, row by row, in one transaction.
double RawGroupLoop(const QString& file) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    std::vector<sqlite3_int64> rows;
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, "SELECT ID FROM TpdbConnections WHERE GroupID = 2", -1, &select, nullptr);
    while (sqlite3_step(select) == SQLITE_ROW) rows.push_back(sqlite3_column_int64(select, 0));
    sqlite3_finalize(select);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "DELETE FROM TpdbConnections WHERE ID = ?", -1, &s, nullptr);
    const auto start = Clock::now();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (const sqlite3_int64 row : rows) {
        sqlite3_bind_int64(s, 1, row);
        sqlite3_step(s);
        sqlite3_reset(s);
    }
    sqlite3_exec(db, "DELETE FROM TpdbGroups WHERE ID = 2", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double seconds = Seconds(start);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return seconds;
}

// The same deletes, row by row, in one transaction.
double RawLoop(const QString& file) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    const char* statements[] = {"DELETE FROM TpdbConnections WHERE ItemID = ?", "DELETE FROM TpdbSimulation WHERE ItemID = ?",
                                "DELETE FROM TpdbAlign WHERE ItemID = ?", "DELETE FROM TidxTexts WHERE ID = ?",
                                "DELETE FROM TpdbItems WHERE ID = ?"};
    const auto start = Clock::now();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (const char* sql : statements) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
        for (int i = 1; i <= kItems; ++i) {
            sqlite3_bind_int(s, 1, i);
            sqlite3_step(s);
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
    }
    sqlite3_exec(db, "DELETE FROM TpdbDevices WHERE ID = 1", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double seconds = Seconds(start);
    sqlite3_close(db);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    ov::sys::SystemTools::Instance().SetRegistryFile(dir.filePath(QStringLiteral("registry.ini")));
    const QString file = dir.filePath(QStringLiteral("devices.ovs"));
    const QString rawFile = dir.filePath(QStringLiteral("raw.ovs"));
    Fill(file);
    QFile::copy(file, rawFile);

    ov::objects::InstallEditor();
    ov::host::InMemoryHost host;
    ov::host::Connect session;
    session.Initialize(file, QString(), &host, &host);
    session.NodeExpand(QString(), QStringLiteral("OPCE0"), QString());
    auto& window = dynamic_cast<ov::editor::frmtabgridOPC&>(*session.Window());
    window.Settings().WriteAValueToCInits(QStringLiteral("RequestOnDelete"), false);
    const QString device = ov::host::nodekey::DeviceKey(1, QStringLiteral("."), false);
    session.NodeClick(QString(), device, QString());

    // The group with 100,000 connections.
    session.NodeClick(QString(), QStringLiteral("OPCG2"), QString());
    window.ComputeAvailability(QStringLiteral("OPCG2"), false);
    const auto groupStart = Clock::now();
    window.ClickTool(QStringLiteral("mnuGroupDelete"));
    const double groupRemove = Seconds(groupStart);
    const double groupRaw = RawGroupLoop(rawFile);
    session.NodeClick(QString(), device, QString());
    window.ComputeAvailability(device, false);
    const auto start = Clock::now();
    window.ClickTool(QStringLiteral("mnuDeviceDelete"));
    const double remove = Seconds(start);
    const double raw = RawLoop(rawFile);

    // The work really happened, and only that work.
    const auto count = [&window](const char* sql) {
        ov::db::Recordset rs;
        rs.Open(QString::fromUtf8(sql), window.Data()->Connection());
        return rs.Fields(0).Value().toInt();
    };
    const int items = count("SELECT Count(*) FROM TpdbItems");
    const int rest = count("SELECT Count(*) FROM TpdbConnections WHERE GroupID = 1") + count("SELECT Count(*) FROM TpdbSimulation") +
                     count("SELECT Count(*) FROM TpdbAlign") + count("SELECT Count(*) FROM TidxTexts");
    if (items != 1 || rest != 3 || count("SELECT Count(*) FROM TpdbDevices") != 1 ||
        count("SELECT Count(*) FROM TpdbGroups") != 1 || count("SELECT Count(*) FROM TpdbConnections") != 1) {
        std::fprintf(stderr, "unexpected counts after the delete: items %d, other rows %d\n", items, rest);
        return 1;
    }

    std::printf("device_delete_100k_items_s: %.2f\n", remove);
    std::printf("device_delete_100k_items_ratio_to_raw: %.1f\n", remove / raw);
    std::printf("group_delete_100k_connections_s: %.2f\n", groupRemove);
    std::printf("group_delete_100k_connections_ratio_to_raw: %.1f\n", groupRemove / groupRaw);
    session.Terminate();
    return 0;
}
