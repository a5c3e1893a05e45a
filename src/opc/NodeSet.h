#pragma once

#include "opc/OpcNode.h"

#include <QHash>
#include <QString>
#include <vector>

class QIODevice;

namespace ov::opc {

// The address space of an OPC UA NodeSet2 XML file, read offline: the
// objects and variables of the file's own namespaces with their hierarchy
// (every hierarchical reference, forward or inverse, counts), each variable
// with the built-in type its DataType derives from.
class NodeSet {
  public:
    // False, with a message naming the file and the line, when the file
    // cannot be read or is no NodeSet2 document (not XML, cut off, another
    // root element, larger than kMaxBytes).
    bool Load(const QString& path, QString* error);
    bool Read(QIODevice& device, const QString& name, QString* error);

    // The objects and variables below a node, in the order the file names
    // them; the items of a device start below the Objects folder.
    const std::vector<OpcNode>& Children(const QString& parentId) const;
    // The variables below the Objects folder, each counted once.
    int VariableCount() const { return m_variables; }

    static constexpr qint64 kMaxBytes = 512LL * 1024 * 1024;

  private:
    QHash<QString, std::vector<OpcNode>> m_children;
    int m_variables = 0;
};

}  // namespace ov::opc
