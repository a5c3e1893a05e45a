#include "model/ProjectStatistics.h"

#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"
#include "settings/TextTable.h"

namespace ov::model {

namespace {

int CountRows(db::Connection& connection, const QString& table) {
    db::Recordset rs;
    rs.Open(QStringLiteral("SELECT COUNT(*) AS N FROM ") + table, connection);
    return rs.Fields(0).Value().toInt();
}

}  // namespace

std::array<std::pair<QString, int>, 7> ProjectCounts::Labelled() const {
    return {{{QStringLiteral("devices"), devices},
             {QStringLiteral("groups"), groups},
             {QStringLiteral("items"), items},
             {QStringLiteral("unit classes"), unitClasses},
             {QStringLiteral("units"), units},
             {QStringLiteral("structure definitions"), structureDefinitions},
             {QStringLiteral("structure members"), structureMembers}}};
}

ProjectCounts CountProjectObjects(db::Connection& connection) {
    ProjectCounts counts;
    counts.devices = CountRows(connection, QStringLiteral("TpdbDevices"));
    counts.groups = CountRows(connection, QStringLiteral("TpdbGroups"));
    counts.items = CountRows(connection, QStringLiteral("TpdbItems"));
    counts.unitClasses = CountRows(connection, QStringLiteral("TpdbUnitClasses"));
    counts.units = CountRows(connection, QStringLiteral("TpdbUnits"));
    counts.structureDefinitions = CountRows(connection, QStringLiteral("TpdbStructDefs"));
    counts.structureMembers = CountRows(connection, QStringLiteral("TpdbStructMembers"));
    return counts;
}

QString NetworkShareNotice(const db::Connection& connection) {
    const db::FileSystem& fileSystem = connection.FileSystem();
    if (!fileSystem.network) return QString();
    return settings::Text(settings::kTextNetworkShare).replace(QStringLiteral("<fs>"), fileSystem.name);
}

}  // namespace ov::model
