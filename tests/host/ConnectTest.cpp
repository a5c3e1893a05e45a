// The add-in's session as the studio drives it: whether it starts, which
// project it opens, loading, reloading and ending, and the node events.

#include "editor/frmtabgridOPC.h"
#include "host/CToolbox.h"
#include "host/NodeKey.h"
#include "host/ProjectTree.h"
#include "host/Rights.h"
#include "model/DataConnection.h"
#include "platform/host/HelpViewer.h"
#include "platform/host/WindowMessages.h"
#include "platform/system/ProjectSettings.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"
#include "support/Files.h"
#include "support/PgCluster.h"
#include "support/SessionHarness.h"
#include "platform/db/Recordset.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <functional>
#include <gtest/gtest.h>

using namespace ov;
using State = host::Connect::State;
namespace nk = ov::host::nodekey;

namespace {

const QString kVersionKey = QStringLiteral("SOFTWARE\\Senmark GmbH\\Orvana\\4.0");

class ConnectTest : public ::testing::Test {
protected:
    editor::frmtabgridOPC& Window() { return dynamic_cast<editor::frmtabgridOPC&>(*harness.Session().Window()); }
    host::Connect& Session() { return harness.Session(); }
    // The project closed and the session started afresh on what is given.
    void StartAgain(const QString& file, bool withOwner = true) {
        harness.Restart();
        harness.Start(file, withOwner);
    }
    // The editor loaded on the demo project.
    void StartLoaded() {
        harness.Start(project.Path());
        harness.Load();
        ASSERT_TRUE(Session().IsLoaded());
    }
    void WriteSetting(const test::TempProject& target, const QString& value) {
        sys::ProjectSettings settings;
        ASSERT_TRUE(settings.Open(target.Path(), harness.Registry()));
        ASSERT_TRUE(settings.Write(QStringLiteral("OVOPCEditor"), QStringLiteral("ExternalAuthorizationLevel"), value));
    }

    test::SessionHarness harness;
    test::TempProject project{test::TempProject::Content::Demo};
};

TEST_F(ConnectTest, AuthorizationLevelOfTheProjectDecidesWhetherTheAddInStarts) {
    // Without the setting it starts with the editor's node alone.
    harness.Start(project.Path(), false);
    EXPECT_EQ(Session().SessionState(), State::Initialized);
    const auto* root = harness.Host().Find(nk::kRoot);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->tag, QStringLiteral("0"));
    EXPECT_EQ(root->image, host::images::kEditor);
    EXPECT_TRUE(root->flags.expanded && root->flags.addInRoot && !root->flags.sorted);
    EXPECT_EQ(harness.Host().Icons().size(), 7);
    EXPECT_EQ(harness.Host().NodeCount(), 1) << "nothing else is loaded yet";

    WriteSetting(project, QStringLiteral("4"));
    StartAgain(project.Path(), false);
    EXPECT_EQ(Session().SessionState(), State::Inactive);
    EXPECT_EQ(harness.Host().NodeCount(), 0);
    harness.Load();
    EXPECT_FALSE(Session().IsLoaded()) << "an inactive add-in loads nothing";

    StartAgain(project.Path(), true);
    EXPECT_EQ(Session().SessionState(), State::Initialized) << "with an owner the check is skipped";

    WriteSetting(project, QStringLiteral("5"));
    StartAgain(project.Path(), false);
    EXPECT_EQ(Session().SessionState(), State::Initialized);
}

