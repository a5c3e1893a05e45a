// Deleting a structure with 10,000 members (each with an index text) and a
// unit class with 10,000 units, and pasting 1,000 copied members into the
// structure that holds them already (every name collides once): the
// editor's commands against raw SQLite doing the same rows one by one in one
// transaction. Prints one "name: value" line per figure.

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
#include "settings/TextTable.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <sqlite3.h>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMembers = 10000, kUnits = 10000, kPasted = 1000;
constexpr int kBig = 1, kTarget = 2, kClass = 1;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Fill(const QString& file) {
    ov::model::CreateProjectDatabase(file);
    ov::db::Connection c;
    c.Open(ov::model::ProjectConnectionString(file));
    c.Execute(QStringLiteral("INSERT INTO TpdbStructDefs (ID, Name) VALUES (1, 'Big'), (2, 'Target')"));
    c.Execute(QStringLiteral("INSERT INTO TpdbUnitClasses (ID, Name, SwitchType) VALUES (1, 'Many', 0)"));
    c.BeginTrans();
    for (int i = 1; i <= kMembers; ++i) {
        c.Execute(QStringLiteral("INSERT INTO TidxTexts (ID, Name, ParentID, L1033) VALUES (?, ?, 1, 'text')"),
                  {i, QStringLiteral("Big.M%1").arg(i)});
        c.Execute(QStringLiteral("INSERT INTO TpdbStructMembers (ParentID, Name, OrderNum, DataType, TextID) VALUES (1, ?, ?, 3, ?)"),
                  {QStringLiteral("M%1").arg(i), i, i});
    }
    for (int i = 0; i < kPasted; ++i)
        c.Execute(QStringLiteral("INSERT INTO TpdbStructMembers (ParentID, Name, OrderNum, DataType) VALUES (2, ?, ?, 5)"),
                  {QStringLiteral("Value%1").arg(i, 4, 10, QChar(u'0')), i});
    for (int i = 0; i < kUnits; ++i)
        c.Execute(QStringLiteral("INSERT INTO TpdbUnits (ParentID, SwitchID, x1, y1, x2, y2) VALUES (1, ?, 0, 0, 1, ?)"),
                  {i, i});
    c.CommitTrans();
}

sqlite3* OpenRaw(const QString& file) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    return db;
}

std::vector<sqlite3_int64> Ids(sqlite3* db, const char* sql) {
    std::vector<sqlite3_int64> ids;
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW) ids.push_back(sqlite3_column_int64(s, 0));
    sqlite3_finalize(s);
    return ids;
}

void RunEach(sqlite3* db, const char* sql, const std::vector<sqlite3_int64>& ids) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
    for (const sqlite3_int64 id : ids) {
        sqlite3_bind_int64(s, 1, id);
        sqlite3_step(s);
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
}

