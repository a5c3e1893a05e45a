// Undo and redo as a person uses them: every kind of command taken back
// through the Edit menu, Ctrl+Z in the tree or the script API, and done
// again; the project's tables come back value for value each time.

#include "components/InstalledPrograms.h"
#include "objects/ObjectTest.h"
#include "platform/db/Cursor.h"
#include "platform/system/ScriptedSaveFileDialog.h"
#include "platform/system/SystemTools.h"

#include <QFile>
#include <QTemporaryDir>

using namespace ov;
namespace nk = ov::host::nodekey;
using settings::Text;

namespace {

class UndoTest : public test::ObjectTest {
  protected:
    void SetUp() override {
        components::RegisterDemoInstallation(harness.Registry(), QString());
        Open();
        Click(motor1);
        ClearShown();
    }

    // Every row of every table, each value with its type, as stored.
    QStringList Tables() {
        auto c = project.Open();
        QStringList rows;
        for (const QString& table : c->Tables()) {
            if (table.startsWith(QStringLiteral("sqlite_"))) continue;  // the database's own counters
            QStringList values;
            for (const db::ColumnInfo& column : c->Columns(table)) values << QStringLiteral("quote([%1])").arg(column.name);
            db::Cursor cursor(*c, QStringLiteral("SELECT '%1|' || %2 FROM [%1] ORDER BY rowid").arg(table, values.join(QStringLiteral(" || '|' || "))));
            while (cursor.Next()) rows << cursor.Value(0).toString();
        }
        return rows;
    }
    model::UndoHistory& History() { return harness.Session().History(); }
    void TreeKey(int code) { harness.Session().NodeKeyDown(QString(), Window().CurrentNode(), QString(), code, host::keys::kCtrl); }
    void SelectRows(std::vector<int> rows) {
        Click(motor1);
        Window().tdbI().SelectRows(rows);
    }
    static void AnswerOK() { ui::DefaultMessageBoxes().Queue(ui::Answer::OK); }
    static sys::ScriptedSaveFileDialog& Files() {
        return dynamic_cast<sys::ScriptedSaveFileDialog&>(sys::SystemTools::Instance().FileDialog());
    }

    // Runs a command, takes it back and does it again; the name is the
    // step's as the Edit menu shows it.
    void Check(const QString& name, const std::function<void()>& command) {
        SCOPED_TRACE(name.toStdString());
        const QStringList before = Tables();
        const qsizetype steps = History().UndoNames().size();
        command();
        const QStringList after = Tables();
        ASSERT_TRUE(after != before) << "the command changed nothing";
        const QStringList questions = Messages();
        ASSERT_EQ(History().UndoNames().size(), steps + 1) << History().UndoNames().join(u'|').toStdString();
        EXPECT_EQ(History().UndoNames().front(), name);

        Window().ComputeAvailability(Window().CurrentNode(), false);
        EXPECT_EQ(Window().abr().FindTool(QStringLiteral("mnuEditUndo"))->caption, Text(9190).replace(QStringLiteral("<c>"), name));
        RunTool("mnuEditUndo");
        EXPECT_EQ(Tables(), before) << "undone";
        EXPECT_EQ(History().RedoNames().front(), name);

        TreeKey(host::keys::kY);
        EXPECT_EQ(Tables(), after) << "done again";
        EXPECT_TRUE(History().RedoNames().isEmpty());
        EXPECT_EQ(Messages(), questions) << "no message on the way";
    }

