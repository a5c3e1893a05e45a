// The tree brought up to what others committed, driven by rounds of changes
// as the change log tells them, on the tree of a loaded session.

#include "host/NodeKey.h"
#include "host/OthersTreeUpdate.h"
#include "host/ProjectTree.h"
#include "model/DataConnection.h"
#include "platform/db/Recordset.h"
#include "support/SessionHarness.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace ov;
using host::OthersTreeUpdate;
using host::ProjectTree;
namespace nk = ov::host::nodekey;

namespace {

db::OthersChange Change(const char* table, qint64 key, QVariantMap before, QVariantMap after) {
    return db::OthersChange{QString::fromUtf8(table), key, QStringLiteral("anna"), QStringLiteral("2024-05-06 07:08:09"),
                            std::move(before), std::move(after)};
}

QVariantMap Item(int device, const QString& access) {
    return {{QStringLiteral("DeviceID"), device}, {QStringLiteral("ItemAccess"), access}, {QStringLiteral("Name"), access},
            {QStringLiteral("Comment"), QString()}};
}

class OthersTreeUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        harness.Start(project.Path());
        harness.Load();
        ASSERT_TRUE(harness.Session().IsLoaded());
        plc = IdOf("TpdbDevices", "PLC1");
        plcKey = nk::DeviceKey(plc, QStringLiteral("."), false);
        ASSERT_TRUE(Host().HasNode(plcKey));
    }

    host::InMemoryHost& Host() { return harness.Host(); }
    db::Connection& Connection() { return harness.Session().Window()->Data()->Connection(); }
    OthersTreeUpdate::Outcome Apply(const std::vector<db::OthersChange>& changes, const QString& current = QString()) {
        OthersTreeUpdate update(Host(), *harness.Session().Tree(), Connection(),
                                harness.Session().Window()->FieldNameFromSwitchView());
        return update.Apply(changes, current);
    }
    int IdOf(const char* table, const char* name) {
        db::Recordset rs;
        rs.Open(QStringLiteral("SELECT ID FROM %1 WHERE Name = '%2'").arg(QString::fromUtf8(table), QString::fromUtf8(name)),
                Connection());
        return rs.IsEOF() ? -1 : rs.Value(QStringLiteral("ID")).toInt();
    }
    QString FolderKey(const QString& deviceKey, const QString& folder) {
        return deviceKey + nk::kSeparator + folder;
    }
    QString Count(const QString& key) {
        const auto* node = Host().Find(key);
        return node ? node->properties.value(host::kPropertyItemCount).toString() : QStringLiteral("<none>");
    }
    int CountsSetOn(const QString& key) {
        const QString call = QStringLiteral("SetNodeProperty(") + QString(key).replace(QChar(0xFF), u'|') + u',';
        return static_cast<int>(Host().Calls().filter(call).size());
    }

    test::SessionHarness harness;
    test::TempProject project{test::TempProject::Content::Demo};
    int plc = 0;
    QString plcKey;
};

TEST_F(OthersTreeUpdateTest, APasteOfManyItemsCostsOneCountPerFolder) {
    std::vector<db::OthersChange> changes;
    for (int i = 0; i < 10000; ++i) {
        changes.push_back(Change("TpdbItems", 1000 + i, {}, Item(plc, QStringLiteral("Line1.Motor1.Copy%1").arg(i))));
        changes.push_back(Change("TpdbConnections", 5000 + i, {}, {{QStringLiteral("GroupID"), 1}, {QStringLiteral("ItemID"), 1000 + i}}));
    }
    for (int i = 0; i < 2000; ++i)
        changes.push_back(Change("TpdbItems", 20000 + i, {}, Item(plc, QStringLiteral("Line4.Cell%1.Value").arg(i % 50))));
    Host().ClearCalls();
    QElapsedTimer timer;
    timer.start();
    Apply(changes);
    EXPECT_LT(timer.elapsed(), 1000) << "12,000 items in one round";
    EXPECT_EQ(Count(FolderKey(plcKey, QStringLiteral("Line1.Motor1"))), QStringLiteral("10003"));
    EXPECT_EQ(Count(FolderKey(plcKey, QStringLiteral("Line1"))), QStringLiteral("10009"));
    EXPECT_EQ(Count(FolderKey(plcKey, QStringLiteral("Line4"))), QStringLiteral("2000"));
    EXPECT_EQ(Count(FolderKey(plcKey, QStringLiteral("Line4.Cell7"))), QStringLiteral("40"));
    EXPECT_EQ(Host().GetChildKeys(FolderKey(plcKey, QStringLiteral("Line4")), 1).size(), 50);
    EXPECT_EQ(CountsSetOn(FolderKey(plcKey, QStringLiteral("Line1.Motor1"))), 1);
    EXPECT_EQ(CountsSetOn(FolderKey(plcKey, QStringLiteral("Line4"))), 1) << "a new folder too";
    EXPECT_EQ(Host().Calls().filter(QStringLiteral("AddNode(")).size(), 51);
    EXPECT_EQ(Host().RefusedCalls(), 0);
}

