// Recordset benchmarks on a project with 100,000 items in one device.
// Prints one "name: value" line per figure.

#include "model/ProjectTemplate.h"
#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <malloc.h>
#include <sqlite3.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kItems = 100000;
constexpr int kDevice = 1;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Heap bytes in use: unlike the resident size, it is not hidden by memory
// the allocator kept from earlier runs.
long HeapKb() { return static_cast<long>(mallinfo2().uordblks / 1024); }

QString ItemName(int i) { return QStringLiteral("Line%1.Motor%2.Speed").arg(i / 1000).arg(i % 1000); }

double InsertThroughRecordset(const QString& file, int device, int count) {
    ov::db::Connection connection;
    connection.Open(ov::model::ProjectConnectionString(file));
    ov::db::Recordset rs;
    rs.Open(QStringLiteral("SELECT * FROM TpdbItems WHERE DeviceID = %1").arg(device), connection);
    const auto start = Clock::now();
    connection.BeginTrans();
    for (int i = 0; i < count; ++i) {
        rs.AddNew();
        const QString name = ItemName(i);
        rs.SetValue(QStringLiteral("DeviceID"), device);
        rs.SetValue(QStringLiteral("Name"), name);
        rs.SetValue(QStringLiteral("ItemAccess"), name);
        rs.SetValue(QStringLiteral("DataType"), 4);
        rs.Update();
    }
    connection.CommitTrans();
    return Seconds(start);
}

double InsertRaw(const QString& file, int count) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, DataType) VALUES (?, ?, ?, ?)", -1, &insert,
                       nullptr);
    const auto start = Clock::now();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (int i = 0; i < count; ++i) {
        const QByteArray name = ItemName(i).toUtf8();
        sqlite3_bind_int(insert, 1, kDevice);
        sqlite3_bind_text(insert, 2, name.constData(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, name.constData(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 4, 4);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double seconds = Seconds(start);
    sqlite3_finalize(insert);
    sqlite3_close(db);
    return seconds;
}

struct OpenFigures {
    double milliseconds;
    long heapGrowthKb;
};

// Opens the device's items and reads the first 50 rows, as a grid's first paint does.
OpenFigures OpenAndReadFirstRows(ov::db::Connection& connection, int device) {
    const long heapBefore = HeapKb();
    const auto start = Clock::now();
    ov::db::Recordset rs;
    rs.Open(QStringLiteral("SELECT * FROM TpdbItems WHERE DeviceID = %1").arg(device), connection);
    int read = 0;
    for (; read < 50 && !rs.IsEOF(); ++read) {
        for (int f = 0; f < rs.FieldCount(); ++f) (void)rs.Fields(f).Value();
        rs.MoveNext();
    }
    const double ms = Seconds(start) * 1000.0;
    return {ms, HeapKb() - heapBefore};
}

}  // namespace

int main() {
    QTemporaryDir dir;
    const QString viaRecordset = dir.filePath(QStringLiteral("recordset.ovs"));
    const QString viaRaw = dir.filePath(QStringLiteral("raw.ovs"));
    ov::model::CreateProjectDatabase(viaRecordset);
    ov::model::CreateProjectDatabase(viaRaw);

    const double recordsetSeconds = InsertThroughRecordset(viaRecordset, kDevice, kItems);
    const double rawSeconds = InsertRaw(viaRaw, kItems);
    std::printf("recordset_insert_100k_s: %.3f\n", recordsetSeconds);
    std::printf("raw_insert_100k_s: %.3f\n", rawSeconds);
    std::printf("recordset_insert_ratio: %.2f\n", rawSeconds / recordsetSeconds);

    // A small device beside the large one, to compare memory for 1,000 and 100,000 rows.
    InsertThroughRecordset(viaRecordset, 2, 1000);
    ov::db::Connection connection;
    connection.Open(ov::model::ProjectConnectionString(viaRecordset));
    OpenAndReadFirstRows(connection, kDevice);  // warm the file cache
    std::vector<double> times;
    for (int run = 0; run < 7; ++run) times.push_back(OpenAndReadFirstRows(connection, kDevice).milliseconds);
    std::sort(times.begin(), times.end());
    const OpenFigures small = OpenAndReadFirstRows(connection, 2);
    const OpenFigures large = OpenAndReadFirstRows(connection, kDevice);
    std::printf("recordset_open_first50_100k_ms: %.2f\n", times[times.size() / 2]);
    // What an open recordset holds besides its cached pages: the row keys.
    std::printf("recordset_open_heap_1k_rows_kb: %ld\n", small.heapGrowthKb);
    std::printf("recordset_open_heap_100k_rows_kb: %ld\n", large.heapGrowthKb);
    return 0;
}
