// The editor's client of the OPC UA helper against a real OPC UA server: the
// helper's own test server serving the plant fixture on a free loopback
// port, started here and stopped by its process ID.

#include "opc/HelperClient.h"
#include "support/QtPrinters.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace ov::opc;

namespace {

const QString kServer = QStringLiteral(OV_SOURCE_DIR "/apps/opcua-helper/server.js");
const QString kPlant = QStringLiteral(OV_SOURCE_DIR "/tests/fixtures/plant.NodeSet2.xml");

// A loopback port nobody listens on at this moment.
int FreePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(s);
    return ntohs(address.sin_port);
}

bool HelperInstalled() {
    return !QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty() &&
           QFile::exists(QStringLiteral(OV_SOURCE_DIR "/apps/opcua-helper/node_modules/node-opcua"));
}

class HelperClientTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!HelperInstalled()) return;
        server = new QProcess;
        server->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server->start(QStringLiteral("node"), {kServer, QStringLiteral("--port"), QString::number(FreePort()),
                                               QStringLiteral("--nodeset"), kPlant});
        // The server says where it listens once it does.
        QByteArray line;
        for (int waited = 0; waited < 60000 && !line.contains('\n'); waited += 100)
            if (server->waitForReadyRead(100)) line += server->readAllStandardOutput();
        endpoint = QJsonDocument::fromJson(line.left(line.indexOf('\n'))).object().value(QLatin1String("endpoint")).toString();
    }
    static void TearDownTestSuite() {
        if (!server) return;
        server->kill();
        server->waitForFinished(5000);
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

    static inline QProcess* server = nullptr;
    static inline QString endpoint;
};

TEST_F(HelperClientTest, BrowsesTheServerLevelByLevel) {
    HelperClient client;
    QString error;
    ASSERT_TRUE(client.Start(&error)) << error.toStdString();
    ASSERT_TRUE(client.Connect(endpoint, &error)) << error.toStdString();
    const auto top = client.Browse(QString(), &error);
    ASSERT_TRUE(top) << error.toStdString();
    const OpcNode* plant = Named(*top, "Plant");
    ASSERT_NE(plant, nullptr);
    EXPECT_EQ(plant->nodeId, QStringLiteral("nsu=urn:ovopc:test:plant;s=Plant"));
    const auto lines = client.Browse(plant->nodeId, &error);
    ASSERT_TRUE(lines) << error.toStdString();
    const OpcNode* line1 = Named(*lines, "Line1");
    ASSERT_NE(line1, nullptr);
    const auto motors = client.Browse(line1->nodeId, &error);
    ASSERT_TRUE(motors);
    const auto motor1 = client.Browse(Named(*motors, "Motor1")->nodeId, &error);
    ASSERT_TRUE(motor1);
    ASSERT_NE(Named(*motor1, "Mode"), nullptr);
    EXPECT_EQ(ClassicDataType(*Named(*motor1, "Mode")), 3) << "an enumeration is Int32";
    EXPECT_EQ(ClassicDataType(*Named(*motor1, "Température")), 5);
    EXPECT_EQ(Named(*motor1, "Start"), nullptr) << "methods are no items";
    const qint64 pid = client.ProcessId();
    EXPECT_GT(pid, 0);
    client.Stop();
    EXPECT_FALSE(client.IsRunning());
}

TEST_F(HelperClientTest, AClosedPortAndADeadHelperGiveAMessage) {
    HelperClient client;
    QString error;
    ASSERT_TRUE(client.Start(&error)) << error.toStdString();
    EXPECT_FALSE(client.Connect(QStringLiteral("opc.tcp://127.0.0.1:%1").arg(FreePort()), &error, 2000));
    EXPECT_TRUE(error.contains(QStringLiteral("Cannot connect"))) << error.toStdString();
    // Without a connection a browse is refused, not hung.
    EXPECT_FALSE(client.Browse(QString(), &error));
    EXPECT_FALSE(error.isEmpty());

    // The helper killed behind the client's back: the next call says so.
    ASSERT_TRUE(client.Connect(endpoint, &error)) << error.toStdString();
    QProcess::execute(QStringLiteral("kill"), {QStringLiteral("-9"), QString::number(client.ProcessId())});
    EXPECT_FALSE(client.Browse(QString(), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("helper"))) << error.toStdString();
    EXPECT_FALSE(client.IsRunning());
}

}  // namespace
