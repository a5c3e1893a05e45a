#include "model/LargeProject.h"

#include "model/DemoProject.h"
#include "model/ProjectCopy.h"
#include "model/ProjectTemplate.h"
#include "platform/db/Connection.h"
#include "platform/db/DatabaseFile.h"
#include "platform/db/DbError.h"
#include "platform/db/PgBackend.h"
#include "platform/db/Recordset.h"

#include <QDir>
#include <QTemporaryDir>

namespace ov::model {

namespace {

constexpr int kGroups = 10;
constexpr qint64 kItemsPerDevice = 1000000;
constexpr qint64 kProgressEvery = 10000;
constexpr int kDataTypes[] = {4, 11, 3, 5, 18, 8};  // VT_R4, VT_BOOL, VT_I4, VT_R8, VT_UI2, VT_BSTR

// Thrown to leave the transaction when the person stopped the work.
struct Stopped {};

}  // namespace

QString LargeProjectFolder(qint64 folderIndex) {
    return QStringLiteral("Area%1.Line%2.Unit%3").arg(folderIndex / 100).arg(folderIndex / 10 % 10).arg(folderIndex % 10);
}

namespace {

// A server answers each statement once: rows written one by one would take
// a minute per 100,000 items. Made in a file first, the project goes over
// in a copy's few large statements.
bool CreateLargeServerProject(const QString& dataSource, const LargeProjectOptions& options) {
    db::PgBackend::RefuseExistingProject(dataSource);
    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw db::DbError(db::err::Fail, QStringLiteral("No temporary folder for making the project: %1").arg(scratch.errorString()));
    const QString file = QDir(scratch.path()).filePath(QStringLiteral("large.ovs"));
    // The file's items are the first half of the work, the copy the second.
    const qint64 total = std::max<qint64>(1, options.items);
    LargeProjectOptions inFile = options;
    if (options.progress)
        inFile.progress = [&](qint64 done, qint64) { return options.progress(done / 2, total); };
    if (!CreateLargeProject(file, inFile)) return false;
    bool stopped = false;
    CopyOptions copy;
    if (options.progress)
        copy.progress = [&](qint64 done, qint64 rows) {
            stopped = !options.progress(total / 2 + (rows > 0 ? done * (total - total / 2) / rows : 0), total);
            return !stopped;
        };
    try {
        CopyProject(file, dataSource, copy);
    } catch (const db::DbError&) {
        if (stopped) return false;
        throw;
    }
    return true;
}

}  // namespace

bool CreateLargeProject(const QString& projectFile, const LargeProjectOptions& options) {
    if (db::IsServerDataSource(projectFile)) return CreateLargeServerProject(projectFile, options);
    const qint64 total = std::max<qint64>(0, options.items);
    const int devices = options.devices > 0 ? options.devices
                                            : static_cast<int>(std::max<qint64>(1, (total + kItemsPerDevice - 1) / kItemsPerDevice));
    try {
        db::CreateDatabaseFile(projectFile, [&](db::Connection& c) {
            WriteProjectTemplate(c);
            WriteDemoContent(c);
            db::Recordset textGroup;
            textGroup.Open(QStringLiteral("SELECT ID FROM TidxGroups WHERE ParentID = 0 AND Type = -3"), c);
            const int texts = textGroup.IsEOF() ? 0 : textGroup.Fields(0).Value().toInt();
            std::vector<int> groups;
            for (int g = 0; g < kGroups; ++g) {
                c.Execute(QStringLiteral("INSERT INTO TpdbGroups (Name, UpdateRate) VALUES (?, ?)"),
                          {QStringLiteral("Bulk%1").arg(g), 250.0 * (g + 1)});
                db::Recordset id;
                id.Open(QStringLiteral("SELECT Max(ID) FROM TpdbGroups"), c);
                groups.push_back(id.Fields(0).Value().toInt());
            }
            qint64 written = 0;
            for (int d = 0; d < devices; ++d) {
                const QString device = QStringLiteral("Plant%1").arg(d + 1);
                c.Execute(QStringLiteral("INSERT INTO TpdbDevices (Name, BlobMode, ProgID, ProgIDConfigTool, ShortDescriptor, "
                                         "HierarchBrowseSeparator) VALUES (?, 2, 'OVOPC.Simulation.1', 'OVCfgOPC.Simulation', ?, '.')"),
                          {device, QStringLiteral("Generated plant %1").arg(d + 1)});
                db::Recordset id;
                id.Open(QStringLiteral("SELECT Max(ID) FROM TpdbDevices"), c);
                const int deviceId = id.Fields(0).Value().toInt();
                const qint64 items = total / devices + (d < total % devices ? 1 : 0);
                const qint64 perFolder = std::max<qint64>(1, (items + kLargeProjectFolders - 1) / kLargeProjectFolders);
                for (qint64 i = 0; i < items; ++i, ++written) {
                    const QString name = LargeProjectFolder(i / perFolder) + QStringLiteral(".Item%1").arg(i, 7, 10, QChar(u'0'));
                    const bool withText = i % 4 == 0 && texts > 0;
                    QVariant text;
                    if (withText) {
                        c.Execute(QStringLiteral("INSERT INTO TidxTexts (Name, ParentID, L1031, L1033) VALUES (?, ?, ?, ?)"),
                                  {device + u'.' + name, texts, QStringLiteral("Messwert %1").arg(i), QStringLiteral("Measurement %1").arg(i)});
                        text = c.LastInsertId();
                    }
                    c.Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, DataType, AccessRights, MaxVal, "
                                             "TextID) VALUES (?, ?, ?, ?, 3, 100, ?)"),
                              {deviceId, name, name, kDataTypes[i % std::size(kDataTypes)], withText ? text : QVariant(0)});
                    const qint64 item = c.LastInsertId();
                    c.Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (?, ?)"),
                              {groups[static_cast<std::size_t>(i % kGroups)], item});
                    if (i % 100 == 0)
                        c.Execute(QStringLiteral("INSERT INTO TpdbSimulation (ItemID, SimulationFunction, SimulationParameters) "
                                                 "VALUES (?, 'Function1', '0;100;0;10;0')"),
                                  {item});
                    if ((written + 1) % kProgressEvery == 0 && options.progress && !options.progress(written + 1, total))
                        throw Stopped{};
                }
            }
            if (options.progress) options.progress(written, total);
        });
    } catch (const Stopped&) {
        return false;
    }
    return true;
}

}  // namespace ov::model
