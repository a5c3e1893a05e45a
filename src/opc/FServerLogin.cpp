#include "opc/FServerLogin.h"

#include "opc/FServerCertificate.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

#include <QHash>

namespace ov::opc {

using settings::Text;

namespace {

const QString kUser = QStringLiteral("txtUser");
const QString kPassword = QStringLiteral("txtPassword");
const QString kRemember = QStringLiteral("chkRemember");
const QString kPrompt = QStringLiteral("lblPrompt");

// Passwords live in memory only, never in a file.
struct RememberedPasswords {
    QHash<QString, QString> passwords;  // endpoint and user -> password
    QHash<QString, QString> users;      // endpoint -> the user last remembered
};

RememberedPasswords& Remembered() {
    static RememberedPasswords remembered;
    return remembered;
}

QString KeyOf(const QString& endpoint, const QString& user) { return endpoint + u'\n' + user; }

std::optional<Login> AskLogin(const QString& endpoint, const QString& user, LoginReason why) {
    RememberedPasswords& remembered = Remembered();
    const QString known = user.isEmpty() ? remembered.users.value(endpoint) : user;
    if (why == LoginReason::Refused) {
        remembered.passwords.remove(KeyOf(endpoint, known));
        ui::ShowMessage(Text(9235), Text(9230), ui::Buttons::OK, 0, ui::Icon::Critical);
    } else if (!known.isEmpty() && remembered.passwords.contains(KeyOf(endpoint, known))) {
        return Login{known, remembered.passwords.value(KeyOf(endpoint, known))};
    }
    FServerLogin dialog(endpoint, known);
    ui::UnloadOnExit unload(dialog);
    if (!ui::ShowModal(dialog)) return std::nullopt;
    const Login login = dialog.Entered();
    if (dialog.Remember()) {
        remembered.passwords.insert(KeyOf(endpoint, login.user), login.password);
        remembered.users.insert(endpoint, login.user);
    }
    return login;
}

}  // namespace

FServerLogin::FServerLogin(const QString& endpoint, const QString& user)
    : ui::Form(QStringLiteral("FServerLogin")), m_endpoint(endpoint) {
    tag = QStringLiteral("C9230");
    helpContextId = settings::help::kBrowseItemsDialog;
    Add(ui::ControlType::Label, kPrompt).multiLine = true;
    ui::Control& userLabel = Add(ui::ControlType::Label, QStringLiteral("lblUser"));
    userLabel.tag = QStringLiteral("C9232");
    userLabel.buddy = kUser;
    Add(ui::ControlType::TextBox, kUser).text = user;
    ui::Control& passwordLabel = Add(ui::ControlType::Label, QStringLiteral("lblPassword"));
    passwordLabel.tag = QStringLiteral("C9233");
    passwordLabel.buddy = kPassword;
    Add(ui::ControlType::TextBox, kPassword).masked = true;
    Add(ui::ControlType::CheckBox, kRemember).tag = QStringLiteral("C9234");
    AddOkAndCancel();
}

Login FServerLogin::Entered() const { return {Find(kUser)->text.trimmed(), Find(kPassword)->text}; }

bool FServerLogin::Remember() const { return Find(kRemember)->IsChecked(); }

void FServerLogin::OnLoad() {
    settings::LocaliseCaptions(*this);
    Get(kPrompt).caption = Text(9231).replace(QStringLiteral("<e>"), m_endpoint);
    Get(QStringLiteral("cmdOK")).enabled = !Get(kUser).text.trimmed().isEmpty();
    SetFocus(Get(kUser).text.isEmpty() ? kUser : kPassword);
}

void FServerLogin::OnEvent(ui::Control& control, ui::FormEvent event) {
    const QString& name = control.Name();
    if (name == kUser && event == ui::FormEvent::Change) {
        Get(QStringLiteral("cmdOK")).enabled = !control.text.trimmed().isEmpty();
    } else if (event == ui::FormEvent::Click && name == QStringLiteral("cmdOK")) {
        Hide(true);
    } else if (event == ui::FormEvent::Click && name == QStringLiteral("cmdCancel")) {
        Hide(false);
    }
}

ServerAskers DialogAskers() { return {AskLogin, AskAboutCertificate}; }

void ForgetRememberedPasswords() {
    Remembered().passwords.clear();
    Remembered().users.clear();
}

}  // namespace ov::opc
