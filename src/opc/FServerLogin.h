#pragma once

#include "host/LoginForm.h"
#include "opc/AddressSource.h"

namespace ov::opc {

// The log-on to an OPC UA server: user name, password (masked) and whether
// to remember the password until the studio closes; OK, Cancel and Help.
// OK needs a user name.
class FServerLogin : public host::LoginForm {
  public:
    FServerLogin(const QString& endpoint, const QString& user);

    Login Entered() const;
    bool Remember() const;

  protected:
    QString Prompt() const override;

  private:
    QString m_endpoint;
};

// The studio's questions while it connects to a server: FServerLogin and
// FServerCertificate. A password the person asked to remember is kept in
// this process only, per endpoint and user, and taken without asking until
// the server refuses it.
ServerAskers DialogAskers();
// Forgets every remembered password.
void ForgetRememberedPasswords();

}  // namespace ov::opc
