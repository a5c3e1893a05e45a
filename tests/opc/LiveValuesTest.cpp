// Live values through the helper's lines: watching nodes, the values that
// arrive while nobody waits, reads and writes. The helper is played by
// tests/fixtures/scripted-helper.js for a server described in a JSON file
// the tests change under way.

#include "opc/HelperClient.h"
#include "support/QtPrinters.h"
#include "ScriptedServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <gtest/gtest.h>

using namespace ov;
using test::kPump;
using test::kTank;
using test::kWrong;

namespace {

class HelperLiveTest : public test::ScriptedServer<> {
  protected:
    void SetUp() override {
        ScriptedServer::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(client.Start(&error)) << error.toStdString();
        ASSERT_TRUE(client.Connect(QStringLiteral("opc.tcp://scripted:4840"), &error)) << error.toStdString();
        client.onValues = [this](const std::vector<opc::LiveValue>& values) {
            arrived.insert(arrived.end(), values.begin(), values.end());
        };
    }
    bool Arrives(const std::function<bool()>& done) {
        return test::Within(done, [this] { client.PollEvents(); });
    }
    opc::HelperClient client;
    QString error;  // why the last call failed
    std::vector<opc::LiveValue> arrived;
};

TEST_F(HelperLiveTest, WatchedNodesSendTheirValuesAndChangesWithoutARequest) {
    const auto results = client.Monitor({{7, kTank, 250}, {8, kWrong, 1000}, {9, kPump, 100}}, &error, 100);
    ASSERT_TRUE(results) << error.toStdString();
    std::vector<std::pair<int, QString>> statuses;
    for (const opc::MonitorResult& result : *results) statuses.emplace_back(result.handle, result.status);
    EXPECT_EQ(statuses, (std::vector<std::pair<int, QString>>{{7, "Good"}, {8, "BadNodeIdUnknown"}, {9, "Good"}}));
    const std::vector<QJsonObject> sent = LiveRequests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].value("publishingIntervalMs").toInt(), 100);
    EXPECT_EQ(sent[0].value("items").toArray().at(0).toObject(),
              (QJsonObject{{"handle", 7}, {"nodeId", kTank}, {"samplingMs", 250}}));

    // The first values come right behind the answer and are not lost while it is read.
    ASSERT_TRUE(Arrives([&] { return arrived.size() >= 2; }));
    const opc::LiveValue& tank = arrived[0];
    EXPECT_EQ(std::tie(tank.handle, tank.value, tank.type, tank.status, tank.sourceTime),
              std::tuple(7, QJsonValue(12.5), QStringLiteral("Double"), QStringLiteral("Good"), QStringLiteral("2026-12-06T10:00:00.123Z")));
    EXPECT_EQ(arrived[1].value.toString(), QStringLiteral("9007199254740993")) << "Int64 keeps every digit";

    arrived.clear();
    SetValue(kTank, 13.0);
    ASSERT_TRUE(Arrives([&] { return !arrived.empty(); }));
    ASSERT_EQ(arrived.size(), 1u) << "only what changed";
    EXPECT_EQ(arrived[0].value.toDouble(), 13.0);

    // Values that come while a request waits for its answer reach the same place.
    arrived.clear();
    ASSERT_TRUE(client.Unmonitor({9, 12345}, &error)) << error.toStdString();
    SetValue(kTank, 14.0);
    SetValue(kPump, "1");
    QThread::msleep(150);
    ASSERT_TRUE(client.Read({kTank}, &error)) << error.toStdString();
    ASSERT_TRUE(Arrives([&] { return !arrived.empty(); }));
    EXPECT_EQ(arrived.size(), 1u) << "the unwatched node sends nothing";
    EXPECT_EQ(arrived[0].handle, 7);
}

TEST_F(HelperLiveTest, ReadsAndWritesGiveTheServersAnswer) {
    const auto values = client.Read({kWrong, kTank}, &error);
    ASSERT_TRUE(values) << error.toStdString();
    ASSERT_EQ(values->size(), 2u);
    EXPECT_EQ((*values)[0].status, QStringLiteral("BadNodeIdUnknown"));
    EXPECT_TRUE((*values)[0].value.isNull());
    EXPECT_EQ((*values)[1].value.toDouble(), 12.5);

    description.insert("refuse", QJsonObject{{kPump, "BadUserAccessDenied"}});
    Describe();
    EXPECT_EQ(client.Write(kTank, 3.5, &error), QStringLiteral("Good")) << error.toStdString();
    EXPECT_EQ(client.Write(kPump, QStringLiteral("12"), &error), QStringLiteral("BadUserAccessDenied")) << error.toStdString();
    EXPECT_EQ(client.Write(kTank, QJsonObject{{"x", 1}}, &error), std::nullopt);
    EXPECT_TRUE(error.contains(QStringLiteral("does not convert"))) << error.toStdString();
    EXPECT_EQ(LiveRequests().back().value("value").toObject(), (QJsonObject{{"x", 1}}));
}

TEST_F(HelperLiveTest, ALostConnectionIsNoticedWhileNobodyAsks) {
    ASSERT_TRUE(client.Monitor({{1, kTank, 100}}, &error)) << error.toStdString();
    EXPECT_FALSE(client.ConnectionLost());
    BreakConnection();
    EXPECT_TRUE(Arrives([&] { return client.ConnectionLost(); }));
    EXPECT_FALSE(client.Monitor({{1, kTank, 100}}, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("not connected"))) << error.toStdString();

    client.Stop();
    EXPECT_FALSE(client.PollEvents()) << "a helper that is gone says so";
}

TEST(HelperLineTest, LiveLinesAreRead) {
    const opc::HelperLine values = opc::ParseHelperLine(
        R"({"event":"values","values":[{"handle":7,"value":"NaN","type":"Double","status":"Good"},)"
        R"({"handle":8,"value":null,"type":"Null","status":"BadNodeIdUnknown"},{"handle":9,"type":"Int32[]","value":[1,2]}]})");
    ASSERT_EQ(values.values.size(), 3u);
    EXPECT_EQ(values.values[0].value.toString(), QStringLiteral("NaN"));
    EXPECT_TRUE(values.values[1].value.isNull());
    EXPECT_EQ(values.values[2].value.toArray().size(), 2);
    const opc::HelperLine monitored = opc::ParseHelperLine(R"({"id":3,"ok":true,"results":[{"handle":7,"status":"Good"},{"status":5}]})");
    ASSERT_EQ(monitored.results.size(), 2u);
    EXPECT_EQ(monitored.results[1].handle, -1);
    EXPECT_TRUE(monitored.results[1].status.isEmpty());
}

}  // namespace
