// PLCopen XML, the exchange format of most IEC 61131-3 tools: the data
// types, the global variables of configurations and resources, and the
// interface variables of program POUs, read in one pass.

#include "plc/DeclaredProgram.h"
#include "plc/FormatDetection.h"
#include "plc/Readers.h"
#include "settings/TextTable.h"

#include <QXmlStreamReader>

namespace ov::plc {

using settings::Text;

namespace {

// Arrays of arrays deeper than this are no PLC's data; the limit keeps a
// hostile file from exhausting the stack.
constexpr int kMaxTypeDepth = 32;

bool IsTrue(const QString& value) { return value == u"true" || value == u"1"; }

QString Lacks(const QString& element, const QString& what) {
    return Text(9356).replace(QStringLiteral("<e>"), element).replace(QStringLiteral("<a>"), what);
}

class PlcOpenParser {
public:
    explicit PlcOpenParser(const QByteArray& content) : m_xml(content) { m_program.format = Text(9357); }

    std::optional<DeclaredProgram> Read(QString* error) {
        if (m_xml.readNextStartElement()) {
            if (m_xml.name() == u"project" && IsPlcOpenNamespace(m_xml.namespaceUri())) ReadProject();
            else Refuse(Text(9347));
        }
        while (!m_xml.atEnd()) m_xml.readNext();
        if (!m_xml.hasError()) return std::move(m_program);
        *error = m_xml.error() == QXmlStreamReader::CustomError
                     ? m_xml.errorString()
                     : AtPlace(LineText(m_xml.lineNumber()), m_xml.errorString());
        return std::nullopt;
    }

private:
    QString Attribute(const char* name) const {
        return m_xml.attributes().value(QLatin1StringView(name)).toString();
    }

    // Stops the reading; the first reason given is the one reported.
    void Refuse(const QString& message, qint64 line = -1) {
        if (!m_xml.hasError()) m_xml.raiseError(AtPlace(LineText(line < 0 ? m_xml.lineNumber() : line), message));
    }

    // The children of the current element, each handled by read (which
    // consumes the child up to its end) or skipped when read returns false.
    template <typename Read>
    void Children(Read read) {
        while (m_xml.readNextStartElement())
            if (!read()) m_xml.skipCurrentElement();
    }

    void ReadProject() {
        Children([this] {
            if (m_xml.name() == u"types") {
                Children([this] {
                    if (m_xml.name() == u"dataTypes") Children([this] { return m_xml.name() == u"dataType" && ReadDataType(); });
                    else if (m_xml.name() == u"pous") Children([this] { return m_xml.name() == u"pou" && ReadPou(); });
                    else return false;
                    return true;
                });
            } else if (m_xml.name() == u"instances") {
                Children([this] {
                    if (m_xml.name() != u"configurations") return false;
                    Children([this] { return m_xml.name() == u"configuration" && ReadConfiguration(false); });
                    return true;
                });
            } else {
                return false;
            }
            return true;
        });
    }

    bool DeclareType(const QString& name, qint64 line) {
        if (name.isEmpty()) {
            Refuse(Lacks(QStringLiteral("dataType"), QStringLiteral("name")), line);
            return false;
        }
        if (m_typeNames.contains(name.toCaseFolded())) {
            Refuse(Text(9345).replace(QStringLiteral("<t>"), name), line);
            return false;
        }
        m_typeNames.insert(name.toCaseFolded());
        return true;
    }

    bool ReadDataType() {
        const qint64 line = m_xml.lineNumber();
        DeclaredStructure structure{Attribute("name"), {}, {}, LineText(line)};
        bool isStructure = false;
        std::optional<QString> alias;
        Children([&] {
            if (m_xml.name() == u"documentation") {
                structure.comment = ReadDocumentation();
            } else if (m_xml.name() == u"baseType") {
                if (!m_xml.readNextStartElement()) {
                    Refuse(Lacks(QStringLiteral("baseType"), QStringLiteral("type")));
                    return true;
                }
                if (m_xml.name() == u"struct") {
                    isStructure = true;
                    Children([&] { return m_xml.name() == u"variable" && ReadMember(structure); });
                } else {
                    alias = ReadTypeElement(1);
                }
                Children([] { return false; });  // a base type is one type
            } else {
                return false;
            }
            return true;
        });
        if (m_xml.hasError() || !DeclareType(structure.name, line)) return true;
        if (isStructure) m_program.structures.push_back(std::move(structure));
        else if (alias) m_program.aliases.insert(structure.name.toCaseFolded(), *alias);
        else Refuse(Lacks(QStringLiteral("dataType ") + structure.name, QStringLiteral("baseType")), line);
        return true;
    }

    bool ReadMember(DeclaredStructure& structure) {
        const qint64 line = m_xml.lineNumber();
        DeclaredStructure::Member member{Attribute("name"), {}, {}};
        std::optional<QString> type;
        ReadVariableChildren(&type, &member.comment);
        if (member.name.isEmpty()) Refuse(Lacks(QStringLiteral("variable"), QStringLiteral("name")), line);
        else if (!type) Refuse(Lacks(QStringLiteral("variable ") + member.name, QStringLiteral("type")), line);
        member.type = type.value_or(QString());
        structure.members.push_back(std::move(member));
        return true;
    }

