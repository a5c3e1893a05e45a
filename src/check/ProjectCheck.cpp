#include "check/ProjectCheck.h"

#include "components/Registration.h"
#include "model/CVT_Types.h"
#include "model/DeviceAddress.h"
#include "opc/AddressSource.h"
#include "opc/MOpc.h"
#include "opc/NodeSet.h"
#include "opc/PlcSource.h"
#include "platform/db/Changeset.h"
#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "platform/system/Components.h"
#include "platform/system/ProjectSettings.h"
#include "plc/Readers.h"
#include "settings/TextTable.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <map>

namespace ov::check {

using settings::Text;

namespace {

constexpr int kStructureType = model::CVT_Types::kStructure;
constexpr int kBitType = model::CVT_Types::kBit;
constexpr int kItemsGroupType = -3;

constexpr Rule kRules[] = {
    {"PV101", Severity::Warning, "an item connected to no group (the runtime never reads it)", false},
    {"PV102", Severity::Error, "an item of a device that does not exist", true},
    {"PV103", Severity::Error, "an item's structure does not exist", false},
    {"PV104", Severity::Error, "an item's process unit class does not exist", false},
    {"PV105", Severity::Error, "an item's display unit class does not exist", false},
    {"PV106", Severity::Error, "a connection to a group that does not exist", true},
    {"PV107", Severity::Error, "a connection of an item that does not exist", true},
    {"PV108", Severity::Error, "a simulation of an item that does not exist", true},
    {"PV109", Severity::Error, "a redundancy row of an item that does not exist", true},
    {"PV110", Severity::Error, "an item text no item or structure member uses", true},
    {"PV111", Severity::Error, "a member of a structure that does not exist", true},
    {"PV201", Severity::Error, "a unit class of the wrong kind in an item's process column", false},
    {"PV202", Severity::Error, "a unit class of the wrong kind in an item's display column", false},
    {"PV203", Severity::Warning, "MinVal greater than MaxVal where a range is set", false},
    {"PV204", Severity::Warning, "a data type the catalogue does not know", false},
    {"PV301", Severity::Error, "structure members that overlap", false},
    {"PV302", Severity::Error, "structures nested in a cycle", false},
    {"PV303", Severity::Error, "a member of a structure type that no longer exists", false},
    {"PV401", Severity::Warning, "an address the device's configuration tool rejects", false},
    {"PV402", Severity::Warning, "an item ID not in the device's NodeSet2 file or PLC program", false},
    {"PV501", Severity::Note, "a simulated item of a disabled device", false},
    {"PV502", Severity::Note, "a group without items", false},
    {"PV503", Severity::Note, "a device without items", false},
    {"PV504", Severity::Note, "an item text missing in one of the project's languages", false},
};

const Rule& RuleOf(const char* code) {
    for (const Rule& rule : kRules)
        if (qstrcmp(rule.code, code) == 0) return rule;
    Q_UNREACHABLE();
}

// The message of a rule, its placeholders <r>, <a> and <b> filled.
QString Message(int text, const QString& r = {}, const QString& a = {}, const QString& b = {}) {
    return Text(text).replace(QStringLiteral("<r>"), r).replace(QStringLiteral("<a>"), a).replace(QStringLiteral("<b>"), b);
}

QString Missing(const QVariant& id) { return QStringLiteral("#") + id.toString(); }

// A number as the grids show it: 100, not 100.0.
QString Number(double value) { return QString::number(value, 'g', 15); }

// The key of a rule's findings of one kind in Recheck::covered.
QString CoveredKey(const QString& code, ObjectKind kind) {
    return code + u'/' + QString::number(static_cast<int>(kind));
}

// The order of the list: errors first, by rule, then by the row's ID.
bool InListOrder(const Finding& a, const Finding& b) {
    if (a.severity != b.severity) return a.severity < b.severity;
    if (a.code != b.code) return a.code < b.code;
    return a.id < b.id;
}

// Above this many changed rows a full run is quicker than lists of IDs.
constexpr qsizetype kMostScopedRows = 20000;

// "1,2,3" for an IN list.
QString IdList(const QSet<qint64>& ids) {
    QStringList list;
    list.reserve(ids.size());
    for (const qint64 id : ids) list << QString::number(id);
    return list.join(u',');
}

class Checker {
  public:
    Checker(db::Connection& connection, const CheckOptions& options, const ChangedRows* changed = nullptr)
        : m_db(connection), m_options(options), m_changed(changed) {}

    std::vector<Finding> Run();
    const std::map<QString, std::optional<QSet<qint64>>>& Covered() const { return m_covered; }

