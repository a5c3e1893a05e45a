// The help pages built into the program: every topic has its page in both
// languages, and every link between pages leads to a page.

#include "settings/HelpTopics.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

using namespace ov::settings;

namespace {

const QStringList kLanguages{QStringLiteral("en"), QStringLiteral("de")};

TEST(HelpPages, EveryTopicHasItsPageInBothLanguages) {
    for (int topic : {help::kEditor, help::kDevices, help::kInternal, help::kGroups, help::kUnits, help::kStructures,
                      help::kItemGrid, help::kDeviceDialog, help::kItemDialog, help::kDefaultModeDialog,
                      help::kItemOptionsDialog, help::kRenameFolderDialog, help::kSimulationParametersDialog,
                      help::kGroupDialog, help::kStructureDialog, help::kMemberDialog, help::kUnitClassDialog,
                      help::kUnitDialog, help::kBrowseItemsDialog, help::kOvopcItemsDialog, help::kGroupWizardDialog,
                      help::kOptionsDialog, help::kCsv}) {
        const QString page = help::PageOfTopic(topic);
        EXPECT_NE(page, QStringLiteral("index")) << topic;
        for (const QString& language : kLanguages) {
            const auto text = help::PageText(language, page);
            ASSERT_TRUE(text) << language.toStdString() << "/" << page.toStdString();
            EXPECT_TRUE(text->startsWith(QStringLiteral("# "))) << "a page starts with its title: " << page.toStdString();
        }
    }
    EXPECT_EQ(help::PageOfTopic(12345), QStringLiteral("index")) << "an unknown topic opens the contents";
    EXPECT_FALSE(help::PageText(QStringLiteral("fr"), QStringLiteral("index")));
}

TEST(HelpPages, BothLanguagesHaveTheSamePagesNamedInTheContentsAndEveryLinkLeadsToOne) {
    const QStringList english = help::PageNames(QStringLiteral("en"));
    const QStringList german = help::PageNames(QStringLiteral("de"));
    EXPECT_GE(english.size(), 20);
    EXPECT_EQ(QSet<QString>(english.begin(), english.end()), QSet<QString>(german.begin(), german.end()));
    const QRegularExpression link(QStringLiteral(R"(\]\(([^)#]+)\.md(#[^)]*)?\))"));
    for (const QString& language : kLanguages) {
        const QStringList pages = help::PageNames(language);
        const QString contents = *help::PageText(language, QStringLiteral("index"));
        for (const QString& page : pages) {
            EXPECT_TRUE(page == QStringLiteral("index") || contents.contains(QStringLiteral("(%1.md)").arg(page)))
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
