#pragma once

#include "opc/OpcNode.h"

#include <QElapsedTimer>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QJsonObject;
class QProcess;

namespace ov::opc {

// The certificate a server presented and why it was not accepted.
struct ServerCertificate {
    QString subject;
    QString issuer;
    QString validFrom;   // ISO 8601, as the helper writes it
    QString validTo;
    QString thumbprint;  // SHA-1, 40 upper-case hex digits
    // "untrusted", "expired", "notYetValid", "hostMismatch"
    QStringList problems;
    QString host;        // the host of the endpoint it was checked against
};

// A value of a node as the helper reports it: the value in its JSON form
// (Int64 and UInt64 as decimal text, NaN and infinities as text, arrays as
// arrays), its built-in type ("Double", "Int32[]" ...), the status code's
// name and the time stamps as ISO 8601 text.
struct LiveValue {
    int handle = -1;  // the monitored item it belongs to; -1 for a read
    QJsonValue value;
    QString type;
    QString status;
    QString sourceTime;
    QString serverTime;
};

// A node to watch under the editor's key for it.
struct MonitorItem {
    int handle = 0;
    QString nodeId;
    int samplingMs = 1000;
};
// How the server took a monitored item: "Good" or the status code's name.
struct MonitorResult {
    int handle = 0;
    QString status;
};

// One line the helper wrote, as far as the editor reads it.
struct HelperLine {
    int id = -1;          // the request it answers; -1 for none
    QString event;        // "ready", "nodes", "progress", "connectionLost"; empty for the final answer
    bool ok = false;      // the final answer: the request succeeded
    QString error;        // the final answer (and connectionLost): why not
    // Why a connect failed, where the person can do something about it:
    // "certificate", "loginNeeded", "userRefused", "noEndpoint"; empty otherwise.
    // The client adds "stopped" for a connect it was told to give up.
    QString reason;
    ServerCertificate certificate;  // with reason "certificate"
    // A connect's answer: the security the helper chose, the user (empty
    // for anonymous) and the endpoint it used.
    QString securityMode;
    QString securityPolicy;
    QString user;
    QString endpoint;
    int loaded = 0;       // progress: nodes loaded so far
    QString parent;       // nodes: the node they were listed under
    std::vector<OpcNode> nodes;
    // A "values" event, or a read's answer in the order asked.
    std::vector<LiveValue> values;
    std::vector<MonitorResult> results;  // a monitor's answer
    QString status;                       // a write's answer: what the server said
};

// What a connect asks for. Empty texts are left out of the request: the
// helper then picks the most secure endpoint the server offers and logs on
// anonymously.
struct ConnectRequest {
    QString endpoint;
    QString securityMode;       // None, Sign, SignAndEncrypt
    QString securityPolicy;     // None, Basic256Sha256, Aes128_Sha256_RsaOaep, Aes256_Sha256_RsaPss
    QString user;
    QString password;
    QString acceptCertificate;  // the thumbprint of a certificate taken for this connection only
    int timeoutMs = 30000;
};
// A node of a subtree with the node it was listed under.
struct SubtreeNode {
    QString parent;
    OpcNode node;
};

// Anything that is not a JSON object reads as a line without id and event.
HelperLine ParseHelperLine(const QByteArray& line);

// The editor's side of the resident OPC UA helper (apps/opcua-helper): a
// Node.js child process spoken to in JSON lines. Every wait has a limit; a
// helper that does not answer in time, or ends, is stopped by its process
// ID and the call fails with a message saying so. Nothing here blocks
// longer than its limit.
class HelperClient {
  public:
    HelperClient();
    ~HelperClient();
    HelperClient(const HelperClient&) = delete;
    HelperClient& operator=(const HelperClient&) = delete;

    // The helper script: $OVOPC_OPCUA_HELPER, else the one of the source tree.
    static QString Script();

