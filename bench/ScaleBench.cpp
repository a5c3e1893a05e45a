// A project of 1,000,000 items in one device, 1,000 folders of 1,000 items:
// the editor's views and commands against raw SQLite references measured in
// the same run. Prints one "name: value" line per figure, ratios as
// "name_ratio: x" (the editor's time over the reference's).
//
//   bench_scale [ITEMS]   (default 1000000)

#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "model/LargeProject.h"
#include "model/ProjectDiff.h"
#include "model/ProjectTemplate.h"
#include "platform/db/Connection.h"
#include "objects/MItem.h"
#include "opc/MOpc.h"
#include "platform/host/InMemoryHost.h"
#include "platform/system/SystemTools.h"
#include "tools/MTools.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <sqlite3.h>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }
void Report(const char* name, double value) { std::printf("%s: %.3f\n", name, value); }
void Ratio(const char* name, double mine, double raw) {
    std::printf("%s_ratio: %.2f\n", name, raw > 0 ? mine / raw : 0.0);
}

// The resident memory of this process, in MB.
double ResidentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
    return 0;
}

// Runs a statement to its end (or to limit rows), reading every column; seconds.
double RawQuery(sqlite3* db, const char* sql, int limit = -1) {
    const auto start = Clock::now();
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
    int rows = 0;
    while ((limit < 0 || rows < limit) && sqlite3_step(s) == SQLITE_ROW) {
        for (int i = 0; i < sqlite3_column_count(s); ++i) sqlite3_column_text(s, i);
        ++rows;
    }
    sqlite3_finalize(s);
    return Seconds(start);
}

