// The OPC browse of 10,000 variables in 100 folders: the NodeSet2 file read
// offline, the whole tree browsed on the helper's test server with the helper
// already running, and the 10,000 new items applied by the browse command
// against a raw SQLite loop inserting the same items and connections.
// Prints one "name: value" line per figure.
//
//   bench_opc <generated.NodeSet2.xml> <opc.tcp endpoint serving the same space>

#include "components/InstalledPrograms.h"
#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "model/ProjectTemplate.h"
#include "opc/FBrowseItemsOCX.h"
#include "opc/ItemBrowser.h"
#include "opc/MOpc.h"
#include "platform/db/Connection.h"
#include "platform/host/InMemoryHost.h"
#include "platform/system/Registry.h"
#include "platform/system/SystemTools.h"
#include "platform/ui/FormPresenter.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <sqlite3.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kVariables = 10000;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Report(const char* name, double value) { std::printf("%s: %.3f\n", name, value); }

double ParseNodeSet(const QString& file) {
    const auto start = Clock::now();
    ov::opc::NodeSet set;
    QString error;
    if (!set.Load(file, &error) || set.VariableCount() != kVariables) {
        std::fprintf(stderr, "bench_opc: %s\n", qPrintable(error));
        std::exit(1);
    }
    return Seconds(start);
}

double BrowseServer(const QString& endpoint) {
    ov::opc::ItemBrowser browser;
    browser.SetSource(std::make_unique<ov::opc::ServerSource>(endpoint));
    QString error;
    // The helper resident and connected, as after the dialog opened.
    if (!browser.Start(&error)) {
        std::fprintf(stderr, "bench_opc: %s\n", qPrintable(error));
        std::exit(1);
    }
    const auto start = Clock::now();
    if (!browser.ExpandAll(&error) || browser.LoadedCount() < kVariables) {
        std::fprintf(stderr, "bench_opc: %s\n", qPrintable(error));
        std::exit(1);
    }
    return Seconds(start);
}

// The same rows as prepared INSERTs in one transaction.
double RawInsert(const QString& file) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    sqlite3_stmt* item = nullptr;
    sqlite3_stmt* connection = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO TpdbItems (ItemAccess, Name, DataType, AccessRights, FieldSize, AccessPath, DeviceID) "
                           "VALUES (?, ?, 5, 3, 0, '', 1)", -1, &item, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (1, ?)", -1, &connection, nullptr);
    const auto start = Clock::now();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (int i = 0; i < kVariables; ++i) {
        const QByteArray id = QStringLiteral("nsu=urn:ovopc:generated;s=Generated.Folder%1.Var%2").arg(i / 100).arg(i).toUtf8();
        const QByteArray name = QStringLiteral("Generated.Folder%1.Var%2").arg(i / 100).arg(i).toUtf8();
        sqlite3_bind_text(item, 1, id.constData(), static_cast<int>(id.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(item, 2, name.constData(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        sqlite3_step(item);
        sqlite3_reset(item);
        sqlite3_bind_int64(connection, 1, sqlite3_last_insert_rowid(db));
        sqlite3_step(connection);
        sqlite3_reset(connection);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double seconds = Seconds(start);
    sqlite3_finalize(item);
    sqlite3_finalize(connection);
    sqlite3_close(db);
    return seconds;
}

// The browse command with everything ticked (or, the second time, everything
// unticked: all items deleted); only the apply after OK counts.
double ApplyThroughTheEditor(const QString& file, const QString& nodeSet, const QString& registryFile, bool ticked) {
    ov::sys::Registry registry(registryFile);
    registry.WriteValue(ov::sys::Hive::LocalMachine,
                        QString::fromUtf8(ov::components::kServersKey) + QStringLiteral("\\Bench.Generated.1"),
                        QStringLiteral("NodeSet"), nodeSet);
    ov::opc::InstallEditor();
    ov::host::InMemoryHost host;
    ov::host::Connect session;
    session.Initialize(file, QString(), &host, &host);
    session.NodeExpand(QString(), QStringLiteral("OPCE0"), QString());
    auto& window = dynamic_cast<ov::editor::frmtabgridOPC&>(*session.Window());
    const QString device = ov::host::nodekey::DeviceKey(1, QStringLiteral("."), false);
    session.NodeClick(QString(), device, QString());
    Clock::time_point confirmed;
    ov::ui::DefaultFormRunner().Once(QStringLiteral("FBrowseItemsOCX"), [&confirmed, ticked](ov::ui::Form& form) {
        auto& dialog = dynamic_cast<ov::opc::FBrowseItemsOCX&>(form);
        QString error;
        for (const QString& top : dialog.Browser().TopNodes()) dialog.Browser().SetTicked(top, ticked, &error);
        confirmed = Clock::now();
        form.PressDefault();
    });
    window.RunObjectFunction(QStringLiteral("mnuDeviceFunc"), 5);
    const double seconds = Seconds(confirmed);
    session.Terminate();
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_opc <generated.NodeSet2.xml> <endpoint>\n");
        return 2;
    }
    const QString nodeSet = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir dir;
    const QString registryFile = dir.filePath(QStringLiteral("registry.ini"));
    ov::sys::SystemTools::Instance().SetRegistryFile(registryFile);
    const QString file = dir.filePath(QStringLiteral("browse.ovs"));
    const QString rawFile = dir.filePath(QStringLiteral("raw.ovs"));
    ov::model::CreateProjectDatabase(file);
    {
        ov::db::Connection c;
        c.Open(ov::model::ProjectConnectionString(file));
        c.Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, HierarchBrowseSeparator, ProgID, Enabled) "
                                 "VALUES (1, 'PLC', '.', 'Bench.Generated.1', -1)"));
    }
    QFile::copy(file, rawFile);

    Report("opc_nodeset_parse_10k_s", ParseNodeSet(nodeSet));
    Report("opc_browse_tree_10k_s", BrowseServer(QString::fromLocal8Bit(argv[2])));
    const double apply = ApplyThroughTheEditor(file, nodeSet, registryFile, true);
    const double removal = ApplyThroughTheEditor(file, nodeSet, registryFile, false);
    const double raw = RawInsert(rawFile);
    Report("opc_apply_10k_s", apply);
    Report("opc_apply_delete_10k_s", removal);
    Report("opc_apply_10k_raw_s", raw);
    Report("opc_apply_10k_ratio", apply / raw);
    return 0;
}
