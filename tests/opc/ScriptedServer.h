#pragma once

// A test's OPC UA server played by tests/fixtures/scripted-helper.js, which
// speaks the helper's lines for a server described in a small JSON file the
// test changes under way (its values, a broken connection, a stopped server).

#include "support/Files.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace ov::test {

inline const QString kTank = QStringLiteral("nsu=urn:scripted;s=Tank.Level");
inline const QString kPump = QStringLiteral("nsu=urn:scripted;s=Pump.Speed");
inline const QString kWrong = QStringLiteral("nsu=urn:scripted;s=Typo");

class ScriptedServer : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty()) GTEST_SKIP() << "node is missing";
        qputenv("OVOPC_OPCUA_HELPER", OV_FIXTURES "/scripted-helper.js");
        qputenv("SCRIPTED_SERVER", server.toLocal8Bit());
        description = {{"values", QJsonObject{{kTank, QJsonObject{{"value", 12.5}}},
                                              {kPump, QJsonObject{{"value", "9007199254740993"}, {"type", "Int64"}}}}}};
        Describe();
    }
    void TearDown() override {
        qunsetenv("OVOPC_OPCUA_HELPER");
        qunsetenv("SCRIPTED_SERVER");
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
    // The monitor, unmonitor, read and write requests the helper got.
    std::vector<QJsonObject> LiveRequests() const {
        std::vector<QJsonObject> requests;
        for (const QByteArray& line : ReadFile(server + QStringLiteral(".live")).split('\n'))
            if (line.startsWith('{')) requests.push_back(QJsonDocument::fromJson(line).object());
        return requests;
    }
    // Polls until done says so or two seconds passed.
    template <typename Done>
    static bool Within(const Done& done, const std::function<void()>& poll) {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > 2000) return false;
            poll();
            QThread::msleep(10);
        }
        return true;
    }

    QTemporaryDir dir;
    QString server = dir.filePath(QStringLiteral("server.json"));
    QJsonObject description;
};

}  // namespace ov::test
