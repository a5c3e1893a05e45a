// The rules of structure members: order numbers, names that are numbers,
// and structures that would contain themselves.

#include "model/StructureRules.h"
#include "platform/db/Connection.h"
#include "settings/TextTable.h"
#include "support/TempProject.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace ov;
using namespace ov::model::structures;

namespace {

TEST(MemberOrder, BitMembersKeepByteAndBit) {
    EXPECT_EQ(ParseOrderNumber(QStringLiteral("3.57"), true).value, 3.6);
    EXPECT_EQ(ParseOrderNumber(QStringLiteral("3,57"), true).value, 3.6);
    EXPECT_EQ(ParseOrderNumber(QStringLiteral("3,5"), true).value, 3.5);
    EXPECT_EQ(ParseOrderNumber(QStringLiteral("12"), true).value, 12.0);
    EXPECT_EQ(ParseOrderNumber(QStringLiteral("1e9"), true).value, 1e9);
    EXPECT_EQ(FormatOrderNumber(3.6, true), QStringLiteral("3.6"));
    EXPECT_EQ(FormatOrderNumber(12, true), QStringLiteral("12.0"));
}

TEST(MemberOrder, OtherMembersKeepTheWholeNumber) {
    EXPECT_EQ(ParseOrderNumber(QStringLiteral("3.9"), false).value, 3.0);
    EXPECT_EQ(ParseOrderNumber(QStringLiteral("3,9"), false).value, 3.0);
    EXPECT_EQ(ParseOrderNumber(QStringLiteral("12abc"), false).value, 12.0);
    EXPECT_EQ(ParseOrderNumber(QStringLiteral("3.5.7"), false).value, 3.0);
    EXPECT_EQ(ParseOrderNumber(QStringLiteral("1e9"), false).value, 1e9);
    EXPECT_EQ(FormatOrderNumber(3.6, false), QStringLiteral("3"));
}

TEST(MemberOrder, TheSameWhateverTheLocale) {
    for (const QLocale& locale : {QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::English, QLocale::UnitedStates)}) {
        QLocale::setDefault(locale);
        EXPECT_EQ(ParseOrderNumber(QStringLiteral("3.57"), true).value, 3.6) << locale.name().toStdString();
        EXPECT_EQ(ParseOrderNumber(QStringLiteral("1.234"), false).value, 1.0) << "no thousands separators";
    }
    QLocale::setDefault(QLocale::c());
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

class Nesting : public ::testing::Test {
  protected:
    void SetUp() override {
        connection = project.Open();
        // A holds B, B holds C; D stands alone.
        for (int id : {1, 2, 3, 4})
            connection->Execute(QStringLiteral("INSERT INTO TpdbStructDefs (ID, Name) VALUES (?, ?)"),
                                {id, QStringLiteral("S%1").arg(id)});
        Member(1, 2);
        Member(2, 3);
    }
    void Member(int parent, int structure) {
        connection->Execute(QStringLiteral("INSERT INTO TpdbStructMembers (ParentID, Name, DataType, StructID) VALUES (?, ?, 12, ?)"),
                            {parent, QStringLiteral("M%1").arg(++members), structure});
    }
    test::TempProject project;
    std::unique_ptr<db::Connection> connection;
    int members = 0;
};

TEST_F(Nesting, ItselfDirectlyOrThroughOthers) {
    EXPECT_TRUE(WouldContainItself(*connection, 1, 1)) << "a structure of its own type";
    EXPECT_TRUE(WouldContainItself(*connection, 3, 1)) << "C in A would contain A through B";
    EXPECT_TRUE(WouldContainItself(*connection, 2, 1));
    EXPECT_FALSE(WouldContainItself(*connection, 1, 3)) << "A may hold C once more";
    EXPECT_FALSE(WouldContainItself(*connection, 4, 1));
    EXPECT_FALSE(WouldContainItself(*connection, 1, 4));
}

TEST_F(Nesting, AStoredCycleEndsTheWalk) {
    // A cycle from older tools: C holds A. The walk still ends.
    Member(3, 1);
    EXPECT_TRUE(WouldContainItself(*connection, 4, 1) == false);
    EXPECT_TRUE(WouldContainItself(*connection, 1, 2));
    Member(4, 4);
    EXPECT_FALSE(WouldContainItself(*connection, 1, 4));
}

}  // namespace
