// Browsing a live OPC UA server from the editor: the helper's test server
// serving the plant fixture (and a slow generated space) on free loopback
// ports; a refused endpoint, a stopped load and a helper that dies.

#include "components/InstalledPrograms.h"
#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "opc/FBrowseItemsOCX.h"
#include "platform/system/Registry.h"
#include "platform/ui/ModalState.h"
#include "support/EditorTest.h"
#include "support/QtPrinters.h"
#include "TestServer.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ov;
using settings::Text;

namespace {

const QString kPlant = QStringLiteral(OV_SOURCE_DIR "/tests/fixtures/plant.NodeSet2.xml");
const QString kServersKey = QStringLiteral("SOFTWARE\\Senmark GmbH\\Orvana\\4.0\\OPCServers\\");

class LiveBrowseTest : public test::EditorTest {
  protected:
    static void SetUpTestSuite() {
        if (!test::HelperInstalled()) return;
        plant = new test::TestServer({QStringLiteral("--nodeset"), kPlant});
        slow = new test::TestServer({QStringLiteral("--generate"), QStringLiteral("4x300"), QStringLiteral("--delay-ms"),
                                     QStringLiteral("150"), QStringLiteral("--max-nodes-per-browse"), QStringLiteral("20")});
    }
    static void TearDownTestSuite() {
        delete plant;
        delete slow;
        plant = slow = nullptr;
    }
    void SetUp() override {
        if (!test::HelperInstalled()) GTEST_SKIP() << "node or the helper's npm packages are missing (scripts/setup.sh)";
        ASSERT_FALSE(plant->Endpoint().isEmpty()) << "the test server did not start";
        Serve(QStringLiteral("Plant.Live.1"), plant->Endpoint());
        Serve(QStringLiteral("Slow.Live.1"), slow->Endpoint());
        Open();
        ClearShown();
    }
    void TearDown() override {
        ui::SetEventPump({});
        qunsetenv("OVOPC_OPCUA_HELPER");
        EditorTest::TearDown();
    }
    void Serve(const QString& progId, const QString& endpoint) {
        harness.Registry().WriteValue(sys::Hive::LocalMachine, kServersKey + progId, QStringLiteral("Endpoint"), endpoint);
    }
    // PLC1 addresses the server, on the computer given.
    void UseServer(const QString& progId) {
        Window().Data()->Connection().Execute(QStringLiteral("UPDATE TpdbDevices SET ProgID = ? WHERE ID = 1"), {progId});
    }
    void Browse(const std::function<void(opc::FBrowseItemsOCX&)>& script) {
        ui::DefaultFormRunner().Once(QStringLiteral("FBrowseItemsOCX"),
                                     [script](ui::Form& f) { script(dynamic_cast<opc::FBrowseItemsOCX&>(f)); });
        Click(plc);
        Window().RunObjectFunction(QStringLiteral("mnuDeviceFunc"), 5);
    }
    static QString Child(ui::Form& f, const QString& parent, const QString& text) {
        if (!parent.isEmpty()) f.UserExpandNode(QStringLiteral("oib"), parent, true);
        for (const ui::TreeNode& node : f.Get(QStringLiteral("oib")).nodes)
            if (node.parentKey == parent && node.text == text) return node.key;
        return QString();
    }
    int PlcItems() { return Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE DeviceID = 1")); }

    static inline test::TestServer* plant = nullptr;
    static inline test::TestServer* slow = nullptr;
    const QString plc = host::nodekey::DeviceKey(1, QStringLiteral("."), false);
};

TEST_F(LiveBrowseTest, TicksOnTheServerBecomeItemsNamedByTheirBrowseNames) {
    // The device's computer replaces the registered endpoint's host.
    QString endpoint = plant->Endpoint();
    Serve(QStringLiteral("Plant.Live.1"), endpoint.replace(QStringLiteral("127.0.0.1"), QStringLiteral("nowhere.invalid")));
    UseServer(QStringLiteral("<\\\\127.0.0.1>Plant.Live.1"));
    const int before = PlcItems();
    Browse([](opc::FBrowseItemsOCX& f) {
        const QString special = Child(f, Child(f, Child(f, QString(), QStringLiteral("Plant")), QStringLiteral("Line2")),
                                      QStringLiteral("Special"));
        ASSERT_FALSE(special.isEmpty());
        f.UserCheckNode(QStringLiteral("oib"), special, true);
        f.PressDefault();
    });
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'|').toStdString();
    EXPECT_EQ(PlcItems(), before + 5);
    EXPECT_EQ(Query(QStringLiteral("SELECT Name FROM TpdbItems WHERE ItemAccess = "
                                   "'nsu=urn:ovopc:test:plant;s=Plant.Special.Operator''s Note'"))
                  .toString(),
              QStringLiteral("Plant.Line2.Special.Operator's Note"));
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE Name = 'Plant.Line2.Special.Valve_Open'")), 1)
        << "the separator inside a browse name";
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE Name = 'Plant.Line2.Special.Niveau__'")), 1);
}

TEST_F(LiveBrowseTest, AServerThatIsDownGivesAMessageAndChangesNothing) {
    Serve(QStringLiteral("Plant.Live.1"), QStringLiteral("opc.tcp://127.0.0.1:%1").arg(test::FreePort()));
    UseServer(QStringLiteral("Plant.Live.1"));
    const int before = PlcItems();
    Browse([](opc::FBrowseItemsOCX& f) {
        EXPECT_TRUE(f.Get(QStringLiteral("oib")).nodes.empty());
        f.PressDefault();
    });
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_TRUE(Messages().front().contains(QStringLiteral("Cannot connect"))) << Messages().front().toStdString();
    EXPECT_EQ(PlcItems(), before);
}

TEST_F(LiveBrowseTest, StopEndsASlowLoadWithoutTickingAndCancelDuringALoadClosesTheDialog) {
    UseServer(QStringLiteral("Slow.Live.1"));
    const int before = PlcItems();
    Browse([](opc::FBrowseItemsOCX& f) {
        const QString generated = Child(f, QString(), QStringLiteral("Generated"));
        ASSERT_FALSE(generated.isEmpty());
        // The person presses Stop while the folder loads.
        ui::SetEventPump([&f] {
            if (f.Get(QStringLiteral("cmdStop")).enabled) f.UserClick(QStringLiteral("cmdStop"));
        });
        f.UserCheckNode(QStringLiteral("oib"), generated, true);
        EXPECT_EQ(f.Get(QStringLiteral("lblStatus")).caption, Text(9166));
        EXPECT_TRUE(f.Browser().Lists().added.empty());
        EXPECT_TRUE(f.IsShown());
        EXPECT_FALSE(f.Get(QStringLiteral("cmdStop")).enabled);

        ui::SetEventPump([&f] {
            if (f.Get(QStringLiteral("cmdStop")).enabled) f.UserClick(QStringLiteral("cmdCancel"));
        });
        f.UserCheckNode(QStringLiteral("oib"), generated, true);
        EXPECT_FALSE(f.IsShown()) << "closed once the load returned";
        EXPECT_TRUE(f.Cancelled());
    });
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'|').toStdString();
    EXPECT_EQ(PlcItems(), before);
}

