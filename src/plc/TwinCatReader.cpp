// TwinCAT symbol files (.tpy): the data types of a PLC project with the bit
// offsets of their members, and its symbols with their index group and
// offset, from which a located variable's place in the process image follows.

#include "plc/PlcTypes.h"
#include "plc/ReaderTexts.h"
#include "plc/Readers.h"
#include "settings/TextTable.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <algorithm>

namespace ov::plc {

using settings::Text;

namespace {

// One ArrayInfo: the lower bound and the number of elements, as written.
struct Dimension {
    QString lowerBound;
    QString elements;
};

// A data type, a member (SubItem) or a symbol as the file gives it.
struct Entry {
    QString name;
    QString type;
    QString comment;
    QString bitSize;
    QString bitOffset;
    QString indexGroup;
    QString indexOffset;
    std::vector<Dimension> dimensions;
    std::vector<Entry> members;
    bool callable = false;     // has methods, actions or interfaces: a function block or an interface
    bool enumeration = false;  // has named values
    qint64 line = 0;
};

// Process image groups of located variables: inputs, outputs and flags,
// each as a byte area (offset in bytes) and a bit area (offset in bits).
struct Area {
    quint32 group;
    char letter;
    bool bits;
};
constexpr Area kAreas[] = {
    {0xF020, 'I', false}, {0xF021, 'I', true}, {0xF030, 'Q', false},
    {0xF031, 'Q', true},  {0x4020, 'M', false}, {0x4021, 'M', true},
};

class SymbolFile {
public:
    explicit SymbolFile(const QByteArray& content) : m_xml(content) {}

    std::optional<PlcProgram> Read(QString* error);

private:
    // Reading: the whole file into entries, in one pass.
    bool ReadRoot(QString* error);
    Entry ReadEntry();
    bool Failed(QString* error);

    // What a type text stands for once the file's aliases, enumerations and
    // array types are followed.
    struct Resolved {
        enum class Kind { Type, LeftOut, Refused } kind = Kind::Type;
        PlcType type;
        QString message;  // why it was refused
    };
    Resolved Resolve(const QString& text, QStringList& trail);
    Resolved ResolveEntry(const Entry& entry);
    std::optional<int> Elements(const std::vector<Dimension>& dimensions, QString* message) const;

    std::optional<PlcStructure> Structure(const Entry& type, PlcProgram& program, QString* error);
    std::optional<PlcVariable> Variable(const Entry& symbol, PlcProgram& program, QString* error);

