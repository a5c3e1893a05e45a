#include "studio/MainWindow.h"
#include "studio/ScriptConsoleDialog.h"

#include "components/InstalledPrograms.h"
#include "model/DemoProject.h"
#include "platform/system/Registry.h"
#include "platform/system/WriteProtection.h"
#include "model/ProjectTemplate.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/PgBackend.h"
#include "studio/AddinCall.h"
#include "studio/EditorArea.h"
#include "studio/LastShownNodes.h"
#include "studio/ProjectTreeWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>
#include <QUrlQuery>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>

namespace ov::studio {

namespace {

const QString kAppTitle = QStringLiteral("OV Studio");
const QString kProjectFilter = QStringLiteral("Projects (*.ovs)");
constexpr int kHighestUserLevel = 5;

// The add-in's root node and its devices folder, whose item folders the
// screenshot shows.
const QString kAddinRoot = QStringLiteral("OPCE0");
const QString kDevicesFolder = QStringLiteral("OPCD");

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    components::SetDemoDriversFolder(QStringLiteral(OV_DEMO_DRIVERS_DIR));
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_tree = new ProjectTreeWidget(m_splitter);
    m_editorArea = new EditorArea(m_splitter);
    m_splitter->addWidget(m_tree);
    m_splitter->addWidget(m_editorArea);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({320, 880});
    setCentralWidget(m_splitter);

    m_tree->SetEditorArea(m_editorArea);
    // The add-in embeds or removes its window while handling tree events.
    connect(m_tree, &ProjectTreeWidget::AddinEventHandled, m_editorArea, &EditorArea::UpdateHint);

    BuildMenus();
    BuildUserLevelBar();
    connect(qApp, &QGuiApplication::applicationStateChanged, this, &MainWindow::OnApplicationStateChanged);
    m_statusPath = new QLabel(this);
    statusBar()->addWidget(m_statusPath, 1);
    UpdateTitle();
    resize(1200, 800);
}

MainWindow::~MainWindow() {
    CloseProject();
    m_toolbox.reset();
}

void MainWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&New Project\u2026"), this, [this] { OnNewProject(ProjectKind::Empty); });
    file->addAction(QStringLiteral("New &Demo Project\u2026"), this, [this] { OnNewProject(ProjectKind::Demo); });
    QAction* open = file->addAction(QStringLiteral("&Open Project\u2026"), this, [this] { OnOpenProject(false); });
    open->setShortcut(QKeySequence::Open);
    file->addAction(QStringLiteral("Open &Read-Only\u2026"), this, [this] { OnOpenProject(true); });
    file->addAction(QStringLiteral("&Close Project"), this, [this] { CloseProject(); });
    file->addSeparator();
    QAction* exit = file->addAction(QStringLiteral("E&xit"), this, [this] { close(); });
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* console = view->addAction(QStringLiteral("&Script Console\u2026"), this, [this] { ShowScriptConsole(); });
    console->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_J));
}

void MainWindow::ShowScriptConsole() {
    if (!m_console) {
        m_console = new ScriptConsoleDialog(m_addinLibrary.CreateScriptConsole(), this);
        m_console->setObjectName(QStringLiteral("scriptConsole"));
    }
    m_console->show();
    m_console->raise();
}

void MainWindow::BuildUserLevelBar() {
    QToolBar* bar = addToolBar(QStringLiteral("User level"));
    bar->setObjectName(QStringLiteral("userLevelBar"));
    bar->setMovable(false);
    bar->addWidget(new QLabel(QStringLiteral(" User level "), bar));
    m_userLevel = new QComboBox(bar);
    for (int level = 0; level <= kHighestUserLevel; ++level) m_userLevel->addItem(QString::number(level), level);
    m_userLevel->setCurrentIndex(kHighestUserLevel);
    bar->addWidget(m_userLevel);
    m_overwriteInternal = new QCheckBox(QStringLiteral("Overwrite internal"), bar);
    bar->addWidget(m_overwriteInternal);
    connect(m_userLevel, &QComboBox::currentIndexChanged, this, [this] { ApplyUserLevel(); });
    connect(m_overwriteInternal, &QCheckBox::toggled, this, [this] { ApplyUserLevel(); });
}

