// Item commands on a device with 100,000 items: delete 10,000 selected rows,
// copy and paste 10,000 items, rename a folder of 10,000 items. Each against
// a raw SQLite loop making the same row changes in one transaction.
// Prints one "name: value" line per figure.

#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "model/ProjectTemplate.h"
#include "objects/MItem.h"
#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"
#include "model/DataConnection.h"
#include "platform/host/InMemoryHost.h"
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
constexpr int kFolder = 90000;  // items in folder F
constexpr int kSmall = 10000;   // items in folder R (to rename) and rows selected

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Fill(const QString& file) {
    ov::model::CreateProjectDatabase(file);
    ov::db::Connection c;
    c.Open(ov::model::ProjectConnectionString(file));
    c.Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, HierarchBrowseSeparator) VALUES (1, 'PLC', '.')"));
    c.Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, HierarchBrowseSeparator) VALUES (2, 'Copy', '.')"));
    c.BeginTrans();
    for (int i = 0; i < kFolder + kSmall; ++i) {
        const QString name = i < kFolder ? QStringLiteral("F.Item%1").arg(i, 6, 10, QChar(u'0'))
                                         : QStringLiteral("R.Item%1").arg(i, 6, 10, QChar(u'0'));
        c.Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, ?, ?)"), {name, name});
    }
    c.Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) SELECT 1, ID FROM TpdbItems"));
    c.CommitTrans();
}

// The same row changes, done directly.
double RawLoop(const QString& file, const char* setup, const char* statement, int count, int firstId) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    sqlite3_exec(db, setup, nullptr, nullptr, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, statement, -1, &s, nullptr);
    const auto start = Clock::now();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (int i = 0; i < count; ++i) {
        sqlite3_bind_int(s, 1, firstId + i);
        sqlite3_step(s);
        sqlite3_reset(s);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double seconds = Seconds(start);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    ov::sys::SystemTools::Instance().SetRegistryFile(dir.filePath(QStringLiteral("registry.ini")));
    const QString file = dir.filePath(QStringLiteral("items.ovs"));
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
    const QChar sep = ov::host::nodekey::kSeparator;
    auto selectFirst = [&window](int n) {
        std::vector<int> rows(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) rows[static_cast<std::size_t>(i)] = i;
        window.tdbI().SelectRows(rows);
    };
    auto tool = [&window](const char* name) {
        window.ComputeAvailability(window.CurrentNode(), false);
        window.ClickTool(QString::fromUtf8(name));
    };
    auto helper = [&window](const char* name) {
        window.ComputeAvailability(window.CurrentNode(), true);
        window.ClickTool(QString::fromUtf8(name));
    };

    // Copy 10,000 rows of F and paste them into R (new names, same folder prefix R.).
    session.NodeClick(QString(), device + sep + QStringLiteral("F"), QString());
    selectFirst(kSmall);
    tool("mnuItemCopy");
    session.NodeClick(QString(), device + sep + QStringLiteral("R"), QString());
    auto start = Clock::now();
    tool("mnuItemPaste");
    const double paste = Seconds(start);
    const double rawPaste = RawLoop(rawFile, "",
                                    "INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, DataType) SELECT DeviceID, 'P.' || Name, "
                                    "'P.' || ItemAccess, DataType FROM TpdbItems WHERE ID = ?",
                                    kSmall, 1);

    // Delete 10,000 selected rows of F.
    session.NodeClick(QString(), device + sep + QStringLiteral("F"), QString());
    selectFirst(kSmall);
    start = Clock::now();
    tool("mnuItemDelete");
    const double remove = Seconds(start);
    const double rawRemove = RawLoop(rawFile, "", "DELETE FROM TpdbItems WHERE ID = ?", kSmall, 1) +
                             RawLoop(rawFile, "", "DELETE FROM TpdbConnections WHERE ItemID = ?", kSmall, 1);

    // Rename the folder R (20,000 items after the paste) to S.
    ov::ui::DefaultFormRunner().Always(QStringLiteral("FItemStructEditor"), [](ov::ui::Form& f) {
        f.UserSetText(QStringLiteral("TxtName"), QStringLiteral("S"));
        f.PressDefault();
    });
    session.NodeClick(QString(), device + sep + QStringLiteral("R"), QString());
    start = Clock::now();
    helper("mnuDeviceHelperItemRename");
    const double rename = Seconds(start);
    const double rawRename = RawLoop(rawFile, "",
                                     "UPDATE TpdbItems SET Name = 'S' || substr(Name, 2), ItemAccess = 'S' || substr(ItemAccess, 2) "
                                     "WHERE ID = ?",
                                     2 * kSmall, kFolder + 1);

    // Through the session: undo and redo load the editor anew.
    const auto count = [&session](const char* where) {
        ov::db::Recordset rs;
        rs.Open(QStringLiteral("SELECT ID FROM TpdbItems WHERE ") + QString::fromUtf8(where), session.Window()->Data()->Connection());
        return rs.RecordCount();
    };
    // The work really happened: the figures are worth nothing otherwise.
    if (count("Name Like 'S.%'") != 2 * kSmall || count("Name Like 'F.%'") != kFolder - kSmall) {
        std::fprintf(stderr, "unexpected item counts: S %d, F %d\n", count("Name Like 'S.%'"), count("Name Like 'F.%'"));
        return 1;
    }
    // The whole device (100,000 items) pasted into the second one, then
    // taken back and done again (each with the tree and views read anew).
    const QString copyDevice = ov::host::nodekey::DeviceKey(2, QStringLiteral("."), false);
    session.NodeClick(QString(), device, QString());
    helper("mnuDeviceHelperItemsCopy");
    session.NodeClick(QString(), copyDevice, QString());
    start = Clock::now();
    helper("mnuDeviceHelperItemsPaste");
    const double pasteAll = Seconds(start);
    const qint64 stepBytes = session.History().Bytes();
    const QStringList steps = session.History().UndoNames();
    start = Clock::now();
    const bool undone = session.Undo();
    const double undo = Seconds(start);
    const int afterUndo = count("DeviceID = 2");
    start = Clock::now();
    const bool redone = session.Redo();
    const double redo = Seconds(start);
    if (!undone || !redone || afterUndo != 0 || count("DeviceID = 2") != kFolder + kSmall) {
        std::fprintf(stderr, "undo of the paste failed: %s, %d items after undo\n", qPrintable(steps.join(u'|')), afterUndo);
        return 1;
    }

    std::printf("items_paste_10k_s: %.2f\n", paste);
    std::printf("items_paste_10k_ratio_to_raw: %.1f\n", paste / rawPaste);
    std::printf("items_delete_10k_s: %.2f\n", remove);
    std::printf("items_delete_10k_ratio_to_raw: %.1f\n", remove / rawRemove);
    std::printf("items_rename_folder_20k_s: %.2f\n", rename);
    std::printf("items_rename_folder_20k_ratio_to_raw: %.1f\n", rename / rawRename);
    std::printf("items_paste_100k_s: %.2f\n", pasteAll);
    std::printf("items_undo_paste_100k_s: %.2f\n", undo);
    std::printf("items_redo_paste_100k_s: %.2f\n", redo);
    std::printf("items_undo_step_100k_mb: %.1f\n", static_cast<double>(stepBytes) / (1 << 20));
    session.Terminate();
    return 0;
}
