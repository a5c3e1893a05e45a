#include "opc/BrowseApply.h"

#include "model/CVT_Types.h"
#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "platform/db/DbError.h"
#include "settings/TextTable.h"

#include <QHash>
#include <QSet>

namespace ov::opc {

using settings::Text;

namespace {

constexpr int kDefaultGroup = 1;  // every item taken from a server or program joins it
constexpr int kStructure = model::CVT_Types::kStructure;
constexpr std::size_t kChunk = 500;

// How far a phase got: the items written and whether one was refused.
struct PhaseResult {
    int written = 0;
    bool failed = false;
};

void Begin(const ApplyHooks& hooks, int status, std::size_t steps) {
    if (hooks.phase) hooks.phase(Text(status), static_cast<int>(steps));
}
void Step(const ApplyHooks& hooks) {
    if (hooks.step) hooks.step();
}

// How many new items are written under one savepoint (see RunPhase).
constexpr std::size_t kBatch = 1000;

// Whether the items of a batch before a refused one may be written again
// once the batch was rolled back: not after a failure of the database file
// itself (a full disk, an I/O error, a stop), after which the database may
// have rolled back the phase's whole transaction.
bool OnlyTheItemFailed(const std::exception& e) {
    const auto* error = dynamic_cast<const db::DbError*>(&e);
    return !error || error->Number() != db::err::Fail;
}

// Runs one phase in its transaction with each item and what belongs to it
// (its connection, its texts) as one unit: an item the database refuses is
// rolled back alone, the items before it are committed, and the phase stops
// there with the item and the database's words in detail. Each unit kept is
// a step.
//
// With batch above 1 that many units share one savepoint: a savepoint per
// item costs more than the item's rows, as the database first copies aside
// every page the item touches. When an item of a batch is refused, the
// batch is rolled back, the items before the refused one are written again
// and the refused one alone after them, so the same items are kept as one
// at a time. Only for writes that change nothing but rows.
PhaseResult RunPhase(db::Connection& connection, std::size_t count, std::size_t batch, const ApplyHooks& hooks,
                     const std::function<void(std::size_t)>& write,
                     const std::function<QString(std::size_t)>& nameOf, QString* detail) {
    PhaseResult result;
    try {
        connection.InTransaction([&] {
            std::size_t refused = count;
            for (std::size_t begin = 0; begin < count;) {
                std::size_t end = std::min(count, begin + batch);
                if (refused >= begin && refused < end) end = refused == begin ? begin + 1 : refused;
                std::size_t at = begin;
                try {
                    connection.InTransaction([&] {
                        for (; at < end; ++at) write(at);
                    });
                } catch (const std::exception& e) {
                    // A release that failed after every write names the batch's last unit.
                    at = std::min(at, end - 1);
                    if (end - begin > 1 && OnlyTheItemFailed(e)) {
                        refused = at;
                        continue;
                    }
                    *detail = Text(9269).replace(QStringLiteral("<i>"), nameOf(at)).replace(QStringLiteral("<r>"),
                                                                                          QString::fromUtf8(e.what()));
                    result.failed = true;
                    return;
                }
                for (std::size_t i = begin; i < end; ++i) Step(hooks);
                result.written += static_cast<int>(end - begin);
                begin = end;
            }
        });
    } catch (const std::exception& e) {
        // Not even what came before could be kept.
        if (!result.failed) *detail = QString::fromUtf8(e.what());
        return {0, true};
    }
    return result;
}

// The project's items of a device by their name and by their item ID (the
// name view may hold an item ID more than once), compared without regard to
// letter case as the database does.
struct DeviceItems {
    QHash<QString, int> byName;
    QHash<QString, std::vector<int>> byItemId;