  private:
    bool Wanted(const char* code) const {
        const Rule& rule = RuleOf(code);
        if (static_cast<int>(rule.severity) > static_cast<int>(m_options.least)) return false;
        return m_options.rules.isEmpty() || m_options.rules.contains(QString::fromLatin1(code), Qt::CaseInsensitive);
    }
    void Add(const char* code, ObjectKind kind, qint64 id, QString object, QString message) {
        const Rule& rule = RuleOf(code);
        m_findings.push_back({rule.severity, QString::fromLatin1(code), kind, id, std::move(object), std::move(message),
                              rule.repairable});
    }
    // Which rows a rule looks at in a re-check: every row when something it
    // depends on as a whole changed (`whole`), those of `ids` (compared in
    // `column`), or none. A full check looks at every row.
    enum class Reach { None, Some, All };
    Reach ReachOf(const char* code, ObjectKind kind, bool whole, const QSet<qint64>* ids) {
        if (!m_changed || m_changed->everything || whole) {
            m_covered[CoveredKey(QString::fromLatin1(code), kind)] = std::nullopt;
            return Reach::All;
        }
        if (!ids || ids->isEmpty()) return Reach::None;
        auto& covered = m_covered[CoveredKey(QString::fromLatin1(code), kind)];
        if (!covered) covered.emplace();
        covered->unite(*ids);
        return Reach::Some;
    }
    // Runs a query of rows (ID, object, detail...) and adds a finding per
    // row. In a re-check the query is narrowed to the changed rows: a
    // condition on `column` goes before its ORDER BY.
    void ForRows(const char* code, ObjectKind kind, QString sql, const std::function<QString(db::Cursor&)>& message,
                 const char* column = nullptr, const QSet<qint64>* ids = nullptr, bool whole = false) {
        if (!Wanted(code)) return;
        const Reach reach = ReachOf(code, kind, whole || (!column && m_changed), ids);
        if (reach == Reach::None) return;
        if (reach == Reach::Some) {
            const qsizetype order = sql.lastIndexOf(QStringLiteral(" ORDER BY "));
            const QString condition = QStringLiteral(" AND %1 IN (%2)").arg(QString::fromLatin1(column), IdList(*ids));
            sql.insert(order < 0 ? sql.size() : order, condition);
        }
        db::Cursor rows(m_db, sql);
        while (rows.Next()) Add(code, kind, rows.Value(0).toLongLong(), rows.Value(1).toString(), message(rows));
    }
    // Shorthands for what a rule depends on.
    const QSet<qint64>* Items() const { return m_changed ? &m_changed->items : nullptr; }
    const QSet<qint64>* Connections() const { return m_changed ? &m_changed->connections : nullptr; }
    const QSet<qint64>* Texts() const { return m_changed ? &m_changed->texts : nullptr; }
    bool Changed(bool ChangedRows::*part) const { return !m_changed || m_changed->*part; }
    bool Has(const char* table) const { return m_db.HasTable(QString::fromLatin1(table)); }
    bool HasColumn(const char* table, const char* column) const {
        return m_db.HasColumn(QString::fromLatin1(table), QString::fromLatin1(column));
    }

    void References();
    void Orphans();
    void UnitClassKinds();
    void Values();
    void DataTypes();
    void Structures();
    void Addresses();
    // The installation names a server or NodeSet2 file for the device's ProgID.
    bool HasAddressSpace(const QString& progIdField, const QVariant& blobMode) const;
    void Notes();
    void MissingLanguages();

