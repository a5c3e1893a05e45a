// Commands that fail leave no trace: another program holding the database,
// a row the database refuses half-way, a sort that cannot run. The person
// gets a message, the program goes on, and neither the database nor the
// project tree shows anything that was not written.

#include "host/CToolbox.h"
#include "host/Rights.h"
#include "objects/FilledProjectTest.h"

#include <sqlite3.h>

using namespace ov;
using test::Edit;
namespace keys = ov::host::keys;

namespace {

class CommandFailureTest : public test::FilledProjectTest {
  protected:
    void SetUp() override {
        Open([](db::Connection& c) {
            c.Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, BlobMode, HierarchBrowseSeparator) "
                                     "VALUES (1, 'Plant', 2, '.')"));
            test::AddItems(c, 1, test::Words("A.a1 A.a2 A.a3 B.b1 B.b2 top"), 100, 1);
        });
    }
    void TearDown() override {
        if (m_locker) sqlite3_close(m_locker);
        host::Authorization::Current() = {};
        FilledProjectTest::TearDown();
    }

    void TreeKey(const QString& key, int code) { harness.Session().NodeKeyDown(QString(), key, QString(), code, keys::kCtrl); }
    int ItemCount() { return Count(QStringLiteral("SELECT Count(*) FROM TpdbItems")); }
    int WithComment(const char* comment) {
        return Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE Comment = '%1'").arg(QString::fromUtf8(comment)));
    }
    // Makes the database refuse one statement, as a constraint of the
    // project would, with its own words; the next call drops the last one.
    void Refuse(const char* when, const char* condition) {
        auto& c = Window().Data()->Connection();
        c.Execute(QStringLiteral("DROP TRIGGER IF EXISTS refuse"));
        c.Execute(QStringLiteral("CREATE TEMP TRIGGER refuse %1 ON TpdbItems WHEN %2 "
                                 "BEGIN SELECT RAISE(ABORT, 'refused by the project'); END")
                      .arg(QString::fromUtf8(when), QString::fromUtf8(condition)));
    }
    // Another program takes the write lock and keeps it.
    void LockForWriting() {
        ASSERT_EQ(sqlite3_open(project.Path().toUtf8().constData(), &m_locker), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(m_locker, "BEGIN IMMEDIATE; UPDATE TpdbItems SET Comment = 'held' WHERE ID < 0;",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        Window().Data()->Connection().SetBusyTimeout(20);
    }
    // Asks the next question's answer and forgets the messages so far.
    static void Expect(ui::Answer answer) {
        ui::DefaultMessageBoxes().Clear();
        ui::DefaultMessageBoxes().Queue(answer);
    }

    sqlite3* m_locker = nullptr;
};

TEST_F(CommandFailureTest, AForeignWriteLockStopsEveryCommandWithAMessage) {
    Click(Folder("A"));
    ASSERT_EQ(Items().RowCount(), 3);
    LockForWriting();

    // Delete of selected rows, paste of a copied one.
    Items().SelectRows({0, 1});
    Expect(ui::Answer::OK);
    Press(Items(), keys::kDelete, keys::kCtrl);
    EXPECT_FALSE(LastMessage().isEmpty());
    Items().SelectRows({0});
    Press(Items(), keys::kC, keys::kCtrl);
    ui::DefaultMessageBoxes().Clear();
    Press(Items(), keys::kV, keys::kCtrl);
    EXPECT_FALSE(LastMessage().isEmpty());
    EXPECT_EQ(Items().RowCount(), 3) << "the grid shows neither a delete nor a paste";

    // An edit of one row and one over several selected rows: the change is
    // lost, the grid shows the stored value and keeps its place.
    for (const std::vector<int>& rows : {std::vector<int>{}, std::vector<int>{0, 1, 2}}) {
        SCOPED_TRACE(rows.size());
        ui::DefaultMessageBoxes().Clear();
        Items().SelectRows(rows);
        Items().SetCurrentCell(1, Column("Comment"));
        Edit(Items(), 1, Column("Comment"), QStringLiteral("never"));
        EXPECT_TRUE(LastMessage().startsWith(QStringLiteral("Error: 6160  changes are aborted"))) << LastMessage().toStdString();
        EXPECT_NE(Items().CellText(1, Column("Comment")), QStringLiteral("never"));
        EXPECT_EQ(Items().CurrentRow(), 1);
        EXPECT_EQ(Items().RowCount(), 3);
    }

    // Branch-wide delete from the tree.
    Expect(ui::Answer::OK);
    Tool(Folder("B"), "mnuDeviceHelperItemsDelete", true);
    EXPECT_FALSE(LastMessage().isEmpty());

    // The statistic only reads: it works under another program's write lock.
    ui::DefaultMessageBoxes().Clear();
    Window().ClickTool(QStringLiteral("mnuOptionStatistik"));
    EXPECT_TRUE(ui::DefaultMessageBoxes().Shown().empty());
    EXPECT_EQ(Window().StatusCounters()[2], 6);

    sqlite3_exec(m_locker, "ROLLBACK", nullptr, nullptr, nullptr);  // the other program lets go
    EXPECT_EQ(ItemCount(), 6) << "nothing was deleted or pasted";
    EXPECT_EQ(WithComment("never"), 0);
    EXPECT_EQ(FolderCount(Folder("A")), 3);
    EXPECT_EQ(FolderCount(Folder("B")), 2);
    EXPECT_EQ(FolderCount(Folder("Copy of A")), -1);

    // Once the other program let go, the same commands work.
    Items().SelectRows({0, 1, 2});
    EXPECT_TRUE(Edit(Items(), 0, Column("Comment"), QStringLiteral("now")));
    EXPECT_EQ(WithComment("now"), 3);
    EXPECT_EQ(Items().CellText(1, Column("Comment")), QStringLiteral("now")) << "the grid works on after the error";
}

TEST_F(CommandFailureTest, AStatisticThatCannotReadSaysSoInsteadOfEndingTheProgram) {
    Click(device);
    Tool(device, "mnuOptionStatistik");
    const auto before = Window().StatusCounters();
    // Another program of the studio took a table away.
    project.Open()->Execute(QStringLiteral("DROP TABLE TpdbStructMembers"));
    Window().ClickTool(QStringLiteral("mnuOptionStatistik"));
    EXPECT_TRUE(LastMessage().contains(QStringLiteral("TpdbStructMembers"))) << LastMessage().toStdString();
    EXPECT_EQ(Window().StatusCounters(), before) << "the counters keep their values";
}

TEST_F(CommandFailureTest, ACommandTheDatabaseRefusesHalfWayLeavesNoTraceInRowsOrTree) {
    // A multi-row edit is written to all rows or to none.
    Click(Folder("A"));
    Refuse("BEFORE UPDATE", "new.Name = 'A.a3' AND new.Comment = 'x'");
    Items().SelectRows({0, 1, 2});
    Edit(Items(), 0, Column("Comment"), QStringLiteral("x"));
    EXPECT_TRUE(LastMessage().contains(QStringLiteral("refused by the project"))) << LastMessage().toStdString();
    EXPECT_EQ(WithComment("x"), 0) << "the first two rows went back with the third";
    EXPECT_NE(Items().CellText(0, Column("Comment")), QStringLiteral("x"));

    // A paste that the database refuses half-way adds no folder.
    ASSERT_EQ(FolderCount(Folder("A")), 3);
    TreeKey(Folder("A"), keys::kC);
    Refuse("BEFORE INSERT", "new.Name LIKE '%a3'");
    ui::DefaultMessageBoxes().Clear();
    TreeKey(device, keys::kV);
    EXPECT_FALSE(LastMessage().isEmpty());
    EXPECT_EQ(ItemCount(), 6);
    EXPECT_EQ(FolderCount(Folder("Copy of A")), -1);
    EXPECT_EQ(FolderCount(Folder("A")), 3);

    // A branch delete that fails on its last item keeps every folder.
    Refuse("BEFORE DELETE", "old.Name = 'B.b2'");
    ui::DefaultMessageBoxes().Queue(ui::Answer::OK);
    TreeKey(Folder("B"), keys::kDelete);
    EXPECT_EQ(ItemCount(), 6);
    EXPECT_EQ(FolderCount(Folder("B")), 2);

    // A folder rename that fails leaves the folder as it was.
    Refuse("BEFORE UPDATE", "new.Name = 'C.a2'");
    Click(Folder("A"));
    ui::DefaultFormRunner().Once(QStringLiteral("FItemStructEditor"), test::Typing({{"TxtName", QStringLiteral("C")}}));
    Tool(Folder("A"), "mnuDeviceHelperItemRename", true);
    ASSERT_EQ(ui::DefaultFormRunner().Shown().size(), 1);
    EXPECT_EQ(FolderCount(Folder("C")), -1);
    EXPECT_EQ(FolderCount(Folder("A")), 3);
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE Name LIKE 'C.%'")), 0);
}

TEST_F(CommandFailureTest, ASortTheDatabaseCannotRunIsRefused) {
    Click(Folder("A"));
    const int beeps = Beeps();
    Items().SetCurrentCell(1, Items().ColumnIndex(settings::Text(147)));  // the item index text
    Press(Items(), keys::kO, keys::kCtrl);
    EXPECT_EQ(Beeps(), beeps + 1);
    EXPECT_TRUE(Window().SortField().isEmpty()) << "the stored sort stays as it was";
    EXPECT_EQ(Items().CurrentRow(), 1);
    // Every later view still opens.
    Click(Folder("B"));
    EXPECT_EQ(Items().RowCount(), 2);
    EXPECT_TRUE(ui::DefaultMessageBoxes().Shown().empty());
}

TEST_F(CommandFailureTest, ValuesFromTheCellDialogsGoToEverySelectedRow) {
    Click(Folder("A"));
    Items().SelectRows({0, 1, 2});
    Items().SetCurrentCell(0, Column("DefaultMode"));
    ui::DefaultFormRunner().Once(QStringLiteral("FDefaultMode"), [](ui::Form& f) {
        f.UserCheck(QStringLiteral("chkDefaultMode"), true, 1);
        f.PressDefault();
    });
    Items().ColumnButtonClicked(Column("DefaultMode"));
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE DefaultMode = 2")), 3);
    EXPECT_EQ(Items().SelectedBookmarks().size(), 3u) << "the selection stays for the next edit";

    ui::DefaultFormRunner().Once(QStringLiteral("FItemOptions"), [](ui::Form& f) {
        f.UserCheck(QStringLiteral("chkItemOptions"), true, 2);
        f.PressDefault();
    });
    Items().SetCurrentCell(1, Column("Options"));
    Items().ColumnButtonClicked(Column("Options"));
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE Options = 4")), 3);

    // Simulation parameters belong to a function: they reach the selected
    // items simulated by the same one, and no other.
    const int function = Items().ColumnIndex(settings::Text(142));
    const int parameters = Items().ColumnIndex(settings::Text(143));
    ASSERT_GE(function, 0);
    const QString sine = Window().SimulationFunctions().GetFunctions().at(1).first;
    Items().SelectRows({});
    for (int row : {0, 1}) ASSERT_TRUE(Edit(Items(), row, function, Items().Column(function).values.DisplayText(sine)));
    Items().SelectRows({0, 1, 2});
    Items().SetCurrentCell(0, parameters);
    ui::DefaultFormRunner().Once(QStringLiteral("FSimulationParameters"), [](ui::Form& f) {
        f.UserEditCell(QStringLiteral("tdbParameters"), 0, 1, QStringLiteral("42"));
        f.PressDefault();
    });
    Items().ColumnButtonClicked(parameters);
    EXPECT_TRUE(Items().CellText(0, parameters).startsWith(QStringLiteral("42")));
    EXPECT_EQ(Items().CellText(1, parameters), Items().CellText(0, parameters));
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbSimulation")), 2) << "the third item gets no simulation";

    // An item without a function has no parameters to set: no dialog, a beep.
    const int beeps = Beeps();
    const qsizetype dialogs = ui::DefaultFormRunner().Shown().size();
    Items().SetCurrentCell(2, parameters);
    Items().ColumnButtonClicked(parameters);
    EXPECT_EQ(ui::DefaultFormRunner().Shown().size(), dialogs);
    EXPECT_EQ(Beeps(), beeps + 1);
}

TEST_F(CommandFailureTest, RightsAreAskedAtEveryEdit) {
    Click(Folder("A"));
    ASSERT_TRUE(Items().BeginEdit(0, Column("Comment")));
    Items().CancelEdit();
    // The level drops while the grid is shown: no new availability was computed.
    qint16 level = 2;
    bool overwrite = true;
    host::CToolbox().SetExternalAuthorizationLevel(level, overwrite);
    EXPECT_TRUE(Items().AllLocked());
    EXPECT_FALSE(Items().BeginEdit(0, Column("Comment")));
    level = 5;
    host::CToolbox().SetExternalAuthorizationLevel(level, overwrite);
    EXPECT_TRUE(Items().BeginEdit(0, Column("Comment")));
}

}  // namespace
