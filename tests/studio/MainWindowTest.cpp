// The studio's main window: projects opened, made and closed, the add-in's
// session following the open project, and the real add-in library hosted.

#include "model/DemoProject.h"
#include "model/ProjectTemplate.h"
#include "platform/host/COV4Extensibility.h"
#include "studio/EditorArea.h"
#include "studio/MainWindow.h"
#include "studio/ProjectTreeWidget.h"
#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"
#include <QDialog>
#include "studio/ScriptConsoleDialog.h"
#include <QPlainTextEdit>
#include "studio/VariableSelectionDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLibraryInfo>
#include <QSplitter>
#include <QMenu>
#include <QMenuBar>
#include <QTableView>
#include <QPointer>
#include <QTimer>
#include <QApplication>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>
#include <cstring>
#include <map>

using ov::host::COV4Extensibility;
using ov::host::HostStudio;
using ov::host::IToolbox;
using ov::studio::EditorArea;
using ov::studio::MainWindow;
using ov::studio::ProjectTreeWidget;

namespace {

const QChar kSep(0xFF);
const QString kRoot = QStringLiteral("OPCE0");

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
class FakeSession : public COV4Extensibility {
public:
    explicit FakeSession(AddinLog& log) : m_log(log) { ++m_log.liveSessions; }
    ~FakeSession() override {
        --m_log.liveSessions;
        m_log.events << QStringLiteral("deleted");
    }

    bool Initialize(const QString& project, const QString& unused, HostStudio* host, void* owner) override {
        m_log.events << QStringLiteral("Initialize ") + project + unused;
        m_log.host = host;
        m_log.owner = owner;
        m_host = host;
        host->AddNode(QString(), QStringLiteral("Editor"), kRoot, QStringLiteral("0"), QString(),
                      ov::host::NodeFlags{true, false, true, false});
        return false;
    }
    void Terminate() override {
        m_log.events << QStringLiteral("Terminate");
        if (m_host) m_host->RemoveNode(kRoot);
        m_host = nullptr;
    }
    void NodeClick(const QString&, const QString& key, const QString&) override {
        m_log.events << QStringLiteral("NodeClick ") + key;
    }
    void WindowMessage(quint32 message, quintptr wParam, qintptr lParam) override {
        m_log.events << QStringLiteral("WindowMessage %1 %2 %3").arg(message).arg(wParam).arg(lParam);
    }

    void StartupComplete() override {}
    void Deactivate() override {}
    void GetMessage(const QString&, const QString&, const QVariant&) override {}
    void NodeDblClick(const QString&, const QString&, const QString&) override {}
    void NodeExpand(const QString&, const QString&, const QString&) override {}
    void NodeMouseDown(const QString&, const QString&, const QString&, int, int, int, int) override {}
    void NodeMouseMove(const QString&, const QString&, const QString&, int, int, int, int) override {}
    void NodeMouseUp(const QString&, const QString&, const QString&, int, int, int, int) override {}
    void NodeKeyDown(const QString&, const QString&, const QString&, int&, int) override {}
    void NodeKeyPress(const QString&, const QString&, const QString&, int&) override {}
    void NodeKeyUp(const QString&, const QString&, const QString&, int&, int) override {}

private:
    AddinLog& m_log;
    HostStudio* m_host = nullptr;
};

class FakeToolbox : public IToolbox {
public:
    explicit FakeToolbox(AddinLog& log) : m_log(log) {}
    void SetExternalAuthorizationLevel(qint16& level, bool& overwriteInternal) override {
        m_log.levels << QStringLiteral("%1/%2").arg(level).arg(overwriteInternal ? QStringLiteral("true") : QStringLiteral("false"));
    }

private:
    AddinLog& m_log;
};

ov::studio::AddinLibrary::Factory FakeFactory(AddinLog& log) {
    return [&log](const char* name) -> void* {
        if (std::strcmp(name, "Connect") == 0) return static_cast<COV4Extensibility*>(new FakeSession(log));
        if (std::strcmp(name, "CToolbox") == 0) return static_cast<IToolbox*>(new FakeToolbox(log));
        return nullptr;
    };
}

// The main window with the messages it shows recorded, on the fake add-in
// unless the real one is asked for.
struct Studio {
    AddinLog log;
    MainWindow window;
    QStringList messages;