    db::Connection& m_db;
    const CheckOptions& m_options;
    const ChangedRows* m_changed;
    std::vector<Finding> m_findings;
    std::map<QString, std::optional<QSet<qint64>>> m_covered;
};

// "PLC1:Line1.Motor1.Speed", "#7:Speed" when the device is gone; the
// internal variables (device 0, which has no row) under their node's name.
QString ItemObjectSql() {
    return QStringLiteral("COALESCE(d.Name, CASE WHEN i.DeviceID = 0 THEN '%1' ELSE '#' || i.DeviceID END) || ':' || "
                          "COALESCE(i.Name, i.ItemAccess, '#' || i.ID)")
        .arg(Text(506).replace(u'\'', QStringLiteral("''")));
}
const QString kItemsWithDevice = QStringLiteral("TpdbItems i LEFT JOIN TpdbDevices d ON d.ID = i.DeviceID");

void Checker::References() {
    const QString kItemObject = ItemObjectSql();
    ForRows("PV101", ObjectKind::Item,
            QStringLiteral("SELECT i.ID, %1 FROM %2 WHERE NOT EXISTS (SELECT 1 FROM TpdbConnections c JOIN TpdbGroups g "
                           "ON g.ID = c.GroupID WHERE c.ItemID = i.ID) ORDER BY i.ID")
                .arg(kItemObject, kItemsWithDevice),
            [](db::Cursor&) { return Message(9390); }, "i.ID", Items(), Changed(&ChangedRows::groups));
    ForRows("PV102", ObjectKind::Item,
            QStringLiteral("SELECT i.ID, %1, i.DeviceID FROM %2 WHERE d.ID IS NULL AND i.DeviceID <> 0 ORDER BY i.ID").arg(kItemObject, kItemsWithDevice),
            [](db::Cursor& row) { return Message(9391, Missing(row.Value(2))); }, "i.ID", Items(),
            Changed(&ChangedRows::devices));
    ForRows("PV103", ObjectKind::Item,
            QStringLiteral("SELECT i.ID, %1, i.StructID FROM %2 WHERE (i.DataType = %3 OR i.StructID <> 0) AND NOT EXISTS "
                           "(SELECT 1 FROM TpdbStructDefs s WHERE s.ID = i.StructID) ORDER BY i.ID")
                .arg(kItemObject, kItemsWithDevice)
                .arg(kStructureType),
            [](db::Cursor& row) { return Message(9392, Missing(row.Value(2))); }, "i.ID", Items(),
            Changed(&ChangedRows::structures));
    const auto unitClass = [&](const char* code, const char* column, int text) {
        ForRows(code, ObjectKind::Item,
                QStringLiteral("SELECT i.ID, %1, i.%3 FROM %2 WHERE i.%3 <> 0 AND NOT EXISTS (SELECT 1 FROM "
                               "TpdbUnitClasses u WHERE u.ID = i.%3) ORDER BY i.ID")
                    .arg(kItemObject, kItemsWithDevice, QString::fromLatin1(column)),
                [text](db::Cursor& row) { return Message(text, Missing(row.Value(2))); }, "i.ID", Items(),
                Changed(&ChangedRows::unitClasses));
    };
    unitClass("PV104", "UnitClassIDItemDependent", 9393);
    unitClass("PV105", "UnitClassIDDisplayDependent", 9394);
}

void Checker::Orphans() {
    ForRows("PV106", ObjectKind::Connection,
            QStringLiteral("SELECT c.ID, 'TpdbConnections #' || c.ID, c.GroupID FROM TpdbConnections c WHERE NOT EXISTS "
                           "(SELECT 1 FROM TpdbGroups g WHERE g.ID = c.GroupID) ORDER BY c.ID"),
            [](db::Cursor& row) { return Message(9395, Missing(row.Value(2))); }, "c.ID", Connections(),
            Changed(&ChangedRows::groups));
    ForRows("PV107", ObjectKind::Connection,
            QStringLiteral("SELECT c.ID, 'TpdbConnections #' || c.ID, c.ItemID FROM TpdbConnections c WHERE NOT EXISTS "
                           "(SELECT 1 FROM TpdbItems i WHERE i.ID = c.ItemID) ORDER BY c.ID"),
            [](db::Cursor& row) { return Message(9396, Missing(row.Value(2))); }, "c.ID", Connections());
    const auto ofItems = [&](const char* code, const char* table, ObjectKind kind, int text) {
        if (!Has(table)) return;
        ForRows(code, kind,
                QStringLiteral("SELECT t.ItemID, '%1 #' || t.ItemID FROM %1 t WHERE NOT EXISTS (SELECT 1 FROM TpdbItems i "
                               "WHERE i.ID = t.ItemID) ORDER BY t.ItemID")
                    .arg(QString::fromLatin1(table)),
                [text](db::Cursor& row) { return Message(text, Missing(row.Value(0))); }, "t.ItemID", Items());
    };
    ofItems("PV108", "TpdbSimulation", ObjectKind::Simulation, 9397);
    ofItems("PV109", "TpdbAlign", ObjectKind::Redundancy, 9398);
    if (Has("TidxTexts") && Has("TidxGroups")) {
        // Texts of the items group (and the groups below it) that nothing uses.
        QStringList users;
        if (HasColumn("TpdbItems", "TextID")) users << QStringLiteral("SELECT TextID FROM TpdbItems WHERE TextID > 0");
        if (HasColumn("TpdbStructMembers", "TextID"))
            users << QStringLiteral("SELECT TextID FROM TpdbStructMembers WHERE TextID > 0");
        if (!users.isEmpty())
            ForRows("PV110", ObjectKind::Text,
                    QStringLiteral("WITH RECURSIVE items(ID) AS (SELECT ID FROM TidxGroups WHERE ParentID = 0 AND Type = %1 "
                                   "UNION SELECT g.ID FROM TidxGroups g JOIN items ON g.ParentID = items.ID), used(ID) AS "
                                   "(%2) SELECT t.ID, 'TidxTexts #' || t.ID, t.Name FROM TidxTexts t WHERE t.ParentID IN "
                                   "(SELECT ID FROM items) AND t.ID NOT IN (SELECT ID FROM used) ORDER BY t.ID")
                        .arg(kItemsGroupType)
                        .arg(users.join(QStringLiteral(" UNION "))),
                    [](db::Cursor& row) { return Message(9399, row.Value(2).toString()); }, "t.ID", Texts());
    }
    ForRows("PV111", ObjectKind::Member,
            QStringLiteral("SELECT m.ID, '#' || m.ParentID || '.' || m.Name, m.ParentID FROM TpdbStructMembers m WHERE NOT "
                           "EXISTS (SELECT 1 FROM TpdbStructDefs s WHERE s.ID = m.ParentID) ORDER BY m.ID"),
            [](db::Cursor& row) { return Message(9400, Missing(row.Value(2))); }, "m.ID", nullptr,
            Changed(&ChangedRows::structures));
}

void Checker::UnitClassKinds() {
    const QString kItemObject = ItemObjectSql();
    const auto kind = [&](const char* code, const char* column, int switchType, int text) {
        ForRows(code, ObjectKind::Item,
                QStringLiteral("SELECT i.ID, %1, u.Name FROM %2 JOIN TpdbUnitClasses u ON u.ID = i.%3 WHERE i.%3 <> 0 AND "
                               "u.SwitchType <> %4 ORDER BY i.ID")
                    .arg(kItemObject, kItemsWithDevice, QString::fromLatin1(column))
                    .arg(switchType),
                [text](db::Cursor& row) { return Message(text, row.Value(2).toString()); }, "i.ID", Items(),
                Changed(&ChangedRows::unitClasses));
    };
    kind("PV201", "UnitClassIDItemDependent", 0, 9401);
    kind("PV202", "UnitClassIDDisplayDependent", 1, 9402);
}

void Checker::Values() {
    const QString kItemObject = ItemObjectSql();
    ForRows("PV203", ObjectKind::Item,
            QStringLiteral("SELECT i.ID, %1, i.MinVal, i.MaxVal FROM %2 WHERE i.MinVal > i.MaxVal AND NOT (i.MinVal = 0 AND "
                           "i.MaxVal = 0) ORDER BY i.ID")
                .arg(kItemObject, kItemsWithDevice),
            [](db::Cursor& row) {
                return Message(9403, QString(), Number(row.Value(2).toDouble()), Number(row.Value(3).toDouble()));
            },
            "i.ID", Items());
}

void Checker::DataTypes() {
    const QString kItemObject = ItemObjectSql();
    if (!Wanted("PV204")) return;
    QStringList known;
    for (const auto& row : model::CVT_Types::Table()) known << QString::number(row.code);
    const QString list = known.join(u',');
    ForRows("PV204", ObjectKind::Item,
            QStringLiteral("SELECT i.ID, %1, i.DataType FROM %2 WHERE i.DataType NOT IN (%3) ORDER BY i.ID")
                .arg(kItemObject, kItemsWithDevice, list),
            [](db::Cursor& row) { return Message(9404, row.Value(2).toString()); }, "i.ID", Items());
    ForRows("PV204", ObjectKind::Member,
            QStringLiteral("SELECT m.ID, COALESCE(s.Name, '#' || m.ParentID) || '.' || m.Name, m.DataType FROM "
                           "TpdbStructMembers m LEFT JOIN TpdbStructDefs s ON s.ID = m.ParentID WHERE m.DataType NOT IN "
                           "(%1) ORDER BY m.ID")
                .arg(list),
            [](db::Cursor& row) { return Message(9404, row.Value(2).toString()); }, "m.ID", nullptr,
            Changed(&ChangedRows::structures));
}

// The structures as the layout rules see them.
struct StoredMember {
    qint64 id = 0;
    QString name;
    double order = 0;
    int dataType = 0;
    int structId = 0;
    int fieldSize = 0;
};
struct StoredStructure {
    QString name;
    bool byOffset = false;
    std::vector<StoredMember> members;
};

// Bytes of one value of an elementary type; 0 for a bit or an unknown type.
int ElementaryBytes(int dataType) {
    switch (dataType) {
        case 2: case 18: return 2;
        case 3: case 4: case 19: return 4;
        case 5: case 7: case 20: case 21: return 8;
        case 11: case 16: case 17: return 1;
        default: return 0;
    }
}

void Checker::Structures() {
    const bool overlaps = Wanted("PV301"), cycles = Wanted("PV302"), gone = Wanted("PV303");
    if ((!overlaps && !cycles && !gone) || !Changed(&ChangedRows::structures)) return;
    // All of them at once: projects hold few structures.
    if (overlaps) ReachOf("PV301", ObjectKind::Member, true, nullptr);
    if (cycles) ReachOf("PV302", ObjectKind::Structure, true, nullptr);
    if (gone) ReachOf("PV303", ObjectKind::Member, true, nullptr);
    std::map<int, StoredStructure> structures;
    {
        db::Cursor rows(m_db, QStringLiteral("SELECT ID, Name, OrderByOffset FROM TpdbStructDefs"));
        while (rows.Next()) structures[rows.Value(0).toInt()] = {rows.Value(1).toString(), rows.Value(2).toInt() != 0, {}};
    }
    {
        db::Cursor rows(m_db, QStringLiteral("SELECT ID, ParentID, Name, OrderNum, DataType, StructID, FieldSize FROM "
                                             "TpdbStructMembers ORDER BY ParentID, OrderNum, ID"));
        while (rows.Next()) {
            const auto owner = structures.find(rows.Value(1).toInt());
            if (owner == structures.end()) continue;  // an orphan, found above
            owner->second.members.push_back({rows.Value(0).toLongLong(), rows.Value(2).toString(), rows.Value(3).toDouble(),
                                             rows.Value(4).toInt(), rows.Value(5).toInt(), rows.Value(6).toInt()});
        }
    }
    const auto memberObject = [](const StoredStructure& s, const StoredMember& m) { return s.name + u'.' + m.name; };
    // Cycles: a structure is on one when it reaches itself through its
    // members' types. Each is named once, with the shortest way round.
    const auto uses = [&](int id) {
        std::vector<int> used;
        for (const StoredMember& member : structures[id].members)
            if (member.dataType == kStructureType && structures.contains(member.structId)) used.push_back(member.structId);
        return used;
    };
    QSet<int> onCycle;
    for (const auto& [id, structure] : structures) {
        // Breadth first from the structure's members; the first way back is the shortest.
        std::map<int, int> cameFrom;
        std::vector<int> level{id};
        bool back = false;
        while (!level.empty() && !back) {
            std::vector<int> next;
            for (const int at : level) {
                for (const int used : uses(at)) {
                    if (used == id) {
                        cameFrom[id] = at;
                        back = true;
                        break;
                    }
                    if (cameFrom.contains(used)) continue;
                    cameFrom[used] = at;
                    next.push_back(used);
                }
                if (back) break;
            }
            level = std::move(next);
        }
        if (!back) continue;
        onCycle.insert(id);
        if (!cycles) continue;
        QStringList names{structure.name};
        for (int at = cameFrom[id]; at != id; at = cameFrom[at]) names.prepend(structures[at].name);
        names.prepend(structure.name);
        Add("PV302", ObjectKind::Structure, id, structure.name, Message(9406, names.join(QStringLiteral(" > "))));
    }

    // Sizes of the structures not on a cycle, for the overlaps.
    std::map<int, double> sizes;
    const std::function<double(int, int)> sizeOf = [&](int id, int depth) -> double {
        if (onCycle.contains(id) || depth > 64 || !structures.contains(id)) return 0;
        if (const auto known = sizes.find(id); known != sizes.end()) return known->second;
        double end = 0;
        for (const StoredMember& m : structures[id].members) {
            const double elements = std::max(1, m.fieldSize);
            double bytes = m.dataType == kStructureType ? sizeOf(m.structId, depth + 1) * elements
                           : m.dataType == 8            ? m.fieldSize + 1
                           : m.dataType == kBitType     ? 0
                                                        : ElementaryBytes(m.dataType) * elements;
            end = std::max(end, std::floor(m.order) + std::max(bytes, 1.0));
        }
        return sizes[id] = end;
    };
    for (const auto& [id, structure] : structures) {
        for (const StoredMember& member : structure.members)
            if (gone && member.dataType == kStructureType && !structures.contains(member.structId))
                Add("PV303", ObjectKind::Member, member.id, memberObject(structure, member), Message(9407, Missing(member.structId)));
        if (!overlaps || !structure.byOffset) continue;
        // Bits by byte and bit, bytes by their range; members sorted by order number.
        struct Span {
            double from, to;  // bytes [from, to); a bit: to = from
            int bit = -1;
            const StoredMember* member;
        };
        std::vector<Span> spans;
        for (const StoredMember& m : structure.members) {
            const double byte = std::floor(m.order);
            if (m.dataType == kBitType) {
                const int first = static_cast<int>(std::lround((m.order - byte) * 10));
                // An array of bits runs on through the following bits and bytes.
                const int count = std::max(1, m.fieldSize);
                const double endBit = byte * 8 + first + count;
                spans.push_back({byte * 8 + first, endBit, first, &m});
                continue;
            }
            const double elements = std::max(1, m.fieldSize);
            const double bytes = m.dataType == kStructureType ? sizeOf(m.structId, 0) * elements
                                 : m.dataType == 8            ? m.fieldSize + 1
                                                              : ElementaryBytes(m.dataType) * elements;
            if (bytes <= 0) continue;
            spans.push_back({byte * 8, (byte + bytes) * 8, -1, &m});
        }
        // In bits; two spans overlap when each starts before the other ends.
        std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.from < b.from; });
        for (std::size_t i = 1; i < spans.size(); ++i)
            for (std::size_t j = 0; j < i; ++j)
                if (spans[j].to > spans[i].from) {
                    Add("PV301", ObjectKind::Member, spans[i].member->id, memberObject(structure, *spans[i].member),
                        Message(9405, spans[j].member->name));
                    break;
                }
    }
}

