// The system stand-ins: the registry, an INI file of keys (values found
// whatever the spelling of the key, sub-keys, the file chosen by the
// environment), and the scripted file dialog of tests and scripts.

#include "platform/system/IniFile.h"
#include "platform/system/Registry.h"
#include "platform/system/RegistryError.h"
#include "platform/system/ScriptedSaveFileDialog.h"
#include "platform/system/SystemTools.h"
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ov::sys;

namespace {

const QString kStudioKey = "SOFTWARE\\Senmark GmbH\\Orvana\\4.0";

class RegistryTest : public ::testing::Test {
protected:
    QString Make(const QByteArray& content) const { return ov::test::WriteFile(FilePath(), content); }
    QString FilePath() const { return m_dir.filePath("registry.ini"); }
    // A value of the machine's keys, "x" when there is none.
    static QString Read(const Registry& registry, const QString& key, const QString& name) {
        return registry.ReadValue(Hive::LocalMachine, key, name, "x");
    }

    QTemporaryDir m_dir;
};

// Malformed lines are passed over, not an error.
TEST_F(RegistryTest, FindsValuesWhateverTheLetterCaseAndSeparatorsAndPassesOverMalformedLines) {
    const Registry registry(Make("\x01\x02 binary junk\n"
                                 "[unclosed\n"
                                 "=no name\n"
                                 "[SOFTWARE\\Senmark GmbH\\Orvana\\4.0]\n"
                                 "garbage line\n"
                                 "LCID=1033\n"
                                 "Path=/opt/ovstudio\n"
                                 "[SOFTWARE/Other Vendor\\Tool\\]\n"
                                 "Mode=hand-written\n"));
    EXPECT_EQ(Read(registry, "software\\senmark gmbh\\orvana\\4.0", "lcid"), "1033");
    EXPECT_EQ(Read(registry, "SOFTWARE/Senmark GmbH/Orvana/4.0\\\\", "PATH"), "/opt/ovstudio");
    EXPECT_EQ(Read(registry, "SOFTWARE\\Other Vendor\\Tool", "Mode"), "hand-written");
    EXPECT_EQ(Read(registry, kStudioKey, "Missing"), "x");
    EXPECT_EQ(Read(registry, kStudioKey + "\\Projects", "Path"), "x");
    EXPECT_EQ(Read(registry, "SOFTWARE\\Senmark GmbH", "LCID"), "x") << "a value belongs to its own key, not to the keys above it";
    EXPECT_EQ(registry.ReadValue(Hive::CurrentUser, kStudioKey, "LCID", "x"), "x");
    EXPECT_EQ(Read(registry, "unclosed", ""), "x") << "\"=no name\" is no default value";
}

TEST_F(RegistryTest, AMissingFileGivesTheDefaultsAndOneThatCannotBeReadIsAnError) {
    Registry registry(FilePath());
    EXPECT_EQ(registry.ReadValue(Hive::LocalMachine, kStudioKey, "LCID", "1031"), "1031");

    ASSERT_TRUE(QDir(m_dir.path()).mkdir("registry.ini"));
    try {
        registry.ReadValue(Hive::LocalMachine, kStudioKey, "LCID", "1031");
        FAIL() << "a folder in place of the registry file went unnoticed";
    } catch (const RegistryError& error) {
        EXPECT_TRUE(error.Message().contains(FilePath()));
    }
    EXPECT_FALSE(registry.WriteValue(Hive::LocalMachine, kStudioKey, "LCID", "1033"));
}

TEST_F(RegistryTest, WrittenValuesReadBackAndLandInTheExistingKey) {
    Registry registry(FilePath());
    ASSERT_TRUE(registry.WriteValue(Hive::LocalMachine, kStudioKey, "LCID", "1033"));
    ASSERT_TRUE(registry.WriteValue(Hive::CurrentUser, kStudioKey, "LCID", "1031"));
    ASSERT_TRUE(registry.WriteValue(Hive::LocalMachine, "software/senmark gmbh/orvana/4.0/", "Path", "/opt/ov"));
    ASSERT_TRUE(registry.WriteValue(Hive::LocalMachine, kStudioKey, "", "default value"));

    EXPECT_EQ(Read(registry, kStudioKey, "LCID"), "1033");
    EXPECT_EQ(registry.ReadValue(Hive::CurrentUser, kStudioKey, "LCID", "x"), "1031");
    EXPECT_EQ(Read(registry, kStudioKey, "path"), "/opt/ov");
    EXPECT_EQ(Read(registry, kStudioKey, ""), "default value");
    EXPECT_EQ(IniFile(FilePath()).Sections(), QStringList({kStudioKey, "HKEY_CURRENT_USER\\" + kStudioKey}))
        << "one section per key, however the key path was spelled";

    // A new account has no folder for the file yet.
    Registry fresh(m_dir.filePath(".config/ovstudio/registry.ini"));
    ASSERT_TRUE(fresh.WriteValue(Hive::LocalMachine, kStudioKey, "LCID", "1033"));
    EXPECT_EQ(Read(fresh, kStudioKey, "LCID"), "1033");
}

TEST_F(RegistryTest, SubKeysAreTheKeysDirectlyBelowOnceEach) {
    Make("[SOFTWARE\\Senmark GmbH\\Orvana\\4.0\\Drivers\\ModbusTCP]\nName=drv.exe\n"
         "[software/senmark gmbh/orvana/4.0/drivers/modbustcp/Extra]\nX=1\n"
         "[SOFTWARE\\Senmark GmbH\\Orvana\\4.0\\Drivers\\S7 Plus\\Deeper\\Still]\nY=2\n"
         "[SOFTWARE\\Senmark GmbH\\Orvana\\4.0\\DriversElsewhere\\No]\nZ=3\n"
         "[HKEY_CURRENT_USER\\SOFTWARE\\Senmark GmbH\\Orvana\\4.0\\Drivers\\Mine]\nW=4\n");
    const Registry registry(FilePath());
    EXPECT_EQ(registry.SubKeys(Hive::LocalMachine, kStudioKey + "\\Drivers"),
              (QStringList{"ModbusTCP", "S7 Plus"}))
        << "a key counts once whatever its case, also when only a key below it has values";
    EXPECT_EQ(registry.SubKeys(Hive::CurrentUser, kStudioKey + "/Drivers/"), QStringList{"Mine"});
    EXPECT_TRUE(registry.SubKeys(Hive::LocalMachine, kStudioKey + "\\Nothing").isEmpty());
    QFile::remove(FilePath());
    EXPECT_TRUE(registry.SubKeys(Hive::LocalMachine, kStudioKey).isEmpty()) << "no file: no keys";
    ASSERT_TRUE(QDir().mkdir(FilePath()));
    EXPECT_THROW(registry.SubKeys(Hive::LocalMachine, kStudioKey), RegistryError);
}

TEST_F(RegistryTest, TheEnvironmentChoosesTheFile) {
    // OVSTUDIO_REGISTRY goes back as it was, whatever the test does to it.
    const bool wasSet = qEnvironmentVariableIsSet("OVSTUDIO_REGISTRY");
    const auto restore = qScopeGuard([wasSet, value = qgetenv("OVSTUDIO_REGISTRY")] {
        wasSet ? qputenv("OVSTUDIO_REGISTRY", value) : qunsetenv("OVSTUDIO_REGISTRY");
    });
    Make("[SOFTWARE\\Senmark GmbH\\Orvana\\4.0]\nLCID=1033\n");
    qputenv("OVSTUDIO_REGISTRY", FilePath().toLocal8Bit());
    EXPECT_EQ(Registry::DefaultFilePath(), FilePath());
    EXPECT_EQ(Read(Registry(), kStudioKey, "LCID"), "1033");

    const QString standard =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/ovstudio/registry.ini";
    qputenv("OVSTUDIO_REGISTRY", "");
    EXPECT_EQ(Registry::DefaultFilePath(), standard);
    qunsetenv("OVSTUDIO_REGISTRY");
    EXPECT_EQ(Registry().FilePath(), standard);
}

TEST_F(RegistryTest, SystemToolsReadTheRegistryFileTheyAreGiven) {
    ASSERT_TRUE(Registry(FilePath()).WriteValue(Hive::LocalMachine, kStudioKey, "LCID", "1033"));
    SystemTools& tools = SystemTools::Instance();
    tools.SetRegistryFile(FilePath());
    EXPECT_EQ(Read(tools.GetRegistry(), kStudioKey, "LCID"), "1033");
    EXPECT_EQ(tools.Ini(FilePath()).Read(kStudioKey, "lcid", "x"), "1033");
    tools.SetRegistryFile("");
    EXPECT_EQ(tools.GetRegistry().FilePath(), Registry::DefaultFilePath());
}

const QString kFilter = "csv-Files (*.csv)|*.csv";

QString Choose(SaveFileDialog& dialog) { return dialog.Choose(SaveFileDialog::kModeSave, "Export", "/home/me", kFilter, 0, 0); }

TEST(ScriptedSaveFileDialog, AnswersInOrderThenCancelsAndKeepsEveryCall) {
    ScriptedSaveFileDialog dialog;
    dialog.Queue("/tmp/first.csv");
    dialog.Queue("");
    EXPECT_EQ(dialog.Choose(SaveFileDialog::kModeSave, "Export items", "/data", kFilter, 6, 0x1234), "/tmp/first.csv");
    EXPECT_EQ(Choose(dialog), "") << "a queued cancel";
    EXPECT_EQ(Choose(dialog), "") << "nothing left";
    EXPECT_EQ(dialog.PendingAnswers(), 0);
    ASSERT_EQ(dialog.Calls().size(), 3u);
    const ScriptedSaveFileDialog::Call& first = dialog.Calls().front();
    const QString kept = QStringLiteral("%1|%2|%3|%4|%5|%6").arg(first.mode).arg(first.title, first.startFolder, first.filter);
    EXPECT_EQ(kept.arg(first.flags).arg(first.ownerWindow, 0, 16),
              QStringLiteral("%1|Export items|/data|%2|6|1234").arg(SaveFileDialog::kModeSave).arg(kFilter));
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

}  // namespace