TEST_F(ConnectTest, ProjectArgumentIsAFileOrARegisteredName) {
    // How a name or a path is resolved is the platform's part; the session opens what it resolves to.
    ASSERT_TRUE(harness.Registry().WriteValue(sys::Hive::LocalMachine, kVersionKey + QStringLiteral("\\Projects\\project"),
                                              QStringLiteral("Path"), QFileInfo(project.Path()).absolutePath()));
    harness.Start(QStringLiteral("project"));
    EXPECT_EQ(Session().ProjectFile(), QFileInfo(project.Path()).absoluteFilePath());
    harness.Load();
    EXPECT_TRUE(Session().IsLoaded());

    StartAgain(QString());
    EXPECT_EQ(harness.Host().NodeCount(), 0);
    EXPECT_TRUE(ui::DefaultMessageBoxes().Shown().empty()) << "no project at all: no nodes, no message";

    // A name nobody registered: the editor's node is there, and opening it
    // says why the project cannot be found, leaving nothing half-built.
    StartAgain(QStringLiteral("NotRegistered"));
    EXPECT_EQ(harness.Host().NodeCount(), 1);
    harness.Load();
    EXPECT_FALSE(Session().IsLoaded());
    EXPECT_EQ(Session().SessionState(), State::Initialized);
    ASSERT_EQ(ui::DefaultMessageBoxes().Shown().size(), 1u);
    const QString said = ui::DefaultMessageBoxes().Shown().back().text;
    EXPECT_TRUE(said.contains(QStringLiteral("NotRegistered"))) << said.toStdString();
    EXPECT_TRUE(said.startsWith(settings::Text(settings::kTextProjectNotRegistered).left(10))) << said.toStdString();
    EXPECT_EQ(harness.Host().NodeCount(), 1) << "only the editor's own node";
    EXPECT_EQ(Session().Window(), nullptr);
    harness.Load();
    EXPECT_EQ(ui::DefaultMessageBoxes().Shown().size(), 2u) << "every try says it again";
}

TEST_F(ConnectTest, BrokenRegistryLeavesTheAddInWithoutNodes) {
    ASSERT_FALSE(test::WriteFile(harness.RegistryFile(), QByteArray("\x00\x01[[[garbage\n=\n", 16)).isEmpty());
    harness.Start(QStringLiteral("Plant"));
    EXPECT_EQ(harness.Host().NodeCount(), 1) << "a registry of garbage registers nothing: the load will say so";

    QFile::remove(harness.RegistryFile());
    QDir().mkdir(harness.RegistryFile());  // cannot be read at all
    StartAgain(QStringLiteral("Plant"));
    EXPECT_EQ(harness.Host().NodeCount(), 0);
    StartAgain(project.Path());
    EXPECT_EQ(Session().SessionState(), State::Initialized) << "a file path needs no registry";
}

TEST_F(ConnectTest, LoadingOpensTheDatabaseWithTheDirectTablesAndPreparesTheCatalogues) {
    harness.Start(project.Path());
    Session().NodeClick(QString(), nk::kRoot, QString());
    ASSERT_TRUE(Session().IsLoaded());
    auto* data = Session().Window()->Data();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->IsOpen());
    EXPECT_EQ(data->OpenRecordsetCount(), 6) << "two tables opened directly and the four grids' record sources";
    // The connections (a row per item and group) open when first asked for.
    EXPECT_EQ(data->Connections().Index(), QStringLiteral("Connection"));
    EXPECT_EQ(data->OpenRecordsetCount(), 7);
    EXPECT_EQ(harness.Host().SelectedKey(), nk::kRoot);
    EXPECT_TRUE(harness.Host().TreeHasFocus());
    EXPECT_TRUE(Window().IsSubclassed());
    EXPECT_EQ(Window().Parent(), harness.Host().GetHostWindow());
    EXPECT_EQ(Window().CurrentNode(), nk::kRoot);
    EXPECT_FALSE(Window().SwitchViewFlag()) << "a new project has unique item accesses: the item-access view";

    // The catalogues and languages the window needs are ready.
    EXPECT_TRUE(QFile::exists(harness.InstallFolder() + QStringLiteral("/OVOPCSimulation.ini"))) << "made from the built-in content";
    EXPECT_EQ(Window().SimulationFunctions().GetFunctions().size(), 8u);
    EXPECT_TRUE(Window().IndexTexts().TextsEnabled());
    EXPECT_EQ(Window().Languages().Count(), 2);
    EXPECT_EQ(Window().LanguageSelector().list.Size(), 2u);
    EXPECT_EQ(Window().LanguageSelector().SelectedData().toInt(), 1031);
}

