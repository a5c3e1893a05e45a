// The editor on a project that lies on a network share, driven through the
// session as the studio drives it.

#include "editor/frmtabgridOPC.h"
#include "host/NodeKey.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"
#include "support/NetworkShare.h"
#include "support/SessionHarness.h"

#include <gtest/gtest.h>

using namespace ov;

namespace {

class NetworkShareWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        harness.Registry().WriteValue(sys::Hive::LocalMachine, QStringLiteral("SOFTWARE\\Senmark GmbH\\Orvana\\4.0"),
                                      QStringLiteral("LCID"), QStringLiteral("1033"));
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish);
    }
    void TearDown() override { settings::TextTable::Instance().SetLanguage(settings::TextTable::kGerman); }

    editor::frmtabgridOPC& Window() { return dynamic_cast<editor::frmtabgridOPC&>(*harness.Session().Window()); }
    void Load() {
        harness.Start(project.Path());
        harness.Load();
    }

    test::SessionHarness harness;
    test::TempProject project{test::TempProject::Content::Demo};
};

TEST_F(NetworkShareWindowTest, TheStatusBarSaysSoOnceAndNothingInterrupts) {
    const test::NetworkShareScope share(project.Folder());
    Load();
    ASSERT_TRUE(harness.Session().IsLoaded());
    const QStringList notice{
        QStringLiteral("The project lies on a network share (NFS): only one computer at a time should write to it.")};
    EXPECT_EQ(Window().sb().Notices(), notice);
    EXPECT_TRUE(ui::DefaultMessageBoxes().Shown().empty()) << "no message box to click away";
    EXPECT_EQ(test::JournalVersion(project.Path()), test::kRollbackJournal);

    // The counters change beside it; Refresh View loads the editor anew.
    harness.Session().NodeClick(QString(), host::nodekey::DeviceKey(1, QStringLiteral("."), false), QString());
    harness.Session().Reload();
    ASSERT_TRUE(harness.Session().IsLoaded());
    EXPECT_EQ(Window().sb().Notices(), notice);
    EXPECT_TRUE(ui::DefaultMessageBoxes().Shown().empty());
}

TEST_F(NetworkShareWindowTest, OnALocalDiskThereIsNoNoticeAndTheLogStays) {
    Load();
    ASSERT_TRUE(harness.Session().IsLoaded());
    EXPECT_TRUE(Window().sb().Notices().isEmpty());
    EXPECT_EQ(test::JournalVersion(project.Path()), test::kWriteAheadLog);
}

}  // namespace
