#pragma once

#include "opc/OpcNode.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace ov::opc {

// One item as the browse lists carry it: item ID (ItemAccess), name, data
// type, access rights, field size, access path; from a PLC program also the
// name of its structure and its comment.
struct BrowseItem {
    QString itemId;
    QString name;
    int dataType = 0;
    int accessRights = 1;
    int fieldSize = 0;
    QString accessPath;
    QString structure;
    QString comment;
};

// An item the lists leave out because writing it would break the project's
// rule of one name per item and device (compared without regard to letter
// case), and why.
struct LeftOutItem {
    enum class Reason {
        NameUsed,          // a new item's name belongs to an item of the device
        NameOfDeleted,     // ... to one this browse deletes, after the new items are added
        NameRepeated,      // an earlier new item gets the same name
        UpdateNameUsed,    // taking over the server's values would give it another item's name
        UpdateIdRepeated,  // another item with its item ID would get the same name
    };
    BrowseItem item;   // as the list would have carried it
    Reason reason = Reason::NameUsed;
    QString name;      // the name it would get
    QString other;     // the other item: its item ID for new items, its name for updates
};

// What the browse hands back: items ticked on the server and not in the
// project, items of the project no longer ticked, items in both whose data
// type, access rights, field size or access path differ, and the items that
// cannot be written without a clash of names.
struct BrowseLists {
    std::vector<BrowseItem> added;
    std::vector<BrowseItem> removed;
    std::vector<BrowseItem> inconsistent;  // with the server's values, named as the project knows them
    std::vector<LeftOutItem> leftOut;
};

struct CompareOptions {
    // The name view: items are named by their item ID, not their browse name.
    bool nameFromItemId = false;
    // Items of the project that stay although the browse did not tick them.
    std::function<bool(const BrowseItem&)> keep;
    // The source declares structures (a PLC program): an item whose
    // structure is another differs. A server says nothing about them.
    bool compareStructure = false;
};

// Item IDs match without regard to letter case, as the project's index does;
// data types are compared as they would be stored. New items whose name is
// taken, and updates that would take another item's name, are left out.
BrowseLists Compare(const std::vector<BrowseItem>& existing, const std::vector<BrowseItem>& ticked,
                    const CompareOptions& options = {});

// The name an item of the lists has in the project: its item ID in the name
// view, else its name.
inline const QString& StoredName(const BrowseItem& item, bool nameFromItemId) {
    return nameFromItemId ? item.itemId : item.name;
}

// One line for the person: the item left out and why, in the interface language.
QString LeftOutText(const LeftOutItem& leftOut);

// The data type as the project stores a server's: the low 8 bits (array
// flags dropped), currency (6) and decimal (14) as double (5).
int StoredDataType(int serverType);

// The item name of a node: its browse names below the Objects folder joined
// with the device's separator. A separator or the key separator (U+00FF)
// inside one browse name becomes "_", so every name part stays one level.
QString ItemName(const QStringList& browseNames, const QString& separator);

// A variable as a browse item, its ID the node id, its name as above.
BrowseItem ItemOf(const OpcNode& variable, const QStringList& browseNames, const QString& separator);

}  // namespace ov::opc