bool Checker::HasAddressSpace(const QString& progIdField, const QVariant& blobMode) const {
    if (!m_options.registry || model::blobmode::Kind(model::blobmode::FromStored(blobMode)) == model::blobmode::kOwnDriver)
        return false;
    QString error;
    const auto [progId, computer] = opc::SplitServerProgId(progIdField);
    const auto address = opc::RegisteredSource(*m_options.registry, model::ParseOpcServerProgId(progId).VersionedProgId(), &error);
    return address && (!address->endpoint.isEmpty() || !address->nodeSetFile.isEmpty());
}

void Checker::Addresses() {
    const bool tools = Wanted("PV401"), spaces = Wanted("PV402");
    if (!tools && !spaces) return;
    // A re-check looks at the changed items, all of them when devices changed.
    const bool whole = Changed(&ChangedRows::devices);
    const Reach reach = ReachOf("PV401", ObjectKind::Item, whole, Items());
    ReachOf("PV402", ObjectKind::Item, whole, Items());
    if (reach == Reach::None) return;
    const QString only = reach == Reach::Some ? QStringLiteral(" AND ID IN (%1)").arg(IdList(*Items())) : QString();
    components::RegisterOwnComponents();
    sys::ProjectSettings settings;
    const bool hasSettings = m_options.registry && !m_options.projectArgument.isEmpty() &&
                             settings.Open(m_options.projectArgument, *m_options.registry);
    db::Cursor devices(m_db, QStringLiteral("SELECT ID, Name, ProgID, ProgIDConfigTool, BlobMode FROM TpdbDevices ORDER BY ID"));
    while (devices.Next()) {
        const int deviceId = devices.Value(0).toInt();
        const QString deviceName = devices.Value(1).toString();
        std::unique_ptr<sys::Component> tool;
        // The address space of the device's server file or PLC program, by item ID (case-folded).
        std::optional<QSet<QString>> space;
        QString spaceName;
        if (spaces) {
            const QString program = hasSettings ? settings.Read(QStringLiteral("PlcProgram"), QString::number(deviceId)) : QString();
            QString error;
            if (!program.isEmpty()) {
                if (auto read = plc::ReadPlcProgramFile(program, &error)) {
                    space.emplace();
                    for (const plc::PlcVariable& variable : read->variables) space->insert(opc::PlcItemId(variable).toCaseFolded());
                    spaceName = program;
                }
            } else if (m_options.registry &&
                       model::blobmode::Kind(model::blobmode::FromStored(devices.Value(4))) != model::blobmode::kOwnDriver) {
                const auto [progId, computer] = opc::SplitServerProgId(devices.Value(2).toString());
                const auto address =
                    opc::RegisteredSource(*m_options.registry, model::ParseOpcServerProgId(progId).VersionedProgId(), &error);
                opc::NodeSet set;
                if (address && address->endpoint.isEmpty() && !address->nodeSetFile.isEmpty() &&
                    set.Load(address->nodeSetFile, &error)) {
                    space.emplace();
                    std::vector<QString> pending{opc::kObjectsFolder};
                    QSet<QString> seen;
                    while (!pending.empty()) {
                        const QString parent = pending.back();
                        pending.pop_back();
                        for (const opc::OpcNode& node : set.Children(parent)) {
                            if (seen.contains(node.nodeId)) continue;
                            seen.insert(node.nodeId);
                            if (node.isVariable) space->insert(node.nodeId.toCaseFolded());
                            if (node.hasChildren) pending.push_back(node.nodeId);
                        }
                    }
                    spaceName = address->nodeSetFile;
                }
            }
        }
        // A device whose server has no address space gets its items by address, through its tool.
        const bool addressed = !space && !HasAddressSpace(devices.Value(2).toString(), devices.Value(4));
        if (tools && addressed && !devices.Value(3).toString().trimmed().isEmpty())
            tool = sys::ComponentRegistry::Instance().Create(devices.Value(3).toString().trimmed());
        if (!tool && !space) continue;
        db::Cursor items(m_db, QStringLiteral("SELECT ID, COALESCE(Name, ItemAccess), ItemAccess FROM TpdbItems WHERE "
                                              "DeviceID = %1%2 ORDER BY ID")
                                   .arg(deviceId)
                                   .arg(only));
        while (items.Next()) {
            const QString itemId = items.Value(2).toString();
            const QString object = deviceName + u':' + items.Value(1).toString();
            if (tool) {
                QVariant types;
                sys::CallError error;
                if (tool->Invoke(QStringLiteral("GetItemVTList"), {itemId}, &types, &error) && types.toList().isEmpty())
                    Add("PV401", ObjectKind::Item, items.Value(0).toLongLong(), object, Message(9408, itemId));
            }
            if (space && !space->contains(itemId.toCaseFolded()))
                Add("PV402", ObjectKind::Item, items.Value(0).toLongLong(), object, Message(9409, itemId, spaceName));
        }
    }
}

