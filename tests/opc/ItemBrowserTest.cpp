// The item browser on the plant fixture read offline: what a folder's tick
// reaches (properties left to their own ticks), the subtree loaded in one
// call, the device's items a loaded folder no longer has, items that differ
// from the server's, search, system nodes and a load that is stopped; and a
// large generated space.

#include "opc/ItemBrowser.h"
#include "support/Files.h"
#include "support/GeneratedNodeSet.h"
#include "support/QtPrinters.h"

#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

using namespace ov;
using namespace ov::opc;

namespace {

const QString kPlant = QStringLiteral(OV_FIXTURES "/plant.NodeSet2.xml");
const QString kUri = QStringLiteral("nsu=urn:ovopc:test:plant;");

QString Id(const char* identifier) { return kUri + QString::fromUtf8(identifier); }

// The plant file, counting the calls a load makes; a depth limit as a
// server's tree browse may have leaves the deepest nodes for a later call.
class CountingSource : public NodeSetSource {
  public:
    explicit CountingSource(int depthLimit = 0) : NodeSetSource(kPlant), m_depthLimit(depthLimit) {}
    std::optional<std::vector<OpcNode>> Children(const QString& nodeId, QString* error,
                                                const std::function<bool(int)>& progress) override {
        if (!m_inSubtree) ++children;
        return NodeSetSource::Children(nodeId, error, progress);
    }
    std::optional<std::vector<SubtreeNode>> Subtree(const QString& nodeId, QString* error,
                                                   const std::function<bool(int)>& progress) override {
        ++subtrees;
        m_inSubtree = true;
        auto nodes = NodeSetSource::Subtree(nodeId, error, progress);
        m_inSubtree = false;
        if (!nodes || m_depthLimit == 0) return nodes;
        QHash<QString, int> depth{{nodeId, 0}};
        std::erase_if(*nodes, [&](const SubtreeNode& n) {
            const int d = depth.value(n.parent) + 1;
            depth.insert(n.node.nodeId, d);
            return d > m_depthLimit;
        });
        return nodes;
    }
    int children = 0;
    int subtrees = 0;

  private:
    int m_depthLimit;
    bool m_inSubtree = false;
};

QStringList Names(const std::vector<BrowseItem>& items) {
    QStringList names;
    for (const BrowseItem& item : items) names << item.name;
    names.sort();
    return names;
}

class ItemBrowserTest : public ::testing::Test {
  protected:
    void SetUp() override { browser.SetSource(std::make_unique<NodeSetSource>(kPlant)); }
    void Start() { ASSERT_TRUE(browser.Start(&error)) << error.toStdString(); }
    QString Node(const char* path) {
        const QString id = browser.Resolve(QString::fromUtf8(path), &error);
        EXPECT_FALSE(id.isEmpty()) << error.toStdString();
        return id;
    }
    void Tick(const char* path, bool ticked = true) {
        ASSERT_TRUE(browser.SetTicked(Node(path), ticked, &error)) << error.toStdString();
    }
    static BrowseItem Stored(const char* identifier, const char* name, int type, int rights = 3, int size = 0) {
        return {Id(identifier), QString::fromUtf8(name), type, rights, size, QString(), {}, {}};
    }

