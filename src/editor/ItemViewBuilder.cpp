#include "editor/ItemViewBuilder.h"

#include "platform/db/Cursor.h"

#include "platform/db/LikePattern.h"

#include "host/NodeKey.h"

namespace ov::editor {

namespace nodekey = host::nodekey;

QString ItemViewBuilder::SortClause(const QString& sortField, bool groupNode, const SortCaptions& captions) {
    if (sortField.isEmpty()) return QStringLiteral(" ORDER BY TpdbItems.ID");
    if (sortField == captions.dataType) return QStringLiteral(" ORDER BY Datatype, StructID");
    if (sortField == captions.simulation || sortField == captions.parameters || sortField == captions.redundancy)
        return QString();
    if (sortField == QStringLiteral("DeviceName"))
        return groupNode ? QStringLiteral(" ORDER BY TpdbDevices.Name") : QStringLiteral(" ORDER BY TpdbItems.ID");
    return QStringLiteral(" ORDER BY TpdbItems.") + sortField;
}

QString ItemViewBuilder::LikeLiteral(const QString& text) {
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (c == u'[' || c == u'_' || c == u'!' || c == u'%')
            out += u'[' + QString(c) + u']';
        else if (c == u'\'')
            out += QStringLiteral("''");  // keeps a quote in a name from ending the SQL text
        else
            out += c;
    }
    return out;
}

ItemView ItemViewBuilder::ForNode(const QString& nodeKey, const QString& identifyingField, const QString& sortClause,
                                  const TopFolderFinder& topFolders) {
    ItemView view;
    const QString kind = nodekey::Kind(nodeKey);
    if (kind == QStringLiteral("OPCG")) {
        view.groupView = true;
        const QString condition =
            nodekey::SubId(nodeKey) >= 0
                ? QStringLiteral("(GroupID = %1 AND DeviceID=%2)").arg(nodekey::NodeId(nodeKey)).arg(nodekey::SubId(nodeKey))
                : QStringLiteral("(GroupID = %1)").arg(nodekey::NodeId(nodeKey));
        view.sql = QStringLiteral(
                       "SELECT TpdbItems.*, TpdbConnections.GroupID, TpdbDevices.Name As DeviceName FROM ((TpdbItems "
                       "INNER JOIN TpdbConnections ON TpdbItems.ID = TpdbConnections.ItemID) INNER JOIN TpdbGroups ON "
                       "TpdbConnections.GroupID = TpdbGroups.ID) INNER JOIN TpdbDevices ON TpdbItems.DeviceID = "
                       "TpdbDevices.ID WHERE ") +
                   condition + sortClause;
        return view;
    }

    // Devices and their folders; the root and the external devices branch show nothing.
    const bool deviceKind = kind == QStringLiteral("OPCD") && nodeKey != nodekey::kExternal;
    const QString mode = deviceKind ? nodekey::ModeLetter(nodeKey) : QString();
    view.itemAccessCaption = (!mode.isEmpty() && mode != QStringLiteral("O")) ? 128 : 112;
    if (!deviceKind) {
        view.sql = QStringLiteral("SELECT * FROM [TpdbItems] WHERE DeviceID = 0 AND 0 = 1");
        view.sql += sortClause;
        return view;
    }
    const int deviceId = nodekey::NodeId(nodeKey);
    QString separator = nodeKey.contains(nodekey::kSeparator) ? nodekey::SecondField(nodeKey) : QString();
    if (separator == QString(QChar(0))) separator.clear();
    const QString path = nodekey::BranchPath(nodeKey);
    bool topLevelScan = false;
    if (separator.isEmpty()) {
        view.sql = QStringLiteral("SELECT * FROM [TpdbItems] WHERE DeviceID = %1").arg(deviceId);
    } else {
        const QString s = LikeLiteral(separator);
        const QString f = identifyingField;
        if (path.isEmpty()) {
            // Items outside every folder. A separator without case partners
            // is found by the database's own search, far faster than a Like.
            const bool caseless = SeparatorIsCaseless(separator);
            topLevelScan = caseless;
            const std::optional<QStringList> folders = caseless && topFolders ? topFolders(deviceId, separator) : std::nullopt;
            if (folders && !folders->isEmpty()) {
                // The index ranges between the folders hold every item at the top.
                const QString rest = QStringLiteral("instr(%1, '%2') = 0").arg(f, Quoted(separator));
                view.sql = QStringLiteral("SELECT * FROM [TpdbItems] WHERE (%1) ")
                               .arg(RowsInRanges(deviceId, f, {RangesBetween(f, *folders), true}, rest));
                view.sql += SortWithoutIndex(sortClause);
                return view;
            }
            // "f >= ''" lets the database read f from the index that holds it
            // (it drops no row the instr keeps: a Null has no separator test).
            view.sql = caseless ? QStringLiteral("SELECT * FROM [TpdbItems] WHERE (DeviceID = %1 AND %2 >= '' AND instr(%2, '%3') = 0 )")
                                      .arg(deviceId)
                                      .arg(f, Quoted(separator))
                                : QStringLiteral("SELECT * FROM [TpdbItems] WHERE (DeviceID = %1 AND %2 Not Like '%3' )")
                                      .arg(deviceId)
                                      .arg(f, QStringLiteral("%") + s + QStringLiteral("%"));
        } else {
            // The folder's items: index ranges find the candidates, the Like
            // decides unless the ranges are exact.
            const QString p = LikeLiteral(path);
            const QString start = path + separator;
            const db::PrefixRanges ranges = db::LikePrefixRanges(f, start);
            QString rest;
            if (ranges.exact && SeparatorIsCaseless(separator)) {
                // What follows the folder's path holds no separator.
                rest = QStringLiteral("instr(substr(%1, %2), '%3') = 0")
                           .arg(f)
                           .arg(start.toUcs4().size() + 1)  // the database counts characters
                           .arg(Quoted(separator));
            } else {
                rest = QStringLiteral("%1 Like '%2' AND %1 Not Like '%3'")
                           .arg(f, p + s + QStringLiteral("%"), p + s + QStringLiteral("%") + s + QStringLiteral("%"));
            }
            view.sql = QStringLiteral("SELECT * FROM [TpdbItems] WHERE (%1) ").arg(RowsInRanges(deviceId, f, ranges, rest));
        }
    }
    // Sorted by the identifying field, the index gives the order as well.
    const bool byIdentifying = sortClause == QStringLiteral(" ORDER BY TpdbItems.") + identifyingField;
    view.sql += topLevelScan && !byIdentifying ? SortWithoutIndex(sortClause) : sortClause;
    return view;
}

