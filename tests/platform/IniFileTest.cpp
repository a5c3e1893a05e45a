// INI files as other programs leave them: read without regard to letter
// case, and written so that only the changed value differs.

#include "platform/system/IniFile.h"
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <array>
#include <gtest/gtest.h>
#include <vector>

using ov::sys::IniFile;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QString Path(const char* name = "test.ini") const { return m_dir.filePath(QString::fromUtf8(name)); }

    QString Make(const QByteArray& content, const char* name = "test.ini") const { return ov::test::WriteFile(Path(name), content); }
    static QByteArray Content(const QString& path) { return ov::test::ReadFile(path); }

    QTemporaryDir m_dir;
};

TEST_F(IniFileTest, ReadsNamesWithoutRegardToLetterCase) {
    const IniFile ini(Make("[Motor]\n"
                           "  Speed = 1500  \n"
                           "Name=\"  Pump 1 \"\n"
                           "Connection=Data Source=x;Mode=Read\n"
                           "Half=\"open\n"
                           "[F\xC3\xBCllstand]\n"
                           "\xC3\x84nderung=ja\n"));
    EXPECT_EQ(ini.Read("motor", "SPEED", "x"), "1500");
    EXPECT_EQ(ini.Read("MOTOR", "name", "x"), "  Pump 1 ") << "quotes go, the blanks inside them stay";
    EXPECT_EQ(ini.Read("Motor", "Connection", "x"), "Data Source=x;Mode=Read");
    EXPECT_EQ(ini.Read("Motor", "Half", "x"), "\"open");
    EXPECT_EQ(ini.Read(QStringLiteral("F\u00dcLLSTAND"), QStringLiteral("\u00e4nderung"), "x"), "ja");
}

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    // A folder in place of the file cannot be read; no file at all can be made.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.ini"));
    for (const auto& [name, access] : {std::pair{"missing.ini", IniFile::Access::Missing}, {"folder.ini", IniFile::Access::Unreadable}}) {
        const IniFile unusable(Path(name));
        EXPECT_EQ(unusable.FileAccess(), access) << name;
        EXPECT_EQ(unusable.IsReadable(), access == IniFile::Access::Missing) << name;
        EXPECT_EQ(unusable.Read("A", "k", "default"), "default") << name;
        EXPECT_TRUE(unusable.Sections().isEmpty()) << name;
    }

    const IniFile ini(Make("loose=1\n[A]\nthis line has no equals sign\nk=v\nempty=\n"));
    EXPECT_EQ(ini.FileAccess(), IniFile::Access::Readable);
    EXPECT_EQ(ini.Read("B", "k", "default"), "default");
    EXPECT_EQ(ini.Read("A", "other", "default"), "default");
    EXPECT_EQ(ini.Read("A", "empty", "default"), "") << "an empty value is a value";
    EXPECT_EQ(ini.Read("", "loose", "default"), "default") << "lines before the first section belong to none";
    EXPECT_EQ(ini.Keys("A"), QStringList({"k", "empty"}));
}

TEST_F(IniFileTest, ListsSectionsAndKeysInFileOrderAndTheFirstOfRepeatedOnesCounts) {
    const IniFile listed(Make("[Zeta]\nb=1\nA=2\nB=3\n[alpha]\n[ZETA]\nc=4\n[Mid]\n", "listed.ini"));
    EXPECT_EQ(listed.Sections(), QStringList({"Zeta", "alpha", "Mid"}));
    EXPECT_EQ(listed.Keys("zeta"), QStringList({"b", "A"}));
    EXPECT_TRUE(listed.Keys("alpha").isEmpty());

    const IniFile ini(Make("[A]\nk=1\nk=2\n[B]\nk=b\n[a]\nk=3\nj=4\n"));
    EXPECT_EQ(ini.Read("A", "k", "x"), "1");
    EXPECT_EQ(ini.Read("A", "j", "x"), "x");
    // Another program changes the file: the next read sees it.
    Make("[A]\nk=2\n");
    EXPECT_EQ(ini.Read("A", "k", "x"), "2");

    EXPECT_EQ(IniFile(Make("\xEF\xBB\xBF[A]\r\na=1\r\n", "bom.ini")).Sections(), QStringList({"A"})) << "the BOM is no part of a name";
}

