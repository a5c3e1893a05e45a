#include "platform/db/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#if defined(__linux__)
#include <sys/vfs.h>
#endif

namespace ov::db {

namespace {

struct NetworkType {
    std::uint32_t magic;
    const char* name;
};

// statfs() types of file systems that other computers share: the kernel's
// magic numbers, and those of the cluster and virtual-machine folders
// coreutils' stat knows as remote. FUSE counts too: sshfs and the like are
// network file systems, and those that are not rarely share memory maps
// either.
constexpr NetworkType kNetworkTypes[] = {
    {0x6969, "NFS"},
    {0x517B, "SMB"},
    {0xFE534D42, "SMB2"},
    {0xFF534D42, "CIFS"},
    {0x65735546, "FUSE"},
    {0x5346414F, "AFS"},
    {0x6B414653, "AFS"},  // the kernel's own AFS client
    {0x00C36400, "Ceph"},
    {0x01021997, "9P"},
    {0x73757245, "Coda"},
    {0x564C, "NCP"},
    {0x7461636F, "OCFS2"},
    {0x01161970, "GFS2"},
    {0x0BD00BD0, "Lustre"},
    {0x47504653, "GPFS"},
    {0x19830326, "BeeGFS"},
    {0x20030528, "OrangeFS"},
    {0xAAD7AAEA, "PanFS"},
    {0x786F4256, "vboxsf"},
    {0xBACBACBC, "vmhgfs"},
    {0x7C7C6673, "prl_fs"},
};

QString Canonical(const QString& folder) {
    const QFileInfo info(folder);
    const QString canonical = info.canonicalFilePath();
    return QDir::cleanPath(canonical.isEmpty() ? info.absoluteFilePath() : canonical);
}

bool IsFakedShare(const QString& folder) {
    const QString shares = qEnvironmentVariable("OV_TEST_NETWORK_SHARES");
    if (shares.isEmpty()) return false;
    const QString path = Canonical(folder);
    for (const QString& share : shares.split(QDir::listSeparator(), Qt::SkipEmptyParts)) {
        const QString top = Canonical(share);
        if (path == top || path.startsWith(top.endsWith(u'/') ? top : top + u'/')) return true;
    }
    return false;
}

}  // namespace

QString FileSystem::NetworkName(std::uint32_t statfsType) {
    for (const NetworkType& type : kNetworkTypes)
        if (type.magic == statfsType) return QString::fromLatin1(type.name);
    return QString();
}

FileSystem FileSystem::Of(const QString& folder) {
    if (IsFakedShare(folder)) return {true, QStringLiteral("NFS")};
#if defined(__linux__)
    struct statfs about {};
    if (::statfs(QFile::encodeName(folder).constData(), &about) == 0) {
        const QString name = NetworkName(static_cast<std::uint32_t>(about.f_type));
        if (!name.isEmpty()) return {true, name};
    }
#endif
    return {};
}

}  // namespace ov::db