TEST_F(ConnectTest, AProjectWithoutOptionalTablesOpens) {
    {
        auto c = project.Open();
        c->Execute(QStringLiteral("DROP TABLE TpdbAlign"));
        c->Execute(QStringLiteral("DROP TABLE TpdbSimulation"));
    }
    StartLoaded();
    EXPECT_EQ(Session().Window()->Data()->OpenRecordsetCount(), 4);
    EXPECT_EQ(Window().tdbI().ColumnIndex(settings::Text(142)), -1) << "no simulation columns without the table";
    EXPECT_EQ(Window().tdbI().ColumnIndex(settings::Text(144)), -1);
    EXPECT_TRUE(ui::DefaultMessageBoxes().Shown().empty());
}

TEST_F(ConnectTest, AFileThatIsNoDatabaseIsReportedAndLoadsNothing) {
    const QString bad = QFileInfo(project.Path()).absolutePath() + QStringLiteral("/broken.ovs");
    ASSERT_EQ(test::WriteFile(bad, QByteArray(300, 'x')), bad);
    harness.Start(bad);
    Session().NodeClick(QString(), nk::kRoot, QString());
    EXPECT_FALSE(Session().IsLoaded());
    EXPECT_EQ(Session().SessionState(), State::Initialized);
    ASSERT_EQ(ui::DefaultMessageBoxes().Shown().size(), 1u);
    EXPECT_TRUE(ui::DefaultMessageBoxes().Shown()[0].text.startsWith(settings::Text(1309)));
    EXPECT_EQ(harness.Host().NodeCount(), 1) << "only the root";
    EXPECT_EQ(QFileInfo(bad).size(), 300);
}

TEST_F(ConnectTest, TerminateSavesPendingChangesAndClosesEverything) {
    StartLoaded();
    db::Recordset& groups = Session().Window()->Data()->Recordset(QStringLiteral("rstabOPCGroups"));
    groups.MoveFirst();
    groups.SetValue(QStringLiteral("Comment"), QStringLiteral("kept at close"));
    Session().Terminate();
    EXPECT_EQ(Session().SessionState(), State::Ended);
    EXPECT_EQ(harness.Host().NodeCount(), 0);
    EXPECT_EQ(Session().Window(), nullptr);
    EXPECT_FALSE(QFile::exists(project.Path() + QStringLiteral("-wal"))) << "the last connection closed";
    EXPECT_GE(host::DefaultHelpViewer().CloseAllCalls(), 1);

    auto check = project.Open();
    db::Recordset rs;
    rs.Open(QStringLiteral("SELECT * FROM TpdbGroups WHERE Comment = 'kept at close'"), *check);
    EXPECT_EQ(rs.RecordCount(), 1);
}

TEST_F(ConnectTest, ReloadRebuildsTheBranchAndKeepsTheStudio) {
    StartLoaded();
    const int nodes = harness.Host().NodeCount();
    Session().Window()->Data()->OpenCommand(QStringLiteral("rsOPCGroups"));
    harness.Host().ClearCalls();
    Session().Reload();
    EXPECT_TRUE(Session().IsLoaded());
    EXPECT_EQ(harness.Host().NodeCount(), nodes);
    EXPECT_EQ(harness.Host().RefusedCalls(), 0);
    EXPECT_TRUE(harness.Host().Calls().contains(QStringLiteral("SetNodeProperty(OPCE0, 10, false)")));
    EXPECT_EQ(Session().Window()->Data()->OpenRecordsetCount(), 6) << "the old recordsets are gone";
}

