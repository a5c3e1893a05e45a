#include "opc/HelperClient.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace ov::opc {

namespace {

OpcNode NodeFromJson(const QJsonObject& o) {
    OpcNode node;
    node.nodeId = o.value(QLatin1String("nodeId")).toString();
    node.browseName = o.value(QLatin1String("browseName")).toString();
    node.displayName = o.value(QLatin1String("displayName")).toString(node.browseName);
    node.isVariable = o.value(QLatin1String("nodeClass")).toString() == QLatin1String("Variable");
    node.hasChildren = o.value(QLatin1String("hasChildren")).toBool();
    node.isProperty = o.value(QLatin1String("isProperty")).toBool();
    if (node.isVariable) {
        node.dataType = o.value(QLatin1String("dataType")).toString(QStringLiteral("Unknown"));
        node.valueRank = o.value(QLatin1String("valueRank")).toInt(-1);
        for (const QJsonValue& dimension : o.value(QLatin1String("arrayDimensions")).toArray()) {
            // A length the type cannot hold (negative, huge, not a number) counts as unknown: 0.
            const double length = dimension.toDouble();
            node.arrayDimensions.push_back(length >= 0 && length <= 4294967295.0 ? static_cast<quint32>(length) : 0u);
        }
        node.accessLevel = o.value(QLatin1String("accessLevel")).toInt();
    }
    return node;
}

LiveValue ValueFromJson(const QJsonObject& o) {
    LiveValue value;
    value.handle = o.value(QLatin1String("handle")).toInt(-1);
    value.value = o.value(QLatin1String("value"));
    if (value.value.isUndefined()) value.value = QJsonValue::Null;
    value.type = o.value(QLatin1String("type")).toString();
    value.status = o.value(QLatin1String("status")).toString();
    value.sourceTime = o.value(QLatin1String("sourceTime")).toString();
    value.serverTime = o.value(QLatin1String("serverTime")).toString();
    return value;
}

QString Compact(const QJsonObject& o) { return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)); }

// How long the helper may take to start, and what its answer to a connect
// may take beyond the connect's own limit.
constexpr int kStartMs = 20000;
constexpr int kAnswerMarginMs = 5000;

QJsonObject ConnectJson(const ConnectRequest& request, int id) {
    QJsonObject json{{QStringLiteral("id"), id},
                     {QStringLiteral("op"), QStringLiteral("connect")},
                     {QStringLiteral("endpoint"), request.endpoint},
                     {QStringLiteral("timeoutMs"), request.timeoutMs}};
    // What is not given the helper chooses; an empty text would be a choice.
    const auto put = [&json](const char* key, const QString& value) {
        if (!value.isEmpty()) json.insert(QLatin1String(key), value);
    };
    put("securityMode", request.securityMode);
    put("securityPolicy", request.securityPolicy);
    put("user", request.user);
    if (!request.user.isEmpty()) json.insert(QLatin1String("password"), request.password);
    put("acceptCertificate", request.acceptCertificate);
    return json;
}

}  // namespace

