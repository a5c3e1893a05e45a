// The names in use per object kind. Renames refused for a name in use or a
// change of letter case alone are checked through the object dialogs and grids.

#include "editor/NameGroups.h"
#include "platform/db/Recordset.h"
#include "support/TempProject.h"

#include <gtest/gtest.h>

using ov::editor::NameGroups;

namespace {

const QString kDev = QStringLiteral("Dev");

// Unknown kinds have no set: no name is free in it, and kinds are named exactly.
TEST(NameGroups, NamesCompareWithoutRegardToLetterCaseUnicodeIncludedInTheSetOfTheirKind) {
    NameGroups names;
    EXPECT_TRUE(names.AddNameInGroup(QStringLiteral("Motor"), kDev));
    EXPECT_FALSE(names.AddNameInGroup(QStringLiteral("MOTOR"), kDev));
    EXPECT_FALSE(names.TestNameInGroup(QStringLiteral("motor"), kDev));
    EXPECT_TRUE(names.AddNameInGroup(QStringLiteral("Ölpumpe"), kDev));
    EXPECT_FALSE(names.TestNameInGroup(QStringLiteral("ÖLPUMPE"), kDev)) << "letters beyond ASCII too";
    EXPECT_TRUE(names.TestNameInGroup(QStringLiteral("Motor"), QStringLiteral("Grp"))) << "each kind has its own set";
    names.DeleteNameInGroup(QStringLiteral("mOtOr"), kDev);
    EXPECT_TRUE(names.TestNameInGroup(QStringLiteral("Motor"), kDev));

    EXPECT_FALSE(names.AddNameInGroup(QStringLiteral("x"), QStringLiteral("Foo")));
    EXPECT_FALSE(names.TestNameInGroup(QStringLiteral("x"), QStringLiteral("Foo")));
    EXPECT_FALSE(names.ChangeNameInGroup(QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("dev")));
}

TEST(NameGroups, LoadingTakesTheRecordsNamesAndRewinds) {
    ov::test::TempProject project;
    auto connection = project.Open();
    // Items of two devices may share a name; the set holds it once.
    int device = 1;
    for (const char* name : {"Ch1", "ch1", "Press"})
        connection->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (?, ?, ?)"),
                            {device++, QString::fromUtf8(name), QString::fromUtf8(name)});
    ov::db::Recordset items;
    items.Open(QStringLiteral("SELECT * FROM TpdbItems ORDER BY ID"), *connection);
    items.MoveLast();
    NameGroups names;
    names.AddNameInGroup(QStringLiteral("Gone"), QStringLiteral("Itm"));
    ASSERT_TRUE(names.NamesInGroup(items, QStringLiteral("Itm")));
    EXPECT_EQ(names.Count(QStringLiteral("Itm")), 2) << "Ch1 once and Press; Gone went";
    EXPECT_EQ(items.AbsolutePosition(), 1) << "back on the first record";
    EXPECT_FALSE(names.NamesInGroup(items, QStringLiteral("Nope")));
}

}  // namespace