    DeviceItems(db::Connection& connection, int deviceId) {
        db::Cursor rows(connection,
                        QStringLiteral("SELECT ID, Name, ItemAccess FROM TpdbItems WHERE DeviceID = %1").arg(deviceId));
        while (rows.Next()) {
            const int id = rows.Value(0).toInt();
            byName.insert(rows.Value(1).toString().toCaseFolded(), id);
            byItemId[rows.Value(2).toString().toCaseFolded()].push_back(id);
        }
    }
    // The rows of an item of the lists: found by item ID in the name view,
    // where the person may have renamed it, else by name.
    std::vector<int> Find(const BrowseItem& item, bool nameView) const {
        if (nameView) return byItemId.value(item.itemId.toCaseFolded());
        const auto it = byName.constFind(item.name.toCaseFolded());
        return it == byName.cend() ? std::vector<int>{} : std::vector<int>{*it};
    }
};

// The project's structures by case-folded name.
QHash<QString, int> StructureIds(db::Connection& connection) {
    QHash<QString, int> ids;
    db::Cursor rows(connection, QStringLiteral("SELECT ID, Name FROM TpdbStructDefs"));
    while (rows.Next()) ids.insert(rows.Value(1).toString().toCaseFolded(), rows.Value(0).toInt());
    return ids;
}

std::vector<StoredMember> StoredMembers(db::Connection& connection, int structureId) {
    std::vector<StoredMember> members;
    db::Cursor rows(connection, QStringLiteral("SELECT m.Name, m.OrderNum, m.DataType, s.Name, m.FieldSize FROM "
                                               "TpdbStructMembers m LEFT JOIN TpdbStructDefs s ON s.ID = m.StructID "
                                               "AND m.DataType = %1 WHERE m.ParentID = %2")
                                    .arg(kStructure)
                                    .arg(structureId));
    while (rows.Next())
        members.push_back({rows.Value(0).toString(), rows.Value(1).toDouble(), rows.Value(2).toInt(),
                           rows.Value(3).toString(), rows.Value(4).toInt()});
    return members;
}

// The program's structures to write: those the new and differing items use,
// those of a name the project has (compared, whatever uses them), and those
// these use in turn; in the program's order (a structure after those it uses).
std::vector<const plc::PlcStructure*> StructuresToWrite(const std::vector<plc::PlcStructure>& structures,
                                                       const BrowseLists& lists, const QHash<QString, int>& stored) {
    QHash<QString, const plc::PlcStructure*> byName;
    for (const plc::PlcStructure& structure : structures) byName.insert(structure.name.toCaseFolded(), &structure);
    QSet<QString> used;
    std::vector<QString> pending;
    for (const auto* list : {&lists.added, &lists.inconsistent})
        for (const BrowseItem& item : *list)
            if (!item.structure.isEmpty()) pending.push_back(item.structure.toCaseFolded());
    for (const plc::PlcStructure& structure : structures)
        if (stored.contains(structure.name.toCaseFolded())) pending.push_back(structure.name.toCaseFolded());
    while (!pending.empty()) {
        const QString name = pending.back();
        pending.pop_back();
        const plc::PlcStructure* structure = byName.value(name);
        if (!structure || used.contains(name)) continue;
        used.insert(name);
        for (const plc::PlcMember& member : structure->members)
            if (!member.type.structure.isEmpty()) pending.push_back(member.type.structure.toCaseFolded());
    }
    std::vector<const plc::PlcStructure*> ordered;
    for (const plc::PlcStructure& structure : structures)
        if (used.contains(structure.name.toCaseFolded())) ordered.push_back(&structure);
    return ordered;
}

QVariant TextOrNull(const QString& text) { return text.isEmpty() ? QVariant() : QVariant(text); }

// Asks, unless an earlier answer was for all.
class Questions {
  public:
    explicit Questions(const ApplyHooks& hooks) : m_hooks(hooks) {}
    bool TakeOver(const QString& question) {
        if (m_last == Answer::Yes || m_last == Answer::No) m_last = m_hooks.ask ? m_hooks.ask(question) : Answer::YesToAll;
        return m_last == Answer::Yes || m_last == Answer::YesToAll;
    }

  private:
    const ApplyHooks& m_hooks;
    Answer m_last = Answer::Yes;
};

class Applier {
  public:
    Applier(db::Connection& connection, const ApplyRequest& request, const ApplyHooks& hooks, ApplyCounts& counts,
            QString* detail)
        : m_connection(connection), m_request(request), m_hooks(hooks), m_counts(counts), m_detail(detail),
          m_questions(hooks) {}

    bool Structures(const BrowseLists& lists);
    bool Added(const std::vector<BrowseItem>& added);
    bool Removed(const std::vector<BrowseItem>& removed);
    bool Inconsistent(const std::vector<BrowseItem>& inconsistent);

  private:
    void WriteStructure(const plc::PlcStructure& structure, int existingId);
    void WriteMember(int parentId, const plc::PlcMember& member, int memberId);
    int StructIdOf(const QString& name) const { return name.isEmpty() ? 0 : m_structureIds.value(name.toCaseFolded()); }
    QString ItemQuestion(const BrowseItem& item) const {
        return Text(m_request.structures ? 9371 : 9165).replace(QStringLiteral("<Name>"), item.name);
    }

