// The undo history on a bare connection: what becomes a step, how steps
// are bounded, and what clears them; on a project file and on a server
// project.

#include "model/UndoHistory.h"
#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "settings/TextTable.h"
#include "support/TempProject.h"

#include <gtest/gtest.h>

using namespace ov;

namespace {

class UndoHistoryTest : public test::StoreTest {
  protected:
    void SetUp() override {
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish);
        StoreTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        connection->Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name) VALUES (1, 'D')"));
    }
    void TearDown() override { settings::TextTable::Instance().SetLanguage(settings::TextTable::kGerman); }

    // A history on the connection; what it tells the user goes to told.
    model::UndoHistory& Attach(model::UndoHistory::Limits limits = {}) {
        kept = std::make_unique<model::UndoHistory>(limits);
        kept->Attach(*connection);
        kept->changed = [this](const QString& why) {
            if (!why.isEmpty()) told << why;
        };
        return *kept;
    }
    void AddItem(const QString& name, const QString& comment = QString()) {
        connection->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, Comment) VALUES (1, ?, ?, ?)"),
                   {name, name, comment});
    }
    int Items() {
        db::Cursor count(*connection, QStringLiteral("SELECT Count(*) FROM TpdbItems"));
        return count.Next() ? count.Value(0).toInt() : -1;
    }
    // The items left after a step is undone or redone, -1 when it was not.
    int ItemsAfterUndo() { return kept->Undo().done ? Items() : -1; }
    int ItemsAfterRedo() { return kept->Redo().done ? Items() : -1; }

    QStringList told;
    std::unique_ptr<model::UndoHistory> kept;
};

TEST_P(UndoHistoryTest, EachCommitIsAStepAndACommandJoinsItsTransactionsIntoOne) {
    auto& history = Attach();
    AddItem(QStringLiteral("a"));
    connection->InTransaction([&] {
        AddItem(QStringLiteral("b"));
        AddItem(QStringLiteral("c"));
    });
    {
        model::UndoHistory::Command command(&history, QStringLiteral("&Browse"));
        for (const char* name : {"d", "e", "f"}) connection->InTransaction([&] { AddItem(QString::fromUtf8(name)); });
        connection->BeginTrans();
        AddItem(QStringLiteral("rolled back"));
        connection->RollbackTrans();
    }
    {
        model::UndoHistory::Command failed(&history, QStringLiteral("Paste"));
        connection->BeginTrans();
        AddItem(QStringLiteral("g"));
        connection->RollbackTrans();
    }
    EXPECT_EQ(history.UndoNames(), (QStringList{QStringLiteral("Browse of 3 items"), QStringLiteral("Edit of 2 items"),
                                                QStringLiteral("Edit (item)")}))
        << "rolled-back work is no step";

    EXPECT_EQ(ItemsAfterUndo(), 3) << "the three commits of the command went together";
    EXPECT_EQ(ItemsAfterUndo(), 1);
    EXPECT_EQ(history.RedoNames(), (QStringList{QStringLiteral("Edit of 2 items"), QStringLiteral("Browse of 3 items")}));
    // New work after an undo makes the undone steps unreachable.
    AddItem(QStringLiteral("h"));
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(history.Redo().refusal, QStringLiteral("There is nothing to redo."));
}

TEST_P(UndoHistoryTest, StepsAreBoundedInNumberAndInSizeAndTheUserIsToldWhenTheyGo) {
    const model::UndoHistory::Limits limits{.steps = 3, .bytes = 4000};
    auto& history = Attach(limits);
    for (int i = 0; i < 5; ++i) AddItem(QStringLiteral("item%1").arg(i));
    EXPECT_EQ(history.UndoNames().size(), 3) << "the oldest went";
    EXPECT_LE(history.Bytes(), limits.bytes);
    while (history.CanUndo()) ASSERT_TRUE(history.Undo().done);
    EXPECT_EQ(Items(), 2) << "the two oldest stay done";

    // Steps that fit only without the oldest push them out.
    for (int i = 0; i < 3; ++i) AddItem(QStringLiteral("long%1").arg(i), QString(1500, u'x'));
    EXPECT_EQ(history.UndoNames().size(), 2);
    EXPECT_LE(history.Bytes(), limits.bytes);
    EXPECT_TRUE(told.isEmpty());

    // A step larger than the whole bound cannot be kept, nor can those before it.
    AddItem(QStringLiteral("huge"), QString(5000, u'x'));
    EXPECT_FALSE(history.CanUndo());
    EXPECT_EQ(history.Bytes(), 0);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told.front().startsWith(QStringLiteral("This change is too large to be undone"))) << told.front().toStdString();
}

