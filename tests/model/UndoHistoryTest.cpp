// The undo history on a bare connection: what becomes a step, how steps
// are bounded, and what clears them.

#include "model/UndoHistory.h"
#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "settings/TextTable.h"
#include "support/TempProject.h"

#include <gtest/gtest.h>

using namespace ov;

namespace {

class UndoHistoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish);
        c->Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name) VALUES (1, 'D')"));
    }
    void TearDown() override { settings::TextTable::Instance().SetLanguage(settings::TextTable::kGerman); }

    // A history on the connection; what it tells the user goes to told.
    model::UndoHistory& Attach(model::UndoHistory::Limits limits = {}) {
        kept = std::make_unique<model::UndoHistory>(limits);
        kept->Attach(*c);
        kept->changed = [this](const QString& why) {
            if (!why.isEmpty()) told << why;
        };
        return *kept;
    }
    void AddItem(const QString& name, const QString& comment = QString()) {
        c->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, Comment) VALUES (1, ?, ?, ?)"),
                   {name, name, comment});
    }
    int Items() {
        db::Cursor count(*c, QStringLiteral("SELECT Count(*) FROM TpdbItems"));
        return count.Next() ? count.Value(0).toInt() : -1;
    }
    // The items left after a step is undone or redone, -1 when it was not.
    int ItemsAfterUndo() { return kept->Undo().done ? Items() : -1; }
    int ItemsAfterRedo() { return kept->Redo().done ? Items() : -1; }

    test::TempProject project;
    std::unique_ptr<db::Connection> c = project.Open();
    QStringList told;
    std::unique_ptr<model::UndoHistory> kept;
};

TEST_F(UndoHistoryTest, EachCommitIsAStepAndACommandJoinsItsTransactionsIntoOne) {
    auto& history = Attach();
    AddItem(QStringLiteral("a"));
    c->InTransaction([&] {
        AddItem(QStringLiteral("b"));
        AddItem(QStringLiteral("c"));
    });
    {
        model::UndoHistory::Command command(&history, QStringLiteral("&Browse"));
        for (const char* name : {"d", "e", "f"}) c->InTransaction([&] { AddItem(QString::fromUtf8(name)); });
        c->BeginTrans();
        AddItem(QStringLiteral("rolled back"));
        c->RollbackTrans();
    }
    {
        model::UndoHistory::Command failed(&history, QStringLiteral("Paste"));
        c->BeginTrans();
        AddItem(QStringLiteral("g"));
        c->RollbackTrans();
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

TEST_F(UndoHistoryTest, StepsAreBoundedInNumberAndInSizeAndTheUserIsToldWhenTheyGo) {
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

TEST_F(UndoHistoryTest, RecordingStopsOnceAStepOutgrowsTheBoundAndTheWorkItselfStands) {
    auto& history = Attach({.bytes = 64 * 1024});
    AddItem(QStringLiteral("small"));
    ASSERT_TRUE(history.CanUndo());
    // One statement of 20,000 rows: the recording is stopped while it runs.
    c->Execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
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

TEST_F(UndoHistoryTest, AnIndexChangeClearsTheHistoryWithAReason) {
    auto& history = Attach();
    AddItem(QStringLiteral("a"));
    c->CreateIndex(QStringLiteral("TpdbItems"), {QStringLiteral("ByComment"), {QStringLiteral("Comment")}, false, false});
    EXPECT_FALSE(history.CanUndo());
    EXPECT_EQ(told, QStringList{settings::Text(9217)});
    // Work after it is recorded as before.
    AddItem(QStringLiteral("b"));
    EXPECT_EQ(ItemsAfterUndo(), 1);

    // Rows written in the same transaction as an index change go with it.
    told.clear();
    AddItem(QStringLiteral("c"));
    c->InTransaction([&] {
        c->DropIndex(QStringLiteral("TpdbItems"), QStringLiteral("ByComment"));
        c->Execute(QStringLiteral("UPDATE TpdbItems SET Comment = Name"));
    });
    EXPECT_FALSE(history.CanUndo()) << history.UndoNames().join(u'|').toStdString();
    EXPECT_EQ(told, QStringList{settings::Text(9217)});
}

TEST_F(UndoHistoryTest, TheHistoryOutlivesTheConnection) {
    auto& history = Attach();
    AddItem(QStringLiteral("a"));
    history.Detach();
    c->Close();
    c = project.Open();
    history.Attach(*c);
    EXPECT_EQ(ItemsAfterUndo(), 0);
    EXPECT_EQ(ItemsAfterRedo(), 1);
}

}  // namespace
