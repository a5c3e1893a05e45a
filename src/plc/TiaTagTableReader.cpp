// TIA Portal PLC tag tables exported as workbooks (.xlsx): a zip archive of
// SpreadsheetML parts. The sheet "PLC Tags" holds one tag a row under a
// header row naming the columns.

#include "plc/PlcTypes.h"
#include "plc/ReaderTexts.h"
#include "plc/Readers.h"
#include "settings/TextTable.h"

#include <QDir>
#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <algorithm>
#include <zip.h>

namespace ov::plc {

using settings::Text;

namespace {

const QString kSheetName = QStringLiteral("PLC Tags");
const QString kWorkbookPart = QStringLiteral("xl/workbook.xml");
const QString kWorkbookRelations = QStringLiteral("xl/_rels/workbook.xml.rels");
const QString kRelationshipsNamespace = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
// No part of a tag table comes near this; a larger one is a damaged or hostile archive.
constexpr zip_uint64_t kMaxPartBytes = 256u * 1024u * 1024u;

// The parts of a workbook, read from the archive in memory.
class Archive {
public:
    explicit Archive(const QByteArray& content) {
        zip_error_t problem;
        zip_error_init(&problem);
        zip_source_t* source = zip_source_buffer_create(content.constData(), static_cast<zip_uint64_t>(content.size()), 0, &problem);
        if (source) {
            m_zip = zip_open_from_source(source, ZIP_RDONLY, &problem);
            if (!m_zip) zip_source_free(source);
        }
        zip_error_fini(&problem);
    }
    ~Archive() {
        if (m_zip) zip_discard(m_zip);
    }
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    bool IsOpen() const { return m_zip != nullptr; }
    bool Contains(const QString& part) const { return zip_name_locate(m_zip, part.toUtf8().constData(), 0) >= 0; }

    // The part's bytes; nothing, with a message naming it, when it is
    // missing or cannot be unpacked.
    std::optional<QByteArray> Part(const QString& part, QString* error) const {
        const zip_int64_t index = zip_name_locate(m_zip, part.toUtf8().constData(), 0);
        if (index < 0) {
            *error = Text(9364).replace(QStringLiteral("<e>"), part);
            return std::nullopt;
        }
        QByteArray bytes;
        bool whole = false;
        if (zip_file_t* file = zip_fopen_index(m_zip, static_cast<zip_uint64_t>(index), 0)) {
            char buffer[65536];
            zip_int64_t got = 0;
            while ((got = zip_fread(file, buffer, sizeof buffer)) > 0 &&
                   static_cast<zip_uint64_t>(bytes.size()) + static_cast<zip_uint64_t>(got) <= kMaxPartBytes)
                bytes.append(buffer, static_cast<qsizetype>(got));
            whole = got == 0;
            zip_fclose(file);
        }
        if (!whole) {
            *error = AtPlace(part, Text(9367));
            return std::nullopt;
        }
        return bytes;
    }

private:
    zip_t* m_zip = nullptr;
};

// A part's XML that cannot be read, with the part and line.
QString XmlProblem(const QString& part, const QXmlStreamReader& xml) {
    const QString message = xml.error() == QXmlStreamReader::PrematureEndOfDocumentError
                                ? Text(9366)
                                : Text(9365).replace(QStringLiteral("<m>"), xml.errorString());
    return AtPlace(part + QStringLiteral(", ") + LineText(xml.lineNumber()), message);
}

// The text of a string item (<si>, <is>): plain or rich text runs joined,
// phonetic readings left out.
QString StringItem(QXmlStreamReader& xml) {
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
            case QXmlStreamReader::StartElement:
                if (xml.name() == u"t") text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
                else if (xml.name() == u"rPh") xml.skipCurrentElement();
                else ++depth;
                break;
            case QXmlStreamReader::EndElement: --depth; break;
            default: break;
        }
    }
    return text;
}

// The 0-based column of a cell reference ("C7" is 2); -1 without letters.
int ColumnOf(QStringView reference) {
    int column = 0;
    qsizetype letters = 0;
    while (letters < reference.size() && letters < 3 && reference[letters].toUpper() >= u'A' &&
           reference[letters].toUpper() <= u'Z') {
        column = column * 26 + (reference[letters].toUpper().unicode() - u'A' + 1);
        ++letters;
    }
    return letters == 0 ? -1 : column - 1;
}

enum class Field { Name, DataType, Address, Comment };

class TagTable {
public:
    explicit TagTable(const QByteArray& content) : m_archive(content) {}
    std::optional<PlcProgram> Read(QString* error);

private:
    std::optional<QString> SheetPart(QString* error);
    bool ReadSharedStrings(const QString& part, QString* error);
    bool ReadSheet(const QString& part, PlcProgram& program, QString* error);
    bool Row(int row, const QHash<int, QString>& cells, PlcProgram& program, QString* error);

