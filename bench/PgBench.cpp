// A project of 1,000,000 items on a PostgreSQL server of its own (a
// throwaway cluster in a temporary folder) beside the same project as a
// file: copying it to the server and back, opening it in the editor,
// clicking a folder, pasting and deleting 10,000 items against the same
// rows written through libpq directly, and how soon another connection
// hears of a commit. Prints one "name: value" line per figure, ratios as
// "name_ratio: x" (the editor's time over the reference's).
//
//   bench_pg [ITEMS]   (default 1000000; fewer only to try it out)
//   bench_pg --open FILE URL [RUNS]
//       only opens a project made before (a file and the same project on a
//       server, e.g. with "ovopc new" and "ovopc copy") with its tree, RUNS
//       times each (default 3), and prints the medians: the copy of a
//       million items takes minutes, the open a second.

#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "model/LargeProject.h"
#include "model/ProjectCopy.h"
#include "model/ProjectDiff.h"
#include "model/ProjectTemplate.h"
#include "opc/MOpc.h"
#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "platform/db/Recordset.h"
#include "platform/host/InMemoryHost.h"
#include "platform/system/SystemTools.h"
#include "support/PgCluster.h"
#include "tools/MTools.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <libpq-fe.h>
#include <map>
#include <poll.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kNotices = 50;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }
double Ms(Clock::time_point start) { return Seconds(start) * 1000; }
void Report(const char* name, double value) { std::printf("%s: %.3f\n", name, value); }
void Ratio(const char* name, double mine, double raw) { std::printf("%s_ratio: %.2f\n", name, raw > 0 ? mine / raw : 0.0); }

void Complain(const std::string& what) { std::fprintf(stderr, "bench_pg: %s\n", what.c_str()); }

[[noreturn]] void Fail(const std::string& what) {
    Complain(what);
    std::exit(1);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// What a person sees first: the texts of the first rows of the item grid.
void PaintFirstRows(ov::ui::GridModel& grid, int rows) {
    const int shown = std::min(rows, grid.RowCount());
    for (int r = 0; r < shown; ++r)
        for (int c : grid.DisplayColumns(1)) grid.CellText(r, c);
}

qint64 Scalar(ov::db::Connection& connection, const QString& sql) {
    ov::db::Cursor row(connection, sql);
    if (!row.Next()) Fail("no row: " + sql.toStdString());
    return row.Value(0).toLongLong();
}

// The rows of the tables an item command touches, to see that the editor
// and the raw reference changed the same number of rows of each.
std::map<QString, qint64> RowCounts(ov::db::Connection& connection) {
    std::map<QString, qint64> counts;
    for (const char* table : {"TpdbItems", "TpdbConnections", "TidxTexts", "TpdbSimulation"})
        counts[QString::fromUtf8(table)] = Scalar(connection, QStringLiteral("SELECT COUNT(*) FROM ") + QString::fromUtf8(table));
    return counts;
}

std::map<QString, qint64> Difference(const std::map<QString, qint64>& before, const std::map<QString, qint64>& after) {
    std::map<QString, qint64> changed;
    for (const auto& [table, count] : after) changed[table] = count - before.at(table);
    return changed;
}

std::string Describe(const std::map<QString, qint64>& changes) {
    std::string text;
    for (const auto& [table, count] : changes) text += table.toStdString() + " " + std::to_string(count) + " ";
    return text;
}

// The project's rows through libpq alone, with the project's schema first
// on the search path: the reference the editor's commands are held against.
class RawServer {
public:
    RawServer(const QString& conninfo, const QString& schema) : m_conn(PQconnectdb(conninfo.toUtf8().constData())) {
        if (PQstatus(m_conn) != CONNECTION_OK) Fail(std::string("raw connection: ") + PQerrorMessage(m_conn));
        Exec("SET search_path = \"" + schema.toStdString() + "\", public");
    }
    ~RawServer() { PQfinish(m_conn); }
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    void Exec(const std::string& sql) {
        PGresult* r = PQexec(m_conn, sql.c_str());
        Check(r, sql);
        PQclear(r);
    }

    std::vector<std::vector<std::string>> Rows(const std::string& sql, std::vector<std::string>* columns = nullptr) {
        PGresult* r = PQexec(m_conn, sql.c_str());
        Check(r, sql);
        if (columns)
            for (int c = 0; c < PQnfields(r); ++c) columns->push_back(PQfname(r, c));
        std::vector<std::vector<std::string>> rows;
        for (int i = 0; i < PQntuples(r); ++i) {
            std::vector<std::string> row;
            for (int c = 0; c < PQnfields(r); ++c) row.push_back(PQgetisnull(r, i, c) ? std::string("\x01null") : PQgetvalue(r, i, c));
            rows.push_back(std::move(row));
        }
        PQclear(r);
        return rows;
    }

    void Prepare(const char* name, const std::string& sql) {
        PGresult* r = PQprepare(m_conn, name, sql.c_str(), 0, nullptr);
        Check(r, sql);
        PQclear(r);
    }

    // Runs a prepared statement; gives the first value of its first row, if any.
    std::string Run(const char* name, const std::vector<std::string>& values) {
        std::vector<const char*> pointers;
        for (const std::string& v : values) pointers.push_back(v == "\x01null" ? nullptr : v.c_str());
        PGresult* r = PQexecPrepared(m_conn, name, static_cast<int>(pointers.size()), pointers.data(), nullptr, nullptr, 0);
        Check(r, name);
        std::string first = PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : "";
        PQclear(r);
        return first;
    }

private:
    static void Check(PGresult* r, const std::string& what) {
        const ExecStatusType s = PQresultStatus(r);
        if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) {
            const std::string message = PQresultErrorMessage(r);
            PQclear(r);
            Fail(message + " in: " + what);
        }
    }

    PGconn* m_conn;
};

