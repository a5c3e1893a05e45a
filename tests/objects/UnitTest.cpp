// Unit classes and units as a person works with them: the commands, both
// dialogs with their conversions and catalogue, and the unit grid, on the
// demo project (process class Temperature with °C 0 and °F 1; display
// class Pressure with bar 1031 and psi 1033; project languages 1031, 1033).

#include "objects/ObjectTest.h"

using namespace ov;
namespace nk = ov::host::nodekey;
namespace keys = ov::host::keys;
using settings::Text;
using namespace ov::test;

namespace {

class UnitTest : public test::ObjectTest {
  protected:
    void SetUp() override {
        Open();
        temperature = ClassId("Temperature");
        pressure = ClassId("Pressure");
        Click(nk::UnitClassKey(temperature, true));
        ClearShown();
    }

    ui::GridModel& Grid() { return Window().tdbU(); }
    void Command(const char* tool) { RunTool(tool); }
    int Column(const char* field) { return Grid().ColumnIndex(QString::fromUtf8(field)); }
    int Row(int switchId) { return RowOf(Grid(), Column("SwitchID"), QString::number(switchId)); }
    int ClassId(const char* name) {
        return Query(QStringLiteral("SELECT ID FROM TpdbUnitClasses WHERE Name = '%1'").arg(QString::fromUtf8(name))).toInt();
    }
    QString Class(const char* field, int id) {
        return Query(QStringLiteral("SELECT %1 FROM TpdbUnitClasses WHERE ID = %2").arg(QString::fromUtf8(field)).arg(id)).toString();
    }
    QVariant Unit(const char* field, int switchId, int classId = -1) {
        return Query(QStringLiteral("SELECT %1 FROM TpdbUnits WHERE ParentID = %2 AND SwitchID = %3")
                         .arg(QString::fromUtf8(field))
                         .arg(classId < 0 ? temperature : classId)
                         .arg(switchId));
    }
    int Units(int classId, const char* where = "1") {
        return Count(QStringLiteral("SELECT Count(*) FROM TpdbUnits WHERE ParentID = %1 AND %2").arg(classId).arg(QString::fromUtf8(where)));
    }
    static QStringList ClassList(ui::GridModel& grid, const char* field) {
        return ListTexts(grid, grid.ColumnIndexInSplit(QString::fromUtf8(field), 1));
    }
    // Edits the unit of the given switch value in the dialog.
    void EditUnit(int switchId, Script inDialog) {
        Grid().SetCurrentCell(Row(switchId), 0);
        OnForm("FUnit", std::move(inDialog));
        Command("mnuUnitEdit");
    }
    // The unit's fields as texts, as the table holds them.
    void ExpectUnit(int switchId, std::initializer_list<std::pair<const char*, QVariant>> fields) {
        for (const auto& [field, value] : fields) EXPECT_EQ(Unit(field, switchId).toString(), value.toString()) << field;
    }

