// The rules of structure members: order numbers, names that are numbers,
// and structures that would contain themselves. The member grid and dialog
// show the same rules under every locale; here are the texts at their edges.

#include "model/StructureRules.h"
#include "platform/db/Connection.h"
#include "settings/TextTable.h"
#include "support/TempProject.h"

#include <gtest/gtest.h>

using namespace ov;
using namespace ov::model::structures;

namespace {

TEST(MemberOrder, BitMembersKeepByteAndBitOthersTheWholeNumber) {
    const std::tuple<const char*, bool, double> cases[] = {
        // Either decimal mark, never a thousands separator.
        {"3.57", true, 3.6}, {"3,57", true, 3.6}, {"3,5", true, 3.5}, {"12", true, 12.0}, {"1e9", true, 1e9},
        {"3.9", false, 3.0}, {"3,9", false, 3.0}, {"12abc", false, 12.0}, {"3.5.7", false, 3.0}, {"1e9", false, 1e9},
        {"1.234", false, 1.0},
    };
    for (const auto& [text, bit, value] : cases)
        EXPECT_EQ(ParseOrderNumber(QString::fromUtf8(text), bit).value, value) << text;
    for (const auto& [value, bit, text] : {std::tuple{3.6, true, "3.6"}, {12.0, true, "12.0"}, {3.6, false, "3"}})
        EXPECT_EQ(FormatOrderNumber(value, bit), QString::fromUtf8(text)) << value;
}

TEST(MemberOrder, RefusedTexts) {
    for (const bool bit : {true, false}) {
        for (const char* bad : {"abc", "", "-1", "-0.5", "1e12"}) {
            const OrderNumber order = ParseOrderNumber(QString::fromUtf8(bad), bit);
            EXPECT_FALSE(order.value) << bad;
            EXPECT_NE(order.errorText, 0) << bad;
        }
    }
    EXPECT_FALSE(ParseOrderNumber(QStringLiteral("3.5.7"), true).value) << "a bit is byte.bit, nothing more";
    EXPECT_FALSE(ParseOrderNumber(QStringLiteral("3.5x"), true).value);
    EXPECT_EQ(ParseOrderNumber(QStringLiteral("-1"), false).errorText, settings::kTextOrderNumberOutOfRange);
    EXPECT_EQ(ParseOrderNumber(QStringLiteral("abc"), false).errorText, settings::kTextOrderNumberNotANumber);
}

TEST(MemberNames, ANameThatReadsBackAsItsNumberIsANumber) {
    for (const char* number : {"12", "0", "-3", "1.5"}) EXPECT_TRUE(IsNumberName(QString::fromUtf8(number))) << number;
    for (const char* name : {"12a", "a12", "007", "1,5", " 12", "Item0", "1e3", ""})
        EXPECT_FALSE(IsNumberName(QString::fromUtf8(name))) << name;
}

// A cycle left by older tools: A holds B, B holds C, C holds A. Asking
// whether a structure would contain itself still ends.
TEST(Nesting, AStoredCycleEndsTheWalk) {
    test::TempProject project;
    auto connection = project.Open();
    for (int id : {1, 2, 3, 4})
        connection->Execute(QStringLiteral("INSERT INTO TpdbStructDefs (ID, Name) VALUES (?, ?)"), {id, QStringLiteral("S%1").arg(id)});
    int members = 0;
    for (const auto& [parent, structure] : {std::pair{1, 2}, {2, 3}, {3, 1}, {4, 4}})
        connection->Execute(QStringLiteral("INSERT INTO TpdbStructMembers (ParentID, Name, DataType, StructID) VALUES (?, ?, 12, ?)"),
                            {parent, QStringLiteral("M%1").arg(++members), structure});
    for (const auto& [structure, member, contains] : {std::tuple{1, 2, true}, {3, 1, true}, {4, 1, false}, {1, 4, false}})
        EXPECT_EQ(WouldContainItself(*connection, structure, member), contains) << structure << " holding " << member;
}

}  // namespace
