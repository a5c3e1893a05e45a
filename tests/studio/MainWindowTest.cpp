// The studio's main window: projects opened, made and closed, the add-in's
// session following the open project, and the real add-in library hosted.

#include "StudioTest.h"
#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"
#include "studio/EditorArea.h"
#include "studio/MainWindow.h"
#include "studio/ProjectTreeWidget.h"
#include "studio/ScriptConsoleDialog.h"
#include "studio/VariableSelectionDialog.h"
#include "support/Files.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>
#include <cstring>
#include <functional>
#include <map>

using namespace Qt::StringLiterals;
using ov::host::HostStudio;
using ov::studio::EditorArea;
using ov::studio::MainWindow;
using ov::studio::ProjectTreeWidget;
using ov::test::kSep;

namespace {

const QString kRoot = u"OPCE0"_s;

QString Absolute(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

// What the add-in objects were asked to do, in order.
struct AddinLog {
    QStringList events;
    QStringList levels;  // "level/overwrite"
    HostStudio* host = nullptr;
    void* owner = nullptr;
    int liveSessions = 0;
};

// A session that behaves like the editor's at its edges: it adds its root
// node on Initialize and removes it on Terminate.
class FakeSession : public ov::test::QuietAddin {
public:
    explicit FakeSession(AddinLog& log) : m_log(log) { ++m_log.liveSessions; }
    ~FakeSession() override {
        --m_log.liveSessions;
        m_log.events << u"deleted"_s;
    }
    bool Initialize(const QString& project, const QString& unused, HostStudio* host, void* owner) override {
        m_log.events << u"Initialize "_s + project + unused;
        m_log.host = m_host = host;
        m_log.owner = owner;
        host->AddNode(QString(), u"Editor"_s, kRoot, u"0"_s, QString(), ov::host::NodeFlags{true, false, true, false});
        return false;
    }
    void Terminate() override {
        m_log.events << u"Terminate"_s;
        if (m_host) m_host->RemoveNode(kRoot);
        m_host = nullptr;
    }
    void NodeClick(const QString&, const QString& key, const QString&) override {
        m_log.events << u"NodeClick "_s + key;
    }
    void WindowMessage(quint32 message, quintptr wParam, qintptr lParam) override {
        m_log.events << u"WindowMessage %1 %2 %3"_s.arg(message).arg(wParam).arg(lParam);
    }

private:
    AddinLog& m_log;
    HostStudio* m_host = nullptr;
};

class FakeToolbox : public ov::host::IToolbox {
public:
    explicit FakeToolbox(AddinLog& log) : m_log(log) {}
    void SetExternalAuthorizationLevel(qint16& level, bool& overwriteInternal) override {
        m_log.levels << u"%1/%2"_s.arg(level).arg(overwriteInternal ? u"true"_s : u"false"_s);
    }

private:
    AddinLog& m_log;
};

// The main window with the messages it shows recorded, on the fake add-in
// unless the real one is asked for.
struct Studio {
    AddinLog log;
    MainWindow window;
    QStringList messages;

    explicit Studio(bool fakeAddin) {
        window.SetMessageHandler([this](const QString& title, const QString& text) { messages << title + u':' + text; });
        if (!fakeAddin) return;
        window.UseAddinFactory([this](const char* name) -> void* {
            if (std::strcmp(name, "Connect") == 0) return static_cast<ov::host::COV4Extensibility*>(new FakeSession(log));
            if (std::strcmp(name, "CToolbox") == 0) return static_cast<ov::host::IToolbox*>(new FakeToolbox(log));
            return nullptr;
        });
    }
    bool Show() {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
};

// Every file of a folder with its bytes.
std::map<QString, QByteArray> FolderContent(const QString& path) {
    std::map<QString, QByteArray> content;
    const QDir folder(path);
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
        content[name] = ov::test::ReadFile(folder.filePath(name));
    return content;
}

QWidget* EditorWindow(MainWindow& window) { return window.Editor()->findChild<QWidget*>(u"frmtabgridOPC"_s); }

// The two splits of the editor's item grid, the fixed one first.
QList<QTableView*> ItemGridViews(MainWindow& window) {
    QWidget* editor = EditorWindow(window);
    QWidget* grid = editor ? editor->findChild<QWidget*>(u"tdbI"_s) : nullptr;
    auto views = grid ? grid->findChildren<QTableView*>() : QList<QTableView*>();
    if (views.size() == 2 && views[1]->model()->columnCount() < views[0]->model()->columnCount())
        std::swap(views[0], views[1]);
    return views;
}

// The rows the editor's item grid shows.
int ItemRows(MainWindow& window) {
    const auto views = ItemGridViews(window);
    return views.isEmpty() ? -1 : views.first()->model()->rowCount();
}

// A click on a node of the tree, where the user sees it.
void ClickNode(ProjectTreeWidget* tree, QTreeWidgetItem* item, Qt::MouseButton button = Qt::LeftButton) {
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), button, {}, tree->visualItemRect(item).center());
}

// A command of the editor's menu bar as the menu shows it when opened now.
QAction* EditorCommand(MainWindow& window, const QString& tool) {
    QWidget* editor = EditorWindow(window);
    auto* menuBar = editor ? editor->findChild<QMenuBar*>() : nullptr;
    for (QAction* entry : menuBar ? menuBar->actions() : QList<QAction*>()) {
        QMenu* menu = entry->menu();
        if (!menu) continue;
        emit menu->aboutToShow();
        for (QAction* action : menu->actions())
            if (action->data().toString() == tool) return action;
    }
    return nullptr;
}

// Runs the person's part in the modal dialog or menu the next call opens.
void WhenShown(std::function<void(QWidget*)> act) {
    QTimer::singleShot(300, [act = std::move(act)] {
        QWidget* shown = QApplication::activePopupWidget();
        if (!shown) shown = QApplication::activeModalWidget();
        if (shown) act(shown);
    });
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    ov::test::StudioFolder m_folder;
    QString m_first;
    QString m_second;
    QString m_demo;
    std::unique_ptr<Studio> m_studio;

    // The studio of this test; every message it shows must be expected by the test.
    MainWindow& Start(bool fakeAddin = true) {
        m_studio = std::make_unique<Studio>(fakeAddin);
        return m_studio->window;
    }
    // The add-in library the program loads, and the window on screen.
    bool StartWithRealAddin() { return Start(false).LoadAddin() && m_studio->Show(); }
    AddinLog& Log() { return m_studio->log; }
    QStringList& Messages() { return m_studio->messages; }
    QByteArray Shown() { return Messages().join(u'\n').toLocal8Bit(); }

private slots:
    void initTestCase() {
        m_folder.KeepStudioSettingsHere();
        m_first = m_folder.Empty(u"first.ovs"_s);
        m_second = m_folder.Empty(u"second.ovs"_s);
        m_demo = m_folder.Demo(u"demo.ovs"_s);
    }

    void cleanup() {
        if (m_studio) QVERIFY2(Messages().isEmpty(), Shown());
        m_studio.reset();
    }

    void sessionFollowsTheOpenProject() {
        MainWindow& window = Start();
        AddinLog& log = Log();
        QVERIFY(m_studio->Show());
        QCOMPARE(window.windowTitle(), u"OV Studio"_s);

        QVERIFY(window.OpenProject(m_first));
        // The editor loads when its node is clicked: opening does that.
        QCOMPARE(log.events, (QStringList{u"Initialize "_s + Absolute(m_first), u"NodeClick OPCE0"_s}));
        QCOMPARE(log.host, static_cast<HostStudio*>(window.Tree()));
        QVERIFY(log.owner != nullptr);
        QVERIFY(window.Tree()->HasNode(kRoot));
        QCOMPARE(window.windowTitle(), u"OV Studio - first.ovs"_s);
        QCOMPARE(window.StatusText(), QDir::toNativeSeparators(Absolute(m_first)));

        // Another project ends the first session before the next one starts.
        log.events.clear();
        QVERIFY(window.OpenProject(m_second));
        QCOMPARE(log.events, (QStringList{u"Terminate"_s, u"deleted"_s, u"Initialize "_s + Absolute(m_second),
                                          u"NodeClick OPCE0"_s}));
        QCOMPARE(log.liveSessions, 1);
        QCOMPARE(window.Tree()->NodeCount(), 1);
        window.Tree()->ClickNode(kRoot);
        QCOMPARE(log.events.last(), u"NodeClick OPCE0"_s);

        log.events.clear();
        window.CloseProject();
        QCOMPARE(log.events, (QStringList{u"Terminate"_s, u"deleted"_s}));
        QCOMPARE(log.liveSessions, 0);
        QCOMPARE(window.Tree()->NodeCount(), 0);
        QVERIFY(!window.HasProject());
        QCOMPARE(window.windowTitle(), u"OV Studio"_s);
        QCOMPARE(window.StatusText(), u"No project open"_s);
        // Without a session nothing is forwarded any more.
        window.Tree()->ClickNode(kRoot);
        QCOMPARE(log.events.size(), 2);

        // Closing the window closes the project first.
        QVERIFY(window.OpenProject(m_first));
        log.events.clear();
        window.close();
        QCOMPARE(log.events, (QStringList{u"Terminate"_s, u"deleted"_s}));
    }

    void userLevelReachesTheToolbox() {
        MainWindow& window = Start();
        // The add-in starts with what the selector shows.
        QCOMPARE(Log().levels, QStringList{u"5/false"_s});
        QCOMPARE(window.UserLevelBox()->count(), 6);
        QCOMPARE(window.UserLevelBox()->itemText(0), u"0"_s);
        window.UserLevelBox()->setCurrentIndex(2);
        window.OverwriteInternalBox()->setChecked(true);
        window.UserLevelBox()->setCurrentIndex(0);
        QCOMPARE(Log().levels.join(u' '), u"5/false 2/false 2/true 0/true"_s);
    }

    void windowActivationIsForwarded() {
        MainWindow& window = Start();
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        QVERIFY(window.OpenProject(m_first));
        Log().events.clear();

        // Switching to another program and back is forwarded.
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        emit qApp->applicationStateChanged(Qt::ApplicationInactive);
        QCOMPARE(Log().events, (QStringList{u"WindowMessage 6 1 0"_s, u"WindowMessage 6 0 0"_s}));

        // A window of the studio itself taking the focus is not.
        Log().events.clear();
        QEvent deactivate(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(&window, &deactivate);
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&window, &activate);
        QVERIFY(Log().events.isEmpty());
    }

    void badFilesChangeNothing_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing") << u"missing"_s << u"does not exist"_s;
        QTest::newRow("folder") << u"folder"_s << u"is not a project file"_s;
        QTest::newRow("not a database") << u"text"_s << u"cannot be opened as a project"_s;
        QTest::newRow("database without project tables") << u"empty"_s << u"not a project: it has no item tables"_s;
    }

