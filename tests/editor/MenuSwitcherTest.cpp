// Command availability and dispatch of the editor window, driven through the
// session on the demo project.

#include "editor/EditorMenus.h"
#include "editor/MenuSwitcher.h"
#include "editor/frmtabgridOPC.h"
#include "host/CToolbox.h"
#include "host/NodeKey.h"
#include "host/Rights.h"
#include "model/DataConnection.h"
#include "platform/system/Components.h"
#include "platform/ui/CommandBar.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"
#include "support/SessionHarness.h"

#include <gtest/gtest.h>

using namespace ov;
namespace nk = ov::host::nodekey;

namespace {

const QString Y = QString(QChar(0xFF));

class MenuSwitcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        harness.Start(project.Path());
        harness.Load();
        ASSERT_TRUE(harness.Session().IsLoaded());
        ui::DefaultPopups().Clear();
    }
    void TearDown() override { host::Authorization::Current() = {}; }

    editor::frmtabgridOPC& Window() { return dynamic_cast<editor::frmtabgridOPC&>(*harness.Session().Window()); }
    void SetLevel(qint16 level, bool overwrite) { host::CToolbox().SetExternalAuthorizationLevel(level, overwrite); }
    void Switch(const QString& key, bool fromTree) { Window().ComputeAvailability(key, fromTree); }
    bool Offered(const char* tool) {
        const ui::Tool* t = Window().abr().FindTool(QString::fromUtf8(tool));
        return t && t->visible && t->enabled;
    }
    bool Shown(const char* tool) {
        const ui::Tool* t = Window().abr().FindTool(QString::fromUtf8(tool));
        return t && t->visible;
    }

    test::SessionHarness harness;
    test::TempProject project{test::TempProject::Content::Demo};
    const QString plc = nk::DeviceKey(1, QStringLiteral("."), false);
};

TEST_F(MenuSwitcherTest, DeviceCommandsByNodeAndMenu) {
    Switch(nk::kExternal, false);
    EXPECT_TRUE(Offered("mnuDeviceNew"));
    EXPECT_TRUE(Offered("mnuDeviceNewOV32Driver"));
    EXPECT_FALSE(Shown("mnuDeviceEdit"));

    Switch(plc, false);
    EXPECT_TRUE(Offered("mnuDeviceEdit"));
    EXPECT_TRUE(Offered("mnuDeviceConfig")) << "it has a configuration tool";
    EXPECT_FALSE(Shown("mnuDeviceHelperItemsBrowse")) << "item commands only in the tree's menu";
    EXPECT_FALSE(Shown("mnuDeviceHelperItemsDelete"));
    Switch(plc, true);
    EXPECT_TRUE(Offered("mnuDeviceHelperItemsBrowse"));
    EXPECT_TRUE(Offered("mnuDeviceHelperItemsDelete"));
    EXPECT_TRUE(Offered("mnuDeviceHelperItemsCopy"));
    EXPECT_TRUE(Shown("mnuDeviceHelperItemsPaste"));
    EXPECT_FALSE(Offered("mnuDeviceHelperItemsPaste")) << "nothing copied yet";
    EXPECT_FALSE(Shown("mnuDeviceHelperItemRename")) << "renaming needs a folder";
    Switch(plc + Y + QStringLiteral("Line1"), true);
    EXPECT_TRUE(Offered("mnuDeviceHelperItemRename"));
    EXPECT_FALSE(Shown("mnuDeviceEdit")) << "a folder is not the device itself";

    Switch(nk::DeviceKey(3, QString(), false), false);
    EXPECT_TRUE(Offered("mnuDeviceConfig")) << "the weather station has a configuration tool";
    Window().Data()->Connection().Execute(QStringLiteral("UPDATE TpdbDevices SET ProgIDConfigTool = '' WHERE ID = 3"));
    Switch(nk::DeviceKey(3, QString(), false), false);
    EXPECT_TRUE(Shown("mnuDeviceConfig"));
    EXPECT_FALSE(Offered("mnuDeviceConfig")) << "no configuration tool, not an own driver";
}