    explicit Studio(bool fakeAddin = true) {
        window.SetMessageHandler([this](const QString& title, const QString& text) { messages << title + u':' + text; });
        if (fakeAddin) window.UseAddinFactory(FakeFactory(log));
    }
    bool Show() {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
    // The add-in library the program loads, and the window on screen.
    bool ShowWithRealAddin() { return window.LoadAddin() && Show(); }
};

// Every file of a folder with its bytes.
std::map<QString, QByteArray> FolderContent(const QString& path) {
    std::map<QString, QByteArray> content;
    const QDir folder(path);
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        QFile file(folder.filePath(name));
        content[name] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    return content;
}

QWidget* EditorWindow(MainWindow& window) {
    return window.Editor()->findChild<QWidget*>(QStringLiteral("frmtabgridOPC"));
}

// The two splits of the editor's item grid, the fixed one first.
QList<QTableView*> ItemGridViews(MainWindow& window) {
    QWidget* editor = EditorWindow(window);
    QWidget* grid = editor ? editor->findChild<QWidget*>(QStringLiteral("tdbI")) : nullptr;
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
    if (!menuBar) return nullptr;
    for (QAction* entry : menuBar->actions()) {
        QMenu* menu = entry->menu();
        if (!menu) continue;
        emit menu->aboutToShow();
        for (QAction* action : menu->actions())
            if (action->data().toString() == tool) return action;
    }
    return nullptr;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_first;
    QString m_second;
    QString m_demo;

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        // The add-in reads the registry and keeps its settings in the user's
        // configuration folder: both go to the test's own folder.
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config")).toUtf8());
        qputenv("OVSTUDIO_REGISTRY", m_dir.filePath(QStringLiteral("registry.ini")).toUtf8());
        m_first = m_dir.filePath(QStringLiteral("first.ovs"));
        m_second = m_dir.filePath(QStringLiteral("second.ovs"));
        m_demo = m_dir.filePath(QStringLiteral("demo.ovs"));
        ov::model::CreateProjectDatabase(m_first);
        ov::model::CreateProjectDatabase(m_second);
        ov::model::CreateDemoProject(m_demo);
    }

    void sessionFollowsTheOpenProject() {
        Studio studio;
        auto& [log, window, messages] = studio;
        QVERIFY(studio.Show());
        QCOMPARE(window.windowTitle(), QStringLiteral("OV Studio"));

        QVERIFY(window.OpenProject(m_first));
        // The editor loads when its node is clicked: opening does that.
        QCOMPARE(log.events, (QStringList{QStringLiteral("Initialize ") + Absolute(m_first), QStringLiteral("NodeClick OPCE0")}));
        QCOMPARE(log.host, static_cast<HostStudio*>(window.Tree()));
        QVERIFY(log.owner != nullptr);
        QVERIFY(window.Tree()->HasNode(kRoot));
        QCOMPARE(window.windowTitle(), QStringLiteral("OV Studio - first.ovs"));
        QCOMPARE(window.StatusText(), QDir::toNativeSeparators(Absolute(m_first)));
        QCOMPARE(window.Tree()->GetHostWindow(), reinterpret_cast<ov::host::WindowHandle>(window.Editor()));

        // Another project ends the first session before the next one starts.
        log.events.clear();
        QVERIFY(window.OpenProject(m_second));
        QCOMPARE(log.events, (QStringList{QStringLiteral("Terminate"), QStringLiteral("deleted"),
                                          QStringLiteral("Initialize ") + Absolute(m_second),
                                          QStringLiteral("NodeClick OPCE0")}));
        QCOMPARE(log.liveSessions, 1);
        QCOMPARE(window.Tree()->NodeCount(), 1);
        window.Tree()->ClickNode(kRoot);
        QCOMPARE(log.events.last(), QStringLiteral("NodeClick OPCE0"));

        log.events.clear();
        window.CloseProject();
        QCOMPARE(log.events, (QStringList{QStringLiteral("Terminate"), QStringLiteral("deleted")}));
        QCOMPARE(log.liveSessions, 0);
        QCOMPARE(window.Tree()->NodeCount(), 0);
        QVERIFY(!window.HasProject());
        QCOMPARE(window.windowTitle(), QStringLiteral("OV Studio"));
        QCOMPARE(window.StatusText(), QStringLiteral("No project open"));
        // Without a session nothing is forwarded any more.
        window.Tree()->ClickNode(kRoot);
        QCOMPARE(log.events.size(), 2);

        // Closing the window closes the project first.
        QVERIFY(window.OpenProject(m_first));
        log.events.clear();
        window.close();
        QCOMPARE(log.events, (QStringList{QStringLiteral("Terminate"), QStringLiteral("deleted")}));
        QVERIFY(messages.isEmpty());
    }

