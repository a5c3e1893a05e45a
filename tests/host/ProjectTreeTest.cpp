// The editor's branch of the project tree: built from the project, with
// folders from item names, and kept up to date as items come and go.

#include "host/NodeKey.h"
#include "host/ProjectTree.h"
#include "model/DataConnection.h"
#include "settings/TextTable.h"
#include "support/SessionHarness.h"

#include <gtest/gtest.h>

using namespace ov;
using host::InMemoryHost;
using host::ProjectTree;
namespace nk = ov::host::nodekey;

namespace {

const QString Y = QString(QChar(0xFF));

QString Count(InMemoryHost& h, const QString& key) {
    QVariant value;
    if (h.GetNodeProperty(key, host::kPropertyItemCount, value) != 0) return QStringLiteral("<none>");
    return value.toString();
}

QStringList Children(InMemoryHost& h, const QString& key) {
    const auto* node = h.Find(key);
    return node ? node->children : QStringList();
}

// The folders below a node, depth first, each as "path=count": "A=3 A.B=2".
QString Folders(InMemoryHost& h, const QString& key) {
    QStringList folders;
    for (const QString& child : Children(h, key)) {
        folders << child.section(Y, -1) + u'=' + Count(h, child);
        if (const QString below = Folders(h, child); !below.isEmpty()) folders << below;
    }
    return folders.join(u' ');
}

// An item name 200 folders deep.
QString DeepName() {
    QStringList deep;
    for (int i = 0; i < 200; ++i) deep << QStringLiteral("L%1").arg(i);
    return deep.join(u'.');
}

class ProjectTreeTest : public ::testing::Test {
protected:
    void SetUp() override { settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish); }
    void TearDown() override { settings::TextTable::Instance().SetLanguage(settings::TextTable::kGerman); }

    // A loaded session on a project that the test fills first.
    void Load(const test::TempProject& target) {
        harness.Start(target.Path());
        harness.Load();
        ASSERT_TRUE(harness.Session().IsLoaded());
    }

    // The test's project with device 1 ("Dev", "." as separator) and the
    // items given as name and item access, loaded.
    void LoadHandMade(const QList<std::pair<QString, QString>>& items, bool aliasOn) {
        {
            auto c = project.Open();
            if (aliasOn) c->DropIndex(QStringLiteral("TpdbItems"), QStringLiteral("UniqueItemAccess"));
            c->Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, HierarchBrowseSeparator) VALUES (1, 'Dev', '.')"));
            c->Execute(QStringLiteral("INSERT INTO TpdbUnitClasses (Name, SwitchType) VALUES ('Odd', 2)"));
            for (const auto& [name, access] : items)
                c->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, ?, ?)"), {name, access});
        }
        Load(project);
    }

    test::SessionHarness harness;
    test::TempProject project;
    const QString dev = nk::DeviceKey(1, QStringLiteral("."), false);
};

// A device of its own in a studio of its own, for the tree alone.
class BranchTest : public ::testing::Test {
protected:
    void SetUp() override { h.AddNode(QString(), QStringLiteral("Dev"), dev, QString(), host::images::kDevice, {}); }

    InMemoryHost h;
    ProjectTree tree{h};
    const QString dev = nk::DeviceKey(4, QStringLiteral("/"), false);
};

