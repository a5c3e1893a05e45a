// Importing a PLC program of 100,000 variables and 500 structure types: a
// generated PLCopen XML file read, the whole program imported into a new
// device as the browse dialog and ovopc import-plc do it (program as address
// space, everything ticked, lists, apply), and a raw SQLite loop writing the
// same structure, member, item and connection rows for comparison.
// Prints one "name: value" line per figure.
//
//   bench_plc

#include "model/ProjectTemplate.h"
#include "opc/BrowseApply.h"
#include "opc/ItemBrowser.h"
#include "opc/PlcSource.h"
#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "plc/Readers.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QXmlStreamWriter>
#include <chrono>
#include <cstdio>
#include <sqlite3.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kStructures = 500;
constexpr int kDeviceId = 1;
constexpr int kDefaultGroup = 1;

// Where the 100,000 variables live: eight global lists of the
// configuration, a constant list of its resource and two programs.
struct VariableList {
    const char* name;
    int count;
    enum { Global, Constant, Program } kind;
};
constexpr VariableList kLists[] = {
    {"GVL_Filling", 11000, VariableList::Global}, {"GVL_Capping", 11000, VariableList::Global},
    {"GVL_Labelling", 11000, VariableList::Global}, {"GVL_Packing", 11000, VariableList::Global},
    {"GVL_Palletising", 11000, VariableList::Global}, {"GVL_Utilities", 11000, VariableList::Global},
    {"GVL_Cleaning", 11000, VariableList::Global}, {"GVL_Conveyors", 11000, VariableList::Global},
    {"GVL_Limits", 2000, VariableList::Constant},     {"MAIN", 5000, VariableList::Program},
    {"Recipes", 5000, VariableList::Program},
};
constexpr int kVariables = [] {
    int total = 0;
    for (const VariableList& list : kLists) total += list.count;
    return total;
}();
static_assert(kVariables == 100000);

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Report(const char* name, double value) { std::printf("%s: %.3f\n", name, value); }

[[noreturn]] void Fail(const QString& message) {
    std::fprintf(stderr, "bench_plc: %s\n", qPrintable(message));
    std::exit(1);
}

QString StructureName(int index) { return QStringLiteral("ST_Unit%1").arg(index, 3, 10, QLatin1Char('0')); }

// What the generated file declares, to check the import against.
struct Generated {
    int structures = 0;
    int members = 0;
    int variables = 0;
    int located = 0;
};

class ProgramWriter {
  public:
    explicit ProgramWriter(QIODevice* device) : m_xml(device) { m_xml.setAutoFormatting(true); }

    Generated Write() {
        m_xml.writeStartDocument();
        m_xml.writeDefaultNamespace(QStringLiteral("http://www.plcopen.org/xml/tc6_0201"));
        m_xml.writeNamespace(QStringLiteral("http://www.w3.org/1999/xhtml"), QStringLiteral("xhtml"));
        m_xml.writeStartElement(QStringLiteral("project"));
        m_xml.writeEmptyElement(QStringLiteral("fileHeader"));
        m_xml.writeAttribute(QStringLiteral("companyName"), QStringLiteral("Bench"));
        m_xml.writeAttribute(QStringLiteral("productName"), QStringLiteral("Generated"));
        m_xml.writeAttribute(QStringLiteral("productVersion"), QStringLiteral("1"));
        m_xml.writeAttribute(QStringLiteral("creationDateTime"), QStringLiteral("2026-12-07T08:00:00"));
        m_xml.writeStartElement(QStringLiteral("contentHeader"));
        m_xml.writeAttribute(QStringLiteral("name"), QStringLiteral("BottlingPlant"));
        m_xml.writeEndElement();

        m_xml.writeStartElement(QStringLiteral("types"));
        m_xml.writeStartElement(QStringLiteral("dataTypes"));
        for (int t = 0; t < kStructures; ++t) WriteStructure(t);
        m_xml.writeEndElement();  // dataTypes
        m_xml.writeStartElement(QStringLiteral("pous"));
        for (const VariableList& list : kLists)
            if (list.kind == VariableList::Program) WriteProgram(list);
        m_xml.writeEndElement();  // pous
        m_xml.writeEndElement();  // types

        m_xml.writeStartElement(QStringLiteral("instances"));
        m_xml.writeStartElement(QStringLiteral("configurations"));
        m_xml.writeStartElement(QStringLiteral("configuration"));
        m_xml.writeAttribute(QStringLiteral("name"), QStringLiteral("Plant"));
        for (const VariableList& list : kLists)
            if (list.kind == VariableList::Global) WriteVariableList(QStringLiteral("globalVars"), list);
        m_xml.writeStartElement(QStringLiteral("resource"));
        m_xml.writeAttribute(QStringLiteral("name"), QStringLiteral("PLC1"));
        for (const VariableList& list : kLists)
            if (list.kind == VariableList::Constant) WriteVariableList(QStringLiteral("globalVars"), list);
        m_xml.writeEndElement();  // resource
        m_xml.writeEndElement();  // configuration
        m_xml.writeEndElement();  // configurations
        m_xml.writeEndElement();  // instances
        m_xml.writeEndElement();  // project
        m_xml.writeEndDocument();
        return m_counts;
    }

