// The query texts of the editor: Like patterns (wildcards, bracketed
// literals, sets and ranges, without regard to letter case), Find and Filter
// criteria evaluated on a row and refused when malformed or too deep, and the
// SQL made fit for SQLite with the analysis that tells which statements have
// single base rows to page through.

#include "platform/db/Criteria.h"
#include "platform/db/DbError.h"
#include "platform/db/LikePattern.h"
#include "platform/db/SqlDialect.h"

#include <gtest/gtest.h>

using namespace ov::db;

namespace {

bool Like(const char* text, const char* pattern) {
    return LikePattern(QString::fromUtf8(pattern)).Matches(QString::fromUtf8(text));
}

TEST(LikePattern, MatchesWhatThePatternSays) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        // "%" and "_" are wildcards.
        {"Line1.Motor1.Speed", "Line1.%", true}, {"Line1.", "Line1.%", true}, {"Line2.Motor", "Line1.%", false},
        {"abc", "a_c", true}, {"ac", "a_c", false}, {"a.b.c", "%.%.%", true}, {"a.b", "%.%.%", false},
        {"", "%", true}, {"", "", true}, {"x", "", false},
        // Brackets make wildcards literal.
        {"50%", "50[%]", true}, {"500", "50[%]", false}, {"a_b", "a[_]b", true}, {"axb", "a[_]b", false},
        {"[x]", "[[]x]", true}, {"Tank[1].Level", "Tank[[]1].%", true}, {"Tank1.Level", "Tank[[]1].%", false},
        // Sets, ranges and their negation; an unclosed bracket is literal.
        {"M3", "M[0-9]", true}, {"MX", "M[0-9]", false}, {"MX", "M[!0-9]", true}, {"M3", "M[!0-9]", false},
        {"b", "[abc]", true}, {"!", "[!]", true}, {"a[b", "a[b", true}, {"ab", "a[b", false},
        // Letter case does not count, umlauts included.
        {"MOTOR", "motor", true}, {"Füllstand", "FÜLL%", true}, {"X", "[a-z]", true},
        // "_" is one character, also one beyond the Basic Multilingual Plane.
        {"Pump😀", "Pump_", true}, {"Pump😀", "Pump__", false}, {"😀", "[😀]", true},
    };
    for (const auto& [text, pattern, matches] : cases)
        EXPECT_EQ(Like(text, pattern), matches) << text << " Like " << pattern;
}

// The item view's folder query is tried through SQL with the connection.
TEST(LikePattern, EscapesAndTheCriteriaStar) {
    EXPECT_TRUE(LikePattern("50\\%", u'\\').Matches("50%"));
    EXPECT_FALSE(LikePattern("50\\%", u'\\').Matches("500"));
    EXPECT_TRUE(LikePattern::ForCriteria("Mot*").Matches("Motor"));
    // Backtracking is bounded: a long non-matching text with many "%" ends quickly.
    EXPECT_FALSE(LikePattern("%a%a%a%a%a%b").Matches(QString(5000, u'a')));
}

const QStringList kFields = {"ID", "Name", "Enabled", "MaxVal"};

bool Matches(const QString& criteria, const QVariantList& row) {
    return Criteria::Parse(criteria, kFields).Evaluate([&row](int i) { return row[i]; });
}

// The error number Parse throws, 0 when the criteria are fine.
std::uint32_t ParseError(const QString& text) {
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
    EXPECT_EQ(ParseError(QStringLiteral("Nme='x'")), err::ItemNotFound);
    for (const char* bad : {"Name='x", "Name 'x'", "(ID = 1", "ID = 1 garbage", ""})
        EXPECT_EQ(ParseError(QString::fromUtf8(bad)), err::InvalidArgument) << bad;
}

// Found by fuzzing: deep nesting ran the parser out of stack.
TEST(Criteria, NestingAndLengthHaveLimitsInsteadOfEndingTheProgram) {
    EXPECT_EQ(ParseError(QString(100000, u'(') + QStringLiteral("ID = 1")), err::InvalidArgument);
    EXPECT_EQ(ParseError(QStringLiteral("NOT ").repeated(50000) + QStringLiteral("ID = 1")), err::InvalidArgument);
    EXPECT_EQ(ParseError(QStringLiteral("ID = 1 AND ").repeated(5000) + QStringLiteral("ID = 1")), err::InvalidArgument);
    // What people write stays well inside.
    EXPECT_TRUE(Matches(QString(60, u'(') + QStringLiteral("ID = 5") + QString(60, u')'), kMotor));
    EXPECT_TRUE(Matches(QStringLiteral("ID > 0 OR ").repeated(1000) + QStringLiteral("ID = 5"), kMotor));
}

