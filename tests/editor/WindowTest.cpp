// The editor window driven through the session, as the studio drives it,
// on the demo project.

#include "editor/GridColumns.h"
#include "editor/frmtabgridOPC.h"
#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "platform/system/IniFile.h"
#include "settings/TextTable.h"
#include "support/EditorTest.h"
#include "support/Files.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace ov;
namespace nk = ov::host::nodekey;
using settings::Text;

namespace {

const QString Y = QString(QChar(0xFF));

class WindowTest : public test::EditorTest {
protected:
    void SetUp() override {
        // An English installation: texts and simulation names in English.
        harness.Registry().WriteValue(sys::Hive::LocalMachine, QStringLiteral("SOFTWARE\\Senmark GmbH\\Orvana\\4.0"),
                                      QStringLiteral("LCID"), QStringLiteral("1033"));
        Open();
        ASSERT_TRUE(harness.Session().IsLoaded());
    }
    // The project opened again after the session ended, as the next day.
    void Reopen() {
        harness.Restart();
        harness.Start(project.Path());
        harness.Load();
    }
    QStringList Column(ui::GridModel& grid, const QString& fieldOrCaption) {
        QStringList texts;
        const int column = grid.ColumnIndex(fieldOrCaption);
        for (int row = 0; row < grid.RowCount(); ++row) texts << grid.CellText(row, column);
        return texts;
    }
    // A column of the grid by its field or caption, in the given split when there is one.
    static ui::GridColumn& Col(ui::GridModel& grid, const char* name, int split = -1) {
        const QString n = QString::fromUtf8(name);
        return grid.Column(split < 0 ? grid.ColumnIndex(n) : grid.ColumnIndexInSplit(n, split));
    }
    QString SettingsFile() const { return QFileInfo(project.Path()).absolutePath() + QStringLiteral("/OVEditors.ini"); }
    QString Setting(const char* key) {
        return sys::IniFile(SettingsFile()).Read(QStringLiteral("frmOPCEditor"), QString::fromUtf8(key));
    }

