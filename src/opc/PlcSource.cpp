#include "opc/PlcSource.h"

#include "model/CVT_Types.h"

namespace ov::opc {

namespace {

constexpr int kStructure = model::CVT_Types::kStructure;

QString FolderId(const QStringList& path) { return QStringLiteral("plc:") + path.join(u'/'); }

}  // namespace

QString PlcItemId(const plc::PlcVariable& variable) {
    return variable.address.isEmpty() ? variable.path.join(u'.') : variable.address;
}

QString PlcTypeText(const plc::PlcType& type) {
    // One table of type names for every variable of a program, not one each.
    static const model::CVT_Types types;
    const QString text = type.dataType == kStructure ? type.structure : types.GetTextFromID(type.dataType);
    return type.fieldSize > 0 ? QStringLiteral("%1[%2]").arg(text).arg(type.fieldSize) : text;
}

PlcSource::PlcSource(QString description, plc::PlcProgram program)
    : m_description(std::move(description)), m_program(std::move(program)) {
    QHash<QString, bool> folders;
    for (const plc::PlcVariable& variable : m_program.variables) {
        if (variable.path.isEmpty()) continue;
        // The folders on the way, each listed under its parent once, in the order met.
        QString parent = kObjectsFolder;
        for (qsizetype depth = 1; depth < variable.path.size(); ++depth) {
            const QString id = FolderId(variable.path.first(depth));
            if (!folders.contains(id)) {
                folders.insert(id, true);
                OpcNode folder;
                folder.nodeId = id;
                folder.browseName = folder.displayName = variable.path[depth - 1];
                folder.hasChildren = true;
                m_children[parent].push_back(std::move(folder));
            }
            parent = id;
        }
        OpcNode node;
        node.nodeId = PlcItemId(variable);
        node.browseName = node.displayName = variable.path.back();
        node.isVariable = true;
        node.dataType = PlcTypeText(variable.type);
        node.accessLevel = variable.accessRights;
        node.declared = OpcNode::Declared{variable.type.dataType, variable.type.fieldSize, variable.accessRights,
                                          variable.type.structure, variable.comment};
        m_children[parent].push_back(std::move(node));
    }
}

bool PlcSource::Open(QString* /*error*/) { return true; }

std::optional<std::vector<OpcNode>> PlcSource::Children(const QString& nodeId, QString* /*error*/,
                                                       const std::function<bool(int)>& /*progress*/) {
    // The program was read before: nothing to wait for.
    return m_children.value(nodeId.isEmpty() ? kObjectsFolder : nodeId);
}

std::optional<std::vector<SubtreeNode>> PlcSource::Subtree(const QString& nodeId, QString* /*error*/,
                                                          const std::function<bool(int)>& /*progress*/) {
    std::vector<SubtreeNode> nodes;
    std::vector<QString> level{nodeId.isEmpty() ? kObjectsFolder : nodeId};
    while (!level.empty()) {
        std::vector<QString> next;
        for (const QString& parent : level) {
            const auto children = m_children.constFind(parent);
            if (children == m_children.cend()) continue;
            for (const OpcNode& child : *children) {
                if (child.hasChildren) next.push_back(child.nodeId);
                nodes.push_back({parent, child});
            }
        }
        level = std::move(next);
    }
    return nodes;
}

}  // namespace ov::opc
