#include "platform/system/WriteProtection.h"

#include "platform/db/Connection.h"
#include "platform/db/PgBackend.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

namespace ov::sys {

namespace {

bool MayWrite(const QFileInfo& info) {
    const bool writeBits = info.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther);
    return writeBits && info.isWritable();
}

}  // namespace

WriteProtection ProjectWriteProtection(const QString& projectFile) {
    if (db::IsServerDataSource(projectFile)) {
        // The server knows the role's rights: a project that cannot be read fails on opening.
        try {
            db::Connection connection;
            connection.Open(QStringLiteral("Data Source=%1;Mode=Read").arg(projectFile));
            return connection.WriteRefusal().isEmpty() ? WriteProtection::None : WriteProtection::Rights;
        } catch (const db::DbError&) {
            return WriteProtection::None;
        }
    }
    const QFileInfo file(projectFile);
    if (projectFile.isEmpty() || !file.isFile()) return WriteProtection::None;
    const QFileInfo folder(file.absolutePath());
    if (QStorageInfo(folder.absoluteFilePath()).isReadOnly()) return WriteProtection::Media;
    if (!MayWrite(file)) return WriteProtection::File;
    if (!MayWrite(folder)) return WriteProtection::Folder;
    return WriteProtection::None;
}

}  // namespace ov::sys
