// The statements behind the item views: which index ranges a device or folder
// reads, pattern characters kept literal, the ranges between top folders and
// the sort orders; and the splitter and options arithmetic of the window.

#include "editor/GridColumns.h"
#include "editor/ItemViewBuilder.h"
#include "editor/frmtabgridOPC.h"
#include "host/NodeKey.h"
#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "support/TempProject.h"

#include <gtest/gtest.h>

using namespace ov::editor;
namespace nk = ov::host::nodekey;

namespace {

const ItemViewBuilder::SortCaptions kCaptions{QStringLiteral("Data Type"), QStringLiteral("Simulation Function"),
                                              QStringLiteral("Simulation Parameters"), QStringLiteral("Redundant Item")};
const QString Y = QString(QChar(0xFF));

// The statement of a node's item view, sorted as stored.
QString ViewSql(const QString& key, const char* field = "Name") {
    return ItemViewBuilder::ForNode(key, QString::fromUtf8(field), QString()).sql;
}

// The statements that keep a device's and a folder's view on the index; what
// every kind of node shows is checked in the editor window's tests.
TEST(ItemViewBuilder, DeviceAndFolderViewsReadThroughTheIndex) {
    const QString device = nk::DeviceKey(5, QStringLiteral("."), false);
    EXPECT_EQ(ViewSql(device, "ItemAccess"), QStringLiteral("SELECT * FROM [TpdbItems] WHERE (DeviceID = 5 AND ItemAccess >= '' AND instr(ItemAccess, '.') = 0 )"));
    EXPECT_EQ(ViewSql(device + Y + QStringLiteral("Line1.Tank")), QStringLiteral("SELECT * FROM [TpdbItems] WHERE ((Name >= 'line1.tank.' AND Name < 'line1.tank.' || char(1114111) "
                             "AND +DeviceID = 5 AND instr(substr(Name, 12), '.') = 0) OR (Name >= 'line1.tan\u212A.' AND Name < "
                             "'line1.tan\u212A.' || char(1114111) AND +DeviceID = 5 AND instr(substr(Name, 12), '.') = 0)) "))
        << "the Kelvin sign, which folds to k, has a range of its own";
    EXPECT_EQ(ViewSql(device + Y + QStringLiteral("Line1.Pump"), "ItemAccess"), QStringLiteral("SELECT * FROM [TpdbItems] WHERE (ItemAccess >= 'line1.pump.' AND ItemAccess < 'line1.pump.' || "
                             "char(1114111) AND DeviceID = 5 AND instr(substr(ItemAccess, 12), '.') = 0) "))
        << "an exact range needs no Like";
}

TEST(ItemViewBuilder, PatternCharactersInPathsAreLiteral) {
    EXPECT_EQ(ItemViewBuilder::LikeLiteral(QStringLiteral("50%_[x]!")), QStringLiteral("50[%][_][[]x][!]"));
    const QString underscored = nk::DeviceKey(1, QStringLiteral("_"), false) + Y;
    // In a range the pattern characters are plain text.
    EXPECT_TRUE(ViewSql(underscored + QStringLiteral("A%B")).contains(
        QStringLiteral("Name >= 'a%b_' AND Name < 'a%b_' || char(1114111) AND +DeviceID = 1 AND instr(substr(Name, 5), '_') = 0")));
    // In a Like they are bracketed (four letters with two spellings each keep the Like here).
    EXPECT_TRUE(ViewSql(underscored + QStringLiteral("ssss%B"))
                    .contains(QStringLiteral("Name Like 'ssss[%]B[_]%' AND Name Not Like 'ssss[%]B[_]%[_]%'")));
    EXPECT_TRUE(ViewSql(nk::DeviceKey(1, QStringLiteral("."), false) + Y + QStringLiteral("O'Neil")).contains(QStringLiteral("'o''neil.'")))
        << "a quote in a folder name cannot end the SQL text";
}

// The items at the top of a device read from the ranges between its folders
// are exactly those without a separator, in either view.
TEST(ItemViewBuilder, TheRangesBetweenTopFoldersHoldExactlyTheItemsAtTheTop) {
    ov::test::TempProject project;
    auto c = project.Open();
    c->Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, HierarchBrowseSeparator) VALUES (1, 'D', '.'), (2, 'E', '.')"));
    const QStringList names{QString(), QStringLiteral("a"), QStringLiteral("A.x"), QStringLiteral("a.y"), QStringLiteral("Area0"),
                            QStringLiteral("Area0.x"), QStringLiteral("Area0-x"), QStringLiteral("Area0/x"), QStringLiteral("b.c.d"),
                            QStringLiteral("O'Brien"), QStringLiteral("O'Brien.x"), QStringLiteral("Ölkreis.p"),
                            QStringLiteral("ölkreis.q"), QStringLiteral("öl"), QStringLiteral("z"), QStringLiteral("~top"),
                            QStringLiteral("Zeta.k"), QStringLiteral(".lead"), QStringLiteral("trail.")};
    for (const QString& name : names)
        c->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, ?, ?)"), {name, name});
    for (const QString other : {"m", "q.r", "zz.top"})
        c->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (2, ?, ?)"), {other, other});
    const auto ids = [&](const QString& sql) {
        QStringList found;
        for (ov::db::Cursor rows(*c, sql); rows.Next();) found << rows.Value(0).toString();
        found.sort();
        return found;
    };
    const QString device = nk::DeviceKey(1, QStringLiteral("."), false);
    for (const QString& field : {QStringLiteral("ItemAccess"), QStringLiteral("Name")}) {
        SCOPED_TRACE(field.toStdString());
        const auto folders = ItemViewBuilder::TopFolders(*c, 1, field, QStringLiteral("."));
        ASSERT_TRUE(folders);
        EXPECT_TRUE(folders->contains(QStringLiteral("A."))) << folders->join(u' ').toStdString();
        EXPECT_TRUE(folders->contains(QStringLiteral("Ölkreis.")) && folders->contains(QStringLiteral("ölkreis.")))
            << "letters beyond ASCII keep their case apart";
        const ItemView view = ItemViewBuilder::ForNode(device, field, QStringLiteral(" ORDER BY TpdbItems.") + field,
                                                       [&](int id, const QString& separator) {
                                                           return ItemViewBuilder::TopFolders(*c, id, field, separator);
                                                       });
        ASSERT_TRUE(view.sql.contains(QStringLiteral(" OR "))) << view.sql.toStdString();
        EXPECT_EQ(ids(QString(view.sql).replace(QStringLiteral("SELECT *"), QStringLiteral("SELECT ID"))),
                  ids(QStringLiteral("SELECT ID FROM TpdbItems WHERE DeviceID = 1 AND %1 >= '' AND instr(%1, '.') = 0").arg(field)));
    }
    EXPECT_FALSE(ItemViewBuilder::TopFolders(*c, 1, QStringLiteral("ItemAccess"), QStringLiteral("."), 5))
        << "beyond the steps allowed the device is read whole";
    EXPECT_FALSE(ItemViewBuilder::TopFolders(*c, 1, QStringLiteral("ItemAccess"), QStringLiteral("·")));
}