TEST_F(LiveBrowseTest, AServerThatGoesAwayMidBrowseGivesAMessageAndNoTicks) {
    auto doomed = std::make_unique<test::TestServer>(QStringList{QStringLiteral("--generate"), QStringLiteral("4x300"),
                                                                 QStringLiteral("--delay-ms"), QStringLiteral("150"),
                                                                 QStringLiteral("--max-nodes-per-browse"), QStringLiteral("20")});
    ASSERT_FALSE(doomed->Endpoint().isEmpty());
    Serve(QStringLiteral("Doomed.Live.1"), doomed->Endpoint());
    UseServer(QStringLiteral("Doomed.Live.1"));
    const int before = PlcItems();
    Browse([&doomed](opc::FBrowseItemsOCX& f) {
        const QString generated = Child(f, QString(), QStringLiteral("Generated"));
        ASSERT_FALSE(generated.isEmpty());
        ui::SetEventPump([&doomed] { doomed.reset(); });
        f.UserCheckNode(QStringLiteral("oib"), generated, true);
        ui::SetEventPump({});
        EXPECT_TRUE(f.Browser().Lists().added.empty());
        EXPECT_TRUE(f.IsShown()) << "the dialog stays for Cancel";
        f.PressCancel();
    });
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_TRUE(Messages().front().contains(QStringLiteral("lost"))) << Messages().front().toStdString();
    EXPECT_EQ(PlcItems(), before);
}

TEST_F(LiveBrowseTest, AHelperThatDiesGivesAMessage) {
    QTemporaryDir dir;
    QFile script(dir.filePath(QStringLiteral("dies.js")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("process.exit(3);\n");
    script.close();
    qputenv("OVOPC_OPCUA_HELPER", script.fileName().toLocal8Bit());
    UseServer(QStringLiteral("Plant.Live.1"));
    const int before = PlcItems();
    Browse([](opc::FBrowseItemsOCX& f) { f.PressDefault(); });
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_TRUE(Messages().front().contains(QStringLiteral("helper"))) << Messages().front().toStdString();
    EXPECT_EQ(PlcItems(), before);
}

}  // namespace
