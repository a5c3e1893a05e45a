#include "plc/Readers.h"
#include "settings/TextTable.h"
#include "support/Files.h"
#include "support/QtPrinters.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <zip.h>

namespace ov::plc {

namespace {

using Parts = std::map<QString, QByteArray>;

// The parts zipped into a workbook, as an office program or the tag table
// export writes it.
QByteArray Zipped(const Parts& parts) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("tags.xlsx"));
    int problem = 0;
    zip_t* archive = zip_open(path.toUtf8().constData(), ZIP_CREATE | ZIP_TRUNCATE, &problem);
    if (!archive) return {};
    for (const auto& [name, bytes] : parts) {
        zip_source_t* source = zip_source_buffer(archive, bytes.constData(), static_cast<zip_uint64_t>(bytes.size()), 0);
        if (!source || zip_file_add(archive, name.toUtf8().constData(), source, ZIP_FL_OVERWRITE) < 0) zip_source_free(source);
    }
    if (zip_close(archive) < 0) zip_discard(archive);
    return test::ReadFile(path);
}

Parts SampleParts() {
    Parts parts;
    const QString root = QStringLiteral(OV_FIXTURES "/plc/tia-tags/");
    QDirIterator files(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        parts[path.mid(root.size())] = test::ReadFile(path);
    }
    return parts;
}

// A workbook whose sheet "PLC Tags" holds these rows, every cell an inline string.
Parts Workbook(const std::vector<std::vector<const char*>>& rows, const char* sheetName = "PLC Tags") {
    QByteArray sheet = "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>\n";
    for (const auto& row : rows) {
        sheet += "<row>";
        for (const char* cell : row) sheet += QByteArray("<c t=\"inlineStr\"><is><t>") + cell + "</t></is></c>";
        sheet += "</row>\n";
    }
    sheet += "</sheetData></worksheet>\n";
    return {
        {QStringLiteral("xl/workbook.xml"),
         QByteArray("<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
                    "<sheet name=\"") + sheetName + "\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {QStringLiteral("xl/_rels/workbook.xml.rels"),
         "<Relationships><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
         "Target=\"worksheets/sheet1.xml\"/></Relationships>"},
        {QStringLiteral("xl/worksheets/sheet1.xml"), sheet},
    };
}

class TiaTagTableReader : public ::testing::Test {
protected:
    void SetUp() override { settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish); }
    void TearDown() override { settings::TextTable::Instance().SetLanguage(settings::TextTable::kGerman); }
};

PlcVariable Tag(const char* name, PlcType type, const char* address, const char* comment, int access, int row) {
    return {{QString::fromUtf8(name)}, type, QString::fromUtf8(address), QString::fromUtf8(comment), access,
            QStringLiteral("Line %1").arg(row)};
}

TEST_F(TiaTagTableReader, ReadsTheSampleTagTableWhole) {
    QString error;
    const std::optional<PlcProgram> program = ReadTiaTagTable(Zipped(SampleParts()), &error);
    ASSERT_TRUE(program) << error.toStdString();
    EXPECT_EQ(program->format, QStringLiteral("TIA Portal tag table"));
    EXPECT_TRUE(program->structures.empty());

    const std::vector<PlcVariable> variables{
        Tag("Start_Button", {11, {}, 0}, "I0.1", "start button", 1, 2),
        Tag("Stop_Button", {11, {}, 0}, "I0.2", "stop button", 1, 3),
        Tag("Level", {2, {}, 0}, "IW64", "tank level", 1, 4),
        Tag("Lamp", {11, {}, 0}, "Q0.0", "", 3, 5),
        Tag("Valve", {18, {}, 0}, "QW4", "valve position", 3, 6),
        Tag("bFlag", {11, {}, 0}, "M0.0", "a flag", 3, 7),
        Tag("nSint", {16, {}, 0}, "MB1", "", 3, 8),
        Tag("nUsint", {17, {}, 0}, "MB2", "", 3, 9),
        Tag("nByte", {17, {}, 0}, "MB3", "", 3, 10),
        Tag("nInt", {2, {}, 0}, "MW4", "", 3, 11),
        Tag("nUint", {18, {}, 0}, "MW6", "", 3, 12),
        Tag("nWord", {18, {}, 0}, "MW8", "", 3, 13),
        Tag("nDint", {3, {}, 0}, "MD10", "", 3, 14),
        Tag("nUdint", {19, {}, 0}, "MD14", "", 3, 15),
        Tag("nDword", {19, {}, 0}, "MD18", "", 3, 16),
        Tag("fReal", {4, {}, 0}, "MD22", "", 3, 17),
        Tag("tCycle", {3, {}, 0}, "MD26", "", 3, 18),
        Tag("tdShift", {19, {}, 0}, "MD30", "", 3, 19),
        Tag("dDay", {7, {}, 0}, "MW34", "", 3, 20),
        Tag("nLint", {20, {}, 0}, "", "", 3, 21),
        Tag("nUlint", {21, {}, 0}, "", "", 3, 22),
        Tag("nLword", {21, {}, 0}, "", "", 3, 23),
        Tag("fLreal", {5, {}, 0}, "", "", 3, 24),
        Tag("dtStamp", {7, {}, 0}, "", "", 3, 25),
        Tag("sText", {8, {}, 20}, "", "operator's note", 3, 26),
        Tag("aFlags", {11, {}, 8}, "M40.0", "", 3, 27),
        Tag("fTemp", {4, {}, 0}, "DB1.DBD0", "from the data block", 3, 28),
        Tag("Raw_Level", {2, {}, 0}, "", "peripheral read", 1, 29),
    };
    EXPECT_EQ(program->variables, variables);
    EXPECT_EQ(program->notes,
              QStringList{QStringLiteral("Raw_Level: \"%IW66:P\" is not an address the device reads; the item keeps its symbol path")});

    // The zipped copy the import's tests and the fuzzer take holds the same.
    const std::optional<PlcProgram> zipped = ReadTiaTagTable(test::ReadFile(OV_FIXTURES "/plc/sample-tags.xlsx"), &error);
    ASSERT_TRUE(zipped) << error.toStdString();
    EXPECT_EQ(zipped->variables, variables);
}

