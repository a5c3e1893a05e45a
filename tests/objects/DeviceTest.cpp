// The device commands as a person uses them: the menus, the device dialog,
// the choosers and configuration tools, on the demo project.

#include "components/InstalledPrograms.h"
#include "components/Registration.h"
#include "model/LargeProject.h"
#include "objects/MDevice.h"
#include "objects/ObjectTest.h"
#include "platform/system/Components.h"
#include "platform/system/ProjectSettings.h"
#include "platform/ui/Progress.h"
#include "support/Files.h"

#include <QFile>
#include <QTemporaryDir>

using namespace ov;
namespace nk = ov::host::nodekey;
using settings::Text;
using namespace ov::test;

namespace {

class DeviceTest : public test::ObjectTest {
  protected:
    void SetUp() override {
        components::RegisterDemoInstallation(harness.Registry(), drivers.path());
        Open();
        Click(nk::kExternal);
        ClearShown();
    }

    // Runs a device command from the window's menu on a node; the script plays the device dialog it shows.
    void Command(const QString& key, const char* tool, Script dialog = nullptr) {
        if (dialog) OnForm("FDevice", std::move(dialog));
        Click(key);
        RunTool(tool, key);
    }
    void New(Script dialog = Confirm, const char* tool = "mnuDeviceNew") { Command(nk::kExternal, tool, std::move(dialog)); }
    void NewDriver(Script dialog = Confirm) { New(std::move(dialog), "mnuDeviceNewOV32Driver"); }
    void Edit(const QString& key, Script dialog) { Command(key, "mnuDeviceEdit", std::move(dialog)); }
    // The dialog on a device looked at and cancelled.
    void Look(const QString& key, Script look) { Edit(key, Looking(std::move(look))); }
    QVariant Stored(const char* field, const char* name) {
        return Query(QStringLiteral("SELECT %1 FROM TpdbDevices WHERE Name = '%2'").arg(QString::fromUtf8(field), QString::fromUtf8(name)));
    }
    // The device's fields as texts, as the table holds them.
    void ExpectStored(const char* name, std::initializer_list<std::pair<const char*, QVariant>> fields) {
        for (const auto& [field, value] : fields) EXPECT_EQ(Stored(field, name).toString(), value.toString()) << name << "." << field;
    }
    bool Exists(const char* name) { return !Stored("ID", name).isNull(); }
    QString DeviceKeyOf(const char* name) { return nk::DeviceKey(Stored("ID", name).toInt(), QString(), false); }
    // Changes a device's record behind the editor's back, as an older version or another program leaves it.
    void SetRow(int id, const QString& assignments) {
        Window().Data()->Connection().Execute(QStringLiteral("UPDATE TpdbDevices SET %1 WHERE ID = %2").arg(assignments).arg(id));
    }
    static const ui::MessageRequest& LastBox() { return ui::DefaultMessageBoxes().Shown().back(); }
    static int Numbers(ui::Form& f) { return f.Get(QStringLiteral("cmbUniversal")).SelectedData().toInt(); }
    sys::ProjectSettings Settings() { sys::ProjectSettings s; s.Open(project.Path(), harness.Registry()); return s; }
    // What the weather station's configuration tool keeps for a device.
    QString Station(int device = 3) { return Settings().Read(QStringLiteral("OVCfgOPC.Demo:%1").arg(device), QStringLiteral("Station")); }

