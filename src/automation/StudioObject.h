#pragma once

#include <QJSValue>
#include <QObject>
#include <QVariant>
#include <functional>
#include <optional>

class QJSEngine;

namespace ov::editor {
class frmtabgridOPC;
}
namespace ov::ui {
class ScriptedFormRunner;
class ScriptedMessageBoxes;
class ScriptedPopups;
}  // namespace ov::ui

namespace ov::automation {

class ScriptSession;

// The global "studio" of scripts: the project tree, its events, menus,
// commands, grids, dialogs and messages of the editor, exactly as a person
// reaches them. Every call goes through the same editor logic as the studio.
// A grid is handed out as a GridObject, a dialog to an onForm callback as a FormObject.
class StudioObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString SEP READ Separator CONSTANT)

public:
    StudioObject(QJSEngine& engine, ScriptSession& session, ui::ScriptedFormRunner& forms,
                 ui::ScriptedMessageBoxes& messages, ui::ScriptedPopups& popups);

    QString Separator() const;
    // Output of print() and warnings go here.
    std::function<void(const QString&)> onOutput;
    std::function<void(const QString&)> onWarning;
    // An error raised inside a callback, to be thrown into the script when
    // the call that ran the callback returns.
    std::optional<QJSValue> pendingError;

    // Project.
    Q_INVOKABLE bool open(const QString& path);
    Q_INVOKABLE bool create(const QString& path, const QJSValue& options = QJSValue());
    Q_INVOKABLE void close();
    Q_INVOKABLE void setAuthorizationLevel(int level, bool overwriteInternal);

    // Tree and node events.
    Q_INVOKABLE QVariant tree();
    Q_INVOKABLE void click(const QString& key);
    Q_INVOKABLE void dblClick(const QString& key);
    Q_INVOKABLE void expand(const QString& key);
    Q_INVOKABLE void keyDown(const QString& key, const QString& keys);
    Q_INVOKABLE int keyPress(const QString& key, int ascii);

    // Menus and commands.
    Q_INVOKABLE QVariant rightClick(const QString& key);
    Q_INVOKABLE bool choose(const QString& tool);
    Q_INVOKABLE bool tool(const QString& name);
    Q_INVOKABLE QVariant toolState(const QString& name);
    // The Edit menu's Undo and Redo: true when a step was taken back (or
    // done again); a refusal is a message, as in the studio.
    Q_INVOKABLE bool undo();
    Q_INVOKABLE bool redo();
    // {undo: [names, newest first], redo: [names, next first]}
    Q_INVOKABLE QVariant history();

    // Grids and dialogs.
    Q_INVOKABLE QJSValue grid(const QString& name);
    Q_INVOKABLE void onForm(const QString& name, const QJSValue& callback);

    // Live values (StudioOnline.cpp). online(on) switches the item grid's
    // live values on or off and gives whether they are on; writeValue runs
    // "Write Value..." on a row of the item grid with the typed text, its
    // second question answered from the answer() queue (OK to write), and
    // gives whether its dialog opened; wait(ms) lets values arrive meanwhile.
    Q_INVOKABLE bool online(bool on);
    Q_INVOKABLE bool writeValue(int row, const QString& text);
    Q_INVOKABLE void wait(int milliseconds);

    // Data, messages, status.
    Q_INVOKABLE QVariant query(const QString& sql);
    // Check Project: the project's inconsistencies as
    // [{severity, code, kind, id, object, message, repairable}], errors
    // first; options {severity: "error" | "warning" | "note", rules: ["PV101", ...]}.
    Q_INVOKABLE QVariant check(const QJSValue& options = QJSValue());
    Q_INVOKABLE void answer(const QString& button);
    // The path the next file dialog answers with; empty for Cancel.
    Q_INVOKABLE void answerFile(const QString& path);
    Q_INVOKABLE QVariant messages();
    Q_INVOKABLE QVariant status();
    Q_INVOKABLE QString caption();

    // Used by the grid objects.
    editor::frmtabgridOPC* Window();
    bool StepHistory(bool redo);
    QVariant PoppedBand(const std::function<void()>& pop, const QString& key, bool fromTree);
    bool Fail(const QString& message);  // throws a script error; gives false
    // After editor logic ran: reports dialogs nobody handled and passes on an
    // error raised in a callback.
    void AfterEvent();

private:
    QVariant NodeToVariant(const QString& key);
    bool RequireSession();

    QJSEngine& m_engine;
    ScriptSession& m_session;
    ui::ScriptedFormRunner& m_forms;
    ui::ScriptedMessageBoxes& m_messages;
    ui::ScriptedPopups& m_popups;
    // The menu the last right click opened, for choose().
    struct OpenMenu {
        QString key;
        bool fromTree = false;
        QString band;
        QStringList offered;
    };
    std::optional<OpenMenu> m_openMenu;
    qsizetype m_reportedForms = 0;
};

}  // namespace ov::automation
