#pragma once

// A test's OPC UA server played by tests/fixtures/scripted-helper.js, which
// speaks the helper's lines for a server described in a small JSON file the
// test changes under way (its values, a broken connection, a stopped server).
// The fixture it extends is plain or the editor on the demo project.

#include "support/Files.h"
#include "TestServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace ov::test {

inline const QString kTank = QStringLiteral("nsu=urn:scripted;s=Tank.Level");
inline const QString kPump = QStringLiteral("nsu=urn:scripted;s=Pump.Speed");
inline const QString kWrong = QStringLiteral("nsu=urn:scripted;s=Typo");

template <class Base = ::testing::Test>
class ScriptedServer : public Base {
  protected:
    void SetUp() override {
        Base::SetUp();
        if (QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty()) GTEST_SKIP() << "node is missing";
        qputenv("OVOPC_OPCUA_HELPER", OV_FIXTURES "/scripted-helper.js");
        qputenv("SCRIPTED_SERVER", server.toLocal8Bit());
        Describe({{"values", QJsonObject{{kTank, QJsonObject{{"value", 12.5}}},
                                         {kPump, QJsonObject{{"value", "9007199254740993"}, {"type", "Int64"}}}}}});
    }
    void TearDown() override {
        qunsetenv("OVOPC_OPCUA_HELPER");
        qunsetenv("SCRIPTED_SERVER");
        Base::TearDown();
    }
    // What the server is like from now on.
    void Describe(const QJsonObject& what) {
        description = what;
        Describe();
    }
    void Describe() { ASSERT_FALSE(WriteFile(server, QJsonDocument(description).toJson()).isEmpty()); }
    void SetValue(const QString& node, const QJsonValue& value) {
        QJsonObject values = description.value("values").toObject();
        QJsonObject v = values.value(node).toObject();
        v.insert("value", value);
        values.insert(node, v);
        description.insert("values", values);
        Describe();
    }
    void BreakConnection() {
        description.insert("epoch", description.value("epoch").toInt() + 1);
        Describe();
    }
    // The connect requests the helper got, in order.
    std::vector<QJsonObject> ConnectRequests() const { return Requests(QStringLiteral(".log")); }
    // The monitor, unmonitor, read and write requests the helper got.
    std::vector<QJsonObject> LiveRequests() const { return Requests(QStringLiteral(".live")); }

    QTemporaryDir dir;
    QString server = dir.filePath(QStringLiteral("server.json"));
    QJsonObject description;

  private:
    std::vector<QJsonObject> Requests(const QString& log) const {
        std::vector<QJsonObject> requests;
        for (const QByteArray& line : ReadFile(server + log).split('\n'))
            if (line.startsWith('{')) requests.push_back(QJsonDocument::fromJson(line).object());
        return requests;
    }
};

}  // namespace ov::test