void MainWindow::ApplyUserLevel() {
    if (!m_toolbox) return;
    qint16 level = static_cast<qint16>(m_userLevel->currentData().toInt());
    bool overwrite = m_overwriteInternal->isChecked();
    host::IToolbox* toolbox = m_toolbox.get();
    CallAddin("SetExternalAuthorizationLevel", [&] { toolbox->SetExternalAuthorizationLevel(level, overwrite); });
}

bool MainWindow::LoadAddin(const QString& path) {
    if (!m_addinLibrary.Load(path)) {
        ShowMessage(QStringLiteral("Editor add-in"),
                    QStringLiteral("The editor add-in could not be loaded from %1:\n%2\n\nThe studio works without the "
                                   "editor. Set OVSTUDIO_ADDIN to the add-in library to use it.")
                        .arg(QDir::toNativeSeparators(path), m_addinLibrary.ErrorString()));
        return false;
    }
    m_toolbox = m_addinLibrary.CreateToolbox();
    // The add-in starts with the level the selector shows.
    ApplyUserLevel();
    return true;
}

void MainWindow::UseAddinFactory(AddinLibrary::Factory factory) {
    m_addinLibrary.UseFactory(std::move(factory));
    m_toolbox = m_addinLibrary.CreateToolbox();
    ApplyUserLevel();
}

MainWindow::ProjectCheck MainWindow::CheckServerProject(const QString& path) {
    // The server says whether the project is there and may be read, once
    // the person gave the password it wants.
    ProjectCheck check;
    const auto ask = [this](const QString& server, bool refused, QString& role, QString& password) {
        const std::unique_ptr<host::IServerLogin> dialog = m_addinLibrary.CreateServerLogin();
        bool entered = false;
        if (dialog) CallAddin("ServerLogin", [&] { entered = dialog->Ask(server, refused, role, password); });
        return entered;
    };
    try {
        db::Connection connection;
        const auto login = m_serverLogins.Open(connection, path, QStringLiteral("Data Source=%1;Mode=Read;").arg(path),
                                               m_addinLibrary.IsLoaded() ? ServerLogins::Asker(ask) : ServerLogins::Asker());
        if (!login) {
            check.cancelled = true;
            return check;
        }
        check.login = *login;
        if (!connection.HasTable(QStringLiteral("TpdbItems")))
            check.problem = QStringLiteral("%1 is a schema on the server, but not a project: it has no item tables.").arg(path);
    } catch (const db::DbError& e) {
        check.problem = QStringLiteral("%1 cannot be opened as a project:\n%2").arg(path, e.Description());
    }
    return check;
}

QString MainWindow::ProjectProblem(const QString& path) {
    if (path.isEmpty()) return QStringLiteral("No project file was given.");
    const QFileInfo info(path);
    if (!info.exists()) return QStringLiteral("The project file %1 does not exist.").arg(QDir::toNativeSeparators(path));
    if (!info.isFile()) return QStringLiteral("%1 is not a project file.").arg(QDir::toNativeSeparators(path));
    try {
        db::Connection connection;
        connection.Open(QStringLiteral("Data Source=%1;Mode=Read;").arg(info.absoluteFilePath()));
        if (!connection.HasTable(QStringLiteral("TpdbItems")) || !connection.HasTable(QStringLiteral("TpdbDevices")))
            return QStringLiteral("%1 is a database, but not a project: it has no item tables.")
                .arg(QDir::toNativeSeparators(path));
    } catch (const db::DbError& e) {
        return QStringLiteral("%1 cannot be opened as a project:\n%2").arg(QDir::toNativeSeparators(path), e.Description());
    }
    return QString();
}

