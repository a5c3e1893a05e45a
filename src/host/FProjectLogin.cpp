#include "host/FProjectLogin.h"

#include "platform/ui/FormPresenter.h"
#include "settings/TextTable.h"

namespace ov::host {

FProjectLogin::FProjectLogin(const QString& server, const QString& role, bool refused)
    : LoginForm(QStringLiteral("FProjectLogin"), QStringLiteral("C9436"), role),
      m_server(server),
      m_role(role),
      m_refused(refused) {
    tag = QStringLiteral("C9434");
    AddOkAndCancel();
    // There is no help page on server logins to offer.
    Get(QStringLiteral("cmdHelp")).visible = false;
}

QString FProjectLogin::Prompt() const {
    if (m_refused) return settings::Text(9437).replace(QStringLiteral("<r>"), m_role);
    return settings::Text(9435).replace(QStringLiteral("<s>"), m_server);
}

bool AskProjectLogin(const QString& server, bool refused, QString& role, QString& password) {
    FProjectLogin dialog(server, role, refused);
    ui::UnloadOnExit unload(dialog);
    if (!ui::ShowModal(dialog)) return false;
    role = dialog.EnteredName();
    password = dialog.EnteredPassword();
    return true;
}

}  // namespace ov::host
