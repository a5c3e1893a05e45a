// Browsing a live OPC UA server from the editor and through the helper's
// client: the helper's test server serving the plant fixture (and a slow
// generated space) on free loopback ports, stopped by its process ID; a
// refused endpoint, a stopped load and a helper that dies.

#include "opc/HelperClient.h"
#include "support/Files.h"
#include "support/QtPrinters.h"
#include "OpcEditorTest.h"
#include "TestServer.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ov;
using settings::Text;

namespace {

const QString kPlant = QStringLiteral(OV_SOURCE_DIR "/tests/fixtures/plant.NodeSet2.xml");
// A generated space that answers each browse slowly, 20 nodes at a time.
const QStringList kSlowSpace{"--generate", "4x300", "--delay-ms", "150", "--max-nodes-per-browse", "20"};

class LiveBrowseTest : public test::OpcEditorTest {
  protected:
    static void SetUpTestSuite() {
        if (!test::HelperInstalled()) return;
        UseOwnPki();
        plant = new test::TestServer({QStringLiteral("--nodeset"), kPlant});
        slow = new test::TestServer(kSlowSpace);
    }
    static void TearDownTestSuite() {
        delete plant;
        delete slow;
        plant = slow = nullptr;
        DropOwnPki();
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
        qunsetenv("OVOPC_OPCUA_HELPER");
        OpcEditorTest::TearDown();
    }
    void Serve(const QString& progId, const QString& endpoint) { ServerKey(progId, "Endpoint", endpoint); }
    // Browses PLC1 and expects nothing but one message that says what.
    void ExpectOneMessageAndNoChange(const char* says, const std::function<void(opc::FBrowseItemsOCX&)>& script) {
        const int before = PlcItems();
        Browse(script);
        ASSERT_EQ(Messages().size(), 1);
        EXPECT_TRUE(Messages().front().contains(QString::fromUtf8(says))) << Messages().front().toStdString();
        EXPECT_EQ(PlcItems(), before);
    }

    static inline test::TestServer* plant = nullptr;
    static inline test::TestServer* slow = nullptr;
};

TEST_F(LiveBrowseTest, TicksOnTheServerBecomeItemsNamedByTheirBrowseNames) {
    // The device's computer replaces the registered endpoint's host.
    QString endpoint = plant->Endpoint();
    Serve(QStringLiteral("Plant.Live.1"), endpoint.replace(QStringLiteral("127.0.0.1"), QStringLiteral("nowhere.invalid")));
    UseServer(QStringLiteral("<\\\\127.0.0.1>Plant.Live.1"));
    const int before = PlcItems();
    Browse([](opc::FBrowseItemsOCX& f) {
        const QString special = NodeAt(f, QStringLiteral("Plant/Line2/Special"));
        ASSERT_FALSE(special.isEmpty());
        f.UserCheckNode(kTree, special, true);
        f.PressDefault();
    });
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'|').toStdString();
    EXPECT_EQ(PlcItems(), before + 5);
    EXPECT_EQ(Query(QStringLiteral("SELECT Name FROM TpdbItems WHERE ItemAccess = "
                                   "'nsu=urn:ovopc:test:plant;s=Plant.Special.Operator''s Note'"))
                  .toString(),
              QStringLiteral("Plant.Line2.Special.Operator's Note"));
    // How browse names with the separator or letters beyond ASCII become names is the comparison's test.
}

