#include "opc/NodeSet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QXmlStreamReader>

#include <algorithm>

namespace ov::opc {

namespace {

struct Reference {
    QString type;  // canonical id of the reference type
    QString target;
    bool forward = true;
};

struct RawNode {
    QString element;  // UAObject, UAVariable, UADataType, ...
    QString id;
    QString browseName;
    QString displayName;
    QString dataType;
    int valueRank = -1;
    std::vector<quint32> arrayDimensions;
    int accessLevel = 1;  // the standard's default: CurrentRead
    int userAccessLevel = -1;  // not given
    std::vector<Reference> references;
};

// The built-in types of namespace 0 by their numeric id, and the standard
// types derived from them that files use without defining them.
QString BuiltIn(const QString& id) {
    static const QHash<QString, QString> names{
        {QStringLiteral("i=1"), QStringLiteral("Boolean")},    {QStringLiteral("i=2"), QStringLiteral("SByte")},
        {QStringLiteral("i=3"), QStringLiteral("Byte")},       {QStringLiteral("i=4"), QStringLiteral("Int16")},
        {QStringLiteral("i=5"), QStringLiteral("UInt16")},     {QStringLiteral("i=6"), QStringLiteral("Int32")},
        {QStringLiteral("i=7"), QStringLiteral("UInt32")},     {QStringLiteral("i=8"), QStringLiteral("Int64")},
        {QStringLiteral("i=9"), QStringLiteral("UInt64")},     {QStringLiteral("i=10"), QStringLiteral("Float")},
        {QStringLiteral("i=11"), QStringLiteral("Double")},    {QStringLiteral("i=12"), QStringLiteral("String")},
        {QStringLiteral("i=13"), QStringLiteral("DateTime")},  {QStringLiteral("i=14"), QStringLiteral("Guid")},
        {QStringLiteral("i=15"), QStringLiteral("ByteString")}, {QStringLiteral("i=16"), QStringLiteral("XmlElement")},
        {QStringLiteral("i=17"), QStringLiteral("NodeId")},    {QStringLiteral("i=18"), QStringLiteral("ExpandedNodeId")},
        {QStringLiteral("i=19"), QStringLiteral("StatusCode")}, {QStringLiteral("i=20"), QStringLiteral("QualifiedName")},
        {QStringLiteral("i=21"), QStringLiteral("LocalizedText")}, {QStringLiteral("i=22"), QStringLiteral("ExtensionObject")},
        {QStringLiteral("i=23"), QStringLiteral("DataValue")}, {QStringLiteral("i=24"), QStringLiteral("Variant")},
        {QStringLiteral("i=25"), QStringLiteral("DiagnosticInfo")}, {QStringLiteral("i=26"), QStringLiteral("Variant")},
        {QStringLiteral("i=27"), QStringLiteral("Variant")},   {QStringLiteral("i=28"), QStringLiteral("Variant")},
        // Every enumeration travels as Int32.
        {QStringLiteral("i=29"), QStringLiteral("Int32")},
        {QStringLiteral("i=289"), QStringLiteral("UInt32")},   {QStringLiteral("i=290"), QStringLiteral("Double")},
        {QStringLiteral("i=294"), QStringLiteral("DateTime")}, {QStringLiteral("i=295"), QStringLiteral("String")},
        {QStringLiteral("i=291"), QStringLiteral("String")},   {QStringLiteral("i=292"), QStringLiteral("String")},
        {QStringLiteral("i=293"), QStringLiteral("DateTime")}, {QStringLiteral("i=311"), QStringLiteral("String")},
        {QStringLiteral("i=884"), QStringLiteral("ExtensionObject")}, {QStringLiteral("i=887"), QStringLiteral("ExtensionObject")},
        {QStringLiteral("i=11737"), QStringLiteral("UInt64")}};
    return names.value(id);
}

// The forward hierarchical reference types of namespace 0.
bool IsHierarchical(const QString& type) {
    static const QSet<QString> types{QStringLiteral("i=33"), QStringLiteral("i=34"), QStringLiteral("i=35"),
                                     QStringLiteral("i=36"), QStringLiteral("i=44"), QStringLiteral("i=46"),
                                     QStringLiteral("i=47"), QStringLiteral("i=48"), QStringLiteral("i=49")};
    return types.contains(type);
}

const QString kHasSubtype = QStringLiteral("i=45");
const QString kHasProperty = QStringLiteral("i=46");

enum class ReferenceKind { Other, Hierarchical, Property };

class Parser {
  public:
    bool Parse(QXmlStreamReader& xml, QString* error);
    std::vector<RawNode> nodes;

