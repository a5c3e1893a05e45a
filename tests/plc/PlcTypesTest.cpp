#include "plc/PlcTypes.h"

#include <gtest/gtest.h>

namespace ov::plc {

namespace {

bool IsMotor(const QString& name) { return name.compare(QStringLiteral("ST_Motor"), Qt::CaseInsensitive) == 0; }

TEST(PlcTypes, DeclarationsBecomeTheStoredTypeAndSize) {
    struct Case {
        const char* text;
        PlcType expected;
    };
    const Case cases[] = {
        {"BOOL", {11, {}, 0}},
        {"  dint ", {3, {}, 0}},
        {"Bool", {11, {}, 0}},
        {"USINT", {17, {}, 0}},
        {"WORD", {18, {}, 0}},
        {"LWORD", {21, {}, 0}},
        {"LINT", {20, {}, 0}},
        {"LREAL", {5, {}, 0}},
        {"TIME", {3, {}, 0}},
        {"TIME_OF_DAY", {19, {}, 0}},
        {"DT", {7, {}, 0}},
        {"STRING", {8, {}, 80}},
        {"STRING(20)", {8, {}, 20}},
        {"String[20]", {8, {}, 20}},
        {"WSTRING(10)", {8, {}, 10}},
        {"ARRAY[0..7] OF BOOL", {11, {}, 8}},
        {"Array[1..3] of Real", {4, {}, 3}},
        {"ARRAY [1..2, 0..3] OF INT", {2, {}, 8}},
        {"ARRAY[0..1] OF ARRAY[0..2] OF INT", {2, {}, 6}},
        {"ARRAY[-2..2] OF ST_Motor", {12, QStringLiteral("ST_Motor"), 5}},
        {"ARRAY[0..3] OF STRING(20)", {8, {}, 20}},
        {"st_motor", {12, QStringLiteral("st_motor"), 0}},
        {"\"ST_Motor\"", {12, QStringLiteral("ST_Motor"), 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        QString error;
        const std::optional<PlcType> type = ParseType(QString::fromUtf8(c.text), IsMotor, &error);
        ASSERT_TRUE(type) << error.toStdString();
        EXPECT_EQ(*type, c.expected);
    }
}

TEST(PlcTypes, RefusesWhatCannotBeStoredAndSaysWhy) {
    struct Case {
        const char* text;
        const char* named;  // the part the message names
    };
    const Case cases[] = {
        {"POINTER TO INT", "POINTER TO INT"},
        {"ST_Pump", "ST_Pump"},
        {"ARRAY[0..MAX] OF INT", "MAX"},
        {"ARRAY[0..7] OF ST_Pump", "ST_Pump"},
        {"ARRAY[7..0] OF INT", "7..0"},
        {"ARRAY[0..70000] OF BYTE", "0..70000"},
        {"ARRAY[0..999, 0..999] OF BYTE", "0..999"},
        {"STRING(n)", "n"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        QString error;
        EXPECT_FALSE(ParseType(QString::fromUtf8(c.text), IsMotor, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.named))) << error.toStdString();
    }
}

DeclaredStructure Declared(const char* name, std::vector<DeclaredStructure::Member> members) {
    return {QString::fromUtf8(name), std::move(members), {}, {}};
}

TEST(PlcTypes, LaysOutBitsPackedAndOtherMembersAlignedToTheirSize) {
    // Declared before the type it uses, as files often do.
    const std::vector<DeclaredStructure> declared{
        Declared("ST_Line", {{"Id", "INT", {}}, {"Motor", "ST_Motor", "the drive"}, {"Enabled", "BOOL", {}},
                             {"Count", "DINT", {}}, {"Stamp", "LDT", {}}}),
        Declared("ST_Motor", {{"Running", "BOOL", {}}, {"Fault", "BOOL", {}}, {"Speed", "REAL", {}},
                              {"Flags", "ARRAY[0..9] OF BOOL", {}}, {"Name", "STRING(20)", {}}}),
    };
    QString error;
    const auto structures = LayOut(declared, &error);
    ASSERT_TRUE(structures) << error.toStdString();
    const std::vector<PlcStructure> expected{
        {QStringLiteral("ST_Motor"),
         {{QStringLiteral("Running"), {256, {}, 0}, 0.0, {}},
          {QStringLiteral("Fault"), {256, {}, 0}, 0.1, {}},
          {QStringLiteral("Speed"), {4, {}, 0}, 4, {}},
          {QStringLiteral("Flags"), {256, {}, 10}, 8.0, {}},
          // Bits up to 9.1; the string starts at the next byte and ends at 31.
          {QStringLiteral("Name"), {8, {}, 20}, 10, {}}},
         {}},
        // ST_Motor is 32 bytes aligned to 4: Enabled follows at 36, Count at 40, the 8-byte time at 48.
        {QStringLiteral("ST_Line"),
         {{QStringLiteral("Id"), {2, {}, 0}, 0, {}},
          {QStringLiteral("Motor"), {12, QStringLiteral("ST_Motor"), 0}, 4, QStringLiteral("the drive")},
          {QStringLiteral("Enabled"), {256, {}, 0}, 36.0, {}},
          {QStringLiteral("Count"), {3, {}, 0}, 40, {}},
          {QStringLiteral("Stamp"), {7, {}, 0}, 48, {}}},
         {}},
    };
    EXPECT_EQ(*structures, expected);
}

TEST(PlcTypes, RefusesStructuresThatCannotBeLaidOut) {
    struct Case {
        const char* what;
        std::vector<DeclaredStructure> declared;
        const char* named;
    };
    const Case cases[] = {
        {"itself", {Declared("A", {{"Self", "A", {}}})}, "A > A"},
        {"a cycle of three",
         {Declared("A", {{"B", "B", {}}}), Declared("B", {{"C", "ARRAY[0..1] OF C", {}}}), Declared("C", {{"A", "A", {}}})},
         "A > B > C > A"},
        {"an unknown member type", {Declared("A", {{"X", "ST_Unknown", {}}})}, "A.X"},
        {"a type declared twice", {Declared("Valve", {{"X", "INT", {}}}), Declared("VALVE", {{"Y", "INT", {}}})}, "VALVE"},
        {"a member named twice", {Declared("A", {{"Speed", "INT", {}}, {"SPEED", "BOOL", {}}})}, "SPEED"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString error;
        EXPECT_FALSE(LayOut(c.declared, &error));
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.named))) << error.toStdString();
    }
}

TEST(PlcTypes, LocationsBecomeTheDevicesAddresses) {
    const std::pair<const char*, const char*> located[] = {
        {"%IX0.1", "I0.1"}, {"%I0.1", "I0.1"},   {"%QW4", "QW4"},       {"%MD100", "MD100"},
        {"%mx1.7", "M1.7"}, {"%IB3", "IB3"},     {"%DB5.DBW2", "DB5.DBW2"}, {"%DB1.DBX0.3", "DB1.DBX0.3"},
        {"%db1.dbd0", "DB1.DBD0"}, {"%MW20", "MW20"}, {"%I*", ""},       {"%Q*", ""},
    };
    for (const auto& [location, address] : located) {
        SCOPED_TRACE(location);
        QString error;
        const std::optional<QString> result = DeviceAddress(QString::fromUtf8(location), &error);
        ASSERT_TRUE(result) << error.toStdString();
        EXPECT_EQ(*result, QString::fromUtf8(address));
    }
    for (const char* location : {"%IX0", "%QW4.1", "%IX0.8", "%IL2", "%MX1.2.3", "%Z1", "%DB5.DBX2", "%IW70000"}) {
        SCOPED_TRACE(location);
        QString error;
        EXPECT_FALSE(DeviceAddress(QString::fromUtf8(location), &error));
        EXPECT_TRUE(error.contains(QString::fromUtf8(location))) << error.toStdString();
    }
}

}  // namespace

}  // namespace ov::plc