// What a person sees first: the texts of the first rows of the item grid.
void PaintFirstRows(ov::ui::GridModel& grid, int rows) {
    const int shown = std::min(rows, grid.RowCount());
    for (int r = 0; r < shown; ++r)
        for (int c : grid.DisplayColumns(1)) grid.CellText(r, c);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 items = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 1000000;
    QTemporaryDir dir;
    ov::sys::SystemTools::Instance().SetRegistryFile(dir.filePath(QStringLiteral("registry.ini")));
    const QString file = dir.filePath(QStringLiteral("scale.ovs"));
    auto start = Clock::now();
    ov::model::LargeProjectOptions options;
    options.items = items;
    options.devices = 1;
    ov::model::CreateLargeProject(file, options);
    Report("scale_generate_s", Seconds(start));

    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    sqlite3_int64 deviceId = 0;
    {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "SELECT ID FROM TpdbDevices WHERE Name = 'Plant1'", -1, &s, nullptr);
        if (sqlite3_step(s) == SQLITE_ROW) deviceId = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
    }
    const std::string device = std::to_string(deviceId);

    ov::opc::InstallEditor();
    ov::tools::InstallEditor();
    ov::host::InMemoryHost host;
    ov::host::Connect session;
    session.Initialize(file, QString(), &host, &host);

    // The project tree with the device's 1,000 folders.
    start = Clock::now();
    session.NodeExpand(QString(), QStringLiteral("OPCE0"), QString());
    const double tree = Seconds(start);
    const double treeRaw = RawQuery(db, ("SELECT ItemAccess FROM TpdbItems WHERE DeviceID = " + device + " ORDER BY ItemAccess").c_str());
    Report("tree_build_1m_s", tree);
    Report("tree_build_1m_raw_s", treeRaw);
    Ratio("tree_build_1m", tree, treeRaw);

    auto& window = dynamic_cast<ov::editor::frmtabgridOPC&>(*session.Window());
    // The device's branch alone (the figure above includes loading the
    // editor): its folder nodes worked out from the item names.
    session.Tree()->RemoveDeviceNodes(static_cast<int>(deviceId));
    start = Clock::now();
    session.Tree()->AddDeviceNodes(window.Data()->Connection(), static_cast<int>(deviceId), window.FieldNameFromSwitchView());
    const double branch = Seconds(start);
    Report("tree_device_branch_1m_s", branch);
    Ratio("tree_device_branch_1m", branch, treeRaw);

    const QString deviceKey = ov::host::nodekey::DeviceKey(static_cast<int>(deviceId), QStringLiteral("."), false);
    const QString folder = ov::model::LargeProjectFolder(537);
    const QString folderKey = deviceKey + ov::host::nodekey::kSeparator + folder;

    // A folder click to its first 50 rows.
    session.NodeClick(QString(), deviceKey + ov::host::nodekey::kSeparator + ov::model::LargeProjectFolder(1), QString());
    start = Clock::now();
    session.NodeClick(QString(), folderKey, QString());
    PaintFirstRows(window.tdbI(), 50);
    const double click = Seconds(start);
    const std::string range = "SELECT * FROM TpdbItems WHERE DeviceID = " + device + " AND ItemAccess >= '" + folder.toStdString() +
                              ".' AND ItemAccess < '" + folder.toStdString() + "/' ORDER BY ItemAccess";
    // The reference reads the same rows: the folder's, through the index.
    const double clickRaw = RawQuery(db, range.c_str());
    Report("folder_click_first50_ms", click * 1000);
    Report("folder_click_first50_raw_ms", clickRaw * 1000);
    Ratio("folder_click_first50", click, clickRaw);
    if (window.tdbI().RowCount() != static_cast<int>((items + 999) / 1000))
        std::fprintf(stderr, "bench_scale: the folder shows %d rows\n", window.tdbI().RowCount());

    // The device node, sorted by name and by item access.
    for (const char* field : {"Name", "ItemAccess"}) {
        window.SetSortField(QString::fromUtf8(field));
        start = Clock::now();
        session.NodeClick(QString(), deviceKey, QString());
        PaintFirstRows(window.tdbI(), 50);
        std::printf("device_click_sorted_by_%s_ms: %.3f\n", field, Seconds(start) * 1000);
    }
    window.SetSortField(QString());

    // Three folders and the groups node, then the memory.
    for (int f : {3, 400, 999}) {
        session.NodeClick(QString(), deviceKey + ov::host::nodekey::kSeparator + ov::model::LargeProjectFolder(f), QString());
        PaintFirstRows(window.tdbI(), 50);
    }
    session.NodeClick(QString(), ov::host::nodekey::kGroups, QString());
    Report("resident_after_clicks_mb", ResidentMb());

    // Statistic.
    start = Clock::now();
    window.ExtrasFunc(0);
    const double statistic = Seconds(start);
    double statisticRaw = 0;
    for (const char* table : {"TpdbDevices", "TpdbGroups", "TpdbItems", "TpdbUnitClasses", "TpdbUnits", "TpdbStructDefs",
                              "TpdbStructMembers"})
        statisticRaw += RawQuery(db, (std::string("SELECT Count(*) FROM ") + table).c_str());
    Report("statistic_s", statistic);
    Report("statistic_raw_s", statisticRaw);
    Ratio("statistic", statistic, statisticRaw);

    // The same folder with the alias function on: item names identify the
    // items, found through the names' index (which begins with the name).
    sqlite3_exec(db, "DROP INDEX [TpdbItems.UniqueItemAccess]", nullptr, nullptr, nullptr);
    session.Reload();
    session.NodeExpand(QString(), QStringLiteral("OPCE0"), QString());
    auto& aliased = dynamic_cast<ov::editor::frmtabgridOPC&>(*session.Window());
    session.NodeClick(QString(), deviceKey + ov::host::nodekey::kSeparator + ov::model::LargeProjectFolder(1), QString());
    start = Clock::now();
    session.NodeClick(QString(), folderKey, QString());
    PaintFirstRows(aliased.tdbI(), 50);
    const double nameClick = Seconds(start);
    const std::string nameRange = "SELECT * FROM TpdbItems WHERE Name >= '" + folder.toStdString() + ".' AND Name < '" +
                                  folder.toStdString() + "/' AND +DeviceID = " + device + " ORDER BY Name";
    const double nameClickRaw = RawQuery(db, nameRange.c_str());
    Report("folder_click_by_name_first50_ms", nameClick * 1000);
    Report("folder_click_by_name_first50_raw_ms", nameClickRaw * 1000);
    Ratio("folder_click_by_name_first50", nameClick, nameClickRaw);
    if (aliased.tdbI().RowCount() != static_cast<int>((items + 999) / 1000))
        std::fprintf(stderr, "bench_scale: the folder by name shows %d rows\n", aliased.tdbI().RowCount());

    // The whole device in one view (no separator): to its last row.
    sqlite3_exec(db, ("UPDATE TpdbDevices SET HierarchBrowseSeparator = '' WHERE ID = " + device).c_str(), nullptr, nullptr, nullptr);
    session.Reload();
    auto& flat = dynamic_cast<ov::editor::frmtabgridOPC&>(*session.Window());
    const QString flatKey = ov::host::nodekey::DeviceKey(static_cast<int>(deviceId), QString(), false);
    session.NodeClick(QString(), flatKey, QString());
    PaintFirstRows(flat.tdbI(), 50);
    start = Clock::now();
    const int rows = flat.tdbI().RowCount();
    flat.tdbI().SetCurrentCell(rows - 1, flat.tdbI().DisplayColumns(1).front());
    for (int r = std::max(0, rows - 40); r < rows; ++r)
        for (int c : flat.tdbI().DisplayColumns(1)) flat.tdbI().CellText(r, c);
    Report("scroll_to_last_row_ms", Seconds(start) * 1000);
    if (rows != items) std::fprintf(stderr, "bench_scale: the device shows %d rows\n", rows);
    Report("resident_after_scroll_mb", ResidentMb());

    // The diff of the project against a copy with a few changes.
    {
        const QString copy = dir.filePath(QStringLiteral("changed.ovs"));
        sqlite3_exec(db, ("VACUUM INTO '" + copy.toStdString() + "'").c_str(), nullptr, nullptr, nullptr);
        sqlite3* other = nullptr;
        sqlite3_open(QFile::encodeName(copy).constData(), &other);
        sqlite3_exec(other, "UPDATE TpdbItems SET Comment = 'changed' WHERE ID % 100000 = 5; "
                            "DELETE FROM TpdbConnections WHERE ItemID = 777777; DELETE FROM TpdbItems WHERE ID = 777777",
                     nullptr, nullptr, nullptr);
        sqlite3_close(other);
        ov::db::Connection first, second;
        first.Open(ov::model::ProjectReadConnectionString(file));
        second.Open(ov::model::ProjectReadConnectionString(copy));
        start = Clock::now();
        const ov::model::ProjectDiff diff = ov::model::DiffProjects(first, second);
        Report("diff_1m_s", Seconds(start));
        if (diff.changed.size() < 10 || diff.removed.empty())
            std::fprintf(stderr, "bench_scale: the diff found %zu changed, %zu removed\n", diff.changed.size(), diff.removed.size());
    }

    // Deleting the device with its items, connections, texts and simulation.
    sqlite3_close(db);
    const QString rawFile = dir.filePath(QStringLiteral("raw.ovs"));
    QFile::copy(file, rawFile);
    flat.Settings().WriteAValueToCInits(QStringLiteral("RequestOnDelete"), false);
    flat.ComputeAvailability(flatKey, false);
    start = Clock::now();
    flat.ClickTool(QStringLiteral("mnuDeviceDelete"));
    const double remove = Seconds(start);
    sqlite3_open(QFile::encodeName(rawFile).constData(), &db);
    start = Clock::now();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (const std::string& sql : {"DELETE FROM TpdbConnections WHERE ItemID IN (SELECT ID FROM TpdbItems WHERE DeviceID = " + device + ")",
                                  "DELETE FROM TpdbSimulation WHERE ItemID IN (SELECT ID FROM TpdbItems WHERE DeviceID = " + device + ")",
                                  "DELETE FROM TidxTexts WHERE ID IN (SELECT TextID FROM TpdbItems WHERE DeviceID = " + device + ")",
                                  "DELETE FROM TpdbItems WHERE DeviceID = " + device, "DELETE FROM TpdbDevices WHERE ID = " + device})
        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double removeRaw = Seconds(start);
    Report("device_delete_1m_s", remove);
    Report("device_delete_1m_raw_s", removeRaw);
    Ratio("device_delete_1m", remove, removeRaw);

    sqlite3_close(db);
    session.Terminate();
    return 0;
}
