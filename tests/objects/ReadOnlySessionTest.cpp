// A project opened for viewing only, asked for by the studio or forced by
// write-protected files: every node, grid and dialog can be shown, every
// command that would change the project is greyed and refused, and nothing
// is ever written to the project or its folder.

#include "model/ProjectTemplate.h"
#include "objects/ObjectTest.h"

#include <QDir>
#include <QFile>
#include <map>

using namespace ov;
namespace nk = ov::host::nodekey;
namespace keys = ov::host::keys;
using ReadOnlyReason = ov::host::Connect::ReadOnlyReason;

namespace {

class ReadOnlySessionTest : public test::ObjectTest {
protected:
    void TearDown() override {
        // A failed test must not leave a folder the temporary directory cannot remove.
        Writable();
        test::EditorTest::TearDown();
    }
    void Writable() {
        QFile::setPermissions(project.Folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(project.Path(), QFile::ReadOwner | QFile::WriteOwner);
    }

    // Every file of the project's folder with its bytes.
    std::map<QString, QByteArray> FolderContent() const {
        std::map<QString, QByteArray> content;
        const QDir folder(project.Folder());
        for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
            QFile file(folder.filePath(name));
            content[name] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
        }
        return content;
    }
    static QStringList Names(const std::map<QString, QByteArray>& content) {
        QStringList names;
        for (const auto& entry : content) names << entry.first;
        return names;
    }
    // The stored value as a reader sees it; reading leaves no files behind either.
    QVariant Stored(const QString& sql) const {
        db::Connection reader;
        reader.Open(model::ProjectReadConnectionString(project.Path()));
        db::Recordset rs;
        rs.Open(sql, reader);
        return rs.IsEOF() ? QVariant() : rs.Fields(0).Value();
    }
    // Opens the project for viewing, after noting every byte of its folder.
    void OpenForViewing() {
        before = FolderContent();
        harness.Host().projectReadOnly = true;
        Open();
        ASSERT_TRUE(harness.Session().IsLoaded());
    }
    // Ends the session; not a byte of the folder changed, no file came or went.
    void ExpectFolderAsBefore() {
        harness.Session().Terminate();
        const auto after = FolderContent();
        EXPECT_EQ(Names(after), Names(before)) << "no OVEditors.ini, no log, index or journal";
        EXPECT_TRUE(after == before) << "not a byte changed";
    }
    QString Notice() { return Window().sb().Notices().join(u' '); }
    const ui::Tool& Tool(const char* name) { return *Window().abr().FindTool(QString::fromUtf8(name)); }
    bool Greyed(const char* name) { return Tool(name).visible && !Tool(name).enabled; }
    bool Offered(const char* name) { return Tool(name).visible && Tool(name).enabled; }

    std::map<QString, QByteArray> before;
    const QString plc = nk::DeviceKey(1, QStringLiteral("."), false);
    const QString motors = plc + nk::kSeparator + QStringLiteral("Line1.Motor1");
};

TEST_F(ReadOnlySessionTest, EveryViewIsShownAndTheFolderStaysAsItWas) {
    // A project made without the item text group: opened for editing, the
    // editor would file the group; for viewing it goes without.
    const QString textGroup = QStringLiteral("SELECT Count(*) FROM TidxGroups WHERE ParentID = 0 AND Type = -3");
    project.Open()->Execute(QStringLiteral("DELETE FROM TidxGroups WHERE ParentID = 0 AND Type = -3"));
    OpenForViewing();
    EXPECT_EQ(harness.Session().ReadOnly(), ReadOnlyReason::Requested);
    EXPECT_TRUE(Notice().contains(settings::Text(settings::kTextOpenedReadOnly))) << Notice().toStdString();
    EXPECT_TRUE(harness.Host().HasNode(motors)) << "the branch is built as ever";

    // The items of a folder and of group Fast, the groups, the members of Drive, the units of Temperature.
    for (const auto& [node, grid, rows] : {std::tuple{motors, "tdbI", 3}, std::tuple{nk::GroupKey(2), "tdbI", 4},
                                           std::tuple{nk::kGroups, "tdbG", 3}, std::tuple{nk::StructureKey(2), "tdbS", 3},
                                           std::tuple{nk::UnitClassKey(1, true), "tdbU", 2}}) {
        Click(node);
        EXPECT_EQ(Window().Grid(QString::fromUtf8(grid)).RowCount(), rows) << grid;
    }
    // Sorting and another language only change what is shown.
    Click(motors);
    Window().tdbI().SetCurrentCell(0, Window().tdbI().ColumnIndex(QStringLiteral("Comment")));
    Press(Window().tdbI(), keys::kO, keys::kCtrl);
    EXPECT_EQ(Window().SortField(), QStringLiteral("Comment"));
    harness.Session().Reload();
    ASSERT_TRUE(harness.Session().IsReadOnly()) << "Refresh View keeps the project read-only";
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'\n').toStdString();
    ExpectFolderAsBefore();
    EXPECT_EQ(Stored(textGroup).toInt(), 0);
}