    void userLevelReachesTheToolbox() {
        Studio studio;
        auto& [log, window, messages] = studio;
        // The add-in starts with what the selector shows.
        QCOMPARE(log.levels, QStringList{QStringLiteral("5/false")});
        QCOMPARE(window.UserLevelBox()->count(), 6);
        QCOMPARE(window.UserLevelBox()->itemText(0), QStringLiteral("0"));
        window.UserLevelBox()->setCurrentIndex(2);
        window.OverwriteInternalBox()->setChecked(true);
        window.UserLevelBox()->setCurrentIndex(0);
        QCOMPARE(log.levels, (QStringList{QStringLiteral("5/false"), QStringLiteral("2/false"), QStringLiteral("2/true"),
                                          QStringLiteral("0/true")}));
        QVERIFY(messages.isEmpty());
    }

    void windowActivationIsForwarded() {
        Studio studio;
        auto& [log, window, messages] = studio;
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        QVERIFY(window.OpenProject(m_first));
        log.events.clear();

        // Switching to another program and back is forwarded.
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        emit qApp->applicationStateChanged(Qt::ApplicationInactive);
        QCOMPARE(log.events, (QStringList{QStringLiteral("WindowMessage 6 1 0"), QStringLiteral("WindowMessage 6 0 0")}));

        // A window of the studio itself taking the focus is not.
        log.events.clear();
        QEvent deactivate(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(&window, &deactivate);
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&window, &activate);
        QVERIFY(log.events.isEmpty());
        QVERIFY(messages.isEmpty());
    }

    void badFilesChangeNothing_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing") << QStringLiteral("missing") << QStringLiteral("does not exist");
        QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("is not a project file");
        QTest::newRow("not a database") << QStringLiteral("text") << QStringLiteral("cannot be opened as a project");
        QTest::newRow("database without project tables") << QStringLiteral("empty")
                                                         << QStringLiteral("not a project: it has no item tables");
    }

    void badFilesChangeNothing() {
        QFETCH(QString, kind);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bad.ovs"));
        if (kind == QStringLiteral("folder")) {
            QVERIFY(QDir().mkpath(path));
        } else if (kind != QStringLiteral("missing")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (kind == QStringLiteral("text")) file.write(QByteArray("This is a note, not a project.\n").repeated(200));
        }

        Studio studio;
        auto& [log, window, messages] = studio;
        QVERIFY(!window.OpenProject(path));
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(expected), qPrintable(messages[0]));
        QVERIFY(!window.HasProject());
        QCOMPARE(window.windowTitle(), QStringLiteral("OV Studio"));
        QCOMPARE(window.Tree()->NodeCount(), 0);
        QVERIFY(log.events.isEmpty());