    QTemporaryDir drivers;
    const QString plc = nk::DeviceKey(1, QStringLiteral("."), false);
    const QString press = nk::DeviceKey(2, QString(), true);
    const QString weather = nk::DeviceKey(3, QString(), false);
};

TEST_F(DeviceTest, NewDevicesTakeTheFirstFreeChannelNameAndAppearEverywhere) {
    // A new device cancelled goes again without a question.
    const int before = Count(QStringLiteral("SELECT Count(*) FROM TpdbDevices"));
    const qsizetype nodes = harness.Host().GetChildKeys(nk::kExternal, 1).size();
    NewDriver(Cancel);
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbDevices")), before);
    EXPECT_EQ(harness.Host().GetChildKeys(nk::kExternal, 1).size(), nodes);
    EXPECT_EQ(harness.Host().GetChildKeys(nk::GroupKey(1), 1).size(), static_cast<qsizetype>(before));
    EXPECT_TRUE(Messages().isEmpty()) << "no question for a device that never was";
    EXPECT_EQ(Window().StatusCounters()[0], 0);

    New();
    New([](ui::Form& f) {
        EXPECT_EQ(Box(f, "txtNameOPCServer"), QStringLiteral("Ch2"));
        EXPECT_EQ(f.Focus().control, QStringLiteral("txtNameOPCServer")) << "the name has the focus";
        Typing({{"txtNameOPCServer", QStringLiteral("Pump")}, {"txtShortDesc", QStringLiteral("Pump station")}})(f);
    });
    New();
    EXPECT_TRUE(Exists("Ch1"));
    EXPECT_TRUE(Exists("Ch2")) << "the second was renamed: its name is free again";
    EXPECT_EQ(Stored("BlobMode", "Pump").toInt(), 0);

    // Its node among the devices, and below every group.
    const int pump = Stored("ID", "Pump").toInt();
    EXPECT_EQ(NodeText(nk::DeviceKey(pump, QString(), false)), QStringLiteral("Pump: Pump station"));
    for (const QString& group : harness.Host().GetChildKeys(nk::kGroups, 1))
        EXPECT_EQ(NodeText(nk::GroupDeviceKey(nk::NodeId(group), pump)), QStringLiteral("Pump: Pump station"));
    EXPECT_EQ(Window().CurrentNode(), DeviceKeyOf("Ch2")) << "the new device is the one shown";
    EXPECT_EQ(Window().StatusCounters()[0], 3);

    // With Ch1 gone the name is free again.
    DontAskOnDelete();
    Command(DeviceKeyOf("Ch1"), "mnuDeviceDelete");
    New();
    EXPECT_TRUE(Exists("Ch1"));
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'|').toStdString();
}

TEST_F(DeviceTest, OwnDriversShareTheFiveUniversalNumbers) {
    // Press has number 1: a new driver is offered 2 to 5 and takes 2.
    NewDriver([](ui::Form& f) {
        EXPECT_TRUE(Checked(f, "optOVDriver"));
        EXPECT_FALSE(f.Get(QStringLiteral("tabOPCServer")).visible);
        const ui::Control& numbers = f.Get(QStringLiteral("cmbUniversal"));
        ASSERT_EQ(numbers.list.Size(), 4u);
        EXPECT_EQ(numbers.list.Items().front().text, QStringLiteral("Universal  2"));
        EXPECT_EQ(Numbers(f), 2);
        Typing({{"txtChoosedDriver", QStringLiteral("ModbusTCP")}})(f);
    });
    EXPECT_EQ(Stored("ProgID", "Ch1").toString(), QStringLiteral("<2>ModbusTCP"));
    EXPECT_EQ(Settings().Read(QStringLiteral("Device2"), QStringLiteral("ProgID")), QStringLiteral("ModbusTCP"));

    // The press's own number is offered to it, and selected.
    Look(press, [](ui::Form& f) {
        EXPECT_EQ(Numbers(f), 1);
        EXPECT_FALSE(f.Get(QStringLiteral("cmbUniversal")).list.IndexOfValue(2)) << "taken by Ch1";
    });

    // Three more drivers use up the numbers; the new-driver command goes.
    for (int i = 0; i < 3; ++i) NewDriver();
    Window().ComputeAvailability(nk::kExternal, false);
    EXPECT_FALSE(Window().abr().IsVisible(QStringLiteral("mnuDeviceNewOV32Driver")));

    // A sixth own driver, made from an OPC server device, finds no number: the write back fails.
    ui::DefaultMessageBoxes().Clear();
    Edit(weather, [](ui::Form& f) {
        f.UserClick(QStringLiteral("optOVDriver"));
        EXPECT_EQ(f.Get(QStringLiteral("cmbUniversal")).list.Size(), 0u);
        Typing({{"txtNameOVDriver", QStringLiteral("Weather")}})(f);
    });
    EXPECT_TRUE(LastMessage().startsWith(Text(751))) << LastMessage().toStdString();
    EXPECT_EQ(Stored("BlobMode", "Weather").toInt(), 0) << "the record stays as it was";
}

