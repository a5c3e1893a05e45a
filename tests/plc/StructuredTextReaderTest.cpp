// Structured text sources: the sample program whole, the declarations and
// comments as people write them, and sources the reader must refuse.

#include "plc/Readers.h"
#include "settings/TextTable.h"
#include "support/Files.h"
#include "plc/SampleProgram.h"

#include <gtest/gtest.h>

namespace ov::plc {

namespace {

class StructuredTextReader : public ::testing::Test {
protected:
    void SetUp() override { settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish); }
    void TearDown() override { settings::TextTable::Instance().SetLanguage(settings::TextTable::kGerman); }
};

// Each variable as "path type[size] address access comment".
QStringList Summary(const PlcProgram& program) {
    QStringList lines;
    for (const PlcVariable& v : program.variables)
        lines << QStringLiteral("%1 %2%3%4 %5 %6 %7")
                     .arg(v.path.join(u'.'))
                     .arg(v.type.dataType)
                     .arg(v.type.structure.isEmpty() ? QString() : u' ' + v.type.structure)
                     .arg(v.type.fieldSize ? QStringLiteral("[%1]").arg(v.type.fieldSize) : QString())
                     .arg(v.address.isEmpty() ? QStringLiteral("-") : v.address)
                     .arg(v.accessRights)
                     .arg(v.comment)
                     .trimmed();
    return lines;
}

TEST_F(StructuredTextReader, ReadsTheSampleProgram) {
    QString error;
    const auto program = ReadStructuredText(test::ReadFile(QStringLiteral(OV_FIXTURES "/plc/sample.st")), &error);
    ASSERT_TRUE(program) << error.toStdString();
    EXPECT_EQ(program->format, QStringLiteral("Structured text (IEC 61131-3)"));
    EXPECT_EQ(program->structures, sample::Structures());
    EXPECT_EQ(program->variables, sample::Variables(sample::File::StructuredText));
    EXPECT_EQ(program->notes, sample::Notes(sample::File::StructuredText));
}

TEST_F(StructuredTextReader, DeclarationsAsPeopleWriteThem) {
    struct Case {
        const char* what;
        QByteArray source;
        QStringList expected;
    };
    const Case cases[] = {
        {"comments above join, one after the declaration wins, a gap or the block's line parts them",
         "VAR_GLOBAL // the globals\n"
         "  // first line\n  (* second line *)\n  a, b : INT;\n"
         "  c : BOOL; // after\n"
         "  // above d\n  d : BOOL; // after d\n"
         "  // lost in the gap\n\n  e : BOOL;\n"
         "END_VAR",
         {"a 2 - 3 first line second line", "b 2 - 3 first line second line", "c 11 - 3 after", "d 11 - 3 after d",
          "e 11 - 3"}},
        {"keywords in any case, constants and what a program keeps",
         "program Main\nvar constant\n  k : INT := 3;\nend_var\nVar_In_Out\n  io : INT;\nEND_VAR\n"
         "VAR_EXTERNAL\n  ext : INT;\nEND_VAR\nVAR_OUTPUT q AT %QX1.2 : BOOL; END_VAR\nend_program",
         {"Main.k 2 - 1", "Main.q 11 Q1.2 3"}},
        {"configuration, resource, task and program instance",
         "CONFIGURATION Cell\n  VAR_GLOBAL g : DINT; END_VAR\n  RESOURCE Cpu ON PLC\n"
         "    TASK Fast (INTERVAL := T#10ms, PRIORITY := 1);\n    PROGRAM Inst WITH Fast : Main;\n"
         "    VAR_GLOBAL r AT %IW2 : INT; END_VAR\n  END_RESOURCE\nEND_CONFIGURATION",
         {"g 3 - 3", "r 2 IW2 1"}},
        {"aliases, enumerations and subranges",
         "TYPE T_Name : STRING[10]; T_Bits : ARRAY[0..7] OF BOOL; T_Percent : INT (0..100) := 5;\n"
         "  E_State : (Idle := 0, Busy) DINT; ST_Pump : STRUCT on : BOOL; s : E_State; END_STRUCT\nEND_TYPE\n"
         "VAR_GLOBAL n : T_Name; bits : T_BITS; rows : ARRAY[1..2] OF T_Bits; p : t_percent;\n"
         "  pumps : ARRAY[-1..1] OF ST_Pump; END_VAR",
         {"n 8[10] - 3", "bits 11[8] - 3", "rows 11[16] - 3", "p 2 - 3", "pumps 12 ST_Pump[3] - 3"}},
        {"pragmas, nested comments and strings hide what looks like code",
         "{attribute 'qualified_only'} VAR_GLOBAL (* END_VAR (* nested *) still comment *)\n"
         "  s : STRING := 'a;b$'c END_VAR'; /* block (* mixed *) */ w : WSTRING := \"x;\";\nEND_VAR",
         {"s 8[80] - 3 block (* mixed *)", "w 8[80] - 3"}},
        {"function and function block bodies are stepped over",
         "FUNCTION F : INT\nVAR_INPUT a : INT; END_VAR\nF := a;\nEND_FUNCTION\n"
         "FUNCTION_BLOCK FINAL FB_X\nVAR x : INT; END_VAR\nEND_FUNCTION_BLOCK\n"
         "VAR_GLOBAL fb : FB_X; fbs : ARRAY[0..1] OF fb_x; trig : R_TRIG; v : INT; END_VAR",
         {"v 2 - 3"}},
        {"Latin-1 source with a byte order mark missing", "VAR_GLOBAL t : REAL; (* \xB0" "C *) END_VAR",
         {QString::fromUtf8("t 4 - 3 °C")}},
        {"UTF-8 source with a byte order mark", "\xEF\xBB\xBFVAR_GLOBAL t : REAL; (* \xC2\xB0" "C *) END_VAR",
         {QString::fromUtf8("t 4 - 3 °C")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString error;
        const auto program = ReadStructuredText(c.source, &error);
        ASSERT_TRUE(program) << error.toStdString();
        EXPECT_EQ(Summary(*program), c.expected);
    }
}

TEST_F(StructuredTextReader, RefusesBadSourcesNamingTheLine) {
    struct Case {
        const char* what;
        QByteArray source;
        QStringList named;  // parts of the message
    };
    const Case cases[] = {
        {"cut short in a structure", "TYPE\n  ST_A : STRUCT\n    x : INT;\n    y : RE", {"Line 2", "STRUCT", "END_STRUCT"}},
        {"cut short in a list", "\nVAR_GLOBAL\n  x : INT;\n", {"Line 2", "END_VAR"}},
        {"program not ended", "PROGRAM P\nVAR\n  x : INT;\nEND_VAR\nx := 1;", {"Line 1", "END_PROGRAM"}},
        {"comment not ended", "VAR_GLOBAL x : INT; END_VAR\n(* open (* inner *)\nVAR_GLOBAL", {"Line 2", "*)"}},
        {"string not ended", "VAR_GLOBAL\n  s : STRING := 'abc;\nEND_VAR", {"Line 2", "'"}},
        {"pragma not ended", "{attribute\nVAR_GLOBAL x : INT; END_VAR", {"Line 1", "}"}},
        {"types in a cycle", "TYPE\n A : STRUCT b : B; END_STRUCT\n B : STRUCT a : ARRAY[0..1] OF A; END_STRUCT\nEND_TYPE",
         {"A > B > A"}},
        {"aliases in a cycle", "TYPE A : B; B : A; END_TYPE\nVAR_GLOBAL\n x : A;\nEND_VAR", {"Line 3", "A > B > A"}},
        {"unknown type", "VAR_GLOBAL\n\n  x : ST_Missing;\nEND_VAR", {"Line 3", "x", "ST_Missing"}},
        {"unknown member type", "TYPE\n\n ST_A : STRUCT p : POINTER TO INT; END_STRUCT\nEND_TYPE", {"Line 3", "ST_A.p", "POINTER TO INT"}},
        {"bound that is no number", "VAR_GLOBAL\n  x : ARRAY[0..MAX] OF INT;\nEND_VAR", {"Line 2", "MAX"}},
        {"a colon missing", "VAR_GLOBAL\n  x INT;\nEND_VAR", {"Line 2", "\"INT\"", ":"}},
        {"type declared twice", "TYPE A : INT; END_TYPE\nTYPE\n a : STRUCT x : INT; END_STRUCT\nEND_TYPE", {"Line 3", " a "}},
        {"no program at all", "\n\x01\x02 binary", {"Line 2", "TYPE, VAR_GLOBAL"}},
        {"end without a beginning", "END_VAR", {"Line 1", "END_VAR"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString error;
        EXPECT_FALSE(ReadStructuredText(c.source, &error));
        for (const QString& part : c.named) EXPECT_TRUE(error.contains(part)) << error.toStdString();
    }
}

TEST_F(StructuredTextReader, RefusesMoreVariablesThanAnImportTakes) {
    QByteArray source = "VAR_GLOBAL\n";
    source.reserve(kMaxVariables * 3 + 40);
    for (int i = 0; i <= kMaxVariables; ++i) source += "a,";
    source += "b : BOOL;\nEND_VAR\n";
    QString error;
    EXPECT_FALSE(ReadStructuredText(source, &error));
    EXPECT_EQ(error, QStringLiteral("Line 2: The program has more than 500,000 variables; import a part of it."));
}

}  // namespace

}  // namespace ov::plc