TEST_F(MenuSwitcherTest, FiveOwnDriversHideTheNewDriverCommand) {
    auto& connection = Window().Data()->Connection();
    for (int i = 0; i < 4; ++i)
        connection.Execute(QStringLiteral("INSERT INTO TpdbDevices (Name, BlobMode) VALUES (?, 3)"), {QStringLiteral("Drv%1").arg(i)});
    Switch(nk::kExternal, false);
    EXPECT_FALSE(Shown("mnuDeviceNewOV32Driver"));
    EXPECT_TRUE(Offered("mnuDeviceNew"));
}

TEST_F(MenuSwitcherTest, GroupsBranchOffersNewAGroupEditAndDelete) {
    Switch(nk::kGroups, false);
    EXPECT_TRUE(Offered("mnuGroupNew"));
    EXPECT_FALSE(Shown("mnuGroupEdit"));
    EXPECT_FALSE(Shown("mnuGroupDelete"));
    Switch(nk::GroupKey(2), false);
    EXPECT_FALSE(Shown("mnuGroupNew"));
    EXPECT_TRUE(Offered("mnuGroupEdit"));
    EXPECT_TRUE(Offered("mnuGroupDelete"));
    Switch(nk::GroupDeviceKey(2, 1), false);
    EXPECT_FALSE(Shown("mnuGroupEdit")) << "not on a device below a group";
    EXPECT_FALSE(Offered("mnuGroups"));
}

TEST_F(MenuSwitcherTest, RightsGateCommandsAndGridEditing) {
    SetLevel(4, true);  // create, no delete
    harness.Session().NodeClick(QString(), plc + Y + QStringLiteral("Line1.Motor1"), QString());
    Window().tdbI().SelectRows({0, 1});
    Window().itemBufferFilled = true;
    Switch(plc + Y + QStringLiteral("Line1.Motor1"), false);
    EXPECT_TRUE(Offered("mnuItemNew"));
    EXPECT_TRUE(Offered("mnuItemPaste"));
    EXPECT_TRUE(Offered("mnuItemCopy"));
    EXPECT_TRUE(Shown("mnuItemDelete"));
    EXPECT_FALSE(Offered("mnuItemDelete"));
    EXPECT_TRUE(Offered("mnuItemEdit"));
    EXPECT_FALSE(Window().tdbI().AllLocked());

    SetLevel(0, true);  // no rights at all
    Switch(plc + Y + QStringLiteral("Line1.Motor1"), false);
    EXPECT_TRUE(Offered("mnuItemCopy")) << "copying needs no right";
    EXPECT_FALSE(Offered("mnuItemPaste"));
    EXPECT_FALSE(Offered("mnuItemEdit"));
    EXPECT_FALSE(Offered("mnuOptionOption"));
    EXPECT_TRUE(Offered("mnuOptionStatistik"));
    EXPECT_TRUE(Window().tdbI().AllLocked()) << "without the edit right no grid can be edited";
    EXPECT_FALSE(Window().tdbI().BeginEdit(0, Window().tdbI().ColumnIndex(QStringLiteral("Comment"))));
}

TEST_F(MenuSwitcherTest, UnitAndStructureBranches) {
    Switch(nk::ProcessUnitsKey(), false);
    EXPECT_TRUE(Offered("mnuUnitClassNew"));
    EXPECT_FALSE(Shown("mnuUnitClassViewNew"));
    Switch(nk::ViewUnitsKey(), false);
    EXPECT_TRUE(Offered("mnuUnitClassViewNew"));
    Switch(nk::UnitClassKey(1, true), false);
    EXPECT_FALSE(Shown("mnuUnitClassNew"));
    EXPECT_TRUE(Offered("mnuUnitClassEdit"));
    EXPECT_TRUE(Offered("mnuUnitNew"));
    Switch(nk::kStructures, false);
    EXPECT_TRUE(Offered("mnuStructureNew"));
    EXPECT_FALSE(Offered("mnuStructMemberNew"));
    Switch(QStringLiteral("OPCS1"), false);
    EXPECT_TRUE(Offered("mnuStructMemberNew"));
    EXPECT_FALSE(Offered("mnuStructMemberPaste"));
}