TEST_F(DeviceTest, NamesAndTheSeparatorAreCheckedAndFilteredInTheDialog) {
    Edit(plc, [](ui::Form& f) {
        // A change of letter case alone is a name in use; another device's name too.
        ExpectRefused(f, "txtNameOPCServer", {QStringLiteral("plc1"), QStringLiteral("WEATHER")});
        // Only letters, digits, "_" and brackets reach the name.
        f.UserSetText(QStringLiteral("txtNameOPCServer"), QStringLiteral("Line 'A' [1]_(x)"));
        EXPECT_EQ(Box(f, "txtNameOPCServer"), QStringLiteral("LineA1_(x)"));
        f.UserSetText(QStringLiteral("txtNameOPCServer"), QStringLiteral("   "));
        EXPECT_FALSE(Enabled(f, "cmdOK"));
        f.UserSetText(QStringLiteral("txtNameOPCServer"), QStringLiteral("PLC1"));

        // The separator holds one character, and never the tree's key separator.
        ui::Control& box = f.Get(QStringLiteral("txtHierarchBrowseSeparator"));
        EXPECT_EQ(box.text, QStringLiteral("."));
        f.UserSetText(box.Name(), QStringLiteral("./"));
        EXPECT_EQ(box.text, QStringLiteral("/")) << "the last character typed replaces it";
        const int beeps = Beeps();
        f.UserSetText(box.Name(), QStringLiteral("/") + nk::kSeparator);
        EXPECT_TRUE(box.text.isEmpty());
        EXPECT_EQ(Beeps(), beeps + 1);
        Typing({{"txtHierarchBrowseSeparator", QStringLiteral("/")}})(f);
    });
    EXPECT_EQ(Messages(), (QStringList{Text(405), Text(405)}));
    EXPECT_EQ(Stored("HierarchBrowseSeparator", "PLC1").toString(), QStringLiteral("/"));
    // The device's node has a new key, and its folders follow the new separator.
    const QString renamed = nk::DeviceKey(1, QStringLiteral("/"), false);
    EXPECT_EQ(NodeText(renamed), QStringLiteral("PLC1: Filling lines"));
    EXPECT_TRUE(NodeText(plc).isEmpty());
    EXPECT_TRUE(harness.Host().GetChildKeys(renamed, 1).isEmpty()) << "no item name holds a '/'";

    // A name longer than the field: the database refuses it and nothing changes.
    ui::DefaultMessageBoxes().Clear();
    Edit(renamed, Typing({{"txtNameOPCServer", QString(1000, u'N')}}));
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_TRUE(Messages().front().startsWith(Text(751)));
    EXPECT_TRUE(Exists("PLC1"));
    EXPECT_EQ(NodeText(renamed), QStringLiteral("PLC1: Filling lines"));
}