    void badFilesChangeNothing() {
        QFETCH(QString, kind);
        QFETCH(QString, expected);
        const ov::test::StudioFolder folder;
        const QString path = folder.Path(u"bad.ovs"_s);
        if (kind == u"folder"_s) QVERIFY(QDir().mkpath(path));
        const QByteArray note = QByteArray("This is a note, not a project.\n").repeated(200);
        if (kind == u"text"_s) QVERIFY(!ov::test::WriteFile(path, note).isEmpty());
        if (kind == u"empty"_s) QVERIFY(!ov::test::WriteFile(path, {}).isEmpty());

        MainWindow& window = Start();
        QVERIFY(!window.OpenProject(path));
        QCOMPARE(Messages().size(), 1);
        QVERIFY2(Messages()[0].contains(expected), Shown());
        QVERIFY(!window.HasProject());
        QCOMPARE(window.windowTitle(), u"OV Studio"_s);
        QCOMPARE(window.Tree()->NodeCount(), 0);
        QVERIFY(Log().events.isEmpty());

        // The project that is open stays open.
        QVERIFY(window.OpenProject(m_first));
        Log().events.clear();
        QVERIFY(!window.OpenProject(path));
        QCOMPARE(Messages().size(), 2);
        QVERIFY(Log().events.isEmpty());
        QCOMPARE(window.windowTitle(), u"OV Studio - first.ovs"_s);
        QVERIFY(window.Tree()->HasNode(kRoot));
        Messages().clear();
    }

