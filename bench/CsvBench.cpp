// CSV export and import of 100,000 items against raw references measured in
// the same run: a plain formatter over a prepared SELECT, and a prepared
// INSERT loop over fields split beforehand, in one transaction. Prints one
// "name: value" line per figure.

#include "model/ProjectTemplate.h"
#include "platform/db/Connection.h"
#include "tools/CsvFormat.h"
#include "tools/CsvTransfer.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kItems = 100000;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Fill(const QString& file, int items) {
    ov::model::CreateProjectDatabase(file);
    ov::db::Connection c;
    c.Open(ov::model::ProjectConnectionString(file));
    c.Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, HierarchBrowseSeparator) VALUES (1, 'PLC', '.')"));
    c.BeginTrans();
    for (int i = 1; i <= items; ++i) {
        const QString name = QStringLiteral("Line%1.Item%2").arg(i % 50).arg(i, 6, 10, QChar(u'0'));
        c.Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, MaxVal, Comment) VALUES (1, ?, ?, ?, ?)"),
                  {name, name, i * 0.5, QStringLiteral("Sensor %1; calibrated").arg(i)});
    }
    c.CommitTrans();
}

// Every column as SQLite gives its text, joined with ";", lines ended by CR LF.
double RawExport(const QString& file, const QString& out) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    const auto start = Clock::now();
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM TpdbItems ORDER BY ID", -1, &s, nullptr);
    std::string text;
    const int columns = sqlite3_column_count(s);
    while (sqlite3_step(s) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            if (i) text += ';';
            if (const auto* value = sqlite3_column_text(s, i)) text += reinterpret_cast<const char*>(value);
        }
        text += "\r\n";
    }
    sqlite3_finalize(s);
    QFile output(out);
    output.open(QIODevice::WriteOnly);
    output.write(text.data(), static_cast<qint64>(text.size()));
    output.close();
    const double seconds = Seconds(start);
    sqlite3_close(db);
    return seconds;
}

// The file's fields split beforehand, inserted by a prepared statement.
double RawImport(const QString& file, const QString& csv) {
    QFile input(csv);
    input.open(QIODevice::ReadOnly);
    std::vector<std::vector<std::string>> lines;
    while (!input.atEnd()) {
        const QString line = QString::fromLatin1(input.readLine()).trimmed();
        std::vector<std::string> fields;
        for (const QString& field : ov::tools::SplitCsvLine(line, 31)) fields.push_back(field.toStdString());
        lines.push_back(std::move(fields));
    }
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    std::string sql = "INSERT INTO TpdbItems VALUES (NULL";
    for (std::size_t i = 1; i < lines.front().size(); ++i) sql += ",?";
    sql += ")";
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr);
    const auto start = Clock::now();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (const auto& fields : lines) {
        for (std::size_t i = 1; i < fields.size(); ++i)
            sqlite3_bind_text(s, static_cast<int>(i), fields[i].c_str(), static_cast<int>(fields[i].size()), SQLITE_STATIC);
        if (sqlite3_step(s) != SQLITE_DONE) {
            std::fprintf(stderr, "bench_csv: raw import: %s\n", sqlite3_errmsg(db));
            std::exit(1);
        }
        sqlite3_reset(s);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double seconds = Seconds(start);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return seconds;
}

void Report(const char* name, double value) { std::printf("%s: %.3f\n", name, value); }

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("items.ovs"));
    Fill(file, kItems);
    const QString csv = dir.filePath(QStringLiteral("items.csv"));

    ov::db::Connection c;
    c.Open(ov::model::ProjectConnectionString(file));
    auto start = Clock::now();
    const ov::tools::ExportResult exported = ov::tools::ExportItemsBySql(
        c, QStringLiteral("SELECT * FROM TpdbItems ORDER BY ID"), csv, ov::tools::CsvEncoding::Ansi, QLocale::c());
    const double exportSeconds = Seconds(start);
    if (!exported.error.isEmpty() || exported.rows != kItems) {
        std::fprintf(stderr, "bench_csv: export: %s\n", qPrintable(exported.error));
        return 1;
    }
    const double rawExport = RawExport(file, dir.filePath(QStringLiteral("raw.csv")));
    c.Close();

    // Into a project without items, every line as a new item.
    const QString target = dir.filePath(QStringLiteral("target.ovs"));
    const QString rawTarget = dir.filePath(QStringLiteral("raw-target.ovs"));
    Fill(target, 0);
    QFile::copy(target, rawTarget);
    ov::db::Connection t;
    t.Open(ov::model::ProjectConnectionString(target));
    start = Clock::now();
    const ov::tools::ImportResult imported =
        ov::tools::ImportItems(t, csv, 0, {}, [](qint64 line) { return QString::number(line); });
    const double importSeconds = Seconds(start);
    if (!imported.Applied() || imported.inserted != kItems) {
        std::fprintf(stderr, "bench_csv: import: %s%s (%lld rejected)\n", qPrintable(imported.fileError), qPrintable(imported.dbError),
                     static_cast<long long>(imported.rejected.size()));
        return 1;
    }
    const double rawImport = RawImport(rawTarget, csv);

    Report("csv_export_100k_s", exportSeconds);
    Report("csv_export_100k_raw_s", rawExport);
    Report("csv_export_100k_speed_vs_raw", rawExport / exportSeconds);
    Report("csv_import_100k_s", importSeconds);
    Report("csv_import_100k_raw_s", rawImport);
    Report("csv_import_100k_speed_vs_raw", rawImport / importSeconds);
    return 0;
}