// A headless studio on a project with the device's tree open.
struct Studio {
    ov::host::InMemoryHost host;
    ov::host::Connect session;
    double openSeconds = 0;

    explicit Studio(const QString& project) {
        const auto start = Clock::now();
        session.Initialize(project, QString(), &host, &host);
        session.NodeExpand(QString(), QStringLiteral("OPCE0"), QString());
        openSeconds = Seconds(start);
    }
    ~Studio() { session.Terminate(); }

    ov::editor::frmtabgridOPC& Window() { return dynamic_cast<ov::editor::frmtabgridOPC&>(*session.Window()); }
    void Click(const QString& key) { session.NodeClick(QString(), key, QString()); }
    // A command of a folder's context menu: the items below the folder.
    void FolderTool(const char* name) {
        Window().ComputeAvailability(Window().CurrentNode(), true);
        Window().ClickTool(QString::fromUtf8(name));
    }
};

// A warm-up click, then the median of a few folder clicks to their first 50 rows.
double FolderClickMs(Studio& studio, const QString& deviceKey, qint64 items) {
    const QChar sep = ov::host::nodekey::kSeparator;
    studio.Click(deviceKey + sep + ov::model::LargeProjectFolder(1));
    std::vector<double> clicks;
    for (int folder : {537, 123, 868, 402, 955}) {
        const auto start = Clock::now();
        studio.Click(deviceKey + sep + ov::model::LargeProjectFolder(folder));
        PaintFirstRows(studio.Window().tdbI(), 50);
        clicks.push_back(Ms(start));
        if (studio.Window().tdbI().RowCount() != static_cast<int>((items + 999) / 1000))
            Complain("the folder shows " + std::to_string(studio.Window().tdbI().RowCount()) + " rows");
    }
    return Median(clicks);
}

// The range of item names below a folder (its name and a separator).
std::string Below(const QString& folder) {
    const std::string f = folder.toStdString();
    return "\"ItemAccess\" >= '" + f + ".' AND \"ItemAccess\" < '" + f + "/'";
}

