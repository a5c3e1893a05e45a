#include "opc/ItemComparison.h"

#include "settings/TextTable.h"

#include <QHash>
#include <QSet>

namespace ov::opc {

int StoredDataType(int serverType) {
    const int type = serverType & 0xff;
    return type == 6 || type == 14 ? 5 : type;
}

BrowseLists Compare(const std::vector<BrowseItem>& existing, const std::vector<BrowseItem>& ticked,
                    const CompareOptions& options) {
    BrowseLists lists;
    QHash<QString, std::vector<const BrowseItem*>> byId;  // the name view allows an item ID twice
    QHash<QString, const BrowseItem*> byName;
    for (const BrowseItem& item : existing) {
        byId[item.itemId.toCaseFolded()].push_back(&item);
        byName.insert(item.name.toCaseFolded(), &item);
    }
    QSet<QString> seen;
    std::vector<const BrowseItem*> fresh;
    std::vector<std::pair<const BrowseItem*, const BrowseItem*>> changed;  // the server's, the project's
    for (const BrowseItem& item : ticked) {
        const QString key = item.itemId.toCaseFolded();
        if (seen.contains(key)) continue;  // a node reached over two paths counts once
        seen.insert(key);
        const auto mine = byId.constFind(key);
        if (mine == byId.cend()) {
            fresh.push_back(&item);
            continue;
        }
        const BrowseItem* stored = mine->back();
        if (StoredDataType(item.dataType) != stored->dataType || item.accessRights != stored->accessRights ||
            item.fieldSize != stored->fieldSize || item.accessPath != stored->accessPath ||
            (options.compareStructure && item.structure.compare(stored->structure, Qt::CaseInsensitive) != 0))
            changed.emplace_back(&item, stored);
    }
    QSet<const BrowseItem*> deleted;
    for (const BrowseItem& item : existing) {
        if (seen.contains(item.itemId.toCaseFolded()) || (options.keep && options.keep(item))) continue;
        lists.removed.push_back(item);
        deleted.insert(&item);
    }

    // New items are written first, so a name still held by an item that goes
    // in the same run is taken when they are.
    QHash<QString, const BrowseItem*> newNames;
    for (const BrowseItem* item : fresh) {
        const QString& name = StoredName(*item, options.nameFromItemId);
        const QString key = name.toCaseFolded();
        if (const BrowseItem* owner = byName.value(key)) {
            const auto reason = deleted.contains(owner) ? LeftOutItem::Reason::NameOfDeleted : LeftOutItem::Reason::NameUsed;
            lists.leftOut.push_back({*item, reason, name, owner->itemId});
        } else if (const BrowseItem* earlier = newNames.value(key)) {
            lists.leftOut.push_back({*item, LeftOutItem::Reason::NameRepeated, name, earlier->itemId});
        } else {
            newNames.insert(key, item);
            lists.added.push_back(*item);
        }
    }
    for (const auto& [server, stored] : changed) {
        BrowseItem update = *server;
        update.name = stored->name;  // the question names the item as the project knows it
        const QString& name = StoredName(update, options.nameFromItemId);
        const BrowseItem* owner = byName.value(name.toCaseFolded());
        const std::vector<const BrowseItem*>& sameId = byId.value(update.itemId.toCaseFolded());
        if (owner && owner != stored) {
            lists.leftOut.push_back({update, LeftOutItem::Reason::UpdateNameUsed, name, owner->name});
        } else if (options.nameFromItemId && sameId.size() > 1) {
            // Found by its item ID, every one of them would be renamed alike.
            const BrowseItem* twin = sameId.front() != stored ? sameId.front() : sameId.back();
            lists.leftOut.push_back({update, LeftOutItem::Reason::UpdateIdRepeated, name, twin->name});
        } else {
            lists.inconsistent.push_back(update);
        }
    }
    return lists;
}

QString LeftOutText(const LeftOutItem& leftOut) {
    int text = 9264;
    switch (leftOut.reason) {
        case LeftOutItem::Reason::NameUsed: text = 9264; break;
        case LeftOutItem::Reason::NameOfDeleted: text = 9265; break;
        case LeftOutItem::Reason::NameRepeated: text = 9266; break;
        case LeftOutItem::Reason::UpdateNameUsed: text = 9267; break;
        case LeftOutItem::Reason::UpdateIdRepeated: text = 9268; break;
    }
    const BrowseItem& item = leftOut.item;
    const QString reason = settings::Text(text)
                               .replace(QStringLiteral("<k>"), leftOut.name)
                               .replace(QStringLiteral("<o>"), leftOut.other);
    const QString shown = item.name == item.itemId || item.name.isEmpty()
                              ? item.itemId
                              : QStringLiteral("%1 (%2)").arg(item.name, item.itemId);
    return shown + QStringLiteral(": ") + reason;
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
    if (const auto& declared = variable.declared) {
        item.dataType = declared->dataType;
        item.accessRights = declared->accessRights;
        item.fieldSize = declared->fieldSize;
        item.structure = declared->structure;
        item.comment = declared->comment;
        return item;
    }
    item.dataType = ClassicDataType(variable);
    item.accessRights = ClassicAccessRights(variable.accessLevel);
    item.fieldSize = ClassicFieldSize(variable);
    return item;
}

}  // namespace ov::opc
