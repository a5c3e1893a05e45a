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
#include "support/EditorTest.h"

#include <gtest/gtest.h>

using namespace ov;
namespace nk = ov::host::nodekey;

namespace {

const QString Y = QString(QChar(0xFF));

// The tools a person can click: shown, enabled, no separator or heading.
QStringList Offered(const std::vector<ui::Tool>& tools) {
    QStringList offered;
    for (const ui::Tool& t : tools)
        if (t.visible && t.enabled && !t.separator && !t.heading) offered << t.name;
    return offered;
}

class MenuSwitcherTest : public test::EditorTest {
protected:
    // German texts, as the studio starts without an installation language.
    void SetUp() override {
        harness.Start(project.Path());
        harness.Load();
        ASSERT_TRUE(harness.Session().IsLoaded());
        ui::DefaultPopups().Clear();
    }
    void TearDown() override {
        host::Authorization::Current() = {};
        EditorTest::TearDown();
    }
    void SetLevel(qint16 level, bool overwrite) { host::CToolbox().SetExternalAuthorizationLevel(level, overwrite); }
    // The tools' states on a node, each written as "+tool" (offered), "~tool"
    // (shown, greyed), "-tool" (not shown) or "!tool" (not offered either way).
    void ExpectTools(const QString& key, bool fromTree, const char* expected) {
        Window().ComputeAvailability(key, fromTree);
        for (const QString& entry : QString::fromUtf8(expected).split(u' ', Qt::SkipEmptyParts)) {
            const ui::Tool* t = Window().abr().FindTool(entry.mid(1));
            const char state = !t || !t->visible ? '-' : t->enabled ? '+' : '~';
            const char want = entry[0].toLatin1();
            EXPECT_TRUE(state == want || (want == '!' && state != '+'))
                << entry.toStdString() << " is " << state << " on " << key.toStdString() << (fromTree ? " (tree)" : "");
        }
    }