TEST_F(OthersTreeUpdateTest, ItemsFollowToOtherFoldersAndDevices) {
    const QVariantMap fillerRow{{QStringLiteral("Name"), QStringLiteral("Filler")},
                                {QStringLiteral("ShortDescriptor"), QStringLiteral("Bottles")},
                                {QStringLiteral("HierarchBrowseSeparator"), QStringLiteral("/")},
                                {QStringLiteral("BlobMode"), 1}};
    const QString fillerKey = nk::DeviceKey(77, QStringLiteral("/"), false);
    QVariantMap commented = Item(plc, QStringLiteral("Line1.Motor1.Speed"));
    commented.insert(QStringLiteral("Comment"), QStringLiteral("changed"));
    Apply({
        Change("TpdbDevices", 77, {}, fillerRow),
        // Out of PLC1's Motor1 into the new device's folder, and one within PLC1.
        Change("TpdbItems", 1, Item(plc, QStringLiteral("Line1.Motor1.Current")), Item(77, QStringLiteral("Hall/Current"))),
        Change("TpdbItems", 2, Item(plc, QStringLiteral("Line1.Motor1.Running")), Item(plc, QStringLiteral("Line2.Pump.Running"))),
        // Only another field: no folder changes.
        Change("TpdbItems", 3, Item(plc, QStringLiteral("Line1.Motor1.Speed")), commented),
        // Come and gone within the round.
        Change("TpdbItems", 90, {}, Item(plc, QStringLiteral("Temp.Scratch"))),
        Change("TpdbItems", 90, Item(plc, QStringLiteral("Temp.Scratch")), {}),
        Change("TpdbItems", 92, {}, Item(0, QStringLiteral("Internal.Flag"))),
    });
    EXPECT_EQ(Count(FolderKey(plcKey, QStringLiteral("Line1.Motor1"))), QStringLiteral("1"));
    EXPECT_EQ(Count(FolderKey(plcKey, QStringLiteral("Line2.Pump"))), QStringLiteral("3"));
    EXPECT_EQ(Count(FolderKey(plcKey, QStringLiteral("Line1"))), QStringLiteral("7"));
    EXPECT_FALSE(Host().HasNode(FolderKey(plcKey, QStringLiteral("Temp"))));
    ASSERT_TRUE(Host().HasNode(fillerKey));
    EXPECT_EQ(Host().Find(fillerKey)->text, QStringLiteral("Filler: Bottles"));
    EXPECT_EQ(Count(FolderKey(fillerKey, QStringLiteral("Hall"))), QStringLiteral("1"));
    for (const QString& group : Host().GetChildKeys(nk::kGroups, 1))
        EXPECT_TRUE(Host().HasNode(nk::GroupDeviceKey(nk::NodeId(group), 77))) << group.toStdString();
    EXPECT_TRUE(Host().GetChildKeys(nk::kInternal, 1).isEmpty());

    // The device goes with its items: all its nodes go, and nothing is refused.
    Apply({Change("TpdbItems", 1, Item(77, QStringLiteral("Hall/Current")), {}), Change("TpdbDevices", 77, fillerRow, {})});
    EXPECT_FALSE(Host().HasNode(fillerKey));
    for (const QString& group : Host().GetChildKeys(nk::kGroups, 1))
        EXPECT_FALSE(Host().HasNode(nk::GroupDeviceKey(nk::NodeId(group), 77)));
    EXPECT_EQ(Host().RefusedCalls(), 0);
}

