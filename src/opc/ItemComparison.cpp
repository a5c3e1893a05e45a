#include "opc/ItemComparison.h"

#include <QHash>

namespace ov::opc {

int StoredDataType(int serverType) {
    const int type = serverType & 0xff;
    return type == 6 || type == 14 ? 5 : type;
}

BrowseLists Compare(const std::vector<BrowseItem>& existing, const std::vector<BrowseItem>& ticked) {
    BrowseLists lists;
    QHash<QString, const BrowseItem*> stored;
    for (const BrowseItem& item : existing) stored.insert(item.itemId.toCaseFolded(), &item);
    QHash<QString, bool> seen;
    for (const BrowseItem& item : ticked) {
        const QString key = item.itemId.toCaseFolded();
        if (seen.contains(key)) continue;  // a node reached over two paths counts once
        seen.insert(key, true);
        const BrowseItem* mine = stored.value(key);
        if (!mine) {
            lists.added.push_back(item);
        } else if (StoredDataType(item.dataType) != mine->dataType || item.accessRights != mine->accessRights ||
                   item.fieldSize != mine->fieldSize || item.accessPath != mine->accessPath) {
            BrowseItem changed = item;
            changed.name = mine->name;  // the question names the item as the project knows it
            lists.inconsistent.push_back(changed);
        }
    }
    for (const BrowseItem& item : existing)
        if (!seen.contains(item.itemId.toCaseFolded())) lists.removed.push_back(item);
    return lists;
}

QString ItemName(const QStringList& browseNames, const QString& separator) {
    QStringList parts;
    parts.reserve(browseNames.size());
    for (QString part : browseNames) {
        if (!separator.isEmpty()) part.replace(separator, QStringLiteral("_"));
        part.replace(QChar(0xff), u'_');
        parts << part;
    }
    return parts.join(separator);
}

BrowseItem ItemOf(const OpcNode& variable, const QStringList& browseNames, const QString& separator) {
    BrowseItem item;
    item.itemId = variable.nodeId;
    item.name = ItemName(browseNames, separator);
    item.dataType = ClassicDataType(variable);
    item.accessRights = ClassicAccessRights(variable.accessLevel);
    item.fieldSize = ClassicFieldSize(variable);
    return item;
}

}  // namespace ov::opc