void Checker::Notes() {
    const QString kItemObject = ItemObjectSql();
    if (Has("TpdbSimulation"))
        ForRows("PV501", ObjectKind::Item,
                QStringLiteral("SELECT i.ID, %1 FROM %2 JOIN TpdbSimulation s ON s.ItemID = i.ID WHERE d.Enabled = 0 "
                               "ORDER BY i.ID")
                    .arg(kItemObject, kItemsWithDevice),
                [](db::Cursor&) { return Message(9410); }, "i.ID", Items(), Changed(&ChangedRows::devices));
    // Whether a group or device has items at all: looked at whole, groups and devices are few.
    const bool itemsMoved = m_changed && (!m_changed->items.isEmpty() || !m_changed->connections.isEmpty());
    ForRows("PV502", ObjectKind::Group,
            QStringLiteral("SELECT g.ID, g.Name FROM TpdbGroups g WHERE NOT EXISTS (SELECT 1 FROM TpdbConnections c JOIN "
                           "TpdbItems i ON i.ID = c.ItemID WHERE c.GroupID = g.ID) ORDER BY g.ID"),
            [](db::Cursor&) { return Message(9411); }, "g.ID", nullptr, Changed(&ChangedRows::groups) || itemsMoved);
    ForRows("PV503", ObjectKind::Device,
            QStringLiteral("SELECT d.ID, d.Name FROM TpdbDevices d WHERE NOT EXISTS (SELECT 1 FROM TpdbItems i WHERE "
                           "i.DeviceID = d.ID) ORDER BY d.ID"),
            [](db::Cursor&) { return Message(9412); }, "d.ID", nullptr, Changed(&ChangedRows::devices) || itemsMoved);
    MissingLanguages();
}

