// Browsing a device's server from the editor: the dialog prepared from the
// device, the choice applied in its three phases, the question for items
// that differ, and every way it can fail. The demo installation serves the
// simulation server's address space (PLC1) from the demo's NodeSet2 file.

#include "components/InstalledPrograms.h"
#include "OpcEditorTest.h"
#include "opc/BrowseApply.h"
#include "opc/MOpc.h"
#include "platform/db/Cursor.h"
#include "support/Files.h"
#include "support/QtPrinters.h"
#include "support/TempProject.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ov;
using settings::Text;

namespace {

const QString kDemo = QStringLiteral("nsu=urn:ovopc:demo;s=DemoPlant.");
const QString kSimulation = QStringLiteral("OVOPC.Simulation.1");

class BrowseTest : public test::OpcEditorTest {
  protected:
    void SetUp() override {
        components::RegisterDemoInstallation(harness.Registry(), QString());
        Open();
        Click(plc);
        ClearShown();
    }
    static void Tick(ui::Form& form, const QString& path, bool ticked = true) {
        const QString key = NodeAt(form, path);
        ASSERT_FALSE(key.isEmpty()) << path.toStdString();
        form.UserCheckNode(kTree, key, ticked);
    }
    // Answers the next questions with the buttons given (0 Yes, 1 Yes to all, 2 No, 3 No to all).
    static void Answer(std::initializer_list<int> buttons) {
        for (int button : buttons)
            ui::DefaultFormRunner().Once(QStringLiteral("FBrowseItemsOCXMessage"), [button](ui::Form& f) {
                f.UserClick(QStringLiteral("cmdAnswer"), button);
            });
    }
    static int Questions() {
        return static_cast<int>(ui::DefaultFormRunner().Shown().count(QStringLiteral("FBrowseItemsOCXMessage")));
    }
    // A field of the item of the demo's space at a path below DemoPlant.
    QVariant Field(const char* field, const char* path) {
        return Query(QStringLiteral("SELECT %1 FROM TpdbItems WHERE DeviceID = 1 AND ItemAccess = '%2%3'")
                         .arg(QString::fromUtf8(field), kDemo, QString::fromUtf8(path)));
    }
    // Ticks a folder (or variable) and takes it with OK.
    void Take(const char* path) {
        Browse([path](opc::FBrowseItemsOCX& f) {
            Tick(f, QString::fromUtf8(path));
            f.PressDefault();
        });
    }
    // Opens the Boiler, where the items are compared, and presses OK.
    void BrowseBoilerAgain() {
        Browse([](opc::FBrowseItemsOCX& f) {
            NodeAt(f, QStringLiteral("DemoPlant/Boiler/Temperature"));
            f.PressDefault();
        });
    }
    // Unticks the Boiler's Pressure, ticks the Conveyor, does what else is given and presses OK.
    void SwapPressureForConveyor(const std::function<void(opc::FBrowseItemsOCX&)>& also = {}) {
        Browse([&also](opc::FBrowseItemsOCX& f) {
            Tick(f, QStringLiteral("DemoPlant/Boiler/Pressure"), false);
            Tick(f, QStringLiteral("DemoPlant/Conveyor"));
            if (also) also(f);
            f.PressDefault();
        });
    }
};

TEST_F(BrowseTest, TickedVariablesBecomeItemsWithTheirRightsAndArraySizes) {
    const int before = PlcItems();
    Browse([](opc::FBrowseItemsOCX& f) {
        Tick(f, QStringLiteral("DemoPlant"));
        f.PressCancel();
    });
    EXPECT_EQ(PlcItems(), before) << "Cancel writes nothing";
    Take("DemoPlant/Boiler");
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'|').toStdString();
    // Names, types and read-only rights as the browse script checks them; here the write-only one.
    EXPECT_EQ(PlcItems(), before + 10);
    EXPECT_EQ(Field("AccessRights", "Boiler.BurnerStart").toInt(), 2) << "write-only";
    EXPECT_TRUE(Query(QStringLiteral("SELECT IsBrowsed FROM TpdbDevices WHERE ID = 1")).toBool());
    EXPECT_EQ(Window().sb().PanelText(5).isEmpty(), false);