TEST_F(ConnectTest, RightsFollowTheLevelAtEveryCheck) {
    // What each level allows is seen in the menus and grids; without overwrite the level does not count.
    host::CToolbox toolbox;
    const auto set = [&](qint16 level, bool overwrite) { toolbox.SetExternalAuthorizationLevel(level, overwrite); };
    set(0, false);
    EXPECT_TRUE(host::HasEditRight() && host::HasCreateRight() && host::HasDeleteRight());
    set(4, true);
    EXPECT_TRUE(host::HasEditRight() && host::HasCreateRight());
    EXPECT_FALSE(host::HasDeleteRight());
    host::Authorization::Current() = {};
}

TEST_F(ConnectTest, NodeEventsReachTheWindow) {
    harness.Start(project.Path());
    auto& session = Session();
    session.NodeClick(QString(), QStringLiteral("XYZ1"), QString());
    EXPECT_FALSE(session.IsLoaded()) << "keys of other add-ins are not ours";

    session.NodeClick(QString(), nk::UnitClassKey(1, true), QString());
    ASSERT_TRUE(session.IsLoaded());
    EXPECT_EQ(Window().FrontGrid(), QStringLiteral("tdbU"));
    session.NodeClick(QString(), nk::kGroups, QString());
    EXPECT_EQ(Window().FrontGrid(), QStringLiteral("tdbG"));
    session.NodeClick(QString(), nk::GroupKey(2), QString());
    EXPECT_EQ(Window().FrontGrid(), QStringLiteral("tdbI"));
    EXPECT_EQ(Window().CurrentNode(), nk::GroupKey(2));

    int key = host::keys::kF6;
    session.NodeKeyDown(QString(), QStringLiteral("OPCS2"), QString(), key, host::keys::kAlt);
    EXPECT_EQ(Window().FocusedGrid(), QStringLiteral("tdbS"));
    key = host::keys::kF1;
    const auto before = host::DefaultHelpViewer().Requests().size();
    session.NodeKeyDown(QString(), QStringLiteral("OPCD0"), QString(), key, 0);
    ASSERT_EQ(host::DefaultHelpViewer().Requests().size(), before + 1);
    EXPECT_EQ(host::DefaultHelpViewer().Requests().back().topic, 82100);
    EXPECT_TRUE(host::DefaultHelpViewer().Requests().back().helpFile.endsWith(QStringLiteral("helpfiles/Itemsystem.chm")));

    for (int ascii : {3, 22, 65}) {
        int pressed = ascii;
        session.NodeKeyPress(QString(), nk::kRoot, QString(), pressed);
        EXPECT_EQ(pressed, ascii == 65 ? 65 : 0);
    }
}

TEST_F(ConnectTest, AnnouncedTextChangesDropTheCachedTextTable) {
    StartLoaded();
    db::Recordset& texts = Window().IndexTexts().TextsRecordset();
    texts.MoveFirst();
    texts.SetValue(QStringLiteral("L1033"), QStringLiteral("unsaved"));
    const quint32 message = host::RegisterWindowMessage(QStringLiteral("OV_EDITORS"));
    Session().WindowMessage(message, 0x100, 1);
    EXPECT_EQ(texts.GetEditMode(), db::EditMode::InProgress) << "only lParam 2 announces texts";
    Session().WindowMessage(message, 0x0FF, 2);
    EXPECT_EQ(texts.GetEditMode(), db::EditMode::InProgress) << "bit 8 of wParam must be set";
    Session().WindowMessage(message, 0x100, 2);
    EXPECT_EQ(texts.State(), db::ObjectState::Closed);
    EXPECT_EQ(Window().IndexTexts().GetItemText(1, 1033), QStringLiteral("Motor 1 speed")) << "the change dropped, texts read again";
}

}  // namespace

