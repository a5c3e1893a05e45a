// The project template every new project is made from, and the demo plant
// made on top of it.

#include "model/DemoProject.h"
#include "model/ProjectTemplate.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "support/Files.h"
#include "support/TempProject.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ov;
using ov::test::TempProject;

namespace {

db::DataType TypeOf(db::Connection& connection, const char* table, const char* column) {
    for (const auto& info : connection.Columns(QString::fromUtf8(table)))
        if (info.name == QString::fromUtf8(column)) return info.type;
    return db::DataType::Empty;
}

int Count(db::Connection& connection, const QString& sql) {
    db::Recordset rs;
    rs.Open(sql, connection);
    return rs.RecordCount();
}

TEST(ProjectTemplate, HasEveryTableWithTheTypesTheEditorReads) {
    TempProject project;
    auto connection = project.Open();
    // A column of every table; the tables without one here have their indexes checked below.
    using db::DataType;
    const std::tuple<const char*, const char*, DataType> types[] = {
        {"TpdbDevices", "BlobMode", DataType::SmallInt}, {"TpdbDevices", "IsBrowsed", DataType::Boolean},
        {"TpdbDevices", "Comment", DataType::LongVarWChar}, {"TpdbItems", "MinVal", DataType::Double},
        {"TpdbItems", "WriteThru", DataType::Boolean}, {"TpdbItems", "Name", DataType::VarWChar},
        {"TpdbItems", "Options", DataType::Integer}, {"TpdbGroups", "AsyncRead", DataType::Boolean},
        {"TpdbStructDefs", "OrderByOffset", DataType::Boolean}, {"TpdbUnits", "PhysicalMinVal", DataType::VarWChar},
        {"TpdbUnitClasses", "SwitchType", DataType::Integer}, {"TpdbAlign", "ItemID", DataType::Integer},
        {"TidxTexts", "L1031", DataType::LongVarWChar}, {"TidxTexts", "L1033", DataType::LongVarWChar},
        {"TidxGroups", "Type", DataType::Integer}, {"TcfgLanguages", "LCID", DataType::Integer},
    };
    for (const auto& [table, column, type] : types) EXPECT_EQ(TypeOf(*connection, table, column), type) << table << "." << column;

    const auto items = connection->Columns(QStringLiteral("TpdbItems"));
    ASSERT_GE(items.size(), 20u);
    EXPECT_EQ(items[0].name, QStringLiteral("ID"));
    EXPECT_EQ(items[2].name, QStringLiteral("DeviceID")) << "the item import reads the device from the third column";
}

TEST(ProjectTemplate, HasTheNamedIndexesStartRowsAndNamesWithoutLetterCase) {
    TempProject project;
    auto connection = project.Open();
    const auto hasIndex = [&](const char* table, const char* index, QStringList columns, bool unique) {
        for (const auto& info : connection->Indexes(QString::fromUtf8(table)))
            if (info.name == QString::fromUtf8(index)) return info.columns == columns && info.unique == unique;
        return false;
    };
    const std::tuple<const char*, const char*, QStringList, bool> indexes[] = {
        {"TpdbItems", "UniqueName", {"Name", "DeviceID"}, true}, {"TpdbItems", "UniqueItemAccess", {"DeviceID", "ItemAccess"}, true},
        {"TpdbUnits", "UnitEntry", {"ParentID", "SwitchID"}, true}, {"TpdbStructMembers", "MemberName", {"ParentID", "Name"}, true},
        {"TpdbConnections", "Connection", {"GroupID", "ItemID"}, true}, {"TpdbConnections", "ItemID", {"ItemID"}, false},
        {"TpdbDevices", "ID", {"ID"}, true}, {"TpdbSimulation", "ItemID", {"ItemID"}, true},
    };
    for (const auto& [table, index, columns, unique] : indexes) EXPECT_TRUE(hasIndex(table, index, columns, unique)) << index;

    EXPECT_EQ(Count(*connection, QStringLiteral("SELECT * FROM TpdbGroups WHERE ID = 1")), 1);
    EXPECT_EQ(Count(*connection, QStringLiteral("SELECT * FROM TidxGroups WHERE ParentID = 0 AND Type = -3")), 1);
    EXPECT_EQ(Count(*connection, QStringLiteral("SELECT * FROM TcfgLanguages WHERE LCID IN (1031, 1033)")), 2);

    db::Recordset languages;
    languages.Open(QStringLiteral("SELECT Font FROM TcfgLanguages"), *connection);
    const QString font = languages.Value(QStringLiteral("Font")).toString();
    EXPECT_EQ(font.left(31).trimmed(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(font.mid(31, 4).trimmed().toInt(), 10) << "the size starts in the 32nd column";

    connection->Execute(QStringLiteral("INSERT INTO TpdbGroups (Name) VALUES ('Fast')"));
    EXPECT_THROW(connection->Execute(QStringLiteral("INSERT INTO TpdbGroups (Name) VALUES ('FAST')")), db::DbError)
        << "group names are unique without regard to case";
    EXPECT_EQ(Count(*connection, QStringLiteral("SELECT * FROM TpdbGroups WHERE Name = 'fast'")), 1);
}

TEST(ProjectTemplate, NeverReplacesAFileAndLeavesNothingBehindOnFailure) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.ovs"));
    ASSERT_EQ(test::WriteFile(path, "keep me"), path);
    EXPECT_THROW(model::CreateProjectDatabase(path), db::DbError);
    EXPECT_EQ(test::ReadFile(path), QByteArray("keep me"));

    EXPECT_THROW(model::CreateProjectDatabase(dir.filePath(QStringLiteral("no/such/folder/p.ovs"))), db::DbError);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList{QStringLiteral("p.ovs")});
}

TEST(DemoProject, ShowsEveryFeature) {
    TempProject project(TempProject::Content::Demo);
    auto connection = project.Open();
    // The counts are what "ovopc info" prints; here, the features other tests rely on.
    // The rows of each, or at least one where the count is -1.
    const std::pair<const char*, int> counts[] = {
        {"TpdbDevices WHERE HierarchBrowseSeparator = '.'", 1}, {"TpdbDevices WHERE BlobMode = 3 AND ProgID Like '<1>%'", 1},
        {"TpdbDevices WHERE BlobMode <> 3 AND (HierarchBrowseSeparator IS NULL OR HierarchBrowseSeparator = '')", 1},
        {"TpdbItems WHERE Name Like '%.%.%.%'", -1},  // folders nested three deep
        {"TpdbItems WHERE DeviceID = 0", -1},         // internal variables
        {"TpdbStructMembers WHERE DataType = 256", 3}, {"TpdbStructMembers WHERE DataType = 12 AND StructID > 0", 1},
        {"TpdbItems WHERE DataType = 12 AND StructID > 0", 1}, {"TpdbUnitClasses WHERE SwitchType = 0", 1},
        {"TpdbUnitClasses WHERE SwitchType = 1", 1}, {"TpdbSimulation", 2}, {"TpdbAlign", 1},
        {"TpdbItems INNER JOIN TidxTexts ON TpdbItems.TextID = TidxTexts.ID WHERE L1031 <> '' AND L1033 <> ''", 4},
        // Every item is connected to the default group.
        {"TpdbItems WHERE ID NOT IN (SELECT ItemID FROM TpdbConnections WHERE GroupID = 1)", 0},
    };
    for (const auto& [from, expected] : counts) {
        const int n = Count(*connection, QStringLiteral("SELECT * FROM ") + QString::fromUtf8(from));
        EXPECT_TRUE(expected < 0 ? n >= 1 : n == expected) << from << ": " << n;
    }
    EXPECT_GE(Count(*connection, QStringLiteral("SELECT DISTINCT GroupID FROM TpdbConnections")), 3);
}

}  // namespace