    ItemBrowser browser;
    QString error;  // why the last call failed
};

TEST_F(ItemBrowserTest, AFolderTickReachesEveryVariableBelowItLoadingAsNeeded) {
    Start();
    EXPECT_EQ(browser.LoadedCount(), 1) << "only the top level until something is opened";
    Tick("Plant/Line1");
    const BrowseLists lists = browser.Lists();
    EXPECT_EQ(lists.added.size(), 18u) << "Status, Motor1's ten and Motor2's seven";
    EXPECT_TRUE(lists.removed.empty());
    const QString line1 = Node("Plant/Line1");
    EXPECT_EQ(browser.CheckStates().value(line1), 1);
    EXPECT_EQ(browser.CheckStates().value(Node("Plant")), 2) << "Line2 is not ticked";

    // Named by browse names; the ID keeps the namespace URI.
    const auto status = std::find_if(lists.added.begin(), lists.added.end(),
                                     [](const BrowseItem& item) { return item.itemId == Id("s=Plant.Line1.Status"); });
    ASSERT_NE(status, lists.added.end());
    EXPECT_EQ(status->name, QStringLiteral("Plant.Line1.Status"));
    EXPECT_EQ(status->accessRights, 1);

    Tick("Plant/Line1/Motor2", false);
    EXPECT_EQ(browser.Lists().added.size(), 11u);
    EXPECT_EQ(browser.CheckStates().value(line1), 2);
}

TEST_F(ItemBrowserTest, ItemsWhoseParametersDifferAreInconsistentWithTheServersValues) {
    // Level is a Double (5) on the server, Profile an Int16 array of 10.
    browser.SetExistingItems({Stored("g=035f99a9-f0e7-42bf-b456-1befdefbe2e9", "Level", 4),
                              Stored("g=b4684475-9ea1-46fa-89f7-cc62f4cf6bcb", "Profile", 2, 3, 10),
                              Stored("s=Plant.Line1.Status", "Status", 8, 3)});
    Start();
    Node("Plant/Line1/Status");
    Node("Plant/Line2/Tank/Profile");
    const BrowseLists lists = browser.Lists();
    ASSERT_EQ(lists.inconsistent.size(), 2u) << "Profile agrees once its array flag is dropped";
    EXPECT_EQ(lists.inconsistent[0].itemId, Id("s=Plant.Line1.Status"));
    EXPECT_EQ(lists.inconsistent[0].accessRights, 1) << "the server's rights";
    EXPECT_EQ(lists.inconsistent[0].name, QStringLiteral("Status")) << "named as the project knows it";
    EXPECT_EQ(lists.inconsistent[1].dataType, 5);
}

TEST_F(ItemBrowserTest, SearchFindsLoadedNodesByBrowseOrDisplayName) {
    Start();
    EXPECT_TRUE(browser.Matches(QStringLiteral("speed")).empty()) << "nothing loaded below the top yet";
    Tick("Plant");
    EXPECT_EQ(browser.Matches(QStringLiteral("speed")).size(), 3u) << "Speed twice and SpeedSetpoint";
    EXPECT_EQ(browser.Matches(QStringLiteral("Drehzahl Öl")).size(), 1u) << "by display name";
    EXPECT_TRUE(browser.Matches(QStringLiteral("  ")).empty());
}

TEST_F(ItemBrowserTest, AStoppedLoadChangesNoTick) {
    Start();
    int calls = 0;
    browser.progress = [&calls](int) { return ++calls < 3; };
    EXPECT_FALSE(browser.SetTicked(Node("Plant"), true, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(browser.IsBusy());
    EXPECT_TRUE(browser.Lists().added.empty());

    browser.progress = nullptr;
    Tick("Plant");
    EXPECT_EQ(browser.Lists().added.size(), 33u) << "all 34 variables but the property once loading may finish";
}

TEST_F(ItemBrowserTest, AFolderTickLoadsTheWholeSubtreeWithOneCall) {
    for (const int depthLimit : {0, 2}) {
        auto owned = std::make_unique<CountingSource>(depthLimit);
        CountingSource& source = *owned;
        browser.SetSource(std::move(owned));
        Start();
        source.children = 0;
        Tick("Plant");
        EXPECT_EQ(source.children, 0) << depthLimit;
        // Limited, Plant's two levels first, then Motor1, Motor2, Tank and Special from where it stopped.
        EXPECT_EQ(source.subtrees, depthLimit == 0 ? 1 : 5);
        EXPECT_EQ(browser.LoadedCount(), 41) << "7 objects and 34 variables";
        EXPECT_EQ(browser.Lists().added.size(), 33u);
        EXPECT_EQ(browser.CheckStates().value(Node("Plant")), 1);
        Tick("Plant", false);
        EXPECT_EQ(source.subtrees + source.children, depthLimit == 0 ? 1 : 5) << "nothing loaded twice";
    }
}

TEST_F(ItemBrowserTest, PropertiesAreItemsOnlyWhenTickedByThemselves) {
    // The device took the property once; it arrives ticked like every item.
    browser.SetExistingItems({Stored("g=096da354-5427-48f7-bd04-0e26fa2df67c", "Plant.Line2.Tank.Level.EngineeringUnit", 8, 1)});
    Start();
    Tick("Plant/Line2/Tank");
    const QString tank = Node("Plant/Line2/Tank");
    const QString unit = Node("Plant/Line2/Tank/Level/EngineeringUnit");
    EXPECT_TRUE(browser.Find(unit)->node.isProperty);
    EXPECT_EQ(browser.Lists().added.size(), 10u) << "Tank's variables";
    EXPECT_TRUE(browser.Lists().removed.empty());

    ASSERT_TRUE(browser.SetTicked(unit, false, &error));
    EXPECT_EQ(Names(browser.Lists().removed), QStringList{QStringLiteral("Plant.Line2.Tank.Level.EngineeringUnit")});
    EXPECT_EQ(browser.CheckStates().value(tank), 1) << "the folder's state leaves its properties aside";
    EXPECT_EQ(browser.CheckStates().value(unit), 0);

    // A variable's tick does not reach its property, nor does a folder's untick.
    ASSERT_TRUE(browser.SetTicked(unit, true, &error));
    Tick("Plant/Line2/Tank", false);
    Tick("Plant/Line2/Tank/Level");
    EXPECT_EQ(Names(browser.Lists().added), QStringList{QStringLiteral("Plant.Line2.Tank.Level")});
    EXPECT_TRUE(browser.Lists().removed.empty());
    EXPECT_EQ(browser.CheckStates().value(unit), 1);
}

TEST_F(ItemBrowserTest, ItemsALoadedFolderNoLongerHasAreShownUntickedThere) {
    browser.SetExistingItems({
        Stored("s=Plant.Line1.Retired", "Plant.Line1.Retired", 5),
        {QStringLiteral("typed-by-hand"), QStringLiteral("Plant.Line1.Typed"), 5, 3, 0, QString(), {}, {}},
        Stored("s=Plant.Line1.Motor1.Old", "nsu=urn:ovopc:test:plant;s=Plant.Line1.Motor1.Old", 5),  // named by its ID
        Stored("s=Plant.Line1.Motor1.Speed", "Plant.Line1.Speed", 5),  // its node moved into Motor1
        Stored("s=Plant.Line2.Tank.Drain", "Plant.Line2.Tank.Drain", 5),  // a folder nobody opens
        Stored("s=Plant.Line1.Status", "Plant.Line1.Status", 8, 1),
        Stored("s=Stray", "Stray", 5)});  // no folder: the top is nobody's
    Start();
    Node("Plant/Line1/Status");
    const QString line1 = Node("Plant/Line1");
    const ItemBrowser::Entry* retired = browser.Find(ItemBrowser::GoneKey(Id("s=Plant.Line1.Retired")));
    ASSERT_NE(retired, nullptr);
    EXPECT_TRUE(retired->gone);
    EXPECT_EQ(retired->parent, line1);
    EXPECT_EQ(retired->node.browseName, QStringLiteral("Retired"));
    EXPECT_EQ(browser.Find(line1)->goneItems.size(), 3u) << "Retired, Typed and Speed";
    EXPECT_EQ(browser.CheckStates().value(retired->parent), 2) << "Status is ticked";
    EXPECT_EQ(browser.CheckStates().value(ItemBrowser::GoneKey(QStringLiteral("typed-by-hand"))), 0);
    EXPECT_EQ(Names(browser.Lists().removed),
              (QStringList{QStringLiteral("Plant.Line1.Retired"), QStringLiteral("Plant.Line1.Speed"), QStringLiteral("Plant.Line1.Typed")}));

    // Speed turns up in Motor1 and is ticked again; Old, named by its ID, is missed there.
    Node("Plant/Line1/Motor1/Speed");
    EXPECT_EQ(browser.Find(ItemBrowser::GoneKey(Id("s=Plant.Line1.Motor1.Speed"))), nullptr);
    EXPECT_EQ(browser.Find(line1)->goneItems.size(), 2u);
    ASSERT_NE(browser.Find(ItemBrowser::GoneKey(Id("s=Plant.Line1.Motor1.Old"))), nullptr);
    EXPECT_EQ(browser.Find(ItemBrowser::GoneKey(Id("s=Plant.Line1.Motor1.Old")))->node.browseName, QStringLiteral("Old"));

    // Ticked again it stays; a folder's tick does not bring the others back.
    ASSERT_TRUE(browser.SetTicked(ItemBrowser::GoneKey(Id("s=Plant.Line1.Retired")), true, &error));
    Tick("Plant/Line1");
    EXPECT_EQ(browser.CheckStates().value(line1), 1);
    EXPECT_EQ(Names(browser.Lists().removed),
              (QStringList{QStringLiteral("Plant.Line1.Typed"), QStringLiteral("nsu=urn:ovopc:test:plant;s=Plant.Line1.Motor1.Old")}));
    EXPECT_EQ(browser.Matches(QStringLiteral("retired")).size(), 1u);
}

TEST_F(ItemBrowserTest, UnknownNodesAndPathsAreRefusedWithAMessage) {
    EXPECT_FALSE(browser.Expand(QStringLiteral("i=85"), &error)) << "not started";
    Start();
    EXPECT_TRUE(browser.Resolve(QStringLiteral("Plant/Nowhere"), &error).isEmpty());
    EXPECT_TRUE(error.contains(QStringLiteral("Plant/Nowhere")));
    EXPECT_FALSE(browser.SetTicked(QStringLiteral("nsu=x;s=y"), true, &error));
    EXPECT_TRUE(browser.IsSystemNode(QStringLiteral("i=2253")));
    EXPECT_FALSE(browser.IsSystemNode(Id("s=Plant")));
}

TEST(ItemBrowserSizeTest, ThousandsOfNodesLoadWithoutLosingTheirPlace) {
    // Loading a folder while the table of nodes grows must keep every parent's list.
    QTemporaryDir dir;
    const QString file = test::WriteFile(dir.filePath(QStringLiteral("generated.NodeSet2.xml")), test::GeneratedNodeSet(40, 60));
    ItemBrowser browser;
    browser.SetSource(std::make_unique<NodeSetSource>(file));
    QString error;
    ASSERT_TRUE(browser.Start(&error)) << error.toStdString();
    ASSERT_EQ(browser.TopNodes().size(), 1u);
    ASSERT_TRUE(browser.SetTicked(browser.TopNodes().front(), true, &error)) << error.toStdString();
    const BrowseLists lists = browser.Lists();
    ASSERT_EQ(lists.added.size(), 2400u);
    EXPECT_EQ(lists.added.front().name, QStringLiteral("Generated.F0.V0"));
    EXPECT_EQ(lists.added.back().name, QStringLiteral("Generated.F39.V59"));
    EXPECT_EQ(browser.Find(browser.TopNodes().front())->children.size(), 40u);
}

TEST(AddressSourceTest, TheDevicesComputerReplacesTheEndpointsHost) {
    EXPECT_EQ(EndpointOnComputer(QStringLiteral("opc.tcp://localhost:4840/ua"), QStringLiteral("PLANT7")),
              QStringLiteral("opc.tcp://plant7:4840/ua"));
    EXPECT_EQ(EndpointOnComputer(QStringLiteral("opc.tcp://localhost:4840"), QStringLiteral("  ")),
              QStringLiteral("opc.tcp://localhost:4840"));
}

}  // namespace
