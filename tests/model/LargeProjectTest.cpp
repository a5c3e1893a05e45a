// The generator of large projects: what it writes, in which layout, and
// that a stopped run leaves no file.

#include "model/LargeProject.h"
#include "model/ProjectTemplate.h"
#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"
#include "support/QtPrinters.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ov;

namespace {

int Count(db::Connection& c, const QString& sql) {
    db::Recordset rs;
    rs.Open(sql, c);
    return rs.Fields(0).Value().toInt();
}

TEST(LargeProjectTest, ItemsSpreadOverDevicesAndAThousandFoldersThreeLevelsDeep) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("large.ovs"));
    model::LargeProjectOptions options;
    options.items = 6000;
    options.devices = 2;
    qint64 last = 0;
    options.progress = [&last](qint64 done, qint64 total) {
        EXPECT_EQ(total, 6000);
        last = done;
        return true;
    };
    ASSERT_TRUE(model::CreateLargeProject(file, options));
    EXPECT_EQ(last, 6000);
    db::Connection c;
    c.Open(model::ProjectConnectionString(file));
    const std::pair<const char*, int> counts[] = {
        {"SELECT Count(*) FROM TpdbItems i JOIN TpdbDevices d ON d.ID = i.DeviceID WHERE d.Name LIKE 'Plant%'", 6000},
        {"SELECT Count(*) FROM TpdbDevices WHERE Name LIKE 'Plant%'", 2},
        // Shared evenly, every generated item in exactly one of the ten bulk groups.
        {"SELECT Count(*) FROM TpdbItems i JOIN TpdbDevices d ON d.ID = i.DeviceID WHERE d.Name = 'Plant2'", 3000},
        {"SELECT Count(*) FROM TpdbConnections c JOIN TpdbGroups g ON g.ID = c.GroupID WHERE g.Name LIKE 'Bulk%'", 6000},
        {"SELECT Count(*) FROM TpdbItems i JOIN TidxTexts t ON t.ID = i.TextID "
         "WHERE i.Name LIKE 'Area%' AND t.L1031 LIKE 'Messwert%' AND t.L1033 LIKE 'Measurement%'", 1500},
        {"SELECT Count(*) FROM TpdbSimulation s JOIN TpdbItems i ON i.ID = s.ItemID WHERE i.Name LIKE 'Area%'", 60},
        // Each device's 3,000 items fill the thousand folders, three to a folder.
        {"SELECT Count(DISTINCT substr(Name, 1, instr(Name, '.Item') - 1)) FROM TpdbItems WHERE Name LIKE 'Area%'", 1000},
        {"SELECT Count(*) FROM TpdbItems WHERE Name LIKE 'Area5.Line3.Unit7.%'", 6},
        {"SELECT Count(*) FROM TpdbItems WHERE Name = 'Area9.Line9.Unit9.Item0002999'", 2}};
    for (const auto& [sql, expected] : counts) EXPECT_EQ(Count(c, QString::fromUtf8(sql)), expected) << sql;
}

TEST(LargeProjectTest, AStoppedRunLeavesNoFile) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("stopped.ovs"));
    model::LargeProjectOptions options;
    options.items = 30000;
    options.progress = [](qint64 done, qint64) { return done < 20000; };
    EXPECT_FALSE(model::CreateLargeProject(file, options));
    EXPECT_FALSE(QFile::exists(file));
}

}  // namespace