// The structure's members and their texts, row by row.
double RawStructureDelete(sqlite3* db) {
    const auto members = Ids(db, "SELECT ID FROM TpdbStructMembers WHERE ParentID = 1");
    const auto texts = Ids(db, "SELECT TextID FROM TpdbStructMembers WHERE ParentID = 1");
    const auto start = Clock::now();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    RunEach(db, "DELETE FROM TidxTexts WHERE ID = ?", texts);
    RunEach(db, "DELETE FROM TpdbStructMembers WHERE ID = ?", members);
    sqlite3_exec(db, "DELETE FROM TpdbStructDefs WHERE ID = 1", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    return Seconds(start);
}

double RawUnitClassDelete(sqlite3* db) {
    const auto units = Ids(db, "SELECT ID FROM TpdbUnits WHERE ParentID = 1");
    const auto start = Clock::now();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    RunEach(db, "DELETE FROM TpdbUnits WHERE ID = ?", units);
    sqlite3_exec(db, "DELETE FROM TpdbUnitClasses WHERE ID = 1", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    return Seconds(start);
}

// The copies inserted under the names they end up with.
double RawPaste(sqlite3* db) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO TpdbStructMembers (ParentID, Name, OrderNum, DataType) "
                       "SELECT ParentID, 'Copy of ' || Name, OrderNum, DataType FROM TpdbStructMembers WHERE ID = ?",
                       -1, &s, nullptr);
    const auto ids = Ids(db, "SELECT ID FROM TpdbStructMembers WHERE ParentID = 2");
    const auto start = Clock::now();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (const sqlite3_int64 id : ids) {
        sqlite3_bind_int64(s, 1, id);
        sqlite3_step(s);
        sqlite3_reset(s);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(s);
    return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    ov::sys::SystemTools::Instance().SetRegistryFile(dir.filePath(QStringLiteral("registry.ini")));
    const QString file = dir.filePath(QStringLiteral("structures.ovs"));
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
    // The copies' names are English: "Copy of ...".
    ov::settings::TextTable::Instance().SetLanguage(ov::settings::TextTable::kEnglish);
    const auto run = [&](const QString& key, const char* tool) {
        session.NodeClick(QString(), key, QString());
        window.ComputeAvailability(key, false);
        const auto start = Clock::now();
        window.ClickTool(QString::fromUtf8(tool));
        return Seconds(start);
    };

    // Copy every member of Target, then paste them into Target itself.
    session.NodeClick(QString(), ov::host::nodekey::StructureKey(kTarget), QString());
    std::vector<int> rows(static_cast<std::size_t>(window.tdbS().RowCount()));
    std::iota(rows.begin(), rows.end(), 0);
    window.tdbS().SelectRows(rows);
    window.ComputeAvailability(ov::host::nodekey::StructureKey(kTarget), false);
    window.ClickTool(QStringLiteral("mnuStructMemberCopy"));
    const double paste = run(ov::host::nodekey::StructureKey(kTarget), "mnuStructMemberPaste");
    const double structureDelete = run(ov::host::nodekey::StructureKey(kBig), "mnuStructureDelete");
    const double classDelete = run(ov::host::nodekey::UnitClassKey(kClass, true), "mnuUnitClassDelete");

    sqlite3* raw = OpenRaw(rawFile);
    const double rawPaste = RawPaste(raw);
    const double rawStructure = RawStructureDelete(raw);
    const double rawClass = RawUnitClassDelete(raw);
    sqlite3_close(raw);

    // The work really happened, and only that work.
    const auto count = [&window](const char* sql) {
        ov::db::Recordset rs;
        rs.Open(QString::fromUtf8(sql), window.Data()->Connection());
        return rs.Fields(0).Value().toInt();
    };
    if (count("SELECT Count(*) FROM TpdbStructMembers WHERE ParentID = 1") != 0 || count("SELECT Count(*) FROM TidxTexts") != 0 ||
        count("SELECT Count(*) FROM TpdbUnits") != 0 || count("SELECT Count(*) FROM TpdbStructMembers WHERE ParentID = 2") != 2 * kPasted ||
        count("SELECT Count(*) FROM TpdbStructMembers WHERE substr(Name, 1, 13) = 'Copy of Value'") != kPasted) {
        std::fprintf(stderr, "unexpected counts after the commands: %d %d %d %d %d\n",
                     count("SELECT Count(*) FROM TpdbStructMembers WHERE ParentID = 1"), count("SELECT Count(*) FROM TidxTexts"),
                     count("SELECT Count(*) FROM TpdbUnits"), count("SELECT Count(*) FROM TpdbStructMembers WHERE ParentID = 2"),
                     count("SELECT Count(*) FROM TpdbStructMembers WHERE substr(Name, 1, 13) = 'Copy of Value'"));
        return 1;
    }

    std::printf("structure_delete_10k_members_s: %.3f\n", structureDelete);
    std::printf("structure_delete_10k_members_ratio_to_raw: %.1f\n", structureDelete / rawStructure);
    std::printf("unit_class_delete_10k_units_s: %.3f\n", classDelete);
    std::printf("unit_class_delete_10k_units_ratio_to_raw: %.1f\n", classDelete / rawClass);
    std::printf("paste_1000_colliding_members_s: %.3f\n", paste);
    std::printf("paste_1000_colliding_members_ratio_to_raw: %.1f\n", paste / rawPaste);
    session.Terminate();
    return 0;
}