    // Arrays keep their element type and their size.
    Take("DemoPlant/Filling/NozzlePressures");
    EXPECT_EQ(Field("DataType", "Filling.NozzlePressures").toInt(), 4) << "Float[8] without the array flag";
    EXPECT_EQ(Field("FieldSize", "Filling.NozzlePressures").toInt(), 8);
}

TEST_F(BrowseTest, TheDevicesItemsArriveTickedAndUntickingDeletesThemWithTheirConnections) {
    Take("DemoPlant/Boiler");
    const int before = PlcItems();
    const int burnerId = Field("ID", "Boiler.BurnerOn").toInt();
    Browse([](opc::FBrowseItemsOCX& f) {
        const QString burner = NodeAt(f, QStringLiteral("DemoPlant/Boiler/BurnerOn"));
        EXPECT_EQ(f.Get(kTree).Node(burner)->checkState, 1) << "ticked on arrival";
        EXPECT_EQ(f.Get(kTree).Node(NodeAt(f, QStringLiteral("DemoPlant/Boiler")))->checkState, 1);
        f.UserCheckNode(kTree, burner, false);
        EXPECT_EQ(f.Get(kTree).Node(NodeAt(f, QStringLiteral("DemoPlant/Boiler")))->checkState, 2);
        f.PressDefault();
    });
    EXPECT_EQ(PlcItems(), before - 1);
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbConnections WHERE ItemID = %1").arg(burnerId)), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE Name = 'Line1.Motor1.Speed'")), 1)
        << "items the browse never reached stay";
}

TEST_F(BrowseTest, ItemsGoneFromAnOpenedFolderAreShownUntickedAndDeletedUnlessTickedAgain) {
    Take("DemoPlant/Boiler");
    auto c = project.Open();
    for (const char* name : {"Boiler.Retired", "Boiler.Kept", "Filling.Unseen"})
        c->Execute(QStringLiteral("INSERT INTO TpdbItems (Name, ItemAccess, DeviceID) VALUES (?, ?, 1)"),
                   {QStringLiteral("DemoPlant.") + QString::fromUtf8(name), kDemo + QString::fromUtf8(name)});
    const int before = PlcItems();
    Browse([](opc::FBrowseItemsOCX& f) {
        NodeAt(f, QStringLiteral("DemoPlant/Boiler/Temperature"));
        const ui::Control& tree = f.Get(kTree);
        const ui::TreeNode* retired = tree.Node(opc::ItemBrowser::GoneKey(kDemo + QStringLiteral("Boiler.Retired")));
        ASSERT_NE(retired, nullptr);
        EXPECT_EQ(retired->parentKey, NodeAt(f, QStringLiteral("DemoPlant/Boiler")));
        EXPECT_EQ(retired->text, Text(9280).replace(QStringLiteral("<s>"), QStringLiteral("Retired")));
        EXPECT_TRUE(retired->data.contains(kDemo + QStringLiteral("Boiler.Retired"))) << "the tooltip names the item";
        f.UserCheckNode(kTree, opc::ItemBrowser::GoneKey(kDemo + QStringLiteral("Boiler.Kept")), true);
        f.PressDefault();
    });
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'|').toStdString();
    EXPECT_EQ(PlcItems(), before - 1);
    EXPECT_TRUE(Field("ID", "Boiler.Retired").isNull());
    EXPECT_FALSE(Field("ID", "Boiler.Kept").isNull()) << "ticked again";
    EXPECT_FALSE(Field("ID", "Filling.Unseen").isNull()) << "its folder was never opened";
}