  private:
    void Documentation(const QString& text) {
        m_xml.writeStartElement(QStringLiteral("documentation"));
        m_xml.writeTextElement(QStringLiteral("http://www.w3.org/1999/xhtml"), QStringLiteral("p"), text);
        m_xml.writeEndElement();
    }

    void Elementary(const char* name) { m_xml.writeEmptyElement(QString::fromLatin1(name)); }

    void String(int length) {
        m_xml.writeEmptyElement(QStringLiteral("string"));
        m_xml.writeAttribute(QStringLiteral("length"), QString::number(length));
    }

    void Derived(const QString& name) {
        m_xml.writeEmptyElement(QStringLiteral("derived"));
        m_xml.writeAttribute(QStringLiteral("name"), name);
    }

    void Array(int lower, int upper, const char* element) {
        m_xml.writeStartElement(QStringLiteral("array"));
        m_xml.writeEmptyElement(QStringLiteral("dimension"));
        m_xml.writeAttribute(QStringLiteral("lower"), QString::number(lower));
        m_xml.writeAttribute(QStringLiteral("upper"), QString::number(upper));
        m_xml.writeStartElement(QStringLiteral("baseType"));
        Elementary(element);
        m_xml.writeEndElement();
        m_xml.writeEndElement();
    }

    // A member or variable: its name, its type written by typeOf, an optional comment.
    template <typename TypeOf>
    void Variable(const QString& name, TypeOf typeOf, const QString& comment = QString(), const QString& address = QString()) {
        m_xml.writeStartElement(QStringLiteral("variable"));
        m_xml.writeAttribute(QStringLiteral("name"), name);
        if (!address.isEmpty()) m_xml.writeAttribute(QStringLiteral("address"), address);
        m_xml.writeStartElement(QStringLiteral("type"));
        typeOf();
        m_xml.writeEndElement();
        if (!comment.isEmpty()) Documentation(comment);
        m_xml.writeEndElement();
    }

    // A handful of members of mixed types; every fifth type holds the one
    // before it, every tenth from the fourth on also the one three before.
    void WriteStructure(int t) {
        m_xml.writeStartElement(QStringLiteral("dataType"));
        m_xml.writeAttribute(QStringLiteral("name"), StructureName(t));
        m_xml.writeStartElement(QStringLiteral("baseType"));
        m_xml.writeStartElement(QStringLiteral("struct"));
        int members = 0;
        const auto member = [&](const QString& name, auto typeOf, const QString& comment = QString()) {
            Variable(name, typeOf, comment);
            ++members;
        };
        member(QStringLiteral("bRunning"), [&] { Elementary("BOOL"); }, QStringLiteral("Unit is running"));
        member(QStringLiteral("bFault"), [&] { Elementary("BOOL"); });
        if (t % 2 == 0) member(QStringLiteral("bReady"), [&] { Elementary("BOOL"); });
        member(QStringLiteral("rValue"), [&] { Elementary("REAL"); }, QStringLiteral("Measured value in %"));
        member(QStringLiteral("aFlags"), [&] { Array(0, 7, "BOOL"); });
        member(QStringLiteral("sLabel"), [&] { String(20); }, QStringLiteral("Name shown on the panel"));
        if (t % 3 == 0) member(QStringLiteral("diCount"), [&] { Elementary("DINT"); });
        if (t % 4 == 1) member(QStringLiteral("iMode"), [&] { Elementary("INT"); });
        if (t % 6 == 5) member(QStringLiteral("lrTotal"), [&] { Elementary("LREAL"); });
        if (t % 5 == 0 && t > 0) member(QStringLiteral("stInner"), [&] { Derived(StructureName(t - 1)); });
        if (t % 10 == 3) member(QStringLiteral("stPeer"), [&] { Derived(StructureName(t - 3)); });
        m_xml.writeEndElement();  // struct
        m_xml.writeEndElement();  // baseType
        Documentation(QStringLiteral("Process unit %1").arg(t));
        m_xml.writeEndElement();  // dataType
        ++m_counts.structures;
        m_counts.members += members;
    }