    int temperature = 0, pressure = 0;
};

TEST_F(UnitTest, NewClassesAreNumberedAndFiledUnderTheirKind) {
    Click(nk::ProcessUnitsKey());
    Command("mnuUnitClassNew");
    Click(nk::ViewUnitsKey());
    Command("mnuUnitClassViewNew");
    const int process = ClassId("New Unitclass");
    const int view = ClassId("New Unitclass(1)");
    ASSERT_TRUE(process > 0 && view > 0);
    EXPECT_EQ(Class("SwitchType", view), QStringLiteral("1"));
    EXPECT_EQ(NodeText(nk::UnitClassKey(process, true)), QStringLiteral("New Unitclass"));
    EXPECT_EQ(NodeText(nk::UnitClassKey(view, false)), QStringLiteral("New Unitclass(1)"));
    EXPECT_EQ(Window().CurrentNode(), nk::UnitClassKey(view, false));
    // The process column lists process classes only; the display column all of them.
    const QStringList processClasses = ClassList(Window().tdbI(), "UnitClassIDItemDependent");
    EXPECT_TRUE(processClasses.contains(QStringLiteral("New Unitclass")));
    EXPECT_FALSE(processClasses.contains(QStringLiteral("New Unitclass(1)")));
    EXPECT_TRUE(ClassList(Window().tdbS(), "UnitClassIDDisplayDependent").contains(QStringLiteral("New Unitclass(1)")));

    // The first unit gets switch value 0, the next 1.
    Command("mnuUnitNew");
    Command("mnuUnitNew");
    EXPECT_EQ(Units(view, "SwitchID IN (0, 1)"), 2);
    EXPECT_EQ(Grid().CellValue(Grid().CurrentRow(), Column("SwitchID")).toInt(), 1) << "the new unit is current";
}

TEST_F(UnitTest, TheConversionsComputeWhatTheyCanAndRefuseTheRest) {
    EditUnit(1, Looking([](ui::Form& f) {  // °F: (0, 32) and (100, 212)
        f.UserSetText(QStringLiteral("txtDecPointDisp"), QStringLiteral("0"));
        for (int row : {0, 1}) f.UserSetText(QStringLiteral("txtRawValue"), QStringLiteral("1"), row);
        f.UserClick(QStringLiteral("cmdTestCalculation"));
        // 33.8 rounded in the first row, its integer part in the second.
        ExpectBoxes(f, {{"txtM", QStringLiteral("1.8")}, {"txtB", QStringLiteral("32")}});
        EXPECT_EQ(Box(f, "txtCalculatedValue", 0), QStringLiteral("34 °F"));
        EXPECT_EQ(Box(f, "txtCalculatedValue", 1), QStringLiteral("33 °F"));
        f.UserSetText(QStringLiteral("txtDecPointDisp"), QStringLiteral("1"));
        f.UserClick(QStringLiteral("cmdTestCalculation"));
        EXPECT_EQ(Box(f, "txtCalculatedValue", 0), QStringLiteral("3.4 °F"));
        EXPECT_EQ(Box(f, "txtCalculatedValue", 1), QStringLiteral("33.8 °F"));
        // Back from the line: m = 2, b = 0 gives y1 = 0 and y2 = 200.
        Fill(f, {{"txtM", QStringLiteral("2")}, {"txtB", QStringLiteral("0")}});
        f.UserClick(QStringLiteral("cmdStraightLineToTwoPoints"));
        EXPECT_EQ(Box(f, "txtY2"), QStringLiteral("200"));

        // Two equal x, an x that is no number, an empty b: refused, the boxes as they were.
        Fill(f, {{"txtM", QStringLiteral("7")}, {"txtB", QStringLiteral("8")}, {"txtX2", QStringLiteral("0")}});
        f.UserClick(QStringLiteral("cmdTwoPointsToStraightLine"));
        ExpectBoxes(f, {{"txtM", QStringLiteral("7")}, {"txtB", QStringLiteral("8")}});
        f.UserSetText(QStringLiteral("txtX2"), QStringLiteral("abc"));
        f.UserClick(QStringLiteral("cmdTwoPointsToStraightLine"));
        f.UserClick(QStringLiteral("cmdStraightLineToTwoPoints"));
        Fill(f, {{"txtX2", QStringLiteral("5")}, {"txtB", QString()}});
        f.UserClick(QStringLiteral("cmdStraightLineToTwoPoints"));
        EXPECT_EQ(Box(f, "txtY1"), QStringLiteral("0"));
    }));
    EXPECT_EQ(Messages(), (QStringList{Text(1452), Text(1453), Text(1455), Text(1454)}));
    for (const auto& shown : ui::DefaultMessageBoxes().Shown()) EXPECT_EQ(shown.icon, ui::Icon::Information);
    EXPECT_DOUBLE_EQ(Unit("y2", 1).toDouble(), 212.0) << "cancel keeps the unit";
}

TEST_F(UnitTest, TheCatalogueFillsTheDialog) {
    EditUnit(0, [](ui::Form& f) {
        ui::Control& tree = f.Get(QStringLiteral("tvwUnits"));
        EXPECT_FALSE(tree.visible);
        EXPECT_EQ(Box(f, "txtSelectUnit"), Text(1421));
        PressKey(f, keys::kDown, keys::kAlt, "txtSelectUnit");
        EXPECT_TRUE(tree.visible) << "Alt+Down opens it";
        EXPECT_EQ(tree.nodes.front().text, QStringLiteral("Temperature measures")) << "in the user's language";
        QString kelvin;
        for (const ui::TreeNode& node : tree.nodes)
            if (node.text == QStringLiteral("K > °C (Celsius)")) kelvin = node.key;
        ASSERT_FALSE(kelvin.isEmpty());
        f.UserClickNode(QStringLiteral("tvwUnits"), tree.nodes.front().key);
        EXPECT_TRUE(tree.visible) << "a category only opens";
        f.UserClickNode(QStringLiteral("tvwUnits"), kelvin);
        EXPECT_FALSE(tree.visible);
        ExpectBoxes(f, {{"txtSelectUnit", QStringLiteral("K > °C (Celsius)")}, {"txtY1", QStringLiteral("-273.15")},
                        {"txtY2", QStringLiteral("0")}, {"txtX2", QStringLiteral("273.15")}, {"txtPhysicalUnitText", QStringLiteral("°C")}});
        EXPECT_EQ(Box(f, "txtRawValue", 1), QStringLiteral("1.1"));
        EXPECT_EQ(Box(f, "txtCalculatedValue", 0), QStringLiteral("-272 °C"));
        // The drop button opens and closes it; Alt+Up in it closes it.
        f.UserClick(QStringLiteral("cmdSelectUnit"));
        EXPECT_TRUE(tree.visible);
        PressKey(f, keys::kUp, keys::kAlt, "tvwUnits");
        EXPECT_FALSE(tree.visible);
        f.PressDefault();
    });
    ExpectUnit(0, {{"y1", -273.15}, {"PhysicalUnitText", QStringLiteral("°C")}});
}

TEST_F(UnitTest, TheDialogShowsFifteenDigitsAndKeepsAnEmptyUnitTextEmpty) {
    EditUnit(0, [](ui::Form& f) {
        // (0, 0.1) and (9, 5.1): m = 5/9, b = 0.1.
        Fill(f, {{"txtX1", QStringLiteral("0")}, {"txtY1", QStringLiteral("0.1")},
                 {"txtX2", QStringLiteral("9")}, {"txtY2", QStringLiteral("5.1")}});
        f.UserClick(QStringLiteral("cmdTwoPointsToStraightLine"));
        EXPECT_EQ(Box(f, "txtM"), QStringLiteral("0.555555555555556"));
        EXPECT_EQ(Box(f, "txtB"), QStringLiteral("0.1"));
        // Back to points: 0.1 + 0.2 is shown as 0.3.
        Fill(f, {{"txtM", QStringLiteral("0.1")}, {"txtB", QStringLiteral("0.2")}, {"txtX1", QStringLiteral("1")}});
        f.UserClick(QStringLiteral("cmdStraightLineToTwoPoints"));
        EXPECT_EQ(Box(f, "txtY1"), QStringLiteral("0.3"));
        Typing({{"txtPhysicalUnitText", QString()}})(f);
    });
    EXPECT_EQ(Unit("y1", 0).toDouble(), 0.3) << "the value shown is the value stored";
    EXPECT_EQ(Unit("PhysicalUnitText", 0).toString(), QString()) << "no U+0000 for an empty unit text";
    EXPECT_FALSE(Unit("PhysicalUnitText", 0).isNull());
}

TEST_F(UnitTest, TheDialogStoresPointsWithADecimalPointAndChecksTheSwitchValue) {
    EditUnit(0, [](ui::Form& f) {
        ExpectRefused(f, "txtSwitch", {QStringLiteral("1")});  // °F has switch value 1
        EXPECT_EQ(f.Focus().control, QStringLiteral("txtSwitch"));
        f.UserSetText(QStringLiteral("txtSwitch"), QString());
        EXPECT_FALSE(Enabled(f, "cmdOK"));
        f.UserSetText(QStringLiteral("txtSwitch"), QStringLiteral("0"));
        ExpectRefused(f, "txtX1", {QStringLiteral("1e400")});
        f.UserSetText(QStringLiteral("txtX1"), QStringLiteral("2,5"));
        ExpectRefused(f, "txtDecPointDisp", {QStringLiteral("400"), QStringLiteral("-5")});
        Fill(f, {{"txtDecPointDisp", QStringLiteral("2")}, {"txtY1", QStringLiteral("1,2,3")}});
        f.PressDefault();
        EXPECT_FALSE(f.IsShown());
        EXPECT_EQ(Box(f, "txtX1"), QStringLiteral("2.5")) << "the box shows what was stored";
    });
    ASSERT_EQ(Messages().size(), 4);
    EXPECT_EQ(Messages()[0], Text(405));
    EXPECT_TRUE(Messages()[1].contains(QStringLiteral("1e400")));
    ExpectUnit(0, {{"x1", 2.5}, {"y1", 1.2}, {"DecPointDisp", 2}});
}

TEST_F(UnitTest, TheClassDialogChoosesTheSwitchChecksTheNameAndAddsLanguageUnitsOnce) {
    harness.Host().QueueVariableSelection(QStringLiteral("Line1.UnitSwitch"));
    OnForm("FUnitClass", [](ui::Form& f) {
        EXPECT_TRUE(f.Get(QStringLiteral("fraUnitClassProcess")).visible);
        EXPECT_FALSE(f.Get(QStringLiteral("fraUnitClassView")).enabled);
        EXPECT_EQ(Box(f, "txtSwitchProcess"), QStringLiteral("Line1.Tank.TempUnit"));
        f.UserClick(QStringLiteral("cmdChooseVar"));
        EXPECT_EQ(Box(f, "txtSwitchProcess"), QStringLiteral("Line1.UnitSwitch"));
        f.UserClick(QStringLiteral("cmdChooseVar"));  // cancelled: the text stays
        EXPECT_EQ(Box(f, "txtSwitchProcess"), QStringLiteral("Line1.UnitSwitch"));
        ExpectRefused(f, "txtNameProcess", {QStringLiteral("PRESSURE")});
        Typing({{"txtNameProcess", QStringLiteral("Temp [°C/°F]")}})(f);
    });
    Command("mnuUnitClassEdit");
    EXPECT_TRUE(harness.Host().Calls().contains(QStringLiteral("SelectVariable(Line1.Tank.TempUnit, 32)")));
    EXPECT_EQ(Messages(), QStringList{Text(405)});
    EXPECT_EQ(NodeText(nk::UnitClassKey(temperature, true)), QStringLiteral("Temp [°C/°F]"));
    EXPECT_EQ(Class("Switch", temperature), QStringLiteral("Line1.UnitSwitch"));
    EXPECT_TRUE(ClassList(Window().tdbI(), "UnitClassIDItemDependent").contains(QStringLiteral("Temp [°C/°F]")));

    // A display class: its switch is the project language, and the units of the languages come once.
    Click(nk::ViewUnitsKey());
    Command("mnuUnitClassViewNew");
    const int view = ClassId("New Unitclass");
    for (int i = 0; i < 2; ++i) {
        OnForm("FUnitClass", [](ui::Form& f) {
            EXPECT_FALSE(f.Get(QStringLiteral("fraUnitClassProcess")).visible);
            EXPECT_TRUE(f.Get(QStringLiteral("fraUnitClassView")).visible);
            EXPECT_EQ(f.Focus().control, QStringLiteral("txtNameView"));
            f.UserSetText(QStringLiteral("txtSwitchView"), QStringLiteral("1033"));
            f.UserCheck(QStringLiteral("chkUpdateUnits"), true);
            f.PressDefault();
        });
        Command("mnuUnitClassEdit");
    }
    EXPECT_EQ(Units(view), 2);
    EXPECT_EQ(Units(view, "SwitchID IN (1031, 1033)"), 2);
    EXPECT_EQ(Grid().RowCount(), 2) << "the grid shows them";
    EXPECT_EQ(Class("Switch", view), QStringLiteral("1033"));
}

TEST_F(UnitTest, DeletingAClassTakesItsUnits) {
    Command("mnuUnitClassDelete");  // No is the default answer
    EXPECT_EQ(Messages(), QStringList{Text(411)});
    EXPECT_EQ(Units(temperature), 2);
    ui::DefaultMessageBoxes().Queue(ui::Answer::Yes);
    Command("mnuUnitClassDelete");
    EXPECT_EQ(Units(temperature), 0);
    EXPECT_EQ(ClassId("Temperature"), 0);
    EXPECT_TRUE(NodeText(nk::UnitClassKey(temperature, true)).isEmpty());
    EXPECT_EQ(Window().CurrentNode(), nk::ProcessUnitsKey());
    EXPECT_FALSE(ClassList(Window().tdbS(), "UnitClassIDItemDependent").contains(QStringLiteral("Temperature")));

    DontAskOnDelete();
    ui::DefaultMessageBoxes().Clear();
    Click(nk::UnitClassKey(pressure, false));
    Command("mnuUnitClassDelete");
    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbUnits")), 0);
}

TEST_F(UnitTest, TheGridTakesPointsWithADecimalPointAndChoosesLimits) {
    const int row = Row(1);
    ASSERT_TRUE(Grid().BeginEdit(row, Column("x1")));
    EXPECT_EQ(Grid().EditingText(Column("x1"), QStringLiteral("1,5")), QStringLiteral("1.5")) << "while typing";
    EXPECT_EQ(Grid().EditingText(Column("PhysicalUnitText"), QStringLiteral("a,b")), QStringLiteral("a,b"));
    Grid().CommitEdit(QStringLiteral("1,5"));
    harness.Host().QueueVariableSelection(QStringLiteral("Line1.TempMax"));
    EXPECT_FALSE(Grid().BeginEdit(row, Column("PhysicalMaxVal"))) << "a limit is chosen, not typed";
    EXPECT_EQ(Grid().CellText(row, Column("PhysicalMaxVal")), QStringLiteral("Line1.TempMax"));
    Grid().SetCurrentCell(Row(0), Column("x1"));  // leaving the row writes it
    EXPECT_DOUBLE_EQ(Unit("x1", 1).toDouble(), 1.5);
    EXPECT_EQ(Unit("PhysicalMaxVal", 1).toString(), QStringLiteral("Line1.TempMax"));

    // A switch value another unit has: 405, and the stored value comes back.
    ui::DefaultMessageBoxes().Clear();
    const int celsius = Row(0), fahrenheit = Row(1);
    ASSERT_TRUE(Grid().BeginEdit(celsius, Column("SwitchID")));
    Grid().CommitEdit(1);
    Grid().SetCurrentCell(fahrenheit, Column("x1"));
    EXPECT_TRUE(Messages().contains(Text(405))) << Messages().join(u'|').toStdString();
    EXPECT_EQ(Messages().size(), 2) << "407 with the grid's error number, then 405";
    EXPECT_EQ(Units(temperature, "SwitchID = 0"), 1);
}

TEST_F(UnitTest, GridKeysRunTheUnitCommands) {
    Press(Grid(), keys::kF8);
    EXPECT_FALSE(Unit("ID", 2).isNull());
    Press(Grid(), keys::kHome, keys::kCtrl);
    EXPECT_EQ(Grid().CurrentRow(), 0);
    Press(Grid(), keys::kEnd, keys::kCtrl);
    EXPECT_EQ(Grid().CurrentRow(), 2);
    // The first Shift+Up marks the last row; the next ones add and move.
    for (int i = 0; i < 3; ++i) Press(Grid(), keys::kUp, keys::kShift);
    EXPECT_EQ(Grid().SelectedBookmarks().size(), 2u);
    EXPECT_EQ(Grid().CurrentRow(), 0);
    ui::DefaultMessageBoxes().Queue(ui::Answer::Yes);
    EXPECT_EQ(Press(Grid(), keys::kDelete, keys::kCtrl), 0) << "the key is consumed";
    EXPECT_EQ(Messages(), QStringList{Text(412)});
    EXPECT_EQ(Units(temperature), 1);
    EXPECT_EQ(Grid().RowCount(), 1);
}

}  // namespace
