#include "model/ProjectDiff.h"

#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "platform/db/Schema.h"

#include <QSet>

namespace ov::model {

namespace {

// One kind of object: the rows, the name that identifies one, the tables
// whose columns are compared (row IDs and references by ID left out; the
// name carries what they point to).
struct Kind {
    const char* name;
    const char* from;
    const char* key;
    struct Part {
        const char* alias;
        const char* table;
        QStringList ignored;
    };
    std::vector<Part> parts;
    // Fields that refer to other objects by ID, compared by those objects' names.
    std::vector<std::pair<const char*, const char*>> named = {};
};

// The name of the unit class or structure a column refers to.
#define OV_CLASS_NAME(alias, column) "(SELECT Name FROM TpdbUnitClasses WHERE ID = " alias "." column ")"
#define OV_STRUCT_NAME(alias, column) "(SELECT Name FROM TpdbStructDefs WHERE ID = " alias "." column ")"

const std::vector<Kind>& Kinds() {
    static const std::vector<Kind> kinds = {
        {"device", "TpdbDevices d", "d.Name", {{"d", "TpdbDevices", {"ID"}}}},
        {"group", "TpdbGroups g", "g.Name", {{"g", "TpdbGroups", {"ID"}}}},
        {"item",
         "TpdbItems i LEFT JOIN TpdbDevices d ON d.ID = i.DeviceID LEFT JOIN TidxTexts t ON t.ID = i.TextID AND i.TextID > 0",
         "coalesce(d.Name, '') || '/' || i.Name",
         {{"i", "TpdbItems", {"ID", "DeviceID", "TextID", "StructID", "UnitClassIDItemDependent", "UnitClassIDDisplayDependent"}},
          {"t", "TidxTexts", {"ID", "Name", "ParentID"}}},
         {{"StructID", OV_STRUCT_NAME("i", "StructID")},
          {"UnitClassIDItemDependent", OV_CLASS_NAME("i", "UnitClassIDItemDependent")},
          {"UnitClassIDDisplayDependent", OV_CLASS_NAME("i", "UnitClassIDDisplayDependent")}}},
        {"connection",
         "TpdbConnections c JOIN TpdbGroups g ON g.ID = c.GroupID JOIN TpdbItems i ON i.ID = c.ItemID "
         "LEFT JOIN TpdbDevices d ON d.ID = i.DeviceID",
         "g.Name || '/' || coalesce(d.Name, '') || '/' || i.Name",
         {}},
        {"simulation", "TpdbSimulation s JOIN TpdbItems i ON i.ID = s.ItemID LEFT JOIN TpdbDevices d ON d.ID = i.DeviceID",
         "coalesce(d.Name, '') || '/' || i.Name", {{"s", "TpdbSimulation", {"ID", "ItemID"}}}},
        {"redundancy", "TpdbAlign r JOIN TpdbItems i ON i.ID = r.ItemID LEFT JOIN TpdbDevices d ON d.ID = i.DeviceID",
         "coalesce(d.Name, '') || '/' || i.Name", {{"r", "TpdbAlign", {"ID", "ItemID"}}}},
        {"structure", "TpdbStructDefs s", "s.Name", {{"s", "TpdbStructDefs", {"ID"}}}},
        {"member",
         "TpdbStructMembers m JOIN TpdbStructDefs s ON s.ID = m.ParentID LEFT JOIN TidxTexts t ON t.ID = m.TextID AND m.TextID > 0",
         "s.Name || '/' || m.Name",
         {{"m", "TpdbStructMembers", {"ID", "ParentID", "TextID", "StructID", "UnitClassIDItemDependent", "UnitClassIDDisplayDependent"}},
          {"t", "TidxTexts", {"ID", "Name", "ParentID"}}},
         {{"StructID", OV_STRUCT_NAME("m", "StructID")},
          {"UnitClassIDItemDependent", OV_CLASS_NAME("m", "UnitClassIDItemDependent")},
          {"UnitClassIDDisplayDependent", OV_CLASS_NAME("m", "UnitClassIDDisplayDependent")}}},
        {"unit class", "TpdbUnitClasses c", "c.Name", {{"c", "TpdbUnitClasses", {"ID"}}}},
        {"unit", "TpdbUnits u JOIN TpdbUnitClasses c ON c.ID = u.ParentID", "c.Name || '/' || u.SwitchID",
         {{"u", "TpdbUnits", {"ID", "ParentID"}}}},
    };
    return kinds;
}

QStringList ColumnNames(const db::Connection& c, const QString& table) {
    QStringList names;
    for (const db::ColumnInfo& column : c.Columns(table)) names << column.name;
    return names;
}

// The query of a kind for one project: the name, then every compared field
// as stored, in name order.
QString Query(const Kind& kind, const std::vector<QStringList>& fields) {
    QStringList select{QString::fromUtf8(kind.key) + QStringLiteral(" AS k")};
    for (std::size_t p = 0; p < kind.parts.size(); ++p)
        for (const QString& field : fields[p]) select << QStringLiteral("%1.[%2]").arg(QString::fromUtf8(kind.parts[p].alias), field);
    for (const auto& [label, expression] : kind.named) select << QString::fromUtf8(expression);
    return QStringLiteral("SELECT %1 FROM %2 ORDER BY k COLLATE BINARY").arg(select.join(QStringLiteral(", ")), QString::fromUtf8(kind.from));
}

struct Row {
    QByteArray key;
    std::vector<quint64> digests;  // one per compared field
};

bool ReadRow(db::Cursor& cursor, Row& row) {
    if (!cursor.Next()) return false;
    row.key = cursor.Utf8(0).toByteArray();
    cursor.ColumnDigests(1, row.digests);
    return true;
}

void DiffKind(const Kind& kind, db::Connection& first, db::Connection& second, ProjectDiff& diff) {
    // Fields both projects have (an older file may lack a newer column).
    std::vector<QStringList> fields;
    QStringList labels;
    for (const Kind::Part& part : kind.parts) {
        const QString table = QString::fromUtf8(part.table);
        const QStringList theirs = ColumnNames(second, table);
        QStringList both;
        for (const QString& field : ColumnNames(first, table))
            if (theirs.contains(field, Qt::CaseInsensitive) && !part.ignored.contains(field, Qt::CaseInsensitive)) both << field;
        fields.push_back(both);
        labels << both;
    }
    for (const auto& [label, expression] : kind.named) labels << QString::fromUtf8(label);
    const QString sql = Query(kind, fields);
    db::Cursor a(first, sql), b(second, sql);
    Row ra, rb;
    bool hasA = ReadRow(a, ra), hasB = ReadRow(b, rb);
    const QString name = QString::fromUtf8(kind.name);
    // Both in byte order of their UTF-8 names, as the database sorts them.
    while (hasA || hasB) {
        const int order = !hasA ? 1 : !hasB ? -1 : ra.key < rb.key ? -1 : (rb.key < ra.key ? 1 : 0);
        if (order < 0) {
            diff.removed.push_back({name, QString::fromUtf8(ra.key), {}});
            hasA = ReadRow(a, ra);
        } else if (order > 0) {
            diff.added.push_back({name, QString::fromUtf8(rb.key), {}});
            hasB = ReadRow(b, rb);
        } else {
            if (ra.digests != rb.digests) {
                QStringList differing;
                for (qsizetype i = 0; i < labels.size(); ++i)
                    if (ra.digests[static_cast<std::size_t>(i)] != rb.digests[static_cast<std::size_t>(i)]) differing << labels[i];
                diff.changed.push_back({name, QString::fromUtf8(ra.key), differing});
            }
            hasA = ReadRow(a, ra);
            hasB = ReadRow(b, rb);
        }
    }
}

}  // namespace

ProjectDiff DiffProjects(db::Connection& first, db::Connection& second) {
    ProjectDiff diff;
    for (const Kind& kind : Kinds()) DiffKind(kind, first, second, diff);
    return diff;
}

}  // namespace ov::model
