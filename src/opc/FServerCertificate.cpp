#include "opc/FServerCertificate.h"

#include "platform/ui/FormPresenter.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

#include <QDateTime>

namespace ov::opc {

using settings::Text;

namespace {

const QString kIntro = QStringLiteral("lblIntro");
const QString kProblems = QStringLiteral("txtProblems");
const QString kTrust = QStringLiteral("cmdTrust");
const QString kTrustOnce = QStringLiteral("cmdTrustOnce");
const QString kCancel = QStringLiteral("cmdCancel");

// Read-only fields, each with its label.
struct Field {
    const char* name;
    int caption;
};
constexpr Field kFields[] = {{"txtSubject", 9238}, {"txtIssuer", 9239}, {"txtValidFrom", 9240},
                             {"txtValidTo", 9241}, {"txtThumbprint", 9242}};

QString TimeOf(const QString& iso) {
    const QDateTime time = QDateTime::fromString(iso, Qt::ISODateWithMs);
    return time.isValid() ? time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'")) : iso;
}

}  // namespace

FServerCertificate::FServerCertificate(const QString& endpoint, const ServerCertificate& certificate)
    : ui::Form(QStringLiteral("FServerCertificate")), m_endpoint(endpoint), m_certificate(certificate) {
    tag = QStringLiteral("C9236");
    helpContextId = settings::help::kBrowseItemsDialog;
    Add(ui::ControlType::Label, kIntro).multiLine = true;
    for (const Field& field : kFields) {
        const QString name = QString::fromUtf8(field.name);
        ui::Control& label = Add(ui::ControlType::Label, QStringLiteral("lbl") + name.mid(3));
        label.tag = QStringLiteral("C%1").arg(field.caption);
        label.buddy = name;
        Add(ui::ControlType::TextBox, name).locked = true;
    }
    ui::Control& problemsLabel = Add(ui::ControlType::Label, QStringLiteral("lblProblems"));
    problemsLabel.tag = QStringLiteral("C9259");
    problemsLabel.buddy = kProblems;
    ui::Control& problems = Add(ui::ControlType::TextBox, kProblems);
    problems.locked = true;
    problems.multiLine = true;
    Add(ui::ControlType::CommandButton, kTrust).tag = QStringLiteral("C9247");
    Add(ui::ControlType::CommandButton, kTrustOnce).tag = QStringLiteral("C9248");
    // Nothing is trusted by pressing Enter.
    ui::Control& cancel = Add(ui::ControlType::CommandButton, kCancel);
    cancel.tag = QStringLiteral("C11");
    cancel.isDefault = true;
    cancel.isCancel = true;
}

void FServerCertificate::OnLoad() {
    settings::LocaliseCaptions(*this);
    Get(kIntro).caption = Text(9237).replace(QStringLiteral("<e>"), m_endpoint);
    Get(QStringLiteral("txtSubject")).text = m_certificate.subject;
    Get(QStringLiteral("txtIssuer")).text = m_certificate.issuer;
    Get(QStringLiteral("txtValidFrom")).text = TimeOf(m_certificate.validFrom);
    Get(QStringLiteral("txtValidTo")).text = TimeOf(m_certificate.validTo);
    Get(QStringLiteral("txtThumbprint")).text = m_certificate.thumbprint;
    Get(kProblems).text = CertificateProblems(m_certificate).join(u'\n');
    SetFocus(kCancel);
}

void FServerCertificate::OnEvent(ui::Control& control, ui::FormEvent event) {
    if (event != ui::FormEvent::Click) return;
    const QString& name = control.Name();
    if (name == kTrust) {
        m_choice = CertificateChoice::Trust;
        Hide(true);
    } else if (name == kTrustOnce) {
        m_choice = CertificateChoice::TrustOnce;
        Hide(true);
    } else if (name == kCancel) {
        m_choice = CertificateChoice::Cancel;
        Hide(false);
    }
}

CertificateChoice AskAboutCertificate(const QString& endpoint, const ServerCertificate& certificate) {
    FServerCertificate dialog(endpoint, certificate);
    ui::UnloadOnExit unload(dialog);
    ui::ShowModal(dialog);
    return dialog.Choice();
}

}  // namespace ov::opc
