// The numbers of the unit dialog: how texts are read and values shown, the
// straight line through two points, and the catalogue of conversions.

#include "model/UnitCatalogue.h"
#include "model/UnitConversion.h"
#include "support/QtPrinters.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace ov::model::units;

namespace {

TEST(UnitNumbers, ReadTheLeadingNumberWithEitherDecimalMark) {
    const std::tuple<const char*, FieldType, double> cases[] = {
        // Blanks are skipped, the number ends at a second mark, an exponent needs digits.
        {"2,5", FieldType::Double, 2.5}, {"2.5", FieldType::Double, 2.5}, {" -3.25 °C", FieldType::Double, -3.25},
        {"1 000", FieldType::Double, 1000.0}, {"1,2,3", FieldType::Double, 1.2},
        {"1.5e3x", FieldType::Double, 1500.0}, {"7e", FieldType::Double, 7.0},
        {"1e400", FieldType::Double, 0.0},
        // Integer types take the largest integer not above.
        {"3.9", FieldType::Integer, 3.0}, {"-3.1", FieldType::Integer, -4.0}, {"-0.5", FieldType::SmallInt, -1.0},
    };
    for (const auto& [text, type, value] : cases)
        EXPECT_DOUBLE_EQ(Parse(QString::fromUtf8(text), type), value) << text;
    for (const char* none : {"", "NaN", "abc", "-", ".", "e5", "inf"})
        EXPECT_DOUBLE_EQ(Parse(QString::fromUtf8(none), FieldType::Double), 0.0) << none;
}

TEST(UnitNumbers, NumbersOutOfRangeAreNoNumbers) {
    for (const auto& [text, type] : {std::pair{"1e400", FieldType::Double}, {"-1e400", FieldType::Double},
                                     {"1e39", FieldType::Single}, {"2147483648", FieldType::Integer},
                                     {"32768", FieldType::SmallInt}})
        EXPECT_FALSE(ParseChecked(QString::fromUtf8(text), type)) << text;
    EXPECT_EQ(ParseChecked(QStringLiteral("-2147483648"), FieldType::Integer), -2147483648.0);
    EXPECT_EQ(ParseChecked(QStringLiteral("1e-400"), FieldType::Double), 0.0) << "too small to tell from 0";
    EXPECT_EQ(ParseChecked(QStringLiteral("0.0000001e-399"), FieldType::Double), 0.0);
}

TEST(UnitNumbers, NumericMeansTheWholeText) {
    for (const char* yes : {"2,5", "2.5", " -1 ", "1e3", ".5"}) EXPECT_TRUE(IsNumeric(QString::fromUtf8(yes))) << yes;
    for (const char* no : {"", " ", "2,5,1", "12a", "NaN", "1e400", "--1"}) EXPECT_FALSE(IsNumeric(QString::fromUtf8(no))) << no;
}

TEST(UnitNumbers, ValuesAreShownWithTheirDecimals) {
    const std::tuple<double, FieldType, int, const char*> cases[] = {
        // Integer formats move the decimal point; without decimals the integer part.
        {1234, FieldType::Integer, 2, "12.34"}, {34, FieldType::Integer, 1, "3.4"}, {5, FieldType::Integer, 3, "0.005"},
        {0, FieldType::Integer, 2, "0"}, {34.7, FieldType::Integer, 0, "34"}, {-34.7, FieldType::Integer, -5, "-34"},
        {-0.2, FieldType::Integer, 0, "0"},
        // Floating formats: at most 15 significant digits, or the largest integer not above.
        {1.8, FieldType::Double, -1, "1.8"}, {0.1 + 0.2, FieldType::Double, -1, "0.3"},
        {5.0 / 9.0, FieldType::Double, -1, "0.555555555555556"}, {-273.15, FieldType::Double, -1, "-273.15"},
        {33.8, FieldType::Double, 0, "33"}, {-33.2, FieldType::Double, 0, "-34"}, {33.8, FieldType::Double, 1, "33.8"},
        {2, FieldType::Double, 3, "2.000"},
    };
    for (const auto& [value, type, decimals, text] : cases)
        EXPECT_EQ(Format(value, type, decimals), QString::fromUtf8(text)) << value;
    EXPECT_EQ(Format(1e-7, FieldType::Double, -1).toDouble(), 1e-7);
    EXPECT_EQ(Format(1.0 / 3, FieldType::Double, 400).size(), 32) << "decimals beyond a double's are left off";
}

TEST(UnitNumbers, StraightLineThroughTwoPoints) {
    const auto fahrenheit = LineThrough(0, 32, 100, 212);
    ASSERT_TRUE(fahrenheit);
    EXPECT_DOUBLE_EQ(fahrenheit->m, 1.8);
    EXPECT_DOUBLE_EQ(fahrenheit->b, 32.0);
    EXPECT_FALSE(LineThrough(5, 1, 5, 2)) << "x1 equal to x2";
    EXPECT_FALSE(LineThrough(0, 0, 1e-320, 1e300)) << "a slope no double holds";
}

TEST(UnitNumbers, ConversionDataNeedsSixParts) {
    const auto data = SplitConversionData(QStringLiteral("0;-273.15;273.15;0;0;°C"));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->y1, QStringLiteral("-273.15"));
    EXPECT_EQ(data->unitText, QStringLiteral("°C"));
    for (const char* bad : {"", "1;2;3;4;5", "0;32;100"}) EXPECT_FALSE(SplitConversionData(QString::fromUtf8(bad))) << bad;
}

TEST(UnitCatalogue, ThreeLevelsInTreeOrderLabelledInBothLanguages) {
    const auto& nodes = ConversionCatalogue();
    QSet<QString> seen;
    int categories = 0, conversions = 0;
    for (const CatalogueNode& node : nodes) {
        EXPECT_TRUE(node.parentKey.isEmpty() || seen.contains(node.parentKey)) << "a node follows its parent";
        seen.insert(node.key);
        EXPECT_FALSE(node.german.isEmpty() || node.english.isEmpty()) << node.key.toStdString();
        if (node.parentKey.isEmpty()) ++categories;
        if (!node.data.isEmpty()) {
            ++conversions;
            EXPECT_TRUE(SplitConversionData(node.data)) << node.data.toStdString();
            EXPECT_EQ(node.image, QStringLiteral("Unit"));
        }
    }
    EXPECT_EQ(categories, 3);
    EXPECT_EQ(conversions, 27);
    EXPECT_EQ(nodes.front().german, QStringLiteral("Temperaturmaße"));
    EXPECT_EQ(nodes.front().english, QStringLiteral("Temperature measures"));
    EXPECT_EQ(nodes.front().image, QStringLiteral("Temperature"));
    EXPECT_EQ(nodes.back().data, QStringLiteral("0;0;1;1.1023;0;t."));
}

}  // namespace
