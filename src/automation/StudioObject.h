#pragma once

#include <QJSValue>
#include <QObject>
#include <QVariant>
#include <functional>
#include <map>
#include <optional>

class QJSEngine;

namespace ov::editor {
class frmtabgridOPC;
}
namespace ov::ui {
class Form;
class GridModel;
class ScriptedFormRunner;
class ScriptedMessageBoxes;
class ScriptedPopups;
}  // namespace ov::ui

namespace ov::automation {

class ScriptSession;

// The global "studio" of scripts: the project tree, its events, menus,
// commands, grids, dialogs and messages of the editor, exactly as a person
// reaches them. Every call goes through the same editor logic as the studio.
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

    // Data, messages, status.
    Q_INVOKABLE QVariant query(const QString& sql);
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

// A grid of the editor window, for scripts: studio.grid("tdbI").
class GridObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariant current READ Current)

public:
    GridObject(StudioObject& studio, const QString& name);

    Q_INVOKABLE QVariant rows();
    Q_INVOKABLE int count();
    Q_INVOKABLE int find(const QString& column, const QVariant& value);
    Q_INVOKABLE void select(const QVariantList& rows);
    Q_INVOKABLE bool setCell(int row, const QString& column, const QVariant& value);
    Q_INVOKABLE void key(const QString& keys);
    Q_INVOKABLE void click(int row, const QString& column, const QString& how = QString());
    Q_INVOKABLE QVariant rightClick(int row);
    QVariant Current();

private:
    ui::GridModel* Grid();
    int Column(ui::GridModel& grid, const QString& name);
    bool CheckRow(ui::GridModel& grid, int row);

    StudioObject& m_studio;
    QString m_name;
};

// A dialog handed to an onForm callback.
class FormObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString name READ Name CONSTANT)
    Q_PROPERTY(QString caption READ Caption)

public:
    FormObject(StudioObject& studio, ui::Form& form) : m_studio(studio), m_form(form) {}
    QString Name() const;
    QString Caption() const;

    Q_INVOKABLE QVariant get(const QString& control, int index = -1);
    Q_INVOKABLE void set(const QString& control, const QString& text, int index = -1);
    Q_INVOKABLE void check(const QString& control, bool checked, int index = -1);
    Q_INVOKABLE void choose(const QString& control, const QVariant& textOrData, int index = -1);
    Q_INVOKABLE void click(const QString& control, int index = -1);
    Q_INVOKABLE void setCell(const QString& grid, int row, int column, const QVariant& value);
    // A tree view's nodes ({key, parent, text, data}) and a click on one.
    Q_INVOKABLE QVariant nodes(const QString& control);
    Q_INVOKABLE void clickNode(const QString& control, const QString& key);
    // Nodes by path: node texts joined by "/" ("DemoPlant/Line1/Speed"),
    // opening what lies on the way; the tree is the dialog's first one
    // unless named.
    Q_INVOKABLE void expand(const QString& path, const QString& control = QString());
    Q_INVOKABLE void collapse(const QString& path, const QString& control = QString());
    Q_INVOKABLE void tick(const QString& path, const QString& control = QString());
    Q_INVOKABLE void untick(const QString& path, const QString& control = QString());
    // Keys pressed in a control ("Alt+Down"), as the dialog sees them first.
    Q_INVOKABLE void key(const QString& keys, const QString& control = QString());
    Q_INVOKABLE void ok();
    Q_INVOKABLE void cancel();

private:
    template <typename Fn>
    void Act(Fn&& fn);
    // The tree's name and the key of the node at the path; empty after a failure.
    std::pair<QString, QString> NodeAt(const QString& path, const QString& control);

    StudioObject& m_studio;
    ui::Form& m_form;
};

// Where print() writes.
class ScriptOutput : public QObject {
    Q_OBJECT
public:
    std::function<void(const QString&)> sink;
    Q_INVOKABLE void write(const QString& text) {
        if (sink) sink(text);
    }
};

// Turns "Ctrl+C", "F8", "Alt+F6", "Ctrl+Delete" into a key code and shift state.
bool ParseKeys(const QString& keys, int& keyCode, int& shift);

}  // namespace ov::automation
