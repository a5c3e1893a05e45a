// Formats told by the content of a file's beginning, whatever its name.

#include "plc/FormatDetection.h"
#include "support/Files.h"

#include <gtest/gtest.h>

namespace ov::plc {

namespace {

TEST(FormatDetection, TellsEachFormatByItsContent) {
    struct Case {
        const char* what;
        QByteArray head;
        PlcFormat format;
    };
    const QByteArray bom("\xEF\xBB\xBF");
    const Case cases[] = {
        {"zip archive", QByteArray("PK\x03\x04\x14\x00\x06\x00", 8), PlcFormat::TiaTagTable},
        {"PLCopen 2.01", R"(<?xml version="1.0"?><project xmlns="http://www.plcopen.org/xml/tc6_0201">)",
         PlcFormat::PlcOpenXml},
        {"PLCopen 2.0 with a prefix, comment first",
         bom + "<!-- x -->\n<p:project xmlns:p=\"http://www.plcopen.org/xml/tc6_0200\"><types>", PlcFormat::PlcOpenXml},
        {"PLCopen, older schema name", R"(<project xmlns="http://www.plcopen.org/xml/tc6.xsd"/>)", PlcFormat::PlcOpenXml},
        {"project of another schema", R"(<project xmlns="http://example.com/project"/>)", PlcFormat::Unknown},
        {"TwinCAT symbols", "<?xml version=\"1.0\"?>\r\n<PlcProjectInfo><DataTypes>", PlcFormat::TwinCatSymbols},
        {"other XML", "<?xml version=\"1.0\"?><UANodeSet/>", PlcFormat::Unknown},
        {"broken XML", "<?xml version=\"1.0\"?><<project", PlcFormat::Unknown},
        {"structured text", "TYPE ST_Motor :\nSTRUCT\n", PlcFormat::StructuredText},
        {"TYPE on its own line", "(* types *)\r\ntype\r\n  A : INT;\r\nEND_TYPE", PlcFormat::StructuredText},
        {"globals in lower case, with BOM", bom + "// GVL\nvar_global\n  x : BOOL;\nend_var", PlcFormat::StructuredText},
        {"a program", "{attribute 'x'}\nPROGRAM MAIN\nVAR\n", PlcFormat::StructuredText},
        {"Latin-1 comment", "(* Temperatur in \xB0" "C *)\nVAR_GLOBAL\n", PlcFormat::StructuredText},
        {"keywords in comments only", "(* TYPE A : INT; (* VAR_GLOBAL *) *)\n// PROGRAM MAIN\nx := 1;", PlcFormat::Unknown},
        {"keyword in a string", "s := '\nVAR_GLOBAL';", PlcFormat::Unknown},
        {"comment left open", "(* VAR_GLOBAL", PlcFormat::Unknown},
        {"prose", "The program manager said the type of the file\nwas not known.", PlcFormat::Unknown},
        {"binary", QByteArray("VAR_GLOBAL\0\x01\x02", 13), PlcFormat::Unknown},
        {"empty", "", PlcFormat::Unknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DetectFormat(c.head), c.format);
    }
}

TEST(FormatDetection, TellsTheSampleProgramsByTheirBeginning) {
    const auto head = [](const char* name) {
        return test::ReadFile(QStringLiteral(OV_FIXTURES "/plc/") + QString::fromUtf8(name)).left(kDetectionBytes);
    };
    EXPECT_EQ(DetectFormat(head("sample.plcopen.xml")), PlcFormat::PlcOpenXml);
    EXPECT_EQ(DetectFormat(head("sample.st")), PlcFormat::StructuredText);
}

}  // namespace

}  // namespace ov::plc