    db::Connection& m_connection;
    const ApplyRequest& m_request;
    const ApplyHooks& m_hooks;
    ApplyCounts& m_counts;
    QString* m_detail;
    Questions m_questions;
    QHash<QString, int> m_structureIds;
};

bool Applier::Structures(const BrowseLists& lists) {
    if (!m_request.structures) return true;
    m_structureIds = StructureIds(m_connection);
    // Every answer first: no lock is held while the person thinks.
    std::vector<std::pair<const plc::PlcStructure*, int>> toWrite;  // with the ID of the one it replaces, or 0
    for (const StructurePlan::Entry& entry : PlanStructures(m_connection, *m_request.structures, lists).entries) {
        const QString question = Text(9372)
                                     .replace(QStringLiteral("<Name>"), entry.structure->name)
                                     .replace(QStringLiteral("<d>"), entry.difference);
        if (entry.storedId == 0 || m_questions.TakeOver(question)) toWrite.emplace_back(entry.structure, entry.storedId);
    }
    if (toWrite.empty()) return true;
    Begin(m_hooks, 9377, toWrite.size());
    const PhaseResult done = RunPhase(
        m_connection, toWrite.size(), 1, m_hooks,
        [&](std::size_t i) { WriteStructure(*toWrite[i].first, toWrite[i].second); },
        [&](std::size_t i) { return toWrite[i].first->name; }, m_detail);
    for (int i = 0; i < done.written; ++i) ++(toWrite[i].second == 0 ? m_counts.structuresAdded : m_counts.structuresUpdated);
    // What a refused structure's rollback took back is read again.
    if (done.failed) return false;
    return true;
}

void Applier::WriteStructure(const plc::PlcStructure& structure, int existingId) {
    int id = existingId;
    QHash<QString, int> memberIds;
    if (id == 0) {
        // The order numbers are the members' offsets in the PLC's memory.
        m_connection.Execute(QStringLiteral("INSERT INTO TpdbStructDefs (Name, OrderByOffset, Comment) VALUES (?, -1, ?)"),
                             {structure.name, TextOrNull(structure.comment)});
        id = static_cast<int>(m_connection.LastInsertId());
    } else {
        m_connection.Execute(QStringLiteral("UPDATE TpdbStructDefs SET OrderByOffset = -1 WHERE ID = ?"), {id});
        db::Cursor rows(m_connection, QStringLiteral("SELECT ID, Name FROM TpdbStructMembers WHERE ParentID = %1").arg(id));
        while (rows.Next()) memberIds.insert(rows.Value(1).toString().toCaseFolded(), rows.Value(0).toInt());
    }
    int memberChange = 0;
    for (const plc::PlcMember& member : structure.members) {
        const int memberId = memberIds.take(member.name.toCaseFolded());
        if (memberId == 0) ++memberChange;
        WriteMember(id, member, memberId);
    }
    memberChange -= static_cast<int>(memberIds.size());
    // Members the program no longer has go, with their texts.
    const bool texts = m_connection.HasColumn(QStringLiteral("TpdbStructMembers"), QStringLiteral("TextID"));
    for (const int memberId : memberIds) {
        if (texts && m_connection.HasTable(QStringLiteral("TidxTexts")))
            m_connection.Execute(QStringLiteral("DELETE FROM TidxTexts WHERE ID IN (SELECT TextID FROM TpdbStructMembers "
                                                "WHERE ID = ? AND TextID > 0)"),
                                 {memberId});
        m_connection.Execute(QStringLiteral("DELETE FROM TpdbStructMembers WHERE ID = ?"), {memberId});
    }
    m_structureIds.insert(structure.name.toCaseFolded(), id);
    if (m_hooks.structureWritten) {
        const bool added = existingId == 0;
        m_connection.AfterCommit([hook = m_hooks.structureWritten, id, name = structure.name, added, memberChange] {
            hook(id, name, added, memberChange);
        });
    }
}

void Applier::WriteMember(int parentId, const plc::PlcMember& member, int memberId) {
    const QVariant structId = StructIdOf(member.type.structure);
    if (memberId == 0) {
        m_connection.Execute(QStringLiteral("INSERT INTO TpdbStructMembers (ParentID, Name, OrderNum, DataType, StructID, "
                                            "FieldSize, Comment) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                             {parentId, member.name, member.orderNumber, member.type.dataType, structId,
                              member.type.fieldSize, TextOrNull(member.comment)});
        return;
    }
    // A member the person has kept keeps its range, units and texts.
    m_connection.Execute(QStringLiteral("UPDATE TpdbStructMembers SET Name = ?, OrderNum = ?, DataType = ?, StructID = ?, "
                                        "FieldSize = ? WHERE ID = ?"),
                         {member.name, member.orderNumber, member.type.dataType, structId, member.type.fieldSize, memberId});
}

bool Applier::Added(const std::vector<BrowseItem>& added) {
    if (added.empty()) return true;
    Begin(m_hooks, 3001, added.size());
    const bool program = m_request.structures != nullptr;
    const PhaseResult done = RunPhase(
        m_connection, added.size(), kBatch, m_hooks,
        [&](std::size_t i) {
            const BrowseItem& item = added[i];
            const QString& name = StoredName(item, m_request.nameView);
            if (program)
                m_connection.Execute(QStringLiteral("INSERT INTO TpdbItems (ItemAccess, Name, DataType, AccessRights, FieldSize, "
                                                    "AccessPath, DeviceID, StructID, Comment) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                                     {item.itemId, name, StoredDataType(item.dataType), item.accessRights, item.fieldSize,
                                      item.accessPath, m_request.deviceId, StructIdOf(item.structure), TextOrNull(item.comment)});
            else
                m_connection.Execute(QStringLiteral("INSERT INTO TpdbItems (ItemAccess, Name, DataType, AccessRights, "
                                                    "FieldSize, AccessPath, DeviceID) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                                     {item.itemId, name, StoredDataType(item.dataType), item.accessRights, item.fieldSize,
                                      item.accessPath, m_request.deviceId});
            const qint64 itemKey = m_connection.LastInsertId();
            m_connection.Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (?, ?)"),
                                 {kDefaultGroup, itemKey});
        },
        [&](std::size_t i) { return StoredName(added[i], m_request.nameView); }, m_detail);
    m_counts.added += done.written;
    return !done.failed;
}

bool Applier::Removed(const std::vector<BrowseItem>& removed) {
    if (removed.empty()) return true;
    Begin(m_hooks, 3002, removed.size());
    const DeviceItems stored(m_connection, m_request.deviceId);
    int deleted = 0;
    const PhaseResult done = RunPhase(
        m_connection, removed.size(), 1, m_hooks,
        [&](std::size_t i) {
            const std::vector<int> ids = stored.Find(removed[i], m_request.nameView);
            if (m_hooks.deleteItems)
                m_hooks.deleteItems(ids);
            else
                DeleteItemRows(m_connection, ids);
            deleted += static_cast<int>(ids.size());
        },
        [&](std::size_t i) { return removed[i].name; }, m_detail);
    if (done.written == 0 && done.failed) deleted = 0;
    m_counts.deleted += deleted;
    return !done.failed;
}

bool Applier::Inconsistent(const std::vector<BrowseItem>& inconsistent) {
    if (inconsistent.empty()) return true;
    Begin(m_hooks, 3003, inconsistent.size());
    std::vector<const BrowseItem*> takeOver;
    for (const BrowseItem& item : inconsistent)
        if (m_questions.TakeOver(ItemQuestion(item))) takeOver.push_back(&item);
    const DeviceItems stored(m_connection, m_request.deviceId);
    const bool program = m_request.structures != nullptr;
    const PhaseResult done = RunPhase(
        m_connection, takeOver.size(), 1, m_hooks,
        [&](std::size_t i) {
            const BrowseItem& item = *takeOver[i];
            for (const int id : stored.Find(item, m_request.nameView)) {
                m_connection.Execute(QStringLiteral("UPDATE TpdbItems SET ItemAccess = ?, Name = ?, DataType = ?, "
                                                    "AccessRights = ?, FieldSize = ?, AccessPath = ?, DeviceID = ? "
                                                    "WHERE ID = ?"),
                                     {item.itemId, StoredName(item, m_request.nameView), StoredDataType(item.dataType),
                                      item.accessRights, item.fieldSize, item.accessPath, m_request.deviceId, id});
                // A program also gives the structure; its comment only where it has one.
                if (program)
                    m_connection.Execute(QStringLiteral("UPDATE TpdbItems SET StructID = ?, Comment = COALESCE(?, Comment) "
                                                        "WHERE ID = ?"),
                                         {StructIdOf(item.structure), TextOrNull(item.comment), id});
            }
        },
        [&](std::size_t i) { return takeOver[i]->name; }, m_detail);
    m_counts.updated += done.written;
    return !done.failed;
}

QString MemberText(int text, const QString& name) { return Text(text).replace(QStringLiteral("<m>"), name); }

}  // namespace