TEST_F(ProjectTreeTest, DemoBranchInItsOrder) {
    test::TempProject demo(test::TempProject::Content::Demo);
    Load(demo);
    InMemoryHost& h = harness.Host();
    EXPECT_EQ(h.RefusedCalls(), 0);
    EXPECT_EQ(Children(h, nk::kRoot),
              (QStringList{nk::kInternal, nk::kExternal, nk::kGroups, nk::kUnits, nk::kStructures}));

    const QString plc = nk::DeviceKey(1, QStringLiteral("."), false);
    EXPECT_EQ(Children(h, nk::kExternal), (QStringList{plc, nk::DeviceKey(2, QString(), true), nk::DeviceKey(3, QString(), false)}));
    EXPECT_EQ(h.Find(plc)->text, QStringLiteral("PLC1: Filling lines"));
    EXPECT_EQ(Children(h, plc), (QStringList{plc + Y + QStringLiteral("Line1"), plc + Y + QStringLiteral("Line2")}));
    // "ovopc tree" shows the counts of Line1 and Line2.Pump.Alarm.
    EXPECT_EQ(Count(h, plc + Y + QStringLiteral("Line1.Motor1")), QStringLiteral("3"));
    EXPECT_EQ(Count(h, plc + Y + QStringLiteral("Line2.Pump")), QStringLiteral("2"));
    EXPECT_FALSE(h.HasNode(plc + Y + QStringLiteral("Line1.Motor1.Speed"))) << "items themselves get no node";
    EXPECT_TRUE(Children(h, nk::DeviceKey(2, QString(), true)).isEmpty()) << "no separator, no folders";

    EXPECT_EQ(Children(h, nk::kGroups), (QStringList{nk::GroupKey(1), nk::GroupKey(2), nk::GroupKey(3)}))
        << "in the order of the group table";
    EXPECT_EQ(Children(h, nk::GroupKey(1)), (QStringList{nk::GroupDeviceKey(1, 1), nk::GroupDeviceKey(1, 2), nk::GroupDeviceKey(1, 3)}));
    EXPECT_EQ(h.Find(nk::GroupDeviceKey(1, 3))->text, QStringLiteral("Weather: Roof weather station"));
    EXPECT_EQ(Children(h, nk::ProcessUnitsKey()), QStringList{nk::UnitClassKey(1, true)});
    EXPECT_EQ(Children(h, nk::ViewUnitsKey()), QStringList{nk::UnitClassKey(2, false)});
    EXPECT_EQ(Children(h, nk::kStructures), (QStringList{QStringLiteral("OPCS1"), QStringLiteral("OPCS2")}));
}

TEST_F(ProjectTreeTest, FoldersFromHandMadeItems) {
    QList<std::pair<QString, QString>> items;
    for (const char* name : {"A.B.x", "A.B.y", "Single", "Trailing.", "A.C", "+plain", ".lead"})
        items.append({QString::fromUtf8(name), QString::fromUtf8(name)});
    items.append({DeepName(), QStringLiteral("deep")});
    LoadHandMade(items, false);
    InMemoryHost& h = harness.Host();
    // A separator at the end makes a folder; "Single" is none. A separator at
    // the start makes a folder without a name, also right after an item in no
    // folder ("+plain" sorts just before ".lead"). The alias function is off
    // in a new project, so folders follow the item access: "deep" has no separator.
    EXPECT_EQ(Folders(h, dev), QStringLiteral("=1 A=3 A.B=2 Trailing=1"));
    EXPECT_TRUE(Children(h, nk::ProcessUnitsKey()).isEmpty());
    EXPECT_TRUE(Children(h, nk::ViewUnitsKey()).isEmpty()) << "a class of another switch type is not shown";
    EXPECT_EQ(h.RefusedCalls(), 0);
}

TEST_F(ProjectTreeTest, DepthIsBoundedAndFollowsTheNameInTheAliasView) {
    LoadHandMade({{DeepName(), QStringLiteral("x")}}, true);
    InMemoryHost& h = harness.Host();
    int depth = 0;
    QString key = dev;
    while (Children(h, key).size() == 1) {
        key = Children(h, key)[0];
        ++depth;
    }
    EXPECT_EQ(depth, ProjectTree::kMaxBranchLevels);
    EXPECT_EQ(Count(h, key), QStringLiteral("1"));
}

TEST_F(BranchTest, BranchesFollowAddsDeletesAndRenames) {
    for (const char* path : {"Hall/Line/Motor", "Hall/Line/Pump", "Hall/Door", "Top"}) tree.ItemAdded(dev, QString::fromUtf8(path));
    EXPECT_EQ(Folders(h, dev), QStringLiteral("Hall=3 Hall/Line=2"));
    EXPECT_EQ(h.Find(dev + Y + QStringLiteral("Hall/Line"))->tag, QStringLiteral("1")) << "added later";

    tree.ItemPathChanged(dev, QStringLiteral("Hall/Line/Pump"), QStringLiteral("Yard/Pump"));
    EXPECT_EQ(Folders(h, dev), QStringLiteral("Hall=2 Hall/Line=1 Yard=1"));
    tree.ItemDeleted(dev, QStringLiteral("Hall/Line/Motor"));
    EXPECT_EQ(Folders(h, dev), QStringLiteral("Hall=1 Yard=1")) << "an emptied folder goes";
    tree.ItemDeleted(dev, QStringLiteral("Hall/Door"));
    EXPECT_EQ(Folders(h, dev), QStringLiteral("Yard=1"));
    EXPECT_EQ(h.RefusedCalls(), 0);
}