HelperLine ParseHelperLine(const QByteArray& line) {
    const QJsonObject o = QJsonDocument::fromJson(line).object();
    HelperLine parsed;
    parsed.id = o.value(QLatin1String("id")).toInt(-1);
    parsed.event = o.value(QLatin1String("event")).toString();
    parsed.ok = o.value(QLatin1String("ok")).toBool();
    parsed.error = o.value(QLatin1String("error")).toString();
    parsed.reason = o.value(QLatin1String("reason")).toString();
    const QJsonObject certificate = o.value(QLatin1String("certificate")).toObject();
    parsed.certificate.subject = certificate.value(QLatin1String("subject")).toString();
    parsed.certificate.issuer = certificate.value(QLatin1String("issuer")).toString();
    parsed.certificate.validFrom = certificate.value(QLatin1String("validFrom")).toString();
    parsed.certificate.validTo = certificate.value(QLatin1String("validTo")).toString();
    parsed.certificate.thumbprint = certificate.value(QLatin1String("thumbprint")).toString();
    parsed.certificate.host = certificate.value(QLatin1String("host")).toString();
    for (const QJsonValue& problem : certificate.value(QLatin1String("problems")).toArray())
        if (problem.isString()) parsed.certificate.problems << problem.toString();
    parsed.securityMode = o.value(QLatin1String("securityMode")).toString();
    parsed.securityPolicy = o.value(QLatin1String("securityPolicy")).toString();
    parsed.user = o.value(QLatin1String("user")).toString();  // null: anonymous
    parsed.endpoint = o.value(QLatin1String("endpoint")).toString();
    parsed.loaded = o.value(QLatin1String("loaded")).toInt();
    parsed.parent = o.value(QLatin1String("parent")).toString();
    for (const QJsonValue& node : o.value(QLatin1String("nodes")).toArray()) parsed.nodes.push_back(NodeFromJson(node.toObject()));
    for (const QJsonValue& value : o.value(QLatin1String("values")).toArray()) parsed.values.push_back(ValueFromJson(value.toObject()));
    for (const QJsonValue& result : o.value(QLatin1String("results")).toArray()) {
        const QJsonObject r = result.toObject();
        parsed.results.push_back({r.value(QLatin1String("handle")).toInt(-1), r.value(QLatin1String("status")).toString()});
    }
    parsed.status = o.value(QLatin1String("status")).toString();
    return parsed;
}

HelperClient::HelperClient() = default;

HelperClient::~HelperClient() { Stop(); }

QString HelperClient::Script() {
    const QString configured = qEnvironmentVariable("OVOPC_OPCUA_HELPER");
    return configured.isEmpty() ? QStringLiteral(OV_OPCUA_HELPER_SCRIPT) : configured;
}

bool HelperClient::IsRunning() const { return m_process && m_process->state() == QProcess::Running; }

qint64 HelperClient::ProcessId() const { return m_process ? m_process->processId() : 0; }

bool HelperClient::Launch(QString* error, int timeoutMs) {
    m_process = std::make_unique<QProcess>();
    m_buffer.clear();
    m_lost = false;
    m_pendingConnect = -1;
    m_connectAnswer.reset();
    // The helper's log goes to our stderr only when asked for (OVOPC_OPCUA_LOG=1).
    if (qEnvironmentVariableIntValue("OVOPC_OPCUA_LOG") == 1)
        m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    else
        m_process->setStandardErrorFile(QProcess::nullDevice());
    // Not while PollEvents reads: it takes what it hears of itself.
    const auto heard = [this] {
        if (onOutput && !m_polling) onOutput();
    };
    QObject::connect(m_process.get(), &QProcess::readyReadStandardOutput, heard);
    QObject::connect(m_process.get(), &QProcess::finished, heard);
    m_process->start(QStringLiteral("node"), {Script()});
    if (!m_process->waitForStarted(timeoutMs)) {
        *error = QStringLiteral("The OPC UA helper could not be started (node %1): %2").arg(Script(), m_process->errorString());
        Kill();
        return false;
    }
    return true;
}

bool HelperClient::Start(QString* error, int timeoutMs) {
    if (IsRunning()) return true;
    if (!Launch(error, timeoutMs)) return false;
    const auto ready = ReadLine(timeoutMs, error);
    if (!ready) return false;
    if (ParseHelperLine(*ready).event != QLatin1String("ready")) {
        *error = QStringLiteral("The OPC UA helper started with an unexpected line: %1").arg(QString::fromUtf8(*ready));
        Kill();
        return false;
    }
    return true;
}

bool HelperClient::Send(const QString& json, QString* error) {
    if (!IsRunning()) {
        *error = QStringLiteral("The OPC UA helper is not running.");
        return false;
    }
    const QByteArray line = json.toUtf8() + '\n';
    if (m_process->write(line) != line.size() || !m_process->waitForBytesWritten(requestTimeoutMs)) {
        *error = QStringLiteral("The OPC UA helper does not take requests any more; it was stopped.");
        Kill();
        return false;
    }
    return true;
}

