#pragma once

#include "platform/host/COV4Extensibility.h"
#include "studio/AddinLibrary.h"
#include "studio/ServerLogins.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QSplitter;

namespace ov::studio {

class EditorArea;
class ProjectTreeWidget;
class ScriptConsoleDialog;

// The studio: the project tree on the left, the editor area on the right,
// projects opened and made from the File menu, and the editor add-in hosted
// for the open project.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    enum class ProjectKind { Empty, Demo };
    // Shows a message to the user: title, text.
    using MessageHandler = std::function<void(const QString&, const QString&)>;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Loads the add-in; a library that cannot be loaded is reported and the
    // studio carries on without it.
    bool LoadAddin(const QString& path = AddinLibrary::DefaultPath());
    // Hosts the add-in objects a factory makes instead of a library's.
    void UseAddinFactory(AddinLibrary::Factory factory);
    bool HasAddin() const { return m_addinLibrary.IsLoaded(); }

    // Closes the open project and hosts the add-in on the new one, showing
    // the node the project showed last (at first its first device). A file
    // that is missing or not a project is reported and changes nothing.
    // Read-only, the project is opened for viewing: nothing writes to it or
    // its folder. A project that cannot be written is opened so by itself.
    bool OpenProject(const QString& path, bool readOnly = false);
    // Refuses a file that exists; then opens the new project.
    bool NewProject(const QString& path, ProjectKind kind);
    void CloseProject();
    bool HasProject() const { return !m_projectPath.isEmpty(); }
    bool IsReadOnly() const { return m_readOnly; }
    const QString& ProjectPath() const { return m_projectPath; }

    // Makes the editor show its first item folder, as a user would by
    // clicking it; false when there is none.
    bool ShowFirstItemFolder();
    // Runs a script file on the open project as the script console does;
    // false with the script's error or why the file could not be read.
    bool RunScriptFile(const QString& path, QString& output, QString& error);
    bool SaveScreenshot(const QString& path);

    void SetMessageHandler(MessageHandler handler) { m_messages = std::move(handler); }

    ProjectTreeWidget* Tree() const { return m_tree; }
    // View menu: the console running scripts on the open project.
    void ShowScriptConsole();
    ScriptConsoleDialog* Console() const { return m_console; }
    EditorArea* Editor() const { return m_editorArea; }
    QComboBox* UserLevelBox() const { return m_userLevel; }
    QCheckBox* OverwriteInternalBox() const { return m_overwriteInternal; }
    QString StatusText() const;

    // The studio as a whole became active or inactive (the person came back
    // from another program or went to one): forwarded as the activation message.
    void OnApplicationStateChanged(Qt::ApplicationState state);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void BuildUserLevelBar();
    void ApplyUserLevel();
    void UpdateTitle();
    void ShowMessage(const QString& title, const QString& text);
    // Reports why a file cannot be opened as a project; empty when it can.
    static QString ProjectProblem(const QString& path);
    // What opening a server project found: why it cannot be opened (empty
    // when it can), whether the person cancelled the log-on, and the login
    // that opened it.
    struct ProjectCheck {
        QString problem;
        bool cancelled = false;
        ServerLogins::Login login;
    };
    ProjectCheck CheckServerProject(const QString& path);
    QString StartFolder() const;

    void OnNewProject(ProjectKind kind);
    void OnOpenProject(bool readOnly);
    // The first sight of a project: the editor loaded with its branch open,
    // and the node shown last, else the first device, shown.
    void ShowStartNode();
    // Remembers the node shown now for the next opening of the project.
    void RememberShownNode();

    ProjectTreeWidget* m_tree = nullptr;
    EditorArea* m_editorArea = nullptr;
    QSplitter* m_splitter = nullptr;
    QComboBox* m_userLevel = nullptr;
    QCheckBox* m_overwriteInternal = nullptr;
    QLabel* m_statusPath = nullptr;
    MessageHandler m_messages;

    AddinLibrary m_addinLibrary;
    std::unique_ptr<host::IToolbox> m_toolbox;
    std::unique_ptr<host::COV4Extensibility> m_connect;
    QString m_projectPath;
    bool m_readOnly = false;
    ServerLogins m_serverLogins;
    ScriptConsoleDialog* m_console = nullptr;
};

}  // namespace ov::studio
