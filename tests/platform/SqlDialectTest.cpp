#include "platform/db/SqlDialect.h"

#include <gtest/gtest.h>

using namespace ov::db;

namespace {

TEST(SqlDialect, BooleanLiteralsBecomeStoredValuesOutsideTexts) {
    EXPECT_EQ(TranslateSql(QStringLiteral("SELECT * FROM T WHERE Enabled = True AND X = false")),
              QStringLiteral("SELECT * FROM T WHERE Enabled = -1 AND X = 0"));
    EXPECT_EQ(TranslateSql(QStringLiteral("UPDATE T SET Name = 'True'")), QStringLiteral("UPDATE T SET Name = 'True'"));
    EXPECT_EQ(TranslateSql(QStringLiteral("SELECT T.True FROM T")), QStringLiteral("SELECT T.True FROM T"));
}

TEST(SqlDialect, DoubleQuotedTextsAndConcatenation) {
    EXPECT_EQ(TranslateSql(QStringLiteral("SELECT * FROM T WHERE Name = \"it's\"")),
              QStringLiteral("SELECT * FROM T WHERE Name = 'it''s'"));
    EXPECT_EQ(TranslateSql(QStringLiteral("SELECT Name & '.' & ItemAccess FROM T")),
              QStringLiteral("SELECT Name || '.' || ItemAccess FROM T"));
    EXPECT_EQ(TranslateSql(QStringLiteral("SELECT * FROM [Tpdb Items] WHERE [Name] Like 'a[%]%'")),
              QStringLiteral("SELECT * FROM [Tpdb Items] WHERE [Name] Like 'a[%]%'"));
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

TEST(SqlDialect, AliasOfTheBaseTable) {
    const auto parts = AnalyseSelect(QStringLiteral("SELECT i.Name FROM TpdbItems AS i WHERE i.ID > 3"));
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->baseTable, QStringLiteral("TpdbItems"));
    EXPECT_EQ(parts->baseQualifier, QStringLiteral("i"));
}

TEST(SqlDialect, StatementsWithoutSingleBaseRowsAreReadWhole) {
    EXPECT_FALSE(AnalyseSelect(QStringLiteral("SELECT COUNT(*) FROM TpdbItems")));
    EXPECT_FALSE(AnalyseSelect(QStringLiteral("SELECT DISTINCT DeviceID FROM TpdbItems")));
    EXPECT_FALSE(AnalyseSelect(QStringLiteral("SELECT DeviceID FROM TpdbItems GROUP BY DeviceID")));
    EXPECT_FALSE(AnalyseSelect(QStringLiteral("SELECT * FROM (SELECT * FROM TpdbItems)")));
    EXPECT_FALSE(AnalyseSelect(QStringLiteral("SELECT * FROM A UNION SELECT * FROM B")));
    EXPECT_FALSE(AnalyseSelect(QStringLiteral("UPDATE TpdbItems SET Name = ItemAccess")));
}

TEST(SqlDialect, QuoteNameNeverBreaksOut) {
    EXPECT_EQ(QuoteName(QStringLiteral("TpdbItems.UniqueName")), QStringLiteral("[TpdbItems.UniqueName]"));
    EXPECT_EQ(QuoteName(QStringLiteral("a]; DROP TABLE x")), QStringLiteral("[a; DROP TABLE x]"));
}

}  // namespace