std::optional<QByteArray> HelperClient::ReadLine(int timeoutMs, QString* error, const std::function<void()>& tick,
                                                 bool stoppable) {
    QElapsedTimer silence;
    silence.start();
    for (;;) {
        const qsizetype end = m_buffer.indexOf('\n');
        if (end >= 0) {
            QByteArray line = m_buffer.left(end);
            m_buffer.remove(0, end + 1);
            return line;
        }
        if (m_process) {
            const QByteArray pending = m_process->readAllStandardOutput();
            if (!pending.isEmpty()) {
                m_buffer += pending;
                continue;
            }
        }
        if (!IsRunning()) {
            *error = QStringLiteral("The OPC UA helper ended unexpectedly.");
            Kill();
            return std::nullopt;
        }
        const qint64 left = timeoutMs - silence.elapsed();
        if (left <= 0) {
            *error = QStringLiteral("The OPC UA helper did not answer within %1 s and was stopped.").arg(timeoutMs / 1000.0);
            Kill();
            return std::nullopt;
        }
        if (m_process->waitForReadyRead(static_cast<int>(std::min<qint64>(left, 200)))) {
            m_buffer += m_process->readAllStandardOutput();
            silence.restart();
        }
        if (tick) tick();
        if (whileWaiting) whileWaiting();
        if (stoppable && m_stopRequested) {
            m_stopped = true;
            *error = QStringLiteral("stopped");
            return std::nullopt;
        }
    }
}

void HelperClient::Watch(const HelperLine& line) {
    // The helper answers every request after a break with "not connected: ...".
    if (line.event == QLatin1String("connectionLost") ||
        (line.event.isEmpty() && !line.ok && line.error.startsWith(QLatin1String("not connected"))))
        m_lost = true;
    if (line.event == QLatin1String("values") && onValues) onValues(line.values);
    // The answer to a connect begun without waiting, whichever call reads it.
    if (m_pendingConnect >= 0 && line.id == m_pendingConnect && line.event.isEmpty()) {
        m_connectAnswer = line;
        if (line.ok) m_lost = false;
    }
}

bool HelperClient::PollEvents() {
    if (!m_process) return false;
    // Without an event loop the pipe is only read when asked to.
    m_polling = true;
    m_process->waitForReadyRead(0);
    m_polling = false;
    m_buffer += m_process->readAllStandardOutput();
    for (qsizetype end = m_buffer.indexOf('\n'); end >= 0; end = m_buffer.indexOf('\n')) {
        const QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end + 1);
        Watch(ParseHelperLine(line));
    }
    if (IsRunning()) return true;
    Kill();
    return false;
}

std::optional<HelperLine> HelperClient::Request(QJsonObject request, QString* error) {
    const int id = m_nextId++;
    request.insert(QLatin1String("id"), id);
    if (!Send(Compact(request), error)) return std::nullopt;
    auto answer = Answer(id, requestTimeoutMs, error);
    if (answer && !answer->ok) {
        *error = answer->error;
        return std::nullopt;
    }
    return answer;
}

std::optional<std::vector<MonitorResult>> HelperClient::Monitor(const std::vector<MonitorItem>& items, QString* error,
                                                                int publishingIntervalMs) {
    QJsonArray list;
    for (const MonitorItem& item : items)
        list.append(QJsonObject{{QStringLiteral("handle"), item.handle},
                                {QStringLiteral("nodeId"), item.nodeId},
                                {QStringLiteral("samplingMs"), item.samplingMs}});
    QJsonObject request{{QStringLiteral("op"), QStringLiteral("monitor")}, {QStringLiteral("items"), list}};
    if (publishingIntervalMs > 0) request.insert(QLatin1String("publishingIntervalMs"), publishingIntervalMs);
    auto answer = Request(request, error);
    if (!answer) return std::nullopt;
    return std::move(answer->results);
}

