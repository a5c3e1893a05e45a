#pragma once

#include "platform/db/LikePattern.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace ov::db {
class Connection;
}

namespace ov::editor {

// The record source of the item grid for a node: which items a node shows
// and in which order.
struct ItemView {
    QString sql;
    bool groupView = false;     // items of a group (joined with connections and devices)
    int itemAccessCaption = 0;  // text number of the ItemAccess column caption, 0 for a group view
};

class ItemViewBuilder {
public:
    // The unbound columns whose captions sort in their own way.
    struct SortCaptions {
        QString dataType;      // text 114
        QString simulation;    // text 142
        QString parameters;    // text 143
        QString redundancy;    // text 144
    };

    // sortField: a data field, or the caption of an unbound column; empty for none.
    static QString SortClause(const QString& sortField, bool groupNode, const SortCaptions& captions);

    // "[", "_", "!" and "%" stand for themselves in a Like pattern when bracketed.
    static QString LikeLiteral(const QString& text);

    // The SQL of the item grid for a node key; identifyingField is "Name" or
    // "ItemAccess"; separator is the device's hierarchy separator.
    // The items of a device in the ranges of their identifying field that
    // meet rest, as one condition the database answers from the field's index.
    static QString RowsInRanges(int deviceId, const QString& identifyingField, const db::PrefixRanges& ranges,
                                const QString& rest);
    // Where known, the folders at the top of a device (see TopFolders): the
    // device's own items are then read from the index ranges between them.
    using TopFolderFinder = std::function<std::optional<QStringList>(int deviceId, const QString& separator)>;
    static ItemView ForNode(const QString& nodeKey, const QString& identifyingField, const QString& sortClause,
                            const TopFolderFinder& topFolders = {});

    // The folders at the top of a device as the prefixes their items begin
    // with ("Area3."), found by stepping through the identifying field's
    // index from one folder to the next. Nothing when the separator is not a
    // single ASCII character or the steps exceed `most` (many items at the
    // top: then reading them all is as fast).
    static std::optional<QStringList> TopFolders(db::Connection& connection, int deviceId, const QString& identifyingField,
                                                 const QString& separator, int most = 256);

    // A separator the database's own text search finds exactly.
    static bool SeparatorIsCaseless(const QString& separator);

  private:
    static QString SortWithoutIndex(const QString& sortClause);
    // The ranges of a field below, between and above the folders' prefixes.
    static QStringList RangesBetween(const QString& field, const QStringList& folders);
    static QString Quoted(QString text);
};

}  // namespace ov::editor