TEST_P(UndoHistoryTest, RecordingStopsOnceAStepOutgrowsTheBoundAndTheWorkItselfStands) {
    auto& history = Attach({.bytes = 64 * 1024});
    AddItem(QStringLiteral("small"));
    ASSERT_TRUE(history.CanUndo());
    // One statement of 20,000 rows: the recording is stopped while it runs.
    connection->Execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
                              "INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, Comment) "
                              "SELECT 1, 'bulk' || i, 'bulk' || i, 'a comment of some length' FROM n"));
    EXPECT_EQ(Items(), 20001) << "the work is done whatever the history keeps";
    EXPECT_FALSE(history.CanUndo());
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told.front().contains(QStringLiteral("too large"))) << told.front().toStdString();
    // The next step is recorded in full again.
    AddItem(QStringLiteral("after"));
    EXPECT_EQ(ItemsAfterUndo(), 20001);
}

TEST_P(UndoHistoryTest, AnIndexChangeClearsTheHistoryWithAReason) {
    auto& history = Attach();
    AddItem(QStringLiteral("a"));
    connection->CreateIndex(QStringLiteral("TpdbItems"), {QStringLiteral("ByComment"), {QStringLiteral("Comment")}, false, false});
    EXPECT_FALSE(history.CanUndo());
    EXPECT_EQ(told, QStringList{settings::Text(9217)});
    // Work after it is recorded as before.
    AddItem(QStringLiteral("b"));
    EXPECT_EQ(ItemsAfterUndo(), 1);

    // Rows written in the same transaction as an index change go with it.
    told.clear();
    AddItem(QStringLiteral("c"));
    connection->InTransaction([&] {
        connection->DropIndex(QStringLiteral("TpdbItems"), QStringLiteral("ByComment"));
        connection->Execute(QStringLiteral("UPDATE TpdbItems SET Comment = Name"));
    });
    EXPECT_FALSE(history.CanUndo()) << history.UndoNames().join(u'|').toStdString();
    EXPECT_EQ(told, QStringList{settings::Text(9217)});
}

TEST_P(UndoHistoryTest, AStepIsRefusedWholeWhileAnotherConnectionsChangeOfOneOfItsRowsStands) {
    auto& history = Attach();
    connection->InTransaction([&] {
        AddItem(QStringLiteral("Pump"));
        AddItem(QStringLiteral("Valve"));
    });
    connection->Execute(QStringLiteral("UPDATE TpdbItems SET Comment = 'mine'"));
    const auto comments = [&] {
        QStringList values;
        for (db::Cursor rows(*connection, QStringLiteral("SELECT Comment FROM TpdbItems ORDER BY Name")); rows.Next();)
            values << rows.Value(0).toString();
        return values;
    };

    auto other = project->Open();
    other->Execute(QStringLiteral("UPDATE TpdbItems SET Comment = 'theirs' WHERE Name = 'Valve'"));
    const auto refused = history.Undo();
    EXPECT_FALSE(refused.done);
    EXPECT_TRUE(refused.refusal.contains(QStringLiteral("Valve"))) << refused.refusal.toStdString();
    EXPECT_EQ(comments(), (QStringList{QStringLiteral("mine"), QStringLiteral("theirs")})) << "nothing was taken back";
    EXPECT_EQ(history.UndoNames().size(), 2);

    // With the other change gone the step goes back and comes again; the
    // other connection's work is no step of this history.
    other->Execute(QStringLiteral("UPDATE TpdbItems SET Comment = 'mine' WHERE Name = 'Valve'"));
    ASSERT_TRUE(history.Undo().done);
    EXPECT_EQ(comments(), (QStringList{QString(), QString()}));
    ASSERT_TRUE(history.Redo().done);
    EXPECT_EQ(comments(), (QStringList{QStringLiteral("mine"), QStringLiteral("mine")}));
    EXPECT_EQ(ItemsAfterUndo(), 2);
    EXPECT_EQ(ItemsAfterUndo(), 0);
    EXPECT_FALSE(history.CanUndo());
}

TEST_P(UndoHistoryTest, TheHistoryOutlivesTheConnection) {
    auto& history = Attach();
    AddItem(QStringLiteral("a"));
    history.Detach();
    connection->Close();
    connection = project->Open();
    history.Attach(*connection);
    EXPECT_EQ(ItemsAfterUndo(), 0);
    EXPECT_EQ(ItemsAfterRedo(), 1);
}

INSTANTIATE_TEST_SUITE_P(, UndoHistoryTest, test::kBothStores, test::StoreName);

}  // namespace