TEST_F(ReadOnlySessionTest, CommandsThatChangeTheProjectAreGreyedAndRefused) {
    OpenForViewing();
    Click(motors);
    Window().tdbI().SelectRows({0, 1});
    Window().itemBufferFilled = true;
    Window().ComputeAvailability(motors, false);
    for (const char* tool : {"mnuItemNew", "mnuItemPaste", "mnuItemDelete", "mnuOptionOption", "mnuOptionImport"})
        EXPECT_TRUE(Greyed(tool)) << tool << ": shown, so the person sees it exists, but greyed";
    for (const char* tool : {"mnuItemEdit", "mnuItemCopy", "mnuOptionStatistik", "mnuOptionActualize", "mnuOptionExport"})
        EXPECT_TRUE(Offered(tool)) << tool << " only looks";
    Window().ComputeAvailability(plc, true);
    for (const char* tool : {"mnuDeviceDelete", "mnuDeviceConfig", "mnuDeviceHelperItemsBrowse",
                             "mnuDeviceHelperItemsPaste", "mnuDeviceHelperItemsDelete"})
        EXPECT_TRUE(Greyed(tool)) << tool;
    EXPECT_TRUE(Offered("mnuDeviceEdit"));
    Window().ComputeAvailability(nk::kExternal, true);
    EXPECT_TRUE(Greyed("mnuDeviceNew"));
    EXPECT_FALSE(Window().tbrfunc().IsEnabled(QStringLiteral("GroupWizzard")));

    // The keys of the grid and the tree, the menus and the wizard change nothing.
    const QVariant items = Stored(QStringLiteral("SELECT Count(*) FROM TpdbItems"));
    Click(motors);
    Window().tdbI().SelectRows({0, 1});
    for (const auto& [key, shift] : {std::pair{keys::kF8, 0}, std::pair{keys::kV, keys::kCtrl}, std::pair{keys::kDelete, keys::kCtrl}})
        Press(Window().tdbI(), key, shift);
    for (auto [node, key, shift] : {std::tuple{nk::kExternal, keys::kF8, 0}, std::tuple{plc, keys::kDelete, keys::kCtrl}})
        harness.Session().NodeKeyDown(QString(), node, QString(), key, shift);
    const int beeps = Beeps();
    RunTool("mnuItemDelete", motors);
    RunTool("mnuEditUndo", motors);
    Window().FunctionToolClick(QStringLiteral("GroupWizzard"));
    EXPECT_EQ(Beeps(), beeps + 3) << "each refused as a disabled command is";
    EXPECT_TRUE(ui::DefaultFormRunner().Shown().isEmpty()) << "no dialog of a new device or item";
    EXPECT_EQ(Stored(QStringLiteral("SELECT Count(*) FROM TpdbItems")), items);

    // No cell takes a value: not typed, not chosen through a cell's button.
    ui::GridModel& grid = Window().tdbI();
    EXPECT_TRUE(grid.AllLocked());
    EXPECT_FALSE(grid.BeginEdit(0, grid.ColumnIndex(QStringLiteral("Comment"))));
    Click(nk::kGroups);
    ui::GridModel& groups = Window().tdbG();
    groups.SetCurrentCell(1, groups.ColumnIndex(QStringLiteral("Name")));
    EXPECT_FALSE(groups.BeginEdit(1, groups.ColumnIndex(QStringLiteral("Name"))));
    harness.Host().QueueVariableSelection(QStringLiteral("Line1.Tank.Level"));
    groups.ColumnButtonClicked(groups.ColumnIndex(QStringLiteral("Activation")));
    EXPECT_FALSE(harness.Host().Calls().join(u' ').contains(QStringLiteral("SelectVariable")))
        << "the control object is not even asked for";
    EXPECT_FALSE(groups.dataChanged);
    ExpectFolderAsBefore();
}

