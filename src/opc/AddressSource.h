#pragma once

#include "opc/HelperClient.h"
#include "opc/NodeSet.h"
#include "opc/OpcNode.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ov::sys {
class Registry;
}

namespace ov::opc {

// Why a load ended when its progress said stop.
extern const QString kLoadStopped;

// Where the address space of a server comes from: a live OPC UA server or
// a NodeSet2 file. Each registered server names one.
class AddressSource {
  public:
    virtual ~AddressSource() = default;
    // Makes the space readable (connects, reads the file); false with a message.
    virtual bool Open(QString* error) = 0;
    // The objects and variables below a node (kObjectsFolder for the top).
    // progress gets the number loaded so far; returning false cancels, which
    // fails the call with a message.
    virtual std::optional<std::vector<OpcNode>> Children(const QString& nodeId, QString* error,
                                                        const std::function<bool(int loaded)>& progress) = 0;
    // Everything below a node in one go, breadth first, each node with the
    // node it was listed under and every parent before its children; a node
    // met over several paths is listed under each, its children once.
    // progress and a cancel as for Children. By default level by level
    // through Children, which suits a source held in memory.
    virtual std::optional<std::vector<SubtreeNode>> Subtree(const QString& nodeId, QString* error,
                                                           const std::function<bool(int loaded)>& progress);
    // What the person sees as the source: the endpoint or the file.
    virtual QString Description() const = 0;

    // The state of the connection in words ("Connected to ... (SignAndEncrypt,
    // ...)", or why there is none); empty for a source that needs none.
    virtual QString ConnectionState() const { return QString(); }
    // Not connected now: the last connect failed, was stopped or declined,
    // or the connection broke and trying again failed. Open tries again.
    virtual bool Disconnected() const { return false; }
    // Asked from within a wait (the window's event pump): a connect that is
    // under way gives up.
    virtual void RequestStop() {}

    // A program file declares its variables' item fields and structures
    // itself (OpcNode::declared) and has no nodes of a server's own.
    virtual bool IsProgram() const { return false; }
};

// Why a server asks for a password.
enum class LoginReason {
    UserKey,      // the installation names a user: asked before connecting
    LoginNeeded,  // the server takes no anonymous user
    Refused,      // the server refused the last user name or password
};
struct Login {
    QString user;
    QString password;
};
enum class CertificateChoice { Trust, TrustOnce, Cancel };

// How a server source asks the person for what only they can give. The
// studio asks in dialogs, ovopc from its environment and terminal. A missing
// asker makes the connect fail with the reason.
struct ServerAskers {
    // The user prefilled (empty when unknown); nothing when the person cancels.
    std::function<std::optional<Login>(const QString& endpoint, const QString& user, LoginReason why)> askLogin;
    std::function<CertificateChoice(const QString& endpoint, const ServerCertificate& certificate)> askCertificate;
};

// The problems of a certificate in words of the interface language.
QStringList CertificateProblems(const ServerCertificate& certificate);
// Why the certificate was not accepted, naming the endpoint, thumbprint and problems.
QString CertificateRefusal(const QString& endpoint, const ServerCertificate& certificate);

// How the installation says to reach a live server (values of its key).
struct ServerSettings {
    QString endpoint;
    QString securityMode;    // empty: the most secure the server offers
    QString securityPolicy;
    QString user;            // empty: anonymous
    int timeoutSeconds = 30; // bounds the connect
};

// A NodeSet2 file, read once on Open.
class NodeSetSource : public AddressSource {
  public:
    explicit NodeSetSource(QString path) : m_path(std::move(path)) {}
    bool Open(QString* error) override;
    std::optional<std::vector<OpcNode>> Children(const QString& nodeId, QString* error,
                                                const std::function<bool(int)>& progress) override;
    QString Description() const override { return m_path; }

  private:
    QString m_path;
    NodeSet m_set;
};

// How a connect in the background stands (ServerSource::Reconnect).
enum class Reconnecting {
    UnderWay,     // the helper has not answered yet
    Connected,
    Failed,       // ConnectionState says why; it may be tried again later
    NeedsPerson,  // the server wants a log-on, another password or a word on its
                  // certificate: only an Open, which asks, can connect now
};

// A live server through the resident helper, started and connected on Open
// and stopped with the source. One connection for the source's life: when
// it breaks, the next request connects again once, with the same settings,
// password and accepted certificate, and is tried again.
class ServerSource : public AddressSource {
  public:
    explicit ServerSource(QString endpoint);
    ServerSource(const ServerSettings& settings, ServerAskers askers);
    ~ServerSource() override;
    // Connects, asking for a password or about the server's certificate as
    // the helper answers. False with a message; false with none when the
    // person declined or stopped (ConnectionState says which).
    bool Open(QString* error) override;
    // Connects again without waiting and without asking anybody, with the
    // settings, password and accepted certificate of the last connection:
    // each call begins a connect when none is under way and otherwise looks
    // whether its answer has come. For a timer; Open gives up a connect
    // that is still under way.
    Reconnecting Reconnect();
    std::optional<std::vector<OpcNode>> Children(const QString& nodeId, QString* error,
                                                const std::function<bool(int)>& progress) override;
    // The helper's tree browse: one request for the subtree, many parents per server call.
    std::optional<std::vector<SubtreeNode>> Subtree(const QString& nodeId, QString* error,
                                                   const std::function<bool(int)>& progress) override;
    QString Description() const override { return m_request.endpoint; }
    QString ConnectionState() const override { return m_state; }
    bool Disconnected() const override { return !m_connected; }
    void RequestStop() override { m_client.RequestStop(); }
    HelperClient& Client() { return m_client; }

  private:
    // Asks for a login; false (with the state set) when there is none.
    bool AskLogin(const QString& user, LoginReason why, QString* error);
    // Fails the connect with a message, or, declined by the person, with the state only.
    bool Fail(const QString& why, QString* error, bool shown);
    bool FailConnect(const QString& helperError, QString* error);
    // Takes a successful connect's answer.
    void Connected(const HelperLine& answer);
    // Connecting again failed: the state says why.
    void Unreconnected(const QString& reason);
    // After a failed request: when the connection was lost, connects again
    // once (true: do the request again); otherwise, or when that fails,
    // false with the message.
    bool ConnectedAgain(QString* error);

    ConnectRequest m_request;
    ServerAskers m_askers;
    HelperClient m_client;
    QString m_state;
    QString m_reason;  // why the last connect failed, in the helper's words without the endpoint
    bool m_connected = false;
    bool m_loginAsked = false;
};

// What the installation says about a server's address space: an endpoint
// "opc.tcp://host:port/path" or a NodeSet2 file (values "Endpoint" and
// "NodeSet" of the server's key), and for an endpoint how to connect
// (values "SecurityMode", "SecurityPolicy", "User" and "Timeout").
struct SourceAddress {
    QString endpoint;
    QString nodeSetFile;
    ServerSettings server;
};
// Nothing, with a message naming the key and what it allows, when a value is
// not one of those allowed.
std::optional<SourceAddress> RegisteredSource(const sys::Registry& registry, const QString& versionedProgId,
                                              QString* error);
// The endpoint with the device's computer, when it names one, as its host.
QString EndpointOnComputer(const QString& endpoint, const QString& computer);
// The source of a server on a computer; null with a message when the
// installation names none or names it wrongly.
std::unique_ptr<AddressSource> SourceFor(const sys::Registry& registry, const QString& versionedProgId,
                                         const QString& computer, QString* error, const ServerAskers& askers = {});

}  // namespace ov::opc