TEST_F(BrowseTest, TheTreeMarksValuesTakenOverAsVariants) {
    QTemporaryDir dir;
    const QString file = test::WriteFile(dir.filePath(QStringLiteral("recipes.NodeSet2.xml")), R"(<?xml version="1.0" encoding="utf-8"?>
<UANodeSet xmlns="http://opcfoundation.org/UA/2011/03/UANodeSet.xsd">
  <NamespaceUris><Uri>urn:recipes</Uri></NamespaceUris>
  <UAObject NodeId="ns=1;s=Recipes" BrowseName="1:Recipes"><References><Reference ReferenceType="i=35" IsForward="false">i=85</Reference></References></UAObject>
  <UAVariable NodeId="ns=1;s=Recipes.Batch" BrowseName="1:Batch" DataType="i=22"><References><Reference ReferenceType="i=47" IsForward="false">ns=1;s=Recipes</Reference></References></UAVariable>
  <UAVariable NodeId="ns=1;s=Recipes.Any" BrowseName="1:Any" DataType="i=24"><References><Reference ReferenceType="i=47" IsForward="false">ns=1;s=Recipes</Reference></References></UAVariable>
  <UAVariable NodeId="ns=1;s=Recipes.Size" BrowseName="1:Size" DataType="i=11"><References><Reference ReferenceType="i=47" IsForward="false">ns=1;s=Recipes</Reference></References></UAVariable>
</UANodeSet>)");
    ServerKey(kSimulation, "NodeSet", file);
    Browse([](opc::FBrowseItemsOCX& f) {
        NodeAt(f, QStringLiteral("Recipes/Size"));
        QStringList shown;
        for (const ui::TreeNode& node : f.Get(kTree).nodes)
            if (node.parentKey == QStringLiteral("nsu=urn:recipes;s=Recipes")) shown << node.text + u'|' + node.data;
        const QString variant = Text(9284);
        EXPECT_EQ(shown, (QStringList{Text(9282).replace(QStringLiteral("<s>"), QStringLiteral("Batch")) + u'|' +
                                          QString(variant).replace(QStringLiteral("<t>"), QStringLiteral("ExtensionObject")),
                                      Text(9283).replace(QStringLiteral("<s>"), QStringLiteral("Any")) + u'|' +
                                          QString(variant).replace(QStringLiteral("<t>"), QStringLiteral("Variant")),
                                      QStringLiteral("Size|Double")}));
        EXPECT_TRUE(variant.contains(QStringLiteral("VT_VARIANT")));
        f.PressCancel();
    });
}

TEST_F(BrowseTest, DifferingItemsAreAskedForOneByOneUntilAnAnswerForAll) {
    Take("DemoPlant/Boiler");
    auto c = project.Open();
    // Yes to all updates every differing item after one question.
    c->Execute(QStringLiteral("UPDATE TpdbItems SET DataType = 2 WHERE ItemAccess LIKE ? "), {kDemo + QStringLiteral("Boiler.%")});
    ClearShown();
    Answer({1});
    BrowseBoilerAgain();  // items are compared where the person opened the address space
    EXPECT_EQ(Questions(), 1);
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE DataType = 2 AND ItemAccess LIKE 'nsu=%'")), 0);
    EXPECT_EQ(Field("DataType", "Boiler.BurnerOn").toInt(), 11);

    // No leaves the first and Yes takes the second, asking for each.
    c->Execute(QStringLiteral("UPDATE TpdbItems SET AccessRights = 3 WHERE ItemAccess LIKE ?"), {kDemo + QStringLiteral("Boiler.%")});
    ClearShown();
    Answer({2, 0, 3});
    BrowseBoilerAgain();
    // Read-only on the server: Temperature, Pressure, BurnerOn, ... ; the setpoint agrees.
    EXPECT_EQ(Questions(), 3) << "No, Yes, then No to all ends the questions";
    EXPECT_EQ(Field("AccessRights", "Boiler.Temperature").toInt(), 3) << "No: kept";
    EXPECT_EQ(Field("AccessRights", "Boiler.Pressure").toInt(), 1) << "Yes: the server's";
    EXPECT_EQ(Field("AccessRights", "Boiler.BurnerStart").toInt(), 3) << "No to all";
}

