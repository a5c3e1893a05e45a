// PLCopen XML: the sample program whole, the other schema version and the
// type elements its tools write, and files the reader must refuse.

#include "plc/Readers.h"
#include "settings/TextTable.h"
#include "support/Files.h"
#include "plc/SampleProgram.h"

#include <gtest/gtest.h>

namespace ov::plc {

namespace {

class PlcOpenReader : public ::testing::Test {
protected:
    void SetUp() override { settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish); }
    void TearDown() override { settings::TextTable::Instance().SetLanguage(settings::TextTable::kGerman); }
};

// A project of the given schema around the types and instances given.
QByteArray Project(const QByteArray& types, const QByteArray& globals,
                   const char* schema = "http://www.plcopen.org/xml/tc6_0201") {
    return QByteArray("<?xml version=\"1.0\"?>\n<project xmlns=\"") + schema + "\">\n<types><dataTypes>\n" + types +
           "</dataTypes><pous/></types><instances><configurations><configuration name=\"C\"><globalVars>\n" +
           globals + "</globalVars></configuration></configurations></instances>\n</project>\n";
}

TEST_F(PlcOpenReader, ReadsTheSampleProgram) {
    QString error;
    const auto program = ReadPlcOpenXml(test::ReadFile(QStringLiteral(OV_FIXTURES "/plc/sample.plcopen.xml")), &error);
    ASSERT_TRUE(program) << error.toStdString();
    EXPECT_EQ(program->format, QStringLiteral("PLCopen XML"));
    EXPECT_EQ(program->structures, sample::Structures());
    EXPECT_EQ(program->variables, sample::Variables(sample::File::PlcOpen));
    EXPECT_EQ(program->notes, sample::Notes(sample::File::PlcOpen));
}

TEST_F(PlcOpenReader, ReadsTheTypeElementsOfBothSchemaVersions) {
    // Version 2.0, aliases, subranges, two dimensions, a prefixed root.
    const QByteArray types =
        "<dataType name=\"T_Name\"><baseType><string length=\"12\"/></baseType></dataType>\n"
        "<dataType name=\"T_Level\"><baseType><subrangeUnsigned><range lower=\"0\" upper=\"100\"/>"
        "<baseType><UINT/></baseType></subrangeUnsigned></baseType></dataType>\n";
    const QByteArray globals =
        "<variable name=\"n\"><type><derived name=\"T_Name\"/></type></variable>\n"
        "<variable name=\"level\"><type><derived name=\"t_level\"/></type></variable>\n"
        "<variable name=\"grid\"><type><array><dimension lower=\"1\" upper=\"2\"/><dimension lower=\"0\" upper=\"3\"/>"
        "<baseType><LREAL/></baseType></array></type></variable>\n"
        "<variable name=\"w\"><type><wstring/></type><addData/></variable>\n";
    for (const char* schema : {"http://www.plcopen.org/xml/tc6_0200", "http://www.plcopen.org/xml/tc6.xsd"}) {
        SCOPED_TRACE(schema);
        QString error;
        const auto program = ReadPlcOpenXml(Project(types, globals, schema), &error);
        ASSERT_TRUE(program) << error.toStdString();
        const std::vector<PlcVariable> expected{
            {{QStringLiteral("n")}, {8, {}, 12}, {}, {}, 3, QStringLiteral("Line 7")},
            {{QStringLiteral("level")}, {18, {}, 0}, {}, {}, 3, QStringLiteral("Line 8")},
            {{QStringLiteral("grid")}, {5, {}, 8}, {}, {}, 3, QStringLiteral("Line 9")},
            {{QStringLiteral("w")}, {8, {}, 80}, {}, {}, 3, QStringLiteral("Line 10")},
        };
        EXPECT_EQ(program->variables, expected);
    }
    QString error;
    const auto prefixed = ReadPlcOpenXml(
        "<p:project xmlns:p=\"http://www.plcopen.org/xml/tc6_0201\"><p:instances><p:configurations>"
        "<p:configuration name=\"C\"><p:resource name=\"R\"><p:globalVars name=\"IO\" constant=\"true\">"
        "<p:variable name=\"x\" address=\"%QX2.7\"><p:type><p:BOOL/></p:type></p:variable>"
        "</p:globalVars></p:resource></p:configuration></p:configurations></p:instances></p:project>",
        &error);
    ASSERT_TRUE(prefixed) << error.toStdString();
    EXPECT_EQ(prefixed->variables, (std::vector<PlcVariable>{{{QStringLiteral("IO"), QStringLiteral("x")},
                                                               {11, {}, 0}, QStringLiteral("Q2.7"), {}, 1,
                                                               QStringLiteral("Line 1")}}));
}

TEST_F(PlcOpenReader, RefusesBadFilesNamingTheLine) {
    QByteArray deep = "<variable name=\"d\"><type>";
    for (int i = 0; i < 40; ++i) deep += "<array><dimension lower=\"0\" upper=\"1\"/><baseType>";
    deep += "<INT/>";
    for (int i = 0; i < 40; ++i) deep += "</baseType></array>";
    deep += "</type></variable>\n";
    const QByteArray motor = "<dataType name=\"A\"><baseType><struct><variable name=\"b\"><type><derived name=\"B\"/>"
                             "</type></variable></struct></baseType></dataType>\n";
    struct Case {
        const char* what;
        QByteArray file;
        QStringList named;  // parts of the message
    };
    const Case cases[] = {
        {"cut short", Project({}, "<variable name=\"x\"><type><INT/></type></variable>\n").left(200), {"Line 5"}},
        {"tags that do not match", Project({}, "<variable name=\"x\"><type><INT/></typ></variable>\n"), {"Line 5"}},
        {"no XML", "VAR_GLOBAL x : INT; END_VAR", {"Line 1"}},
        {"another schema's project", Project({}, {}, "http://example.com/project"), {"Line 2", "not a PLC program"}},
        {"types in a cycle",
         Project(motor + "<dataType name=\"B\"><baseType><struct><variable name=\"a\"><type><array>"
                         "<dimension lower=\"0\" upper=\"1\"/><baseType><derived name=\"A\"/></baseType></array>"
                         "</type></variable></struct></baseType></dataType>\n",
                 {}),
         {"A > B > A"}},
        {"unknown type", Project({}, "<variable name=\"x\">\n<type><derived name=\"ST_Missing\"/></type></variable>\n"),
         {"Line 5", "x", "ST_Missing"}},
        {"unknown member type", Project(motor, {}), {"Line 4", "A.b", "\"B\""}},
        {"a bound that is no number",
         Project({}, "<variable name=\"x\"><type><array><dimension lower=\"0\" upper=\"MAX\"/>"
                     "<baseType><INT/></baseType></array></type></variable>\n"),
         {"Line 5", "MAX"}},
        {"a variable without a type", Project({}, "\n<variable name=\"x\"><documentation/></variable>\n"),
         {"Line 6", "variable x", "type"}},
        {"a variable without a name", Project({}, "<variable><type><INT/></type></variable>\n"), {"Line 5", "name"}},
        {"an array without a dimension",
         Project({}, "<variable name=\"x\"><type><array><baseType><INT/></baseType></array></type></variable>\n"),
         {"Line 5", "dimension"}},
        {"a type declared twice",
         Project("<dataType name=\"T\"><baseType><INT/></baseType></dataType>\n"
                 "<dataType name=\"t\"><baseType><INT/></baseType></dataType>\n",
                 {}),
         {"Line 5", " t "}},
        {"types nested too deep", Project({}, deep), {"Line 5", "32"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString error;
        EXPECT_FALSE(ReadPlcOpenXml(c.file, &error));
        for (const QString& part : c.named) EXPECT_TRUE(error.contains(part)) << error.toStdString();
    }
}

}  // namespace

}  // namespace ov::plc