TEST_F(OthersTreeUpdateTest, ANewSeparatorReadsTheDevicesFoldersAgainUnlessTheUserIsInThem) {
    const auto row = [](const char* separator) {
        return QVariantMap{{QStringLiteral("Name"), QStringLiteral("PLC1")},
                           {QStringLiteral("ShortDescriptor"), QStringLiteral("Filling lines")},
                           {QStringLiteral("HierarchBrowseSeparator"), QString::fromUtf8(separator)},
                           {QStringLiteral("BlobMode"), 1}};
    };
    // As the other engineer committed it: a new separator and an item named for it.
    Connection().Execute(QStringLiteral("UPDATE TpdbDevices SET HierarchBrowseSeparator = '/' WHERE ID = ?"), {plc});
    Connection().Execute(QStringLiteral("UPDATE TpdbItems SET ItemAccess = 'Area/Speed' WHERE ItemAccess = 'Line1.Motor1.Speed'"));
    const std::vector<db::OthersChange> round{
        Change("TpdbDevices", plc, row("."), row("/")),
        Change("TpdbItems", 1, Item(plc, QStringLiteral("Line1.Motor1.Speed")), Item(plc, QStringLiteral("Area/Speed")))};

    // The user works in a folder of it: nothing changes there until Refresh View.
    const QString motor1 = FolderKey(plcKey, QStringLiteral("Line1.Motor1"));
    const QString before = Host().Dump();
    OthersTreeUpdate::Outcome outcome = Apply(round, motor1);
    EXPECT_TRUE(outcome.waitsForRefresh);
    EXPECT_TRUE(outcome.shownKey.isEmpty());
    EXPECT_EQ(Host().Dump(), before);

    // Elsewhere, the device's folders are read anew, the item counted once.
    outcome = Apply(round, nk::kGroups);
    EXPECT_FALSE(outcome.waitsForRefresh);
    const QString newKey = nk::DeviceKey(plc, QStringLiteral("/"), false);
    ASSERT_TRUE(Host().HasNode(newKey));
    EXPECT_FALSE(Host().HasNode(plcKey));
    EXPECT_EQ(Host().Find(newKey)->children, QStringList{FolderKey(newKey, QStringLiteral("Area"))});
    EXPECT_EQ(Count(FolderKey(newKey, QStringLiteral("Area"))), QStringLiteral("1"));
}

TEST_F(OthersTreeUpdateTest, UnitClassesAndStructuresFollowTheirRows) {
    const auto unitClass = [](int switchType, const char* name) {
        return QVariantMap{{QStringLiteral("SwitchType"), switchType}, {QStringLiteral("Name"), QString::fromUtf8(name)}};
    };
    const int temperature = IdOf("TpdbUnitClasses", "Temperature");
    ASSERT_TRUE(Host().HasNode(nk::UnitClassKey(temperature, true)));
    const QString view = nk::UnitClassKey(temperature, false);

    // To the view classes, renamed on the way: the node moves.
    Apply({Change("TpdbUnitClasses", temperature, unitClass(0, "Temperature"), unitClass(1, "Heat"))});
    EXPECT_FALSE(Host().HasNode(nk::UnitClassKey(temperature, true)));
    ASSERT_TRUE(Host().HasNode(view));
    EXPECT_EQ(Host().Find(view)->parent, nk::ViewUnitsKey());
    EXPECT_EQ(Host().Find(view)->text, QStringLiteral("Heat"));

    // A kind the tree does not show: gone, and back as a process class.
    Apply({Change("TpdbUnitClasses", temperature, unitClass(1, "Heat"), unitClass(2, "Heat"))});
    EXPECT_FALSE(Host().HasNode(view));
    Apply({Change("TpdbUnitClasses", temperature, unitClass(2, "Heat"), unitClass(0, "Heat")),
           Change("TpdbUnitClasses", 55, {}, unitClass(2, "Hidden")), Change("TpdbUnitClasses", 55, unitClass(2, "Hidden"), {})});
    EXPECT_EQ(Host().Find(nk::UnitClassKey(temperature, true))->text, QStringLiteral("Heat"));
    EXPECT_FALSE(Host().HasNode(nk::UnitClassKey(55, true)) || Host().HasNode(nk::UnitClassKey(55, false)));

    // The structure the user is on renamed and then deleted: they are taken to the structures.
    const int drive = IdOf("TpdbStructDefs", "Drive");
    const QString driveKey = nk::StructureKey(drive);
    OthersTreeUpdate::Outcome outcome =
        Apply({Change("TpdbStructDefs", drive, {{QStringLiteral("Name"), QStringLiteral("Drive")}},
                      {{QStringLiteral("Name"), QStringLiteral("Motor drive")}})},
              driveKey);
    EXPECT_EQ(Host().Find(driveKey)->text, QStringLiteral("Motor drive"));
    EXPECT_TRUE(outcome.shownKey.isEmpty()) << "a renamed node stays the user's";
    outcome = Apply({Change("TpdbStructDefs", drive, {{QStringLiteral("Name"), QStringLiteral("Motor drive")}}, {})}, driveKey);
    EXPECT_FALSE(Host().HasNode(driveKey));
    EXPECT_EQ(outcome.shownKey, nk::kStructures);
    EXPECT_EQ(outcome.lostText, QStringLiteral("Motor drive"));
    EXPECT_EQ(Host().RefusedCalls(), 0);
}

}  // namespace
