#include "platform/db/Criteria.h"
#include "platform/db/DbError.h"

#include <gtest/gtest.h>

using namespace ov::db;

namespace {

const QStringList kFields = {QStringLiteral("ID"), QStringLiteral("Name"), QStringLiteral("Enabled"),
                             QStringLiteral("MaxVal")};

bool Matches(const QString& criteria, const QVariantList& row) {
    return Criteria::Parse(criteria, kFields).Evaluate([&row](int i) { return row[i]; });
}

// The error number Parse throws, 0 when the criteria are fine.
std::uint32_t ErrorOf(const QString& text) {
    try {
        Criteria::Parse(text, kFields);
    } catch (const DbError& e) {
        return e.Number();
    }
    return 0u;
}

const QVariantList kMotor = {5, QStringLiteral("Motor 1"), true, 1500.0};
const QVariantList kValve = {6, QStringLiteral("Valve's \"A\""), false, QVariant()};

TEST(Criteria, EqualityOnNumbersAndTextsIgnoringCase) {
    EXPECT_TRUE(Matches(QStringLiteral("ID=5"), kMotor));
    EXPECT_FALSE(Matches(QStringLiteral("ID=6"), kMotor));
    EXPECT_TRUE(Matches(QStringLiteral("Name='motor 1'"), kMotor));
    EXPECT_TRUE(Matches(QStringLiteral("[Name] = 'MOTOR 1'"), kMotor));
    EXPECT_TRUE(Matches(QStringLiteral("Name='Valve''s \"A\"'"), kValve));
    EXPECT_TRUE(Matches(QStringLiteral("Name=\"Valve's \"\"A\"\"\""), kValve));
}

TEST(Criteria, ComparisonsBooleansAndNulls) {
    EXPECT_TRUE(Matches(QStringLiteral("MaxVal >= 1500"), kMotor));
    EXPECT_FALSE(Matches(QStringLiteral("MaxVal < 1000.5"), kMotor));
    EXPECT_TRUE(Matches(QStringLiteral("Enabled = True"), kMotor));
    EXPECT_TRUE(Matches(QStringLiteral("Enabled = -1"), kMotor));
    EXPECT_TRUE(Matches(QStringLiteral("Enabled = 0"), kValve));
    EXPECT_FALSE(Matches(QStringLiteral("MaxVal <> 3"), kValve)) << "Null is never unequal to a value";
    EXPECT_TRUE(Matches(QStringLiteral("MaxVal Is Null"), kValve));
    EXPECT_TRUE(Matches(QStringLiteral("MaxVal = Null"), kValve));
    EXPECT_TRUE(Matches(QStringLiteral("MaxVal Is Not Null"), kMotor));
}

TEST(Criteria, AndBindsTighterThanOr) {
    EXPECT_TRUE(Matches(QStringLiteral("ID = 1 OR ID = 5 AND Enabled = True"), kMotor));
    EXPECT_FALSE(Matches(QStringLiteral("(ID = 1 OR ID = 6) AND Enabled = True"), kMotor));
    EXPECT_TRUE(Matches(QStringLiteral("NOT (ID = 6)"), kMotor));
}

TEST(Criteria, LikeWithBothWildcardStyles) {
    EXPECT_TRUE(Matches(QStringLiteral("Name Like 'Mot*'"), kMotor));
    EXPECT_TRUE(Matches(QStringLiteral("Name Like 'mot%'"), kMotor));
    EXPECT_TRUE(Matches(QStringLiteral("Name Not Like 'Valve%'"), kMotor));
}

TEST(Criteria, MalformedCriteriaFailClearly) {
    EXPECT_EQ(ErrorOf(QStringLiteral("Nme='x'")), err::ItemNotFound);
    EXPECT_EQ(ErrorOf(QStringLiteral("Name='x")), err::InvalidArgument);
    EXPECT_EQ(ErrorOf(QStringLiteral("Name 'x'")), err::InvalidArgument);
    EXPECT_EQ(ErrorOf(QStringLiteral("(ID = 1")), err::InvalidArgument);
    EXPECT_EQ(ErrorOf(QStringLiteral("ID = 1 garbage")), err::InvalidArgument);
    EXPECT_EQ(ErrorOf(QString()), err::InvalidArgument);
}

// Found by fuzzing: deep nesting ran the parser out of stack.
TEST(Criteria, NestingAndLengthHaveLimitsInsteadOfEndingTheProgram) {
    EXPECT_EQ(ErrorOf(QString(100000, u'(') + QStringLiteral("ID = 1")), err::InvalidArgument);
    EXPECT_EQ(ErrorOf(QStringLiteral("NOT ").repeated(50000) + QStringLiteral("ID = 1")), err::InvalidArgument);
    EXPECT_EQ(ErrorOf(QStringLiteral("ID = 1 AND ").repeated(5000) + QStringLiteral("ID = 1")), err::InvalidArgument);
    // What people write stays well inside.
    EXPECT_TRUE(Matches(QString(60, u'(') + QStringLiteral("ID = 5") + QString(60, u')'), kMotor));
    EXPECT_TRUE(Matches(QStringLiteral("ID > 0 OR ").repeated(1000) + QStringLiteral("ID = 5"), kMotor));
}

TEST(Criteria, CompareValuesOrdersNullFirstAndTextsWithoutCase) {
    EXPECT_LT(CompareValues(QVariant(), 1), 0);
    EXPECT_EQ(CompareValues(QStringLiteral("abc"), QStringLiteral("ABC")), 0);
    EXPECT_LT(CompareValues(2, 10), 0) << "numbers compare as numbers, not as texts";
    EXPECT_EQ(CompareValues(QStringLiteral("10"), 10), 0);
}

}  // namespace
