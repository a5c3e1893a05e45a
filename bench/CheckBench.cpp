// Check Project on a generated project of 1,000,000 items with a handful of
// faults of most rules written into it through SQL: the check with all rules
// (check_1m_s), the same checks written as plain SQL queries run one after
// the other straight through SQLite (check_raw_sql_1m_s) and the ratio of
// the two (check_ratio). The finding counts of both must agree rule by rule
// and every fault written must be found; otherwise the bench says which rule
// differs and exits with 1. Prints one "name: value" line per figure.
//
//   bench_check [ITEMS]     (1,000,000 unless told; fewer only to try it out)

#include "check/ProjectCheck.h"
#include "components/InstalledPrograms.h"
#include "model/CVT_Types.h"
#include "model/LargeProject.h"
#include "model/ProjectTemplate.h"
#include "platform/db/Changeset.h"
#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "platform/system/Registry.h"

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sqlite3.h>

namespace {

using Clock = std::chrono::steady_clock;
using Counts = QMap<QString, int>;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Report(const char* name, double value) { std::printf("%s: %.3f\n", name, value); }

[[noreturn]] void Fail(const QString& message) {
    std::fprintf(stderr, "bench_check: %s\n", qPrintable(message));
    std::exit(1);
}

// The demo installation with the simulation server reached online instead
// of through the demo's NodeSet2 file: the generated items are no nodes of
// that file, and a million warnings about it would only measure how fast
// findings are written.
void WriteInstallation(ov::sys::Registry& registry) {
    if (!ov::components::RegisterDemoInstallation(registry, QString())) Fail(QStringLiteral("cannot write the registry"));
    const QString simulation = QString::fromUtf8(ov::components::kServersKey) + QStringLiteral("\\OVOPC.Simulation.1");
    registry.WriteValue(ov::sys::Hive::LocalMachine, simulation, QStringLiteral("NodeSet"), QString());
    registry.WriteValue(ov::sys::Hive::LocalMachine, simulation, QStringLiteral("Endpoint"),
                        QStringLiteral("opc.tcp://127.0.0.1:48401"));
}

qint64 Scalar(ov::db::Connection& connection, const QString& sql) {
    ov::db::Cursor row(connection, sql);
    if (!row.Next()) Fail(QStringLiteral("no row: %1").arg(sql));
    return row.Value(0).toLongLong();
}

// Writes the faults and gives how many findings each rule must have at least.
Counts WriteFaults(const QString& file, qint64 items) {
    ov::db::Connection c;
    c.Open(ov::model::ProjectConnectionString(file));
    Counts planted;
    c.InTransaction([&] {
        const auto sql = [&](const QString& statement) { c.Execute(statement); };
        const auto insert = [&](const QString& statement) {
            c.Execute(statement);
            return c.LastInsertId();
        };
        // The generated items follow each other by ID.
        const qint64 first = Scalar(c, QStringLiteral("SELECT MIN(i.ID) FROM TpdbItems i JOIN TpdbDevices d ON d.ID = "
                                                      "i.DeviceID WHERE d.Name = 'Plant1'"));
        const auto nth = [&](qint64 n) { return QString::number(first + n); };
        const auto item = [&](const QString& device, const char* name, const QString& more = QString()) {
            const qint64 id = insert(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, DataType) VALUES "
                                                    "(%1, '%2', '%2', 5)")
                                         .arg(device, QString::fromUtf8(name)));
            if (!more.isEmpty()) sql(QStringLiteral("UPDATE TpdbItems SET %1 WHERE ID = %2").arg(more).arg(id));
            sql(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (1, %1)").arg(id));
            return id;
        };
        const auto device = [&](const char* name, const char* tool, int enabled) {
            return QString::number(insert(QStringLiteral("INSERT INTO TpdbDevices (Name, ProgID, ProgIDConfigTool, Enabled) "
                                                         "VALUES ('%1', 'Bench.Unregistered.1', '%2', %3)")
                                              .arg(QString::fromUtf8(name), QString::fromUtf8(tool))
                                              .arg(enabled)));
        };
        const QString itemsGroup = QString::number(Scalar(c, QStringLiteral("SELECT ID FROM TidxGroups WHERE ParentID = 0 AND Type = -3")));

        sql(QStringLiteral("DELETE FROM TpdbConnections WHERE ItemID = %1").arg(nth(items / 2)));
        planted["PV101"] = 1;
        item(QStringLiteral("77"), "Stray1");
        item(QStringLiteral("77"), "Stray2");
        planted["PV102"] = 2;
        item(QStringLiteral("0"), "NoStruct", QStringLiteral("DataType = 12, StructID = 777"));
        planted["PV103"] = 1;
        sql(QStringLiteral("UPDATE TpdbItems SET UnitClassIDItemDependent = 555 WHERE ID = %1").arg(nth(100)));
        planted["PV104"] = 1;
        sql(QStringLiteral("UPDATE TpdbItems SET UnitClassIDDisplayDependent = 556 WHERE ID = %1").arg(nth(101)));
        planted["PV105"] = 1;
        for (int n = 1; n <= 3; ++n) sql(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (9999, %1)").arg(nth(n)));
        planted["PV106"] = 3;
        sql(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (1, 99999999), (1, 99999998)"));
        planted["PV107"] = 2;
        sql(QStringLiteral("INSERT INTO TpdbSimulation (ItemID, SimulationFunction) VALUES (88888888, 'Function1')"));
        planted["PV108"] = 1;
        sql(QStringLiteral("INSERT INTO TpdbAlign (ItemID) VALUES (88888887)"));
        planted["PV109"] = 1;
        sql(QStringLiteral("INSERT INTO TidxTexts (Name, ParentID, L1031, L1033) VALUES ('unused', %1, 'frei', 'free')").arg(itemsGroup));
        planted["PV110"] = 1;
        sql(QStringLiteral("INSERT INTO TpdbStructMembers (ParentID, Name, DataType) VALUES (6666, 'Astray', 2)"));
        planted["PV111"] = 1;
        // The demo's unit classes: Temperature switched by an item, Pressure by language.
        sql(QStringLiteral("UPDATE TpdbItems SET UnitClassIDItemDependent = (SELECT ID FROM TpdbUnitClasses WHERE Name = "
                           "'Pressure') WHERE ID = %1")
                .arg(nth(102)));
        planted["PV201"] = 1;
        sql(QStringLiteral("UPDATE TpdbItems SET UnitClassIDDisplayDependent = (SELECT ID FROM TpdbUnitClasses WHERE Name = "
                           "'Temperature') WHERE ID = %1")
                .arg(nth(103)));
        planted["PV202"] = 1;
        // The generated items have the range 0 to 100.
        sql(QStringLiteral("UPDATE TpdbItems SET MinVal = 150 WHERE ID IN (%1, %2, %3)").arg(nth(200), nth(300), nth(400)));
        planted["PV203"] = 3;
        sql(QStringLiteral("UPDATE TpdbItems SET DataType = 99 WHERE ID = %1").arg(nth(600)));
        planted["PV204"] = 1;
        const qint64 overlap = insert(QStringLiteral("INSERT INTO TpdbStructDefs (Name, OrderByOffset) VALUES ('Overlap', -1)"));
        sql(QStringLiteral("INSERT INTO TpdbStructMembers (ParentID, Name, OrderNum, DataType) VALUES (%1, 'Real', 0, 4), "
                           "(%1, 'Int', 2, 2), (%1, 'Bit', 4.3, 256), (%1, 'NextBit', 4.4, 256)")
                .arg(overlap));
        planted["PV301"] = 1;
        const qint64 loop1 = insert(QStringLiteral("INSERT INTO TpdbStructDefs (Name) VALUES ('Loop1')"));
        const qint64 loop2 = insert(QStringLiteral("INSERT INTO TpdbStructDefs (Name) VALUES ('Loop2')"));
        sql(QStringLiteral("INSERT INTO TpdbStructMembers (ParentID, Name, DataType, StructID) VALUES (%1, 'Next', 12, %2), "
                           "(%2, 'Back', 12, %1)")
                .arg(loop1)
                .arg(loop2));
        planted["PV302"] = 2;
        const qint64 holder = insert(QStringLiteral("INSERT INTO TpdbStructDefs (Name) VALUES ('Holder')"));
        sql(QStringLiteral("INSERT INTO TpdbStructMembers (ParentID, Name, DataType, StructID) VALUES (%1, 'Gone', 12, 4444)").arg(holder));
        planted["PV303"] = 1;
        // Items by address through the demo server's configuration tool.
        const QString addressed = device("Addressed", "OVCfgOPC.Demo", -1);
        item(addressed, "MW10");
        item(addressed, "Hello");
        planted["PV401"] = 1;
        const qint64 simulated = item(device("Off", "", 0), "Simulated");
        sql(QStringLiteral("INSERT INTO TpdbSimulation (ItemID, SimulationFunction) VALUES (%1, 'Function1')").arg(simulated));
        planted["PV501"] = 1;
        sql(QStringLiteral("INSERT INTO TpdbGroups (Name) VALUES ('Empty')"));
        planted["PV502"] = 1;
        device("Idle", "", -1);
        planted["PV503"] = 1;
        // Every fourth generated item has a text, the first among them.
        sql(QStringLiteral("UPDATE TidxTexts SET L1033 = '' WHERE ID = (SELECT TextID FROM TpdbItems WHERE ID = %1)").arg(nth(0)));
        planted["PV504"] = 1;
    });
    return planted;
}

// The check as the studio and ovopc run it: every rule, findings by code.
Counts RunCheck(const QString& file, const ov::sys::Registry& registry, double* seconds) {
    ov::db::Connection connection;
    connection.Open(ov::model::ProjectReadConnectionString(file));
    ov::check::CheckOptions options;
    options.registry = &registry;
    options.projectArgument = file;
    const auto start = Clock::now();
    const std::vector<ov::check::Finding> findings = ov::check::CheckProject(connection, options);
    *seconds = Seconds(start);
    Counts counts;
    for (const ov::check::Finding& finding : findings) ++counts[finding.code];
    return counts;
}

// Editing one item as the grid writes it, then the re-check of what the
// edit changed merged into the list, as the open pane does after each
// command: the median of a few edits in milliseconds. The list after them
// must be what a full check finds.
double RunIncremental(const QString& file, const ov::sys::Registry& registry) {
    ov::db::Connection connection;
    connection.Open(ov::model::ProjectConnectionString(file));
    ov::check::CheckOptions options;
    options.registry = &registry;
    options.projectArgument = file;
    std::vector<ov::check::Finding> findings = ov::check::CheckProject(connection, options);
    std::vector<double> times;
    for (int edit = 0; edit < 7; ++edit) {
        ov::db::ChangeRecorder recorder(connection);
        // A range turned round and back: a PV203 finding comes and goes.
        connection.Execute(QStringLiteral("UPDATE TpdbItems SET MinVal = ?, MaxVal = 5 WHERE ID = ?"),
                           {edit % 2 == 0 ? 10 : 0, 1000 + edit * 37});
        const auto start = Clock::now();
        const ov::check::ChangedRows changed = ov::check::ChangedRowsOf(recorder.Changes());
        findings = ov::check::Merge(findings, ov::check::CheckChanged(connection, changed, options));
        times.push_back(Seconds(start) * 1000);
    }
    if (findings.size() != ov::check::CheckProject(connection, options).size())
        Fail(QStringLiteral("the re-checked list differs from a full check"));
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The rules as plain queries, a row per finding. PV401 and PV402 ask a
// device's configuration tool or read its address space, which no query
// can; the bench's counts of those are compared with the faults written.
struct RawRule {
    const char* code;
    QString sql;
};

std::vector<RawRule> RawRules() {
    QStringList known;
    for (const auto& row : ov::model::CVT_Types::Table()) known << QString::number(row.code);
    const QString types = known.join(u',');
    const QString itemsGroups = QStringLiteral("WITH RECURSIVE items(ID) AS (SELECT ID FROM TidxGroups WHERE ParentID = 0 AND "
                                               "Type = -3 UNION SELECT g.ID FROM TidxGroups g JOIN items ON g.ParentID = items.ID) ");
    // Members of structures ordered by offset as spans of bits; members of
    // a structure type count as nothing (the bench's structures nest none).
    const QString spans = QStringLiteral(
        "WITH m AS (SELECT m.ID, m.ParentID, m.DataType, m.FieldSize, CAST(m.OrderNum AS INTEGER) AS byte, "
        "CAST(round((m.OrderNum - CAST(m.OrderNum AS INTEGER)) * 10) AS INTEGER) AS bit FROM TpdbStructMembers m JOIN "
        "TpdbStructDefs s ON s.ID = m.ParentID WHERE s.OrderByOffset <> 0), "
        "sized AS (SELECT ID, ParentID, DataType, FieldSize, byte, bit, CASE WHEN DataType IN (2, 18) THEN 2 WHEN "
        "DataType IN (3, 4, 19) THEN 4 WHEN DataType IN (5, 7, 20, 21) THEN 8 WHEN DataType IN (11, 16, 17) THEN 1 "
        "ELSE 0 END * max(1, FieldSize) AS bytes FROM m), "
        "spans AS (SELECT ID, ParentID, byte * 8 + bit AS first, byte * 8 + bit + max(1, FieldSize) AS past FROM sized "
        "WHERE DataType = 256 UNION ALL SELECT ID, ParentID, byte * 8, (byte + FieldSize + 1) * 8 FROM sized WHERE "
        "DataType = 8 UNION ALL SELECT ID, ParentID, byte * 8, (byte + bytes) * 8 FROM sized WHERE DataType NOT IN "
        "(8, 256) AND bytes > 0) ");
    return {
        {"PV101", "SELECT i.ID FROM TpdbItems i WHERE NOT EXISTS (SELECT 1 FROM TpdbConnections c JOIN TpdbGroups g ON g.ID = "
                  "c.GroupID WHERE c.ItemID = i.ID)"},
        {"PV102", "SELECT i.ID FROM TpdbItems i WHERE i.DeviceID <> 0 AND NOT EXISTS (SELECT 1 FROM TpdbDevices d WHERE d.ID = "
                  "i.DeviceID)"},
        {"PV103", "SELECT i.ID FROM TpdbItems i WHERE (i.DataType = 12 OR i.StructID <> 0) AND NOT EXISTS (SELECT 1 FROM "
                  "TpdbStructDefs s WHERE s.ID = i.StructID)"},
        {"PV104", "SELECT i.ID FROM TpdbItems i WHERE i.UnitClassIDItemDependent <> 0 AND NOT EXISTS (SELECT 1 FROM "
                  "TpdbUnitClasses u WHERE u.ID = i.UnitClassIDItemDependent)"},
        {"PV105", "SELECT i.ID FROM TpdbItems i WHERE i.UnitClassIDDisplayDependent <> 0 AND NOT EXISTS (SELECT 1 FROM "
                  "TpdbUnitClasses u WHERE u.ID = i.UnitClassIDDisplayDependent)"},
        {"PV106", "SELECT c.ID FROM TpdbConnections c WHERE NOT EXISTS (SELECT 1 FROM TpdbGroups g WHERE g.ID = c.GroupID)"},
        {"PV107", "SELECT c.ID FROM TpdbConnections c WHERE NOT EXISTS (SELECT 1 FROM TpdbItems i WHERE i.ID = c.ItemID)"},
        {"PV108", "SELECT s.ItemID FROM TpdbSimulation s WHERE NOT EXISTS (SELECT 1 FROM TpdbItems i WHERE i.ID = s.ItemID)"},
        {"PV109", "SELECT a.ItemID FROM TpdbAlign a WHERE NOT EXISTS (SELECT 1 FROM TpdbItems i WHERE i.ID = a.ItemID)"},
        {"PV110", itemsGroups + "SELECT t.ID FROM TidxTexts t WHERE t.ParentID IN (SELECT ID FROM items) AND t.ID NOT IN "
                                "(SELECT TextID FROM TpdbItems WHERE TextID > 0) AND t.ID NOT IN (SELECT TextID FROM "
                                "TpdbStructMembers WHERE TextID > 0)"},
        {"PV111", "SELECT m.ID FROM TpdbStructMembers m WHERE NOT EXISTS (SELECT 1 FROM TpdbStructDefs s WHERE s.ID = m.ParentID)"},
        {"PV201", "SELECT i.ID FROM TpdbItems i JOIN TpdbUnitClasses u ON u.ID = i.UnitClassIDItemDependent WHERE u.SwitchType <> 0"},
        {"PV202", "SELECT i.ID FROM TpdbItems i JOIN TpdbUnitClasses u ON u.ID = i.UnitClassIDDisplayDependent WHERE "
                  "u.SwitchType <> 1"},
        {"PV203", "SELECT ID FROM TpdbItems WHERE MinVal > MaxVal AND NOT (MinVal = 0 AND MaxVal = 0)"},
        {"PV204", QStringLiteral("SELECT ID FROM TpdbItems WHERE DataType NOT IN (%1) UNION ALL SELECT ID FROM "
                                 "TpdbStructMembers WHERE DataType NOT IN (%1)")
                      .arg(types)},
        {"PV301", spans + "SELECT a.ID FROM spans a WHERE EXISTS (SELECT 1 FROM spans b WHERE b.ParentID = a.ParentID AND "
                          "b.ID <> a.ID AND (b.first < a.first OR (b.first = a.first AND b.ID < a.ID)) AND b.past > a.first)"},
        // Structures that reach themselves through members of a structure type.
        {"PV302", "WITH RECURSIVE edge(owner, inner) AS (SELECT m.ParentID, m.StructID FROM TpdbStructMembers m JOIN "
                  "TpdbStructDefs p ON p.ID = m.ParentID JOIN TpdbStructDefs s ON s.ID = m.StructID WHERE m.DataType = 12), "
                  "reach(start, id) AS (SELECT owner, inner FROM edge UNION SELECT r.start, e.inner FROM reach r JOIN edge e "
                  "ON e.owner = r.id) SELECT DISTINCT start FROM reach WHERE start = id"},
        {"PV303", "SELECT m.ID FROM TpdbStructMembers m JOIN TpdbStructDefs p ON p.ID = m.ParentID WHERE m.DataType = 12 AND "
                  "NOT EXISTS (SELECT 1 FROM TpdbStructDefs s WHERE s.ID = m.StructID)"},
        {"PV501", "SELECT i.ID FROM TpdbItems i JOIN TpdbSimulation s ON s.ItemID = i.ID JOIN TpdbDevices d ON d.ID = "
                  "i.DeviceID WHERE d.Enabled = 0"},
        {"PV502", "SELECT g.ID FROM TpdbGroups g WHERE NOT EXISTS (SELECT 1 FROM TpdbConnections c JOIN TpdbItems i ON i.ID = "
                  "c.ItemID WHERE c.GroupID = g.ID)"},
        {"PV503", "SELECT d.ID FROM TpdbDevices d WHERE NOT EXISTS (SELECT 1 FROM TpdbItems i WHERE i.DeviceID = d.ID)"},
        // A row per language a text lacks, among texts that have some language (the template's two).
        {"PV504", itemsGroups + ", texts AS (SELECT ID, COALESCE(L1031, '') AS de, COALESCE(L1033, '') AS en FROM TidxTexts "
                                "WHERE ParentID IN (SELECT ID FROM items)) SELECT ID FROM texts WHERE de = '' AND en <> '' "
                                "UNION ALL SELECT ID FROM texts WHERE en = '' AND de <> ''"},
    };
}

Counts RunRaw(const QString& file, double* seconds) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        Fail(QStringLiteral("cannot open %1").arg(file));
    const std::vector<RawRule> rules = RawRules();
    Counts counts;
    const auto start = Clock::now();
    for (const RawRule& rule : rules) {
        sqlite3_stmt* statement = nullptr;
        const QByteArray sql = rule.sql.toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr) != SQLITE_OK)
            Fail(QStringLiteral("%1: %2").arg(QString::fromLatin1(rule.code), QString::fromUtf8(sqlite3_errmsg(db))));
        int rows = 0;
        int step;
        while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
            sqlite3_column_int64(statement, 0);
            ++rows;
        }
        if (step != SQLITE_DONE) Fail(QStringLiteral("%1: %2").arg(QString::fromLatin1(rule.code), QString::fromUtf8(sqlite3_errmsg(db))));
        sqlite3_finalize(statement);
        if (rows > 0) counts[QString::fromLatin1(rule.code)] += rows;
    }
    *seconds = Seconds(start);
    sqlite3_close(db);
    return counts;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 items = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 1000000;
    if (items < 1000) Fail(QStringLiteral("ITEMS must be at least 1000"));
    QTemporaryDir dir;
    if (!dir.isValid()) Fail(QStringLiteral("no temporary folder"));
    ov::sys::Registry registry(dir.filePath(QStringLiteral("registry.ini")));
    WriteInstallation(registry);
    const QString file = dir.filePath(QStringLiteral("large.ovs"));
    ov::model::LargeProjectOptions options;
    options.items = items;
    if (!ov::model::CreateLargeProject(file, options)) Fail(QStringLiteral("the project was not made"));
    const Counts planted = WriteFaults(file, items);

    double check = 0, raw = 0;
    const Counts found = RunCheck(file, registry, &check);
    const Counts queried = RunRaw(file, &raw);

    QStringList wrong;
    for (const ov::check::Rule& rule : ov::check::Rules()) {
        const QString code = QString::fromLatin1(rule.code);
        const bool bySql = code != QStringLiteral("PV401") && code != QStringLiteral("PV402");
        const int expected = bySql ? queried.value(code) : planted.value(code);
        if (found.value(code) != expected)
            wrong << QStringLiteral("%1: the check found %2, %3 %4").arg(code).arg(found.value(code))
                         .arg(bySql ? QStringLiteral("the queries") : QStringLiteral("the faults written")).arg(expected);
        else if (found.value(code) < planted.value(code))
            wrong << QStringLiteral("%1: %2 found of %3 faults written").arg(code).arg(found.value(code)).arg(planted.value(code));
    }
    if (!wrong.isEmpty()) Fail(wrong.join(QStringLiteral("; ")));

    Report("check_1m_s", check);
    Report("check_raw_sql_1m_s", raw);
    Report("check_ratio", check / raw);
    Report("check_incremental_item_ms", RunIncremental(file, registry));
    return 0;
}