    void WriteProgram(const VariableList& list) {
        m_xml.writeStartElement(QStringLiteral("pou"));
        m_xml.writeAttribute(QStringLiteral("name"), QString::fromLatin1(list.name));
        m_xml.writeAttribute(QStringLiteral("pouType"), QStringLiteral("program"));
        m_xml.writeStartElement(QStringLiteral("interface"));
        // Most of a program's data is local, a few inputs and outputs.
        const int inputs = list.count / 10;
        const int outputs = list.count / 10;
        WriteVariables(QStringLiteral("inputVars"), inputs);
        WriteVariables(QStringLiteral("outputVars"), outputs);
        WriteVariables(QStringLiteral("localVars"), list.count - inputs - outputs);
        m_xml.writeEndElement();  // interface
        m_xml.writeStartElement(QStringLiteral("body"));
        m_xml.writeStartElement(QStringLiteral("ST"));
        m_xml.writeTextElement(QStringLiteral("http://www.w3.org/1999/xhtml"), QStringLiteral("p"),
                               QStringLiteral("counter := counter + 1;"));
        m_xml.writeEndElement();
        m_xml.writeEndElement();
        m_xml.writeEndElement();  // pou
    }

    void WriteVariableList(const QString& element, const VariableList& list) {
        m_xml.writeStartElement(element);
        m_xml.writeAttribute(QStringLiteral("name"), QString::fromLatin1(list.name));
        if (list.kind == VariableList::Constant) m_xml.writeAttribute(QStringLiteral("constant"), QStringLiteral("true"));
        WriteVariablesInside(list.count);
        m_xml.writeEndElement();
    }

    void WriteVariables(const QString& element, int count) {
        m_xml.writeStartElement(element);
        WriteVariablesInside(count);
        m_xml.writeEndElement();
    }

    // Variables of twenty kinds in turn: a fifth of them located (bits of
    // the inputs, words of the outputs, double words of the flags), one in
    // twenty of a structure type, a third with a comment.
    void WriteVariablesInside(int count) {
        for (int i = 0; i < count; ++i) {
            const int k = m_counts.variables++;
            const QString comment = k % 3 == 0 ? QStringLiteral("Signal %1 of the line").arg(k) : QString();
            const auto var = [&](const char* prefix, auto typeOf, const QString& address = QString()) {
                Variable(QString::fromLatin1(prefix) + QString::number(k), typeOf, comment, address);
                if (!address.isEmpty()) ++m_counts.located;
            };
            switch (k % 20) {
                case 0: var("st", [&] { Derived(StructureName(k / 20 % kStructures)); }); break;
                case 1: var("xIn", [&] { Elementary("BOOL"); }, NextInputBit()); break;
                case 2: var("xCmd", [&] { Elementary("BOOL"); }); break;
                case 3: var("xDone", [&] { Elementary("BOOL"); }); break;
                case 4: var("wOut", [&] { Elementary("WORD"); }, NextOutputWord()); break;
                case 5: var("iSetpoint", [&] { Elementary("INT"); }); break;
                case 6: var("diFlag", [&] { Elementary("DINT"); }, NextFlagWord()); break;
                case 7: var("rValue", [&] { Elementary("REAL"); }); break;
                case 8: var("axBits", [&] { Array(0, 7, "BOOL"); }); break;
                case 9: var("sText", [&] { String(20); }); break;
                case 10: var("lrTotal", [&] { Elementary("LREAL"); }); break;
                case 11: var("tDelay", [&] { Elementary("TIME"); }); break;
                case 12: var("udiCount", [&] { Elementary("UDINT"); }); break;
                case 13: var("aiSteps", [&] { Array(1, 10, "INT"); }); break;
                case 14: var("siOffset", [&] { Elementary("SINT"); }); break;
                case 15: var("rFlag", [&] { Elementary("REAL"); }, NextFlagWord()); break;
                case 16: var("byStatus", [&] { Elementary("BYTE"); }); break;
                case 17: var("dToday", [&] { Elementary("DATE"); }); break;
                case 18: var("uiCounter", [&] { Elementary("UINT"); }); break;
                default: var("dwMask", [&] { Elementary("DWORD"); }); break;
            }
        }
    }

