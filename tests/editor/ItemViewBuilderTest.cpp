#include "editor/GridColumns.h"
#include "editor/ItemViewBuilder.h"
#include "editor/frmtabgridOPC.h"
#include "host/NodeKey.h"

#include <gtest/gtest.h>

using namespace ov::editor;
namespace nk = ov::host::nodekey;

namespace {

const ItemViewBuilder::SortCaptions kCaptions{QStringLiteral("Data Type"), QStringLiteral("Simulation Function"),
                                              QStringLiteral("Simulation Parameters"), QStringLiteral("Redundant Item")};
const QString Y = QString(QChar(0xFF));

TEST(ItemViewBuilder, SqlOfEveryNodeKind) {
    const QString device = nk::DeviceKey(5, QStringLiteral("."), false);
    EXPECT_EQ(ItemViewBuilder::ForNode(device, QStringLiteral("ItemAccess"), QString()).sql,
              QStringLiteral("SELECT * FROM [TpdbItems] WHERE (DeviceID = 5 AND ItemAccess >= '' AND instr(ItemAccess, '.') = 0 )"));
    EXPECT_EQ(ItemViewBuilder::ForNode(device + Y + QStringLiteral("Line1.Tank"), QStringLiteral("Name"), QString()).sql,
              QStringLiteral("SELECT * FROM [TpdbItems] WHERE ((Name >= 'line1.tank.' AND Name < 'line1.tank.' || char(1114111) "
                             "AND +DeviceID = 5 AND instr(substr(Name, 12), '.') = 0) OR (Name >= 'line1.tan\u212A.' AND Name < "
                             "'line1.tan\u212A.' || char(1114111) AND +DeviceID = 5 AND instr(substr(Name, 12), '.') = 0)) "))
        << "the Kelvin sign, which folds to k, has a range of its own";
    EXPECT_EQ(ItemViewBuilder::ForNode(device + Y + QStringLiteral("Line1.Pump"), QStringLiteral("ItemAccess"), QString()).sql,
              QStringLiteral("SELECT * FROM [TpdbItems] WHERE (ItemAccess >= 'line1.pump.' AND ItemAccess < 'line1.pump.' || "
                             "char(1114111) AND DeviceID = 5 AND instr(substr(ItemAccess, 12), '.') = 0) "))
        << "an exact range needs no Like";
    EXPECT_EQ(ItemViewBuilder::ForNode(nk::DeviceKey(7, QString(), true), QStringLiteral("Name"), QString()).sql,
              QStringLiteral("SELECT * FROM [TpdbItems] WHERE DeviceID = 7"));
    EXPECT_EQ(ItemViewBuilder::ForNode(nk::kInternal, QStringLiteral("Name"), QString()).sql,
              QStringLiteral("SELECT * FROM [TpdbItems] WHERE DeviceID = 0"));

    const ItemView group = ItemViewBuilder::ForNode(nk::GroupKey(3), QStringLiteral("Name"), QStringLiteral(" ORDER BY TpdbItems.ID"));
    EXPECT_TRUE(group.groupView);
    EXPECT_TRUE(group.sql.endsWith(QStringLiteral("WHERE (GroupID = 3) ORDER BY TpdbItems.ID")));
    EXPECT_TRUE(ItemViewBuilder::ForNode(nk::GroupDeviceKey(3, 9), QStringLiteral("Name"), QString())
                    .sql.endsWith(QStringLiteral("WHERE (GroupID = 3 AND DeviceID=9)")));

    EXPECT_EQ(ItemViewBuilder::ForNode(nk::DeviceKey(2, QString(), true), QStringLiteral("Name"), QString()).itemAccessCaption, 128)
        << "own drivers call the item access an address";
    EXPECT_EQ(ItemViewBuilder::ForNode(device, QStringLiteral("Name"), QString()).itemAccessCaption, 112);
}

TEST(ItemViewBuilder, PatternCharactersInPathsAreLiteral) {
    EXPECT_EQ(ItemViewBuilder::LikeLiteral(QStringLiteral("50%_[x]!")), QStringLiteral("50[%][_][[]x][!]"));
    const QString folder = nk::DeviceKey(1, QStringLiteral("_"), false) + Y + QStringLiteral("A%B");
    // In a range the pattern characters are plain text.
    EXPECT_TRUE(ItemViewBuilder::ForNode(folder, QStringLiteral("Name"), QString())
                    .sql.contains(QStringLiteral("Name >= 'a%b_' AND Name < 'a%b_' || char(1114111) AND +DeviceID = 1 AND instr(substr(Name, 5), '_') = 0")));
    // In a Like they are bracketed (four letters with two spellings each keep the Like here).
    const QString liked = nk::DeviceKey(1, QStringLiteral("_"), false) + Y + QStringLiteral("ssss%B");
    EXPECT_TRUE(ItemViewBuilder::ForNode(liked, QStringLiteral("Name"), QString())
                    .sql.contains(QStringLiteral("Name Like 'ssss[%]B[_]%' AND Name Not Like 'ssss[%]B[_]%[_]%'")));
    EXPECT_TRUE(ItemViewBuilder::ForNode(nk::DeviceKey(1, QStringLiteral("."), false) + Y + QStringLiteral("O'Neil"),
                                         QStringLiteral("Name"), QString())
                    .sql.contains(QStringLiteral("'o''neil.'")))
        << "a quote in a folder name cannot end the SQL text";
}

TEST(ItemViewBuilder, SortClauses) {
    EXPECT_EQ(ItemViewBuilder::SortClause(QString(), false, kCaptions), QStringLiteral(" ORDER BY TpdbItems.ID"));
    EXPECT_EQ(ItemViewBuilder::SortClause(QStringLiteral("Data Type"), false, kCaptions), QStringLiteral(" ORDER BY Datatype, StructID"));
    EXPECT_EQ(ItemViewBuilder::SortClause(QStringLiteral("Simulation Function"), false, kCaptions), QString());
    EXPECT_EQ(ItemViewBuilder::SortClause(QStringLiteral("Redundant Item"), true, kCaptions), QString());
    EXPECT_EQ(ItemViewBuilder::SortClause(QStringLiteral("DeviceName"), true, kCaptions), QStringLiteral(" ORDER BY TpdbDevices.Name"));
    EXPECT_EQ(ItemViewBuilder::SortClause(QStringLiteral("DeviceName"), false, kCaptions), QStringLiteral(" ORDER BY TpdbItems.ID"));
    EXPECT_EQ(ItemViewBuilder::SortClause(QStringLiteral("Comment"), false, kCaptions), QStringLiteral(" ORDER BY TpdbItems.Comment"));
}

TEST(WindowArithmetic, SplitterStaysWithinTheGrid) {
    EXPECT_EQ(frmtabgridOPC::SplitWidthFromBar(1030, 0, 5000), 1000);
    EXPECT_EQ(frmtabgridOPC::SplitWidthFromBar(9000, 0, 5000), 4940) << "split 1 keeps at least 60 twips";
    EXPECT_EQ(frmtabgridOPC::SplitWidthFromBar(-500, 0, 5000), 0) << "past the left edge: no split 0";
    EXPECT_EQ(frmtabgridOPC::SplitWidthFromBar(100, 200, 5000), 0);
    EXPECT_EQ(frmtabgridOPC::BarLeftFromSplitWidth(200, 1000), 1230);
}

TEST(WindowArithmetic, OptionsAndSurrogateModeTexts) {
    EXPECT_EQ(OptionsText(255), QStringLiteral("&HFF"));
    EXPECT_EQ(OptionsText(0), QStringLiteral("&H0"));
    EXPECT_EQ(OptionsText(QStringLiteral("abc")), QStringLiteral("&H0"));
    EXPECT_EQ(OptionsText(QVariant()), QStringLiteral("&H0"));
}

}  // namespace
