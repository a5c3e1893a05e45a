// Online values against the real test server and its changing variables:
// values that arrive and change, a wrong ID, writes the server takes or
// refuses, and a server stopped and started again.

#include "opc/OnlineValues.h"
#include "support/Files.h"
#include "support/QtPrinters.h"
#include "TestServer.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace ov;

namespace {

const QString kRamp = QStringLiteral("nsu=urn:ovopc:alive;s=Alive.Ramp");
const QString kSetpoint = QStringLiteral("nsu=urn:ovopc:alive;s=Alive.Setpoint");
const QString kReadOnly = QStringLiteral("nsu=urn:ovopc:alive;s=Alive.ReadOnly");
const QString kMissing = QStringLiteral("nsu=urn:ovopc:alive;s=Alive.Typo");
constexpr int kR8 = 5;

opc::OnlineItem Item(int id, const QString& nodeId, const QString& name = {}) {
    opc::OnlineItem item;
    item.itemId = id;
    item.nodeId = nodeId;
    item.dataType = kR8;
    item.samplingMs = 100;
    item.name = name;
    return item;
}

class LiveServerValuesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!test::HelperInstalled()) GTEST_SKIP() << "node or the helper's npm packages are missing (scripts/setup.sh)";
        server = std::make_unique<test::TestServer>(QStringList{QStringLiteral("--alive")});
        ASSERT_FALSE(server->Endpoint().isEmpty());
        opc::ServerSettings settings;
        settings.endpoint = server->Endpoint();
        online = std::make_unique<opc::OnlineValues>(std::make_unique<opc::ServerSource>(settings, opc::ServerAskers{}));
        online->reconnectMs = 500;
        online->writeLog = opc::WriteLogPath(dir.filePath(QStringLiteral("plant.mdb")));
        QString error;
        ASSERT_TRUE(online->Open(&error)) << error.toStdString();
    }
    QString QualityOf(int id) const {
        const opc::ItemValue* value = online->Value(id);
        return value ? value->quality : QString();
    }
    bool Until(const std::function<bool()>& done, int ms = 10000) {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > ms) return false;
            online->Poll();
            QThread::msleep(20);
        }
        return true;
    }

    QTemporaryDir dir;
    std::unique_ptr<test::TestServer> server;
    std::unique_ptr<opc::OnlineValues> online;
};

TEST_F(LiveServerValuesTest, ValuesArriveAndChangeAndAWrongIdIsBad) {
    QString error;
    ASSERT_TRUE(online->Show({Item(1, kRamp), Item(2, kMissing)}, &error)) << error.toStdString();
    EXPECT_EQ(QualityOf(2), QStringLiteral("Bad_NodeIdUnknown"));
    ASSERT_TRUE(Until([&] { return QualityOf(1) == QStringLiteral("Good"); }));
    const QString first = online->Value(1)->value;
    EXPECT_FALSE(online->Value(1)->time.isEmpty());
    EXPECT_TRUE(Until([&] { return online->Value(1)->value != first; })) << "the ramp moves by itself";
}

TEST_F(LiveServerValuesTest, WritesAreTakenRefusedOrNotSent) {
    opc::OnlineItem setpoint = Item(1, kSetpoint, QStringLiteral("Setpoint"));
    setpoint.minVal = 0.0;
    setpoint.maxVal = 50.0;
    QString error;
    ASSERT_TRUE(online->Show({setpoint}, &error)) << error.toStdString();
    ASSERT_TRUE(Until([&] { return QualityOf(1) == QStringLiteral("Good"); }));

    EXPECT_EQ(online->Write(setpoint, QStringLiteral("21,5")).status, QStringLiteral("Good"));
    EXPECT_TRUE(Until([&] { return online->Value(1)->raw.toDouble() == 21.5; })) << "the server holds the new value";
    const opc::WriteOutcome readOnly = online->Write(Item(2, kReadOnly, QStringLiteral("ReadOnly")), QStringLiteral("1"));
    EXPECT_TRUE(readOnly.sent);
    EXPECT_TRUE(readOnly.status.startsWith(QLatin1String("Bad"))) << readOnly.status.toStdString();
    for (const char* typed : {"50,5", "abc"}) EXPECT_FALSE(online->Write(setpoint, QString::fromLatin1(typed)).sent) << typed;

    const QList<QByteArray> lines = test::ReadFile(online->writeLog).trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2) << "only what was sent is recorded";
    EXPECT_TRUE(lines[0].contains("\tSetpoint\t20\t21.5\tGood") || lines[0].contains("\tSetpoint\t20\t21,5\tGood"))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains("\tReadOnly\t42")) << lines[1].toStdString();
}

TEST_F(LiveServerValuesTest, AServerStoppedAndStartedIsOnlineAgainWithoutAnyCall) {
    QString error;
    ASSERT_TRUE(online->Show({Item(1, kRamp)}, &error)) << error.toStdString();
    ASSERT_TRUE(Until([&] { return QualityOf(1) == QStringLiteral("Good"); }));
    const int port = server->Port();
    server.reset();
    EXPECT_TRUE(Until([&] { return QualityOf(1) == QStringLiteral("Bad_ConnectionLost"); }, 30000));
    server = std::make_unique<test::TestServer>(QStringList{QStringLiteral("--alive")}, port);
    ASSERT_FALSE(server->Endpoint().isEmpty());
    EXPECT_TRUE(Until([&] { return QualityOf(1) == QStringLiteral("Good"); }, 60000));
}

}  // namespace