TEST_F(MenuSwitcherTest, ShowEditorToolsJoinTheTreesMenusOnly) {
    const auto bandHas = [this](const char* band, const char* tool) {
        for (const ui::Tool& t : Window().abr().FindBand(QString::fromUtf8(band))->tools)
            if (t.name == QString::fromUtf8(tool)) return true;
        return false;
    };
    Switch(nk::GroupKey(1), true);
    EXPECT_TRUE(bandHas("mnuGroup", "mnuShowEditor"));
    EXPECT_TRUE(bandHas("mnuDevice", "mnuShowEditor"));
    Switch(nk::GroupKey(1), false);
    EXPECT_FALSE(bandHas("mnuGroup", "mnuShowEditor"));
}

TEST_F(MenuSwitcherTest, TreeContextMenusOfferWhatTheUserMayDo) {
    auto& popups = ui::DefaultPopups();
    harness.Session().NodeMouseUp(QString(), nk::kRoot, QString(), 2, 0, 10, 20);
    EXPECT_EQ(popups.Shown(), QStringList{QStringLiteral("mnuShowEditorHelper")});

    // Without rights the groups branch still offers to show the editor, nothing else.
    SetLevel(0, true);
    QStringList offered;
    popups.onPopup = [&offered](const ui::CommandBar& bar, const QString& band) {
        for (const ui::Tool& tool : bar.FindBand(band)->tools)
            if (tool.visible && tool.enabled && !tool.separator && !tool.heading) offered << tool.name;
    };
    popups.Queue(QStringLiteral("mnuShowEditor"));
    harness.Session().NodeMouseUp(QString(), nk::kGroups, QString(), 2, 0, 10, 20);
    popups.onPopup = nullptr;
    EXPECT_EQ(offered, QStringList{QStringLiteral("mnuShowEditor")});
    EXPECT_TRUE(Window().IsVisible()) << "the chosen entry ran";

    harness.Session().NodeMouseUp(QString(), nk::kRoot, QString(), 1, 0, 10, 20);
    EXPECT_EQ(popups.Shown().size(), 2) << "only the right button opens a menu";
}

TEST_F(MenuSwitcherTest, DispatchRunsExtrasAndBeepsForDisabledTools) {
    auto& w = Window();
    const int beeps = ui::DefaultDesktop().Beeps();
    w.ComputeAvailability(nk::kRoot, false);
    w.ClickTool(QStringLiteral("mnuItemNew"));
    EXPECT_EQ(ui::DefaultDesktop().Beeps(), beeps + 1);

    w.ClickTool(QStringLiteral("mnuOptionStatistik"));
    EXPECT_EQ(w.StatusCounters(), (std::array<int, 7>{3, 3, 22, 2, 4, 2, 7}));
    EXPECT_TRUE(w.sb().PanelText(1).endsWith(QStringLiteral("Statistik")));

    ui::DefaultMessageBoxes().Clear();
    w.ClickTool(QStringLiteral("mnuOptionReport"));
    ASSERT_EQ(ui::DefaultMessageBoxes().Shown().size(), 1u);
    EXPECT_TRUE(ui::DefaultMessageBoxes().Shown()[0].text.contains(QStringLiteral("OVProjectReport.Connect")));

    struct Report : sys::Component {
        QVariantList* seen;
        bool Invoke(const QString& member, const QVariantList& arguments, QVariant*, sys::CallError*) override {
            *seen = QVariantList{member} + arguments;
            return true;
        }
    };
    QVariantList seen;
    sys::ComponentRegistry::Instance().Register(QStringLiteral("ovprojectreport.connect"), [&seen] {
        auto report = std::make_unique<Report>();
        report->seen = &seen;
        return report;
    });
    w.ClickTool(QStringLiteral("mnuOptionReport"));
    sys::ComponentRegistry::Instance().Unregister(QStringLiteral("OVProjectReport.Connect"));
    ASSERT_GE(seen.size(), 2);
    EXPECT_EQ(seen[0].toString(), QStringLiteral("Show"));
    EXPECT_EQ(seen[1].toString(), QStringLiteral("OVPdb"));
}