TEST_F(TiaTagTableReader, FindsTheColumnsByTheirHeader) {
    QString error;
    const std::optional<PlcProgram> program = ReadTiaTagTable(
        Zipped(Workbook({{},
                         {"Comment", "Logical Address", "Data Type", "Path", "Name"},
                         {"in front", "%MW2", "Int", "Tag table_1", "Counter"},
                         {"no name: left out", "%MW4", "Int", "Tag table_1", ""}})),
        &error);
    ASSERT_TRUE(program) << error.toStdString();
    EXPECT_EQ(program->variables, std::vector{Tag("Counter", {2, {}, 0}, "MW2", "in front", 3, 3)});
}

TEST_F(TiaTagTableReader, RefusesBadWorkbooksNamingThePlace) {
    const Parts sample = SampleParts();
    const auto without = [&sample](const char* part) {
        Parts parts = sample;
        parts.erase(QString::fromUtf8(part));
        return parts;
    };
    const auto changed = [&sample](const char* part, const QByteArray& bytes) {
        Parts parts = sample;
        parts[QString::fromUtf8(part)] = bytes;
        return parts;
    };
    const QByteArray sheet = sample.at(QStringLiteral("xl/worksheets/sheet1.xml"));
    struct Case {
        const char* what;
        QByteArray content;
        std::vector<const char*> named;  // parts the message must hold
    };
    const Case cases[] = {
        {"no zip at all", "Name;Data Type\nStart;Bool\n", {"not a workbook"}},
        {"a zip that is no workbook", Zipped({{QStringLiteral("readme.txt"), "hello"}}), {"not a workbook"}},
        {"a zip cut short", Zipped(sample).left(400), {"not a workbook"}},
        {"no sheet PLC Tags", Zipped(Workbook({{"Name", "Data Type"}}, "Tags")), {"no sheet \"PLC Tags\""}},
        {"no sheet part", Zipped(without("xl/worksheets/sheet1.xml")), {"xl/worksheets/sheet1.xml is missing"}},
        {"no relationships", Zipped(without("xl/_rels/workbook.xml.rels")), {"xl/_rels/workbook.xml.rels is missing"}},
        {"a sheet cut short", Zipped(changed("xl/worksheets/sheet1.xml", sheet.left(sheet.size() / 2))),
         {"xl/worksheets/sheet1.xml, Line", "ends before it is complete"}},
        {"broken shared strings", Zipped(changed("xl/sharedStrings.xml", "<sst><si><t>a</si></sst>")),
         {"xl/sharedStrings.xml, Line 1", "Malformed XML"}},
        {"a shared string that is not there", Zipped(changed("xl/sharedStrings.xml", "<sst><si><t>Name</t></si></sst>")),
         {"Line 1", "xl/sharedStrings.xml [1] is missing"}},
        {"no data type column", Zipped(Workbook({{"Name", "Path", "Logical Address"}, {"Start", "T", "%I0.0"}})),
         {"Line 1", "no column \"Data Type\""}},
        {"no name column", Zipped(Workbook({{"Tag", "Data Type"}})), {"Line 1", "no column \"Name\""}},
        {"an empty sheet", Zipped(Workbook({})), {"no column \"Name\""}},
        {"a PLC data type", Zipped(Workbook({{"Name", "Data Type"}, {"Motor", "\"Motor_UDT\""}})),
         {"Line 2", "Motor", "Motor_UDT"}},
        {"an array bound that is no number", Zipped(Workbook({{"Name", "Data Type"}, {"A", "Int"}, {"B", "Array[0..N] of Int"}})),
         {"Line 3", "\"N\""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString error;
        EXPECT_FALSE(ReadTiaTagTable(c.content, &error));
        for (const char* part : c.named) EXPECT_TRUE(error.contains(QString::fromUtf8(part))) << error.toStdString();
    }
}

TEST_F(TiaTagTableReader, RefusesMoreTagsThanAnImportTakes) {
    // Every row the same tag through two shared strings keeps the sheet small.
    QByteArray rows = "<worksheet><sheetData><row><c t=\"inlineStr\"><is><t>Name</t></is></c>"
                      "<c t=\"inlineStr\"><is><t>Data Type</t></is></c></row>\n";
    rows.reserve(static_cast<qsizetype>(kMaxVariables + 1) * 56);
    for (int i = 0; i <= kMaxVariables; ++i) rows += "<row><c t=\"s\"><v>0</v></c><c t=\"s\"><v>1</v></c></row>\n";
    rows += "</sheetData></worksheet>";
    Parts parts = Workbook({});
    parts[QStringLiteral("xl/worksheets/sheet1.xml")] = rows;
    parts[QStringLiteral("xl/sharedStrings.xml")] = "<sst><si><t>Tag</t></si><si><t>Bool</t></si></sst>";
    QString error;
    EXPECT_FALSE(ReadTiaTagTable(Zipped(parts), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("more than 500,000 variables"))) << error.toStdString();
}

}  // namespace

}  // namespace ov::plc