    const QString plc = nk::DeviceKey(1, QStringLiteral("."), false);
    const QString motor1 = plc + Y + QStringLiteral("Line1.Motor1");
};

TEST_F(WindowTest, EachNodeKindShowsItsRecords) {
    auto& w = Window();
    EXPECT_EQ(w.tdbI().RowCount(), 0) << "the root shows no items";
    const auto grid = [&w](const QString& name) -> ui::GridModel& {
        return name == QStringLiteral("tdbG") ? w.tdbG() : name == QStringLiteral("tdbU") ? w.tdbU()
             : name == QStringLiteral("tdbS") ? w.tdbS() : w.tdbI();
    };
    // The grid in front, its rows, a column's texts in order and the caption, where given.
    const struct {
        QString key, front;
        int rows;
        QString column, texts, caption;
    } views[] = {
        // A device shows its items outside every folder; a folder with only subfolders none.
        {plc, "tdbI", 1, "ItemAccess", "BatchCounter", {}},
        {plc + Y + "Line1", "tdbI", 0, {}, {}, {}},
        {motor1, "tdbI", 3, "ItemAccess", "Line1.Motor1.Speed|Line1.Motor1.Current|Line1.Motor1.Running",
         Text(310) + Text(311) + "PLC1: Filling lines"},
        {nk::DeviceKey(3, QString(), false), "tdbI", 4, {}, {}, {}},  // without separator: all its items
        {nk::kInternal, "tdbI", 2, {}, {}, Text(310) + Text(315)},
        {nk::GroupKey(2), "tdbI", 4, "DeviceName", "PLC1|PLC1|PLC1|PLC1", Text(310) + Text(312) + "Fast"},
        {nk::GroupDeviceKey(3, 3), "tdbI", 3, {}, {}, {}},  // the weather station's items in the group Slow
        {nk::kGroups, "tdbG", 3, {}, {}, {}},
        {nk::UnitClassKey(2, false), "tdbU", 2, "PhysicalUnitText", "bar|psi", {}},
        {"OPCS2", "tdbS", 3, "Name", "Status|Setpoint|Speed", Text(310) + Text(313) + "Drive"},
        // An unknown key leaves the view as it was.
        {"ABCD9", "tdbS", 3, "Name", "Status|Setpoint|Speed", {}},
    };
    for (const auto& view : views) {
        SCOPED_TRACE(view.key.toStdString());
        Click(view.key);
        EXPECT_EQ(w.FrontGrid(), view.front);
        EXPECT_EQ(grid(view.front).RowCount(), view.rows);
        EXPECT_EQ(view.column.isEmpty() ? QString() : Column(grid(view.front), view.column).join(u'|'), view.texts);
        EXPECT_EQ(view.caption.isEmpty() ? QString() : w.Caption(), view.caption);
    }
    EXPECT_EQ(w.CurrentNode(), QStringLiteral("OPCS2"));

    // A group view shows the device of each item, locked; a device view does not.
    Click(nk::GroupKey(2));
    EXPECT_TRUE(Col(w.tdbI(), "DeviceName").locked);
    Click(nk::DeviceKey(2, QString(), true));
    EXPECT_EQ(w.tdbI().ColumnIndex(QStringLiteral("DeviceName")), -1);
    EXPECT_EQ(Col(w.tdbI(), "ItemAccess", 0).caption, Text(128));
    // A display class picks languages for its units, a process class does not.
    Click(nk::UnitClassKey(2, false));
    EXPECT_EQ(Col(w.tdbU(), "SwitchID").presentation, ui::Presentation::ValueList);
    Click(nk::UnitClassKey(1, true));
    EXPECT_EQ(Col(w.tdbU(), "SwitchID").presentation, ui::Presentation::Normal);
}

TEST_F(WindowTest, ColumnsOfTheItemGrid) {
    auto& grid = Window().tdbI();
    const auto fixed = grid.DisplayColumns(0);
    ASSERT_EQ(fixed.size(), 1u);
    EXPECT_EQ(grid.Column(fixed[0]).dataField, QStringLiteral("ItemAccess")) << "the item-access view";
    EXPECT_EQ(Col(grid, "AccessRights").values.Size(), 5u) << "R, W, R/W, 1 x R and no rights";
    EXPECT_EQ(Col(grid, "Enabled").presentation, ui::Presentation::CheckBox);
    EXPECT_EQ(Col(grid, "UnitClassIDItemDependent").values.Size(), 2u) << "none, and the one process class";
    // The stored order of the first columns.
    EXPECT_TRUE(editor::StoreColumnOrders(grid, 1).startsWith(QStringLiteral(",17,6,16,4,")));
}

TEST_F(WindowTest, UnboundColumnsShowDataTypeSimulationRedundancyAndTexts) {
    auto& grid = Window().tdbI();
    const auto cell = [&grid](int row, int caption) { return grid.CellText(row, grid.ColumnIndex(Text(caption))); };
    Click(motor1);
    EXPECT_EQ(cell(0, 114), QStringLiteral("VT_R4"));
    EXPECT_EQ(cell(0, 142), QStringLiteral("Sine"));
    EXPECT_EQ(cell(0, 143), QStringLiteral("-100;100;0;42;0"));
    EXPECT_EQ(cell(1, 142), Text(2500)) << "no simulation";
    EXPECT_EQ(cell(0, 147), QStringLiteral("Motor 1 speed")) << "the installation's language";
    Window().LanguageSelector().Select(1031);
    Window().LanguageSelected();
    EXPECT_EQ(cell(0, 147), QStringLiteral("Drehzahl Motor 1"));

    Click(plc + Y + QStringLiteral("Line1.Tank"));
    EXPECT_EQ(cell(0, 144), Text(145)) << "Tank.Level is redundant";
    EXPECT_EQ(cell(1, 144), Text(146));
    Click(plc + Y + QStringLiteral("Line1.Conveyor"));
    EXPECT_EQ(cell(0, 114), QStringLiteral("Drive")) << "a structure type by name";
    EXPECT_EQ(grid.CellValue(0, grid.ColumnIndex(Text(114))).toInt(), 65536 + 2);
}

TEST_F(WindowTest, SortingByAColumn) {
    auto& w = Window();
    Click(motor1);
    // Data types sort by code, VT_R4 (4) before VT_BOOL (11); the simulation has no order: the stored one.
    const std::tuple<QString, QString, const char*> sorts[] = {
        {"Name", "ItemAccess", "Line1.Motor1.Current|Line1.Motor1.Running|Line1.Motor1.Speed"},
        {Text(114), Text(114), "VT_R4|VT_R4|VT_BOOL"},
        {Text(142), "ItemAccess", "Line1.Motor1.Speed|Line1.Motor1.Current|Line1.Motor1.Running"}};
    for (const auto& [field, column, order] : sorts) {
        w.SetSortField(field);
        w.ShowItemView();
        EXPECT_EQ(Column(w.tdbI(), column).join(u'|'), QString::fromUtf8(order)) << field.toStdString();
    }
}

// The close box only hides; the width and the chosen project language are
// written when the project closes and come back with it.
TEST_F(WindowTest, SettingsAndTheProjectLanguageAreSavedWhenTheProjectCloses) {
    auto& w = Window();
    Col(w.tdbI(), "Comment", 1).width = 4321;
    ASSERT_EQ(w.Languages().CurrentLCID(), 1033) << "the installation's language to start with";
    const auto german = w.LanguageSelector().list.IndexOfValue(1031);
    ASSERT_TRUE(german);
    w.LanguageSelector().listIndex = static_cast<int>(*german);
    w.LanguageSelected();
    ASSERT_EQ(w.Languages().CurrentLCID(), 1031);
    w.CloseWindow(true);
    EXPECT_FALSE(w.IsVisible());
    EXPECT_FALSE(QFile::exists(SettingsFile())) << "the close box only hides";

    harness.Session().Terminate();
    EXPECT_EQ(Setting("tdbI.Splits(1).Columns(\"Comment\").Width"), QStringLiteral("4321"));
    EXPECT_EQ(Setting("CurrentLCID"), QStringLiteral("1031"));
    Reopen();
    EXPECT_EQ(Col(Window().tdbI(), "Comment", 1).width, 4321);
    EXPECT_EQ(Window().Languages().CurrentLCID(), 1031);
    EXPECT_EQ(Window().LanguageSelector().SelectedData().toInt(), 1031) << "the selector shows it too";
}

TEST_F(WindowTest, WithoutSaveOnExitOnlyThatIsWritten) {
    Window().Settings().WriteAValueToCInits(QStringLiteral("SaveOnExit"), false);
    Window().tdbI().Column(0).width = 999;
    harness.Session().Terminate();
    EXPECT_EQ(sys::IniFile(SettingsFile()).Keys(QStringLiteral("frmOPCEditor")), QStringList{QStringLiteral("SaveOnExit")});
    EXPECT_EQ(Setting("SaveOnExit"), QStringLiteral("False"));
}

// Neither settings that make no sense nor a project without text IDs keep the items from showing.
TEST_F(WindowTest, NonsenseSettingsFallBackToDefaultsAndAProjectWithoutTextIdsShowsItsItems) {
    harness.Session().Terminate();
    ASSERT_FALSE(test::WriteFile(SettingsFile(), "[frmOPCEditor]\ntdbI.Splits(1).Columns(\"Comment\").Width=wide\n"
                                                 "Me.Width=-7\nsb.Visible=perhaps\nTDBIColOrders=,x,y,z\n\x01\x02garbage\n")
                     .isEmpty());
    project.Open()->Execute(QStringLiteral("ALTER TABLE TpdbItems DROP COLUMN TextID"));
    Reopen();
    ASSERT_TRUE(harness.Session().IsLoaded());
    auto& w = Window();
    EXPECT_GT(Col(w.tdbI(), "Comment", 1).width, 0);
    EXPECT_GT(w.width, 0);
    EXPECT_TRUE(w.sb().visible);
    Click(motor1);
    EXPECT_EQ(w.tdbI().RowCount(), 3);
    EXPECT_EQ(Column(w.tdbI(), Text(147)), (QStringList{"", "", ""}));
}

}  // namespace
