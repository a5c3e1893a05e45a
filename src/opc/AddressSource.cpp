#include "opc/AddressSource.h"

#include "components/InstalledPrograms.h"
#include "platform/system/Registry.h"
#include "platform/ui/ModalState.h"
#include "settings/TextTable.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

namespace ov::opc {

using settings::Text;

namespace {

const QStringList kModes{QStringLiteral("None"), QStringLiteral("Sign"), QStringLiteral("SignAndEncrypt")};
const QStringList kPolicies{QStringLiteral("None"), QStringLiteral("Basic256Sha256"),
                            QStringLiteral("Aes128_Sha256_RsaOaep"), QStringLiteral("Aes256_Sha256_RsaPss")};
constexpr int kMaxTimeoutSeconds = 600;
// Each round answers one question (login, certificate); more than this and
// the helper keeps asking the same.
constexpr int kConnectRounds = 6;

// The helper's words for a failed connect without the endpoint, which our
// texts name themselves.
// The helper's usual reasons in the interface language; others stay as it words them.
QString LocalReason(const QString& reason) {
    static const std::pair<const char*, int> kKnown[] = {
        {"connection refused (is the server running and is the port right?)", 9300},
        {"unknown host", 9301},
        {"host unreachable", 9302},
        {"the connection timed out", 9303},
        {"the server closed the connection", 9304},
        {"the server does not accept unsecured connections (security mode None)", 9306},
        {"the server does not know this endpoint path", 9307},
        {"the server accepts no anonymous user; a user name and password are needed", 9308},
    };
    for (const auto& [english, text] : kKnown)
        if (reason == QLatin1String(english)) return Text(text);
    static const QRegularExpression noAnswer(QStringLiteral("^no answer within (\\d+) ms$"));
    if (const QRegularExpressionMatch m = noAnswer.match(reason); m.hasMatch())
        return Text(9305).replace(QStringLiteral("<n>"), m.captured(1));
    return reason;
}

QString BareReason(const QString& endpoint, QString reason) {
    const QString prefix = QStringLiteral("Cannot connect to %1: ").arg(endpoint);
    if (reason.startsWith(prefix)) reason = reason.mid(prefix.size());
    const QString suffix = QStringLiteral(" (%1)").arg(endpoint);
    if (reason.endsWith(suffix)) reason.chop(suffix.size());
    return LocalReason(reason);
}

QString CannotConnect(const QString& endpoint, const QString& reason) {
    // Some of the helper's messages name the endpoint in their own words.
    if (reason.contains(endpoint)) return reason;
    return Text(9251).replace(QStringLiteral("<e>"), endpoint).replace(QStringLiteral("<r>"), reason);
}

QString DateOf(const QString& iso) {
    const QDateTime time = QDateTime::fromString(iso, Qt::ISODateWithMs);
    return time.isValid() ? time.toUTC().toString(QStringLiteral("yyyy-MM-dd")) : iso;
}

}  // namespace

QStringList CertificateProblems(const ServerCertificate& certificate) {
    QStringList words;
    for (const QString& problem : certificate.problems) {
        if (problem == QLatin1String("untrusted"))
            words << Text(9243);
        else if (problem == QLatin1String("expired"))
            words << Text(9244).replace(QStringLiteral("<d>"), DateOf(certificate.validTo));
        else if (problem == QLatin1String("notYetValid"))
            words << Text(9245).replace(QStringLiteral("<d>"), DateOf(certificate.validFrom));
        else if (problem == QLatin1String("hostMismatch"))
            words << Text(9246).replace(QStringLiteral("<h>"), certificate.host);
        else
            words << problem;
    }
    return words;
}

QString CertificateRefusal(const QString& endpoint, const ServerCertificate& certificate) {
    return Text(9258)
        .replace(QStringLiteral("<e>"), endpoint)
        .replace(QStringLiteral("<t>"), certificate.thumbprint)
        .replace(QStringLiteral("<p>"), CertificateProblems(certificate).join(QStringLiteral("; ")));
}

const QString kLoadStopped = QStringLiteral("Loading the address space was stopped.");

std::optional<std::vector<SubtreeNode>> AddressSource::Subtree(const QString& nodeId, QString* error,
                                                              const std::function<bool(int)>& progress) {
    std::vector<SubtreeNode> nodes;
    QSet<QString> listed{nodeId};
    std::vector<QString> level{nodeId};
    while (!level.empty()) {
        std::vector<QString> next;
        for (const QString& parent : level) {
            const auto count = [&](int loaded) { return !progress || progress(static_cast<int>(nodes.size()) + loaded); };
            auto children = Children(parent, error, count);
            if (!children) return std::nullopt;
            for (OpcNode& child : *children) {
                // A node met again is listed here too; its children were listed where it was met first.
                if (child.hasChildren && !listed.contains(child.nodeId)) next.push_back(child.nodeId);
                listed.insert(child.nodeId);
                nodes.push_back({parent, std::move(child)});
            }
        }
        if (progress && !progress(static_cast<int>(nodes.size()))) {
            *error = kLoadStopped;
            return std::nullopt;
        }
        level = std::move(next);
    }
    return nodes;
}

bool NodeSetSource::Open(QString* error) { return m_set.Load(m_path, error); }

std::optional<std::vector<OpcNode>> NodeSetSource::Children(const QString& nodeId, QString* /*error*/,
                                                           const std::function<bool(int)>& /*progress*/) {
    // The whole file is in memory: nothing to wait for or to stop.
    return m_set.Children(nodeId.isEmpty() ? kObjectsFolder : nodeId);
}

ServerSource::ServerSource(QString endpoint) : m_client() {
    m_request.endpoint = std::move(endpoint);
    m_client.whileWaiting = [] { ui::PumpEvents(); };
}

ServerSource::ServerSource(const ServerSettings& settings, ServerAskers askers) : m_askers(std::move(askers)) {
    m_request.endpoint = settings.endpoint;
    m_request.securityMode = settings.securityMode;
    m_request.securityPolicy = settings.securityPolicy;
    m_request.user = settings.user;
    m_request.timeoutMs = settings.timeoutSeconds * 1000;
    // The window paints and takes a Stop while the server is slow to answer.
    m_client.whileWaiting = [] { ui::PumpEvents(); };
}

ServerSource::~ServerSource() { m_client.Stop(); }

bool ServerSource::Fail(const QString& why, QString* error, bool shown) {
    m_connected = false;
    m_state = why;
    if (shown)
        error->clear();
    else
        *error = why;
    return false;
}

bool ServerSource::AskLogin(const QString& user, LoginReason why, QString* error) {
    m_loginAsked = true;
    const QString& endpoint = m_request.endpoint;
    const QString asked = why == LoginReason::Refused ? Text(9235) : Text(9231).replace(QStringLiteral("<e>"), endpoint);
    if (!m_askers.askLogin) return Fail(asked, error, false);
    const std::optional<Login> login = m_askers.askLogin(endpoint, user, why);
    if (!login) return Fail(why == LoginReason::Refused ? asked : Text(9256).replace(QStringLiteral("<e>"), endpoint), error, true);
    m_request.user = login->user;
    m_request.password = login->password;
    return true;
}

bool ServerSource::Open(QString* error) {
    m_connected = false;
    const QString& endpoint = m_request.endpoint;
    m_reason.clear();
    // The helper cannot drop a connect under way in the background: it goes with it.
    if (m_client.Connecting()) m_client.Stop();
    if (!m_client.IsRunning() && !m_client.Start(error)) return FailConnect(*error, error);
    // A user named by the installation is asked for before the first connect.
    if (!m_request.user.isEmpty() && !m_loginAsked && !AskLogin(m_request.user, LoginReason::UserKey, error)) return false;
    QString last;
    for (int round = 0; round < kConnectRounds; ++round) {
        const HelperLine answer = m_client.Connect(m_request);
        if (answer.ok) {
            Connected(answer);
            return true;
        }
        last = answer.error;
        const QString& reason = answer.reason;
        if (reason == QLatin1String("stopped")) return Fail(Text(9257), error, true);
        if (reason == QLatin1String("loginNeeded") || reason == QLatin1String("userRefused")) {
            // A refused password is not offered again.
            const bool refused = reason == QLatin1String("userRefused");
            m_request.password.clear();
            if (!AskLogin(refused ? m_request.user : QString(), refused ? LoginReason::Refused : LoginReason::LoginNeeded,
                          error))
                return false;
            continue;
        }
        const ServerCertificate& certificate = answer.certificate;
        // A certificate taken already and still refused: the helper's own words.
        if (reason == QLatin1String("certificate") && !certificate.thumbprint.isEmpty() &&
            certificate.thumbprint != m_request.acceptCertificate) {
            const QString refusal = CertificateRefusal(endpoint, certificate);
            if (!m_askers.askCertificate) return Fail(refusal, error, false);
            const CertificateChoice choice = m_askers.askCertificate(endpoint, certificate);
            if (choice == CertificateChoice::Cancel) return Fail(refusal, error, true);
            if (choice == CertificateChoice::Trust && certificate.problems.contains(QStringLiteral("untrusted")) &&
                !m_client.TrustCertificate(certificate.thumbprint, error))
                return FailConnect(*error, error);
            // Trust does not make an expired certificate, or one for another
            // host, good: those are taken for this connection.
            if (choice == CertificateChoice::TrustOnce || certificate.problems != QStringList{QStringLiteral("untrusted")})
                m_request.acceptCertificate = certificate.thumbprint;
            continue;
        }
        break;
    }
    return FailConnect(last, error);
}

void ServerSource::Connected(const HelperLine& answer) {
    m_connected = true;
    m_state = Text(answer.user.isEmpty() ? 9250 : 9249)
                  .replace(QStringLiteral("<e>"), answer.endpoint.isEmpty() ? m_request.endpoint : answer.endpoint)
                  .replace(QStringLiteral("<m>"), answer.securityMode)
                  .replace(QStringLiteral("<p>"), answer.securityPolicy)
                  .replace(QStringLiteral("<u>"), answer.user);
}

void ServerSource::Unreconnected(const QString& reason) {
    m_connected = false;
    m_state = Text(9252).replace(QStringLiteral("<e>"), m_request.endpoint).replace(QStringLiteral("<r>"), reason);
}

Reconnecting ServerSource::Reconnect() {
    if (!m_client.Connecting()) {
        m_connected = false;
        QString error;
        if (m_client.BeginConnect(m_request, &error)) return Reconnecting::UnderWay;
        m_reason = BareReason(m_request.endpoint, error);
        Unreconnected(m_reason);
        return Reconnecting::Failed;
    }
    const std::optional<HelperLine> answer = m_client.ConnectAnswer();
    if (!answer) return Reconnecting::UnderWay;
    if (answer->ok) {
        Connected(*answer);
        return Reconnecting::Connected;
    }
    // What only the person can answer is left for the next Open, which asks.
    const QString& reason = answer->reason;
    if (reason == QLatin1String("loginNeeded")) {
        Unreconnected(Text(9308));
        return Reconnecting::NeedsPerson;
    }
    if (reason == QLatin1String("userRefused")) {
        // A refused password is not offered again.
        m_request.password.clear();
        Unreconnected(Text(9235));
        return Reconnecting::NeedsPerson;
    }
    const ServerCertificate& certificate = answer->certificate;
    if (reason == QLatin1String("certificate") && !certificate.thumbprint.isEmpty() &&
        certificate.thumbprint != m_request.acceptCertificate) {
        Unreconnected(CertificateRefusal(m_request.endpoint, certificate));
        return Reconnecting::NeedsPerson;
    }
    m_reason = BareReason(m_request.endpoint, answer->error);
    Unreconnected(m_reason);
    return Reconnecting::Failed;
}

bool ServerSource::FailConnect(const QString& helperError, QString* error) {
    m_reason = BareReason(m_request.endpoint, helperError);
    return Fail(CannotConnect(m_request.endpoint, m_reason), error, false);
}

std::optional<std::vector<OpcNode>> ServerSource::Children(const QString& nodeId, QString* error,
                                                          const std::function<bool(int)>& progress) {
    const QString node = nodeId == kObjectsFolder ? QString() : nodeId;
    auto nodes = m_client.Browse(node, error, progress);
    if (nodes || !ConnectedAgain(error)) return nodes;
    return m_client.Browse(node, error, progress);
}

bool ServerSource::ConnectedAgain(QString* error) {
    if (!m_client.ConnectionLost()) {
        if (!m_client.IsRunning()) m_connected = false;
        return false;
    }
    // The server went away since the last request: once more, connected anew.
    QString again;
    if (Open(&again)) return true;
    if (again.isEmpty()) {
        error->clear();
    } else {
        *error = Text(9252)
                     .replace(QStringLiteral("<e>"), m_request.endpoint)
                     .replace(QStringLiteral("<r>"), m_reason.isEmpty() ? again : m_reason);
        m_state = *error;
    }
    return false;
}

std::optional<std::vector<SubtreeNode>> ServerSource::Subtree(const QString& nodeId, QString* error,
                                                             const std::function<bool(int)>& progress) {
    const QString node = nodeId == kObjectsFolder ? QString() : nodeId;
    auto nodes = m_client.BrowseTree(node, error, progress);
    if (nodes || !ConnectedAgain(error)) return nodes;
    return m_client.BrowseTree(node, error, progress);
}

std::optional<SourceAddress> RegisteredSource(const sys::Registry& registry, const QString& versionedProgId,
                                              QString* error) {
    const QString key = QString::fromUtf8(components::kServersKey) + u'\\' + versionedProgId;
    const auto read = [&](const char* name) {
        return registry.ReadValue(sys::Hive::LocalMachine, key, QString::fromUtf8(name)).trimmed();
    };
    const auto refuse = [&](const char* name, const QString& value, const QString& allowed) {
        *error = Text(9254)
                     .replace(QStringLiteral("<v>"), value)
                     .replace(QStringLiteral("<k>"), QString::fromUtf8(name))
                     .replace(QStringLiteral("<s>"), versionedProgId)
                     .replace(QStringLiteral("<a>"), allowed);
        return std::nullopt;
    };
    // In the letter case the helper knows; empty when not allowed.
    const auto allowedSpelling = [](const QString& value, const QStringList& allowed) {
        for (const QString& spelling : allowed)
            if (spelling.compare(value, Qt::CaseInsensitive) == 0) return spelling;
        return QString();
    };
    SourceAddress address;
    address.endpoint = read("Endpoint");
    address.nodeSetFile = read("NodeSet");
    address.server.endpoint = address.endpoint;
    address.server.user = read("User");
    const QString mode = read("SecurityMode");
    address.server.securityMode = allowedSpelling(mode, kModes);
    if (!mode.isEmpty() && address.server.securityMode.isEmpty()) return refuse("SecurityMode", mode, kModes.join(QStringLiteral(", ")));
    const QString policy = read("SecurityPolicy");
    address.server.securityPolicy = allowedSpelling(policy, kPolicies);
    if (!policy.isEmpty() && address.server.securityPolicy.isEmpty())
        return refuse("SecurityPolicy", policy, kPolicies.join(QStringLiteral(", ")));
    const QString timeout = read("Timeout");
    if (!timeout.isEmpty()) {
        bool ok = false;
        address.server.timeoutSeconds = timeout.toInt(&ok);
        if (!ok || address.server.timeoutSeconds < 1 || address.server.timeoutSeconds > kMaxTimeoutSeconds)
            return refuse("Timeout", timeout, Text(9255));
    }
    return address;
}

QString EndpointOnComputer(const QString& endpoint, const QString& computer) {
    const QString host = computer.trimmed();
    if (host.isEmpty()) return endpoint;
    QUrl url(endpoint);
    if (!url.isValid()) return endpoint;
    url.setHost(host);
    return url.toString();
}

std::unique_ptr<AddressSource> SourceFor(const sys::Registry& registry, const QString& versionedProgId,
                                         const QString& computer, QString* error, const ServerAskers& askers) {
    const std::optional<SourceAddress> address = RegisteredSource(registry, versionedProgId, error);
    if (!address) return nullptr;
    if (!address->endpoint.isEmpty()) {
        ServerSettings settings = address->server;
        settings.endpoint = EndpointOnComputer(address->endpoint, computer);
        return std::make_unique<ServerSource>(settings, askers);
    }
    if (!address->nodeSetFile.isEmpty()) return std::make_unique<NodeSetSource>(address->nodeSetFile);
    *error = QStringLiteral("The installation names no address space for the OPC server %1 "
                            "(an \"Endpoint\" or a \"NodeSet\" file in its registry key).")
                 .arg(versionedProgId);
    return nullptr;
}

}  // namespace ov::opc