// Two engineers on one project on a server: what the other commits reaches
// the open editor without a click, and its own work stays its own.
class TeamProject : public ::testing::Test {
protected:
    void SetUp() override {
        OV_REQUIRE_PG_CLUSTER(server);
        cluster = server;
        if (!QCoreApplication::instance()) app.emplace(argc, argv);
        project = std::make_unique<test::TempProject>(test::TempProject::Content::Demo, test::Store::Server);
        harness.Start(project->Path());
        harness.Load();
        ASSERT_TRUE(harness.Session().IsLoaded());
        theirs = project->Open();
    }

    editor::frmtabgridOPC& Window() { return dynamic_cast<editor::frmtabgridOPC&>(*harness.Session().Window()); }
    host::InMemoryHost& Host() { return harness.Host(); }
    host::Connect& Session() { return harness.Session(); }
    QString Status() { return Window().sb().PanelText(1); }
    QString TextOf(const QString& key) {
        const auto* node = Host().Find(key);
        return node ? node->text : QStringLiteral("<none>");
    }
    QString CountOf(const QString& key) {
        const auto* node = Host().Find(key);
        return node ? node->properties.value(host::kPropertyItemCount).toString() : QStringLiteral("<none>");
    }
    int IdOf(const QString& table, const QString& name) {
        db::Recordset rs;
        rs.Open(QStringLiteral("SELECT ID FROM %1 WHERE Name = '%2'").arg(table, name), *theirs);
        return rs.IsEOF() ? -1 : rs.Value(QStringLiteral("ID")).toInt();
    }
    // Lets the editor hear the news until the condition holds (at most a few seconds).
    bool Await(const std::function<bool()>& condition) {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            if (condition()) return true;
        }
        return condition();
    }
    QString Folder(const QString& deviceKey, const QString& path) {
        return host::ProjectTree::LevelKeys(deviceKey, path + nk::SecondField(deviceKey) + u'x').value(path.count(u'.') + path.count(u'/'));
    }

    const test::PgCluster* cluster = nullptr;
    int argc = 1;
    char program[10] = "test_host";
    char* argv[2] = {program, nullptr};
    std::optional<QCoreApplication> app;
    std::unique_ptr<test::TempProject> project;
    test::SessionHarness harness;
    std::unique_ptr<db::Connection> theirs;
};

TEST_F(TeamProject, AnotherEngineersCommitIsShownWithWhoAndTheRowsAreReadAgain) {
    db::Connection& mine = Window().Data()->Connection();
    // A recordset that read the row before, as a grid has.
    db::Recordset shown;
    shown.Open(QStringLiteral("SELECT Name, MaxVal FROM TpdbItems WHERE Name = 'BatchCounter'"), mine);
    const double before = shown.Fields(1).Value().toDouble();

    theirs->Execute("UPDATE TpdbItems SET MaxVal = 4711 WHERE Name = 'BatchCounter'");
    Await([&] { return Status().contains(QStringLiteral("TpdbItems")); });
    const QString status = Status();
    EXPECT_TRUE(status.contains(cluster->Superuser())) << status.toStdString();
    EXPECT_TRUE(status.contains(QStringLiteral("1 "))) << "one row: " << status.toStdString();
    EXPECT_NE(before, 4711.0);
    shown.MoveFirst();
    EXPECT_EQ(shown.Fields(1).Value().toDouble(), 4711.0) << "the rows shown are read again";

    // The own edit is not news to the own editor.
    mine.Execute("UPDATE TpdbItems SET MinVal = 2 WHERE Name = 'BatchCounter'");
    QCoreApplication::processEvents(QEventLoop::AllEvents, 300);
    EXPECT_EQ(Status(), status);
}