QString ItemViewBuilder::RowsInRanges(int deviceId, const QString& identifyingField, const db::PrefixRanges& ranges,
                                     const QString& rest) {
    const QString device = QStringLiteral("DeviceID = %1").arg(deviceId);
    if (ranges.conditions.isEmpty()) return device + QStringLiteral(" AND ") + rest;
    // The name's index begins with the name: "+" keeps the database from
    // reading the whole device through the device's index instead. The item
    // access's index begins with the device; there the device test must
    // differ from branch to branch, or the database takes it out of the Or
    // and again reads the whole device.
    const bool nameIndex = identifyingField.compare(QStringLiteral("ItemAccess"), Qt::CaseInsensitive) != 0;
    QStringList branches;
    for (const QString& range : ranges.conditions) {
        const QString test = nameIndex ? u'+' + device
                             : branches.isEmpty() ? device
                                                  : device + QStringLiteral(" + 0");
        branches << QStringLiteral("%1 AND %2 AND %3").arg(range, test, rest);
    }
    return branches.size() == 1 ? branches.front() : u'(' + branches.join(QStringLiteral(") OR (")) + u')';
}

bool ItemViewBuilder::SeparatorIsCaseless(const QString& separator) {
    // One character without letter case that nothing else folds to.
    return separator.size() == 1 && separator.front().toCaseFolded() == separator.front() &&
           separator.front().toUpper() == separator.front() && db::LikePrefixRanges(QString(), separator).conditions.size() == 1;
}

std::optional<QStringList> ItemViewBuilder::TopFolders(db::Connection& connection, int deviceId,
                                                       const QString& identifyingField, const QString& separator, int most) {
    if (separator.size() != 1 || separator[0].unicode() >= 0x7F || !SeparatorIsCaseless(separator)) return std::nullopt;
    const QChar sep = separator[0];
    const bool itemAccess = identifyingField.compare(QStringLiteral("ItemAccess"), Qt::CaseInsensitive) == 0;
    // The item access's index begins with the device; the name's index
    // holds every device, whose folders may be skipped just as well.
    const QString where = itemAccess ? QStringLiteral("DeviceID = %1 AND ").arg(deviceId) : QString();
    QStringList folders;
    QString from;
    bool after = false;
    for (int step = 0;; ++step) {
        if (step >= most || from.contains(QChar(0))) return std::nullopt;
        db::Cursor next(connection, QStringLiteral("SELECT %1 FROM TpdbItems WHERE %2%1 %3 '%4' ORDER BY %1 LIMIT 1")
                                        .arg(identifyingField, where, after ? QStringLiteral(">") : QStringLiteral(">="), Quoted(from)));
        if (!next.Next()) return folders;
        const QString key = next.Value(0).toString();
        const qsizetype at = key.indexOf(sep);
        if (at < 0) {  // an item at the top: step past it
            from = key;
            after = true;
            continue;
        }
        // Every key from "Area3." up to "Area3/" holds the separator there.
        folders << key.left(at + 1);
        from = key.left(at) + QChar(sep.unicode() + 1);
        after = false;
    }
}

QStringList ItemViewBuilder::RangesBetween(const QString& field, const QStringList& folders) {
    QStringList ranges;
    QString lower;  // the end of the folder before
    for (const QString& folder : folders) {
        ranges << (lower.isEmpty() ? QStringLiteral("%1 < '%2'").arg(field, Quoted(folder))
                                   : QStringLiteral("%1 >= '%2' AND %1 < '%3'").arg(field, Quoted(lower), Quoted(folder)));
        lower = folder.left(folder.size() - 1) + QChar(folder.back().unicode() + 1);
    }
    ranges << QStringLiteral("%1 >= '%2'").arg(field, Quoted(lower));
    return ranges;
}

QString ItemViewBuilder::Quoted(QString text) { return text.replace(u'\'', QStringLiteral("''")); }

QString ItemViewBuilder::SortWithoutIndex(const QString& sortClause) {
    // "+Name" sorts the same, but keeps the database from walking the whole
    // table in that order when the condition leaves only a few rows.
    QString clause = sortClause;
    clause.replace(QStringLiteral("ORDER BY "), QStringLiteral("ORDER BY +"));
    clause.replace(QStringLiteral(", "), QStringLiteral(", +"));
    return clause;
}

}  // namespace ov::editor