void Checker::MissingLanguages() {
    if (!Wanted("PV504") || !Has("TidxTexts") || !Has("TcfgLanguages") || !Has("TidxGroups")) return;
    const Reach reach = ReachOf("PV504", ObjectKind::Text, false, Texts());
    if (reach == Reach::None) return;
    const QString only = reach == Reach::Some ? QStringLiteral(" AND t.ID IN (%1)").arg(IdList(*Texts())) : QString();
    QStringList columns;
    {
        db::Cursor languages(m_db, QStringLiteral("SELECT LCID FROM TcfgLanguages ORDER BY LCID"));
        while (languages.Next()) {
            const QString column = QStringLiteral("L") + languages.Value(0).toString();
            if (m_db.HasColumn(QStringLiteral("TidxTexts"), column)) columns << column;
        }
    }
    if (columns.size() < 2) return;
    QStringList empty, filled;
    for (const QString& column : columns) {
        empty << QStringLiteral("COALESCE(%1, '') = ''").arg(column);
        filled << QStringLiteral("COALESCE(%1, '') <> ''").arg(column);
    }
    db::Cursor rows(m_db, QStringLiteral("WITH RECURSIVE items(ID) AS (SELECT ID FROM TidxGroups WHERE ParentID = 0 AND "
                                         "Type = %1 UNION SELECT g.ID FROM TidxGroups g JOIN items ON g.ParentID = items.ID) "
                                         "SELECT t.ID, 'TidxTexts #' || t.ID || ' ' || COALESCE(t.Name, ''), %2 FROM TidxTexts t "
                                         "WHERE t.ParentID IN (SELECT ID FROM items) AND (%3) AND (%4)%5 ORDER BY t.ID")
                                  .arg(kItemsGroupType)
                                  .arg(columns.join(u','), empty.join(QStringLiteral(" OR ")), filled.join(QStringLiteral(" OR ")), only));
    while (rows.Next())
        for (int c = 0; c < columns.size(); ++c)
            if (rows.Value(2 + c).toString().isEmpty())
                Add("PV504", ObjectKind::Text, rows.Value(0).toLongLong(), rows.Value(1).toString(),
                    Message(9413, columns[c].mid(1)));
}