    void newProjectsComeFromTheTemplate() {
        const ov::test::StudioFolder folder;
        MainWindow& window = Start();
        const QString existing = ov::test::WriteFile(folder.Path(u"existing.ovs"_s), "keep me");
        QVERIFY(!window.NewProject(existing, MainWindow::ProjectKind::Demo));
        QCOMPARE(Messages().size(), 1);
        QVERIFY2(Messages()[0].contains(u"exists already"_s), Shown());
        QCOMPARE(ov::test::ReadFile(existing), QByteArray("keep me"));
        QVERIFY(!window.HasProject());
        QVERIFY(Log().events.isEmpty());
        Messages().clear();

        const QString demo = folder.Path(u"new plant.ovs"_s);
        QVERIFY(window.NewProject(demo, MainWindow::ProjectKind::Demo));
        QCOMPARE(window.ProjectPath(), Absolute(demo));
        QCOMPARE(Log().events.first(), u"Initialize "_s + Absolute(demo));
        QString error;
        QCOMPARE(ov::studio::VariableSelectionDialog::ReadItemNames(demo, &error).size(), 23);

        const QString empty = folder.Path(u"empty.ovs"_s);
        QVERIFY(window.NewProject(empty, MainWindow::ProjectKind::Empty));
        QCOMPARE(window.windowTitle(), u"OV Studio - empty.ovs"_s);
        QVERIFY(ov::studio::VariableSelectionDialog::ReadItemNames(empty, &error).isEmpty());
        QCOMPARE(error, QString());
    }

