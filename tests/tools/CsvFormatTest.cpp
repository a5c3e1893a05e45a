// The CSV field rules: how values are written and read back, how lines are
// split, which numbers a field holds, and the Windows-1252 code page.

#include "tools/Cp1252.h"
#include "tools/CsvFormat.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace ov;
using namespace ov::tools;

namespace {

const QLocale kGerman(QLocale::German, QLocale::Germany);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

TEST(CsvFormatTest, TextsWithSemicolonsAreQuotedAndSplitBackWithTheFieldsAfterThem) {
    const QString comment = QStringLiteral("Check \"V1\"; then restart");
    const QString line = QStringLiteral("7;") + FormatField(comment, FieldKind::Text, kEnglish) + QStringLiteral(";x;;-1");
    EXPECT_EQ(line, QStringLiteral("7;\"Check \"\"V1\"\"; then restart\";x;;-1"));
    EXPECT_EQ(SplitCsvLine(line, 31), (QStringList{"7", comment, "x", "", "-1"}));
    // A line without quoted fields is split at every ";", quotes inside fields kept.
    EXPECT_EQ(SplitCsvLine(QStringLiteral("1;say \"hi\";2"), 31), (QStringList{"1", "say \"hi\"", "2"}));
}

TEST(CsvFormatTest, TextsWithQuotesOrLineBreaksAreQuotedAndReadBackWhole) {
    for (const QString& text : {QStringLiteral("\"q\" w"), QStringLiteral("5\" x"), QStringLiteral("a\nb"),
                                QStringLiteral("a\r\nb"), QStringLiteral("a; \"b\"; c\nd"), QStringLiteral("\"")}) {
        const QString field = FormatField(text, FieldKind::Text, kEnglish);
        EXPECT_TRUE(field.startsWith(u'"') && field.endsWith(u'"')) << field.toStdString();
        // As the first field of a line, and between others.
        EXPECT_EQ(SplitCsvLine(field + QStringLiteral(";2"), 31), (QStringList{text, "2"})) << field.toStdString();
        EXPECT_EQ(SplitCsvLine(QStringLiteral("1;") + field + QStringLiteral(";2"), 31), (QStringList{"1", text, "2"}));
    }
    EXPECT_EQ(FormatField(QStringLiteral("plain text"), FieldKind::Text, kEnglish), QStringLiteral("plain text"));
}

TEST(CsvFormatTest, TheQuoteScannerTellsWhenALineBreakBelongsToAField) {
    const auto openAfter = [](const QStringList& lines) {
        QuoteScanner scanner;
        for (const QString& line : lines) scanner.Feed(line);
        return scanner.Open();
    };
    EXPECT_TRUE(openAfter({QStringLiteral("1;\"first\r\n")}));
    EXPECT_FALSE(openAfter({QStringLiteral("1;\"first\r\n"), QStringLiteral("second\";3\r\n")}));
    EXPECT_FALSE(openAfter({QStringLiteral("1;\"a \"\"quoted\"\" word\";2\r\n")})) << "doubled quotes stay inside";
    EXPECT_TRUE(openAfter({QStringLiteral("1;\"ends with a quote \"\"\r\n")}));
    EXPECT_FALSE(openAfter({QStringLiteral("1;5\" pipe;2\r\n")})) << "a quote inside a field opens nothing";
    EXPECT_FALSE(openAfter({QStringLiteral("1;\"\";2\r\n")})) << "an empty quoted field";
}

TEST(CsvFormatTest, ValuesAreWrittenByTheirColumnKind) {
    const std::tuple<QVariant, FieldKind, QLocale, const char*> cases[] = {
        {1.5, FieldKind::Number, kGerman, "1,5"},  {1.5, FieldKind::Number, kEnglish, "1.5"},
        {1234567, FieldKind::Number, kGerman, "1234567"},  // no group separators
        {true, FieldKind::Boolean, kEnglish, "-1"}, {false, FieldKind::Boolean, kEnglish, "0"},
        {QVariant(), FieldKind::Text, kEnglish, ""}, {QByteArray("\x01\x02"), FieldKind::Other, kEnglish, ""}};
    for (const auto& [value, kind, locale, text] : cases)
        EXPECT_EQ(FormatField(value, kind, locale), QString::fromUtf8(text)) << value.toString().toStdString();
}

TEST(CsvFormatTest, FieldsGiveTheirLeadingNumberWithEitherDecimalSeparator) {
    // An exponent needs its digits; what is too large for a double is none.
    const std::pair<const char16_t*, std::optional<double>> numbers[] = {
        {u"1,5", 1.5}, {u"1.5", 1.5}, {u"  -2.5e3 kg", -2500.0}, {u"12abc", 12.0}, {u"NaN", 0.0},
        {u"--5", 0.0}, {u"-0", 0.0},  {u"2E", 2.0},              {u"1e999", std::nullopt}};
    for (const auto& [text, number] : numbers)
        EXPECT_EQ(LeadingNumber(text), number) << QString::fromUtf16(text).toStdString();

    QString error;
    const auto flag = ImportField(QStringLiteral("-1"), FieldKind::Boolean, db::DataType::Boolean, &error);
    ASSERT_TRUE(flag);
    EXPECT_EQ(flag->value, QVariant(true));
    EXPECT_EQ(ImportField(QStringLiteral("0"), FieldKind::Boolean, db::DataType::Boolean, &error)->value, QVariant(false));
    EXPECT_TRUE(ImportField(QString(), FieldKind::Text, db::DataType::VarWChar, &error)->value.isNull()) << "empty text is Null";
    EXPECT_EQ(ImportField(QStringLiteral("2,5"), FieldKind::Number, db::DataType::Integer, &error)->value, QVariant(2LL))
        << "whole-number columns round halves to even";
    EXPECT_FALSE(ImportField(QStringLiteral("1e999"), FieldKind::Number, db::DataType::Double, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("1e999")));
    EXPECT_FALSE(ImportField(QStringLiteral("1e300"), FieldKind::Number, db::DataType::Integer, &error));
}

TEST(CsvFormatTest, LinesKeepAtMostOneFieldTooManySoLongLinesNeverFit) {
    EXPECT_EQ(SplitCsvLine(QString(40, u';'), 31).size(), 32);
    EXPECT_EQ(SplitCsvLine(QStringLiteral("a;\"b;") + QString(40, u';'), 31).size(), 2) << "all inside the quote";
    bool unterminated = false;
    SplitCsvLine(QStringLiteral("1;\"never closed;2"), 31, &unterminated);
    EXPECT_TRUE(unterminated);
    EXPECT_EQ(SplitCsvLine(QString(1000000, u'x'), 31).size(), 1);
}

TEST(Cp1252Test, TheCodePageMapsItsOwnCharactersBothWays) {
    const QString text = QStringLiteral("€ 5, Größe ü, „quoted“, ‰ Ÿ");
    const QByteArray bytes = EncodeCp1252(text);
    EXPECT_EQ(bytes.at(0), '\x80');
    EXPECT_EQ(DecodeCp1252(bytes), text);
    EXPECT_EQ(EncodeCp1252(u"日本"), QByteArray("??")) << "what the code page lacks";
    // Bytes the code page leaves undefined survive a round trip.
    EXPECT_EQ(EncodeCp1252(DecodeCp1252(QByteArray("\x81\x8D"))), QByteArray("\x81\x8D"));
}

}  // namespace