TEST_F(ReadOnlySessionTest, DialogsShowTheirValuesButConfirmNothing) {
    // A group activated by a control variable, so that its chooser would open.
    project.Open()->Execute(QStringLiteral("UPDATE TpdbGroups SET ActiveMode = 1 WHERE ID = 2"));
    OpenForViewing();
    Click(motors);
    ui::GridModel& items = Window().tdbI();
    const int id = items.CellValue(items.CurrentRow(), items.ColumnIndex(QStringLiteral("ID"))).toInt();
    const QVariant comment = Stored(QStringLiteral("SELECT Comment FROM TpdbItems WHERE ID = %1").arg(id));

    QString shown;
    bool confirmed = true;
    OnForm("FItem", [&](ui::Form& f) {
        shown = Box(f, "txtComment");
        f.UserSetText(QStringLiteral("txtComment"), QStringLiteral("typed while viewing"));
        confirmed = f.PressDefault();
        f.PressCancel();
    });
    RunTool("mnuItemEdit");
    ASSERT_EQ(ui::DefaultFormRunner().Shown(), QStringList{QStringLiteral("FItem")});
    EXPECT_EQ(shown, comment.toString()) << "the dialog shows the stored values";
    EXPECT_FALSE(confirmed) << "OK cannot be pressed";

    // The surrogate mode dialog behind the grid's button, and a group's dialog from a double click.
    OnForm("FDefaultMode", [&](ui::Form& f) {
        f.UserClick(QStringLiteral("chkDefaultMode"), 0);
        confirmed = f.PressDefault();
    });
    Window().tdbI().ColumnButtonClicked(Window().tdbI().ColumnIndex(QStringLiteral("DefaultMode")));
    EXPECT_FALSE(confirmed);
    Click(nk::kGroups);
    Window().tdbG().SetCurrentCell(1, 0);
    OnForm("FGroup", [&](ui::Form& f) {
        f.UserSetText(QStringLiteral("txtName"), QStringLiteral("Faster"));
        confirmed = f.PressDefault();
    });
    Window().tdbG().DoubleClick();
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(ui::DefaultFormRunner().Shown(),
              (QStringList{QStringLiteral("FItem"), QStringLiteral("FDefaultMode"), QStringLiteral("FGroup")}));
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'\n').toStdString();
    ExpectFolderAsBefore();
    EXPECT_EQ(Stored(QStringLiteral("SELECT Comment FROM TpdbItems WHERE ID = %1").arg(id)), comment);
    EXPECT_EQ(Stored(QStringLiteral("SELECT Name FROM TpdbGroups WHERE ID = 2")).toString(), QStringLiteral("Fast"));
}

TEST_F(ReadOnlySessionTest, AWriteProtectedProjectOpensForViewingByItself) {
    struct Case {
        bool fileProtected;
        ReadOnlyReason reason;
        int text;
    };
    for (const Case& c : {Case{true, ReadOnlyReason::File, settings::kTextReadOnlyFile},
                          Case{false, ReadOnlyReason::Folder, settings::kTextReadOnlyFolder}}) {
        SCOPED_TRACE(c.text);
        before = FolderContent();
        // As on a CD or a write-protected share; the bits bind the administrator too.
        if (c.fileProtected) QFile::setPermissions(project.Path(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        QFile::setPermissions(project.Folder(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
        harness.Restart();
        Open();
        ASSERT_TRUE(harness.Session().IsLoaded()) << "shown, not refused with text 1309";
        EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'\n').toStdString();
        EXPECT_EQ(harness.Session().ReadOnly(), c.reason);
        EXPECT_TRUE(Notice().contains(settings::Text(c.text))) << Notice().toStdString();
        Click(motors);
        EXPECT_EQ(Window().tdbI().RowCount(), 3);
        EXPECT_TRUE(Greyed("mnuItemNew"));
        ExpectFolderAsBefore();
        Writable();
    }

    // Writable again, the project is edited as ever and the notice is gone.
    harness.Restart();
    Open();
    EXPECT_FALSE(harness.Session().IsReadOnly());
    EXPECT_TRUE(Window().sb().Notices().isEmpty());
    Click(motors);
    Window().ComputeAvailability(motors, false);
    EXPECT_TRUE(Offered("mnuItemNew"));
    EXPECT_FALSE(Window().tdbI().AllLocked());
}

}  // namespace