    // Each located variable at an address of its own.
    QString NextInputBit() {
        const int bit = m_inputBit++;
        return QStringLiteral("%IX%1.%2").arg(bit / 8).arg(bit % 8);
    }
    QString NextOutputWord() { return QStringLiteral("%QW%1").arg(2 * m_outputWord++); }
    QString NextFlagWord() { return QStringLiteral("%MD%1").arg(4 * m_flagWord++); }

    QXmlStreamWriter m_xml;
    Generated m_counts;
    int m_inputBit = 0;
    int m_outputWord = 0;
    int m_flagWord = 0;
};

Generated WriteProgramFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) Fail(file.errorString());
    const Generated generated = ProgramWriter(&file).Write();
    if (generated.variables != kVariables || generated.structures != kStructures) Fail(QStringLiteral("generator miscounted"));
    return generated;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) Fail(file.errorString());
    return file.readAll();
}

void CreateProject(const QString& file) {
    ov::model::CreateProjectDatabase(file);
    ov::db::Connection c;
    c.Open(ov::model::ProjectConnectionString(file));
    c.Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, HierarchBrowseSeparator, ProgID, Enabled) "
                             "VALUES (%1, 'PLC', '.', 'Bench.Plc.1', -1)")
                  .arg(kDeviceId));
}

int Count(ov::db::Connection& connection, const QString& sql) {
    ov::db::Cursor rows(connection, sql);
    return rows.Next() ? rows.Value(0).toInt() : -1;
}

// The rows a project holds after an import, set against what the file declares.
void CheckProject(const QString& file, const Generated& generated, int leftOut, const char* which) {
    ov::db::Connection connection;
    connection.Open(ov::model::ProjectConnectionString(file));
    const int items = Count(connection, QStringLiteral("SELECT COUNT(*) FROM TpdbItems WHERE DeviceID = %1").arg(kDeviceId));
    const int connected = Count(connection, QStringLiteral("SELECT COUNT(*) FROM TpdbConnections c JOIN TpdbItems i ON "
                                                           "i.ID = c.ItemID WHERE c.GroupID = %1 AND i.DeviceID = %2")
                                                .arg(kDefaultGroup)
                                                .arg(kDeviceId));
    const int structured = Count(connection, QStringLiteral("SELECT COUNT(*) FROM TpdbItems i JOIN TpdbStructDefs s ON "
                                                            "s.ID = i.StructID WHERE i.DataType = 12"));
    const int located = Count(connection, QStringLiteral("SELECT COUNT(*) FROM TpdbItems WHERE ItemAccess <> Name"));
    const int structures = Count(connection, QStringLiteral("SELECT COUNT(*) FROM TpdbStructDefs"));
    const int members = Count(connection, QStringLiteral("SELECT COUNT(*) FROM TpdbStructMembers"));
    const int expected = generated.variables - leftOut;
    QStringList wrong;
    if (items != expected) wrong << QStringLiteral("%1 items instead of %2").arg(items).arg(expected);
    if (connected != items) wrong << QStringLiteral("%1 of %2 items in group %3").arg(connected).arg(items).arg(kDefaultGroup);
    if (structured != generated.variables / 20) wrong << QStringLiteral("%1 items of a structure instead of %2").arg(structured).arg(generated.variables / 20);
    if (located != generated.located) wrong << QStringLiteral("%1 located items instead of %2").arg(located).arg(generated.located);
    if (structures != generated.structures) wrong << QStringLiteral("%1 structures instead of %2").arg(structures).arg(generated.structures);
    if (members != generated.members) wrong << QStringLiteral("%1 members instead of %2").arg(members).arg(generated.members);
    if (!wrong.isEmpty()) Fail(QStringLiteral("%1: %2").arg(QString::fromLatin1(which), wrong.join(QStringLiteral(", "))));
}

