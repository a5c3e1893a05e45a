#include "opc/AddressSource.h"

#include "components/InstalledPrograms.h"
#include "platform/system/Registry.h"

#include <QSet>
#include <QUrl>

namespace ov::opc {

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

ServerSource::~ServerSource() { m_client.Stop(); }

bool ServerSource::Open(QString* error) {
    if (!m_client.IsRunning() && !m_client.Start(error)) return false;
    if (m_client.Connect(m_endpoint, error)) return true;
    *error = QStringLiteral("%1: %2").arg(m_endpoint, *error);
    return false;
}

std::optional<std::vector<OpcNode>> ServerSource::Children(const QString& nodeId, QString* error,
                                                          const std::function<bool(int)>& progress) {
    return m_client.Browse(nodeId == kObjectsFolder ? QString() : nodeId, error, progress);
}

std::optional<std::vector<SubtreeNode>> ServerSource::Subtree(const QString& nodeId, QString* error,
                                                             const std::function<bool(int)>& progress) {
    return m_client.BrowseTree(nodeId == kObjectsFolder ? QString() : nodeId, error, progress);
}

SourceAddress RegisteredSource(const sys::Registry& registry, const QString& versionedProgId) {
    const QString key = QString::fromUtf8(components::kServersKey) + u'\\' + versionedProgId;
    const auto hive = sys::Hive::LocalMachine;
    return {registry.ReadValue(hive, key, QStringLiteral("Endpoint")).trimmed(),
            registry.ReadValue(hive, key, QStringLiteral("NodeSet")).trimmed()};
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
                                         const QString& computer, QString* error) {
    const SourceAddress address = RegisteredSource(registry, versionedProgId);
    if (!address.endpoint.isEmpty())
        return std::make_unique<ServerSource>(EndpointOnComputer(address.endpoint, computer));
    if (!address.nodeSetFile.isEmpty()) return std::make_unique<NodeSetSource>(address.nodeSetFile);
    *error = QStringLiteral("The installation names no address space for the OPC server %1 "
                            "(an \"Endpoint\" or a \"NodeSet\" file in its registry key).")
                 .arg(versionedProgId);
    return nullptr;
}

}  // namespace ov::opc
