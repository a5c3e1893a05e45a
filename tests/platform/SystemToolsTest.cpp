// The system stand-ins: the scripted file dialog of tests and scripts, and
// the registry file the tools read.

#include "platform/system/ScriptedSaveFileDialog.h"
#include "platform/system/SystemTools.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ov::sys;

namespace {

const QString kFilter = QStringLiteral("csv-Files (*.csv)|*.csv");

QString Choose(SaveFileDialog& dialog) {
    return dialog.Choose(SaveFileDialog::kModeSave, "Export", "/home/me", kFilter, 0, 0);
}

TEST(ScriptedSaveFileDialog, AnswersInOrderThenCancelsAndKeepsEveryCall) {
    ScriptedSaveFileDialog dialog;
    dialog.Queue("/tmp/first.csv");
    dialog.Queue("");
    EXPECT_EQ(dialog.Choose(SaveFileDialog::kModeSave, "Export items", "/data", kFilter, 6, 0x1234),
              "/tmp/first.csv");
    EXPECT_EQ(Choose(dialog), "") << "a queued cancel";
    EXPECT_EQ(Choose(dialog), "") << "nothing left";
    EXPECT_EQ(dialog.PendingAnswers(), 0);

    ASSERT_EQ(dialog.Calls().size(), 3u);
    const ScriptedSaveFileDialog::Call& first = dialog.Calls().front();
    EXPECT_EQ(first.mode, SaveFileDialog::kModeSave);
    EXPECT_EQ(first.title, "Export items");
    EXPECT_EQ(first.startFolder, "/data");
    EXPECT_EQ(first.filter, kFilter);
    EXPECT_EQ(first.flags, 6);
    EXPECT_EQ(first.ownerWindow, 0x1234u);
}

TEST(SystemTools, CancelsFileDialogsUntilADialogIsInstalled) {
    SystemTools& tools = SystemTools::Instance();
    EXPECT_EQ(Choose(tools.FileDialog()), "");

    auto scripted = std::make_unique<ScriptedSaveFileDialog>();
    scripted->Queue("/tmp/items.csv");
    tools.SetFileDialog(std::move(scripted));
    EXPECT_EQ(Choose(tools.FileDialog()), "/tmp/items.csv");

    tools.SetFileDialog(nullptr);
    EXPECT_EQ(Choose(tools.FileDialog()), "");
}

TEST(SystemTools, ReadsTheRegistryFileItIsGiven) {
    QTemporaryDir dir;
    const QString file = dir.filePath("registry.ini");
    const QString key = QStringLiteral("SOFTWARE\\Senmark GmbH\\Orvana\\4.0");
    ASSERT_TRUE(Registry(file).WriteValue(Hive::LocalMachine, key, "LCID", "1033"));

    SystemTools& tools = SystemTools::Instance();
    tools.SetRegistryFile(file);
    EXPECT_EQ(tools.GetRegistry().ReadValue(Hive::LocalMachine, key, "LCID", "x"), "1033");
    EXPECT_EQ(tools.Ini(file).Read(key, "lcid", "x"), "1033");

    tools.SetRegistryFile("");
    EXPECT_EQ(tools.GetRegistry().FilePath(), Registry::DefaultFilePath());
}

}  // namespace
