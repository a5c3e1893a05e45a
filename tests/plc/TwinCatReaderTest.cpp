#include "plc/Readers.h"
#include "settings/TextTable.h"
#include "support/Files.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace ov::plc {

namespace {

class TwinCatReader : public ::testing::Test {
protected:
    void SetUp() override { settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish); }
    void TearDown() override { settings::TextTable::Instance().SetLanguage(settings::TextTable::kGerman); }
};

PlcVariable Variable(const char* path, PlcType type, const char* address, const char* comment, int access, int line) {
    return {QString::fromUtf8(path).split(u'.'), type, QString::fromUtf8(address), QString::fromUtf8(comment), access,
            QStringLiteral("Line %1").arg(line)};
}

PlcMember Member(const char* name, PlcType type, double order, const char* comment = "") {
    return {QString::fromUtf8(name), type, order, QString::fromUtf8(comment)};
}

TEST_F(TwinCatReader, ReadsTheSampleProgramWhole) {
    QString error;
    const std::optional<PlcProgram> program = ReadTwinCatSymbols(test::ReadFile(OV_FIXTURES "/plc/sample.tpy"), &error);
    ASSERT_TRUE(program) << error.toStdString();
    EXPECT_EQ(program->format, QStringLiteral("TwinCAT symbol file"));

    // Only the structures the symbols use, each after the one it holds;
    // offsets from BitOffs, one-bit members at byte.bit, aliases and
    // enumerations as their base type.
    const std::vector<PlcStructure> structures{
        {QStringLiteral("ST_Motor"),
         {Member("Running", {256, {}, 0}, 0.0, "turning"), Member("Fault", {256, {}, 0}, 0.1),
          Member("Speed", {4, {}, 0}, 4, "rpm"), Member("Flags", {11, {}, 10}, 8), Member("Name", {8, {}, 20}, 18)},
         QStringLiteral("A motor with its state")},
        {QStringLiteral("ST_Line"),
         {Member("Id", {2, {}, 0}, 0), Member("Motor", {12, QStringLiteral("ST_Motor"), 0}, 4, "the drive"),
          Member("Enabled", {11, {}, 0}, 44), Member("Mode", {2, {}, 0}, 46), Member("Count", {3, {}, 0}, 48)},
         QStringLiteral("One conveyor line")},
    };
    EXPECT_EQ(program->structures, structures);

    const std::vector<PlcVariable> variables{
        Variable("GVL.bFlag", {11, {}, 0}, "", "a flag", 3, 135),
        Variable("GVL.nSint", {16, {}, 0}, "", "", 3, 143),
        Variable("GVL.nUsint", {17, {}, 0}, "", "", 3, 144),
        Variable("GVL.nByte", {17, {}, 0}, "", "", 3, 145),
        Variable("GVL.nInt", {2, {}, 0}, "", "", 3, 146),
        Variable("GVL.nUint", {18, {}, 0}, "", "", 3, 147),
        Variable("GVL.nWord", {18, {}, 0}, "", "", 3, 148),
        Variable("GVL.nDint", {3, {}, 0}, "", "", 3, 149),
        Variable("GVL.nUdint", {19, {}, 0}, "", "", 3, 150),
        Variable("GVL.nDword", {19, {}, 0}, "", "", 3, 151),
        Variable("GVL.nLint", {20, {}, 0}, "", "", 3, 152),
        Variable("GVL.nUlint", {21, {}, 0}, "", "", 3, 153),
        Variable("GVL.nLword", {21, {}, 0}, "", "", 3, 154),
        Variable("GVL.fReal", {4, {}, 0}, "", "", 3, 155),
        Variable("GVL.fLreal", {5, {}, 0}, "", "", 3, 156),
        Variable("GVL.sText", {8, {}, 20}, "", "", 3, 157),
        Variable("GVL.tCycle", {3, {}, 0}, "", "", 3, 158),
        Variable("GVL.dDay", {7, {}, 0}, "", "", 3, 159),
        Variable("GVL.tdShift", {19, {}, 0}, "", "", 3, 160),
        Variable("GVL.dtStamp", {7, {}, 0}, "", "", 3, 161),
        Variable("GVL.fSpeed", {4, {}, 0}, "", "", 3, 162),
        Variable("GVL.eMode", {2, {}, 0}, "", "", 3, 169),
        Variable("GVL.Line1", {12, QStringLiteral("ST_Line"), 0}, "", "the first line", 3, 176),
        Variable("GVL.aSetpoints", {2, {}, 4}, "", "", 3, 184),
        // Located in the process image: inputs read only, the width from the bit size.
        Variable("GVL.bStart", {11, {}, 0}, "I0.1", "start button", 1, 195),
        Variable("GVL.fLevel", {4, {}, 0}, "ID8", "", 1, 203),
        Variable("GVL.aInputs", {18, {}, 4}, "IW16", "", 1, 210),
        Variable("GVL.nEnergy", {20, {}, 0}, "", "meter", 1, 217),
        Variable("GVL.nSetpoint", {2, {}, 0}, "QW4", "", 3, 225),
        Variable("GVL.bLamp", {11, {}, 0}, "Q2.3", "", 3, 232),
        Variable("GVL.nMarker", {18, {}, 0}, "MW20", "", 3, 239),
        Variable("bLegacy", {11, {}, 0}, "", "", 3, 246),
        Variable("MAIN.counter", {3, {}, 0}, "", "cycles since start", 3, 253),
    };
    EXPECT_EQ(program->variables, variables);

    const QStringList notes{
        QStringLiteral("GVL.nEnergy: \"%IL24\" is not an address the device reads; the item keeps its symbol path"),
        QStringLiteral("MAIN.fbValve left out: its type FB_Valve is a pointer, a reference, an interface or a function block"),
        QStringLiteral("MAIN.pData left out: its type POINTER TO INT is a pointer, a reference, an interface or a function block"),
    };
    EXPECT_EQ(program->notes, notes);
}