TEST_F(DeviceTest, FlagsFollowTheStructureAccessAndTheSignBit) {
    Edit(weather, [](ui::Form& f) {
        EXPECT_EQ(f.Get(QStringLiteral("cmbBlobMode")).listIndex, 0) << "the weather station is a bytestream";
        EXPECT_TRUE(f.Get(QStringLiteral("chkSwapByte")).enabled);
        for (const char* box : {"chkSwapByte", "chkSwapInt", "chkUnicodeStrings", "chkUseSimulator", "chkReadFromHardware"})
            f.UserCheck(QString::fromUtf8(box), true);
        EXPECT_TRUE(f.Get(QStringLiteral("cmdConfigSimulationServer")).enabled);
        f.UserChoose(QStringLiteral("cmbBlobMode"), 2);
        EXPECT_FALSE(f.Get(QStringLiteral("chkSwapByte")).enabled) << "byte order matters only for a bytestream";
        Typing({{"txtCommentOPCServer", QString()}})(f);
    });
    // 8, 32 and Unicode dropped; an empty comment is stored as U+0000.
    ExpectStored("Weather", {{"BlobMode", 2 + 128 + 1024}, {"Comment", QString(QChar(0))}});

    Edit(weather, [](ui::Form& f) {
        EXPECT_FALSE(Checked(f, "chkSwapByte"));
        EXPECT_TRUE(Checked(f, "chkReadFromHardware"));
        EXPECT_TRUE(Box(f, "txtCommentOPCServer").isEmpty()) << "U+0000 reads as empty";
        f.UserChoose(QStringLiteral("cmbBlobMode"), 0);
        for (const char* box : {"chkUnicodeStrings", "chkSwapFloat"}) f.UserCheck(QString::fromUtf8(box), true);
        f.PressDefault();
    });
    EXPECT_EQ(Stored("BlobMode", "Weather").toInt(), -32768 + 16 + 128 + 1024)
        << "with the Unicode flag the stored value is negative";
    Look(weather, [](ui::Form& f) { EXPECT_TRUE(Checked(f, "chkUnicodeStrings") && Checked(f, "chkSwapFloat")); });
}