TEST_F(TeamProject, DevicesGroupsStructuresAndUnitClassesTheyCommitAppearInTheTree) {
    const int fast = IdOf(QStringLiteral("TpdbGroups"), QStringLiteral("Fast"));
    const int pressure = IdOf(QStringLiteral("TpdbUnitClasses"), QStringLiteral("Pressure"));
    ASSERT_TRUE(Host().HasNode(nk::UnitClassKey(pressure, false)));
    Session().NodeClick(QString(), nk::GroupKey(fast), QString());
    const int nodes = Host().NodeCount();

    // A device with its items in one commit: the node comes with its folders, below the devices and every group.
    theirs->InTransaction([&] {
        theirs->Execute(QStringLiteral("INSERT INTO TpdbDevices (Name, ShortDescriptor, HierarchBrowseSeparator, BlobMode) "
                                       "VALUES ('Filler', 'Bottles', '/', 1)"));
        const int filler = static_cast<int>(theirs->LastInsertId());
        for (const char* item : {"Station1/Valve", "Station1/Pump", "Station2/Level", "Top"})
            theirs->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (?, ?, ?)"),
                            {filler, QString::fromUtf8(item), QString::fromUtf8(item)});
    });
    const int filler = IdOf(QStringLiteral("TpdbDevices"), QStringLiteral("Filler"));
    const QString fillerKey = nk::DeviceKey(filler, QStringLiteral("/"), false);
    ASSERT_TRUE(Await([&] { return Host().HasNode(fillerKey); })) << Host().Dump().toStdString();
    EXPECT_EQ(TextOf(fillerKey), QStringLiteral("Filler: Bottles"));
    EXPECT_EQ(Host().Find(fillerKey)->parent, nk::kExternal);
    EXPECT_EQ(CountOf(Folder(fillerKey, QStringLiteral("Station1"))), QStringLiteral("2"));
    EXPECT_EQ(CountOf(Folder(fillerKey, QStringLiteral("Station2"))), QStringLiteral("1"));
    EXPECT_EQ(Host().Find(fillerKey)->children.size(), 2) << "an item at the top makes no folder";
    for (const QString& group : Host().GetChildKeys(nk::kGroups, 1))
        EXPECT_EQ(TextOf(nk::GroupDeviceKey(nk::NodeId(group), filler)), QStringLiteral("Filler: Bottles")) << group.toStdString();
    EXPECT_EQ(Host().NodeCount(), nodes + 3 + Host().GetChildKeys(nk::kGroups, 1).size());

    // A group renamed, a structure added, a unit class deleted with its units: one commit each.
    theirs->Execute(QStringLiteral("UPDATE TpdbGroups SET Name = 'Rapid' WHERE ID = ?"), {fast});
    theirs->Execute(QStringLiteral("INSERT INTO TpdbStructDefs (Name) VALUES ('Valve')"));
    theirs->InTransaction([&] {
        theirs->Execute(QStringLiteral("DELETE FROM TpdbUnits WHERE ParentID = ?"), {pressure});
        theirs->Execute(QStringLiteral("DELETE FROM TpdbUnitClasses WHERE ID = ?"), {pressure});
    });
    const QString valveKey = nk::StructureKey(IdOf(QStringLiteral("TpdbStructDefs"), QStringLiteral("Valve")));
    ASSERT_TRUE(Await([&] { return !Host().HasNode(nk::UnitClassKey(pressure, false)) && Host().HasNode(valveKey); }))
        << Host().Dump().toStdString();
    EXPECT_EQ(TextOf(nk::GroupKey(fast)), QStringLiteral("Rapid"));
    EXPECT_EQ(TextOf(valveKey), QStringLiteral("Valve"));
    EXPECT_EQ(Host().Find(valveKey)->parent, nk::kStructures);
    EXPECT_EQ(Window().CurrentNode(), nk::GroupKey(fast)) << "the renamed group stays the one shown";
    EXPECT_TRUE(Window().Caption().endsWith(QStringLiteral("Rapid"))) << Window().Caption().toStdString();
    EXPECT_FALSE(Status().contains(settings::Text(9432))) << "nothing waits for Refresh View: " << Status().toStdString();
    EXPECT_EQ(Host().RefusedCalls(), 0);

    // Refresh View builds the same nodes from the database (the server may give the rows in another order).
    const auto nodesShown = [&] {
        QStringList lines = Host().Dump().split(u'\n');
        lines.sort();
        return lines;
    };
    const QStringList followed = nodesShown();
    Session().Reload();
    EXPECT_EQ(nodesShown(), followed);
}