    Archive m_archive;
    QString m_sharedStringsPart;
    std::vector<QString> m_sharedStrings;
    QHash<int, Field> m_columns;  // column -> what it holds, from the header row
};

std::optional<QString> TagTable::SheetPart(QString* error) {
    const std::optional<QByteArray> workbook = m_archive.Part(kWorkbookPart, error);
    if (!workbook) return std::nullopt;
    QString relation;
    QXmlStreamReader xml(*workbook);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"sheet") continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (attributes.value(QLatin1String("name")).trimmed().compare(kSheetName, Qt::CaseInsensitive) != 0) continue;
        relation = attributes.value(kRelationshipsNamespace, QLatin1String("id")).toString();
        break;
    }
    if (xml.hasError()) {
        *error = XmlProblem(kWorkbookPart, xml);
        return std::nullopt;
    }
    if (relation.isEmpty()) {
        *error = Text(9368).replace(QStringLiteral("<s>"), kSheetName);
        return std::nullopt;
    }

    const std::optional<QByteArray> relations = m_archive.Part(kWorkbookRelations, error);
    if (!relations) return std::nullopt;
    QString target;
    QXmlStreamReader rels(*relations);
    while (!rels.atEnd()) {
        if (rels.readNext() != QXmlStreamReader::StartElement || rels.name() != u"Relationship") continue;
        const QXmlStreamAttributes attributes = rels.attributes();
        // Targets are relative to the workbook's folder, or absolute in the archive.
        const QString to = attributes.value(QLatin1String("Target")).toString();
        const QString path = to.startsWith(u'/') ? QDir::cleanPath(to.mid(1)) : QDir::cleanPath(QStringLiteral("xl/") + to);
        if (attributes.value(QLatin1String("Id")) == relation) target = path;
        if (attributes.value(QLatin1String("Type")).endsWith(u"/sharedStrings")) m_sharedStringsPart = path;
    }
    if (rels.hasError()) {
        *error = XmlProblem(kWorkbookRelations, rels);
        return std::nullopt;
    }
    if (target.isEmpty()) {
        *error = AtPlace(kWorkbookRelations, Text(9364).replace(QStringLiteral("<e>"), relation));
        return std::nullopt;
    }
    return target;
}

bool TagTable::ReadSharedStrings(const QString& part, QString* error) {
    const std::optional<QByteArray> bytes = m_archive.Part(part, error);
    if (!bytes) return false;
    QXmlStreamReader xml(*bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"si") m_sharedStrings.push_back(StringItem(xml));
    }
    if (xml.hasError()) {
        *error = XmlProblem(part, xml);
        return false;
    }
    return true;
}

bool TagTable::Row(int row, const QHash<int, QString>& cells, PlcProgram& program, QString* error) {
    if (m_columns.isEmpty()) {
        // The first row with anything in it names the columns, in any order.
        if (std::all_of(cells.cbegin(), cells.cend(), [](const QString& text) { return text.trimmed().isEmpty(); })) return true;
        static const QHash<QString, Field> headers{
            {QStringLiteral("name"), Field::Name},
            {QStringLiteral("data type"), Field::DataType},
            {QStringLiteral("logical address"), Field::Address},
            {QStringLiteral("comment"), Field::Comment},
        };
        for (auto it = cells.cbegin(); it != cells.cend(); ++it) {
            const auto header = headers.constFind(it.value().simplified().toLower());
            if (header != headers.cend()) m_columns.insert(it.key(), *header);
        }
        for (const auto& [field, title] : {std::pair{Field::Name, "Name"}, std::pair{Field::DataType, "Data Type"}}) {
            if (m_columns.key(field, -1) >= 0) continue;
            *error = AtPlace(LineText(row), Text(9369).replace(QStringLiteral("<c>"), QString::fromLatin1(title)));
            return false;
        }
        return true;
    }
    QString values[4];
    for (auto it = m_columns.cbegin(); it != m_columns.cend(); ++it) values[static_cast<int>(it.value())] = cells.value(it.key());
    const QString name = values[static_cast<int>(Field::Name)].trimmed();
    if (name.isEmpty()) return true;
    if (program.variables.size() == static_cast<std::size_t>(kMaxVariables)) {
        *error = TooManyVariables();
        return false;
    }
    const QString where = LineText(row);
    // A tag table has no type definitions: a PLC data type ("Motor_UDT") is unknown here.
    QString problem;
    const std::optional<PlcType> type = ParseType(values[static_cast<int>(Field::DataType)], {}, &problem);
    if (!type) {
        *error = AtPlace(where, name + QStringLiteral(": ") + problem);
        return false;
    }
    PlcVariable variable{{name}, *type, {}, values[static_cast<int>(Field::Comment)].trimmed(), 3, where};
    // German mnemonics write inputs E and outputs A.
    static const QRegularExpression german(QStringLiteral(R"(^%?\s*([EA])(?=[XBWD]?\d))"), QRegularExpression::CaseInsensitiveOption);
    QString location = values[static_cast<int>(Field::Address)].trimmed();
    if (const auto match = german.match(location); match.hasMatch())
        location.replace(match.capturedStart(1), 1, match.captured(1).compare(QStringLiteral("E"), Qt::CaseInsensitive) == 0 ? u'I' : u'Q');
    if (!location.isEmpty()) {
        if (const std::optional<QString> address = DeviceAddress(location, &problem)) variable.address = *address;
        else program.notes << Text(9362).replace(QStringLiteral("<v>"), name).replace(QStringLiteral("<m>"), problem);
        if (QStringView(location).mid(location.startsWith(u'%') ? 1 : 0).startsWith(u'I', Qt::CaseInsensitive))
            variable.accessRights = 1;
    }
    program.variables.push_back(std::move(variable));
    return true;
}

