// Online values against the real test server stopped and started again on
// its port: watched again without any call. Its values, writes and a wrong
// ID are the online grid's test against the same server.

#include "opc/OnlineValues.h"
#include "support/QtPrinters.h"
#include "TestServer.h"

#include <gtest/gtest.h>

using namespace ov;

namespace {

TEST(LiveServerValuesTest, AServerStoppedAndStartedIsOnlineAgainWithoutAnyCall) {
    if (!test::HelperInstalled()) GTEST_SKIP() << "node or the helper's npm packages are missing (scripts/setup.sh)";
    auto server = std::make_unique<test::TestServer>(QStringList{QStringLiteral("--alive")});
    ASSERT_FALSE(server->Endpoint().isEmpty());
    opc::ServerSettings settings;
    settings.endpoint = server->Endpoint();
    opc::OnlineValues online(std::make_unique<opc::ServerSource>(settings, opc::ServerAskers{}));
    online.reconnectMs = 500;
    QString error;
    ASSERT_TRUE(online.Open(&error)) << error.toStdString();
    opc::OnlineItem ramp;
    ramp.itemId = 1;
    ramp.nodeId = QStringLiteral("nsu=urn:ovopc:alive;s=Alive.Ramp");
    ramp.dataType = 5;  // VT_R8
    ramp.samplingMs = 100;
    ASSERT_TRUE(online.Show({ramp}, &error)) << error.toStdString();
    // Polls until the ramp's quality is the one given, for at most the time given.
    const auto reaches = [&online](const char* quality, int ms) {
        const auto has = [&] { return online.Value(1) && online.Value(1)->quality == QString::fromUtf8(quality); };
        return test::Within(has, [&online] { online.Poll(); }, ms);
    };
    ASSERT_TRUE(reaches("Good", 10000));
    const int port = server->Port();
    server.reset();
    EXPECT_TRUE(reaches("Bad_ConnectionLost", 30000));
    server = std::make_unique<test::TestServer>(QStringList{QStringLiteral("--alive")}, port);
    ASSERT_FALSE(server->Endpoint().isEmpty());
    EXPECT_TRUE(reaches("Good", 60000));
}

}  // namespace
