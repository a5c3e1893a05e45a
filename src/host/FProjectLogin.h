#pragma once

#include "host/LoginForm.h"

namespace ov::host {

// The log-on to a project on a server: the role, pre-filled, and its
// password, masked; OK and Cancel. At first it says which server asks,
// after a refused try that the server refused the role's password.
class FProjectLogin : public LoginForm {
  public:
    FProjectLogin(const QString& server, const QString& role, bool refused);

  protected:
    QString Prompt() const override;

  private:
    QString m_server;
    QString m_role;
    bool m_refused = false;
};

// Shows FProjectLogin; false when the person cancelled, else role and
// password as typed.
bool AskProjectLogin(const QString& server, bool refused, QString& role, QString& password);

}  // namespace ov::host