QByteArray Symbols(const char* dataTypes, const char* symbols) {
    return QByteArrayLiteral("<PlcProjectInfo>\n<DataTypes>\n") + dataTypes + "</DataTypes>\n<Symbols>\n" + symbols +
           "</Symbols>\n</PlcProjectInfo>\n";
}

TEST_F(TwinCatReader, RefusesBadFilesNamingThePlace) {
    const QByteArray sample = test::ReadFile(OV_FIXTURES "/plc/sample.tpy");
    const char* const counter = "<Symbol><Name>MAIN.x</Name><Type>ST_A</Type></Symbol>\n";
    struct Case {
        const char* what;
        QByteArray content;
        std::vector<const char*> named;  // parts the message must hold
    };
    const Case cases[] = {
        {"an empty file", "", {"not a TwinCAT symbol file"}},
        {"another XML file", "<project>\n</project>", {"not a TwinCAT symbol file"}},
        {"no XML at all", "PK\x03\x04 binary", {"Line 1", "Malformed XML"}},
        {"a file cut short", sample.left(sample.size() / 2), {"Line 1", "ends before it is complete"}},
        {"tags that do not match", "<PlcProjectInfo>\n<Symbols>\n</DataTypes>", {"Line 3", "Malformed XML"}},
        {"an unknown type", Symbols("", "<Symbol><Name>GVL.p</Name><Type>ST_Pump</Type></Symbol>\n"), {"Line 5", "GVL.p", "ST_Pump"}},
        {"a symbol without type", Symbols("", "<Symbol><Name>GVL.p</Name></Symbol>\n"), {"Line 5", "Type is missing"}},
        {"structures in a cycle",
         Symbols("<DataType><Name>ST_A</Name><SubItem><Name>b</Name><Type>ST_B</Type><BitOffs>0</BitOffs></SubItem></DataType>\n"
                 "<DataType><Name>ST_B</Name><SubItem><Name>a</Name><Type>ST_A</Type><BitOffs>0</BitOffs></SubItem></DataType>\n",
                 counter),
         {"ST_A > ST_B > ST_A"}},
        {"aliases in a cycle",
         Symbols("<DataType><Name>T_A</Name><Type>T_B</Type></DataType>\n<DataType><Name>T_B</Name><Type>T_A</Type></DataType>\n",
                 "<Symbol><Name>GVL.v</Name><Type>T_A</Type></Symbol>\n"),
         {"Line 7", "T_A > T_B > T_A"}},
        {"a member of unknown type",
         Symbols("<DataType><Name>ST_A</Name>\n<SubItem><Name>x</Name><Type>ST_Gone</Type><BitOffs>0</BitOffs></SubItem></DataType>\n",
                 counter),
         {"Line 4", "ST_A.x", "ST_Gone"}},
        {"a member without offset",
         Symbols("<DataType><Name>ST_A</Name>\n<SubItem><Name>x</Name><Type>INT</Type></SubItem></DataType>\n", counter),
         {"Line 4", "ST_A.x", "BitOffs"}},
        {"an array bound that is no number",
         Symbols("", "<Symbol><Name>GVL.a</Name><Type>INT</Type><ArrayInfo><LBound>N_LOW</LBound><Elements>4</Elements></ArrayInfo></Symbol>\n"),
         {"Line 5", "N_LOW"}},
        {"an array bound that is a constant", Symbols("", "<Symbol><Name>GVL.a</Name><Type>ARRAY [0..MAX] OF INT</Type></Symbol>\n"),
         {"Line 5", "MAX"}},
        {"an array too large for the device",
         Symbols("<DataType><Name>T_Big</Name><Type>ARRAY [0..999] OF INT</Type></DataType>\n",
                 "<Symbol><Name>GVL.a</Name><Type>ARRAY [0..99] OF T_Big</Type></Symbol>\n"),
         {"Line 6", "ARRAY [0..99] OF T_Big"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString error;
        EXPECT_FALSE(ReadTwinCatSymbols(c.content, &error));
        for (const char* part : c.named) EXPECT_TRUE(error.contains(QString::fromUtf8(part))) << error.toStdString();
    }
}

TEST_F(TwinCatReader, RefusesMoreVariablesThanAnImportTakes) {
    QByteArray symbols;
    symbols.reserve(static_cast<qsizetype>(kMaxVariables + 1) * 48);
    for (int i = 0; i <= kMaxVariables; ++i) symbols += "<Symbol><Name>v</Name><Type>BOOL</Type></Symbol>\n";
    QString error;
    EXPECT_FALSE(ReadTwinCatSymbols(Symbols("", symbols.constData()), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("more than 500,000 variables"))) << error.toStdString();
}

}  // namespace

}  // namespace ov::plc
