// Find and Filter criteria evaluated on a row, and the refusal of criteria
// that are malformed or would run the parser out of stack.

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

TEST(Criteria, EvaluatesComparisonsLikeAndLogicOnARow) {
    const std::tuple<const char*, const QVariantList&, bool> cases[] = {
        // Equality on numbers and on texts without regard to case, in both quote styles.
        {"ID=5", kMotor, true}, {"ID=6", kMotor, false}, {"Name='motor 1'", kMotor, true},
        {"[Name] = 'MOTOR 1'", kMotor, true}, {"Name='Valve''s \"A\"'", kValve, true},
        {"Name=\"Valve's \"\"A\"\"\"", kValve, true},
        // Comparisons, booleans and Null: Null is never unequal to a value.
        {"MaxVal >= 1500", kMotor, true}, {"MaxVal < 1000.5", kMotor, false}, {"Enabled = True", kMotor, true},
        {"Enabled = -1", kMotor, true}, {"Enabled = 0", kValve, true}, {"MaxVal <> 3", kValve, false},
        {"MaxVal Is Null", kValve, true}, {"MaxVal = Null", kValve, true}, {"MaxVal Is Not Null", kMotor, true},
        // AND binds tighter than OR.
        {"ID = 1 OR ID = 5 AND Enabled = True", kMotor, true}, {"(ID = 1 OR ID = 6) AND Enabled = True", kMotor, false},
        {"NOT (ID = 6)", kMotor, true},
        // Like with both wildcard styles.
        {"Name Like 'Mot*'", kMotor, true}, {"Name Like 'mot%'", kMotor, true}, {"Name Not Like 'Valve%'", kMotor, true},
    };
    for (const auto& [criteria, row, matches] : cases)
        EXPECT_EQ(Matches(QString::fromUtf8(criteria), row), matches) << criteria;
}

TEST(Criteria, MalformedCriteriaFailClearly) {
    EXPECT_EQ(ErrorOf(QStringLiteral("Nme='x'")), err::ItemNotFound);
    for (const char* bad : {"Name='x", "Name 'x'", "(ID = 1", "ID = 1 garbage", ""})
        EXPECT_EQ(ErrorOf(QString::fromUtf8(bad)), err::InvalidArgument) << bad;
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
