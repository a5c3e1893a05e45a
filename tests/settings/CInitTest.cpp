// The window settings store: values read from texts and written in the
// locale's format, dotted keys kept as a tree, the built-in defaults and
// the OVEditors.ini file.

#include "platform/system/IniFile.h"
#include "settings/CInit.h"
#include "settings/CInitItem.h"
#include "settings/ColumnOrders.h"
#include "settings/DefaultInits.h"
#include "support/Files.h"
#include "support/TempProject.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

using namespace ov::settings;
using ov::sys::IniFile;

namespace {

const QString kSection = kEditorWindowInits.toString();
QLocale German() { return QLocale(QLocale::German, QLocale::Germany); }
QLocale English() { return QLocale(QLocale::English, QLocale::UnitedStates); }

InitValue Str(const char* text) { return QString::fromUtf8(text); }
std::optional<InitValue> Value(const InitValue& value) { return value; }

CInit EditorDefaults(const QLocale& locale = QLocale::c()) {
    CInit init;
    init.SetLocale(locale);
    init.LoadDefaultInit(kSection);
    return init;
}

using Settings = std::vector<std::pair<QString, InitValue>>;

// Every setting with its full key, in store order.
Settings AllSettings(const CInitItems& items, const QString& prefix = QString()) {
    Settings settings;
    for (const CInitItem& item : items) {
        const QString key = prefix.isEmpty() ? item.Name() : prefix + u'.' + item.Name();
        const Settings below = item.IsLeaf() ? Settings{{key, item.Value()}} : AllSettings(item.Children(), key);
        settings.insert(settings.end(), below.begin(), below.end());
    }
    return settings;
}
Settings AllSettings(const CInit& init) { return AllSettings(init.Items()); }

TEST(InitValueTest, TextsAreReadAsBooleansNumbersOrTexts) {
    const std::pair<const char*, InitValue> cases[] = {
        // Only the six spellings of True and False are booleans; leading blanks go.
        {"TRUE", true}, {"True", true}, {"true", true}, {"  True", true},
        {"FALSE", false}, {"False", false}, {"false", false}, {" false", false},
        {"tRuE", Str("tRuE")}, {"True ", Str("True ")}, {"Wahr", Str("Wahr")}, {"yes", Str("yes")},
        // A text starting with a digit is the number at its start, with either decimal mark
        // ("7e" is 7: an exponent needs digits); a sign or a point first makes it a text.
        {"8,25", 8.25}, {"8.25", 8.25}, {"1995,024", 1995.024}, {"  400", 400.0}, {"12abc", 12.0},
        {"1.5.3", 1.5}, {"2,5E+3", 2500.0}, {"7e", 7.0},
        {"-1", Str("-1")}, {"-5", Str("-5")}, {".5", Str(".5")}, {",17,6,16", Str(",17,6,16")},
        {"", Str("")}, {"  Arial", Str("Arial")},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(ParseInitValue(text), value) << '"' << text << '"';
}

TEST(InitValueTest, NumbersAreWrittenInTheLocaleFormatAndReadBackInAny) {
    // No digit grouping; booleans and texts the same in every locale.
    const std::tuple<InitValue, QLocale, const char*> cases[] = {
        {8.25, German(), "8,25"}, {8.25, English(), "8.25"}, {6000.0, German(), "6000"},
        {1234567.5, English(), "1234567.5"}, {1234567.5, German(), "1234567,5"}, {true, German(), "True"},
        {false, English(), "False"}, {Str(" as it is "), German(), " as it is "},
    };
    for (const auto& [value, locale, text] : cases) EXPECT_EQ(FormatInitValue(value, locale), text) << text;
    for (const double number : {0.0, 8.25, 1995.024, 0.1, 123456789.125, 1e20, 2.5e-7})
        for (const QLocale& locale : {German(), English(), QLocale::c()})
            EXPECT_EQ(ParseInitValue(FormatInitValue(number, locale)), InitValue(number))
                << number << " " << locale.name().toStdString();
}

TEST(CInitLinesTest, OnlyLinesWithOneEqualsSignAndAKeyAreUsedWithTheirValuesParsed) {
    CInit init;
    for (const char* good : {"Me.Width=6000", "Me.Font.Size=8,25", "a.Padded=True "}) EXPECT_TRUE(init.AddLine(good)) << good;
    for (const char* bad : {"Me.Height=3000=4000", "=3000", "  =3000", "Me.PosLeft", "", "Me..PosTop=0"})
        EXPECT_FALSE(init.AddLine(bad)) << bad;
    EXPECT_EQ(AllSettings(init), (Settings{{"Me.Width", 6000.0}, {"Me.Font.Size", 8.25}, {"a.Padded", Str("True ")}}));
}

TEST(CInitKeysTest, KeysDifferingInLetterCaseAddressOneSetting) {
    CInit init = EditorDefaults();
    EXPECT_TRUE(init.WriteAValueToCInits("ME.font.SIZE", 10.0));
    EXPECT_EQ(init.ReadAValueFromCInits("Me.Font.Size"), Value(10.0));
    EXPECT_EQ(init.Items().Item("Me")->Children().Item("Font")->Children().Count(), 7);
    EXPECT_EQ(init.Items().Item("me")->Name(), "Me") << "the first spelling stays";
    EXPECT_TRUE(init.ParamExist("TDBI.splits(1).COLUMNS(\"comment\").width"));
    EXPECT_TRUE(init.DeleteAValueInCInits("me.FONT.weight"));
    EXPECT_FALSE(init.ParamExist("Me.Font.Weight"));
    EXPECT_FALSE(init.ReadAValueFromCInits("Me.Font.Weight").has_value());
}

TEST(CInitKeysTest, DotsInsideArgumentsBelongToTheirComponentAndEmptyBranchesGo) {
    CInit init;
    const QString key = "tdbI.Splits(1).Columns(\"Max. Value (1.5)\").Width";
    EXPECT_TRUE(init.WriteAValueToCInits(key, 1500.0));
    const CInitItem* split = init.Items().Item("tdbI")->Children().Item("Splits(1)");
    ASSERT_NE(split, nullptr);
    ASSERT_EQ(split->Children().Count(), 1);
    EXPECT_EQ((*split->Children().begin()).Name(), "Columns(\"Max. Value (1.5)\")");
    EXPECT_EQ(init.ReadAValueFromCInits(key), Value(1500.0));
    for (const char* empty : {"tdbI..Width", "tdbI."}) EXPECT_FALSE(init.WriteAValueToCInits(empty, 1.0)) << empty;

    // Deleting the last setting of a branch removes the branch.
    init.DeleteAValueInCInits(key);
    ASSERT_EQ(init.Items().Count(), 0);
    init.WriteAValueToCInits("a.b.c", 1.0);
    init.WriteAValueToCInits("a.d", 2.0);
    EXPECT_TRUE(init.DeleteAValueInCInits("A.B.C"));
    EXPECT_FALSE(init.ParamExist("a.b")) << "an empty branch would be saved as a setting";
    EXPECT_EQ(AllSettings(init), (Settings{{"a.d", 2.0}}));
    EXPECT_TRUE(init.DeleteAValueInCInits("a.d"));
    EXPECT_EQ(init.Items().Count(), 0);
    EXPECT_FALSE(init.DeleteAValueInCInits("a.d"));
}

TEST(CInitDefaultsTest, EditorWindowDefaultsAreFoundByNameInAnyCaseOneSettingALine) {
    CInit init;
    ASSERT_TRUE(init.LoadDefaultInit("FRMOPCEDITOR"));
    EXPECT_EQ(init.SectionName(), "FRMOPCEDITOR");
    const std::pair<const char*, InitValue> defaults[] = {
        {"Me.Font.Size", 8.25}, {"Me.Font.Name", Str("Arial")}, {"Me.Font.Italic", false}, {"sb.Visible", true},
        {"SaveOnExit", true}, {"RequestOnDelete", true}, {"LoadOnForeGround", true},
        {"TDBIColOrders", Str(",17,6,16,4,7,8,9,10,11,13,14,15,0,1,2,3,5,12")},
        {"TDBSColOrders", Str(",3,14,11,12,4,5,6,7,8,9,10,0,1,2,13,15")},
        {"TDBGColOrders", Str(",2,3,4,5,6,7,8,9,10,0,1")}, {"TDBUColOrders", Str(",2,3,4,5,6,7,0,1")},
    };
    for (const auto& [key, value] : defaults) EXPECT_EQ(init.ReadAValueFromCInits(key), Value(value)) << key;

    CInit other;
    EXPECT_FALSE(other.LoadDefaultInit("frmOther"));
    EXPECT_EQ(other.SectionName(), "frmOther");
    EXPECT_EQ(other.Items().Count(), 0);
    EXPECT_TRUE(DefaultInitResource("frmOther").isEmpty());

    // Every default line is its own setting.
    const QString resource = DefaultInitResource(kSection);
    CInit lines;
    int count = 0;
    for (const QString& line : resource.split(u'\n')) {
        if (line.trimmed().isEmpty()) continue;
        EXPECT_TRUE(lines.AddLine(line)) << line.toStdString();
        ++count;
    }
    // A key given twice would silently lose its first value.
    EXPECT_EQ(static_cast<int>(AllSettings(EditorDefaults()).size()), count);
    EXPECT_GT(count, 200);
}

TEST(CInitDefaultsTest, EveryFieldOfTheGridTablesHasItsColumnSettingsInTableOrder) {
    const ov::test::TempProject project;
    const auto connection = project.Open();
    const CInit init = EditorDefaults();
    const struct {
        const char* table;
        QStringList branch;  // the key components above the column items
    } grids[] = {
        {"TpdbItems", {"tdbI", "Splits(1)"}},
        {"TpdbStructMembers", {"tdbS", "Splits(1)"}},
        {"TpdbGroups", {"tdbG", "Splits(1)"}},
        {"TpdbUnits", {"tdbU"}},
    };
    for (const auto& grid : grids) {
        QStringList expected;
        for (const auto& column : connection->Columns(grid.table)) {
            const QString item = QStringLiteral("Columns(\"%1\")").arg(column.name);
            expected.append(item);
            for (const char* ending : {"Width", "AllowSizing", "Visible"})
                EXPECT_TRUE(init.ParamExist(grid.branch.join(u'.') + u'.' + item + u'.' + QLatin1String(ending)))
                    << grid.table << " " << column.name.toStdString() << " " << ending;
        }
        const CInitItems* level = &init.Items();
        for (const QString& component : grid.branch) level = &level->Item(component)->Children();
        QStringList actual;
        for (const CInitItem& item : *level)
            if (item.Name().startsWith(u"Columns(")) actual.append(item.Name());
        EXPECT_EQ(actual, expected) << grid.table;
    }
    for (const char* grid : {"tdbI", "tdbS", "tdbG"})
        EXPECT_TRUE(init.ParamExist(QStringLiteral("%1.Splits(0).Columns(\"Name\").Width").arg(QLatin1String(grid))));
}

TEST(ColumnOrdersTest, ListsParseAndFormatBackAndTheDefaultsPlaceEachColumnOnce) {
    EXPECT_EQ(ParseColumnOrders(",17,6,16"), (std::vector<int>{17, 6, 16}));
    EXPECT_EQ(ParseColumnOrders(",3,x,,-2, 5"), (std::vector<int>{3, -1, -1, -1, 5}));
    EXPECT_EQ(ParseColumnOrders("9,1"), (std::vector<int>{1})) << "what stands before the first comma is no column";
    EXPECT_TRUE(ParseColumnOrders("").empty());
    EXPECT_EQ(FormatColumnOrders({3, -1, 2}), ",3,,2");
    EXPECT_EQ(ParseColumnOrders(FormatColumnOrders({3, -1, 2})), (std::vector<int>{3, -1, 2}));
    EXPECT_EQ(FormatColumnOrders({}), "");

    // The default lists place each column once.
    const CInit init = EditorDefaults();
    for (const char* key : {"TDBIColOrders", "TDBSColOrders", "TDBGColOrders", "TDBUColOrders"}) {
        const auto stored = init.ReadAValueFromCInits(key);
        ASSERT_TRUE(stored && std::holds_alternative<QString>(*stored)) << key;
        const QString text = std::get<QString>(*stored);
        std::vector<int> positions = ParseColumnOrders(text);
        EXPECT_EQ(FormatColumnOrders(positions), text);
        std::sort(positions.begin(), positions.end());
        for (size_t i = 0; i < positions.size(); ++i) EXPECT_EQ(positions[i], static_cast<int>(i)) << key;
    }
}

class CInitFileTest : public ::testing::Test {
protected:
    QString Path(const char* name = "OVEditors.ini") const { return m_dir.filePath(QString::fromUtf8(name)); }

    QString Make(const QByteArray& content, const char* name = "OVEditors.ini") const {
        return ov::test::WriteFile(Path(name), content);
    }
    // The text a key has in the store's section of a file.
    QString Stored(const char* name, const char* key) const { return IniFile(Path(name)).Read(kSection, key); }

    QTemporaryDir m_dir;
};

TEST_F(CInitFileTest, NumbersWrittenInEitherLocaleReadBackTheSame) {
    CInit german = EditorDefaults(German());
    ASSERT_TRUE(german.SaveInits(Path("german.ini")));
    EXPECT_EQ(Stored("german.ini", "Me.Font.Size"), "8,25");
    EXPECT_EQ(Stored("german.ini", "tdbS.Splits(1).Columns(\"Comment\").Width"), "1995,024");

    CInit english = EditorDefaults(English());
    english.WriteAValueToCInits("Me.Font.Size", 1.0);  // so that only the file can give 8.25
    english.LoadInits(Path("german.ini"));
    EXPECT_EQ(english.ReadAValueFromCInits("Me.Font.Size"), Value(8.25));
    ASSERT_TRUE(english.SaveInits(Path("english.ini")));
    EXPECT_EQ(Stored("english.ini", "Me.Font.Size"), "8.25");

    CInit back = EditorDefaults(German());
    back.WriteAValueToCInits("Me.Font.Size", 1.0);
    back.LoadInits(Path("english.ini"));
    EXPECT_EQ(back.ReadAValueFromCInits("Me.Font.Size"), Value(8.25));
    EXPECT_EQ(AllSettings(back), AllSettings(EditorDefaults()));
    // One entry written on its own takes the store's format too.
    EXPECT_TRUE(back.WriteToIni("Me.Font.Size", 9.75));
    EXPECT_EQ(Stored("english.ini", "Me.Font.Size"), "9,75");
}

TEST_F(CInitFileTest, SavedSettingsComeBackOverTheDefaults) {
    const QString unbound = "tdbI.Splits(1).Columns(\"Data Type\").Width";
    const std::pair<const char*, InitValue> changed[] = {
        {"Me.Width", 7777.5}, {"tdbI.Font.Name", Str("Courier New")}, {"tdbI.Splits(1).Columns(\"Comment\").Visible", false},
        {"SaveOnExit", false}, {"TDBIColOrders", Str(",1,0")},
    };
    CInit saved = EditorDefaults();
    for (const auto& [key, value] : changed) saved.WriteAValueToCInits(key, value);
    saved.WriteAValueToCInits(unbound, 1620.0);
    ASSERT_TRUE(saved.SaveInits(Path()));
    EXPECT_EQ(saved.FilePath(), Path());

    CInit loaded = EditorDefaults();
    loaded.LoadInits(Path());
    EXPECT_EQ(loaded.FilePath(), Path());
    for (const auto& [key, value] : changed) EXPECT_EQ(loaded.ReadAValueFromCInits(key), Value(value)) << key;
    EXPECT_FALSE(loaded.ParamExist(unbound)) << "the file only gives values to keys the store has";

    // The window writes the defaults of its unbound columns before it loads the file.
    loaded.WriteAValueToCInits(unbound, 3000.0);
    loaded.LoadInits(Path());
    EXPECT_EQ(AllSettings(loaded), AllSettings(saved));
}

TEST_F(CInitFileTest, OnlyTheStoresKeysAreReadFromItsOwnSection) {
    Make("[frmOther]\n"
         "Me.Height=1\n"
         "[FRMOPCEDITOR]\n"
         "ME.WIDTH=1234\n"
         "Unknown.Key=5\n"
         "Me.Font.Size=9,5\n"
         "sb.Visible=false\n");
    CInit init = EditorDefaults();
    init.LoadInits(Path());
    EXPECT_EQ(init.ReadAValueFromCInits("Me.Width"), Value(1234.0));
    EXPECT_EQ(init.ReadAValueFromCInits("Me.Font.Size"), Value(9.5));
    EXPECT_EQ(init.ReadAValueFromCInits("sb.Visible"), Value(false));
    EXPECT_EQ(init.ReadAValueFromCInits("Me.Height"), Value(3000.0));
    EXPECT_FALSE(init.ParamExist("Unknown"));
}

TEST_F(CInitFileTest, UnusableFilesGiveTheDefaults) {
    const Settings defaults = AllSettings(EditorDefaults());

    QByteArray garbage("[frmOPCEditor]\n");
    for (int i = 0; i < 8192; ++i) garbage.append(static_cast<char>((i * 73 + 11) % 256));
    Make(garbage, "garbage.ini");
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.ini"));
    for (const char* name : {"garbage.ini", "folder.ini", "missing.ini"}) {
        CInit init = EditorDefaults();
        init.LoadInits(Path(name));
        EXPECT_EQ(AllSettings(init), defaults) << name;
        EXPECT_EQ(init.FilePath(), Path(name));
    }
    CInit fromFolder = EditorDefaults();
    fromFolder.LoadInits(Path("folder.ini"));
    EXPECT_FALSE(fromFolder.SaveInits()) << "a folder is never replaced";
    EXPECT_TRUE(QFileInfo(Path("folder.ini")).isDir());

    CInit withoutPath = EditorDefaults();
    EXPECT_FALSE(withoutPath.SaveInits());
}

}  // namespace
