// The demo's Weather device against the server scripts/demo.sh starts (the
// demo NodeSet with the changing values): every item is a node of that
// server, of the item's type and with the item's write rights, and its values
// lie in the item's range and change by themselves.

#include "opc/HelperClient.h"
#include "platform/db/Recordset.h"
#include "support/TempProject.h"
#include "TestServer.h"

#include <QHash>
#include <QThread>
#include <gtest/gtest.h>

using namespace ov;

namespace {

constexpr int kR8 = 5;
constexpr int kWriteRight = 2;

struct WeatherItem {
    QString name;
    QString nodeId;
    int dataType = 0;
    int accessRights = 0;
    double minVal = 0;
    double maxVal = 0;
};

std::vector<WeatherItem> WeatherItems() {
    const test::TempProject project(test::TempProject::Content::Demo);
    const auto connection = project.Open();
    db::Recordset rs;
    rs.Open(QStringLiteral("SELECT TpdbItems.Name, ItemAccess, DataType, AccessRights, MinVal, MaxVal FROM TpdbItems "
                           "INNER JOIN TpdbDevices ON TpdbItems.DeviceID = TpdbDevices.ID WHERE TpdbDevices.Name = 'Weather'"),
            *connection);
    std::vector<WeatherItem> items;
    for (; !rs.IsEOF(); rs.MoveNext())
        items.push_back({rs.Fields(0).Value().toString(), rs.Fields(1).Value().toString(), rs.Fields(2).Value().toInt(),
                         rs.Fields(3).Value().toInt(), rs.Fields(4).Value().toDouble(), rs.Fields(5).Value().toDouble()});
    return items;
}

TEST(DemoServerTest, TheWeatherItemsAreLiveNodesOfTheDemosServer) {
    if (!test::HelperInstalled()) GTEST_SKIP() << "node or the helper's npm packages are missing (scripts/setup.sh)";
    const std::vector<WeatherItem> items = WeatherItems();
    ASSERT_FALSE(items.empty());
    test::TestServer server({QStringLiteral("--nodeset"), QStringLiteral(OV_SOURCE_DIR "/apps/opcua-helper/demo.NodeSet2.xml"),
                             QStringLiteral("--alive")});
    ASSERT_FALSE(server.Endpoint().isEmpty());
    opc::HelperClient client;
    QString error;
    ASSERT_TRUE(client.Start(&error)) << error.toStdString();
    ASSERT_TRUE(client.Connect(server.Endpoint(), &error, 20000)) << error.toStdString();

    // What the server says about the nodes, found by browsing where the items point.
    QHash<QString, opc::OpcNode> nodes;
    QStringList nodeIds;
    for (const WeatherItem& item : items) {
        nodeIds << item.nodeId;
        const QString folder = item.nodeId.left(item.nodeId.lastIndexOf(u'.'));
        if (nodes.contains(item.nodeId)) continue;
        const auto children = client.Browse(folder, &error);
        ASSERT_TRUE(children) << item.name.toStdString() << ": " << error.toStdString();
        for (const opc::OpcNode& node : *children) nodes.insert(node.nodeId, node);
    }
    int writable = 0;
    for (const WeatherItem& item : items) {
        SCOPED_TRACE(item.name.toStdString());
        EXPECT_NE(item.name, item.nodeId) << "the name view shows readable names";
        ASSERT_TRUE(nodes.contains(item.nodeId)) << item.nodeId.toStdString();
        const opc::OpcNode& node = nodes[item.nodeId];
        EXPECT_EQ(node.dataType, QStringLiteral("Double"));
        EXPECT_EQ(item.dataType, kR8);
        EXPECT_EQ((node.accessLevel & kWriteRight) != 0, (item.accessRights & kWriteRight) != 0);
        EXPECT_LT(item.minVal, item.maxVal) << "a range to check writes against";
        writable += (item.accessRights & kWriteRight) != 0;
    }
    EXPECT_GE(writable, 1) << "a setpoint to write";

    // Every value Good and in range, read twice; some of them move meanwhile.
    const auto first = client.Read(nodeIds, &error);
    ASSERT_TRUE(first) << error.toStdString();
    QThread::msleep(1500);
    const auto second = client.Read(nodeIds, &error);
    ASSERT_TRUE(second) << error.toStdString();
    int moved = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        for (const opc::LiveValue& value : {(*first)[i], (*second)[i]}) {
            EXPECT_EQ(value.status, QStringLiteral("Good")) << items[i].name.toStdString();
            EXPECT_GE(value.value.toDouble(), items[i].minVal) << items[i].name.toStdString();
            EXPECT_LE(value.value.toDouble(), items[i].maxVal) << items[i].name.toStdString();
        }
        moved += (*first)[i].value != (*second)[i].value;
    }
    EXPECT_GE(moved, 1) << "the weather changes by itself";
}

}  // namespace
