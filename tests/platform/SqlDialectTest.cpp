// The SQL of the editor's queries made fit for SQLite, and the analysis that
// tells which statements have single base rows to page through.

#include "platform/db/SqlDialect.h"

#include <gtest/gtest.h>

using namespace ov::db;

namespace {

TEST(SqlDialect, TranslatesBooleansQuotesAndConcatenationOutsideTexts) {
    const std::pair<const char*, const char*> cases[] = {
        {"SELECT * FROM T WHERE Enabled = True AND X = false", "SELECT * FROM T WHERE Enabled = -1 AND X = 0"},
        {"UPDATE T SET Name = 'True'", "UPDATE T SET Name = 'True'"},
        {"SELECT T.True FROM T", "SELECT T.True FROM T"},
        {"SELECT * FROM T WHERE Name = \"it's\"", "SELECT * FROM T WHERE Name = 'it''s'"},
        {"SELECT Name & '.' & ItemAccess FROM T", "SELECT Name || '.' || ItemAccess FROM T"},
        {"SELECT * FROM [Tpdb Items] WHERE [Name] Like 'a[%]%'", "SELECT * FROM [Tpdb Items] WHERE [Name] Like 'a[%]%'"},
    };
    for (const auto& [sql, translated] : cases)
        EXPECT_EQ(TranslateSql(QString::fromUtf8(sql)), QString::fromUtf8(translated)) << sql;
}

TEST(SqlDialect, AnalysesSingleTableSelects) {
    const auto parts = AnalyseSelect(TranslateSql(
        QStringLiteral("SELECT * FROM [TpdbItems] WHERE (DeviceID = 3 AND Name Not Like 'A.%.%' ) ORDER BY Name")));
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->baseTable, QStringLiteral("TpdbItems"));
    EXPECT_EQ(parts->selectList, QStringLiteral("*"));
    EXPECT_EQ(parts->where, QStringLiteral("(DeviceID = 3 AND Name Not Like 'A.%.%' )"));
    EXPECT_EQ(parts->orderBy, QStringLiteral("Name"));
    EXPECT_FALSE(parts->isJoin);

    const auto aliased = AnalyseSelect(QStringLiteral("SELECT i.Name FROM TpdbItems AS i WHERE i.ID > 3"));
    ASSERT_TRUE(aliased);
    EXPECT_EQ(aliased->baseTable, QStringLiteral("TpdbItems"));
    EXPECT_EQ(aliased->baseQualifier, QStringLiteral("i"));
}

TEST(SqlDialect, AnalysesTheGroupViewJoin) {
    const auto parts = AnalyseSelect(QStringLiteral(
        "SELECT TpdbItems.*, TpdbConnections.GroupID, TpdbDevices.Name As DeviceName FROM ((TpdbItems INNER JOIN "
        "TpdbConnections ON TpdbItems.ID = TpdbConnections.ItemID) INNER JOIN TpdbGroups ON TpdbConnections.GroupID "
        "= TpdbGroups.ID) INNER JOIN TpdbDevices ON TpdbItems.DeviceID = TpdbDevices.ID WHERE (GroupID = 2)"));
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->baseTable, QStringLiteral("TpdbItems"));
    EXPECT_EQ(parts->baseQualifier, QStringLiteral("TpdbItems"));
    EXPECT_TRUE(parts->isJoin);
    EXPECT_EQ(parts->where, QStringLiteral("(GroupID = 2)"));
}

TEST(SqlDialect, StatementsWithoutSingleBaseRowsAreReadWhole) {
    for (const char* sql : {"SELECT COUNT(*) FROM TpdbItems", "SELECT DISTINCT DeviceID FROM TpdbItems",
                            "SELECT DeviceID FROM TpdbItems GROUP BY DeviceID", "SELECT * FROM (SELECT * FROM TpdbItems)",
                            "SELECT * FROM A UNION SELECT * FROM B", "UPDATE TpdbItems SET Name = ItemAccess"})
        EXPECT_FALSE(AnalyseSelect(QString::fromUtf8(sql))) << sql;
}

TEST(SqlDialect, QuoteNameNeverBreaksOut) {
    EXPECT_EQ(QuoteName(QStringLiteral("TpdbItems.UniqueName")), QStringLiteral("[TpdbItems.UniqueName]"));
    EXPECT_EQ(QuoteName(QStringLiteral("a]; DROP TABLE x")), QStringLiteral("[a; DROP TABLE x]"));
}

}  // namespace
