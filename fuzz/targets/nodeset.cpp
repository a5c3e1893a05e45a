// NodeSet2 files, the offline address spaces of OPC UA servers: read, then
// walked from the Objects folder down as the item browser does.

#include "FuzzSupport.h"
#include "opc/NodeSet.h"

#include <QBuffer>
#include <QSet>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes = ov::fuzz::Bytes(data, size);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ov::opc::NodeSet nodes;
    QString error;
    if (!nodes.Read(buffer, QStringLiteral("fuzz.xml"), &error)) {
        OV_FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    // A walk that visits a node twice would loop on a cycle in the file.
    QSet<QString> seen;
    std::vector<QString> pending{ov::opc::kObjectsFolder};
    while (!pending.empty()) {
        const QString parent = pending.back();
        pending.pop_back();
        for (const ov::opc::OpcNode& child : nodes.Children(parent))
            if (!seen.contains(child.nodeId)) {
                seen.insert(child.nodeId);
                pending.push_back(child.nodeId);
            }
    }
    return 0;
}