TEST_F(DeviceTest, ConfigurationToolsAndServerChoosersPresentAbsentAndUsed) {
    // The weather station's tool: not configured yet, then configured through it.
    Look(weather, [](ui::Form& f) { EXPECT_EQ(Box(f, "txtOPCServerConfigState"), Text(731)); });
    OnForm("FServerConfig", Typing({{"txtStation", QStringLiteral("7")}}));
    Command(weather, "mnuDeviceConfig");
    EXPECT_EQ(Station(), QStringLiteral("7"));
    Look(weather, [](ui::Form& f) { EXPECT_EQ(Box(f, "txtOPCServerConfigState"), Text(732)); });

    // PLC1 is no bytestream: its tool shows the server's own settings.
    OnForm("FServerSettings", Looking([](ui::Form& f) { EXPECT_TRUE(f.caption.endsWith(QStringLiteral("OVOPC.Simulation.1"))); }));
    Command(plc, "mnuDeviceConfig");
    EXPECT_TRUE(ui::DefaultFormRunner().Shown().contains(QStringLiteral("FServerSettings")));

    // A tool that is not installed: a beep when the dialog loads, text 413 to configure.
    sys::ComponentRegistry::Instance().Unregister(QStringLiteral("OVCfgOPC.Demo"));
    const int beeps = Beeps();
    Edit(weather, Cancel);
    EXPECT_EQ(Beeps(), beeps + 1);
    Command(weather, "mnuDeviceConfig");
    EXPECT_EQ(LastMessage(), Text(413));
    components::RegisterOwnComponents();

    // Another server through the chooser: the old server's tool clears its configuration of the device.
    OnForm("FOPCServerChooser", [](ui::Form& f) {
        const ui::Control& servers = f.Get(QStringLiteral("lvwServers"));
        ASSERT_EQ(servers.listViewRows.size(), 2u);
        EXPECT_EQ(servers.listIndex, 1) << "the device's own server is selected";
        f.UserChoose(QStringLiteral("lvwServers"), QStringLiteral("OVOPC.Simulation"));
        Typing({{"txtComputer", QStringLiteral("PLANT2")}})(f);
    });
    Edit(weather, [](ui::Form& f) {
        f.UserClick(QStringLiteral("cmdChooseOPCServer"));
        ExpectBoxes(f, {{"txtChoosedOPCServer", QStringLiteral("OVOPC.Simulation")}, {"txtOPCServerVersion", QStringLiteral("1")},
                        {"txtComputerName", QStringLiteral("PLANT2")}, {"txtShortDesc", QStringLiteral("Orvana simulation server")},
                        {"txtOPCServerConfigState", Text(731)}});
        f.PressDefault();
    });
    ExpectStored("Weather", {{"ProgID", QStringLiteral("<PLANT2>OVOPC.Simulation.1")},
                             {"ProgIDConfigTool", QStringLiteral("OVCfgOPC.Simulation")}});
    EXPECT_TRUE(Station().isEmpty()) << "the old server's tool cleared its configuration of the device";
    EXPECT_EQ(NodeText(weather), QStringLiteral("Weather: Orvana simulation server"));

    // A server the installation does not know is kept, with a warning.
    ui::DefaultMessageBoxes().Clear();
    Edit(weather, Typing({{"txtChoosedOPCServer", QStringLiteral("Nobody.Knows")}}));
    ASSERT_EQ(ui::DefaultMessageBoxes().Shown().size(), 1u);
    EXPECT_EQ(LastBox().title, QStringLiteral("OVSDeviceBrowser"));
    EXPECT_EQ(Stored("ProgID", "Weather").toString(), QStringLiteral("<PLANT2>Nobody.Knows.1"));

    // A registry without servers and drivers: empty choosers that change nothing.
    QFile::remove(harness.RegistryFile());
    ClearShown();
    OnForm("FOPCServerChooser", Looking([](ui::Form& f) {
        EXPECT_TRUE(f.Get(QStringLiteral("lvwServers")).listViewRows.empty());
        EXPECT_TRUE(f.Find(QStringLiteral("lblNone")));
        EXPECT_FALSE(Enabled(f, "cmdOK"));
    }));
    OnForm("FDriverChooser", Looking([](ui::Form& f) { EXPECT_TRUE(f.Get(QStringLiteral("lvwDrivers")).listViewRows.empty()); }));
    Look(weather, [](ui::Form& f) {
        f.UserClick(QStringLiteral("cmdChooseOPCServer"));
        EXPECT_EQ(Box(f, "txtChoosedOPCServer"), QStringLiteral("Nobody.Knows")) << "unchanged";
        f.UserClick(QStringLiteral("optOVDriver"));
        f.UserClick(QStringLiteral("cmdChooseDriver"));
    });
    EXPECT_EQ(ui::DefaultFormRunner().Shown(),
              (QStringList{QStringLiteral("FDevice"), QStringLiteral("FOPCServerChooser"), QStringLiteral("FDriverChooser")}));

    // The chooser component itself missing: a message titled by it.
    sys::ComponentRegistry::Instance().Unregister(QStringLiteral("OVSDeviceBrowser.OPCServer"));
    Look(weather, [](ui::Form& f) { f.UserClick(QStringLiteral("cmdChooseOPCServer")); });
    components::RegisterOwnComponents();
    ASSERT_FALSE(ui::DefaultMessageBoxes().Shown().empty());
    EXPECT_EQ(LastBox().title, QStringLiteral("OVSDeviceBrowser"));
}

