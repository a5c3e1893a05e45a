// The bilingual text table: every text in both languages, looked up in the
// chosen one, and captions named by tag tokens.

#include "settings/TextEntries.h"
#include "settings/TextTable.h"

#include <QSet>
#include <gtest/gtest.h>

using ov::settings::TextTable;

namespace {

class TextTableTest : public ::testing::Test {
protected:
    void TearDown() override { table.SetLanguage(TextTable::kGerman); }
    TextTable& table = TextTable::Instance();
};

TEST_F(TextTableTest, EveryEntryExistsInBothLanguages) {
    const auto entries = ov::settings::BuiltInTextEntries();
    QSet<int> ids;
    int classic = 0;
    for (const auto& entry : entries) {
        ids.insert(entry.id);
        if (entry.id < 9000) ++classic;
        EXPECT_FALSE(QString::fromUtf8(entry.english).isEmpty()) << entry.id;
        EXPECT_FALSE(QString::fromUtf8(entry.german).isEmpty()) << entry.id;
        // Placeholders are replaced by the callers: a translation must keep them.
        for (const char* placeholder : {"<cn>", "<it>", "<i>", "<DataError>", "<Number>", "<testtext>", "<testControl>", "<pn>", "<ps>", "<pc>"})
            EXPECT_EQ(QString::fromUtf8(entry.english).contains(QLatin1String(placeholder)),
                      QString::fromUtf8(entry.german).contains(QLatin1String(placeholder)))
                << entry.id << " " << placeholder;
    }
    EXPECT_EQ(classic, 482) << "the 480 texts of the editor and the item dialog's two failure texts";
    EXPECT_EQ(ids.size(), static_cast<qsizetype>(entries.size())) << "every number once";
}

TEST_F(TextTableTest, LooksUpInTheChosenLanguageAndOtherLanguagesMeanGerman) {
    table.SetLanguage(TextTable::kEnglish);
    EXPECT_EQ(table.Text(504), QStringLiteral("External"));
    EXPECT_EQ(table.Text(1107), QStringLiteral("Copy of "));
    table.SetLanguage(TextTable::kGerman);
    EXPECT_EQ(table.Text(504), QStringLiteral("Extern"));
    EXPECT_EQ(table.Text(909),
              QStringLiteral("Die Anzahl der Felder der Import-csv-Datei stimmen in Zeile <i> nicht mit dem Datenbankformat überein"));
    table.SetLanguage(1036);
    EXPECT_EQ(table.Language(), TextTable::kGerman);
    EXPECT_EQ(table.Text(503), QStringLiteral("Gruppierungen"));
}

TEST_F(TextTableTest, MissingNumbersNameThemselvesInEitherLanguage) {
    EXPECT_EQ(table.Text(99999), QStringLiteral("Resource 99999 not found"));
    table.SetLanguage(TextTable::kEnglish);
    EXPECT_EQ(table.Text(2), QStringLiteral("Resource 2 not found"));
    EXPECT_FALSE(table.Contains(2));
    EXPECT_TRUE(table.Contains(2201));
    EXPECT_TRUE(table.Text(2201).contains(QStringLiteral("\r\n"))) << "two-line texts keep their line break";
}

TEST_F(TextTableTest, CaptionsComeFromTagTokens) {
    table.SetLanguage(TextTable::kEnglish);
    EXPECT_EQ(table.CaptionFromTag(QStringLiteral("C1502,A12")), std::optional<QString>(QStringLiteral("Name")));
    EXPECT_EQ(table.CaptionFromTag(QStringLiteral("a3,c1502")), std::optional<QString>(QStringLiteral("Name")));
    EXPECT_EQ(table.CaptionFromTag(QStringLiteral("A1502")), std::nullopt);
    EXPECT_EQ(table.CaptionFromTag(QString()), std::nullopt);
    EXPECT_EQ(table.CaptionFromTag(QStringLiteral("Cxyz")), std::nullopt);
}

}  // namespace