TEST_F(BrowseTest, TheDialogIsPreparedFromTheDevice) {
    auto& c = Window().Data()->Connection();
    c.Execute(QStringLiteral("UPDATE TpdbDevices SET HierarchBrowseSeparator = ? WHERE ID = 1"), {QString()});
    Browse([](opc::FBrowseItemsOCX& f) {
        EXPECT_EQ(f.Browser().Separator(), QStringLiteral(".")) << "an empty separator passes the dot (46)";
        EXPECT_EQ(f.Get(kTree).nodes.size(), 1u) << "DemoPlant, the system's nodes hidden";
        f.PressCancel();
    });
    EXPECT_EQ(opc::SplitServerProgId(QStringLiteral("<\\\\PLANT7>OVOPC.Simulation.1")),
              std::make_pair(QStringLiteral("OVOPC.Simulation.1"), QStringLiteral("PLANT7")));
    EXPECT_EQ(opc::SplitServerProgId(QStringLiteral("< host >X.1")), std::make_pair(QStringLiteral("X.1"), QStringLiteral("host")));
    EXPECT_EQ(opc::SplitServerProgId(QStringLiteral("X.1")), std::make_pair(QStringLiteral("X.1"), QString()));
}

TEST_F(BrowseTest, AServerWithoutAnAddressSpaceGivesAMessageAndEmptyLists) {
    const int before = PlcItems();
    // No file registered, and one that is no NodeSet: the message names the server or the file.
    const std::pair<QString, const char*> cases[] = {{QString(), "OVOPC.Simulation.1"},
                                                     {QStringLiteral(OV_FIXTURES "/README.md"), "README.md"}};
    for (const auto& [file, named] : cases) {
        ServerKey(kSimulation, "NodeSet", file);
        ClearShown();
        Browse([](opc::FBrowseItemsOCX& f) {
            EXPECT_TRUE(f.Get(kTree).nodes.empty());
            f.PressDefault();
        });
        ASSERT_FALSE(Messages().isEmpty()) << named;
        EXPECT_TRUE(Messages().front().contains(QString::fromUtf8(named))) << Messages().front().toStdString();
        EXPECT_EQ(PlcItems(), before) << "nothing ticked, nothing deleted";
    }
}

TEST_F(BrowseTest, ANameClashCostsOnlyThatItemAndOneMessageNamesIt) {
    Take("DemoPlant/Boiler");
    // WaterLevel differs from the server; a name typed by hand holds Conveyor.Speed's name.
    auto c = project.Open();
    c->Execute(QStringLiteral("UPDATE TpdbItems SET DataType = 2 WHERE ItemAccess = ?"), {kDemo + QStringLiteral("Boiler.WaterLevel")});
    c->Execute(QStringLiteral("INSERT INTO TpdbItems (Name, ItemAccess, DeviceID) VALUES ('demoplant.conveyor.speed', 'x', 1)"));
    ClearShown();
    const int before = PlcItems();
    Answer({0});
    SwapPressureForConveyor([](opc::FBrowseItemsOCX& f) {
        // The typed item sits in Conveyor's folder by its name but is not on the server: kept by its tick.
        f.UserCheckNode(kTree, opc::ItemBrowser::GoneKey(QStringLiteral("x")), true);
        EXPECT_TRUE(f.Get(QStringLiteral("lblStatus")).caption.contains(Text(9261).replace(QStringLiteral("<l>"), QStringLiteral("1"))))
            << f.Get(QStringLiteral("lblStatus")).caption.toStdString();
    });
    EXPECT_EQ(PlcItems(), before + 7 - 1) << "seven of Conveyor's eight in, Pressure out";
    EXPECT_TRUE(Field("ID", "Conveyor.Speed").isNull());
    EXPECT_EQ(Field("DataType", "Conveyor.ItemCount").toInt(), 21) << "UInt64";
    EXPECT_EQ(Field("DataType", "Boiler.WaterLevel").toInt(), 4) << "the question came and Yes took the server's Float";
    ASSERT_EQ(Messages().size(), 1u) << Messages().join(u'|').toStdString();
    EXPECT_TRUE(Messages().front().startsWith(Text(9262)));
    EXPECT_TRUE(Messages().front().contains(kDemo + QStringLiteral("Conveyor.Speed")));

    // Told again when nothing else is left to do.
    ClearShown();
    Browse([](opc::FBrowseItemsOCX& f) {
        Tick(f, QStringLiteral("DemoPlant/Conveyor/Speed"));
        f.PressDefault();
    });
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_TRUE(Messages().front().startsWith(Text(9262)));
}

