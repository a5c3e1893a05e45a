#include "host/FProjectLogin.h"

#include "platform/ui/FormPresenter.h"
#include "settings/TextTable.h"

namespace ov::host {

FProjectLogin::FProjectLogin(const QString& server, const QString& refusal, const QString& role)
    : LoginForm(QStringLiteral("FProjectLogin"), QStringLiteral("C9436"), role), m_server(server), m_refusal(refusal) {
    tag = QStringLiteral("C9434");
    AddOkAndCancel();
    // There is no help page on server logins to offer.
    Get(QStringLiteral("cmdHelp")).visible = false;
}

QString FProjectLogin::Prompt() const {
    if (!m_refusal.isEmpty()) return m_refusal;
    return settings::Text(9435).replace(QStringLiteral("<s>"), m_server);
}

bool AskProjectLogin(const QString& server, const QString& refusal, QString& role, QString& password) {
    FProjectLogin dialog(server, refusal, role);
    ui::UnloadOnExit unload(dialog);
    if (!ui::ShowModal(dialog)) return false;
    role = dialog.EnteredName();
    password = dialog.EnteredPassword();
    return true;
}

}  // namespace ov::host