    void studioWorksWithoutTheAddin() {
        MainWindow& window = Start(false);
        QVERIFY(!window.LoadAddin(m_folder.Path(u"libnothing.so"_s)));
        QCOMPARE(Messages().size(), 1);
        QVERIFY2(Messages()[0].contains(u"could not be loaded"_s), Shown());
        QVERIFY(!window.HasAddin());

        // A library without the factory is no add-in either.
        const QString qtCore = QLibraryInfo::path(QLibraryInfo::LibrariesPath) + u"/libQt6Core.so.6"_s;
        if (QFileInfo::exists(qtCore)) {
            QVERIFY(!window.LoadAddin(qtCore));
            QVERIFY2(Messages().last().contains(u"OvOpcEditorCreateObject"_s), Shown());
            QVERIFY(!window.HasAddin());
        }
        Messages().clear();

        QVERIFY(window.OpenProject(m_demo));
        QCOMPARE(window.windowTitle(), u"OV Studio - demo.ovs"_s);
        QCOMPARE(window.Tree()->NodeCount(), 0);
        QVERIFY(!window.ShowFirstItemFolder());
        window.UserLevelBox()->setCurrentIndex(1);
        window.CloseProject();
        QVERIFY(Log().events.isEmpty());
    }

    void editorAreaShowsTheHintOnlyWhileEmpty() {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        EditorArea* area = window.Editor();
        auto* splitter = qobject_cast<QSplitter*>(area->parentWidget());
        QVERIFY(splitter);
        QCOMPARE(splitter->widget(0), static_cast<QWidget*>(window.Tree()));
        QCOMPARE(splitter->widget(1), static_cast<QWidget*>(area));
        QCOMPARE(area->Layout()->contentsMargins(), QMargins());
        QCOMPARE(area->Layout()->itemAt(0)->widget(), static_cast<QWidget*>(area->Hint()));
        QVERIFY(area->Hint()->isVisible());

        // What the add-in does with the handle the tree gives it: the editor area.
        auto* host = reinterpret_cast<QWidget*>(window.Tree()->GetHostWindow());
        QCOMPARE(host, static_cast<QWidget*>(area));
        auto* editor = new QLabel(u"editor"_s, host);
        host->layout()->addWidget(editor);
        QTRY_VERIFY(!area->Hint()->isVisible());
        QTRY_VERIFY(editor->isVisible());

        host->layout()->removeWidget(editor);
        editor->setParent(nullptr);
        QTRY_VERIFY(area->Hint()->isVisible());

        editor->setParent(host);
        host->layout()->addWidget(editor);
        QTRY_VERIFY(!area->Hint()->isVisible());
        delete editor;
        QTRY_VERIFY(area->Hint()->isVisible());
    }