TEST_F(DeviceTest, TheDriversConfigurationProgramGetsItsCommandLine) {
    const auto run = objects::MDevice::DriverConfigurationProgram(QStringLiteral("/opt/my drivers"), QStringLiteral("drv.v2.exe"),
                                                                   QStringLiteral("/home/a b/\"q\"/p.ovs"), 3);
    EXPECT_EQ(run.commandLine, QStringLiteral("\"/opt/my drivers/drvk.v2k.exe\" \"/home/a b/\"q\"/p.ovs\" Device3"));
    EXPECT_EQ(run.program, QStringLiteral("/opt/my drivers/drvk.v2k.exe"));
    EXPECT_EQ(run.arguments, (QStringList{QStringLiteral("/home/a b/\"q\"/p.ovs"), QStringLiteral("Device3")}));

    // A configuration program that writes down what it got, in the driver's folder.
    const QString program = WriteFile(drivers.filePath(QStringLiteral("ovdemodrvk.bin")),
                                            "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/arguments.txt\"\n");
    ASSERT_FALSE(program.isEmpty());
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Command(press, "mnuDeviceConfig");
    // Missing when the program did not run or the command did not wait for it.
    EXPECT_EQ(QString::fromUtf8(ReadFile(drivers.filePath(QStringLiteral("arguments.txt")))).split(u'\n', Qt::SkipEmptyParts),
              (QStringList{project.Path(), QStringLiteral("Device1")}));
    EXPECT_TRUE(Messages().isEmpty());

    // A program that is not there.
    QFile::remove(program);
    Command(press, "mnuDeviceConfig");
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_TRUE(Messages().front().startsWith(Text(413)));
    EXPECT_TRUE(Messages().front().contains(QStringLiteral("ovdemodrvk.bin"))) << "the command line is shown";

    // A driver device without a number cannot be configured.
    SetRow(2, QStringLiteral("ProgID = '<>ModbusTCP'"));
    Command(press, "mnuDeviceConfig");
    EXPECT_EQ(LastMessage(), Text(415));
}

TEST_F(DeviceTest, SwitchingTheKindStoresWhatTheBoxesShowAndLeavesNoConfigurationBehind) {
    OnForm("FServerConfig", Confirm);
    Command(weather, "mnuDeviceConfig");
    ASSERT_FALSE(Station().isEmpty());
    SetRow(3, QStringLiteral("Comment = 'north mast'"));
    const QString description = Stored("ShortDescriptor", "Weather").toString();
    ASSERT_FALSE(description.isEmpty());

    Edit(weather, [&](ui::Form& f) {
        f.UserClick(QStringLiteral("optOVDriver"));
        ExpectBoxes(f, {{"txtNameOVDriver", QStringLiteral("Weather")}, {"txtShortDescDriver", description},
                        {"txtCommentOVDriver", QStringLiteral("north mast")}});
        // A click on the kind already chosen takes nothing across.
        f.UserClick(QStringLiteral("optOVDriver"));
        Typing({{"txtNameOVDriver", QStringLiteral("Station7")}})(f);
    });
    EXPECT_FALSE(Exists("Weather"));
    ExpectStored("Station7", {{"BlobMode", 3}, {"ShortDescriptor", description}, {"Comment", QStringLiteral("north mast")}});
    EXPECT_TRUE(Stored("ProgIDConfigTool", "Station7").toString().remove(QChar(0)).isEmpty()) << "a driver has no tool";
    EXPECT_TRUE(Station().isEmpty()) << "the tool's configuration of the device is gone";

    // A driver that an older version left with a configured tool loses that configuration on delete.
    SetRow(2, QStringLiteral("ProgIDConfigTool = 'OVCfgOPC.Demo'"));
    Settings().Write(QStringLiteral("OVCfgOPC.Demo:2"), QStringLiteral("Station"), QStringLiteral("4"));
    DontAskOnDelete();
    Command(press, "mnuDeviceDelete");
    EXPECT_FALSE(Exists("Press"));
    EXPECT_TRUE(Station(2).isEmpty());
}

// Stands in for the simulation server's configuration tool and notes how it was shown.
class RecordingTool : public sys::Component {
  public:
    static inline QVariantList shown;
    bool Invoke(const QString& member, const QVariantList& arguments, QVariant*, sys::CallError*) override {
        if (member == QStringLiteral("Show")) shown = arguments;
        return true;
    }
    bool SetProperty(const QString&, const QVariant&, sys::CallError*) override { return true; }
};