TEST_F(BranchTest, ManyItemsAtOnceChangeEachFolderOnce) {
    const QString dot = nk::DeviceKey(5, QStringLiteral("."), false);
    h.AddNode(QString(), QStringLiteral("Dot"), dot, QString(), host::images::kDevice, {});
    tree.ItemsChanged(dot, {}, {QStringLiteral("A.B.x"), QStringLiteral("A.B.y"), QStringLiteral("A.C.z"), QStringLiteral("Top")});
    EXPECT_EQ(Folders(h, dot), QStringLiteral("A=3 A.B=2 A.C=1"));
    EXPECT_EQ(h.Find(dot + Y + QStringLiteral("A.B"))->parent, dot + Y + QStringLiteral("A"));

    // A folder renamed: its items leave, the new one takes them; A keeps its count.
    tree.ItemsChanged(dot, {QStringLiteral("A.B.x"), QStringLiteral("A.B.y")}, {QStringLiteral("A.D.x"), QStringLiteral("A.D.y")});
    EXPECT_EQ(Folders(h, dot), QStringLiteral("A=3 A.C=1 A.D=2"));
    // A folder emptied and filled again in one change stays where it is.
    tree.ItemsChanged(dot, {QStringLiteral("A.C.z")}, {QStringLiteral("A.C.w")});
    EXPECT_EQ(Folders(h, dot), QStringLiteral("A=3 A.C=1 A.D=2"));
    tree.ItemsChanged(dot, {QStringLiteral("A.C.w"), QStringLiteral("A.D.x"), QStringLiteral("A.D.y")}, {});
    EXPECT_EQ(Folders(h, dot), QString()) << "everything below went";
    EXPECT_EQ(h.RefusedCalls(), 0);
}

TEST_F(ProjectTreeTest, WhereBranchesAreMaintained) {
    const QString plc = nk::DeviceKey(1, QStringLiteral("."), false);
    for (const auto& [key, maintained] : {std::pair{plc, true}, {plc + Y + QStringLiteral("A"), true},
                                          {nk::DeviceKey(2, QString(), true), false}, {QString(nk::kInternal), false},
                                          {nk::GroupKey(1), false}, {nk::GroupDeviceKey(1, 1), false}})
        EXPECT_EQ(ProjectTree::MaintainsBranches(key), maintained) << key.toStdString();
}

TEST_F(ProjectTreeTest, RefreshingADeviceRebuildsItsKeyTextAndFolders) {
    test::TempProject demo(test::TempProject::Content::Demo);
    Load(demo);
    InMemoryHost& h = harness.Host();
    const QString oldKey = nk::DeviceKey(1, QStringLiteral("."), false);
    auto* data = harness.Session().Window()->Data();
    data->Connection().Execute(
        QStringLiteral("UPDATE TpdbDevices SET HierarchBrowseSeparator = '_', Name = 'PLC9', ShortDescriptor = 'x' WHERE ID = 1"));
    data->Connection().Execute(QStringLiteral("UPDATE TpdbItems SET ItemAccess = 'Hall_' || ID WHERE DeviceID = 1"));
    harness.Session().RefreshDeviceNode(oldKey);
    const QString newKey = nk::DeviceKey(1, QStringLiteral("_"), false);
    EXPECT_FALSE(h.HasNode(oldKey));
    ASSERT_TRUE(h.HasNode(newKey));
    EXPECT_EQ(h.Find(newKey)->text, QStringLiteral("PLC9: x"));
    EXPECT_EQ(Children(h, newKey), QStringList{newKey + Y + QStringLiteral("Hall")});
    EXPECT_EQ(Count(h, newKey + Y + QStringLiteral("Hall")), QStringLiteral("14"));
    EXPECT_EQ(h.SelectedKey(), newKey);
    EXPECT_EQ(harness.Session().Window()->CurrentNode(), newKey) << "the refreshed node is activated";
}

}  // namespace