    const QString plc = nk::DeviceKey(1, QStringLiteral("."), false);
    const QString motor1 = plc + Y + QStringLiteral("Line1.Motor1");
};

TEST_F(MenuSwitcherTest, EachNodeOffersItsOwnCommands) {
    const struct {
        QString key;
        bool fromTree;
        const char* tools;
    } nodes[] = {
        {nk::kExternal, false, "+mnuDeviceNew +mnuDeviceNewOV32Driver -mnuDeviceEdit"},
        // The item commands of a device only in the tree's menu.
        {plc, false, "+mnuDeviceEdit +mnuDeviceConfig -mnuDeviceHelperItemsBrowse -mnuDeviceHelperItemsDelete"},
        // Nothing copied yet; renaming needs a folder, and a folder is not the device itself.
        {plc, true, "+mnuDeviceHelperItemsBrowse +mnuDeviceHelperItemsDelete +mnuDeviceHelperItemsCopy "
                    "~mnuDeviceHelperItemsPaste -mnuDeviceHelperItemRename"},
        {plc + Y + QStringLiteral("Line1"), true, "+mnuDeviceHelperItemRename -mnuDeviceEdit"},
        {nk::DeviceKey(3, QString(), false), false, "+mnuDeviceConfig"},  // the weather station's tool
        {nk::kGroups, false, "+mnuGroupNew -mnuGroupEdit -mnuGroupDelete"},
        {nk::GroupKey(2), false, "-mnuGroupNew +mnuGroupEdit +mnuGroupDelete"},
        {nk::GroupDeviceKey(2, 1), false, "-mnuGroupEdit !mnuGroups"},  // a device below a group
        {nk::ProcessUnitsKey(), false, "+mnuUnitClassNew -mnuUnitClassViewNew"},
        {nk::ViewUnitsKey(), false, "+mnuUnitClassViewNew"},
        {nk::UnitClassKey(1, true), false, "-mnuUnitClassNew +mnuUnitClassEdit +mnuUnitNew"},
        {nk::kStructures, false, "+mnuStructureNew !mnuStructMemberNew"},
        {QStringLiteral("OPCS1"), false, "+mnuStructMemberNew !mnuStructMemberPaste"},
    };
    for (const auto& node : nodes) ExpectTools(node.key, node.fromTree, node.tools);

    // Without a configuration tool a device that is no own driver has nothing to configure.
    Window().Data()->Connection().Execute(QStringLiteral("UPDATE TpdbDevices SET ProgIDConfigTool = '' WHERE ID = 3"));
    ExpectTools(nk::DeviceKey(3, QString(), false), false, "~mnuDeviceConfig");
    // Five own drivers are all there may be.
    for (int i = 0; i < 4; ++i)
        Window().Data()->Connection().Execute(QStringLiteral("INSERT INTO TpdbDevices (Name, BlobMode) VALUES (?, 3)"),
                                              {QStringLiteral("Drv%1").arg(i)});
    ExpectTools(nk::kExternal, false, "-mnuDeviceNewOV32Driver +mnuDeviceNew");
}

TEST_F(MenuSwitcherTest, RightsGateCommandsAndGridEditing) {
    SetLevel(4, true);  // create, no delete
    Click(motor1);
    Window().tdbI().SelectRows({0, 1});
    Window().itemBufferFilled = true;
    ExpectTools(motor1, false, "+mnuItemNew +mnuItemPaste +mnuItemCopy ~mnuItemDelete +mnuItemEdit");
    EXPECT_FALSE(Window().tdbI().AllLocked());

    SetLevel(0, true);  // no rights at all; copying and counting need none
    ExpectTools(motor1, false, "+mnuItemCopy !mnuItemPaste !mnuItemEdit !mnuOptionOption +mnuOptionStatistik");
    EXPECT_TRUE(Window().tdbI().AllLocked()) << "without the edit right no grid can be edited";
    EXPECT_FALSE(Window().tdbI().BeginEdit(0, Window().tdbI().ColumnIndex(QStringLiteral("Comment"))));
}

// "Show editor" joins the tree's menus only.
TEST_F(MenuSwitcherTest, TreeContextMenusOfferWhatTheUserMayDo) {
    const auto bandHas = [this](const char* band) {
        const auto& tools = Window().abr().FindBand(QString::fromUtf8(band))->tools;
        return std::any_of(tools.begin(), tools.end(), [](const ui::Tool& t) { return t.name == "mnuShowEditor"; });
    };
    Window().ComputeAvailability(nk::GroupKey(1), true);
    EXPECT_TRUE(bandHas("mnuGroup") && bandHas("mnuDevice"));
    Window().ComputeAvailability(nk::GroupKey(1), false);
    EXPECT_FALSE(bandHas("mnuGroup"));

    auto& popups = ui::DefaultPopups();
    harness.Session().NodeMouseUp(QString(), nk::kRoot, QString(), 2, 0, 10, 20);
    EXPECT_EQ(popups.Shown(), QStringList{QStringLiteral("mnuShowEditorHelper")});

    // Without rights the groups branch still offers to show the editor, nothing else.
    SetLevel(0, true);
    QStringList offered;
    popups.onPopup = [&offered](const ui::CommandBar& bar, const QString& band) { offered = Offered(bar.FindBand(band)->tools); };
    popups.Queue(QStringLiteral("mnuShowEditor"));
    harness.Session().NodeMouseUp(QString(), nk::kGroups, QString(), 2, 0, 10, 20);
    popups.onPopup = nullptr;
    EXPECT_EQ(offered, QStringList{QStringLiteral("mnuShowEditor")});
    EXPECT_TRUE(Window().IsVisible()) << "the chosen entry ran";

    harness.Session().NodeMouseUp(QString(), nk::kRoot, QString(), 1, 0, 10, 20);
    EXPECT_EQ(popups.Shown().size(), 2) << "only the right button opens a menu";
}

TEST_F(MenuSwitcherTest, ToolsThatDoNothingBeep) {
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
    EXPECT_FALSE(w.tbrfunc().IsEnabled(QStringLiteral("Devices")) || w.tbrfunc().IsEnabled(QStringLiteral("Groups")));
    EXPECT_TRUE(w.tbrfunc().IsEnabled(QStringLiteral("GroupWizzard")));
    EXPECT_EQ(w.tbrfunc().FindTool(QStringLiteral("GroupWizzard"))->caption, QStringLiteral("Gruppenzuordnung"));
    w.FunctionToolClick(QStringLiteral("GroupWizzard"));
    EXPECT_EQ(ui::DefaultDesktop().Beeps(), ++beeps) << "no rows selected";

    Click(motor1);
    w.tdbI().SelectRows({2, 0});
    std::vector<int> handed;
    w.groupWizard = [&handed](const std::vector<int>& ids) { handed = ids; return false; };
    w.FunctionToolClick(QStringLiteral("GroupWizzard"));
    const int idColumn = w.tdbI().ColumnIndex(QStringLiteral("ID"));
    EXPECT_EQ(handed, (std::vector<int>{w.tdbI().CellValue(2, idColumn).toInt(), w.tdbI().CellValue(0, idColumn).toInt()}))
        << "in the order they were selected";

    // A disabled tool beeps too.
    RunTool("mnuItemNew", nk::kRoot);
    EXPECT_EQ(ui::DefaultDesktop().Beeps(), ++beeps);
}

TEST_F(MenuSwitcherTest, ExtrasRunTheirTools) {
    auto& w = Window();
    // Statistic counts what the status bar shows from zero on.
    EXPECT_EQ(w.sb().PanelText(4), settings::Text(304) + QStringLiteral(" 0"));
    w.ClickTool(QStringLiteral("mnuOptionStatistik"));
    EXPECT_EQ(w.StatusCounters(), (std::array<int, 7>{3, 3, 23, 2, 4, 2, 7}));
    EXPECT_TRUE(w.sb().PanelText(1).endsWith(QStringLiteral("Statistik")));
    EXPECT_EQ(w.sb().PanelText(4), settings::Text(304) + QStringLiteral(" 23"));
    const int changes = w.sb().Changes();
    w.ClickTool(QStringLiteral("mnuOptionStatistik"));
    EXPECT_EQ(w.sb().Changes(), changes) << "unchanged panels are not rewritten";

    ClearShown();
    w.ClickTool(QStringLiteral("mnuOptionReport"));
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_TRUE(Messages()[0].contains(QStringLiteral("OVProjectReport.Connect")));

    struct Report : sys::Component {
        explicit Report(QVariantList* s) : seen(s) {}
        QVariantList* seen;
        bool Invoke(const QString& member, const QVariantList& arguments, QVariant*, sys::CallError*) override {
            *seen = QVariantList{member} + arguments;
            return true;
        }
    };
    QVariantList seen;
    sys::ComponentRegistry::Instance().Register(QStringLiteral("ovprojectreport.connect"),
                                                [&seen] { return std::make_unique<Report>(&seen); });
    w.ClickTool(QStringLiteral("mnuOptionReport"));
    sys::ComponentRegistry::Instance().Unregister(QStringLiteral("OVProjectReport.Connect"));
    EXPECT_EQ(seen.mid(0, 2), (QVariantList{QStringLiteral("Show"), QStringLiteral("OVPdb")}));
}

TEST_F(MenuSwitcherTest, RefreshViewReloadsTheEditor) {
    auto* before = &Window();
    const int nodes = harness.Host().NodeCount();
    RunTool("mnuOptionActualize", nk::kRoot);
    EXPECT_TRUE(harness.Session().IsLoaded());
    EXPECT_NE(harness.Session().Window(), before) << "a new window after the reload";
    EXPECT_EQ(harness.Host().NodeCount(), nodes);
    Click(motor1);
    EXPECT_EQ(Window().tdbI().RowCount(), 3);
}

TEST(MenuAvailability, AProjectOpenedForViewingOffersOnlyCommandsThatLook) {
    // What a person may still do: open menus, look at objects in their
    // dialogs, copy, count, refresh, report and export, see live values.
    const QStringList looking = QStringLiteral(
        "mnuEdits mnuDevices mnuGroups mnuItems mnuStructures mnuStructmembers mnuUnitClasses mnuUnits mnuOptions "
        "mnuDeviceEdit mnuGroupEdit mnuItemEdit mnuStructureEdit mnuStructMemberEdit mnuUnitClassEdit mnuUnitEdit "
        "mnuDeviceHelperItemsCopy mnuItemCopy mnuStructMemberCopy mnuOptionActualize mnuOptionStatistik "
        "mnuOptionReport mnuOptionExport mnuOptionCheck mnuShowEditor mnuShowEditorSep mnuViews mnuViewOnline mnuViewRefreshValues").split(u' ');
    ui::CommandBar bar;
    editor::BuildEditorMenus(bar);
    // Every kind of node, from the tree and from the window, with rows,
    // current rows and both copy buffers filled and every right granted.
    const QString plc = nk::DeviceKey(1, QStringLiteral("."), false);
    const QString nodes[] = {nk::kExternal, plc, plc + Y + QStringLiteral("Line1"), nk::kGroups, nk::GroupKey(2),
                             nk::GroupDeviceKey(2, 1), nk::kStructures, nk::StructureKey(1), nk::ProcessUnitsKey(),
                             nk::ViewUnitsKey(), nk::UnitClassKey(1, true)};
    for (const QString& key : nodes) {
        for (const bool fromTree : {false, true}) {
            editor::MenuFacts f;
            f.kind = nk::Kind(key), f.id = nk::NodeId(key), f.fromTree = fromTree;
            f.branch = key.contains(nk::kSeparator) ? nk::SecondField(key) : QString();
            f.nodeItself = f.kind != QStringLiteral("OPCD") || nk::IsDeviceNode(key);
            f.groupDevice = f.kind == QStringLiteral("OPCG") && nk::SubId(key) >= 0;
            f.mayCreateItems = f.notBlob = f.configurable = f.itemBuffer = f.memberBuffer = true;
            f.itemRows = f.itemCurrent = f.memberRows = f.memberCurrent = f.unitRows = f.unitCurrent = true;
            editor::SetShowEditorTools(bar, fromTree);
            editor::ApplyAvailability(bar, f);
            QStringList changing;
            for (const ui::Band& band : bar.Bands()) changing << Offered(band.tools);
            changing.removeIf([&looking](const QString& tool) { return looking.contains(tool); });
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

}  // namespace
