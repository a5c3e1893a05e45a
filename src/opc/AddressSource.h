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

// A live server through the resident helper, started and connected on Open
// and stopped with the source.
class ServerSource : public AddressSource {
  public:
    explicit ServerSource(QString endpoint) : m_endpoint(std::move(endpoint)) {}
    ~ServerSource() override;
    bool Open(QString* error) override;
    std::optional<std::vector<OpcNode>> Children(const QString& nodeId, QString* error,
                                                const std::function<bool(int)>& progress) override;
    // The helper's tree browse: one request for the subtree, many parents per server call.
    std::optional<std::vector<SubtreeNode>> Subtree(const QString& nodeId, QString* error,
                                                   const std::function<bool(int)>& progress) override;
    QString Description() const override { return m_endpoint; }
    HelperClient& Client() { return m_client; }

  private:
    QString m_endpoint;
    HelperClient m_client;
};

// What the installation says about a server's address space: an endpoint
// "opc.tcp://host:port/path" or a NodeSet2 file (values "Endpoint" and
// "NodeSet" of the server's key).
struct SourceAddress {
    QString endpoint;
    QString nodeSetFile;
};
SourceAddress RegisteredSource(const sys::Registry& registry, const QString& versionedProgId);
// The endpoint with the device's computer, when it names one, as its host.
QString EndpointOnComputer(const QString& endpoint, const QString& computer);
// The source of a server on a computer; null with a message when the
// installation names none.
std::unique_ptr<AddressSource> SourceFor(const sys::Registry& registry, const QString& versionedProgId,
                                         const QString& computer, QString* error);

}  // namespace ov::opc
