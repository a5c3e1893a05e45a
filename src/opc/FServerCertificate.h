#pragma once

#include "opc/AddressSource.h"
#include "platform/ui/Form.h"

namespace ov::opc {

// A server certificate that was not accepted: subject, issuer, validity,
// SHA-1 thumbprint and each problem in words, with Trust (from now on),
// Trust once (this connection) and Cancel, which is the default.
class FServerCertificate : public ui::Form {
  public:
    FServerCertificate(const QString& endpoint, const ServerCertificate& certificate);
    CertificateChoice Choice() const { return m_choice; }

  protected:
    void OnLoad() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;

  private:
    QString m_endpoint;
    ServerCertificate m_certificate;
    CertificateChoice m_choice = CertificateChoice::Cancel;
};

// Shows the certificate and gives the person's choice; closing the window cancels.
CertificateChoice AskAboutCertificate(const QString& endpoint, const ServerCertificate& certificate);

}  // namespace ov::opc