bool ApplyBrowse(db::Connection& connection, const BrowseLists& lists, const ApplyRequest& request,
                 const ApplyHooks& hooks, ApplyCounts* counts, QString* detail) {
    ApplyCounts ignored;
    Applier applier(connection, request, hooks, counts ? *counts : ignored, detail);
    return applier.Structures(lists) && applier.Added(lists.added) && applier.Removed(lists.removed) &&
           applier.Inconsistent(lists.inconsistent);
}

std::vector<BrowseItem> DeviceBrowseItems(db::Connection& connection, int deviceId, const QString& orderColumn) {
    std::vector<BrowseItem> existing;
    db::Cursor rows(connection, QStringLiteral("SELECT i.ItemAccess, i.Name, i.DataType, i.AccessRights, i.FieldSize, "
                                               "i.AccessPath, s.Name FROM TpdbItems i LEFT JOIN TpdbStructDefs s ON "
                                               "s.ID = i.StructID AND i.DataType = %1 WHERE i.DeviceID = %2 ORDER BY i.%3")
                                    .arg(kStructure)
                                    .arg(deviceId)
                                    .arg(orderColumn));
    while (rows.Next()) {
        BrowseItem item;
        item.itemId = rows.Value(0).toString();
        item.name = rows.Value(1).toString();
        item.dataType = rows.Value(2).toInt();
        item.accessRights = rows.Value(3).toInt();
        item.fieldSize = rows.Value(4).toInt();
        item.accessPath = rows.Value(5).toString();
        item.structure = rows.Value(6).toString();
        existing.push_back(std::move(item));
    }
    return existing;
}

