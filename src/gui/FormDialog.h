#pragma once

#include "gui/FormLayout.h"
#include "platform/ui/Form.h"

#include <QDialog>
#include <QHash>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QButtonGroup;
class QKeyEvent;

namespace ov::gui {

// A form model as a Qt dialog. The widgets are built once from the form's
// controls; whatever the person does goes to the form's User* methods, and
// after every handler all widgets are read back from the model. The dialog
// finishes as soon as a handler hides the form, with the form's decision as
// its result. Building is kept apart from exec() so the dialog can be driven
// without a modal loop.
class FormDialog : public QDialog {
public:
    // The form should be shown (activated) already; an action on a hidden
    // form finishes the dialog at once.
    explicit FormDialog(ui::Form& form, QWidget* parent = nullptr);
    ~FormDialog() override;

    ui::Form& Model() const { return m_form; }

    // The widget that shows a control; null when the form has no such control.
    QWidget* WidgetFor(const QString& name, int index = -1) const;

    // Reads captions, texts, states, entries and cells from the model into
    // the widgets without raising the form's events.
    void SyncFromModel();
    // Every dialog on the screen, during long work that pumps events.
    static void SyncAllOpen();

    // For the widgets of the controls, which connect their signals to the dialog.
    // Runs a person's action on the model, shows why when it was refused,
    // then brings the widgets up to date and finishes when the form is hidden.
    void Act(const std::function<void()>& action);
    // The same once the widget's own signal has returned, for actions that
    // rebuild the widget that signals.
    void ActLater(std::function<void()> action);
    // False while the widgets are set from the model and once the dialog has
    // finished: what the widgets report then is not the person's doing.
    bool Listening() const { return !m_syncing && !m_finished; }
    // Option buttons check each other off within one frame (or the form) on one page.
    QButtonGroup& OptionGroup(const ui::Control& option);

protected:
    // Escape presses the form's cancel button, if it has one that can be pressed.
    void keyPressEvent(QKeyEvent* event) override;
    // Keys for a form that previews them.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The window's close button: the cancel button's handler decides; a form
    // without one closes unconfirmed.
    void reject() override;

private:
    QWidget* Create(ui::Control& control);
    void Sync(const ui::Control& control, QWidget* widget);
    void ShowDropDown(const ui::Control& control, QWidget& popup);
    // Gives the keyboard focus where the form last asked for it.
    void ApplyFocus();
    void GrowForWrappedText();
    void FinishWhenHidden();

    ui::Form& m_form;
    std::unique_ptr<FormLayout> m_layout;
    std::vector<BoundControl> m_bound;
    QHash<QString, QButtonGroup*> m_optionGroups;
    bool m_syncing = true;  // widgets are being set from the model, not by the person
    bool m_finished = false;
    int m_focusSerial = 0;
};

}  // namespace ov::gui