TEST_F(BrowseTest, AnItemTheDatabaseRefusesStopsThePhasesAndKeepsTheItemsBeforeIt) {
    Take("DemoPlant/Boiler");
    project.Open()->Execute(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON TpdbItems WHEN NEW.ItemAccess LIKE "
                                           "'%Conveyor.Speed' BEGIN SELECT RAISE(ABORT, 'refused by the plant'); END"));
    ClearShown();
    const int before = PlcItems();
    SwapPressureForConveyor();
    ASSERT_EQ(Messages().size(), 1u);
    const QString message = Messages().front();
    EXPECT_TRUE(message.startsWith(Text(2451))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("DemoPlant.Conveyor.Speed")) && message.contains(QStringLiteral("refused by the plant")))
        << message.toStdString();
    EXPECT_EQ(PlcItems(), before + 2) << "Running and Start, which came before Speed, stay";
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbConnections WHERE GroupID = 1 AND ItemID IN "
                                   "(SELECT ID FROM TpdbItems WHERE ItemAccess LIKE 'nsu=%Conveyor.%')")),
              2)
        << "each with its connection";
    EXPECT_FALSE(Field("ID", "Boiler.Pressure").isNull()) << "the later phases do not run";
}

// Thousands of new items are written many to a savepoint; a refused one
// still keeps exactly the items before it, wherever it falls among them.
TEST(BrowseApplyTest, ARefusedItemAmongThousandsKeepsExactlyTheItemsBeforeIt) {
    for (const int refused : {0, 999, 1000, 1733}) {
        SCOPED_TRACE(refused);
        test::TempProject project;
        auto c = project.Open();
        c->Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, HierarchBrowseSeparator, Enabled) VALUES (1, 'PLC', '.', -1)"));
        c->Execute(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON TpdbItems WHEN NEW.ItemAccess = 'Item%1' "
                                  "BEGIN SELECT RAISE(ABORT, 'refused by the plant'); END")
                       .arg(refused));
        opc::BrowseLists lists;
        for (int i = 0; i < 2500; ++i) {
            opc::BrowseItem item;
            item.itemId = QStringLiteral("Item%1").arg(i);
            item.name = QStringLiteral("Line.Item%1").arg(i);
            item.dataType = 5;
            lists.added.push_back(item);
        }
        int steps = 0;
        opc::ApplyHooks hooks;
        hooks.step = [&steps] { ++steps; };
        opc::ApplyRequest request;
        request.deviceId = 1;
        opc::ApplyCounts counts;
        QString detail;
        EXPECT_FALSE(opc::ApplyBrowse(*c, lists, request, hooks, &counts, &detail));
        EXPECT_TRUE(detail.contains(QStringLiteral("Line.Item%1").arg(refused)) && detail.contains(QStringLiteral("refused by the plant")))
            << detail.toStdString();
        EXPECT_EQ(counts.added, refused);
        EXPECT_EQ(steps, refused) << "one step per item kept, none twice";
        const auto count = [&c](const QString& sql) {
            db::Cursor rows(*c, sql);
            return rows.Next() ? rows.Value(0).toInt() : -1;
        };
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM TpdbItems WHERE DeviceID = 1")), refused);
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM TpdbConnections WHERE GroupID = 1 AND ItemID IN "
                                       "(SELECT ID FROM TpdbItems)")),
                  refused)
            << "each with its connection";
        if (refused > 0) {
            EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM TpdbItems WHERE ItemAccess = 'Item%1'").arg(refused - 1)), 1);
            EXPECT_EQ(count(QStringLiteral("SELECT MAX(ID) - MIN(ID) + 1 FROM TpdbItems")), refused)
                << "the items rolled back with their batch leave no gap in the IDs";
        }
    }
}