TEST(Criteria, CompareValuesOrdersNullFirstAndTextsWithoutCase) {
    EXPECT_LT(CompareValues(QVariant(), 1), 0);
    EXPECT_EQ(CompareValues("abc", "ABC"), 0);
    EXPECT_LT(CompareValues(2, 10), 0) << "numbers compare as numbers, not as texts";
    EXPECT_EQ(CompareValues("10", 10), 0);
}

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

TEST(SqlDialect, AnalysesSelectsWithSingleBaseRows) {
    const auto parts =
        AnalyseSelect(TranslateSql("SELECT * FROM [TpdbItems] WHERE (DeviceID = 3 AND Name Not Like 'A.%.%' ) ORDER BY Name"));
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->baseTable, "TpdbItems");
    EXPECT_EQ(parts->selectList, "*");
    EXPECT_EQ(parts->where, "(DeviceID = 3 AND Name Not Like 'A.%.%' )");
    EXPECT_EQ(parts->orderBy, "Name");
    EXPECT_FALSE(parts->isJoin);

    const auto aliased = AnalyseSelect("SELECT i.Name FROM TpdbItems AS i WHERE i.ID > 3");
    ASSERT_TRUE(aliased);
    EXPECT_EQ(aliased->baseTable, "TpdbItems");
    EXPECT_EQ(aliased->baseQualifier, "i");

    // The group view: a join whose base rows are the items.
    const auto joined = AnalyseSelect(
        "SELECT TpdbItems.*, TpdbConnections.GroupID, TpdbDevices.Name As DeviceName FROM ((TpdbItems INNER JOIN "
        "TpdbConnections ON TpdbItems.ID = TpdbConnections.ItemID) INNER JOIN TpdbGroups ON TpdbConnections.GroupID "
        "= TpdbGroups.ID) INNER JOIN TpdbDevices ON TpdbItems.DeviceID = TpdbDevices.ID WHERE (GroupID = 2)");
    ASSERT_TRUE(joined);
    EXPECT_EQ(joined->baseTable, "TpdbItems");
    EXPECT_EQ(joined->baseQualifier, "TpdbItems");
    EXPECT_TRUE(joined->isJoin);
    EXPECT_EQ(joined->where, "(GroupID = 2)");
}

TEST(SqlDialect, StatementsWithoutSingleBaseRowsAreReadWhole) {
    for (const char* sql : {"SELECT COUNT(*) FROM TpdbItems", "SELECT DISTINCT DeviceID FROM TpdbItems",
                            "SELECT DeviceID FROM TpdbItems GROUP BY DeviceID", "SELECT * FROM (SELECT * FROM TpdbItems)",
                            "SELECT * FROM A UNION SELECT * FROM B", "UPDATE TpdbItems SET Name = ItemAccess"})
        EXPECT_FALSE(AnalyseSelect(QString::fromUtf8(sql))) << sql;
}

TEST(SqlDialect, TextsCommentsAndQuotedNamesAreReadWhole) {
    // Punctuation inside a text neither nests nor ends a clause.
    const auto parts =
        AnalyseSelect(TranslateSql("SELECT * FROM TpdbItems WHERE Name = '(' OR Name = \"a;b\" ORDER BY Name"));
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->where, "Name = '(' OR Name = 'a;b'");
    EXPECT_EQ(parts->orderBy, "Name");

    // A comment is white space, even with a quote in it.
    EXPECT_EQ(TranslateSql("SELECT * /* it's old */ FROM T WHERE X = True"), "SELECT *   FROM T WHERE X = -1");
    EXPECT_EQ(TranslateSql("SELECT * FROM T -- it's old\nWHERE X = True"), "SELECT * FROM T  \nWHERE X = -1");

    // A doubled backquote is part of the name, not the start of another one.
    const auto odd = AnalyseSelect("SELECT * FROM `Odd``Name` WHERE ID = 1");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->baseTable, "Odd`Name");
    EXPECT_EQ(odd->baseQualifier, "`Odd``Name`");
    EXPECT_EQ(odd->where, "ID = 1");
}

TEST(SqlDialect, QuoteNameNeverBreaksOut) {
    EXPECT_EQ(QuoteName("TpdbItems.UniqueName"), "[TpdbItems.UniqueName]");
    EXPECT_EQ(QuoteName("a]; DROP TABLE x"), "[a; DROP TABLE x]");
}

}  // namespace
