#pragma once

#include "platform/ui/Control.h"

#include <QString>
#include <memory>
#include <stdexcept>
#include <vector>

namespace ov::ui {

enum class FormEvent { Click, Change, DblClick, CellEdited, TabChanged, NodeClick, NodeExpand, NodeCollapse, NodeCheck };

// A control was named that the form does not have, or a person could not
// have done what was asked (typing into a disabled box).
class FormError : public std::runtime_error {
  public:
    explicit FormError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// A dialog as a model: named controls and the dialog's own event handlers.
// People act on it through the User* methods, which the Qt renderer calls
// from its widgets and scripts call directly; both run the same handlers.
class Form {
  public:
    explicit Form(const QString& name);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const QString& Name() const { return m_name; }
    QString caption;
    QString tag;
    bool keyPreview = false;
    // The help topic of the dialog: F1 and its Help button open it.
    int helpContextId = 0;
    // The window that shows the form while it is shown (0 otherwise): the
    // owner of the windows of outside components it opens.
    quintptr windowHandle = 0;

    Control& Add(ControlType type, const QString& name, int index = -1);
    // The dialogs' usual buttons: cmdOK (default, caption text 10),
    // cmdCancel (cancel, caption text 11) and cmdHelp (caption text 12).
    void AddOkAndCancel();
    Control* Find(const QString& name, int index = -1);
    const Control* Find(const QString& name, int index = -1) const;
    Control& Get(const QString& name, int index = -1);  // throws FormError when missing
    const std::vector<std::unique_ptr<Control>>& Controls() const { return m_controls; }
    std::vector<Control*> ControlArray(const QString& name);

    // Lifecycle: loaded once, activated each time it is shown, hidden with
    // the person's decision, unloaded after use.
    void Load();
    void Activate();
    // The form is on screen and its window takes clicks: work the person
    // may want to stop (a connect, a long load) starts here, not on activation.
    void Shown();
    void Unload();
    bool IsLoaded() const { return m_loaded; }
    bool IsShown() const { return m_shown; }
    void Show() { m_shown = true; }
    void Hide(bool confirmed);
    bool Confirmed() const { return m_confirmed; }

    // Shown for viewing only: the values are there to be read, but the
    // default button (OK) stays disabled whatever the dialog's own handlers
    // do, and closing never counts as confirmed.
    void SetViewOnly(bool viewOnly);
    bool ViewOnly() const { return m_viewOnly; }

    // Where the keyboard focus goes: the control, and whether its text is
    // selected whole. Each request counts, so the renderer sees a repeated one.
    struct FocusRequest {
        QString control;
        int index = -1;
        bool selectAll = false;
        int serial = 0;
    };
    void SetFocus(const QString& name, int index = -1, bool selectAll = false);
    const FocusRequest& Focus() const { return m_focus; }

    // What a person does.
    void UserSetText(const QString& name, const QString& text, int index = -1);
    void UserCheck(const QString& name, bool checked, int index = -1);
    bool UserChoose(const QString& name, const QVariant& textOrData, int index = -1);
    void UserClick(const QString& name, int index = -1);
    void UserDblClick(const QString& name, int index = -1);
    void UserEditCell(const QString& name, int row, int column, const QVariant& value);
    void UserSelectTab(const QString& name, int page);
    // A click on a node of a tree view.
    void UserClickNode(const QString& name, const QString& key);
    // Opening or closing a node, and its check box; the control's eventNode
    // names the node while the handler runs.
    void UserExpandNode(const QString& name, const QString& key, bool expand = true);
    void UserCheckNode(const QString& name, const QString& key, bool checked);
    // Enter and Escape: the default and the cancel button; false when the
    // form has none that can be pressed.
    bool PressDefault();
    bool PressCancel();
    // F1, or the Help button: the dialog's help topic.
    void UserHelp();
    // A key pressed while the dialog has the focus, in the control named
    // (empty when unknown); with keyPreview the form sees it first and
    // consumes it by setting the code to 0.
    void UserKeyDown(int& keyCode, int shift, const QString& inControl = QString());
    // The tab strip whose page holds the control; null outside every page.
    Control* TabStripOf(const Control& control);

  protected:
    virtual void OnLoad() {}
    virtual void OnActivate() {}
    virtual void OnShown() {}
    virtual void OnUnload() {}
    virtual void OnEvent(Control& /*control*/, FormEvent /*event*/) {}
    virtual void OnKeyDown(int& /*keyCode*/, int /*shift*/) {}
    // While OnKeyDown runs: the control the key was pressed in.
    const QString& KeyControl() const { return m_keyControl; }

  private:
    Control& Usable(const QString& name, int index);
    Control& TreeWithNode(const QString& name, const QString& key);
    // Runs the form's handler; what fails in it is shown, the dialog stays.
    void Fire(Control& control, FormEvent event);
    bool PressFlagged(bool defaultButton);
    void LockDefaultButtons();

    QString m_name;
    std::vector<std::unique_ptr<Control>> m_controls;
    bool m_loaded = false;
    bool m_shown = false;
    bool m_confirmed = false;
    bool m_viewOnly = false;
    FocusRequest m_focus;
    QString m_keyControl;
};

// Unloads a dialog when the command that showed it ends, whichever way.
class UnloadOnExit {
  public:
    explicit UnloadOnExit(Form& form) : m_form(form) {}
    ~UnloadOnExit() { m_form.Unload(); }
    UnloadOnExit(const UnloadOnExit&) = delete;
    UnloadOnExit& operator=(const UnloadOnExit&) = delete;

  private:
    Form& m_form;
};

}  // namespace ov::ui