// The alias function on: items are named by their item ID and may be renamed.
class NameViewBrowseTest : public BrowseTest {
  protected:
    void SetUp() override {
        project.Open()->DropIndex(QStringLiteral("TpdbItems"), QStringLiteral("UniqueItemAccess"));
        BrowseTest::SetUp();
        ASSERT_TRUE(Window().SwitchViewFlag());
    }
};

TEST_F(NameViewBrowseTest, RenamedItemsAreDeletedAndUpdatedByTheirItemId) {
    Take("DemoPlant/Boiler");
    EXPECT_EQ(Field("Name", "Boiler.Temperature").toString(), kDemo + QStringLiteral("Boiler.Temperature"));
    auto c = project.Open();
    const auto rename = [&](const char* path, const QString& name) {
        c->Execute(QStringLiteral("UPDATE TpdbItems SET Name = ? WHERE ItemAccess = ?"), {name, kDemo + QString::fromUtf8(path)});
    };
    rename("Boiler.Temperature", QStringLiteral("Boiler temperature"));
    rename("Boiler.Pressure", QStringLiteral("Boiler pressure"));
    // A name typed by hand that is Conveyor.Speed's item ID.
    rename("Boiler.FuelFlow", kDemo + QStringLiteral("Conveyor.Speed"));
    c->Execute(QStringLiteral("UPDATE TpdbItems SET DataType = 2 WHERE Name = 'Boiler temperature'"));
    ClearShown();
    const int before = PlcItems();
    QString question;
    ui::DefaultFormRunner().Once(QStringLiteral("FBrowseItemsOCXMessage"), [&question](ui::Form& f) {
        question = f.Get(QStringLiteral("lblMessage")).caption;
        f.UserClick(QStringLiteral("cmdAnswer"), 0);
    });
    SwapPressureForConveyor();
    ASSERT_EQ(Questions(), 1);
    EXPECT_TRUE(question.contains(QStringLiteral("'Boiler temperature'"))) << "named as the project knows it";
    EXPECT_TRUE(Field("ID", "Boiler.Pressure").isNull()) << "deleted although renamed";
    EXPECT_EQ(Field("DataType", "Boiler.Temperature").toInt(), 5) << "updated although renamed";
    EXPECT_EQ(PlcItems(), before - 1 + 7) << "Conveyor.Speed left out";
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_TRUE(Messages().front().contains(QStringLiteral("(item ID %1Boiler.FuelFlow)").arg(kDemo))) << Messages().front().toStdString();
}

TEST_F(BrowseTest, AMissingDeviceIsReportedBeforeTheDialog) {
    auto& c = Window().Data()->Connection();
    Click(plc);
    Window().ComputeAvailability(plc, false);
    c.Execute(QStringLiteral("UPDATE TpdbItems SET DeviceID = 0 WHERE DeviceID = 1"));
    c.Execute(QStringLiteral("DELETE FROM TpdbDevices WHERE ID = 1"));
    ASSERT_TRUE(Window().browseDevice);
    EXPECT_FALSE(Window().browseDevice(1));
    EXPECT_EQ(Messages(), (QStringList{Text(2401), Text(2450)}));
    EXPECT_FALSE(ui::DefaultFormRunner().Shown().contains(QStringLiteral("FBrowseItemsOCX")));
}

}  // namespace