bool HelperClient::Unmonitor(const std::vector<int>& handles, QString* error) {
    QJsonArray list;
    for (int handle : handles) list.append(handle);
    return Request({{QStringLiteral("op"), QStringLiteral("unmonitor")}, {QStringLiteral("handles"), list}}, error)
        .has_value();
}

std::optional<std::vector<LiveValue>> HelperClient::Read(const QStringList& nodeIds, QString* error) {
    auto answer = Request({{QStringLiteral("op"), QStringLiteral("read")}, {QStringLiteral("nodeIds"), QJsonArray::fromStringList(nodeIds)}},
                          error);
    if (!answer) return std::nullopt;
    if (answer->values.size() != static_cast<size_t>(nodeIds.size())) {
        *error = QStringLiteral("The OPC UA helper answered a read of %1 nodes with %2 values.")
                     .arg(nodeIds.size())
                     .arg(answer->values.size());
        return std::nullopt;
    }
    return std::move(answer->values);
}

std::optional<QString> HelperClient::Write(const QString& nodeId, const QJsonValue& value, QString* error) {
    auto answer = Request({{QStringLiteral("op"), QStringLiteral("write")}, {QStringLiteral("nodeId"), nodeId}, {QStringLiteral("value"), value}},
                          error);
    if (!answer) return std::nullopt;
    return answer->status;
}

std::optional<HelperLine> HelperClient::Answer(int id, int timeoutMs, QString* error, bool stoppable) {
    for (;;) {
        const auto line = ReadLine(timeoutMs, error, {}, stoppable);
        if (!line) return std::nullopt;
        HelperLine answer = ParseHelperLine(*line);
        Watch(answer);
        if (answer.id != id || !answer.event.isEmpty()) continue;
        // Lines read with the answer were heard of already; they wait for PollEvents.
        if (m_buffer.contains('\n') && onOutput) onOutput();
        return answer;
    }
}

bool HelperClient::Connect(const QString& endpoint, QString* error, int timeoutMs) {
    ConnectRequest request;
    request.endpoint = endpoint;
    request.timeoutMs = timeoutMs;
    const HelperLine answer = Connect(request);
    if (!answer.ok) *error = answer.error;
    return answer.ok;
}

HelperLine HelperClient::Connect(const ConnectRequest& request) {
    HelperLine failed;
    const int id = m_nextId++;
    m_stopRequested = false;
    m_stopped = false;
    if (!Send(Compact(ConnectJson(request, id)), &failed.error)) return failed;
    // The helper bounds the connect itself; a little more for its answer.
    auto answer = Answer(id, request.timeoutMs + kAnswerMarginMs, &failed.error, true);
    if (!answer) {
        if (m_stopped) {
            failed.reason = QStringLiteral("stopped");
            Quit(500);
        }
        return failed;
    }
    if (answer->ok) m_lost = false;
    return *answer;
}

bool HelperClient::BeginConnect(const ConnectRequest& request, QString* error) {
    const bool fresh = !IsRunning();
    if (fresh && !Launch(error, kStartMs)) return false;
    const int id = m_nextId++;
    if (!Send(Compact(ConnectJson(request, id)), error)) return false;
    m_pendingConnect = id;
    m_connectAnswer.reset();
    // A helper started just now first loads its libraries.
    m_connectLimitMs = request.timeoutMs + kAnswerMarginMs + (fresh ? kStartMs : 0);
    m_connectTime.start();
    return true;
}

std::optional<HelperLine> HelperClient::ConnectAnswer() {
    if (m_pendingConnect < 0) return std::nullopt;
    const bool running = PollEvents();
    HelperLine answer;
    if (m_connectAnswer) {
        answer = std::move(*m_connectAnswer);
    } else if (!running) {
        answer.error = QStringLiteral("The OPC UA helper ended unexpectedly.");
    } else if (m_connectTime.elapsed() > m_connectLimitMs) {
        answer.error = QStringLiteral("The OPC UA helper did not answer within %1 s and was stopped.").arg(m_connectLimitMs / 1000.0);
        Kill();
    } else {
        return std::nullopt;
    }
    m_pendingConnect = -1;
    m_connectAnswer.reset();
    return answer;
}