        // The project that is open stays open.
        QVERIFY(window.OpenProject(m_first));
        log.events.clear();
        QVERIFY(!window.OpenProject(path));
        QCOMPARE(messages.size(), 2);
        QVERIFY(log.events.isEmpty());
        QCOMPARE(window.windowTitle(), QStringLiteral("OV Studio - first.ovs"));
        QVERIFY(window.Tree()->HasNode(kRoot));
    }

    void newProjectsComeFromTheTemplate() {
        QTemporaryDir dir;
        Studio studio;
        auto& [log, window, messages] = studio;
        const QString existing = dir.filePath(QStringLiteral("existing.ovs"));
        {
            QFile file(existing);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("keep me");
        }
        QVERIFY(!window.NewProject(existing, MainWindow::ProjectKind::Demo));
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(QStringLiteral("exists already")), qPrintable(messages[0]));
        QFile kept(existing);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("keep me"));
        QVERIFY(!window.HasProject());
        QVERIFY(log.events.isEmpty());

        const QString demo = dir.filePath(QStringLiteral("new plant.ovs"));
        QVERIFY(window.NewProject(demo, MainWindow::ProjectKind::Demo));
        QCOMPARE(window.ProjectPath(), Absolute(demo));
        QCOMPARE(log.events.first(), QStringLiteral("Initialize ") + Absolute(demo));
        QString error;
        QCOMPARE(ov::studio::VariableSelectionDialog::ReadItemNames(demo, &error).size(), 22);

        const QString empty = dir.filePath(QStringLiteral("empty.ovs"));
        QVERIFY(window.NewProject(empty, MainWindow::ProjectKind::Empty));
        QCOMPARE(window.windowTitle(), QStringLiteral("OV Studio - empty.ovs"));
        QVERIFY(ov::studio::VariableSelectionDialog::ReadItemNames(empty, &error).isEmpty());
        QCOMPARE(error, QString());
        QCOMPARE(messages.size(), 1);
    }

    void studioWorksWithoutTheAddin() {
        Studio studio(false);
        auto& [log, window, messages] = studio;
        QVERIFY(!window.LoadAddin(m_dir.filePath(QStringLiteral("libnothing.so"))));
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(QStringLiteral("could not be loaded")), qPrintable(messages[0]));
        QVERIFY(!window.HasAddin());

        // A library without the factory is no add-in either.
        const QString qtCore = QLibraryInfo::path(QLibraryInfo::LibrariesPath) + QStringLiteral("/libQt6Core.so.6");
        if (QFileInfo::exists(qtCore)) {
            QVERIFY(!window.LoadAddin(qtCore));
            QVERIFY2(messages.last().contains(QStringLiteral("OvOpcEditorCreateObject")), qPrintable(messages.last()));
            QVERIFY(!window.HasAddin());
        }
        messages.clear();

        QVERIFY(window.OpenProject(m_demo));
        QCOMPARE(window.windowTitle(), QStringLiteral("OV Studio - demo.ovs"));
        QCOMPARE(window.Tree()->NodeCount(), 0);
        QVERIFY(!window.ShowFirstItemFolder());
        window.UserLevelBox()->setCurrentIndex(1);
        window.CloseProject();
        QVERIFY(log.events.isEmpty());
        QVERIFY(messages.isEmpty());
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

        // What the add-in does with the handle it is given.
        auto* host = reinterpret_cast<QWidget*>(window.Tree()->GetHostWindow());
        QCOMPARE(host, static_cast<QWidget*>(area));
        auto* editor = new QLabel(QStringLiteral("editor"), host);
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
        Studio studio(false);
        auto& [log, window, messages] = studio;
        QVERIFY2(studio.ShowWithRealAddin(), qPrintable(messages.join(u'\n')));
        QVERIFY(!window.ShowFirstItemFolder());
        QVERIFY(window.OpenProject(m_demo));
        QCOMPARE(window.windowTitle(), QStringLiteral("OV Studio - demo.ovs"));

        ProjectTreeWidget* tree = window.Tree();
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(tree->KeyOf(tree->topLevelItem(0)), kRoot);
        QVERIFY(tree->HasIcon(QStringLiteral("icoOPCEditor")));
        QVERIFY(!tree->topLevelItem(0)->icon(0).isNull());

        // Opening the project loaded the editor and its branch.
        const QString plc = QStringLiteral("OPCD1") + kSep + u'.' + kSep + u'O';
        const QString line1 = plc + kSep + QStringLiteral("Line1");
        QVERIFY(tree->HasNode(line1));
        QVERIFY(tree->NodeCount() > 30);

        QTreeWidgetItem* folder = tree->ItemOf(line1);
        ClickNode(tree, folder);
        QCOMPARE(tree->currentItem(), folder);
        QCOMPARE(folder->toolTip(0), QStringLiteral("9 items"));
        QCoreApplication::processEvents();
        // The hint shows exactly while the editor has not embedded its window.
        QCOMPARE(!window.Editor()->Hint()->isHidden(), !window.Editor()->HasEditor());

        // A folder with items of its own: the item grid shows them in both splits.
        QTreeWidgetItem* motors = tree->ItemOf(line1 + QStringLiteral(".Motor1"));
        QVERIFY(motors);
        ClickNode(tree, motors);
        QVERIFY(window.Editor()->HasEditor());
        QVERIFY(window.Editor()->Hint()->isHidden());
        QWidget* editor = EditorWindow(window);
        QVERIFY(editor && editor->isVisible());
        auto* itemGrid = editor->findChild<QWidget*>(QStringLiteral("tdbI"));
        QVERIFY(itemGrid && itemGrid->isVisible());
        auto views = ItemGridViews(window);
        QCOMPARE(views.size(), 2);
        for (QTableView* view : views) QCOMPARE(view->model()->rowCount(), 3);
        // A right click on the editor's root node opens its context menu.
        QStringList entries;
        QTimer::singleShot(300, [&entries] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* action : menu->actions())
                    if (!action->isSeparator()) entries << action->text();
                menu->close();
            }
        });
        ClickNode(tree, tree->topLevelItem(0), Qt::RightButton);
        QTRY_VERIFY_WITH_TIMEOUT(!entries.isEmpty(), 3000);
        QVERIFY2(entries.join(u'|').contains(QStringLiteral("Editor")), qPrintable(entries.join(u'|')));
        // The right click made the root the node the editor shows; back to the motors.
        ClickNode(tree, motors);
        QCOMPARE(views[0]->model()->index(0, 0).data().toString(), QStringLiteral("Line1.Motor1.Speed"));
        QTableView* scrolling = views[1];
        QVERIFY(scrolling->model()->columnCount() > 8);

        // Editing a cell of the real grid writes the record at once.
        int comment = -1;
        for (int c = 0; c < scrolling->model()->columnCount(); ++c) {
            const QString header = scrolling->model()->headerData(c, Qt::Horizontal).toString();
            if (header == QStringLiteral("Kommentar") || header == QStringLiteral("Comment")) comment = c;
        }
        QVERIFY(comment >= 0);
        const auto storedComment = [this] {
            ov::db::Connection check;
            check.Open(QStringLiteral("Data Source=%1;Mode=Read").arg(m_demo));
            ov::db::Recordset rs;
            rs.Open(QStringLiteral("SELECT Comment FROM TpdbItems WHERE ItemAccess = 'Line1.Motor1.Current'"), check);
            return rs.Fields(0).Value();
        };
        const QVariant original = storedComment();
        QVERIFY(scrolling->model()->setData(scrolling->model()->index(1, comment), QStringLiteral("typed in the grid")));
        QCOMPARE(storedComment().toString(), QStringLiteral("typed in the grid"));

        // Undo from the editor's Edit menu: the comment is as it was, the
        // motors are shown again, and the menu the command came from
        // outlives the reload its own command caused.
        auto* menuBar = editor->findChild<QMenuBar*>();
        QVERIFY(menuBar && !menuBar->actions().isEmpty());
        QTreeWidgetItem* standard = tree->ItemOf(QStringLiteral("OPCG1"));
        QVERIFY(standard);
        standard->setExpanded(true);
        QPointer<QMenu> editMenu = menuBar->actions().first()->menu();
        QVERIFY(editMenu);
        emit editMenu->aboutToShow();
        QAction* undo = nullptr;
        for (QAction* action : editMenu->actions())
            if (action->data().toString() == QStringLiteral("mnuEditUndo")) undo = action;
        QVERIFY(undo && undo->isEnabled());
        undo->trigger();
        QVERIFY(editMenu);
        QCoreApplication::processEvents();
        QCOMPARE(storedComment(), original);
        QCOMPARE(tree->KeyOf(tree->currentItem()), line1 + QStringLiteral(".Motor1"));
        QVERIFY2(tree->ItemOf(QStringLiteral("OPCG1"))->isExpanded(), "the tree as open as it was");
        QVERIFY(EditorWindow(window) && EditorWindow(window)->isVisible());
        views = ItemGridViews(window);
        QCOMPARE(views.size(), 2);

        // A double click on a row opens the item dialog.
        QString dialogTitle;
        QTimer::singleShot(300, [&dialogTitle] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                dialogTitle = modal->windowTitle();
                if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
            }
        });
        QTest::mouseDClick(views[0]->viewport(), Qt::LeftButton, {}, views[0]->visualRect(views[0]->model()->index(0, 0)).center());
        QTRY_VERIFY_WITH_TIMEOUT(!dialogTitle.isEmpty(), 3000);
        QCOMPARE(dialogTitle, QStringLiteral("Item"));

        // The script console works on the live session of the open project.
        window.ShowScriptConsole();
        QVERIFY(window.Console());
        window.Console()->Source()->setPlainText(
            QStringLiteral("studio.click('OPCE0'); print(studio.tree().children.length, studio.grid('tdbI').count());"));
        window.Console()->Run();
        QCOMPARE(window.Console()->Output()->toPlainText().trimmed(), QStringLiteral("5 0"));
        window.Console()->Source()->setPlainText(QStringLiteral("studio.open('/tmp/x.ovs');"));
        window.Console()->Run();
        QVERIFY2(window.Console()->Output()->toPlainText().contains(QStringLiteral("File menu")),
                 qPrintable(window.Console()->Output()->toPlainText()));
        window.Console()->close();

        // The screenshot of the demo script: the first item folder shown, open.
        QVERIFY(window.ShowFirstItemFolder());
        QString first, key, third, fourth;
        tree->GetSelectedNode(first, key, third, fourth);
        QCOMPARE(key, plc + kSep + QStringLiteral("Line1.Conveyor"));
        QCOMPARE(first, line1);
        QCOMPARE(fourth, QStringLiteral("Conveyor"));
        QVERIFY(tree->ItemOf(key)->isExpanded());
        const QString shot = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("ovstudio_mainwindow.png"));
        QFile::remove(shot);
        QVERIFY(window.SaveScreenshot(shot));
        const QImage image(shot);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() >= window.width());

        window.close();
        QCOMPARE(tree->NodeCount(), 0);
        QCOMPARE(window.windowTitle(), QStringLiteral("OV Studio"));
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
    }

    void firstSightShowsTheOpenBranchAndTheNodeShownLast() {
        QTemporaryDir dir;
        const QString plant = dir.filePath(QStringLiteral("plant.ovs"));
        const QString other = dir.filePath(QStringLiteral("other.ovs"));
        ov::model::CreateDemoProject(plant);
        ov::model::CreateDemoProject(other);
        Studio studio(false);
        auto& [log, window, messages] = studio;
        QVERIFY2(studio.ShowWithRealAddin(), qPrintable(messages.join(u'\n')));

        // The editor is there at once, its branch open down to the devices,
        // groups, unit classes and structures, the first device's items shown.
        QVERIFY(window.OpenProject(plant));
        ProjectTreeWidget* tree = window.Tree();
        for (const QString& folder : {QStringLiteral("OPCD"), QStringLiteral("OPCG0"), QStringLiteral("OPCU0"),
                                      QStringLiteral("OPCU0") + kSep + u'P', QStringLiteral("OPCU0") + kSep + u'V',
                                      QStringLiteral("OPCS0")})
            QVERIFY2(tree->ItemOf(folder) && tree->ItemOf(folder)->isExpanded(), qPrintable(folder));
        const QString plc = QStringLiteral("OPCD1") + kSep + u'.' + kSep + u'O';
        QCOMPARE(tree->KeyOf(tree->currentItem()), plc);
        QVERIFY(window.Editor()->HasEditor());
        QTRY_VERIFY(window.Editor()->Hint()->isHidden());
        QCOMPARE(ItemRows(window), 1);  // BatchCounter, at the top of the device

        // The node shown when a project closes is shown when it opens again;
        // each project keeps its own.
        const QString motors = plc + kSep + QStringLiteral("Line1.Motor1");
        tree->ClickNode(motors);
        QVERIFY(window.OpenProject(other));
        QCOMPARE(tree->KeyOf(tree->currentItem()), plc);
        QVERIFY(window.OpenProject(plant));
        QCOMPARE(tree->KeyOf(tree->currentItem()), motors);
        QVERIFY2(tree->ItemOf(plc + kSep + QStringLiteral("Line1"))->isExpanded(), "its folders opened to show it");
        QCOMPARE(ItemRows(window), 3);

        // A node that is gone since: the first device again.
        window.CloseProject();
        {
            ov::db::Connection writer;
            writer.Open(ov::model::ProjectConnectionString(plant));
            writer.Execute(QStringLiteral("DELETE FROM TpdbItems WHERE ItemAccess Like 'Line1.Motor1.%'"));
        }
        QVERIFY(window.OpenProject(plant));
        QCOMPARE(tree->KeyOf(tree->currentItem()), plc);
        window.close();
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
    }

    void readOnlyViewingLeavesTheProjectFolderAsItWas() {
        QTemporaryDir dir;
        const QString plant = dir.filePath(QStringLiteral("plant.ovs"));
        ov::model::CreateDemoProject(plant);
        const auto before = FolderContent(dir.path());
        Studio studio(false);
        auto& [log, window, messages] = studio;
        QVERIFY2(studio.ShowWithRealAddin(), qPrintable(messages.join(u'\n')));

        QVERIFY(window.OpenProject(plant, true));
        QVERIFY(window.IsReadOnly());
        QCOMPARE(window.windowTitle(), QStringLiteral("OV Studio - plant.ovs (read-only)"));
        QVERIFY(window.StatusText().endsWith(QStringLiteral("(read-only)")));
        auto* notice = EditorWindow(window)->findChild<QLabel*>(QStringLiteral("sbNotices"));
        QVERIFY(notice);
        QTRY_VERIFY(notice->isVisible());
        QVERIFY(!notice->text().isEmpty());
        // Each menu is built anew as it opens: an entry is looked at before the next is looked up.
        QAction* newItem = EditorCommand(window, QStringLiteral("mnuItemNew"));
        QVERIFY(newItem);
        QVERIFY2(newItem->isVisible() && !newItem->isEnabled(), "greyed");
        QAction* editItem = EditorCommand(window, QStringLiteral("mnuItemEdit"));
        QVERIFY(editItem);
        QVERIFY2(editItem->isEnabled(), "its dialog shows the item");
        // No cell of the grid takes a value.
        const auto views = ItemGridViews(window);
        QCOMPARE(views.size(), 2);
        for (QTableView* view : views) {
            QAbstractItemModel* model = view->model();
            for (int column = 0; column < model->columnCount(); ++column)
                QVERIFY(!(model->flags(model->index(0, column)) & Qt::ItemIsEditable));
            QVERIFY(!model->setData(model->index(0, model->columnCount() - 1), QStringLiteral("typed")));
        }
        window.CloseProject();
        QVERIFY2(FolderContent(dir.path()) == before, "no OVEditors.ini, log, index or journal; not a byte changed");

        // A write-protected project opened the usual way is shown read-only by itself.
        QVERIFY(QFile::setPermissions(plant, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(window.OpenProject(plant));
        QVERIFY(window.windowTitle().endsWith(QStringLiteral("(read-only)")));
        QVERIFY(window.Tree()->HasNode(QStringLiteral("OPCS0")));
        QTRY_VERIFY(EditorWindow(window)->findChild<QLabel*>(QStringLiteral("sbNotices"))->isVisible());
        window.close();
        QVERIFY(QFile::setPermissions(plant, QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY2(FolderContent(dir.path()) == before, "not a byte changed");
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