bool MainWindow::OpenProject(const QString& path, bool readOnly) {
    // A file that cannot be a project leaves the open project as it is, and
    // so does a server's log-on the person cancelled, without a word.
    const ProjectCheck check =
        db::IsServerDataSource(path) ? CheckServerProject(path) : ProjectCheck{ProjectProblem(path), false, {}};
    if (check.cancelled) return false;
    if (!check.problem.isEmpty()) {
        ShowMessage(QStringLiteral("Open Project"), check.problem);
        return false;
    }
    CloseProject();
    m_projectPath = db::IsServerDataSource(path) ? path : QFileInfo(path).absoluteFilePath();
    m_readOnly = readOnly || sys::ProjectWriteProtection(m_projectPath) != sys::WriteProtection::None;
    m_tree->SetProjectFile(m_projectPath);
    m_tree->SetServerLogin(check.login.role, check.login.password);
    // The add-in asks at Initialize; it finds write-protected files by itself.
    m_tree->SetProjectReadOnly(readOnly);
    UpdateTitle();

    if (m_addinLibrary.IsLoaded()) {
        m_connect = m_addinLibrary.CreateConnect();
        if (!m_connect) {
            ShowMessage(QStringLiteral("Editor add-in"),
                        QStringLiteral("The editor add-in did not start a session; the project is open without the editor."));
        } else {
            host::COV4Extensibility* connect = m_connect.get();
            m_tree->SetAddin(connect);
            // The owner tells the add-in that a studio window hosts it.
            void* owner = static_cast<QMainWindow*>(this);
            const bool started = CallAddin("Initialize", [&] {
                connect->Initialize(m_projectPath, QString(), m_tree, owner);
            });
            if (!started) {
                m_tree->SetAddin(nullptr);
                CallAddin("Terminate", [&] { connect->Terminate(); });
                m_connect.reset();
                m_tree->ClearTree();
                ShowMessage(QStringLiteral("Editor add-in"),
                            QStringLiteral("The editor add-in failed to start; the project is open without the editor."));
            } else {
                ShowStartNode();
            }
        }
    }
    m_editorArea->UpdateHint();
    return true;
}

void MainWindow::ShowStartNode() {
    // An add-in that stayed inactive (the project's authorization) has no node.
    if (!m_tree->HasNode(kAddinRoot)) return;
    // The editor loads on the first click on its node; its branch comes open
    // down to the devices, groups, unit classes and structures.
    m_tree->ClickNode(kAddinRoot);
    QString key = LastShownNodes::Read(m_projectPath);
    if (key.isEmpty() || !m_tree->HasNode(key)) key = m_tree->GetChildKeys(kDevicesFolder, 1).value(0);
    // Clicking a node inside closed folders opens them.
    if (!key.isEmpty() && key != kAddinRoot) m_tree->ClickNode(key);
}

void MainWindow::RememberShownNode() {
    if (m_projectPath.isEmpty() || !m_connect) return;
    LastShownNodes::Write(m_projectPath, m_tree->KeyOf(m_tree->currentItem()));
}

bool MainWindow::NewProject(const QString& path, ProjectKind kind) {
    if (QFileInfo::exists(path)) {
        ShowMessage(QStringLiteral("New Project"),
                    QStringLiteral("%1 exists already. A new project needs a file name of its own.")
                        .arg(QDir::toNativeSeparators(path)));
        return false;
    }
    try {
        if (kind == ProjectKind::Demo) {
            model::CreateDemoProject(path);
            // The demo's OPC servers and its driver become known to this installation.
            sys::Registry registry;
            components::RegisterDemoInstallation(registry);
        } else
            model::CreateProjectDatabase(path);
    } catch (const db::DbError& e) {
        ShowMessage(QStringLiteral("New Project"), QStringLiteral("The project %1 could not be created:\n%2")
                                                       .arg(QDir::toNativeSeparators(path), e.Description()));
        return false;
    }
    return OpenProject(path);
}

void MainWindow::CloseProject() {
    RememberShownNode();
    if (m_connect) {
        // No more tree events for a session that is ending.
        m_tree->SetAddin(nullptr);
        host::COV4Extensibility* connect = m_connect.get();
        CallAddin("Terminate", [&] { connect->Terminate(); });
        m_connect.reset();
    }
    m_tree->ClearTree();
    m_tree->SetProjectFile(QString());
    m_tree->SetServerLogin(QString(), QString());
    m_tree->SetProjectReadOnly(false);
    m_projectPath.clear();
    m_readOnly = false;
    UpdateTitle();
    m_editorArea->UpdateHint();
}