TEST(ItemViewBuilder, SortClauses) {
    // Unbound columns without an order of their own keep the stored one; the
    // device name sorts only in a group view.
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"", false, " ORDER BY TpdbItems.ID"},           {"Data Type", false, " ORDER BY Datatype, StructID"},
        {"Simulation Function", false, ""},              {"Redundant Item", true, ""},
        {"DeviceName", true, " ORDER BY TpdbDevices.Name"}, {"DeviceName", false, " ORDER BY TpdbItems.ID"},
        {"Comment", false, " ORDER BY TpdbItems.Comment"}};
    for (const auto& [column, groupView, clause] : cases)
        EXPECT_EQ(ItemViewBuilder::SortClause(QString::fromUtf8(column), groupView, kCaptions), QString::fromUtf8(clause)) << column;
}

TEST(WindowArithmetic, SplitterStaysWithinTheGrid) {
    // Split 1 keeps at least 60 twips; past the left edge there is no split 0.
    for (const auto& [bar, left, width, split] : {std::tuple{1030, 0, 5000, 1000}, {9000, 0, 5000, 4940},
                                                  {-500, 0, 5000, 0}, {100, 200, 5000, 0}})
        EXPECT_EQ(frmtabgridOPC::SplitWidthFromBar(bar, left, width), split) << bar;
    EXPECT_EQ(frmtabgridOPC::BarLeftFromSplitWidth(200, 1000), 1230);
}

TEST(WindowArithmetic, OptionsTextsAreHexadecimalAndZeroForWhatIsNoNumber) {
    EXPECT_EQ(OptionsText(255), QStringLiteral("&HFF"));
    for (const QVariant& value : {QVariant(0), QVariant(QStringLiteral("abc")), QVariant()})
        EXPECT_EQ(OptionsText(value), QStringLiteral("&H0")) << value.toString().toStdString();
}

}  // namespace
