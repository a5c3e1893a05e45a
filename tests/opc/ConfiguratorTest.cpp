// Items entered by address through the simulation server's configuration
// tool: the PLC addresses it understands, the rows' states and colours in
// FNewItemOVOPC, and what OK inserts.

#include "components/PlcAddress.h"
#include "components/Registration.h"
#include "host/NodeKey.h"
#include "platform/system/Components.h"
#include "OpcEditorTest.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace ov;
using components::ParsePlcAddress;
using components::PlcAddress;
using settings::Text;

namespace {

TEST(PlcAddressTest, EachFormGivesItsWidthAndTypes) {
    using W = PlcAddress::Width;
    const std::tuple<const char*, W, std::vector<int>, int> cases[] = {
        {"DB10.DBW4", W::Word, {18, 2}, 0},   {"db10.dbd8", W::DoubleWord, {19, 3, 4}, 0}, {"DB1.DBX0.3", W::Bit, {11}, 0},
        {"M1.0", W::Bit, {11}, 0},            {"MW20", W::Word, {18, 2}, 0},               {"MD30", W::DoubleWord, {19, 3, 4}, 0},
        {"I0.1", W::Bit, {11}, 0},            {"Q4.7", W::Bit, {11}, 0},                   {"E0.1", W::Bit, {11}, 0},
        {" DB5.DBB0[16] ", W::Byte, {8192 + 17, 8192 + 16}, 16}};
    for (const auto& [text, width, types, count] : cases) {
        const auto address = ParsePlcAddress(QString::fromUtf8(text));
        ASSERT_TRUE(address) << text;
        EXPECT_EQ(address->width, width) << text;
        EXPECT_EQ(address->AllowedTypes(), types) << text;
        EXPECT_EQ(address->count, count) << text;
    }
    EXPECT_EQ(ParsePlcAddress(QStringLiteral("E0.1"))->area, QChar(u'I')) << "the German input area";
    EXPECT_EQ(ParsePlcAddress(QStringLiteral("DB1.DBX7.6"))->bit, 6);
}

TEST(PlcAddressTest, WhatIsNoAddressIsRefused) {
    for (const char* text : {"", "DB10", "DB10.DBW", "DB1.DBX0.8", "M1", "MX1.0", "DB1.DBX0.1[4]", "DB1.DBB0[0]",
                             "DB1.DBB0[70000]", "MW99999999999", "DB-1.DBW0", "DB1.DBW0;DROP", "Z1.0", "M1.0.0"})
        EXPECT_FALSE(ParsePlcAddress(QString::fromUtf8(text))) << text;
}

class ConfiguratorTest : public test::OpcEditorTest {
  protected:
    void SetUp() override {
        Open();
        Click(plc);
        ClearShown();
    }
    void TearDown() override {
        components::RegisterOwnComponents();
        EditorTest::TearDown();
    }
    void Run(const std::function<void(ui::Form&)>& script) {
        ui::DefaultFormRunner().Once(QStringLiteral("FNewItemOVOPC"), script);
        Click(plc);
        Window().RunObjectFunction(QStringLiteral("mnuItemFunc"), 5);
    }
    static void Row(ui::Form& f, int row, const QString& id, const QString& type = QString()) {
        f.UserEditCell(QStringLiteral("tdb"), row, 0, id);
        if (!type.isEmpty()) f.UserEditCell(QStringLiteral("tdb"), row, 1, type);
    }
    static QVariant Cell(ui::Form& f, int row, int column) { return f.Get(QStringLiteral("tdb")).grid.rows.at(row).at(column); }
};

TEST_F(ConfiguratorTest, UsedAndRepeatedIdsAreRedUnknownTypesYellowAndOnlyRedRowsStayOut) {
    project.Open()->Execute(QStringLiteral("INSERT INTO TpdbItems (Name, ItemAccess, DeviceID) VALUES ('mw20', 'mw20', 1)"));
    const int before = PlcItems();
    Run([](ui::Form& f) {
        Row(f, 0, QStringLiteral("MW20"));
        f.PressCancel();
    });
    EXPECT_EQ(PlcItems(), before) << "Cancel writes nothing";
    Run([](ui::Form& f) {
        const ui::GridData& grid = f.Get(QStringLiteral("tdb")).grid;
        EXPECT_EQ(grid.columnCaptions.at(0), Text(2901));
        EXPECT_TRUE(grid.columnChoices.at(0).contains(QStringLiteral("DB1.DBX0.0"))) << "the tool's addresses";
        Row(f, 0, QStringLiteral("DB10.DBW4"));
        EXPECT_EQ(Cell(f, 0, 1).toString(), QStringLiteral("VT_UI2")) << "the type the tool proposes";
        EXPECT_EQ(grid.ChoicesFor(0, 1), (QStringList{QStringLiteral("VT_UI2"), QStringLiteral("VT_I2")}));
        Row(f, 1, QStringLiteral("MW20"));  // an item of the device, in other letters
        Row(f, 2, QStringLiteral("DB10.DBD8"), QStringLiteral("VT_R4"));
        Row(f, 3, QStringLiteral("DB10.DBD8"));
        Row(f, 4, QStringLiteral("M1.0"), QStringLiteral("Nonsense"));
        Row(f, 5, QStringLiteral("DB5.DBB0[16]"));
        EXPECT_EQ(grid.ChoicesFor(5, 1), QStringList{QStringLiteral("VT_UI1")}) << "an array offers its element type";
        EXPECT_EQ(Cell(f, 5, 3).toInt(), 16) << "the array's size";
        EXPECT_EQ(grid.rows.size(), 7u) << "a blank row waits at the end";

        const std::vector<int> states{0, 2, 2, 2, 1, 0, 0};
        for (int r = 0; r < 7; ++r) EXPECT_EQ(Cell(f, r, 4).toInt(), states[static_cast<std::size_t>(r)]) << r;
        EXPECT_EQ(grid.rowBackground.at(1), QStringLiteral("red"));
        EXPECT_EQ(grid.rowForeground.at(1), QStringLiteral("white"));
        EXPECT_EQ(grid.rowBackground.at(4), QStringLiteral("yellow"));
        EXPECT_TRUE(grid.rowBackground.at(0).isEmpty());
        // Each coloured row says why.
        const std::vector<QString> tips{QString(), Text(9272), Text(9273), Text(9273),
                                        Text(9274).replace(QStringLiteral("<t>"), QStringLiteral("Nonsense")), QString(), QString()};
        EXPECT_EQ(grid.rowToolTip, tips);

        // Changing the repeated one frees the other.
        Row(f, 3, QStringLiteral("DB10.DBD12"));
        EXPECT_EQ(Cell(f, 2, 4).toInt(), 0);
        f.PressDefault();
    });
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'|').toStdString();
    EXPECT_EQ(PlcItems(), before + 5);
    EXPECT_EQ(Query(QStringLiteral("SELECT DataType FROM TpdbItems WHERE ItemAccess = 'DB10.DBD8'")).toInt(), 4);
    EXPECT_EQ(Query(QStringLiteral("SELECT DataType FROM TpdbItems WHERE Name = 'M1.0'")).toInt(), 0) << "yellow, still inserted";
    EXPECT_EQ(Query(QStringLiteral("SELECT FieldSize FROM TpdbItems WHERE Name = 'DB5.DBB0[16]'")).toInt(), 16);
    EXPECT_EQ(Query(QStringLiteral("SELECT AccessRights FROM TpdbItems WHERE Name = 'DB10.DBW4'")).toInt(), 3);
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbConnections c JOIN TpdbItems i ON i.ID = c.ItemID "
                                   "WHERE c.GroupID = 1 AND i.Name IN ('DB10.DBW4','DB10.DBD8','DB10.DBD12','M1.0','DB5.DBB0[16]')")),
              5);
    // The device's folders follow the new addresses.
    EXPECT_EQ(NodeText(plc + host::nodekey::kSeparator + QStringLiteral("DB10")), QStringLiteral("DB10"));
}

