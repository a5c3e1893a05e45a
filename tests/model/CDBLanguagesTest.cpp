#include "model/CDBLanguages.h"
#include "model/DataConnection.h"
#include "platform/system/Registry.h"
#include "platform/ui/Control.h"
#include "support/QtPrinters.h"
#include "support/TempProject.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ov;
using model::CDBLanguages;

namespace {

// Every field of a font description, in the order of its columns.
auto Fields(const model::FontSpec& f) {
    return std::tuple(f.name, f.size, f.bold, f.charset, f.italic, f.strikethrough, f.underline, f.weight);
}

TEST(FontDescription, FixedColumnsWithTheSizeStartingInColumn32) {
    const QString name31 = QStringLiteral("Courier New Condensed Extra Bol");  // 31 characters
    ASSERT_EQ(name31.size(), 31);
    EXPECT_EQ(Fields(model::StringToFont(name31 + QStringLiteral("  12   1 161   0   0   1 700"))),
              std::tuple(name31, 12.0, true, 161, false, false, true, 700));
    // A short one gives what it holds.
    EXPECT_EQ(Fields(model::StringToFont(QStringLiteral("Arial"))), Fields({QStringLiteral("Arial")}));
    EXPECT_EQ(Fields(model::StringToFont(QString())), Fields({}));
    EXPECT_EQ(model::StringToFont(QStringLiteral("Arial                          8.25")).size, 8.25);
}

class LanguagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        data.Open(project.Path());
        data.Connection().Execute(QStringLiteral("INSERT INTO TcfgLanguages (LCID, kbLayout, Font) VALUES (1036, '0000040c', 'x')"));
    }
    void Init(const QString& registryLcid) {
        sys::Registry registry(dir.filePath(QStringLiteral("registry.ini")));
        if (!registryLcid.isEmpty())
            registry.WriteValue(sys::Hive::LocalMachine, QStringLiteral("SOFTWARE\\Senmark GmbH\\Orvana\\4.0"),
                                QStringLiteral("LCID"), registryLcid);
        languages.Init(data.OpenCommand(QStringLiteral("rsidxTexts")).FieldNames(), data.OpenCommand(QStringLiteral("rscfgLanguages")),
                       registry);
    }

    QTemporaryDir dir;
    test::TempProject project;
    model::DataConnection data;
    CDBLanguages languages;
};

TEST_F(LanguagesTest, EveryConfiguredLanguageWithItsTextColumn) {
    Init(QString());
    ASSERT_EQ(languages.Count(), 3);
    EXPECT_EQ(languages.Items()[0].lcid, 1031);
    EXPECT_EQ(languages.Item(QStringLiteral("L1033"))->textColumn, 4);
    EXPECT_EQ(languages.Item(QStringLiteral("l1031"))->textColumn, 3);
    EXPECT_EQ(languages.Item(QStringLiteral("L1036"))->textColumn, -1) << "listed, though it has no text column";
    EXPECT_EQ(languages.Item(QStringLiteral("L1033"))->keyboardLayout, QStringLiteral("00000409"));
    EXPECT_EQ(languages.CurrentLCID(), 1031) << "the registry default";
    EXPECT_EQ(data.Recordset(QStringLiteral("rscfgLanguages")).State(), db::ObjectState::Closed);
}

TEST_F(LanguagesTest, SelectorFallsBackToTheFirstLanguageAndReportsChanges) {
    Init(QStringLiteral("1049"));  // configured in the registry, not in the project
    ui::Control selector(ui::ControlType::ComboBox, QStringLiteral("cmbLanguage"));
    languages.InitLanguageComboBox(selector, -1);
    ASSERT_EQ(selector.list.Size(), 3u);
    EXPECT_EQ(selector.listIndex, 0);
    EXPECT_EQ(languages.CurrentLCID(), 1031);

    languages.InitLanguageComboBox(selector, 1033);
    EXPECT_EQ(selector.SelectedData().toInt(), 1033);

    std::pair<int, int> change;
    languages.LanguageChanged = [&](const model::CDBLanguage& o, const model::CDBLanguage& n) { change = {o.lcid, n.lcid}; };
    selector.listIndex = 2;
    languages.SelectorChanged(selector);
    EXPECT_EQ(change, std::pair(1033, 1036));
    EXPECT_EQ(languages.CurrentLCID(), 1036);
}

TEST(LanguageNames, FromTheLocale) {
    EXPECT_TRUE(CDBLanguages::LanguageName(1031).startsWith(QStringLiteral("Deutsch")));
    EXPECT_TRUE(CDBLanguages::LanguageName(1033).contains(QStringLiteral("English")));
    EXPECT_TRUE(CDBLanguages::GetNameFromLLCID(QStringLiteral("L1036")).startsWith(QStringLiteral("français")));
    EXPECT_EQ(CDBLanguages::LanguageName(4242), QStringLiteral("LCID 4242"));
}

}  // namespace