    bool ReadPou() {
        const QString name = Attribute("name");
        const QString kind = Attribute("pouType");
        if (kind == u"functionBlock") {
            m_program.functionBlocks.insert(name.toCaseFolded());
            return false;
        }
        if (kind != u"program") return false;
        Children([&] {
            if (m_xml.name() != u"interface") return false;
            // Temporary, in-out and external variables are no data of the program's own.
            Children([&] {
                if (m_xml.name() != u"localVars" && m_xml.name() != u"inputVars" && m_xml.name() != u"outputVars")
                    return false;
                ReadVariables({name});
                return true;
            });
            return true;
        });
        return true;
    }

    // A configuration or one of its resources: their global variables.
    bool ReadConfiguration(bool resource) {
        Children([this, resource] {
            if (m_xml.name() == u"resource" && !resource) return ReadConfiguration(true);
            if (m_xml.name() != u"globalVars") return false;
            const QString list = Attribute("name");
            ReadVariables(list.isEmpty() ? QStringList() : QStringList{list});
            return true;
        });
        return true;
    }

    // The variables of a list; its constant attribute makes them read only.
    void ReadVariables(const QStringList& prefix) {
        const bool constant = IsTrue(Attribute("constant"));
        Children([&] {
            if (m_xml.name() != u"variable") return false;
            const qint64 line = m_xml.lineNumber();
            DeclaredVariable variable{prefix, {}, Attribute("address"), {}, constant, LineText(line)};
            const QString name = Attribute("name");
            variable.path << name;
            std::optional<QString> type;
            ReadVariableChildren(&type, &variable.comment);
            if (name.isEmpty()) Refuse(Lacks(QStringLiteral("variable"), QStringLiteral("name")), line);
            else if (!type) Refuse(Lacks(QStringLiteral("variable ") + name, QStringLiteral("type")), line);
            variable.type = type.value_or(QString());
            m_program.variables.push_back(std::move(variable));
            if (m_program.variables.size() > static_cast<std::size_t>(kMaxVariables)) Refuse(TooManyVariables(), line);
            return true;
        });
    }

    void ReadVariableChildren(std::optional<QString>* type, QString* comment) {
        Children([&] {
            if (m_xml.name() == u"type") *type = ReadTypeOf(1);
            else if (m_xml.name() == u"documentation") *comment = ReadDocumentation();
            else return false;
            return true;
        });
    }

    // A type or baseType element: the type it holds, as a declaration writes it.
    std::optional<QString> ReadTypeOf(int depth) {
        const QString container = m_xml.name().toString();
        std::optional<QString> type;
        if (m_xml.readNextStartElement()) {
            type = ReadTypeElement(depth);
            Children([] { return false; });
        } else {
            Refuse(Lacks(container, QStringLiteral("type")));
        }
        return m_xml.hasError() ? std::nullopt : type;
    }

    // One type element (<BOOL/>, <string length="20"/>, <array>, <derived name="X"/>),
    // read to its end.
    std::optional<QString> ReadTypeElement(int depth) {
        if (depth > kMaxTypeDepth) {
            Refuse(Text(9359).replace(QStringLiteral("<n>"), QString::number(kMaxTypeDepth)));
            return std::nullopt;
        }
        const QString kind = m_xml.name().toString();
        if (kind == u"derived") {
            const QString name = Attribute("name");
            m_xml.skipCurrentElement();
            if (name.isEmpty()) Refuse(Lacks(kind, QStringLiteral("name")));
            return name;
        }
        if (kind == u"string" || kind == u"wstring") {
            const QString length = Attribute("length");
            m_xml.skipCurrentElement();
            return kind.toUpper() + (length.isEmpty() ? QString() : u'(' + length + u')');
        }
        if (kind == u"enum") {
            m_xml.skipCurrentElement();
            return QStringLiteral("INT");
        }
        if (kind == u"array" || kind == u"subrangeSigned" || kind == u"subrangeUnsigned") {
            QStringList ranges;
            std::optional<QString> element;
            Children([&] {
                if (m_xml.name() == u"baseType") {
                    element = ReadTypeOf(depth + 1);
                } else if (m_xml.name() == u"dimension") {
                    ranges << Attribute("lower") + QStringLiteral("..") + Attribute("upper");
                    m_xml.skipCurrentElement();
                } else {
                    return false;
                }
                return true;
            });
            if (!element) Refuse(Lacks(kind, QStringLiteral("baseType")));
            if (kind != u"array" || m_xml.hasError()) return element;
            if (ranges.isEmpty()) Refuse(Lacks(kind, QStringLiteral("dimension")));
            return QStringLiteral("ARRAY[") + ranges.join(u',') + QStringLiteral("] OF ") + *element;
        }
        // An elementary type by its name; any other kind (pointer, an inline
        // struct) is an unknown type to the editor.
        m_xml.skipCurrentElement();
        return kind;
    }

    QString ReadDocumentation() {
        return m_xml.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
    }

    QXmlStreamReader m_xml;
    DeclaredProgram m_program;
    QSet<QString> m_typeNames;  // folded
};

}  // namespace

std::optional<PlcProgram> ReadPlcOpenXml(const QByteArray& content, QString* error) {
    PlcOpenParser parser(content);
    const std::optional<DeclaredProgram> declared = parser.Read(error);
    if (!declared) return std::nullopt;
    return Resolve(*declared, error);
}

}  // namespace ov::plc