bool TagTable::ReadSheet(const QString& part, PlcProgram& program, QString* error) {
    const std::optional<QByteArray> bytes = m_archive.Part(part, error);
    if (!bytes) return false;
    QXmlStreamReader xml(*bytes);
    int row = 0;
    QHash<int, QString> cells;  // column -> text of the row being read
    int column = -1;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == u"row") {
            if (!Row(row, cells, program, error)) return false;
            continue;
        }
        if (token != QXmlStreamReader::StartElement) continue;
        if (xml.name() == u"row") {
            bool ok = false;
            const int number = xml.attributes().value(QLatin1String("r")).toInt(&ok);
            row = ok ? number : row + 1;
            cells.clear();
            column = -1;
        } else if (xml.name() == u"c") {
            const QXmlStreamAttributes attributes = xml.attributes();
            const int at = ColumnOf(attributes.value(QLatin1String("r")));
            column = at >= 0 ? at : column + 1;
            const QStringView kind = attributes.value(QLatin1String("t"));
            const bool shared = kind == u"s";
            QString text;
            while (xml.readNextStartElement()) {
                if (xml.name() == u"v") text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                else if (xml.name() == u"is") text = StringItem(xml);
                else xml.skipCurrentElement();
            }
            if (shared) {
                bool ok = false;
                const qsizetype index = text.trimmed().toLongLong(&ok);
                if (!ok || index < 0 || index >= static_cast<qsizetype>(m_sharedStrings.size())) {
                    const QString missing = (m_sharedStringsPart.isEmpty() ? QStringLiteral("xl/sharedStrings.xml") : m_sharedStringsPart) +
                                            QStringLiteral(" [%1]").arg(text.trimmed());
                    *error = AtPlace(LineText(row), Text(9364).replace(QStringLiteral("<e>"), missing));
                    return false;
                }
                text = m_sharedStrings[static_cast<std::size_t>(index)];
            }
            cells.insert(column, text);
        }
    }
    if (xml.hasError()) {
        *error = XmlProblem(part, xml);
        return false;
    }
    if (m_columns.isEmpty()) {
        *error = AtPlace(part, Text(9369).replace(QStringLiteral("<c>"), QStringLiteral("Name")));
        return false;
    }
    return true;
}

std::optional<PlcProgram> TagTable::Read(QString* error) {
    if (!m_archive.IsOpen() || !m_archive.Contains(kWorkbookPart)) {
        *error = Text(9367);
        return std::nullopt;
    }
    const std::optional<QString> sheet = SheetPart(error);
    if (!sheet) return std::nullopt;
    if (m_sharedStringsPart.isEmpty() && m_archive.Contains(QStringLiteral("xl/sharedStrings.xml")))
        m_sharedStringsPart = QStringLiteral("xl/sharedStrings.xml");
    if (!m_sharedStringsPart.isEmpty() && !ReadSharedStrings(m_sharedStringsPart, error)) return std::nullopt;
    PlcProgram program;
    program.format = QStringLiteral("TIA Portal tag table");
    if (!ReadSheet(*sheet, program, error)) return std::nullopt;
    return program;
}

}  // namespace

std::optional<PlcProgram> ReadTiaTagTable(const QByteArray& content, QString* error) {
    return TagTable(content).Read(error);
}

}  // namespace ov::plc