// Inserts the items below source again below target, named from source's own
// folder on as a branch copy names them, each with its connection to group
// 1, one prepared statement per row in one transaction: the rows a paste
// writes. Gives seconds.
double RawInsert(RawServer& raw, const QString& source, const QString& target) {
    std::vector<std::string> columns;
    const auto rows = raw.Rows("SELECT * FROM \"TpdbItems\" WHERE " + Below(source) + " ORDER BY \"ItemAccess\"", &columns);
    std::string names, marks;
    std::vector<std::size_t> kept;
    std::size_t nameColumn = 0, accessColumn = 0;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c] == "ID") continue;
        if (columns[c] == "Name") nameColumn = kept.size();
        if (columns[c] == "ItemAccess") accessColumn = kept.size();
        names += (kept.empty() ? "\"" : ", \"") + columns[c] + "\"";
        marks += (kept.empty() ? "$" : ", $") + std::to_string(kept.size() + 1);
        kept.push_back(c);
    }
    raw.Prepare("raw_item", "INSERT INTO \"TpdbItems\" (" + names + ") VALUES (" + marks + ") RETURNING \"ID\"");
    raw.Prepare("raw_connection", "INSERT INTO \"TpdbConnections\" (\"GroupID\", \"ItemID\") VALUES (1, $1)");
    const std::size_t prefix = static_cast<std::size_t>(source.lastIndexOf(u'.') + 1);
    std::vector<std::vector<std::string>> values;
    for (const auto& row : rows) {
        std::vector<std::string> v;
        for (std::size_t c : kept) v.push_back(row[c]);
        v[nameColumn] = target.toStdString() + "." + row[kept[nameColumn]].substr(prefix);
        v[accessColumn] = v[nameColumn];
        values.push_back(std::move(v));
    }
    const auto start = Clock::now();
    raw.Exec("BEGIN");
    std::vector<std::string> ids;
    for (const auto& v : values) ids.push_back(raw.Run("raw_item", v));
    for (const std::string& id : ids) raw.Run("raw_connection", {id});
    raw.Exec("COMMIT");
    return Seconds(start);
}

// Deletes the items below a folder with their connections, index texts and
// simulation rows, one prepared statement per row in one transaction.
double RawDelete(RawServer& raw, const QString& folder, bool simulation) {
    const auto rows = raw.Rows("SELECT \"ID\", \"TextID\" FROM \"TpdbItems\" WHERE " + Below(folder));
    raw.Prepare("raw_delete_connection", "DELETE FROM \"TpdbConnections\" WHERE \"ItemID\" = $1");
    raw.Prepare("raw_delete_simulation", "DELETE FROM \"TpdbSimulation\" WHERE \"ItemID\" = $1");
    raw.Prepare("raw_delete_item", "DELETE FROM \"TpdbItems\" WHERE \"ID\" = $1");
    raw.Prepare("raw_delete_text", "DELETE FROM \"TidxTexts\" WHERE \"ID\" = $1");
    const auto start = Clock::now();
    raw.Exec("BEGIN");
    for (const auto& row : rows) raw.Run("raw_delete_connection", {row[0]});
    if (simulation)
        for (const auto& row : rows) raw.Run("raw_delete_simulation", {row[0]});
    for (const auto& row : rows) raw.Run("raw_delete_item", {row[0]});
    for (const auto& row : rows)
        if (row[1] != "\x01null" && row[1] != "0") raw.Run("raw_delete_text", {row[1]});
    raw.Exec("COMMIT");
    return Seconds(start);
}

struct NoticeTimes {
    double heardMs = 0;  // median, commit to the listener's news of the row
    double rowMs = 0;    // median, commit to the row read again with its new value
};

