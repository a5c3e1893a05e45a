#include "host/LoginForm.h"

#include "settings/TextTable.h"

namespace ov::host {

namespace {

const QString kName = QStringLiteral("txtUser");
const QString kPassword = QStringLiteral("txtPassword");
const QString kPrompt = QStringLiteral("lblPrompt");
const QString kOk = QStringLiteral("cmdOK");

}  // namespace

LoginForm::LoginForm(const QString& formName, const QString& nameTag, const QString& name) : ui::Form(formName) {
    Add(ui::ControlType::Label, kPrompt).multiLine = true;
    ui::Control& nameLabel = Add(ui::ControlType::Label, QStringLiteral("lblUser"));
    nameLabel.tag = nameTag;
    nameLabel.buddy = kName;
    Add(ui::ControlType::TextBox, kName).text = name;
    ui::Control& passwordLabel = Add(ui::ControlType::Label, QStringLiteral("lblPassword"));
    passwordLabel.tag = QStringLiteral("C9233");
    passwordLabel.buddy = kPassword;
    Add(ui::ControlType::TextBox, kPassword).masked = true;
}

QString LoginForm::EnteredName() const { return Find(kName)->text.trimmed(); }

QString LoginForm::EnteredPassword() const { return Find(kPassword)->text; }

void LoginForm::OnLoad() {
    settings::LocaliseCaptions(*this);
    Get(kPrompt).caption = Prompt();
    Get(kOk).enabled = !Get(kName).text.trimmed().isEmpty();
    SetFocus(Get(kName).text.isEmpty() ? kName : kPassword);
}

void LoginForm::OnEvent(ui::Control& control, ui::FormEvent event) {
    const QString& name = control.Name();
    if (name == kName && event == ui::FormEvent::Change) {
        Get(kOk).enabled = !control.text.trimmed().isEmpty();
    } else if (event == ui::FormEvent::Click && name == kOk) {
        Hide(true);
    } else if (event == ui::FormEvent::Click && name == QStringLiteral("cmdCancel")) {
        Hide(false);
    }
}

}  // namespace ov::host
