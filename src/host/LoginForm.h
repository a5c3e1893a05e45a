#pragma once

#include "platform/ui/Form.h"

namespace ov::host {

// What every log-on dialog has: a line saying who asks, a name and a
// password (masked). OK needs a name; the cursor starts in the password box
// when the name is known already. A dialog adds its own controls after these
// and then its buttons (AddOkAndCancel).
class LoginForm : public ui::Form {
  public:
    QString EnteredName() const;
    QString EnteredPassword() const;

  protected:
    // nameTag: the caption token of the name's label ("C9232").
    LoginForm(const QString& formName, const QString& nameTag, const QString& name);

    // The line at the top, in the user's language.
    virtual QString Prompt() const = 0;

    void OnLoad() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;
};

}  // namespace ov::host