    // A node id of the file in the form that survives namespace renumbering.
    QString Canonical(QString id) const {
        id = id.trimmed();
        id = m_aliases.value(id, id);
        if (!id.startsWith(QStringLiteral("ns="))) return id;
        const qsizetype semicolon = id.indexOf(u';');
        if (semicolon < 0) return id;
        bool ok = false;
        const int index = id.mid(3, semicolon - 3).toInt(&ok);
        QString identifier = id.mid(semicolon + 1);
        if (identifier.startsWith(QStringLiteral("g="))) identifier = identifier.toLower();
        if (!ok || index == 0) return identifier;
        // A negative index is no namespace of the file either.
        const QString uri = index > 0 && index - 1 < m_namespaces.size() ? m_namespaces[index - 1] : QStringLiteral("ns%1").arg(index);
        return NodeIdWithUri(uri, identifier);
    }

  private:
    void ReadNamespaces(QXmlStreamReader& xml);
    void ReadAliases(QXmlStreamReader& xml);
    void ReadNode(QXmlStreamReader& xml);

    QStringList m_namespaces;  // index 1 of the file first
    QHash<QString, QString> m_aliases;
};

void Parser::ReadNamespaces(QXmlStreamReader& xml) {
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("Uri")) m_namespaces << xml.readElementText().trimmed();
        else xml.skipCurrentElement();
    }
}

void Parser::ReadAliases(QXmlStreamReader& xml) {
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("Alias")) {
            const QString alias = xml.attributes().value(QLatin1String("Alias")).toString();
            m_aliases.insert(alias, xml.readElementText().trimmed());
        } else {
            xml.skipCurrentElement();
        }
    }
}

std::vector<quint32> Dimensions(const QString& text) {
    std::vector<quint32> dimensions;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) dimensions.push_back(part.trimmed().toUInt());
    return dimensions;
}

void Parser::ReadNode(QXmlStreamReader& xml) {
    RawNode node;
    node.element = xml.name().toString();
    const QXmlStreamAttributes a = xml.attributes();
    node.id = Canonical(a.value(QLatin1String("NodeId")).toString());
    // "1:Motor": the name part after the namespace index.
    const QString browseName = a.value(QLatin1String("BrowseName")).toString();
    const qsizetype colon = browseName.indexOf(u':');
    const bool indexed = colon > 0 && browseName.left(colon).toInt() >= 0 &&
                         std::all_of(browseName.begin(), browseName.begin() + colon, [](QChar c) { return c.isDigit(); });
    node.browseName = indexed ? browseName.mid(colon + 1) : browseName;
    if (a.hasAttribute(QLatin1String("DataType"))) node.dataType = Canonical(a.value(QLatin1String("DataType")).toString());
    if (a.hasAttribute(QLatin1String("ValueRank"))) node.valueRank = a.value(QLatin1String("ValueRank")).toInt();
    if (a.hasAttribute(QLatin1String("ArrayDimensions")))
        node.arrayDimensions = Dimensions(a.value(QLatin1String("ArrayDimensions")).toString());
    if (a.hasAttribute(QLatin1String("AccessLevel"))) node.accessLevel = a.value(QLatin1String("AccessLevel")).toInt();
    if (a.hasAttribute(QLatin1String("UserAccessLevel")))
        node.userAccessLevel = a.value(QLatin1String("UserAccessLevel")).toInt();
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("DisplayName") && node.displayName.isEmpty()) {
            node.displayName = xml.readElementText().trimmed();
        } else if (xml.name() == QLatin1String("References")) {
            while (xml.readNextStartElement()) {
                if (xml.name() != QLatin1String("Reference")) {
                    xml.skipCurrentElement();
                    continue;
                }
                Reference reference;
                reference.type = Canonical(xml.attributes().value(QLatin1String("ReferenceType")).toString());
                reference.forward =
                    xml.attributes().value(QLatin1String("IsForward")).toString().compare(QLatin1String("false"), Qt::CaseInsensitive) != 0;
                reference.target = Canonical(xml.readElementText());
                node.references.push_back(reference);
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    if (node.displayName.isEmpty()) node.displayName = node.browseName;
    nodes.push_back(std::move(node));
}

bool Parser::Parse(QXmlStreamReader& xml, QString* error) {
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("UANodeSet")) {
        if (!xml.hasError()) {
            *error = QStringLiteral("the document is no NodeSet2 file (its root element is not UANodeSet)");
            return false;
        }
    } else {
        while (xml.readNextStartElement()) {
            const auto name = xml.name();
            if (name == QLatin1String("NamespaceUris")) ReadNamespaces(xml);
            else if (name == QLatin1String("Aliases")) ReadAliases(xml);
            else if (name.startsWith(QLatin1String("UA"))) ReadNode(xml);
            else xml.skipCurrentElement();
        }
    }
    if (xml.hasError()) {
        *error = QStringLiteral("%1 (line %2)").arg(xml.errorString()).arg(xml.lineNumber());
        return false;
    }
    return true;
}

}  // namespace