TEST_F(LiveBrowseTest, AServerThatIsDownGivesAMessageInTheInterfaceLanguageAndChangesNothing) {
    const QString endpoint = QStringLiteral("opc.tcp://127.0.0.1:%1").arg(test::FreePort());
    Serve(QStringLiteral("Plant.Live.1"), endpoint);
    UseServer(QStringLiteral("Plant.Live.1"));
    ExpectOneMessageAndNoChange("Cannot connect", [](opc::FBrowseItemsOCX& f) {
        EXPECT_TRUE(f.Get(kTree).nodes.empty());
        f.PressDefault();
    });
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_EQ(Messages().front().count(endpoint), 1) << Messages().front().toStdString();

    auto& texts = settings::TextTable::Instance();
    texts.SetLanguage(settings::TextTable::kGerman);
    ClearShown();
    Browse([](opc::FBrowseItemsOCX& f) { f.PressDefault(); });
    texts.SetLanguage(settings::TextTable::kEnglish);
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_TRUE(Messages().front().contains(QStringLiteral("Verbindung abgelehnt"))) << Messages().front().toStdString();
    EXPECT_FALSE(Messages().front().contains(QStringLiteral("refused")));
}

TEST_F(LiveBrowseTest, StopEndsASlowLoadWithoutTickingAndCancelDuringALoadClosesTheDialog) {
    UseServer(QStringLiteral("Slow.Live.1"));
    const int before = PlcItems();
    Browse([](opc::FBrowseItemsOCX& f) {
        const QString generated = NodeAt(f, QStringLiteral("Generated"));
        ASSERT_FALSE(generated.isEmpty());
        // The person presses Stop while the folder loads.
        ui::SetEventPump([&f] {
            if (f.Get(QStringLiteral("cmdStop")).enabled) f.UserClick(QStringLiteral("cmdStop"));
        });
        f.UserCheckNode(kTree, generated, true);
        EXPECT_EQ(f.Get(QStringLiteral("lblStatus")).caption, Text(9166));
        EXPECT_TRUE(f.Browser().Lists().added.empty());
        EXPECT_TRUE(f.IsShown());
        EXPECT_FALSE(f.Get(QStringLiteral("cmdStop")).enabled);

        ui::SetEventPump([&f] {
            if (f.Get(QStringLiteral("cmdStop")).enabled) f.UserClick(QStringLiteral("cmdCancel"));
        });
        f.UserCheckNode(kTree, generated, true);
        EXPECT_FALSE(f.IsShown()) << "closed once the load returned";
        EXPECT_TRUE(f.Cancelled());
    });
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'|').toStdString();
    EXPECT_EQ(PlcItems(), before);
}

TEST_F(LiveBrowseTest, AServerThatGoesAwayMidBrowseGivesAMessageAndNoTicks) {
    auto doomed = std::make_unique<test::TestServer>(kSlowSpace);
    ASSERT_FALSE(doomed->Endpoint().isEmpty());
    Serve(QStringLiteral("Doomed.Live.1"), doomed->Endpoint());
    UseServer(QStringLiteral("Doomed.Live.1"));
    ExpectOneMessageAndNoChange("lost", [&doomed](opc::FBrowseItemsOCX& f) {
        const QString generated = NodeAt(f, QStringLiteral("Generated"));
        ASSERT_FALSE(generated.isEmpty());
        ui::SetEventPump([&doomed] { doomed.reset(); });
        f.UserCheckNode(kTree, generated, true);
        ui::SetEventPump({});
        EXPECT_TRUE(f.Browser().Lists().added.empty());
        EXPECT_TRUE(f.IsShown()) << "the dialog stays for Cancel";
        f.PressCancel();
    });
}

TEST_F(LiveBrowseTest, AHelperThatDiesGivesAMessage) {
    QTemporaryDir dir;
    const QString script = test::WriteFile(dir.filePath(QStringLiteral("dies.js")), "process.exit(3);\n");
    ASSERT_FALSE(script.isEmpty());
    qputenv("OVOPC_OPCUA_HELPER", script.toLocal8Bit());
    UseServer(QStringLiteral("Plant.Live.1"));
    ExpectOneMessageAndNoChange("helper", [](opc::FBrowseItemsOCX& f) { f.PressDefault(); });
}