    QXmlStreamReader m_xml;
    std::vector<Entry> m_types;
    std::vector<Entry> m_symbols;
    QHash<QString, std::size_t> m_typeByName;  // folded name -> index in m_types
    QSet<std::size_t> m_used;                  // structures the variables need
    std::vector<std::size_t> m_pending;        // of those, the ones whose members are not read yet
};

QString Folded(const QString& name) { return name.trimmed().toCaseFolded(); }

std::optional<qint64> Number(const QString& text) {
    bool ok = false;
    const QString trimmed = text.trimmed();
    const qint64 value = trimmed.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive) ? trimmed.mid(2).toLongLong(&ok, 16)
                                                                                        : trimmed.toLongLong(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

QString Missing(const char* element) { return Text(9364).replace(QStringLiteral("<e>"), QString::fromLatin1(element)); }

// An array of count elements of the type: a string keeps its length, an
// array of arrays counts all its elements.
std::optional<PlcType> ArrayOf(PlcType element, int count, const QString& text, QString* message) {
    if (count == 0 || element.dataType == 8) return element;
    const qint64 all = static_cast<qint64>(count) * std::max(1, element.fieldSize);
    if (all > 65535) {
        *message = Text(9348).replace(QStringLiteral("<r>"), text);
        return std::nullopt;
    }
    element.fieldSize = static_cast<int>(all);
    return element;
}

}  // namespace

bool SymbolFile::Failed(QString* error) {
    if (!m_xml.hasError()) return false;
    const QString message = m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError
                                ? Text(9366)
                                : Text(9365).replace(QStringLiteral("<m>"), m_xml.errorString());
    *error = AtPlace(LineText(m_xml.lineNumber()), message);
    return true;
}

Entry SymbolFile::ReadEntry() {
    Entry entry;
    entry.line = m_xml.lineNumber();
    while (m_xml.readNextStartElement()) {
        const QStringView name = m_xml.name();
        const auto text = [this] { return m_xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed(); };
        if (name == u"Name") entry.name = text();
        else if (name == u"Type") entry.type = text();
        else if (name == u"Comment") entry.comment = text();
        else if (name == u"BitSize") entry.bitSize = text();
        else if (name == u"BitOffs") entry.bitOffset = text();
        else if (name == u"IGroup") entry.indexGroup = text();
        else if (name == u"IOffset") entry.indexOffset = text();
        else if (name == u"SubItem") entry.members.push_back(ReadEntry());
        else if (name == u"ArrayInfo") {
            // Lower bound and elements of one dimension; the values are
            // checked when the type is used.
            Dimension dimension;
            while (m_xml.readNextStartElement()) {
                if (m_xml.name() == u"LBound") dimension.lowerBound = text();
                else if (m_xml.name() == u"Elements") dimension.elements = text();
                else m_xml.skipCurrentElement();
            }
            entry.dimensions.push_back(dimension);
        } else {
            if (name == u"EnumInfo") entry.enumeration = true;
            if (name == u"Method" || name == u"Action" || name == u"Implements" || name == u"Interface" ||
                name == u"FbInfo")
                entry.callable = true;
            m_xml.skipCurrentElement();
        }
    }
    return entry;
}

bool SymbolFile::ReadRoot(QString* error) {
    if (!m_xml.readNextStartElement()) {
        // Nothing but text, or not even an element: no symbol file at all.
        if (!m_xml.hasError() || m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError) {
            *error = Text(9361);
            return false;
        }
        return !Failed(error);
    }
    if (m_xml.name() != u"PlcProjectInfo") {
        *error = Text(9361);
        return false;
    }
    while (m_xml.readNextStartElement()) {
        const bool types = m_xml.name() == u"DataTypes";
        if (!types && m_xml.name() != u"Symbols") {
            m_xml.skipCurrentElement();
            continue;
        }
        while (m_xml.readNextStartElement()) {
            if (types && m_xml.name() == u"DataType") {
                m_types.push_back(ReadEntry());
            } else if (!types && m_xml.name() == u"Symbol") {
                if (m_symbols.size() == static_cast<std::size_t>(kMaxVariables)) {
                    *error = TooManyVariables();
                    return false;
                }
                m_symbols.push_back(ReadEntry());
            } else {
                m_xml.skipCurrentElement();
            }
        }
    }
    // What follows the root must still be well-formed.
    while (!m_xml.atEnd()) m_xml.readNext();
    return !Failed(error);
}

std::optional<int> SymbolFile::Elements(const std::vector<Dimension>& dimensions, QString* message) const {
    qint64 count = 1;
    for (const Dimension& dimension : dimensions) {
        const std::optional<qint64> low = Number(dimension.lowerBound);
        const std::optional<qint64> elements = Number(dimension.elements);
        if (!low || !elements) {
            *message = Text(9341).replace(QStringLiteral("<b>"), low ? dimension.elements : dimension.lowerBound);
            return std::nullopt;
        }
        count *= *elements;
        if (*elements <= 0 || count > 65535) {
            *message = Text(9348).replace(QStringLiteral("<r>"), QStringLiteral("%1..%2").arg(*low).arg(*low + *elements - 1));
            return std::nullopt;
        }
    }
    return static_cast<int>(count);
}

SymbolFile::Resolved SymbolFile::Resolve(const QString& text, QStringList& trail) {
    static const QRegularExpression pointer(QStringLiteral(R"(^(POINTER|REFERENCE)\s+TO\s|^(PVOID|XINT|UXINT|XWORD)$)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QString type = text.trimmed();
    if (pointer.match(type).hasMatch()) return {Resolved::Kind::LeftOut, {}, {}};
    // The file's own types count as names here; what each stands for follows.
    const auto declared = [this](const QString& name) { return m_typeByName.contains(Folded(name)); };
    QString message;
    const std::optional<PlcType> parsed = ParseType(type, declared, &message);
    if (!parsed) return {Resolved::Kind::Refused, {}, message};
    if (parsed->dataType != 12) return {Resolved::Kind::Type, *parsed, {}};

    const std::size_t index = m_typeByName.value(Folded(parsed->structure));
    const Entry& declaration = m_types[index];
    // The standard function blocks have no methods that would tell them.
    static const QSet<QString> standardBlocks{
        QStringLiteral("ton"), QStringLiteral("tof"), QStringLiteral("tp"),  QStringLiteral("r_trig"), QStringLiteral("f_trig"),
        QStringLiteral("ctu"), QStringLiteral("ctd"), QStringLiteral("ctud"), QStringLiteral("sr"),   QStringLiteral("rs")};
    if (declaration.callable || standardBlocks.contains(Folded(declaration.name))) return {Resolved::Kind::LeftOut, {}, {}};
    if (!declaration.members.empty()) {
        if (!m_used.contains(index)) {
            m_used.insert(index);
            m_pending.push_back(index);
        }
        return {Resolved::Kind::Type, {12, declaration.name, parsed->fieldSize}, {}};
    }
    // An enumeration without a base type is an INT, as in IEC 61131-3.
    if (declaration.type.isEmpty() && !declaration.enumeration) return {Resolved::Kind::LeftOut, {}, {}};
    const QString baseType = declaration.type.isEmpty() ? QStringLiteral("INT") : declaration.type;
    // An alias, an enumeration or a named array: its base type.
    if (trail.contains(declaration.name, Qt::CaseInsensitive)) {
        trail << declaration.name;
        return {Resolved::Kind::Refused, {}, Text(9342).replace(QStringLiteral("<c>"), trail.join(QStringLiteral(" > ")))};
    }
    trail << declaration.name;
    Resolved base = Resolve(baseType, trail);
    trail.removeLast();
    if (base.kind != Resolved::Kind::Type) return base;
    if (!declaration.dimensions.empty() && !declaration.type.startsWith(QStringLiteral("ARRAY"), Qt::CaseInsensitive)) {
        const std::optional<int> count = Elements(declaration.dimensions, &message);
        std::optional<PlcType> array = count ? ArrayOf(base.type, *count, declaration.name, &message) : std::nullopt;
        if (!array) return {Resolved::Kind::Refused, {}, message};
        base.type = *array;
    }
    const std::optional<PlcType> result = ArrayOf(base.type, parsed->fieldSize, type, &message);
    if (!result) return {Resolved::Kind::Refused, {}, message};
    return {Resolved::Kind::Type, *result, {}};
}

SymbolFile::Resolved SymbolFile::ResolveEntry(const Entry& entry) {
    if (entry.type.isEmpty()) return {Resolved::Kind::Refused, {}, Missing("Type")};
    QStringList trail;
    Resolved resolved = Resolve(entry.type, trail);
    // Older files give an array as its element type with ArrayInfo beside it.
    if (resolved.kind == Resolved::Kind::Type && !entry.dimensions.empty() &&
        !entry.type.startsWith(QStringLiteral("ARRAY"), Qt::CaseInsensitive)) {
        QString message;
        const std::optional<int> count = Elements(entry.dimensions, &message);
        const std::optional<PlcType> array = count ? ArrayOf(resolved.type, *count, entry.type, &message) : std::nullopt;
        if (!array) return {Resolved::Kind::Refused, {}, message};
        resolved.type = *array;
    }
    return resolved;
}

std::optional<PlcStructure> SymbolFile::Structure(const Entry& type, PlcProgram& program, QString* error) {
    PlcStructure structure{type.name, {}, type.comment};
    for (const Entry& member : type.members) {
        const QString path = type.name + u'.' + member.name;
        if (member.name.isEmpty()) {
            *error = AtPlace(LineText(member.line), type.name + QStringLiteral(": ") + Missing("Name"));
            return std::nullopt;
        }
        const Resolved resolved = ResolveEntry(member);
        if (resolved.kind == Resolved::Kind::LeftOut) {
            program.notes << Text(9363).replace(QStringLiteral("<v>"), path).replace(QStringLiteral("<t>"), member.type);
            continue;
        }
        if (resolved.kind == Resolved::Kind::Refused) {
            *error = AtPlace(LineText(member.line), path + QStringLiteral(": ") + resolved.message);
            return std::nullopt;
        }
        const std::optional<qint64> offset = Number(member.bitOffset);
        if (!offset || *offset < 0) {
            *error = AtPlace(LineText(member.line), path + QStringLiteral(": ") + Missing("BitOffs"));
            return std::nullopt;
        }
        PlcMember result{member.name, resolved.type, static_cast<double>(*offset / 8), member.comment};
        // A single bit (BIT, or a BOOL packed to one bit) sits at byte.bit;
        // a BOOL of its own byte stays a BOOL.
        const bool bit = member.type.trimmed().compare(QStringLiteral("BIT"), Qt::CaseInsensitive) == 0 ||
                         (member.bitSize.trimmed() == QStringLiteral("1") && resolved.type.fieldSize == 0);
        if (resolved.type.dataType == 11 && resolved.type.fieldSize == 0 && bit) {
            result.type.dataType = 256;
            result.orderNumber += static_cast<double>(*offset % 8) / 10.0;
        }
        structure.members.push_back(std::move(result));
    }
    return structure;
}

std::optional<PlcVariable> SymbolFile::Variable(const Entry& symbol, PlcProgram& program, QString* error) {
    // "MAIN.counter", "GVL.Motor1", ".Global" (a global of the old style).
    const QStringList path = symbol.name.split(u'.', Qt::SkipEmptyParts);
    const QString where = LineText(symbol.line);
    if (path.isEmpty()) {
        *error = AtPlace(where, Missing("Name"));
        return std::nullopt;
    }
    const QString name = path.join(u'.');
    const Resolved resolved = ResolveEntry(symbol);
    if (resolved.kind == Resolved::Kind::LeftOut) {
        program.notes << Text(9363).replace(QStringLiteral("<v>"), name).replace(QStringLiteral("<t>"), symbol.type);
        return PlcVariable{};
    }
    if (resolved.kind == Resolved::Kind::Refused) {
        *error = AtPlace(where, name + QStringLiteral(": ") + resolved.message);
        return std::nullopt;
    }
    PlcVariable variable{path, resolved.type, {}, symbol.comment, 3, where};

    const std::optional<qint64> group = Number(symbol.indexGroup);
    const std::optional<qint64> offset = Number(symbol.indexOffset);
    const Area* area = nullptr;
    for (const Area& candidate : kAreas)
        if (group && *group == candidate.group) area = &candidate;
    if (!area || !offset) return variable;

    if (area->letter == 'I') variable.accessRights = 1;
    QString location = QStringLiteral("%") + QChar::fromLatin1(area->letter);
    if (area->bits) {
        location += QStringLiteral("X%1.%2").arg(*offset / 8).arg(*offset % 8);
    } else {
        // The width of one value: a structure or string is read from its first byte.
        std::optional<qint64> bits = Number(symbol.bitSize);
        if (!bits) {
            const std::optional<ElementaryType> elementary = FindElementaryType(symbol.type);
            if (elementary) bits = 8 * elementary->bytes;
        }
        const bool whole = resolved.type.dataType == 12 || resolved.type.dataType == 8 || !bits;
        const qint64 one = whole ? 8 : *bits / std::max(1, resolved.type.fieldSize);
        const QChar width = one == 16 ? u'W' : one == 32 ? u'D' : one == 64 ? u'L' : u'B';
        location += width + QString::number(*offset);
    }
    QString problem;
    if (const std::optional<QString> address = DeviceAddress(location, &problem)) {
        variable.address = *address;
    } else {
        program.notes << Text(9362).replace(QStringLiteral("<v>"), name).replace(QStringLiteral("<m>"), problem);
    }
    return variable;
}

std::optional<PlcProgram> SymbolFile::Read(QString* error) {
    if (!ReadRoot(error)) return std::nullopt;
    // A type listed twice (as some files do for library types) counts once.
    for (std::size_t i = 0; i < m_types.size(); ++i)
        if (!m_typeByName.contains(Folded(m_types[i].name))) m_typeByName.insert(Folded(m_types[i].name), i);

    PlcProgram program;
    program.format = QStringLiteral("TwinCAT symbol file");
    program.variables.reserve(m_symbols.size());
    for (const Entry& symbol : m_symbols) {
        std::optional<PlcVariable> variable = Variable(symbol, program, error);
        if (!variable) return std::nullopt;
        if (!variable->path.isEmpty()) program.variables.push_back(std::move(*variable));
    }
    // The structures the variables use, and the ones those use in turn.
    QHash<std::size_t, PlcStructure> structures;
    while (!m_pending.empty()) {
        const std::size_t index = m_pending.back();
        m_pending.pop_back();
        std::optional<PlcStructure> structure = Structure(m_types[index], program, error);
        if (!structure) return std::nullopt;
        structures.insert(index, std::move(*structure));
    }
    std::vector<PlcStructure> inFileOrder;
    for (std::size_t i = 0; i < m_types.size(); ++i)
        if (structures.contains(i)) inFileOrder.push_back(structures.take(i));
    std::optional<std::vector<PlcStructure>> ordered = InUseOrder(std::move(inFileOrder), error);
    if (!ordered) return std::nullopt;
    program.structures = std::move(*ordered);
    return program;
}

std::optional<PlcProgram> ReadTwinCatSymbols(const QByteArray& content, QString* error) {
    return SymbolFile(content).Read(error);
}

}  // namespace ov::plc