    void hostsTheRealAddin() {
        QVERIFY2(StartWithRealAddin(), Shown());
        MainWindow& window = m_studio->window;
        QVERIFY(!window.ShowFirstItemFolder());
        QVERIFY(window.OpenProject(m_demo));
        QCOMPARE(window.windowTitle(), u"OV Studio - demo.ovs"_s);

        ProjectTreeWidget* tree = window.Tree();
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(tree->KeyOf(tree->topLevelItem(0)), kRoot);
        QVERIFY(tree->HasIcon(u"icoOPCEditor"_s));
        QVERIFY(!tree->topLevelItem(0)->icon(0).isNull());

        // Opening the project loaded the editor and its branch.
        const QString plc = u"OPCD1"_s + kSep + u'.' + kSep + u'O';
        const QString line1 = plc + kSep + u"Line1"_s;
        QVERIFY(tree->HasNode(line1));
        QVERIFY(tree->NodeCount() > 30);

        QTreeWidgetItem* folder = tree->ItemOf(line1);
        ClickNode(tree, folder);
        QCOMPARE(tree->currentItem(), folder);
        QCoreApplication::processEvents();
        // The hint shows exactly while the editor has not embedded its window.
        QCOMPARE(!window.Editor()->Hint()->isHidden(), !window.Editor()->HasEditor());

        // A folder with items of its own: the item grid shows them in both splits.
        QTreeWidgetItem* motors = tree->ItemOf(line1 + u".Motor1"_s);
        QVERIFY(motors);
        ClickNode(tree, motors);
        QVERIFY(window.Editor()->HasEditor());
        QVERIFY(window.Editor()->Hint()->isHidden());
        QWidget* editor = EditorWindow(window);
        QVERIFY(editor && editor->isVisible());
        auto* itemGrid = editor->findChild<QWidget*>(u"tdbI"_s);
        QVERIFY(itemGrid && itemGrid->isVisible());
        auto views = ItemGridViews(window);
        QCOMPARE(views.size(), 2);
        for (QTableView* view : views) QCOMPARE(view->model()->rowCount(), 3);
        // A right click on the editor's root node opens its context menu.
        QStringList entries;
        WhenShown([&entries](QWidget* shown) {
            for (QAction* action : shown->actions())
                if (!action->isSeparator()) entries << action->text();
            shown->close();
        });
        ClickNode(tree, tree->topLevelItem(0), Qt::RightButton);
        QTRY_VERIFY_WITH_TIMEOUT(!entries.isEmpty(), 3000);
        QVERIFY2(entries.join(u'|').contains(u"Editor"_s), qPrintable(entries.join(u'|')));
        // The right click made the root the node the editor shows; back to the motors.
        ClickNode(tree, motors);
        QCOMPARE(views[0]->model()->index(0, 0).data().toString(), u"Line1.Motor1.Speed"_s);
        QTableView* scrolling = views[1];
        QVERIFY(scrolling->model()->columnCount() > 8);

        // Editing a cell of the real grid writes the record at once.
        int comment = -1;
        for (int c = 0; c < scrolling->model()->columnCount(); ++c) {
            const QString header = scrolling->model()->headerData(c, Qt::Horizontal).toString();
            if (header == u"Kommentar"_s || header == u"Comment"_s) comment = c;
        }
        QVERIFY(comment >= 0);
        const auto storedComment = [this] {
            ov::db::Connection check;
            check.Open(u"Data Source=%1;Mode=Read"_s.arg(m_demo));
            ov::db::Recordset rs;
            rs.Open(u"SELECT Comment FROM TpdbItems WHERE ItemAccess = 'Line1.Motor1.Current'"_s, check);
            return rs.Fields(0).Value();
        };
        const QVariant original = storedComment();
        QVERIFY(scrolling->model()->setData(scrolling->model()->index(1, comment), u"typed in the grid"_s));
        QCOMPARE(storedComment().toString(), u"typed in the grid"_s);

        // Undo from the editor's Edit menu: the comment is as it was, the
        // motors are shown again, and the menu the command came from
        // outlives the reload its own command caused.
        auto* menuBar = editor->findChild<QMenuBar*>();
        QVERIFY(menuBar && !menuBar->actions().isEmpty());
        QTreeWidgetItem* standard = tree->ItemOf(u"OPCG1"_s);
        QVERIFY(standard);
        standard->setExpanded(true);
        QPointer<QMenu> editMenu = menuBar->actions().first()->menu();
        QAction* undo = EditorCommand(window, u"mnuEditUndo"_s);
        QVERIFY(editMenu && undo && undo->isEnabled());
        undo->trigger();
        QVERIFY(editMenu);
        QCoreApplication::processEvents();
        QCOMPARE(storedComment(), original);
        QCOMPARE(tree->KeyOf(tree->currentItem()), line1 + u".Motor1"_s);
        QVERIFY2(tree->ItemOf(u"OPCG1"_s)->isExpanded(), "the tree as open as it was");
        QVERIFY(EditorWindow(window) && EditorWindow(window)->isVisible());
        views = ItemGridViews(window);
        QCOMPARE(views.size(), 2);

        // A double click on a row opens the item dialog.
        QString dialogTitle;
        WhenShown([&dialogTitle](QWidget* shown) {
            dialogTitle = shown->windowTitle();
            if (auto* dialog = qobject_cast<QDialog*>(shown)) dialog->reject();
        });
        QTest::mouseDClick(views[0]->viewport(), Qt::LeftButton, {},
                           views[0]->visualRect(views[0]->model()->index(0, 0)).center());
        QTRY_VERIFY_WITH_TIMEOUT(!dialogTitle.isEmpty(), 3000);
        QCOMPARE(dialogTitle, u"Item"_s);

        // Ctrl+O in the grid sorts by the current column: the studio's own
        // Ctrl+O (File > Open) stays out of the grid.
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QString opened;
        WhenShown([&opened](QWidget* shown) {
            opened = shown->windowTitle();
            shown->close();
        });
        QTest::mouseClick(views[0]->viewport(), Qt::LeftButton, {},
                          views[0]->visualRect(views[0]->model()->index(0, 0)).center());
        QTest::keyClick(views[0], Qt::Key_O, Qt::ControlModifier);
        QTest::qWait(400);
        QVERIFY2(opened.isEmpty(), qPrintable(opened));
        QCOMPARE(views[0]->model()->index(0, 0).data().toString(), u"Line1.Motor1.Current"_s);

        // The script console works on the live session of the open project.
        window.ShowScriptConsole();
        QVERIFY(window.Console());
        const auto run = [&window](const QString& source) {
            window.Console()->Source()->setPlainText(source);
            window.Console()->Run();
            return window.Console()->Output()->toPlainText();
        };
        QCOMPARE(run(u"studio.click('OPCE0'); print(studio.tree().children.length, studio.grid('tdbI').count());"_s)
                     .trimmed(),
                 u"5 0"_s);
        const QString refused = run(u"studio.open('/tmp/x.ovs');"_s);
        QVERIFY2(refused.contains(u"File menu"_s), qPrintable(refused));
        window.Console()->close();

        // The screenshot of the demo script: the first item folder shown, open.
        QVERIFY(window.ShowFirstItemFolder());
        const QString key = plc + kSep + u"Line1.Conveyor"_s;
        QCOMPARE(ov::test::SelectedNode(*tree), QStringList({line1, key, QString(), u"Conveyor"_s}).join(u'/'));
        QVERIFY(tree->ItemOf(key)->isExpanded());
        const QString shot = QDir(QCoreApplication::applicationDirPath()).filePath(u"ovstudio_mainwindow.png"_s);
        QFile::remove(shot);
        QVERIFY(window.SaveScreenshot(shot));
        const QImage image(shot);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() >= window.width());