bool NodeSet::Load(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read the NodeSet2 file %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    if (file.size() > kMaxBytes) {
        *error = QStringLiteral("The NodeSet2 file %1 is too large: %2 MB (at most %3 MB).")
                     .arg(QDir::toNativeSeparators(path))
                     .arg(file.size() / (1024 * 1024))
                     .arg(kMaxBytes / (1024 * 1024));
        return false;
    }
    return Read(file, QFileInfo(path).fileName(), error);
}

bool NodeSet::Read(QIODevice& device, const QString& name, QString* error) {
    m_children.clear();
    m_variables = 0;
    QXmlStreamReader xml(&device);
    Parser parser;
    QString why;
    if (!parser.Parse(xml, &why)) {
        *error = QStringLiteral("The file %1 is not a readable NodeSet2 file: %2").arg(name, why);
        return false;
    }

    // Data types: each one's supertype, for the walk to a built-in type.
    QHash<QString, QString> supertype;
    for (const RawNode& node : parser.nodes) {
        for (const Reference& reference : node.references) {
            if (reference.type != kHasSubtype) continue;
            if (reference.forward) supertype.insert(reference.target, node.id);
            else supertype.insert(node.id, reference.target);
        }
    }
    const auto builtIn = [&](QString type) {
        for (int steps = 0; steps < 64 && !type.isEmpty(); ++steps) {
            const QString known = BuiltIn(type);
            if (!known.isEmpty()) return known;
            type = supertype.value(type);
        }
        return QStringLiteral("Unknown");
    };

    // A reference type of the file counts as the standard one it derives from.
    const auto kindOf = [&](QString type) {
        for (int steps = 0; steps < 64 && !type.isEmpty(); ++steps) {
            if (type == kHasProperty) return ReferenceKind::Property;
            if (IsHierarchical(type)) return ReferenceKind::Hierarchical;
            type = supertype.value(type);
        }
        return ReferenceKind::Other;
    };

    // The hierarchy from every hierarchical reference, whichever end holds it.
    QHash<QString, const RawNode*> byId;
    for (const RawNode& node : parser.nodes)
        if (node.element == QLatin1String("UAObject") || node.element == QLatin1String("UAVariable")) byId.insert(node.id, &node);
    QHash<QString, QStringList> childIds;
    QSet<QPair<QString, QString>> edges;
    QSet<QPair<QString, QString>> properties;
    const auto link = [&](const QString& parent, const QString& child, bool property) {
        if (parent == child || !byId.contains(child) || edges.contains({parent, child})) return;
        edges.insert({parent, child});
        if (property) properties.insert({parent, child});
        childIds[parent] << child;
    };
    for (const RawNode& node : parser.nodes) {
        for (const Reference& reference : node.references) {
            const ReferenceKind kind = kindOf(reference.type);
            if (kind == ReferenceKind::Other) continue;
            const bool property = kind == ReferenceKind::Property;
            if (reference.forward) link(node.id, reference.target, property);
            else link(reference.target, node.id, property);
        }
    }
    for (auto it = childIds.cbegin(); it != childIds.cend(); ++it) {
        std::vector<OpcNode>& children = m_children[it.key()];
        for (const QString& id : it.value()) {
            const RawNode& raw = *byId.value(id);
            OpcNode node;
            node.nodeId = raw.id;
            node.browseName = raw.browseName;
            node.displayName = raw.displayName;
            node.isVariable = raw.element == QLatin1String("UAVariable");
            node.hasChildren = childIds.contains(raw.id);
            node.isProperty = properties.contains({it.key(), id});
            if (node.isVariable) {
                node.dataType = builtIn(raw.dataType.isEmpty() ? QStringLiteral("i=24") : raw.dataType);
                node.valueRank = raw.valueRank;
                node.arrayDimensions = raw.arrayDimensions;
                // What this user may do, where the file says; else what anyone may.
                node.accessLevel = raw.userAccessLevel < 0 ? raw.accessLevel : raw.accessLevel & raw.userAccessLevel;
            }
            children.push_back(std::move(node));
        }
    }
    // The variables a browse from the Objects folder finds (a data type's
    // properties hang elsewhere).
    QSet<QString> seen;
    QStringList pending{kObjectsFolder};
    while (!pending.isEmpty()) {
        for (const OpcNode& child : Children(pending.takeLast())) {
            if (seen.contains(child.nodeId)) continue;
            seen.insert(child.nodeId);
            if (child.isVariable) ++m_variables;
            pending << child.nodeId;
        }
    }
    return true;
}

const std::vector<OpcNode>& NodeSet::Children(const QString& parentId) const {
    static const std::vector<OpcNode> none;
    const auto it = m_children.constFind(parentId);
    return it == m_children.cend() ? none : *it;
}

}  // namespace ov::opc