    bool Start(QString* error, int timeoutMs = 20000);
    bool IsRunning() const;
    bool Connect(const QString& endpoint, QString* error, int timeoutMs = 5000);
    // The helper's final answer to the connect; a failure of the helper
    // itself reads as an answer without a reason.
    HelperLine Connect(const ConnectRequest& request);
    // A connect that does not wait, for connecting again in the background:
    // starts the helper when it is not running (without waiting until it is
    // ready) and sends the request. False with a message when nothing was sent.
    bool BeginConnect(const ConnectRequest& request, QString* error);
    // Reads what the helper wrote, as PollEvents does, and hands over the
    // answer to the connect begun last once it is there. A helper that ended,
    // or stays silent past the connect's own time limit and a little more
    // (it is stopped then), gives a failed answer without a reason. Nothing
    // while the connect is under way or when none was begun.
    std::optional<HelperLine> ConnectAnswer();
    // A connect begun without waiting whose answer was not handed over yet.
    bool Connecting() const { return m_pendingConnect >= 0; }
    // Moves a server certificate the helper has seen into the trusted ones.
    bool TrustCertificate(const QString& thumbprint, QString* error);
    // The helper said the connection to the server broke; a connect ends it.
    bool ConnectionLost() const { return m_lost; }
    // Called from whileWaiting: a running connect gives up. The helper goes
    // with it (it cannot be told to drop a half-made connection), so the
    // next Start begins afresh.
    void RequestStop() { m_stopRequested = true; }
    // The objects and variables below a node (empty: the Objects folder).
    // progress gets the number loaded so far; returning false cancels.
    std::optional<std::vector<OpcNode>> Browse(const QString& nodeId, QString* error,
                                                const std::function<bool(int loaded)>& progress = {});
    // The whole subtree below a node (empty: the Objects folder), breadth
    // first, every parent before its children, level by level with many
    // parents per server call. A node reached over several paths is listed
    // under each parent, its children once. progress as for Browse.
    std::optional<std::vector<SubtreeNode>> BrowseTree(const QString& nodeId, QString* error,
                                                       const std::function<bool(int loaded)>& progress = {});
    // Watches nodes: creates the subscription on first use, changes an item
    // whose handle is watched already. Per item "Good" or why the server
    // refused it (that item then gets no values). publishingIntervalMs 0:
    // the helper takes the fastest sampling asked for.
    std::optional<std::vector<MonitorResult>> Monitor(const std::vector<MonitorItem>& items, QString* error,
                                                      int publishingIntervalMs = 0);
    // Stops watching; unknown handles are ignored.
    bool Unmonitor(const std::vector<int>& handles, QString* error);
    // The current values of nodes once, in the order asked.
    std::optional<std::vector<LiveValue>> Read(const QStringList& nodeIds, QString* error);
    // Writes a value (converted by the helper to the node's data type). The
    // server's answer ("Good", "BadNotWritable" ...); nothing with a message
    // when the call itself failed or the value does not suit the node.
    std::optional<QString> Write(const QString& nodeId, const QJsonValue& value, QString* error);
    // Takes what the helper wrote since the last look, without waiting:
    // values go to onValues, a lost connection to ConnectionLost. Called from
    // the owner's timer. False when the helper is not running.
    bool PollEvents();
    // Where watched values go, whenever they are read: here and within any
    // other call. It must not make requests of this client.
    std::function<void(const std::vector<LiveValue>&)> onValues;
    // Told, while an event loop runs, that the helper wrote something (or
    // ended) for PollEvents to take, so its owner need not poll on a timer.
    // Only a hint: it must not make requests of this client either.
    std::function<void()> onOutput;

    // Quits the helper, and stops it by its ID when it does not go within 2 s.
    void Stop();
    qint64 ProcessId() const;

    // The longest silence the helper is allowed while it works on a request.
    int requestTimeoutMs = 30000;
    // Called about every 200 ms while waiting for the helper, so a window
    // can paint and take a Stop.
    std::function<void()> whileWaiting;

  private:
    struct Line;
    // Starts the process; its ready line is still to come.
    bool Launch(QString* error, int timeoutMs);
    bool Send(const QString& json, QString* error);
    // Sends a request (its id added) and waits for a good answer; nothing
    // with the helper's message otherwise.
    std::optional<HelperLine> Request(QJsonObject request, QString* error);
    // The next line from the helper; nothing when it ended or stayed silent too long.
    std::optional<QByteArray> ReadLine(int timeoutMs, QString* error, const std::function<void()>& tick = {},
                                       bool stoppable = false);
    // The final answer to a request; nothing when the helper failed.
    std::optional<HelperLine> Answer(int id, int timeoutMs, QString* error, bool stoppable = false);
    // Notes what a line says about the connection.
    void Watch(const HelperLine& line);
    // Sends a browse or browseTree request and reads its answers; takeNodes
    // keeps the nodes of each batch and says how many they were.
    bool List(const QString& op, const QString& nodeId, QString* error, const std::function<bool(int)>& progress,
              const std::function<int(HelperLine&)>& takeNodes);
    void Quit(int waitMs);
    void Kill();

    std::unique_ptr<QProcess> m_process;
    QByteArray m_buffer;
    int m_nextId = 1;
    bool m_lost = false;
    bool m_polling = false;  // within PollEvents
    bool m_stopRequested = false;
    bool m_stopped = false;
    // The connect begun without waiting: its id, its answer once read, and
    // how long it may take.
    int m_pendingConnect = -1;
    std::optional<HelperLine> m_connectAnswer;
    QElapsedTimer m_connectTime;
    qint64 m_connectLimitMs = 0;
};

}  // namespace ov::opc
