// The texts built into the program: the bilingual text table (every text in
// both languages, looked up in the chosen one, captions named by tag tokens)
// and the help pages (every topic's page in both languages, every link
// between pages leading to a page).

#include "settings/HelpTopics.h"
#include "settings/TextEntries.h"
#include "settings/TextTable.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

using namespace ov::settings;

namespace {

class TextTableTest : public ::testing::Test {
protected:
    void TearDown() override { table.SetLanguage(TextTable::kGerman); }
    TextTable& table = TextTable::Instance();
};

TEST_F(TextTableTest, EveryEntryExistsInBothLanguages) {
    const auto entries = BuiltInTextEntries();
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
    EXPECT_EQ(classic, 484) << "the 480 texts of the editor, the item dialog's two failure texts and the 64-bit types' names";
    EXPECT_EQ(ids.size(), static_cast<qsizetype>(entries.size())) << "every number once";
}

TEST_F(TextTableTest, LooksUpInTheChosenLanguageAndOtherLanguagesMeanGerman) {
    table.SetLanguage(TextTable::kEnglish);
    EXPECT_EQ(table.Text(504), "External");
    table.SetLanguage(TextTable::kGerman);
    EXPECT_EQ(table.Text(504), "Extern");
    EXPECT_EQ(table.Text(1103), "Kanäle:") << "letters beyond ASCII";
    table.SetLanguage(1036);
    EXPECT_EQ(table.Language(), TextTable::kGerman);
    EXPECT_EQ(table.Text(503), "Gruppierungen");

    // Missing numbers name themselves in either language.
    EXPECT_EQ(table.Text(99999), "Resource 99999 not found");
    table.SetLanguage(TextTable::kEnglish);
    EXPECT_EQ(table.Text(2), "Resource 2 not found");
    EXPECT_FALSE(table.Contains(2));
    EXPECT_TRUE(table.Contains(2201));
    EXPECT_TRUE(table.Text(2201).contains("\r\n")) << "two-line texts keep their line break";
}

TEST_F(TextTableTest, CaptionsComeFromTagTokens) {
    table.SetLanguage(TextTable::kEnglish);
    for (const char* tag : {"C1502,A12", "a3,c1502"}) EXPECT_EQ(table.CaptionFromTag(tag), std::optional<QString>("Name")) << tag;
    for (const char* tag : {"A1502", "", "Cxyz"}) EXPECT_EQ(table.CaptionFromTag(tag), std::nullopt) << tag;
}

const QStringList kLanguages{"en", "de"};

TEST(HelpPages, EveryTopicHasItsPageInBothLanguages) {
    for (int topic : {help::kEditor, help::kDevices, help::kInternal, help::kGroups, help::kUnits, help::kStructures,
                      help::kItemGrid, help::kDeviceDialog, help::kItemDialog, help::kDefaultModeDialog,
                      help::kItemOptionsDialog, help::kRenameFolderDialog, help::kSimulationParametersDialog,
                      help::kGroupDialog, help::kStructureDialog, help::kMemberDialog, help::kUnitClassDialog,
                      help::kUnitDialog, help::kBrowseItemsDialog, help::kOvopcItemsDialog, help::kGroupWizardDialog,
                      help::kOptionsDialog, help::kCsv}) {
        const QString page = help::PageOfTopic(topic);
        EXPECT_NE(page, "index") << topic;
        for (const QString& language : kLanguages) {
            const auto text = help::PageText(language, page);
            ASSERT_TRUE(text) << language.toStdString() << "/" << page.toStdString();
            EXPECT_TRUE(text->startsWith("# ")) << "a page starts with its title: " << page.toStdString();
        }
    }
    EXPECT_EQ(help::PageOfTopic(12345), "index") << "an unknown topic opens the contents";
    EXPECT_FALSE(help::PageText("fr", "index"));
}

TEST(HelpPages, BothLanguagesHaveTheSamePagesNamedInTheContentsAndEveryLinkLeadsToOne) {
    const QStringList english = help::PageNames("en");
    const QStringList german = help::PageNames("de");
    EXPECT_GE(english.size(), 20);
    EXPECT_EQ(QSet<QString>(english.begin(), english.end()), QSet<QString>(german.begin(), german.end()));
    const QRegularExpression link(QStringLiteral(R"(\]\(([^)#]+)\.md(#[^)]*)?\))"));
    for (const QString& language : kLanguages) {
        const QStringList pages = help::PageNames(language);
        const QString contents = *help::PageText(language, "index");
        for (const QString& page : pages) {
            EXPECT_TRUE(page == "index" || contents.contains(QStringLiteral("(%1.md)").arg(page)))
                << language.toStdString() << " contents miss " << page.toStdString();
            const QString text = *help::PageText(language, page);
            for (auto it = link.globalMatch(text); it.hasNext();) {
                const QString target = it.next().captured(1);
                EXPECT_TRUE(pages.contains(target))
                    << language.toStdString() << "/" << page.toStdString() << " links to " << target.toStdString();
            }
        }
    }
}

}  // namespace
