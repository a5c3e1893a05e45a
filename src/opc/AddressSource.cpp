#include "opc/AddressSource.h"

#include "components/InstalledPrograms.h"
#include "platform/system/Registry.h"

#include <QUrl>

namespace ov::opc {

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