StructurePlan PlanStructures(db::Connection& connection, const std::vector<plc::PlcStructure>& structures,
                             const BrowseLists& lists) {
    const QHash<QString, int> stored = StructureIds(connection);
    StructurePlan plan;
    for (const plc::PlcStructure* structure : StructuresToWrite(structures, lists, stored)) {
        const int id = stored.value(structure->name.toCaseFolded());
        if (id == 0) {
            plan.entries.push_back({structure, 0, QString()});
            continue;
        }
        QString difference = StructureDifference(*structure, StoredMembers(connection, id));
        if (!difference.isEmpty()) plan.entries.push_back({structure, id, std::move(difference)});
    }
    return plan;
}

void DeleteItemRows(db::Connection& connection, const std::vector<int>& ids) {
    const bool texts = connection.HasColumn(QStringLiteral("TpdbItems"), QStringLiteral("TextID")) &&
                       connection.HasTable(QStringLiteral("TidxTexts"));
    QStringList optional;
    for (const char* table : {"TpdbSimulation", "TpdbAlign"})
        if (connection.HasTable(QString::fromUtf8(table))) optional << QString::fromUtf8(table);
    for (std::size_t start = 0; start < ids.size(); start += kChunk) {
        QStringList list;
        for (std::size_t i = start; i < std::min(ids.size(), start + kChunk); ++i) list << QString::number(ids[i]);
        const QString in = list.join(u',');
        if (texts)
            connection.Execute(QStringLiteral("DELETE FROM TidxTexts WHERE ID IN (SELECT TextID FROM TpdbItems WHERE ID IN "
                                              "(%1) AND TextID > 0)")
                                   .arg(in));
        connection.Execute(QStringLiteral("DELETE FROM TpdbConnections WHERE ItemID IN (%1)").arg(in));
        for (const QString& table : optional) connection.Execute(QStringLiteral("DELETE FROM %1 WHERE ItemID IN (%2)").arg(table, in));
        connection.Execute(QStringLiteral("DELETE FROM TpdbItems WHERE ID IN (%1)").arg(in));
    }
}

QString StructureDifference(const plc::PlcStructure& declared, const std::vector<StoredMember>& stored) {
    QHash<QString, const StoredMember*> byName;
    for (const StoredMember& member : stored) byName.insert(member.name.toCaseFolded(), &member);
    QStringList differences;
    for (const plc::PlcMember& member : declared.members) {
        const StoredMember* mine = byName.take(member.name.toCaseFolded());
        if (!mine) {
            differences << MemberText(9380, member.name);
            continue;
        }
        if (mine->orderNumber != member.orderNumber || mine->dataType != member.type.dataType ||
            mine->fieldSize != member.type.fieldSize ||
            mine->structure.compare(member.type.structure, Qt::CaseInsensitive) != 0)
            differences << MemberText(9382, member.name);
    }
    // The gone ones in the project's order.
    for (const StoredMember& member : stored)
        if (byName.contains(member.name.toCaseFolded())) differences << MemberText(9381, member.name);
    return differences.join(QStringLiteral(", "));
}

}  // namespace ov::opc