double Parse(const QByteArray& content, const Generated& generated) {
    const auto start = Clock::now();
    QString error;
    const std::optional<ov::plc::PlcProgram> program = ov::plc::ReadPlcProgram(content, &error);
    const double seconds = Seconds(start);
    if (!program) Fail(error);
    if (static_cast<int>(program->variables.size()) != generated.variables ||
        static_cast<int>(program->structures.size()) != generated.structures || !program->notes.isEmpty())
        Fail(QStringLiteral("read %1 variables, %2 structures, %3 notes").arg(program->variables.size())
                 .arg(program->structures.size()).arg(program->notes.size()));
    return seconds;
}

// The path of the browse dialog and ovopc import-plc: the program as the
// device's address space, every top node ticked, the lists, the apply.
// applySeconds: the apply alone, the part that writes what the raw loop writes.
double Import(const QString& file, const QString& programFile, ov::plc::PlcProgram program, int* leftOut,
              double* applySeconds) {
    ov::db::Connection connection;
    connection.Open(ov::model::ProjectConnectionString(file));
    const auto start = Clock::now();
    ov::opc::ItemBrowser browser;
    browser.SetSeparator('.');
    browser.SetExistingItems(ov::opc::DeviceBrowseItems(connection, kDeviceId, QStringLiteral("Name")));
    browser.SetSource(std::make_unique<ov::opc::PlcSource>(programFile, std::move(program)));
    QString error;
    if (!browser.Start(&error)) Fail(error);
    for (const QString& node : browser.TopNodes())
        if (!browser.SetTicked(node, true, &error)) Fail(error);
    const ov::opc::BrowseLists lists = browser.Lists();
    ov::opc::ApplyRequest request;
    request.deviceId = kDeviceId;
    request.structures = &static_cast<const ov::opc::PlcSource*>(browser.Source())->Program().structures;
    ov::opc::ApplyCounts counts;
    QString detail;
    const auto applyStart = Clock::now();
    if (!ov::opc::ApplyBrowse(connection, lists, request, {}, &counts, &detail)) Fail(detail);
    *applySeconds = Seconds(applyStart);
    const double seconds = Seconds(start);
    if (counts.added != static_cast<int>(lists.added.size()) || counts.deleted != 0 || counts.updated != 0)
        Fail(QStringLiteral("applied %1 of %2 new items").arg(counts.added).arg(lists.added.size()));
    *leftOut = static_cast<int>(lists.leftOut.size());
    for (const auto& item : lists.leftOut) std::fprintf(stderr, "bench_plc: left out: %s\n", qPrintable(ov::opc::LeftOutText(item)));
    return seconds;
}