void MainWindow::UpdateTitle() {
    if (m_projectPath.isEmpty()) {
        setWindowTitle(kAppTitle);
        m_statusPath->setText(QStringLiteral("No project open"));
        m_editorArea->Hint()->setText(QStringLiteral("Open a project from the File menu."));
    } else {
        m_editorArea->Hint()->setText(QStringLiteral("Select an item node in the project tree to open the editor."));
        const QString readOnly = m_readOnly ? QStringLiteral(" (read-only)") : QString();
        const QString name = db::IsServerDataSource(m_projectPath)
                                 ? QUrlQuery(QUrl(m_projectPath)).queryItemValue(QStringLiteral("project"))
                                 : QFileInfo(m_projectPath).fileName();
        setWindowTitle(kAppTitle + QStringLiteral(" - ") + name + readOnly);
        m_statusPath->setText((db::IsServerDataSource(m_projectPath) ? m_projectPath : QDir::toNativeSeparators(m_projectPath)) +
                              readOnly);
    }
}

QString MainWindow::StatusText() const { return m_statusPath->text(); }

void MainWindow::ShowMessage(const QString& title, const QString& text) {
    if (m_messages)
        m_messages(title, text);
    else
        QMessageBox::warning(this, title, text);
}

QString MainWindow::StartFolder() const {
    return m_projectPath.isEmpty() || db::IsServerDataSource(m_projectPath) ? QDir::homePath()
                                                                             : QFileInfo(m_projectPath).absolutePath();
}

void MainWindow::OnNewProject(ProjectKind kind) {
    const QString title = kind == ProjectKind::Demo ? QStringLiteral("New Demo Project") : QStringLiteral("New Project");
    // Existing files are refused afterwards, so the dialog need not ask about replacing them.
    QString path = QFileDialog::getSaveFileName(this, title, StartFolder(), kProjectFilter, nullptr,
                                                QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".ovs"), Qt::CaseInsensitive)) path += QStringLiteral(".ovs");
    NewProject(path, kind);
}

void MainWindow::OnOpenProject(bool readOnly) {
    const QString title = readOnly ? QStringLiteral("Open Project Read-Only") : QStringLiteral("Open Project");
    const QString path = QFileDialog::getOpenFileName(this, title, StartFolder(), kProjectFilter);
    if (!path.isEmpty()) OpenProject(path, readOnly);
}

bool MainWindow::RunScriptFile(const QString& path, QString& output, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    const std::unique_ptr<host::IScriptConsole> console = m_addinLibrary.CreateScriptConsole();
    if (!console) {
        error = QStringLiteral("the editor add-in offers no script console");
        return false;
    }
    return console->Run(QString::fromUtf8(file.readAll()), output, error);
}

bool MainWindow::ShowFirstItemFolder() {
    if (!m_tree->HasNode(kAddinRoot)) return false;
    // The editor loads its branch on the first click.
    m_tree->ClickNode(kAddinRoot);
    QStringList pending = m_tree->GetChildKeys(kDevicesFolder, 1);
    while (!pending.isEmpty()) {
        const QString key = pending.takeFirst();
        QVariant count;
        // The first folder without subfolders: it holds items of its own.
        if (m_tree->GetNodeProperty(key, host::kPropertyItemCount, count) == 0 && count.isValid() &&
            m_tree->GetChildKeys(key, 1).isEmpty()) {
            m_tree->ExpandNode(key);
            m_tree->ClickNode(key);
            return true;
        }
        pending = m_tree->GetChildKeys(key, 1) + pending;
    }
    return false;
}

bool MainWindow::SaveScreenshot(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QPixmap picture = grab();
    return !picture.isNull() && picture.save(path, "PNG");
}

void MainWindow::OnApplicationStateChanged(Qt::ApplicationState state) {
    // Only a change to or from another program counts: the editor's own
    // message boxes, the help window and the script console take the focus
    // within the studio and must not make the editor write or re-read.
    if (!m_connect || (state != Qt::ApplicationActive && state != Qt::ApplicationInactive)) return;
    const quintptr activation = state == Qt::ApplicationActive ? host::messages::kActive : host::messages::kInactive;
    host::COV4Extensibility* connect = m_connect.get();
    CallAddin("WindowMessage", [&] { connect->WindowMessage(host::messages::kActivate, activation, 0); });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    CloseProject();
    QMainWindow::closeEvent(event);
}

}  // namespace ov::studio