TEST_F(DeviceTest, TheSimulationToolIsOwnedByTheDialog) {
    sys::ComponentRegistry::Instance().Register(QStringLiteral("OVCfgOPC.Simulation"), [] { return std::make_unique<RecordingTool>(); });
    RecordingTool::shown.clear();
    quintptr dialogWindow = 0;
    Look(plc, [&](ui::Form& f) {
        dialogWindow = f.windowHandle;
        f.UserCheck(QStringLiteral("chkUseSimulator"), true);
        f.UserClick(QStringLiteral("cmdConfigSimulationServer"));
    });
    components::RegisterOwnComponents();
    ASSERT_EQ(RecordingTool::shown.size(), 4);
    EXPECT_NE(dialogWindow, 0u);
    EXPECT_EQ(RecordingTool::shown[0].toULongLong(), dialogWindow);
    EXPECT_EQ(RecordingTool::shown[2].toString(), QStringLiteral("PLC1"));
}

TEST_F(DeviceTest, DeleteAsksTakesEverythingAlongAndCanBeToldNotToAsk) {
    Settings().Write(QStringLiteral("Device1"), QStringLiteral("ProgID"), QStringLiteral("ModbusTCP"));
    const QString items = QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE DeviceID = 1");
    const int count = Count(items);
    ASSERT_GT(count, 0);
    ui::DefaultMessageBoxes().Queue(ui::Answer::Cancel);
    Command(plc, "mnuDeviceDelete");
    EXPECT_EQ(Messages().front(), Text(1101).replace(QStringLiteral("<it>"), QString::number(count)));
    EXPECT_TRUE(Exists("PLC1")) << "Cancel keeps it";

    ui::DefaultMessageBoxes().Queue(ui::Answer::OK);
    Command(plc, "mnuDeviceDelete");
    EXPECT_FALSE(Exists("PLC1"));
    EXPECT_EQ(Count(items), 0);
    for (const char* table : {"TpdbConnections", "TpdbSimulation"})
        EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM %1 WHERE ItemID NOT IN (SELECT ID FROM TpdbItems)")
                            .arg(QString::fromUtf8(table))), 0) << table;
    EXPECT_TRUE(NodeText(plc).isEmpty());
    EXPECT_TRUE(NodeText(nk::GroupDeviceKey(1, 1)).isEmpty());
    EXPECT_EQ(Window().CurrentNode(), nk::kExternal);
    EXPECT_TRUE(Window().sb().PanelText(1).endsWith(QStringLiteral("Delete")));

    // Without the question; an own driver's settings section goes with it.
    DontAskOnDelete();
    ui::DefaultMessageBoxes().Clear();
    Command(press, "mnuDeviceDelete");
    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_FALSE(Exists("Press"));
    EXPECT_TRUE(Settings().Read(QStringLiteral("Device1"), QStringLiteral("ProgID")).isEmpty());
}

TEST_F(DeviceTest, BrowsingChecksTheDeviceFirst) {
    Click(press);
    Window().ComputeAvailability(press, true);
    EXPECT_FALSE(Window().abr().IsVisible(QStringLiteral("mnuDeviceHelperItemsBrowse"))) << "not offered for an own driver";
    EXPECT_TRUE(Window().RunObjectFunction(QStringLiteral("mnuDeviceFunc"), 5));
    EXPECT_EQ(LastMessage(), Text(416));

    SetRow(3, QStringLiteral("Enabled = 0"));
    Click(weather);
    ui::DefaultMessageBoxes().Clear();
    Window().RunObjectFunction(QStringLiteral("mnuDeviceFunc"), 5);
    ASSERT_EQ(ui::DefaultMessageBoxes().Shown().size(), 1u);
    EXPECT_EQ(LastBox().title, Text(418));
    EXPECT_EQ(LastBox().defaultButton, 1) << "No is the default";

    // A server the installation names no address space for: the dialog says so.
    const QString server = QStringLiteral("SOFTWARE\\Senmark GmbH\\Orvana\\4.0\\OPCServers\\Demo.WeatherStation.2");
    harness.Registry().WriteValue(sys::Hive::LocalMachine, server, QStringLiteral("Endpoint"), QString());
    ui::DefaultMessageBoxes().Queue(ui::Answer::Yes);
    Window().RunObjectFunction(QStringLiteral("mnuDeviceFunc"), 5);
    EXPECT_TRUE(LastMessage().contains(QStringLiteral("Demo.WeatherStation.2"))) << LastMessage().toStdString();
    EXPECT_TRUE(ui::DefaultFormRunner().Shown().contains(QStringLiteral("FBrowseItemsOCX")));
}

