#include "model/DemoProject.h"
#include "model/ProjectStatistics.h"
#include "model/ProjectTemplate.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
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
    for (const char* table : {"TpdbDevices", "TpdbItems", "TpdbGroups", "TpdbConnections", "TpdbUnitClasses", "TpdbUnits",
                              "TpdbStructDefs", "TpdbStructMembers", "TpdbSimulation", "TpdbAlign", "TidxGroups",
                              "TidxTexts", "TcfgLanguages"})
        EXPECT_TRUE(connection->HasTable(QString::fromUtf8(table))) << table;

    using db::DataType;
    EXPECT_EQ(TypeOf(*connection, "TpdbDevices", "BlobMode"), DataType::SmallInt);
    EXPECT_EQ(TypeOf(*connection, "TpdbDevices", "IsBrowsed"), DataType::Boolean);
    EXPECT_EQ(TypeOf(*connection, "TpdbDevices", "Comment"), DataType::LongVarWChar);
    EXPECT_EQ(TypeOf(*connection, "TpdbItems", "MinVal"), DataType::Double);
    EXPECT_EQ(TypeOf(*connection, "TpdbItems", "WriteThru"), DataType::Boolean);
    EXPECT_EQ(TypeOf(*connection, "TpdbItems", "Name"), DataType::VarWChar);
    EXPECT_EQ(TypeOf(*connection, "TpdbItems", "Options"), DataType::Integer);
    EXPECT_EQ(TypeOf(*connection, "TpdbGroups", "AsyncRead"), DataType::Boolean);
    EXPECT_EQ(TypeOf(*connection, "TpdbStructDefs", "OrderByOffset"), DataType::Boolean);
    EXPECT_EQ(TypeOf(*connection, "TpdbUnits", "PhysicalMinVal"), DataType::VarWChar);

    const auto items = connection->Columns(QStringLiteral("TpdbItems"));
    ASSERT_GE(items.size(), 20u);
    EXPECT_EQ(items[0].name, QStringLiteral("ID"));
    EXPECT_EQ(items[2].name, QStringLiteral("DeviceID")) << "the item import reads the device from the third column";
    EXPECT_TRUE(connection->HasColumn(QStringLiteral("TidxTexts"), QStringLiteral("L1031")));
    EXPECT_TRUE(connection->HasColumn(QStringLiteral("TidxTexts"), QStringLiteral("L1033")));
}

TEST(ProjectTemplate, HasTheNamedIndexesAndStartRows) {
    TempProject project;
    auto connection = project.Open();
    const auto hasIndex = [&](const char* table, const char* index, QStringList columns, bool unique) {
        for (const auto& info : connection->Indexes(QString::fromUtf8(table)))
            if (info.name == QString::fromUtf8(index)) return info.columns == columns && info.unique == unique;
        return false;
    };
    EXPECT_TRUE(hasIndex("TpdbItems", "UniqueName", {"Name", "DeviceID"}, true));
    EXPECT_TRUE(hasIndex("TpdbItems", "UniqueItemAccess", {"DeviceID", "ItemAccess"}, true));
    EXPECT_TRUE(hasIndex("TpdbUnits", "UnitEntry", {"ParentID", "SwitchID"}, true));
    EXPECT_TRUE(hasIndex("TpdbStructMembers", "MemberName", {"ParentID", "Name"}, true));
    EXPECT_TRUE(hasIndex("TpdbConnections", "Connection", {"GroupID", "ItemID"}, true));
    EXPECT_TRUE(hasIndex("TpdbConnections", "ItemID", {"ItemID"}, false));
    EXPECT_TRUE(hasIndex("TpdbDevices", "ID", {"ID"}, true));
    EXPECT_TRUE(hasIndex("TpdbSimulation", "ItemID", {"ItemID"}, true));

    EXPECT_EQ(Count(*connection, QStringLiteral("SELECT * FROM TpdbGroups WHERE ID = 1")), 1);
    EXPECT_EQ(Count(*connection, QStringLiteral("SELECT * FROM TidxGroups WHERE ParentID = 0 AND Type = -3")), 1);
    EXPECT_EQ(Count(*connection, QStringLiteral("SELECT * FROM TcfgLanguages WHERE LCID IN (1031, 1033)")), 2);

    db::Recordset languages;
    languages.Open(QStringLiteral("SELECT Font FROM TcfgLanguages"), *connection);
    const QString font = languages.Value(QStringLiteral("Font")).toString();
    EXPECT_EQ(font.left(31).trimmed(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(font.mid(31, 4).trimmed().toInt(), 10) << "the size starts in the 32nd column";
}

TEST(ProjectTemplate, NamesCompareWithoutLetterCase) {
    TempProject project;
    auto connection = project.Open();
    connection->Execute(QStringLiteral("INSERT INTO TpdbGroups (Name) VALUES ('Fast')"));
    try {
        connection->Execute(QStringLiteral("INSERT INTO TpdbGroups (Name) VALUES ('FAST')"));
        FAIL() << "group names are unique without regard to case";
    } catch (const db::DbError& e) {
        EXPECT_TRUE(e.IsUniqueViolation());
    }
    EXPECT_EQ(Count(*connection, QStringLiteral("SELECT * FROM TpdbGroups WHERE Name = 'fast'")), 1);
}

TEST(ProjectTemplate, NeverReplacesAFileAndLeavesNothingBehindOnFailure) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.ovs"));
    QFile existing(path);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep me");
    existing.close();
    EXPECT_THROW(model::CreateProjectDatabase(path), db::DbError);
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("keep me"));

    EXPECT_THROW(model::CreateProjectDatabase(dir.filePath(QStringLiteral("no/such/folder/p.ovs"))), db::DbError);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList{QStringLiteral("p.ovs")});
}