TEST_F(MenuSwitcherTest, EnabledCommandsWithoutAFunctionBeepInsteadOfDoingNothing) {
    auto& w = Window();
    int beeps = ui::DefaultDesktop().Beeps();
    // A function that does not carry out the code it was given.
    w.RegisterObjectFunction(QStringLiteral("mnuGroupFunc"), [](int) { return false; });
    w.ComputeAvailability(nk::kGroups, false);
    ASSERT_TRUE(w.IsToolEnabled(QStringLiteral("mnuGroupNew")));
    w.ClickTool(QStringLiteral("mnuGroupNew"));
    EXPECT_EQ(ui::DefaultDesktop().Beeps(), ++beeps);

    // The function tool bar: Devices and Groups have no action and are shown
    // disabled; the group wizard needs selected items and its tool.
    EXPECT_FALSE(w.tbrfunc().IsEnabled(QStringLiteral("Devices")));
    EXPECT_FALSE(w.tbrfunc().IsEnabled(QStringLiteral("Groups")));
    EXPECT_TRUE(w.tbrfunc().IsEnabled(QStringLiteral("GroupWizzard")));
    EXPECT_EQ(w.tbrfunc().FindTool(QStringLiteral("GroupWizzard"))->caption, QStringLiteral("Gruppenzuordnung"));
    w.FunctionToolClick(QStringLiteral("GroupWizzard"));
    EXPECT_EQ(ui::DefaultDesktop().Beeps(), ++beeps) << "no rows selected";

    harness.Session().NodeClick(QString(), plc + Y + QStringLiteral("Line1.Motor1"), QString());
    w.tdbI().SelectRows({2, 0});
    std::vector<int> handed;
    w.groupWizard = [&handed](const std::vector<int>& ids) {
        handed = ids;
        return false;
    };
    w.FunctionToolClick(QStringLiteral("GroupWizzard"));
    ASSERT_EQ(handed.size(), 2u);
    const int idColumn = w.tdbI().ColumnIndex(QStringLiteral("ID"));
    EXPECT_EQ(handed[0], w.tdbI().CellValue(2, idColumn).toInt()) << "in the order they were selected";
    EXPECT_EQ(handed[1], w.tdbI().CellValue(0, idColumn).toInt());
}

TEST_F(MenuSwitcherTest, RefreshViewReloadsTheEditor) {
    auto* before = &Window();
    const int nodes = harness.Host().NodeCount();
    before->ComputeAvailability(nk::kRoot, false);
    before->ClickTool(QStringLiteral("mnuOptionActualize"));
    EXPECT_TRUE(harness.Session().IsLoaded());
    EXPECT_NE(harness.Session().Window(), before) << "a new window after the reload";
    EXPECT_EQ(harness.Host().NodeCount(), nodes);
    harness.Session().NodeClick(QString(), plc + Y + QStringLiteral("Line1.Motor1"), QString());
    EXPECT_EQ(Window().tdbI().RowCount(), 3);
}