TEST_F(TeamProject, ItemFoldersFollowTheirPasteAndDeleteWhileTheUserKeepsTheirRowAndEdit) {
    const int plc = IdOf(QStringLiteral("TpdbDevices"), QStringLiteral("PLC1"));
    const QString plcKey = nk::DeviceKey(plc, QStringLiteral("."), false);
    const QString line1 = Folder(plcKey, QStringLiteral("Line1"));
    const QString motor1 = Folder(plcKey, QStringLiteral("Line1.Motor1"));
    // The user is on a folder, in the second row, typing into the comment.
    Session().NodeClick(QString(), motor1, QString());
    ui::GridModel& grid = Window().tdbI();
    const int comment = grid.ColumnIndex(QStringLiteral("Comment"));
    ASSERT_GE(comment, 0);
    ASSERT_TRUE(grid.BeginEdit(1, comment));
    const QString rowName = grid.CellText(1, grid.ColumnIndex(Window().FieldNameFromSwitchView()));

    // 10,000 items pasted into a new folder, in one commit; the last item of a folder deleted, another moved.
    project->RunSql(QStringLiteral(
        "INSERT INTO \"TpdbItems\" (\"DeviceID\", \"Name\", \"ItemAccess\") "
        "SELECT %1, 'Line3.Batch.I' || g, 'Line3.Batch.I' || g FROM generate_series(1, 10000) g;").arg(plc));
    QElapsedTimer sent;
    sent.start();
    const QString line3Batch = Folder(plcKey, QStringLiteral("Line3.Batch"));
    ASSERT_TRUE(Await([&] { return Host().HasNode(line3Batch); })) << Host().Dump().toStdString();
    EXPECT_LT(sent.elapsed(), 4000) << "10,000 items must not keep the editor busy for seconds";
    EXPECT_EQ(CountOf(line3Batch), QStringLiteral("10000"));
    EXPECT_EQ(CountOf(Folder(plcKey, QStringLiteral("Line3"))), QStringLiteral("10000"));
    EXPECT_EQ(Host().Calls().filter(QStringLiteral("SetNodeProperty(") + QString(line3Batch).replace(QChar(0xFF), u'|')).size(), 1)
        << "the folder's count is set once";

    Host().ClearCalls();
    theirs->InTransaction([&] {
        theirs->Execute(QStringLiteral("DELETE FROM TpdbItems WHERE Name = 'Line2.Pump.Alarm.High'"));
        theirs->Execute(QStringLiteral("UPDATE TpdbItems SET Name = 'Line2.Valve1.Running', ItemAccess = 'Line2.Valve1.Running' "
                                       "WHERE Name = 'Line1.Motor2.Running'"));
    });
    ASSERT_TRUE(Await([&] { return !Host().HasNode(Folder(plcKey, QStringLiteral("Line2.Pump.Alarm"))); }))
        << Host().Dump().toStdString();
    EXPECT_EQ(CountOf(Folder(plcKey, QStringLiteral("Line2.Pump"))), QStringLiteral("1"));
    EXPECT_EQ(CountOf(Folder(plcKey, QStringLiteral("Line2.Valve1"))), QStringLiteral("3")) << "the moved item came";
    EXPECT_EQ(CountOf(Folder(plcKey, QStringLiteral("Line2"))), QStringLiteral("4")) << "one went, one came";
    EXPECT_EQ(CountOf(Folder(plcKey, QStringLiteral("Line1.Motor2"))), QStringLiteral("1"));
    EXPECT_EQ(CountOf(line1), QStringLiteral("8"));

    // The user's node, row and open edit are as they were; the edit writes to the same item.
    EXPECT_EQ(Window().CurrentNode(), motor1);
    EXPECT_EQ(grid.CurrentRow(), 1);
    ASSERT_TRUE(grid.EditActive());
    ASSERT_TRUE(grid.CommitEdit(QStringLiteral("typed meanwhile")));
    db::Recordset written;
    written.Open(QStringLiteral("SELECT Comment FROM TpdbItems WHERE %1 = '%2'").arg(Window().FieldNameFromSwitchView(), rowName),
                 *theirs);
    ASSERT_FALSE(written.IsEOF());
    EXPECT_EQ(written.Value(QStringLiteral("Comment")).toString(), QStringLiteral("typed meanwhile"));
    EXPECT_EQ(Host().RefusedCalls(), 0);
}