std::vector<Finding> Checker::Run() {
    const std::function<void()> steps[] = {[this] { References(); }, [this] { Orphans(); },
                                           [this] { UnitClassKinds(); }, [this] { Values(); },
                                           [this] { DataTypes(); },  [this] { Structures(); },
                                           [this] { Addresses(); },  [this] { Notes(); }};
    const int total = static_cast<int>(std::size(steps));
    for (int i = 0; i < total; ++i) {
        if (m_options.progress && !m_options.progress(i, total)) break;
        steps[i]();
    }
    if (m_options.progress) m_options.progress(total, total);
    std::stable_sort(m_findings.begin(), m_findings.end(), InListOrder);
    return std::move(m_findings);
}

}  // namespace

QString SeverityName(Severity severity) {
    switch (severity) {
        case Severity::Error: return QStringLiteral("error");
        case Severity::Warning: return QStringLiteral("warning");
        case Severity::Note: return QStringLiteral("note");
    }
    return QString();
}

QString KindName(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::Item: return QStringLiteral("item");
        case ObjectKind::Device: return QStringLiteral("device");
        case ObjectKind::Group: return QStringLiteral("group");
        case ObjectKind::Connection: return QStringLiteral("connection");
        case ObjectKind::Structure: return QStringLiteral("structure");
        case ObjectKind::Member: return QStringLiteral("member");
        case ObjectKind::UnitClass: return QStringLiteral("unitClass");
        case ObjectKind::Simulation: return QStringLiteral("simulation");
        case ObjectKind::Redundancy: return QStringLiteral("redundancy");
        case ObjectKind::Text: return QStringLiteral("text");
    }
    return QString();
}

std::optional<Severity> SeverityFromName(const QString& name) {
    for (const Severity severity : {Severity::Error, Severity::Warning, Severity::Note})
        if (name.compare(SeverityName(severity), Qt::CaseInsensitive) == 0) return severity;
    return std::nullopt;
}

std::span<const Rule> Rules() { return kRules; }

QString UnknownRule(const QStringList& codes) {
    for (const QString& code : codes) {
        const bool known = std::any_of(std::begin(kRules), std::end(kRules),
                                       [&](const Rule& rule) { return code.compare(QLatin1String(rule.code), Qt::CaseInsensitive) == 0; });
        if (!known) return code;
    }
    return QString();
}

std::vector<Finding> CheckProject(db::Connection& connection, const CheckOptions& options) {
    return Checker(connection, options).Run();
}