// One connection commits a change of an item at a time; the other waits on
// its listener's socket, takes the news and reads the row again.
NoticeTimes Notices(ov::db::Connection& writer, ov::db::Connection& reader, ov::db::ChangeListener& listener, qint64 firstItem,
                    const char* round) {
    std::vector<double> heard, refreshed;
    for (int n = 0; n < kNotices; ++n) {
        const qint64 item = firstItem + n;
        ov::db::Recordset row;
        row.Open(QStringLiteral("SELECT ID, Comment FROM TpdbItems WHERE ID = %1").arg(item), reader);
        row.Value(QStringLiteral("Comment"));
        const QString comment = QStringLiteral("%1 %2").arg(QString::fromUtf8(round)).arg(n);
        writer.BeginTrans();
        writer.Execute(QStringLiteral("UPDATE TpdbItems SET Comment = ? WHERE ID = ?"), {comment, item});
        const auto start = Clock::now();
        writer.CommitTrans();
        bool found = false;
        while (!found && Seconds(start) < 5) {
            pollfd news{listener.SocketDescriptor(), POLLIN, 0};
            if (::poll(&news, 1, 100) <= 0) continue;
            for (const ov::db::OthersChange& change : listener.Take())
                found = found || (change.key == item && change.table.compare(QStringLiteral("TpdbItems"), Qt::CaseInsensitive) == 0);
        }
        if (!found) {
            Complain(std::string(round) + ": no news of item " + std::to_string(item) + " within 5 s");
            heard.push_back(5000);
            refreshed.push_back(5000);
            continue;
        }
        heard.push_back(Ms(start));
        reader.ForgetCachedRows();
        if (row.Value(QStringLiteral("Comment")).toString() != comment)
            Complain(std::string(round) + ": the row read again shows an old comment");
        refreshed.push_back(Ms(start));
        // Commits a little apart, as engineers make them.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {Median(heard), Median(refreshed)};
}

// The median of a few opens of a project with its tree, in seconds.
double MedianOpen(const QString& project, int runs = 3) {
    std::vector<double> opens;
    for (int run = 0; run < runs; ++run) opens.push_back(Studio(project).openSeconds);
    return Median(opens);
}

// Opens each project a few times with its tree; the medians of the opens.
int OpenOnly(const QString& file, const QString& server, int runs) {
    QTemporaryDir dir;
    ov::sys::SystemTools::Instance().SetRegistryFile(dir.filePath(QStringLiteral("registry.ini")));
    ov::opc::InstallEditor();
    ov::tools::InstallEditor();
    Report("file_open_tree_1m_s", MedianOpen(file, runs));
    Report("pg_open_tree_1m_s", MedianOpen(server, runs));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == QStringLiteral("--open")) {
        if (argc < 4) Fail("--open needs FILE and URL");
        return OpenOnly(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                        argc > 4 ? std::max(1, QString::fromLocal8Bit(argv[4]).toInt()) : 3);
    }
    const qint64 items = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 1000000;
    const ov::test::PgCluster* cluster = ov::test::SharedPgCluster();
    if (!cluster) Fail(ov::test::PgClusterUnavailable().toStdString());
    const QString database = QStringLiteral("bench");
    cluster->CreateDatabase(database);
    const QString schema = QStringLiteral("scale");
    const QString server = cluster->Url(database, schema);

    QTemporaryDir dir;
    ov::sys::SystemTools::Instance().SetRegistryFile(dir.filePath(QStringLiteral("registry.ini")));
    const QString file = dir.filePath(QStringLiteral("scale.ovs"));
    const QString back = dir.filePath(QStringLiteral("back.ovs"));
    ov::model::LargeProjectOptions options;
    options.items = items;
    options.devices = 1;
    ov::model::CreateLargeProject(file, options);

    // The project to the server and back, and the three compared.
    auto start = Clock::now();
    ov::model::CopyProject(file, server);
    Report("pg_copy_1m_to_server_s", Seconds(start));
    start = Clock::now();
    ov::model::CopyProject(server, back);
    Report("pg_copy_1m_to_file_s", Seconds(start));
    {
        ov::db::Connection original, onServer, returned;
        original.Open(ov::model::ProjectReadConnectionString(file));
        onServer.Open(ov::model::ProjectReadConnectionString(server));
        returned.Open(ov::model::ProjectReadConnectionString(back));
        start = Clock::now();
        const ov::model::ProjectDiff there = ov::model::DiffProjects(original, onServer);
        Report("pg_diff_1m_s", Seconds(start));
        const ov::model::ProjectDiff home = ov::model::DiffProjects(original, returned);
        if (!there.Same() || !home.Same())
            Complain("the copies differ: " + std::to_string(there.added.size() + there.removed.size() + there.changed.size()) +
                     " entries on the server, " + std::to_string(home.added.size() + home.removed.size() + home.changed.size()) +
                     " in the file copied back");
        std::printf("pg_diff_1m_same: %d\n", there.Same() && home.Same() ? 1 : 0);
    }

    ov::db::Connection files;
    files.Open(ov::model::ProjectReadConnectionString(file));
    const qint64 deviceId = Scalar(files, QStringLiteral("SELECT ID FROM TpdbDevices WHERE Name = 'Plant1'"));
    files.Close();
    const QString deviceKey = ov::host::nodekey::DeviceKey(static_cast<int>(deviceId), QStringLiteral("."), false);
    const QChar sep = ov::host::nodekey::kSeparator;

    ov::opc::InstallEditor();
    ov::tools::InstallEditor();

    // The file first, for comparison: open with the tree, a folder click.
    // The first open right after the copy is told apart: the server may
    // still be writing the copy's pages out and vacuuming.
    {
        Report("file_open_tree_1m_first_s", Studio(file).openSeconds);
        Report("file_open_tree_1m_s", MedianOpen(file));
        Studio studio(file);
        Report("file_folder_click_1m_ms", FolderClickMs(studio, deviceKey, items));
    }

    Report("pg_open_tree_1m_first_s", Studio(server).openSeconds);
    Report("pg_open_tree_1m_s", MedianOpen(server));
    Studio studio(server);
    Report("pg_folder_click_1m_ms", FolderClickMs(studio, deviceKey, items));

    // A second engineer's connection with its listener, open through the
    // paste and delete below: its news later come after much logged work.
    ov::db::Connection writer, reader;
    writer.Open(ov::model::ProjectConnectionString(server));
    reader.Open(ov::model::ProjectConnectionString(server));
    std::unique_ptr<ov::db::ChangeListener> veteran = reader.ListenForOthers();
    if (!veteran) Fail("a server project gives no listener");

    // Paste: the 10,000 items of one line (ten folders) into another folder.
    auto& window = studio.Window();
    window.Settings().WriteAValueToCInits(QStringLiteral("RequestOnDelete"), false);
    ov::db::Connection& data = window.Data()->Connection();
    const qint64 perLine = 10 * ((items + 999) / 1000);
    studio.Click(deviceKey + sep + QStringLiteral("Area3.Line5"));
    studio.FolderTool("mnuDeviceHelperItemsCopy");
    studio.Click(deviceKey + sep + ov::model::LargeProjectFolder(999));
    auto before = RowCounts(data);
    start = Clock::now();
    studio.FolderTool("mnuDeviceHelperItemsPaste");
    const double paste = Seconds(start);
    const auto pasted = Difference(before, RowCounts(data));

    RawServer raw(cluster->ConnectionInfo(database), schema);
    before = RowCounts(data);
    const double rawPaste = RawInsert(raw, QStringLiteral("Area3.Line5"), ov::model::LargeProjectFolder(998));
    const auto rawPasted = Difference(before, RowCounts(data));
    if (pasted.at(QStringLiteral("TpdbItems")) != perLine || pasted != rawPasted)
        Complain("the paste wrote " + Describe(pasted) + "; the raw inserts " + Describe(rawPasted));
    Report("pg_paste_10k_ms", paste * 1000);
    Report("pg_raw_insert_10k_ms", rawPaste * 1000);
    Ratio("pg_paste", paste, rawPaste);

    // Delete: the 10,000 items of another line, with what hangs on them.
    studio.Click(deviceKey + sep + QStringLiteral("Area6.Line1"));
    before = RowCounts(data);
    start = Clock::now();
    studio.FolderTool("mnuDeviceHelperItemsDelete");
    const double remove = Seconds(start);
    const auto deleted = Difference(before, RowCounts(data));
    before = RowCounts(data);
    const double rawRemove = RawDelete(raw, QStringLiteral("Area6.Line2"), deleted.at(QStringLiteral("TpdbSimulation")) != 0);
    const auto rawDeleted = Difference(before, RowCounts(data));
    if (deleted.at(QStringLiteral("TpdbItems")) != -perLine || deleted != rawDeleted)
        Complain("the delete removed " + Describe(deleted) + "; the raw deletes " + Describe(rawDeleted));
    Report("pg_delete_10k_ms", remove * 1000);
    Report("pg_raw_delete_10k_ms", rawRemove * 1000);
    Ratio("pg_delete", remove, rawRemove);

    // Another connection hears of each commit: a listener new to the project,
    // and the one that was open through the work above.
    const qint64 firstItem = Scalar(writer, QStringLiteral("SELECT MIN(ID) FROM TpdbItems WHERE DeviceID = %1").arg(deviceId));
    std::unique_ptr<ov::db::ChangeListener> fresh = reader.ListenForOthers();
    const NoticeTimes fresher = Notices(writer, reader, *fresh, firstItem, "fresh");
    fresh.reset();
    veteran->Take();  // the backlog of the paste and delete, told once
    const NoticeTimes older = Notices(writer, reader, *veteran, firstItem + kNotices, "after bulk");
    Report("pg_notify_latency_ms", fresher.heardMs);
    Report("pg_notify_to_row_ms", fresher.rowMs);
    Report("pg_notify_after_bulk_latency_ms", older.heardMs);
    return 0;
}
