// The data types of items and members: code and text both ways, the
// combined code of structures, and the drop-down lists of the grids.

#include "model/CVT_Types.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "platform/ui/ValueList.h"
#include "support/TempProject.h"

#include <gtest/gtest.h>

using namespace ov;
using model::CVT_Types;
using ov::test::TempProject;

namespace {

const std::vector<int> kItemCodes{0, 2, 3, 4, 5, 7, 8, 11, 16, 17, 18, 19, 20, 21};

std::vector<int> Values(const ui::ValueList& list) {
    std::vector<int> values;
    for (const ui::ValueItem& item : list.Items()) values.push_back(item.value.toInt());
    return values;
}

TEST(CVT_Types, TextOfACodeGivenInAnyNumericFormAndCodeOfATextInAnyCase) {
    const CVT_Types types;
    const std::pair<QVariant, const char*> texts[] = {
        {256, "VT_BIT"}, {12, "VT_VARIANT"}, {QStringLiteral("12"), "VT_VARIANT"}, {5.0, "VT_R8"},
        {QVariant::fromValue<qint16>(17), "VT_UI1"}, {0, "NOT DEFINED"}, {20, "VT_I8"}, {21, "VT_UI8"},
        // Stored codes outside the table still display.
        {9, "NOT DEFINED"}, {-1, "NOT DEFINED"}, {65537, "NOT DEFINED"}, {12.5, "NOT DEFINED"},
        {QStringLiteral("012"), "NOT DEFINED"}, {QStringLiteral("VT_R8"), "NOT DEFINED"}, {QVariant(), "NOT DEFINED"},
    };
    for (const auto& [code, text] : texts) EXPECT_EQ(types.GetTextFromID(code), QString::fromUtf8(text)) << code.toString().toStdString();

    const std::pair<const char*, int> codes[] = {{"vt_r8", 5}, {"Vt_Bit", 256}, {"VT_DEZIMAL", 14},
                                                 {"", 0},      {"VT_R8 ", 0},    {"vt_ui8", 21}};
    for (const auto& [text, code] : codes) EXPECT_EQ(types.GetIDFromText(QString::fromUtf8(text)), code) << text;
    // Both lookups are built from one table: every text leads back to its code.
    for (const CVT_Types::TypeRow& row : CVT_Types::Table())
        EXPECT_EQ(types.GetIDFromText(types.GetTextFromID(row.code)), row.code) << row.text;
}

TEST(CVT_Types, CombinedCodeStandsForSimpleTypesAndStructures) {
    // Only codes above 65536 are structures.
    for (const auto& [combined, decoded] : {std::pair{65537, std::pair{12, 1}}, {65536 + 65535, {12, 65535}},
                                            {65536, {65536, 0}}, {256, {256, 0}}, {12, {12, 0}}})
        EXPECT_EQ(CVT_Types::DecodeCombined(combined), decoded) << combined;
    // A stored 12 without a structure is the variant type, shown as such.
    for (const auto& [type, structure, combined] : {std::tuple{12, 1, 65537}, {5, 0, 5}, {12, 0, 12}})
        EXPECT_EQ(CVT_Types::CombinedCode(type, structure), combined) << type << "," << structure;
    EXPECT_EQ(CVT_Types().GetTextFromID(CVT_Types::CombinedCode(12, 0)), QStringLiteral("VT_VARIANT"));
    for (const int structId : {1, 42, 65535})
        EXPECT_EQ(CVT_Types::DecodeCombined(CVT_Types::CombinedCode(12, structId)), std::make_pair(12, structId));
}

class DataTypeListTest : public ::testing::Test {
protected:
    void SetUp() override { connection = project.Open(); }

    int AddStructure(const QString& name) {
        connection->Execute(QStringLiteral("INSERT INTO TpdbStructDefs (Name) VALUES (?)"), {name});
        return static_cast<int>(connection->LastInsertId());
    }

    TempProject project;
    std::unique_ptr<db::Connection> connection;
    CVT_Types types;
};

TEST_F(DataTypeListTest, WithoutStructuresOnlySimpleTypesAreListed) {
    ui::ValueList list;
    list.SetStyle(ui::ValueList::Style::DropDownCombo);
    list.SetTranslate(false);
    list.SetValidate(false);
    list.Add(99, QStringLiteral("left over"));

    types.FillDataTypeList(list, false, *connection);
    EXPECT_EQ(Values(list), kItemCodes);
    EXPECT_EQ(list.GetStyle(), ui::ValueList::Style::DropDownList);
    EXPECT_TRUE(list.Translates());
    EXPECT_TRUE(list.Validates());
    for (const ui::ValueItem& item : list.Items()) EXPECT_EQ(item.text, types.GetTextFromID(item.value));

    types.FillDataTypeList(list, true, *connection);
    std::vector<int> memberCodes = kItemCodes;
    memberCodes.push_back(256);
    EXPECT_EQ(Values(list), memberCodes) << "the bit is offered to members only";
    EXPECT_EQ(list.Items().back().text, QStringLiteral("VT_BIT"));
}

TEST_F(DataTypeListTest, StructuresFollowInStoredOrderInBothListsAndAFailedReadChangesNothing) {
    const int zeta = AddStructure(QStringLiteral("Zeta"));
    const int gone = AddStructure(QStringLiteral("Gone"));
    const int alpha = AddStructure(QStringLiteral("Alpha"));
    connection->Execute(QStringLiteral("DELETE FROM TpdbStructDefs WHERE ID = ?"), {gone});

    for (const bool forMembers : {false, true}) {
        ui::ValueList list;
        types.FillDataTypeList(list, forMembers, *connection);
        const std::size_t simple = forMembers ? types.MemberTypes().size() : types.ItemTypes().size();
        ASSERT_EQ(list.Size(), simple + 2);
        EXPECT_EQ(list.Items()[simple].value.toInt(), 65536 + zeta);
        EXPECT_EQ(list.Items()[simple].text, QStringLiteral("Zeta"));
        EXPECT_EQ(list.Items()[simple + 1].value.toInt(), 65536 + alpha);
        EXPECT_EQ(list.Items()[simple + 1].text, QStringLiteral("Alpha"));
        // A stored structure type is shown by its name.
        EXPECT_EQ(list.DisplayText(CVT_Types::CombinedCode(12, alpha)), QStringLiteral("Alpha"));
    }

    // A database error leaves the list as it was.
    ui::ValueList list;
    types.FillDataTypeList(list, true, *connection);
    const std::size_t before = list.Size();
    connection->Execute(QStringLiteral("DROP TABLE TpdbStructDefs"));
    EXPECT_THROW(types.FillDataTypeList(list, false, *connection), db::DbError);
    EXPECT_EQ(list.Size(), before);
    EXPECT_EQ(list.Items().back().value.toInt(), 65536 + alpha);
}

}  // namespace
