// Recorded changes taken back and applied again: the tables come back byte
// for byte. What becomes a step is the undo history's part, a row someone
// else changed since is shown by the editor's undo.

#include "platform/db/Changeset.h"
#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "support/TempProject.h"

#include <gtest/gtest.h>

using namespace ov;

namespace {

QStringList Contents(db::Connection& c) {
    QStringList rows;
    for (const char* table : {"TpdbItems", "TpdbConnections", "TpdbSimulation"}) {
        db::Cursor cursor(c, QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(QString::fromUtf8(table)));
        while (cursor.Next()) {
            QStringList values{QString::fromUtf8(table)};
            for (int i = 0; i < cursor.ColumnCount(); ++i) values << cursor.Value(i).toString() + u':' + QString::number(cursor.Value(i).typeId());
            rows << values.join(u'|');
        }
    }
    return rows;
}

class ChangesetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        c->Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name) VALUES (1, 'D')"));
        for (int i = 0; i < 20; ++i)
            c->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, MaxVal) VALUES (1, ?, ?, 1.5)"),
                       {QStringLiteral("I%1").arg(i), QStringLiteral("I%1").arg(i)});
        c->Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) SELECT 1, ID FROM TpdbItems"));
    }
    // A command's worth of changes: new rows, changed rows, removed rows.
    db::Changeset RecordWork() {
        db::ChangeRecorder recorder(*c);
        c->InTransaction([&] {
            c->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, 'New', 'New')"));
            c->Execute(QStringLiteral("UPDATE TpdbItems SET MaxVal = 99, Comment = 'x' WHERE Name Like 'I1%'"));
            c->Execute(QStringLiteral("DELETE FROM TpdbConnections WHERE ItemID IN (SELECT ID FROM TpdbItems WHERE Name = 'I3')"));
            c->Execute(QStringLiteral("DELETE FROM TpdbItems WHERE Name = 'I3'"));
            c->Execute(QStringLiteral("INSERT INTO TpdbSimulation (ItemID, SimulationFunction) SELECT ID, 'Sine' FROM TpdbItems WHERE Name = 'I4'"));
        });
        return recorder.Changes();
    }

    test::TempProject project;
    std::unique_ptr<db::Connection> c = project.Open();
};

TEST_F(ChangesetTest, TakingWorkBackAndDoingItAgainGivesTheSameTables) {
    const QStringList before = Contents(*c);
    const db::Changeset work = RecordWork();
    ASSERT_FALSE(work.IsEmpty());
    const QStringList after = Contents(*c);
    ASSERT_NE(after, before);

    EXPECT_TRUE(db::ApplyChangeset(*c, work.Inverted()).applied);
    EXPECT_EQ(Contents(*c), before) << "undone";
    EXPECT_TRUE(db::ApplyChangeset(*c, work).applied);
    EXPECT_EQ(Contents(*c), after) << "done again";
    EXPECT_EQ(c->TransactionLevel(), 0);
}

}  // namespace