bool HelperClient::TrustCertificate(const QString& thumbprint, QString* error) {
    const int id = m_nextId++;
    if (!Send(Compact({{QStringLiteral("id"), id},
                       {QStringLiteral("op"), QStringLiteral("trustCertificate")},
                       {QStringLiteral("thumbprint"), thumbprint}}),
              error))
        return false;
    const auto answer = Answer(id, requestTimeoutMs, error);
    if (!answer) return false;
    if (!answer->ok) *error = answer->error;
    return answer->ok;
}

bool HelperClient::List(const QString& op, const QString& nodeId, QString* error,
                        const std::function<bool(int)>& progress,
                        const std::function<int(HelperLine&)>& takeNodes) {
    const int id = m_nextId++;
    if (!Send(Compact({{QStringLiteral("id"), id},
                       {QStringLiteral("op"), op},
                       {QStringLiteral("nodeId"), nodeId.isEmpty() ? QJsonValue() : QJsonValue(nodeId)},
                       {QStringLiteral("batch"), 500}}),
              error))
        return false;
    int taken = 0;
    bool cancelled = false;
    const auto goOn = [&](int loaded) {
        if (cancelled || !progress || progress(loaded)) return true;
        cancelled = true;
        return Send(Compact({{QStringLiteral("id"), m_nextId++}, {QStringLiteral("op"), QStringLiteral("cancel")}, {QStringLiteral("target"), id}}),
                    error);
    };
    // A slow server is silent for a while; Stop is heard all the same.
    bool sendFailed = false;
    const auto tick = [&] { sendFailed = sendFailed || !goOn(taken); };
    for (;;) {
        const auto line = ReadLine(requestTimeoutMs, error, tick);
        if (!line || sendFailed) return false;
        HelperLine answer = ParseHelperLine(*line);
        Watch(answer);
        if (answer.id != id) continue;
        if (answer.event == QLatin1String("nodes")) {
            taken += takeNodes(answer);
        } else if (answer.event == QLatin1String("progress")) {
            if (!goOn(answer.loaded)) return false;
        } else if (answer.event.isEmpty()) {
            if (!answer.ok) *error = answer.error;
            return answer.ok;
        }
    }
}

std::optional<std::vector<OpcNode>> HelperClient::Browse(const QString& nodeId, QString* error,
                                                         const std::function<bool(int)>& progress) {
    std::vector<OpcNode> nodes;
    const bool done = List(QStringLiteral("browse"), nodeId, error, progress, [&nodes](HelperLine& answer) {
        nodes.insert(nodes.end(), std::make_move_iterator(answer.nodes.begin()), std::make_move_iterator(answer.nodes.end()));
        return static_cast<int>(answer.nodes.size());
    });
    if (!done) return std::nullopt;
    return nodes;
}

std::optional<std::vector<SubtreeNode>> HelperClient::BrowseTree(const QString& nodeId, QString* error,
                                                                const std::function<bool(int)>& progress) {
    std::vector<SubtreeNode> nodes;
    const bool done = List(QStringLiteral("browseTree"), nodeId, error, progress, [&nodes](HelperLine& answer) {
        for (OpcNode& node : answer.nodes) nodes.push_back({answer.parent, std::move(node)});
        return static_cast<int>(answer.nodes.size());
    });
    if (!done) return std::nullopt;
    return nodes;
}

void HelperClient::Kill() {
    if (!m_process) return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(2000);
    }
    m_process.reset();
}

void HelperClient::Stop() { Quit(2000); }

void HelperClient::Quit(int waitMs) {
    // A connect under way goes with the helper.
    m_pendingConnect = -1;
    m_connectAnswer.reset();
    if (!IsRunning()) {
        m_process.reset();
        return;
    }
    m_process->write("{\"op\":\"quit\"}\n");
    m_process->closeWriteChannel();
    // It goes within the time given; otherwise it is stopped by its ID.
    if (!m_process->waitForFinished(waitMs)) Kill();
    m_process.reset();
}

}  // namespace ov::opc
