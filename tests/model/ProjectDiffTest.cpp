// Two projects made from the same demo, one of them changed in known ways:
// the diff names exactly those changes, by name, whatever the row IDs.

#include "model/DemoProject.h"
#include "model/ProjectDiff.h"
#include "model/ProjectTemplate.h"
#include "platform/db/Connection.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ov;

namespace {

QStringList Lines(const std::vector<model::DiffEntry>& entries) {
    QStringList lines;
    for (const auto& e : entries)
        lines << e.kind + u' ' + e.name + (e.fields.isEmpty() ? QString() : QStringLiteral(": ") + e.fields.join(u','));
    lines.sort();
    return lines;
}

class ProjectDiffTest : public ::testing::Test {
  protected:
    void SetUp() override {
        model::CreateDemoProject(first);
        model::CreateDemoProject(second);
        a.Open(model::ProjectConnectionString(first));
        b.Open(model::ProjectConnectionString(second));
    }
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("a.ovs"));
    const QString second = dir.filePath(QStringLiteral("b.ovs"));
    db::Connection a, b;
};

TEST_F(ProjectDiffTest, KnownChangesAreNamedAndNothingElse) {
    // The second project's rows get other IDs first: the diff must not care.
    for (const char* shift : {"TpdbItems SET ID = ID", "TpdbConnections SET ItemID = ItemID", "TpdbSimulation SET ItemID = ItemID",
                              "TpdbAlign SET ItemID = ItemID"})
        b.Execute(QStringLiteral("UPDATE %1 + 1000").arg(QString::fromUtf8(shift)));
    ASSERT_TRUE(model::DiffProjects(a, b).Same()) << "the same demo twice";
    // Then the changes.
    b.Execute(QStringLiteral("UPDATE TpdbItems SET MaxVal = 42, Comment = 'new' WHERE Name = 'Line1.Motor1.Speed'"));
    b.Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, 'Line9.Extra', 'Line9.Extra')"));
    b.Execute(QStringLiteral("DELETE FROM TpdbConnections WHERE ItemID = (SELECT ID FROM TpdbItems WHERE Name = 'Line1.Motor1.Speed')"));
    b.Execute(QStringLiteral("UPDATE TpdbDevices SET ShortDescriptor = 'Roof' WHERE Name = 'Weather'"));
    b.Execute(QStringLiteral("INSERT INTO TpdbGroups (Name) VALUES ('Audit')"));
    b.Execute(QStringLiteral("UPDATE TpdbUnitClasses SET Comment = 'K' WHERE Name = 'Temperature'"));
    b.Execute(QStringLiteral("DELETE FROM TpdbStructMembers WHERE ParentID = (SELECT ID FROM TpdbStructDefs WHERE Name = 'Drive') "
                             "AND ID = (SELECT MAX(ID) FROM TpdbStructMembers WHERE ParentID = (SELECT ID FROM TpdbStructDefs WHERE Name = 'Drive'))"));
    a.Execute(QStringLiteral("UPDATE TidxTexts SET L1033 = 'old text' WHERE ID = (SELECT TextID FROM TpdbItems WHERE Name = 'Line1.Tank.Level')"));

    const model::ProjectDiff diff = model::DiffProjects(a, b);
    EXPECT_EQ(Lines(diff.added), (QStringList{"group Audit", "item PLC1/Line9.Extra"}));
    EXPECT_EQ(Lines(diff.removed), (QStringList{"connection Fast/PLC1/Line1.Motor1.Speed", "connection Standard/PLC1/Line1.Motor1.Speed",
                                                "member Drive/Speed"}));
    // An item's text is part of the item.
    EXPECT_EQ(Lines(diff.changed), (QStringList{"device Weather: ShortDescriptor", "item PLC1/Line1.Motor1.Speed: MaxVal,Comment",
                                                "item PLC1/Line1.Tank.Level: L1033", "unit class Temperature: Comment"}));
    // And the other way round, added and removed swap.
    const model::ProjectDiff back = model::DiffProjects(b, a);
    EXPECT_EQ(Lines(back.removed), Lines(diff.added));
    EXPECT_EQ(Lines(back.added), Lines(diff.removed));
}

}  // namespace