TEST_F(ConfiguratorTest, ANewAddressBringsTypeAndSizeInLineAndWhatCannotBeAnItemIsRefusedAsTyped) {
    const int before = PlcItems();
    Run([](ui::Form& f) {
        const ui::GridData& grid = f.Get(QStringLiteral("tdb")).grid;
        Row(f, 0, QStringLiteral("DB5.DBB0[16]"));
        ASSERT_EQ(Cell(f, 0, 1).toString(), QStringLiteral("VT_UI1"));
        Row(f, 0, QStringLiteral("MW20"));
        EXPECT_EQ(Cell(f, 0, 1).toString(), QStringLiteral("VT_UI2")) << "a byte type does not fit a word";
        EXPECT_EQ(Cell(f, 0, 3).toInt(), 0) << "no longer an array";
        f.UserEditCell(QStringLiteral("tdb"), 0, 1, QStringLiteral("VT_I2"));
        Row(f, 0, QStringLiteral("DB10.DBW6"));
        EXPECT_EQ(Cell(f, 0, 1).toString(), QStringLiteral("VT_I2")) << "a type the new address allows stays";

        // A known type the address does not allow: yellow, inserted as chosen.
        f.UserEditCell(QStringLiteral("tdb"), 0, 1, QStringLiteral("VT_R4"));
        EXPECT_EQ(Cell(f, 0, 4).toInt(), 1);
        EXPECT_TRUE(grid.rowToolTip.at(0).contains(QStringLiteral("VT_UI2, VT_I2"))) << grid.rowToolTip.at(0).toStdString();

        // Refused as typed: the cell keeps its value and a message says why.
        const auto refused = [&f](int row, int column, const char* typed, const QVariant& kept, int text) {
            ui::DefaultMessageBoxes().Clear();
            f.UserEditCell(QStringLiteral("tdb"), row, column, QString::fromUtf8(typed));
            EXPECT_EQ(Cell(f, row, column).toString(), kept.toString()) << typed;
            ASSERT_EQ(ui::DefaultMessageBoxes().Shown().size(), 1u) << typed;
            const QString placeholder = text == 9270 ? QStringLiteral("<a>") : QStringLiteral("<v>");
            EXPECT_EQ(ui::DefaultMessageBoxes().Shown().front().text, Text(text).replace(placeholder, QString::fromUtf8(typed)));
        };
        refused(0, 0, "DB10.DBW", QStringLiteral("DB10.DBW6"), 9270);
        refused(1, 0, "Line1.Motor1.Speed", QString(), 9270);
        EXPECT_EQ(grid.rows.size(), 2u) << "a refused address opens no new row";
        Row(f, 1, QStringLiteral("MW22"));
        for (const char* size : {"-1", "abc", "2.5"}) refused(1, 3, size, QString(), 9271);
        f.UserEditCell(QStringLiteral("tdb"), 1, 3, QStringLiteral("4"));
        EXPECT_EQ(Cell(f, 1, 3).toInt(), 4);
        f.PressDefault();
    });
    EXPECT_EQ(PlcItems(), before + 2);
    EXPECT_EQ(Query(QStringLiteral("SELECT DataType FROM TpdbItems WHERE Name = 'DB10.DBW6'")).toInt(), 4);
    EXPECT_EQ(Query(QStringLiteral("SELECT FieldSize FROM TpdbItems WHERE Name = 'DB10.DBW6'")).toInt(), 0);
    EXPECT_EQ(Query(QStringLiteral("SELECT FieldSize FROM TpdbItems WHERE Name = 'MW22'")).toInt(), 4);
}

TEST_F(ConfiguratorTest, AMissingToolIsReportedAndNothingOpens) {
    sys::ComponentRegistry::Instance().Unregister(QStringLiteral("OVCfgOPC.Simulation"));
    Click(plc);
    Window().RunObjectFunction(QStringLiteral("mnuItemFunc"), 5);
    EXPECT_EQ(Messages(), QStringList{Text(2912)});
    EXPECT_TRUE(ui::DefaultFormRunner().Shown().isEmpty());
}

}  // namespace
