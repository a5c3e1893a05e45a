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

const QString kRemember = QStringLiteral("chkRemember");

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
    : host::LoginForm(QStringLiteral("FServerLogin"), QStringLiteral("C9232"), user), m_endpoint(endpoint) {
    tag = QStringLiteral("C9230");
    helpContextId = settings::help::kBrowseItemsDialog;
    Add(ui::ControlType::CheckBox, kRemember).tag = QStringLiteral("C9234");
    AddOkAndCancel();
}

Login FServerLogin::Entered() const { return {EnteredName(), EnteredPassword()}; }

bool FServerLogin::Remember() const { return Find(kRemember)->IsChecked(); }

QString FServerLogin::Prompt() const { return Text(9231).replace(QStringLiteral("<e>"), m_endpoint); }

ServerAskers DialogAskers() { return {AskLogin, AskAboutCertificate}; }

void ForgetRememberedPasswords() {
    Remembered().passwords.clear();
    Remembered().users.clear();
}

}  // namespace ov::opc