// A Stop during a connect that gets no answer is the browse dialog's test with the scripted
// helper (the client gives up the same way whichever helper it runs).
TEST_F(LiveBrowseTest, AConnectThatGetsNoAnswerEndsAfterTheServersTimeout) {
    test::SilentListener silent;
    opc::ServerSettings settings;
    settings.endpoint = silent.Endpoint();
    settings.timeoutSeconds = 1;
    opc::ServerSource bounded(settings, {});
    QString error;
    // The helper is up first: only the connect is timed.
    ASSERT_TRUE(bounded.Client().Start(&error)) << error.toStdString();
    QElapsedTimer waited;
    waited.start();
    EXPECT_FALSE(bounded.Open(&error));
    EXPECT_LT(waited.elapsed(), 4000) << "Timeout 1";
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot connect to ") + settings.endpoint)) << error.toStdString();
    EXPECT_EQ(error.count(settings.endpoint), 1) << error.toStdString();
}

// The node of a browsed level with the browse name given.
const opc::OpcNode* Named(const std::vector<opc::OpcNode>& nodes, const char* name) {
    for (const opc::OpcNode& node : nodes)
        if (node.browseName == QString::fromUtf8(name)) return &node;
    return nullptr;
}

TEST_F(LiveBrowseTest, TheHelperClientBrowsesLevelByLevelAndSaysWhenItCannot) {
    opc::HelperClient client;
    QString error;
    ASSERT_TRUE(client.Start(&error)) << error.toStdString();
    // Without a connection a browse is refused, not hung (a server that is
    // down is reported through the browse dialog).
    EXPECT_FALSE(client.Browse(QString(), &error));
    EXPECT_FALSE(error.isEmpty());

    ASSERT_TRUE(client.Connect(plant->Endpoint(), &error)) << error.toStdString();
    // Down to Motor1, one level per call.
    auto nodes = client.Browse(QString(), &error);
    QString id = QStringLiteral("nsu=urn:ovopc:test:plant;s=");
    for (const char* name : {"Plant", "Line1", "Motor1"}) {
        ASSERT_TRUE(nodes) << name << ": " << error.toStdString();
        const opc::OpcNode* node = Named(*nodes, name);
        ASSERT_NE(node, nullptr) << name;
        id += (id.endsWith(u'=') ? QString() : QStringLiteral(".")) + QString::fromUtf8(name);
        EXPECT_EQ(node->nodeId, id) << "with the namespace URI";
        nodes = client.Browse(node->nodeId, &error);
    }
    // Motor1's variables; their types and what is left out are the helper's and the NodeSet tests' part.
    ASSERT_TRUE(nodes) << error.toStdString();
    EXPECT_NE(Named(*nodes, "Mode"), nullptr);
    client.Stop();
    EXPECT_FALSE(client.IsRunning());

    // Started again, the helper killed behind the client's back: the next call says so.
    ASSERT_TRUE(client.Start(&error) && client.Connect(plant->Endpoint(), &error)) << error.toStdString();
    ASSERT_GT(client.ProcessId(), 0);
    QProcess::execute(QStringLiteral("kill"), {QStringLiteral("-9"), QString::number(client.ProcessId())});
    EXPECT_FALSE(client.Browse(QString(), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("helper"))) << error.toStdString();
    EXPECT_FALSE(client.IsRunning());
}

TEST_F(LiveBrowseTest, AFolderTickTakesTheWholeSubtreeFromTheServer) {
    // The helper's own tests check the order of its tree answer; here the client takes all of it.
    QString error;
    opc::ItemBrowser browser;
    browser.SetSource(std::make_unique<opc::ServerSource>(plant->Endpoint()));
    ASSERT_TRUE(browser.Start(&error)) << error.toStdString();
    const QString top = browser.Resolve(QStringLiteral("Plant"), &error);
    ASSERT_TRUE(browser.SetTicked(top, true, &error)) << error.toStdString();
    EXPECT_EQ(browser.Lists().added.size(), 33u) << "all 34 variables but the property";
    EXPECT_EQ(browser.CheckStates().value(browser.Resolve(QStringLiteral("Plant/Line1"), &error)), 1);
}

}  // namespace