TEST_F(TeamProject, WhenTheyDeleteTheUsersNodeTheNodeAboveIsShownAndTheStatusSaysSo) {
    const int plc = IdOf(QStringLiteral("TpdbDevices"), QStringLiteral("PLC1"));
    const QString plcKey = nk::DeviceKey(plc, QStringLiteral("."), false);
    const QString alarm = Folder(plcKey, QStringLiteral("Line2.Pump.Alarm"));
    const QString pump = Folder(plcKey, QStringLiteral("Line2.Pump"));
    Host().SelectNode(alarm);
    Session().NodeClick(QString(), alarm, QString());
    ASSERT_EQ(Window().CurrentNode(), alarm);

    theirs->Execute(QStringLiteral("DELETE FROM TpdbItems WHERE Name = 'Line2.Pump.Alarm.High'"));
    ASSERT_TRUE(Await([&] { return !Host().HasNode(alarm); }));
    EXPECT_EQ(Window().CurrentNode(), pump);
    EXPECT_EQ(Host().SelectedKey(), pump);
    EXPECT_EQ(Window().tdbI().RowCount(), 1) << "the folder above shows its rows";
    const QString said = settings::Text(9440).replace(QStringLiteral("<node>"), QStringLiteral("Alarm"))
                             .replace(QStringLiteral("<parent>"), QStringLiteral("Pump"));
    EXPECT_TRUE(Status().contains(said)) << Status().toStdString();
    EXPECT_TRUE(Status().contains(cluster->Superuser())) << "who it was";

    // A device deleted under the user on its node below a group: the group is shown.
    const int slow = IdOf(QStringLiteral("TpdbGroups"), QStringLiteral("Slow"));
    const int weather = IdOf(QStringLiteral("TpdbDevices"), QStringLiteral("Weather"));
    const QString below = nk::GroupDeviceKey(slow, weather);
    Host().SelectNode(below);
    Session().NodeClick(QString(), below, QString());
    theirs->InTransaction([&] {
        theirs->Execute(QStringLiteral("DELETE FROM TpdbItems WHERE DeviceID = ?"), {weather});
        theirs->Execute(QStringLiteral("DELETE FROM TpdbDevices WHERE ID = ?"), {weather});
    });
    ASSERT_TRUE(Await([&] { return !Host().HasNode(below); }));
    EXPECT_EQ(Window().CurrentNode(), nk::GroupKey(slow));
    EXPECT_EQ(Host().SelectedKey(), nk::GroupKey(slow));
    EXPECT_FALSE(Host().HasNode(nk::DeviceKey(weather, QString(), false)));
    EXPECT_TRUE(Status().contains(QStringLiteral("Weather"))) << Status().toStdString();

    // A node the user is not on goes quietly.
    theirs->Execute(QStringLiteral("DELETE FROM TpdbStructDefs WHERE Name = 'StatusWord'"));
    ASSERT_TRUE(Await([&] { return Status().contains(QStringLiteral("TpdbStructDefs")); }));
    EXPECT_EQ(Host().GetChildKeys(nk::kStructures, 1).size(), 1);
    EXPECT_EQ(Window().CurrentNode(), nk::GroupKey(slow));
    EXPECT_FALSE(Status().contains(QStringLiteral("Weather"))) << "nothing said of a node left: " << Status().toStdString();
}
