// The editor on a project that lies on a network share, driven through the
// session as the studio drives it.

#include "host/NodeKey.h"
#include "support/EditorTest.h"
#include "support/NetworkShare.h"

#include <gtest/gtest.h>

using namespace ov;

namespace {

class NetworkShareWindowTest : public test::EditorTest {
protected:
    void SetUp() override {
        harness.Registry().WriteValue(sys::Hive::LocalMachine, QStringLiteral("SOFTWARE\\Senmark GmbH\\Orvana\\4.0"),
                                      QStringLiteral("LCID"), QStringLiteral("1033"));
    }
};

TEST_F(NetworkShareWindowTest, TheStatusBarSaysSoOnceAndNothingInterrupts) {
    const test::NetworkShareScope share(project.Folder());
    Open();
    ASSERT_TRUE(harness.Session().IsLoaded());
    const QStringList notice{
        QStringLiteral("The project lies on a network share (NFS): only one computer at a time should write to it.")};
    EXPECT_EQ(Window().sb().Notices(), notice);
    EXPECT_TRUE(Messages().isEmpty()) << "no message box to click away";
    EXPECT_EQ(test::JournalVersion(project.Path()), test::kRollbackJournal);

    // The counters change beside it; Refresh View loads the editor anew.
    Click(host::nodekey::DeviceKey(1, QStringLiteral("."), false));
    harness.Session().Reload();
    ASSERT_TRUE(harness.Session().IsLoaded());
    EXPECT_EQ(Window().sb().Notices(), notice);
    EXPECT_TRUE(Messages().isEmpty());
}

TEST_F(NetworkShareWindowTest, OnALocalDiskThereIsNoNoticeAndTheLogStays) {
    Open();
    ASSERT_TRUE(harness.Session().IsLoaded());
    EXPECT_TRUE(Window().sb().Notices().isEmpty());
    EXPECT_EQ(test::JournalVersion(project.Path()), test::kWriteAheadLog);
}

}  // namespace