// Each case: a file as another program left it, the writes, and the bytes the file then holds.
TEST_F(IniFileTest, WritesChangeOnlyWhatTheyMustAndKeepTheLayoutOfTheFile) {
    const QByteArray commented =
        "; settings of the line\nversion=3\n\n[Motor]\n# speed in rpm\nSpeed = 1500\nnot an entry\nName=Pump\n"
        "; K\xE4lte in Latin-1, kept as it is\n\n[Valve]\nSpeed=2\n";
    const struct {
        const char* what;
        QByteArray before;
        std::vector<std::array<const char*, 3>> writes;  // section, key, value
        QByteArray after;
    } cases[] = {
        {"only the value changes", commented, {{"MOTOR", "speed", "1750"}}, QByteArray(commented).replace("Speed = 1500", "Speed = 1750")},
        {"the first of repeated sections and keys is written",
         "[A]\nk=1\nk=2\n[B]\nk=b\n[a]\nk=3\nj=4\n", {{"a", "K", "9"}}, "[A]\nk=9\nk=2\n[B]\nk=b\n[a]\nk=3\nj=4\n"},
        {"a missing key follows the last key of its section; no final line end stays so",
         "[A]\na=1\n; closing comment\n\n[B]\n[C]\nc=1", {{"a", "new", "2"}, {"B", "b", "3"}, {"C", "d", "4"}},
         "[A]\na=1\nnew=2\n; closing comment\n\n[B]\nb=3\n[C]\nc=1\nd=4"},
        {"a missing section is appended after a blank line", "[A]\na=1\n", {{"New", "x", "1"}}, "[A]\na=1\n\n[New]\nx=1\n"},
        {"a blank line already there is used", "[A]\na=1\n\n", {{"New", "x", "1"}}, "[A]\na=1\n\n[New]\nx=1\n"},
        {"CR LF line ends and the BOM stay", "\xEF\xBB\xBF[A]\r\na=1\r\n; note\r\n", {{"A", "a", "2"}, {"A", "b", "3"}, {"B", "c", "4"}},
         "\xEF\xBB\xBF[A]\r\na=2\r\nb=3\r\n; note\r\n\r\n[B]\r\nc=4\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        IniFile ini(Make(c.before));
        for (const auto& [section, key, value] : c.writes) ASSERT_TRUE(ini.Write(section, key, value));
        EXPECT_EQ(Content(ini.Path()), c.after);
        const auto& [section, key, value] = c.writes.back();
        ASSERT_TRUE(ini.Write(section, key, value));
        EXPECT_EQ(Content(ini.Path()), c.after) << "writing the same value again changes nothing";
    }

    IniFile created(Path("created.ini"));
    ASSERT_TRUE(created.Write("New", "x", "1"));
    EXPECT_EQ(Content(created.Path()), "[New]\nx=1\n");
    IniFile noFolder(Path("no/such/folder.ini"));
    EXPECT_FALSE(noFolder.Write("New", "x", "1"));
    EXPECT_FALSE(QDir(Path("no")).exists()) << "folders are not created";
}

TEST_F(IniFileTest, WrittenValuesReadBackExactly) {
    IniFile ini(Path());
    for (const QString& value : {QString(" padded "), QString("\"quoted\""), QString(), QString("a=b;c")}) {
        ASSERT_TRUE(ini.Write("A", "k", value));
        EXPECT_EQ(ini.Read("A", "k", "default"), value);
    }
    const QByteArray before = Content(ini.Path());
    EXPECT_FALSE(ini.Write("A", "k", "two\nlines"));
    EXPECT_FALSE(ini.Write("A", "a=b", "1"));
    EXPECT_FALSE(ini.Write("A", ";k", "1"));
    EXPECT_FALSE(ini.Write("", "k", "1"));
    EXPECT_EQ(Content(ini.Path()), before);
}

TEST_F(IniFileTest, DeletesKeysAndWholeSections) {
    IniFile ini(Make("top=1\n[A]\na=1\nb=2\nA=3\n\n[B]\nb=1\n; last line of B\n[C]\nc=1\n[b]\nx=1\n"));
    ASSERT_TRUE(ini.DeleteKey("a", "a"));
    EXPECT_EQ(ini.Read("A", "a", "gone"), "gone") << "a repeated key does not come back";
    ASSERT_TRUE(ini.DeleteSection("B"));
    EXPECT_EQ(Content(ini.Path()), "top=1\n[A]\nb=2\n\n[C]\nc=1\n");

    const QByteArray before = Content(ini.Path());
    EXPECT_TRUE(ini.DeleteKey("A", "missing"));
    EXPECT_TRUE(ini.DeleteSection("Missing"));
    EXPECT_EQ(Content(ini.Path()), before);

    IniFile missing(Path("missing.ini"));
    EXPECT_TRUE(missing.DeleteSection("A"));
    EXPECT_FALSE(QFile::exists(missing.Path())) << "deleting from no file makes none";
}

TEST_F(IniFileTest, AFileThatCannotBeWrittenIsNeverChangedOrReplaced) {
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.ini"));
    IniFile folder(Path("folder.ini"));
    EXPECT_FALSE(folder.Write("A", "k", "1"));
    EXPECT_FALSE(folder.DeleteSection("A"));
    EXPECT_TRUE(QFileInfo(folder.Path()).isDir());

    // A read-only file is read but not changed.
    IniFile ini(Make("[A]\nk=1\n"));
    ASSERT_TRUE(QFile::setPermissions(ini.Path(), QFile::ReadOwner | QFile::ReadGroup));
    EXPECT_EQ(ini.Read("A", "k", "x"), "1");
    EXPECT_FALSE(ini.Write("A", "k", "2"));
    EXPECT_FALSE(ini.DeleteKey("A", "k"));
    EXPECT_EQ(Content(ini.Path()), "[A]\nk=1\n");
}

}  // namespace