    const QString plc = nk::DeviceKey(1, QStringLiteral("."), false);
    const QString motor1 = plc + nk::kSeparator + QStringLiteral("Line1.Motor1");
    QTemporaryDir dir;
};

TEST_F(UndoTest, EveryKindOfCommandIsTakenBackAndDoneAgainValueForValue) {
    Check(QStringLiteral("Edit (item)"), [&] {
        ui::GridModel& grid = Window().tdbI();
        test::Edit(grid, 0, grid.ColumnIndex(QStringLiteral("Comment")), QStringLiteral("checked"));
        grid.SetCurrentCell(1, 0);  // leaving the row writes it
    });
    Check(QStringLiteral("New (item)"), [&] { RunTool("mnuItemNew"); });
    Check(QStringLiteral("Paste of 3 items"), [&] {
        SelectRows({0, 1, 2});
        RunTool("mnuItemCopy");
        RunTool("mnuItemPaste");
    });
    Check(QStringLiteral("Delete of 2 items"), [&] {
        SelectRows({0, 1});
        AnswerOK();
        RunTool("mnuItemDelete");
    });
    Check(QStringLiteral("Delete of 3 items"), [&] {
        AnswerOK();
        OnNode(plc + nk::kSeparator + QStringLiteral("Line1.Tank"), "mnuDeviceHelperItemsDelete", true);
    });
    Check(QStringLiteral("New (group)"), [&] { OnNode(nk::kGroups, "mnuGroupNew"); });
    Check(QStringLiteral("New (structure)"), [&] { OnNode(QStringLiteral("OPCS0"), "mnuStructureNew"); });
    Check(QStringLiteral("New (structure element)"), [&] {
        OnNode(nk::StructureKey(Query(QStringLiteral("SELECT Max(ID) FROM TpdbStructDefs")).toInt()), "mnuStructMemberNew");
    });
    Check(QStringLiteral("New (Process) (unit class)"), [&] { OnNode(nk::ProcessUnitsKey(), "mnuUnitClassNew"); });
    Check(QStringLiteral("New Channel (Orvana-Driver) (channel)"), [&] {
        OnForm("FDevice", Confirm);
        OnNode(nk::kExternal, "mnuDeviceNewOV32Driver");
    });
    Check(QStringLiteral("Delete Channel (channel)"), [&] {
        for (int question = 0; question < 2; ++question) AnswerOK();
        OnNode(nk::DeviceKey(2, QStringLiteral("."), false), "mnuDeviceDelete");
    });
    Check(QStringLiteral("Browse of 10 items"), [&] {
        OnForm("FBrowseItemsOCX", [](ui::Form& f) {
            const ui::Control& tree = f.Get(QStringLiteral("oib"));
            QString key;
            for (const QString& text : {QStringLiteral("DemoPlant"), QStringLiteral("Boiler")}) {
                if (!key.isEmpty()) f.UserExpandNode(QStringLiteral("oib"), key, true);
                for (const ui::TreeNode& node : tree.nodes)
                    if (node.parentKey == key && node.text == text) key = node.key;
            }
            f.UserCheckNode(QStringLiteral("oib"), key, true);
            f.PressDefault();
        });
        OnNode(plc, "mnuDeviceHelperItemsBrowse", true);
    });
    Check(QStringLiteral("Gruppenzuordnung of 6 group assignments"), [&] {
        SelectRows({0, 1, 2});
        OnForm("FGroupWizzard", [](ui::Form& f) {
            f.Get(QStringLiteral("lvwGroups")).listIndex = 1;
            f.UserClick(QStringLiteral("lvwGroups"));
            f.PressDefault();
        });
        Window().FunctionToolClick(QStringLiteral("GroupWizzard"));
    });
    // The project exported, a folder renamed in the file, imported again:
    // rows are matched by ID, so every item is written (empty texts come back empty).
    const QString file = dir.filePath(QStringLiteral("motor.csv"));
    const auto selectedItems = [](ui::Form& f) {
        f.UserClick(QStringLiteral("optSelItems"), 2);
        f.PressDefault();
    };
    OnForm("FExportToCSV", selectedItems);
    Files().Queue(file);
    OnNode(motor1, "mnuOptionExport");
    QFile csv(file);
    ASSERT_TRUE(csv.open(QIODevice::ReadWrite));
    const QByteArray renamed = csv.readAll().replace("Motor1", "Motor7");
    ASSERT_TRUE(csv.seek(0) && csv.resize(0) && csv.write(renamed) == renamed.size());
    csv.close();
    Check(QStringLiteral("Import Items of 19 items"), [&] {
        OnForm("FImportFromCSV", selectedItems);
        Files().Queue(file);
        RunTool("mnuOptionImport");
    });
    Check(QStringLiteral("Rename of 2 items"), [&] {
        OnForm("FItemStructEditor", test::Typing({{"TxtName", QStringLiteral("Motor9")}}));
        OnNode(plc + nk::kSeparator + QStringLiteral("Line1.Motor2"), "mnuDeviceHelperItemRename", true);
    });
}

TEST_F(UndoTest, AChangeByAnotherProgramStopsTheUndoWhichNamesTheItemAndChangesNothing) {
    SelectRows({0, 1, 2});
    RunTool("mnuItemCopy");
    RunTool("mnuItemPaste");
    ASSERT_EQ(History().UndoNames().front(), QStringLiteral("Paste of 3 items"));
    // Another program changes one of the pasted items.
    const int pasted = Query(QStringLiteral("SELECT Max(ID) FROM TpdbItems")).toInt();
    const QString name = Query(QStringLiteral("SELECT Name FROM TpdbItems WHERE ID = %1").arg(pasted)).toString();
    const QVariant comment = Query(QStringLiteral("SELECT Comment FROM TpdbItems WHERE ID = %1").arg(pasted));
    project.Open()->Execute(QStringLiteral("UPDATE TpdbItems SET Comment = 'theirs' WHERE ID = ?"), {pasted});
    const QStringList before = Tables();

    TreeKey(host::keys::kZ);
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_EQ(Messages().front(), QStringLiteral("Cannot undo \"Paste of 3 items\": the item \"%1\" was changed by another program since. "
                                                 "Nothing was changed.").arg(name));
    EXPECT_EQ(Tables(), before) << "nothing changed, their change kept";
    EXPECT_EQ(History().UndoNames().front(), QStringLiteral("Paste of 3 items")) << "the step stays for a later try";

    // Once their change is gone again, the undo goes through.
    project.Open()->Execute(QStringLiteral("UPDATE TpdbItems SET Comment = ? WHERE ID = ?"), {comment, pasted});
    ClearShown();
    TreeKey(host::keys::kZ);
    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE ID = %1").arg(pasted)), 0);
}

TEST_F(UndoTest, TheAliasSwitchEitherWayClearsTheHistoryAndSaysSo) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ClearShown();
        Click(motor1);
        RunTool("mnuItemNew");
        ASSERT_FALSE(History().UndoNames().isEmpty());
        // A name of its own, which switching the alias function off rewrites.
        project.Open()->Execute(QStringLiteral("UPDATE TpdbItems SET Name = 'Alias' || ID WHERE ID = 1"));
        OnForm("FConfigEditor", [](ui::Form& f) {
            f.UserCheck(QStringLiteral("chkSwitchView"), !f.Get(QStringLiteral("chkSwitchView")).IsChecked());
            f.PressDefault();
        });
        ui::DefaultMessageBoxes().Queue(ui::Answer::Yes);  // the question before switching off
        RunTool("mnuOptionOption");
        // Switching off rewrites every name: that is no step either.
        EXPECT_TRUE(History().UndoNames().isEmpty()) << History().UndoNames().join(u'|').toStdString();
        EXPECT_TRUE(Messages().contains(Text(9217))) << Messages().join(u'|').toStdString();
        const int beeps = Beeps();
        RunTool("mnuEditUndo");
        EXPECT_EQ(Beeps(), beeps + 1) << "nothing to undo: disabled";
    }
}

}  // namespace
