// The editor's client of the OPC UA helper against a real OPC UA server: the
// helper's own test server serving the plant fixture on a free loopback
// port, started here and stopped by its process ID.

#include "opc/HelperClient.h"
#include "support/QtPrinters.h"
#include "TestServer.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace ov;
using namespace ov::opc;

namespace {

const QString kPlant = QStringLiteral(OV_SOURCE_DIR "/tests/fixtures/plant.NodeSet2.xml");

using test::HelperInstalled;

class HelperClientTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!HelperInstalled()) return;
        server = new test::TestServer({QStringLiteral("--nodeset"), kPlant});
        endpoint = server->Endpoint();
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        if (!HelperInstalled()) GTEST_SKIP() << "node or the helper's npm packages are missing (scripts/setup.sh)";
        ASSERT_FALSE(endpoint.isEmpty()) << "the test server did not start";
    }

    static const OpcNode* Named(const std::vector<OpcNode>& nodes, const char* name) {
        for (const OpcNode& node : nodes)
            if (node.browseName == QString::fromUtf8(name)) return &node;
        return nullptr;
    }

    static inline test::TestServer* server = nullptr;
    static inline QString endpoint;
};

TEST_F(HelperClientTest, BrowsesTheServerLevelByLevel) {
    HelperClient client;
    QString error;
    ASSERT_TRUE(client.Start(&error)) << error.toStdString();
    ASSERT_TRUE(client.Connect(endpoint, &error)) << error.toStdString();
    // Down to Motor1, one level per call.
    auto nodes = client.Browse(QString(), &error);
    QString id = QStringLiteral("nsu=urn:ovopc:test:plant;s=");
    for (const char* name : {"Plant", "Line1", "Motor1"}) {
        ASSERT_TRUE(nodes) << name << ": " << error.toStdString();
        const OpcNode* node = Named(*nodes, name);
        ASSERT_NE(node, nullptr) << name;
        id += (id.endsWith(u'=') ? QString() : QStringLiteral(".")) + QString::fromUtf8(name);
        EXPECT_EQ(node->nodeId, id) << "with the namespace URI";
        nodes = client.Browse(node->nodeId, &error);
    }
    ASSERT_TRUE(nodes) << error.toStdString();
    ASSERT_NE(Named(*nodes, "Mode"), nullptr);
    EXPECT_EQ(ClassicDataType(*Named(*nodes, "Mode")), 3) << "an enumeration is Int32";
    EXPECT_EQ(ClassicDataType(*Named(*nodes, "Température")), 5);
    EXPECT_EQ(Named(*nodes, "Start"), nullptr) << "methods are no items";
    EXPECT_GT(client.ProcessId(), 0);
    client.Stop();
    EXPECT_FALSE(client.IsRunning());
}

TEST_F(HelperClientTest, NoConnectionAndADeadHelperGiveAMessage) {
    HelperClient client;
    QString error;
    ASSERT_TRUE(client.Start(&error)) << error.toStdString();
    // Without a connection a browse is refused, not hung (a server that is
    // down is reported through the browse dialog).
    EXPECT_FALSE(client.Browse(QString(), &error));
    EXPECT_FALSE(error.isEmpty());

    // The helper killed behind the client's back: the next call says so.
    ASSERT_TRUE(client.Connect(endpoint, &error)) << error.toStdString();
    QProcess::execute(QStringLiteral("kill"), {QStringLiteral("-9"), QString::number(client.ProcessId())});
    EXPECT_FALSE(client.Browse(QString(), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("helper"))) << error.toStdString();
    EXPECT_FALSE(client.IsRunning());
}

// What a broken or hostile helper writes is read without harm (found by
// fuzzing: an array length beyond 32 bits was undefined behaviour).
TEST(HelperLineTest, LinesAreReadWhateverTheyHold) {
    const opc::HelperLine nodes = opc::ParseHelperLine(
        R"({"id":7,"event":"nodes","nodes":[{"nodeId":"ns=1;s=A","browseName":"A","nodeClass":"Variable",)"
        R"("dataType":"Double","valueRank":1,"arrayDimensions":[1e85,-3,"x",7,4294967295]},{"nodeId":"ns=1;s=F"}]})");
    EXPECT_EQ(nodes.id, 7);
    EXPECT_EQ(nodes.event, QStringLiteral("nodes"));
    ASSERT_EQ(nodes.nodes.size(), 2u);
    EXPECT_EQ(nodes.nodes[0].arrayDimensions, (std::vector<quint32>{0, 0, 0, 7, 4294967295u}));
    EXPECT_EQ(nodes.nodes[0].displayName, QStringLiteral("A")) << "the browse name stands in for a missing display name";
    EXPECT_FALSE(nodes.nodes[1].isVariable);

    const opc::HelperLine answer = opc::ParseHelperLine(R"({"id":7,"ok":false,"error":"BadNodeIdUnknown"})");
    EXPECT_TRUE(answer.event.isEmpty());
    EXPECT_FALSE(answer.ok);
    EXPECT_EQ(answer.error, QStringLiteral("BadNodeIdUnknown"));

    for (const char* broken : {"", "not json", "[1,2]", "{\"id\":\"7\"}", "{\"id\":1e99}", "\xff\xfe{"}) {
        const opc::HelperLine line = opc::ParseHelperLine(broken);
        EXPECT_EQ(line.id, -1) << broken;
        EXPECT_TRUE(line.event.isEmpty() && line.nodes.empty()) << broken;
    }
}

}  // namespace
