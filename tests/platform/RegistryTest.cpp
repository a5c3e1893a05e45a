// The registry stand-in, an INI file of keys: values found whatever the
// spelling of the key, sub-keys, and the file chosen by the environment.

#include "platform/system/IniFile.h"
#include "platform/system/Registry.h"
#include "platform/system/RegistryError.h"
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ov::sys;

namespace {

const QString kStudioKey = QStringLiteral("SOFTWARE\\Senmark GmbH\\Orvana\\4.0");

class RegistryTest : public ::testing::Test {
protected:
    QString Make(const QByteArray& content) const { return ov::test::WriteFile(FilePath(), content); }
    QString FilePath() const { return m_dir.filePath(QStringLiteral("registry.ini")); }

    QTemporaryDir m_dir;
};

// Puts OVSTUDIO_REGISTRY back as it was, whatever the test did to it.
class RegistryVariable {
public:
    RegistryVariable() : m_wasSet(qEnvironmentVariableIsSet(kName)), m_value(qgetenv(kName)) {}
    ~RegistryVariable() {
        if (m_wasSet)
            qputenv(kName, m_value);
        else
            qunsetenv(kName);
    }

private:
    static constexpr const char* kName = "OVSTUDIO_REGISTRY";
    bool m_wasSet;
    QByteArray m_value;
};

TEST_F(RegistryTest, FindsValuesWhateverTheLetterCaseAndSeparators) {
    const Registry registry(Make("[SOFTWARE\\Senmark GmbH\\Orvana\\4.0]\n"
                                 "LCID=1033\n"
                                 "Path=/opt/ovstudio\n"
                                 "[SOFTWARE/Other Vendor\\Tool\\]\n"
                                 "Mode=hand-written\n"));
    EXPECT_EQ(registry.ReadValue(Hive::LocalMachine, "software\\senmark gmbh\\orvana\\4.0", "lcid", "x"), "1033");
    EXPECT_EQ(registry.ReadValue(Hive::LocalMachine, "SOFTWARE/Senmark GmbH/Orvana/4.0\\\\", "PATH", "x"),
              "/opt/ovstudio");
    EXPECT_EQ(registry.ReadValue(Hive::LocalMachine, "SOFTWARE\\Other Vendor\\Tool", "Mode", "x"), "hand-written");

    EXPECT_EQ(registry.ReadValue(Hive::LocalMachine, kStudioKey, "Missing", "x"), "x");
    EXPECT_EQ(registry.ReadValue(Hive::LocalMachine, kStudioKey + "\\Projects", "Path", "x"), "x");
    EXPECT_EQ(registry.ReadValue(Hive::LocalMachine, "SOFTWARE\\Senmark GmbH", "LCID", "x"), "x")
        << "a value belongs to its own key, not to the keys above it";
    EXPECT_EQ(registry.ReadValue(Hive::CurrentUser, kStudioKey, "LCID", "x"), "x");
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

TEST_F(RegistryTest, MalformedContentIsIgnoredNotAnError) {
    const Registry registry(Make("\x01\x02 binary junk\n"
                                 "[unclosed\n"
                                 "=no name\n"
                                 "[SOFTWARE\\Senmark GmbH\\Orvana\\4.0]\n"
                                 "garbage line\n"
                                 "LCID=1031\n"));
    EXPECT_EQ(registry.ReadValue(Hive::LocalMachine, kStudioKey, "LCID", "x"), "1031");
    EXPECT_EQ(registry.ReadValue(Hive::LocalMachine, "unclosed", "", "x"), "x") << "\"=no name\" is no default value";
}

TEST_F(RegistryTest, WrittenValuesReadBackAndLandInTheExistingKey) {
    Registry registry(FilePath());
    ASSERT_TRUE(registry.WriteValue(Hive::LocalMachine, kStudioKey, "LCID", "1033"));
    ASSERT_TRUE(registry.WriteValue(Hive::CurrentUser, kStudioKey, "LCID", "1031"));
    ASSERT_TRUE(registry.WriteValue(Hive::LocalMachine, "software/senmark gmbh/orvana/4.0/", "Path", "/opt/ov"));
    ASSERT_TRUE(registry.WriteValue(Hive::LocalMachine, kStudioKey, "", "default value"));

    EXPECT_EQ(registry.ReadValue(Hive::LocalMachine, kStudioKey, "LCID", "x"), "1033");
    EXPECT_EQ(registry.ReadValue(Hive::CurrentUser, kStudioKey, "LCID", "x"), "1031");
    EXPECT_EQ(registry.ReadValue(Hive::LocalMachine, kStudioKey, "path", "x"), "/opt/ov");
    EXPECT_EQ(registry.ReadValue(Hive::LocalMachine, kStudioKey, "", "x"), "default value");
    EXPECT_EQ(IniFile(FilePath()).Sections(), QStringList({kStudioKey, "HKEY_CURRENT_USER\\" + kStudioKey}))
        << "one section per key, however the key path was spelled";
}

TEST_F(RegistryTest, SubKeysAreTheKeysDirectlyBelowOnceEach) {
    Make("[SOFTWARE\\Senmark GmbH\\Orvana\\4.0\\Drivers\\ModbusTCP]\nName=drv.exe\n"
         "[software/senmark gmbh/orvana/4.0/drivers/modbustcp/Extra]\nX=1\n"
         "[SOFTWARE\\Senmark GmbH\\Orvana\\4.0\\Drivers\\S7 Plus\\Deeper\\Still]\nY=2\n"
         "[SOFTWARE\\Senmark GmbH\\Orvana\\4.0\\DriversElsewhere\\No]\nZ=3\n"
         "[HKEY_CURRENT_USER\\SOFTWARE\\Senmark GmbH\\Orvana\\4.0\\Drivers\\Mine]\nW=4\n");
    const Registry registry(FilePath());
    EXPECT_EQ(registry.SubKeys(Hive::LocalMachine, kStudioKey + QStringLiteral("\\Drivers")),
              (QStringList{QStringLiteral("ModbusTCP"), QStringLiteral("S7 Plus")}))
        << "a key counts once whatever its case, also when only a key below it has values";
    EXPECT_EQ(registry.SubKeys(Hive::CurrentUser, kStudioKey + QStringLiteral("/Drivers/")), QStringList{QStringLiteral("Mine")});
    EXPECT_TRUE(registry.SubKeys(Hive::LocalMachine, kStudioKey + QStringLiteral("\\Nothing")).isEmpty());
    QFile::remove(FilePath());
    EXPECT_TRUE(registry.SubKeys(Hive::LocalMachine, kStudioKey).isEmpty()) << "no file: no keys";
    ASSERT_TRUE(QDir().mkdir(FilePath()));
    EXPECT_THROW(registry.SubKeys(Hive::LocalMachine, kStudioKey), RegistryError);
}

TEST_F(RegistryTest, TheEnvironmentChoosesTheFile) {
    RegistryVariable restore;
    Make("[SOFTWARE\\Senmark GmbH\\Orvana\\4.0]\nLCID=1033\n");
    qputenv("OVSTUDIO_REGISTRY", FilePath().toLocal8Bit());
    EXPECT_EQ(Registry::DefaultFilePath(), FilePath());
    EXPECT_EQ(Registry().ReadValue(Hive::LocalMachine, kStudioKey, "LCID", "x"), "1033");

    const QString standard =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/ovstudio/registry.ini";
    qputenv("OVSTUDIO_REGISTRY", "");
    EXPECT_EQ(Registry::DefaultFilePath(), standard);
    qunsetenv("OVSTUDIO_REGISTRY");
    EXPECT_EQ(Registry().FilePath(), standard);
}

}  // namespace