ChangedRows ChangedRowsOf(const db::Changeset& changes) {
    ChangedRows changed;
    const auto id = [](const QVariant& value) { return value.toLongLong(); };
    for (const db::Changeset::Row& row : changes.Rows()) {
        const QString& table = row.table;
        const QVariantList& v = row.values;
        if (v.isEmpty()) continue;
        if (table == QLatin1String("TpdbItems")) {
            changed.items.insert(id(v[0]));
        } else if (table == QLatin1String("TpdbConnections")) {
            changed.connections.insert(id(v[0]));
            // The connection's item (unknown for an update that kept it: then the group changed, seen in the connection).
            if (v.size() > 2 && v[2].isValid()) changed.items.insert(id(v[2]));
        } else if (table == QLatin1String("TpdbSimulation") || table == QLatin1String("TpdbAlign")) {
            changed.items.insert(id(v[0]));
        } else if (table == QLatin1String("TidxTexts")) {
            changed.texts.insert(id(v[0]));
        } else if (table == QLatin1String("TpdbDevices")) {
            changed.devices = true;
        } else if (table == QLatin1String("TpdbGroups")) {
            changed.groups = true;
        } else if (table == QLatin1String("TpdbStructDefs") || table == QLatin1String("TpdbStructMembers")) {
            changed.structures = true;
        } else if (table == QLatin1String("TpdbUnitClasses") || table == QLatin1String("TpdbUnits")) {
            changed.unitClasses = true;
        } else if (table == QLatin1String("TcfgLanguages") || table == QLatin1String("TidxGroups")) {
            changed.everything = true;
        }
    }
    if (changed.items.size() + changed.connections.size() + changed.texts.size() > kMostScopedRows) changed.everything = true;
    return changed;
}

Recheck CheckChanged(db::Connection& connection, const ChangedRows& changed, const CheckOptions& options) {
    Checker checker(connection, options, &changed);
    Recheck recheck;
    recheck.findings = checker.Run();
    recheck.covered = checker.Covered();
    return recheck;
}

std::vector<Finding> Merge(const std::vector<Finding>& before, const Recheck& recheck) {
    std::vector<Finding> merged;
    for (const Finding& finding : before) {
        const auto covered = recheck.covered.find(CoveredKey(finding.code, finding.kind));
        const bool lookedAt = covered != recheck.covered.end() && (!covered->second || covered->second->contains(finding.id));
        if (!lookedAt) merged.push_back(finding);
    }
    merged.insert(merged.end(), recheck.findings.begin(), recheck.findings.end());
    std::stable_sort(merged.begin(), merged.end(), InListOrder);
    return merged;
}

int RepairOrphans(db::Connection& connection, const std::vector<Finding>& findings) {
    int deleted = 0;
    connection.InTransaction([&] {
        for (const Finding& finding : findings) {
            if (!finding.repairable) continue;
            const QVariant id = finding.id;
            switch (finding.kind) {
                case ObjectKind::Item:
                    // An item of no device, with what belongs to it.
                    if (connection.HasColumn(QStringLiteral("TpdbItems"), QStringLiteral("TextID")) &&
                        connection.HasTable(QStringLiteral("TidxTexts")))
                        deleted += static_cast<int>(connection.Execute(
                            QStringLiteral("DELETE FROM TidxTexts WHERE ID IN (SELECT TextID FROM TpdbItems WHERE ID = ? AND "
                                           "TextID > 0)"),
                            {id}));
                    deleted += static_cast<int>(connection.Execute(QStringLiteral("DELETE FROM TpdbConnections WHERE ItemID = ?"), {id}));
                    for (const char* table : {"TpdbSimulation", "TpdbAlign"})
                        if (connection.HasTable(QString::fromLatin1(table)))
                            deleted += static_cast<int>(connection.Execute(
                                QStringLiteral("DELETE FROM %1 WHERE ItemID = ?").arg(QString::fromLatin1(table)), {id}));
                    deleted += static_cast<int>(connection.Execute(QStringLiteral("DELETE FROM TpdbItems WHERE ID = ?"), {id}));
                    break;
                case ObjectKind::Connection:
                    deleted += static_cast<int>(connection.Execute(QStringLiteral("DELETE FROM TpdbConnections WHERE ID = ?"), {id}));
                    break;
                case ObjectKind::Simulation:
                    deleted += static_cast<int>(connection.Execute(QStringLiteral("DELETE FROM TpdbSimulation WHERE ItemID = ?"), {id}));
                    break;
                case ObjectKind::Redundancy:
                    deleted += static_cast<int>(connection.Execute(QStringLiteral("DELETE FROM TpdbAlign WHERE ItemID = ?"), {id}));
                    break;
                case ObjectKind::Text:
                    deleted += static_cast<int>(connection.Execute(QStringLiteral("DELETE FROM TidxTexts WHERE ID = ?"), {id}));
                    break;
                case ObjectKind::Member:
                    deleted += static_cast<int>(connection.Execute(QStringLiteral("DELETE FROM TpdbStructMembers WHERE ID = ?"), {id}));
                    break;
                default: break;
            }
        }
    });
    return deleted;
}

}  // namespace ov::check