void Bind(sqlite3_stmt* statement, int index, const QString& text) {
    if (text.isEmpty()) {
        sqlite3_bind_null(statement, index);
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

void Run(sqlite3* db, sqlite3_stmt* statement) {
    if (sqlite3_step(statement) != SQLITE_DONE) Fail(QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_reset(statement);
}

// The same rows as prepared INSERTs in one transaction, straight from the program.
double RawInsert(const QString& file, const ov::plc::PlcProgram& program) {
    sqlite3* db = nullptr;
    if (sqlite3_open(QFile::encodeName(file).constData(), &db) != SQLITE_OK) Fail(QStringLiteral("cannot open %1").arg(file));
    sqlite3_stmt* structure = nullptr;
    sqlite3_stmt* member = nullptr;
    sqlite3_stmt* item = nullptr;
    sqlite3_stmt* connection = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO TpdbStructDefs (Name, OrderByOffset, Comment) VALUES (?, -1, ?)", -1, &structure, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO TpdbStructMembers (ParentID, Name, OrderNum, DataType, StructID, FieldSize, Comment) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?)", -1, &member, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO TpdbItems (ItemAccess, Name, DataType, AccessRights, FieldSize, AccessPath, DeviceID, "
                           "StructID, Comment) VALUES (?, ?, ?, ?, ?, '', ?, ?, ?)", -1, &item, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (?, ?)", -1, &connection, nullptr);
    const auto start = Clock::now();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    QHash<QString, qint64> ids;
    for (const ov::plc::PlcStructure& type : program.structures) {
        Bind(structure, 1, type.name);
        Bind(structure, 2, type.comment);
        Run(db, structure);
        const qint64 id = sqlite3_last_insert_rowid(db);
        ids.insert(type.name.toCaseFolded(), id);
        for (const ov::plc::PlcMember& m : type.members) {
            sqlite3_bind_int64(member, 1, id);
            Bind(member, 2, m.name);
            sqlite3_bind_double(member, 3, m.orderNumber);
            sqlite3_bind_int(member, 4, m.type.dataType);
            sqlite3_bind_int64(member, 5, m.type.structure.isEmpty() ? 0 : ids.value(m.type.structure.toCaseFolded()));
            sqlite3_bind_int(member, 6, m.type.fieldSize);
            Bind(member, 7, m.comment);
            Run(db, member);
        }
    }
    for (const ov::plc::PlcVariable& variable : program.variables) {
        Bind(item, 1, ov::opc::PlcItemId(variable));
        Bind(item, 2, variable.path.join(u'.'));
        sqlite3_bind_int(item, 3, variable.type.dataType & 0xff);
        sqlite3_bind_int(item, 4, variable.accessRights);
        sqlite3_bind_int(item, 5, variable.type.fieldSize);
        sqlite3_bind_int(item, 6, kDeviceId);
        sqlite3_bind_int64(item, 7, variable.type.structure.isEmpty() ? 0 : ids.value(variable.type.structure.toCaseFolded()));
        Bind(item, 8, variable.comment);
        Run(db, item);
        sqlite3_bind_int(connection, 1, kDefaultGroup);
        sqlite3_bind_int64(connection, 2, sqlite3_last_insert_rowid(db));
        Run(db, connection);
    }
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) Fail(QString::fromUtf8(sqlite3_errmsg(db)));
    const double seconds = Seconds(start);
    for (sqlite3_stmt* statement : {structure, member, item, connection}) sqlite3_finalize(statement);
    sqlite3_close(db);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) Fail(QStringLiteral("no temporary folder"));
    const QString programFile = dir.filePath(QStringLiteral("plant.xml"));
    const Generated generated = WriteProgramFile(programFile);
    const QByteArray content = ReadAll(programFile);

    const QString importFile = dir.filePath(QStringLiteral("import.ovs"));
    const QString rawFile = dir.filePath(QStringLiteral("raw.ovs"));
    CreateProject(importFile);
    QFile::copy(importFile, rawFile);

    const double parse = Parse(content, generated);
    QString error;
    const std::optional<ov::plc::PlcProgram> program = ov::plc::ReadPlcProgram(content, &error);
    if (!program) Fail(error);

    int leftOut = 0;
    double apply = 0;
    const double import = Import(importFile, programFile, *program, &leftOut, &apply);
    CheckProject(importFile, generated, leftOut, "import");
    const double raw = RawInsert(rawFile, *program);
    CheckProject(rawFile, generated, 0, "raw insert");

    Report("plc_parse_100k_s", parse);
    Report("plc_import_100k_s", import);
    Report("plc_raw_insert_100k_s", raw);
    Report("plc_import_ratio", import / raw);
    Report("plc_apply_100k_s", apply);
    Report("plc_apply_ratio", apply / raw);
    return 0;
}