TEST(DemoProject, ShowsEveryFeature) {
    TempProject project(TempProject::Content::Demo);
    auto connection = project.Open();
    const auto counts = model::CountProjectObjects(*connection);
    EXPECT_EQ(counts.devices, 3);
    EXPECT_EQ(counts.groups, 3);
    EXPECT_EQ(counts.items, 22);
    EXPECT_EQ(counts.unitClasses, 2);
    EXPECT_EQ(counts.units, 4);
    EXPECT_EQ(counts.structureDefinitions, 2);
    EXPECT_EQ(counts.structureMembers, 7);

    const auto count = [&](const char* sql) { return Count(*connection, QString::fromUtf8(sql)); };
    EXPECT_EQ(count("SELECT * FROM TpdbDevices WHERE HierarchBrowseSeparator = '.'"), 1);
    EXPECT_EQ(count("SELECT * FROM TpdbDevices WHERE BlobMode = 3 AND ProgID Like '<1>%'"), 1);
    EXPECT_EQ(count("SELECT * FROM TpdbDevices WHERE BlobMode <> 3 AND (HierarchBrowseSeparator IS NULL OR "
                    "HierarchBrowseSeparator = '')"),
              1);
    EXPECT_GE(count("SELECT * FROM TpdbItems WHERE Name Like '%.%.%.%'"), 1) << "folders nested three deep";
    EXPECT_GE(count("SELECT * FROM TpdbItems WHERE DeviceID = 0"), 1) << "internal variables";
    EXPECT_EQ(count("SELECT * FROM TpdbStructMembers WHERE DataType = 256"), 3);
    EXPECT_EQ(count("SELECT * FROM TpdbStructMembers WHERE DataType = 12 AND StructID > 0"), 1);
    EXPECT_EQ(count("SELECT * FROM TpdbItems WHERE DataType = 12 AND StructID > 0"), 1);
    EXPECT_EQ(count("SELECT * FROM TpdbUnitClasses WHERE SwitchType = 0"), 1);
    EXPECT_EQ(count("SELECT * FROM TpdbUnitClasses WHERE SwitchType = 1"), 1);
    EXPECT_EQ(count("SELECT * FROM TpdbSimulation"), 2);
    EXPECT_EQ(count("SELECT * FROM TpdbAlign"), 1);
    EXPECT_EQ(count("SELECT * FROM TpdbItems INNER JOIN TidxTexts ON TpdbItems.TextID = TidxTexts.ID WHERE "
                    "L1031 <> '' AND L1033 <> ''"),
              4);
    EXPECT_EQ(count("SELECT * FROM TpdbItems WHERE ID NOT IN (SELECT ItemID FROM TpdbConnections WHERE GroupID = 1)"), 0)
        << "every item is connected to the default group";
    EXPECT_GE(count("SELECT DISTINCT GroupID FROM TpdbConnections"), 3);
}

}  // namespace