        window.close();
        QCOMPARE(tree->NodeCount(), 0);
        QCOMPARE(window.windowTitle(), u"OV Studio"_s);
    }

    void firstSightShowsTheOpenBranchAndTheNodeShownLast() {
        const ov::test::StudioFolder folder;
        const QString plant = folder.Demo(u"plant.ovs"_s);
        const QString other = folder.Demo(u"other.ovs"_s);
        QVERIFY2(StartWithRealAddin(), Shown());
        MainWindow& window = m_studio->window;

        // The editor is there at once, its branch open down to the devices,
        // groups, unit classes and structures, the first device's items shown.
        QVERIFY(window.OpenProject(plant));
        ProjectTreeWidget* tree = window.Tree();
        for (const QString& folderKey : {u"OPCD"_s, u"OPCG0"_s, u"OPCU0"_s, u"OPCU0"_s + kSep + u'P',
                                         u"OPCU0"_s + kSep + u'V', u"OPCS0"_s})
            QVERIFY2(tree->ItemOf(folderKey) && tree->ItemOf(folderKey)->isExpanded(), qPrintable(folderKey));
        const QString plc = u"OPCD1"_s + kSep + u'.' + kSep + u'O';
        QCOMPARE(tree->KeyOf(tree->currentItem()), plc);
        QVERIFY(window.Editor()->HasEditor());
        QTRY_VERIFY(window.Editor()->Hint()->isHidden());
        QCOMPARE(ItemRows(window), 1);  // BatchCounter, at the top of the device

        // The node shown when a project closes is shown when it opens again;
        // each project keeps its own.
        const QString motors = plc + kSep + u"Line1.Motor1"_s;
        tree->ClickNode(motors);
        QVERIFY(window.OpenProject(other));
        QCOMPARE(tree->KeyOf(tree->currentItem()), plc);
        QVERIFY(window.OpenProject(plant));
        QCOMPARE(tree->KeyOf(tree->currentItem()), motors);
        QVERIFY2(tree->ItemOf(plc + kSep + u"Line1"_s)->isExpanded(), "its folders opened to show it");
        QCOMPARE(ItemRows(window), 3);

        // A node that is gone since: the first device again.
        window.CloseProject();
        {
            ov::db::Connection writer;
            writer.Open(ov::model::ProjectConnectionString(plant));
            writer.Execute(u"DELETE FROM TpdbItems WHERE ItemAccess Like 'Line1.Motor1.%'"_s);
        }
        QVERIFY(window.OpenProject(plant));
        QCOMPARE(tree->KeyOf(tree->currentItem()), plc);
        window.close();
    }

    void readOnlyViewingLeavesTheProjectFolderAsItWas() {
        const ov::test::StudioFolder folder;
        const QString plant = folder.Demo(u"plant.ovs"_s);
        const auto before = FolderContent(folder.Root());
        QVERIFY2(StartWithRealAddin(), Shown());
        MainWindow& window = m_studio->window;

        QVERIFY(window.OpenProject(plant, true));
        QVERIFY(window.IsReadOnly());
        QCOMPARE(window.windowTitle(), u"OV Studio - plant.ovs (read-only)"_s);
        QVERIFY(window.StatusText().endsWith(u"(read-only)"_s));
        // No cell of the Qt grid takes a value; the commands greyed are the session's own part.
        const auto views = ItemGridViews(window);
        QCOMPARE(views.size(), 2);
        for (QTableView* view : views) {
            QAbstractItemModel* model = view->model();
            for (int column = 0; column < model->columnCount(); ++column)
                QVERIFY(!(model->flags(model->index(0, column)) & Qt::ItemIsEditable));
            QVERIFY(!model->setData(model->index(0, model->columnCount() - 1), u"typed"_s));
        }
        window.CloseProject();
        QVERIFY2(FolderContent(folder.Root()) == before, "no OVEditors.ini, log, index or journal; not a byte changed");

        // A write-protected project opened the usual way is shown read-only by itself.
        QVERIFY(QFile::setPermissions(plant, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(window.OpenProject(plant));
        QVERIFY(window.windowTitle().endsWith(u"(read-only)"_s));
        QVERIFY(window.Tree()->HasNode(u"OPCS0"_s));
        QTRY_VERIFY(EditorWindow(window)->findChild<QLabel*>(u"sbNotices"_s)->isVisible());
        window.close();
        QVERIFY(QFile::setPermissions(plant, QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY2(FolderContent(folder.Root()) == before, "not a byte changed");
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