TEST(MenuAvailability, AProjectOpenedForViewingOffersOnlyCommandsThatLook) {
    // What a person may still do: open menus, look at objects in their
    // dialogs, copy, count, refresh, report and export.
    const QStringList looking = {
        "mnuEdits", "mnuDevices", "mnuGroups", "mnuItems", "mnuStructures", "mnuStructmembers", "mnuUnitClasses",
        "mnuUnits", "mnuOptions", "mnuDeviceEdit", "mnuGroupEdit", "mnuItemEdit", "mnuStructureEdit",
        "mnuStructMemberEdit", "mnuUnitClassEdit", "mnuUnitEdit", "mnuDeviceHelperItemsCopy", "mnuItemCopy",
        "mnuStructMemberCopy", "mnuOptionActualize", "mnuOptionStatistik", "mnuOptionReport", "mnuOptionExport",
        "mnuShowEditor", "mnuShowEditorSep"};
    ui::CommandBar bar;
    editor::BuildEditorMenus(bar);
    // Every kind of node, from the tree and from the window, with rows,
    // current rows and both copy buffers filled and every right granted.
    const QString nodes[] = {nk::kExternal, nk::DeviceKey(1, QStringLiteral("."), false),
                             nk::DeviceKey(1, QStringLiteral("."), false) + Y + QStringLiteral("Line1"),
                             nk::kGroups, nk::GroupKey(2), nk::GroupDeviceKey(2, 1), nk::kStructures,
                             nk::StructureKey(1), nk::ProcessUnitsKey(), nk::ViewUnitsKey(), nk::UnitClassKey(1, true)};
    for (const QString& key : nodes) {
        for (const bool fromTree : {false, true}) {
            editor::MenuFacts f;
            f.kind = nk::Kind(key);
            f.id = nk::NodeId(key);
            f.branch = key.contains(nk::kSeparator) ? nk::SecondField(key) : QString();
            f.nodeItself = f.kind != QStringLiteral("OPCD") || nk::IsDeviceNode(key);
            f.groupDevice = f.kind == QStringLiteral("OPCG") && nk::SubId(key) >= 0;
            f.mayCreateItems = f.notBlob = f.configurable = true;
            f.itemRows = f.itemCurrent = f.memberRows = f.memberCurrent = f.unitRows = f.unitCurrent = true;
            f.itemBuffer = f.memberBuffer = true;
            f.fromTree = fromTree;
            editor::SetShowEditorTools(bar, fromTree);

            editor::ApplyAvailability(bar, f);
            QStringList changing;
            for (const ui::Band& band : bar.Bands())
                for (const ui::Tool& tool : band.tools)
                    if (tool.visible && tool.enabled && !tool.separator && !tool.heading && !looking.contains(tool.name))
                        changing << tool.name;
            EXPECT_FALSE(changing.isEmpty()) << "something to change on " << key.toStdString();

            f.readOnly = true;
            editor::ApplyAvailability(bar, f);
            for (const QString& tool : changing) {
                EXPECT_TRUE(bar.IsVisible(tool)) << tool.toStdString() << " stays in sight";
                EXPECT_FALSE(bar.IsEnabled(tool)) << tool.toStdString() << " on " << key.toStdString();
            }
        }
    }
}

TEST(MenuAvailability, DispatchTable) {
    EXPECT_EQ(editor::frmtabgridOPC::DispatchOf(QStringLiteral("mnuDeviceHelperItemsPaste")),
              std::make_pair(QStringLiteral("mnuDeviceFunc"), 8));
    EXPECT_EQ(editor::frmtabgridOPC::DispatchOf(QStringLiteral("mnuItemNewOVOPC")), std::make_pair(QStringLiteral("mnuItemFunc"), 5));
    EXPECT_EQ(editor::frmtabgridOPC::DispatchOf(QStringLiteral("mnuStructMemberCopy")),
              std::make_pair(QStringLiteral("mnuStructMemberFunc"), 3));
    EXPECT_EQ(editor::frmtabgridOPC::DispatchOf(QStringLiteral("mnuOptionConfiguration")), std::make_pair(QStringLiteral("ExtrasFunc"), 8));
    EXPECT_EQ(editor::frmtabgridOPC::DispatchOf(QStringLiteral("mnuItemDescriptor")).first, QString());
}

}  // namespace
