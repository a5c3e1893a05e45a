#pragma once

#include "host/EditorWindow.h"
#include "host/ProjectTree.h"
#include "host/ProblemPane.h"
#include "model/UndoHistory.h"
#include "platform/db/Backend.h"
#include "platform/host/COV4Extensibility.h"

#include <QSocketNotifier>
#include <QTimer>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ov::host {

// The add-in object the studio creates: holds the project session (which
// project, the studio, the editor window once needed) and turns the node
// events of the project tree into editor actions.
class Connect : public COV4Extensibility {
public:
    enum class State { Created, Inactive, Initialized, Loaded, Ended };

    // Makes the editor window; installed by the add-in library (editor layer).
    using WindowFactory = std::function<std::unique_ptr<EditorWindow>(Connect& session)>;
    static void SetWindowFactory(WindowFactory factory);

    Connect();
    ~Connect() override;

    // COV4Extensibility
    bool Initialize(const QString& project, const QString& unused, HostStudio* host, void* owner) override;
    void StartupComplete() override {}
    void Deactivate() override {}
    void Terminate() override;
    void GetMessage(const QString&, const QString&, const QVariant&) override {}
    void NodeClick(const QString& first, const QString& key, const QString& third) override;
    void NodeDblClick(const QString& first, const QString& key, const QString& third) override;
    void NodeExpand(const QString& first, const QString& key, const QString& third) override;
    void NodeMouseDown(const QString&, const QString&, const QString&, int, int, int, int) override {}
    void NodeMouseMove(const QString&, const QString&, const QString&, int, int, int, int) override {}
    void NodeMouseUp(const QString& first, const QString& key, const QString& third, int button, int shift, int x,
                     int y) override;
    void NodeKeyDown(const QString& first, const QString& key, const QString& third, int& keyCode, int shift) override;
    void NodeKeyPress(const QString& first, const QString& key, const QString& third, int& keyAscii) override;
    void NodeKeyUp(const QString&, const QString&, const QString&, int&, int) override {}
    void WindowMessage(quint32 message, quintptr wParam, qintptr lParam) override;

    // Session services for the rest of the editor.
    State SessionState() const { return m_state; }
    QString ProjectFile() const { return m_projectFile; }
    QString ProjectArgument() const { return m_projectArgument; }
    QString HelpFile() const { return m_helpFile; }
    HostStudio* Host() const { return m_host; }
    EditorWindow* Window() const { return m_window.get(); }
    ProjectTree* Tree() { return m_tree ? &*m_tree : nullptr; }
    bool IsLoaded() const { return m_state == State::Loaded; }
    // Check Project's list, kept while the editor window is made anew.
    ProblemPane& Problems() { return m_problems; }

    // Why the session only shows the project: the studio opened it
    // read-only, or the file, its folder or the medium cannot be written
    // (decided each time the editor loads). Nothing then writes to the
    // project or its folder: the database is opened for reading, the
    // commands that change it are greyed, the grids locked, the dialogs
    // shown for viewing, the window's settings and the undo history kept
    // nowhere.
    enum class ReadOnlyReason { None, Requested, File, Folder, Media, Rights };
    ReadOnlyReason ReadOnly() const { return m_readOnly; }
    bool IsReadOnly() const { return m_readOnly != ReadOnlyReason::None; }
    // The status bar's words for it; empty while the session may write.
    QString ReadOnlyNotice() const;

    // Loads the editor when it is not loaded yet; false when that failed.
    bool EnsureLoaded();
    // Ends the session and loads the editor again, keeping the studio.
    void Reload();
    // Commits pending edits and switches the window to a node's view.
    void ShowNode(const QString& key);
    void ShowHelp(int topic);
    // Refreshes a device node after its properties changed and activates it.
    void RefreshDeviceNode(const QString& deviceKey);

    // The undo history of this project session; it outlives Reload.
    model::UndoHistory& History() { return m_history; }
    // Takes the newest step back (or does the last undone one again) and
    // shows the project as it now is, on the node shown before where it
    // still exists. A refusal is shown in a message box; false then.
    bool Undo() { return StepHistory(false); }
    bool Redo() { return StepHistory(true); }

    // The menu command a key forms on a node ("mnuDeviceHelperItemsCopy"
    // for Ctrl+C on a device), empty when the key forms none.
    static QString CommandForKey(const QString& nodeKey, int keyCode, int shift);
    // The context menu band of a node kind, empty for unknown kinds.
    static QString ContextBandFor(const QString& nodeKey);

private:
    bool IsOurNode(const QString& key) const;
    void MakeCurrent(const QString& key);
    void OpenDatabase();
    void EndSession(bool terminating);
    // A load that failed half-way: undoes what was built and says why.
    void AbandonLoad(const QString& why);
    bool StepHistory(bool redo);
    bool HasNode(const QString& key);
    // The nodes shown open at and below a node.
    QStringList ExpandedNodes(const QString& key);

    // Other engineers' commits to a server project, heard on the listener's line.
    void ListenForOthers();
    void OnOthersChanged();
    // Applies what others committed: rows on screen read again, the tree
    // brought up to date, the status bar told. Waits while the user is in a
    // dialog or a command of their own.
    void ApplyOthersChanges();
    // The user's node went: shows the one above it and says so in the note.
    void ShowInstead(const QString& key, const QString& lostText, QString& note);

    QString m_projectFile;
    QString m_projectArgument;
    QString m_helpFile;
    bool m_unregisteredName = false;  // a project name without a registered folder
    bool m_readOnlyRequested = false;  // the studio opened the project for viewing
    ReadOnlyReason m_readOnly = ReadOnlyReason::None;
    HostStudio* m_host = nullptr;
    WindowHandle m_hostWindow = 0;
    WindowHandle m_previousParent = 0;
    std::unique_ptr<EditorWindow> m_window;
    // Windows whose session ended, maybe while one of their own commands
    // was running (Refresh View, undo): their widgets go once that event is
    // over, so the last two are kept; an older one goes when another ends.
    std::deque<std::unique_ptr<EditorWindow>> m_retired;
    std::optional<ProjectTree> m_tree;
    State m_state = State::Created;
    quint32 m_editorsMessage = 0;
    model::UndoHistory m_history;
    ProblemPane m_problems;
    std::unique_ptr<db::ChangeListener> m_others;
    std::unique_ptr<QSocketNotifier> m_othersNotifier;
    std::vector<db::OthersChange> m_othersPending;  // told, not yet applied
    std::unique_ptr<QTimer> m_othersRetry;
};

// Sets the user-interface language the installation's settings name (German
// when they name none), as the session does when the studio makes it.
void ChooseInstallationLanguage();

}  // namespace ov::host