TEST_F(DeviceTest, BrokenRecordsLoadAsTheyAreWithoutACrash) {
    // Without a number the first free one is offered; a number outside 1 to 5 selects none.
    for (const auto& [progId, selected] : std::vector<std::pair<const char*, int>>{{"<", 1}, {"<>", 1}, {"<3", 3}, {"<9>x", -1}}) {
        SCOPED_TRACE(progId);
        SetRow(2, QStringLiteral("ProgID = '%1'").arg(QString::fromUtf8(progId)));
        Look(press, [selected = selected](ui::Form& f) {
            EXPECT_EQ(f.Get(QStringLiteral("cmbUniversal")).listIndex < 0 ? -1 : Numbers(f), selected);
        });
    }
    SetRow(3, QStringLiteral("ProgID = NULL, BlobMode = 6"));
    Edit(weather, [](ui::Form& f) {
        EXPECT_TRUE(Checked(f, "optOPCServer"));
        EXPECT_EQ(f.Get(QStringLiteral("cmbBlobMode")).listIndex, -1) << "a kind outside the list selects nothing";
        f.PressDefault();
    });
    EXPECT_EQ(Stored("BlobMode", "Weather").toInt(), 6) << "and is kept on writing back";
    EXPECT_TRUE(ui::DefaultFormRunner().Unexpected().isEmpty());
}

// A device of more than 100,000 items is deleted under a progress window
// whose Cancel stops the statement running and rolls everything back.
class LargeDeviceTest : public test::ObjectTest {};

TEST_F(LargeDeviceTest, CancelDuringTheDeleteLeavesEveryRow) {
    model::LargeProjectOptions options;
    options.items = 100500;
    ASSERT_TRUE(QFile::remove(project.Path()) && model::CreateLargeProject(project.Path(), options));
    Open();
    DontAskOnDelete();
    const QString items = QStringLiteral("SELECT Count(*) FROM TpdbItems");
    const QString connections = QStringLiteral("SELECT Count(*) FROM TpdbConnections");
    const int itemsBefore = Count(items), connectionsBefore = Count(connections);
    const int plant = Count(QStringLiteral("SELECT ID FROM TpdbDevices WHERE Name = 'Plant1'"));
    const QString key = nk::DeviceKey(plant, QStringLiteral("."), false);

    const std::size_t messages = ui::DefaultMessageBoxes().Shown().size();
    ui::DefaultProgress().cancelAt = 1;  // Cancel once the connections are gone
    Click(key);
    RunTool("mnuDeviceDelete", key);
    ui::DefaultProgress().cancelAt = -1;
    EXPECT_TRUE(ui::DefaultProgress().Title().endsWith(QStringLiteral("Plant1")));
    EXPECT_EQ(Count(items), itemsBefore);
    EXPECT_EQ(Count(connections), connectionsBefore);
    EXPECT_EQ(ui::DefaultMessageBoxes().Shown().size(), messages) << "a Cancel is no error";

    Window().ClickTool(QStringLiteral("mnuDeviceDelete"));
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE DeviceID = %1").arg(plant)), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbDevices WHERE ID = %1").arg(plant)), 0);
}

}  // namespace
