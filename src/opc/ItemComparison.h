#pragma once

#include "opc/OpcNode.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace ov::opc {

// One item as the browse lists carry it: item ID (ItemAccess), name, data
// type, access rights, field size, access path.
struct BrowseItem {
    QString itemId;
    QString name;
    int dataType = 0;
    int accessRights = 1;
    int fieldSize = 0;
    QString accessPath;
};

// What the browse hands back: items ticked on the server and not in the
// project, items of the project no longer ticked, and items in both whose
// data type, access rights, field size or access path differ.
struct BrowseLists {
    std::vector<BrowseItem> added;
    std::vector<BrowseItem> removed;
    std::vector<BrowseItem> inconsistent;  // with the server's values
};

// Item IDs match without regard to letter case, as the project's index does;
// data types are compared as they would be stored.
BrowseLists Compare(const std::vector<BrowseItem>& existing, const std::vector<BrowseItem>& ticked);

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
