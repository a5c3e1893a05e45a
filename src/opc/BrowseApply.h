#pragma once

#include "opc/ItemComparison.h"
#include "plc/PlcProgram.h"

#include <QString>
#include <functional>
#include <vector>

namespace ov::db {
class Connection;
}

namespace ov::opc {

// The answers to the question about an item or structure that differs,
// as the question's buttons give them.
enum class Answer { Yes = 0, YesToAll = 1, No = 2, NoToAll = 3 };

// What the person sees of an apply, and how items go.
struct ApplyHooks {
    // A phase begins: its status text and the number of steps.
    std::function<void(const QString& status, int steps)> phase;
    std::function<void()> step;
    // Asks whether to take over an item or structure that differs; no hook answers Yes to all.
    std::function<Answer(const QString& question)> ask;
    // Deletes items with what belongs to them; by default DeleteItemRows.
    std::function<void(const std::vector<int>& ids)> deleteItems;
    // A structure was written (after its transaction commits): added or
    // taken over, with the number of members it gained (negative: lost).
    std::function<void(int id, const QString& name, bool added, int memberChange)> structureWritten;
};

// What an apply wrote.
struct ApplyCounts {
    int structuresAdded = 0;
    int structuresUpdated = 0;
    int added = 0;
    int deleted = 0;
    int updated = 0;
};

struct ApplyRequest {
    int deviceId = 0;
    // The name view: the lists name items by their item ID.
    bool nameView = false;
    // A PLC program's structures; nullptr for a server, which declares none.
    // Written first (see PlanStructures): new ones added, differing ones
    // after the question.
    const std::vector<plc::PlcStructure>* structures = nullptr;
};

// Brings a device in line with the browse lists in phases, each in one
// transaction: structures, new items (each connected to group 1), items to
// delete, differing items after the question. An item or structure the
// database refuses stops the phases with its name and the database's words
// in detail; everything written before it stays.
bool ApplyBrowse(db::Connection& connection, const BrowseLists& lists, const ApplyRequest& request,
                 const ApplyHooks& hooks, ApplyCounts* counts, QString* detail);

// The items of a device as the browse compares them, ordered by a column
// of TpdbItems; an item of a structure with its name.
std::vector<BrowseItem> DeviceBrowseItems(db::Connection& connection, int deviceId, const QString& orderColumn);

// What an apply would do with a program's structures: new ones the new and
// differing items use, and every one of a name the project has that differs
// from it, with the difference in words (and those these use); in the
// program's order.
struct StructurePlan {
    struct Entry {
        const plc::PlcStructure* structure = nullptr;
        int storedId = 0;    // 0 for a new one
        QString difference;  // empty for a new one
    };
    std::vector<Entry> entries;
};
StructurePlan PlanStructures(db::Connection& connection, const std::vector<plc::PlcStructure>& structures,
                             const BrowseLists& lists);

// Deletes items with their connections, simulation and redundancy rows and
// texts, for a caller without an editor window.
void DeleteItemRows(db::Connection& connection, const std::vector<int>& ids);

// How a structure of the project differs from the program's: members new,
// gone or changed, in words; empty when they are alike.
struct StoredMember {
    QString name;
    double orderNumber = 0;
    int dataType = 0;
    QString structure;
    int fieldSize = 0;
};
QString StructureDifference(const plc::PlcStructure& declared, const std::vector<StoredMember>& stored);

}  // namespace ov::opc
