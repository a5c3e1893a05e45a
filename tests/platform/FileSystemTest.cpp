// Projects on network shares: found by the file system they lie on, opened
// with a rollback journal there and with the write-ahead log elsewhere.

#include "platform/db/Connection.h"
#include "platform/db/DatabaseFile.h"
#include "platform/db/DbError.h"
#include "platform/db/FileSystem.h"
#include "platform/db/Recordset.h"
#include "support/Files.h"
#include "support/NetworkShare.h"
#include "support/TempProject.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sqlite3.h>

using namespace ov::db;
using ov::test::JournalVersion;
using ov::test::kRollbackJournal;
using ov::test::kWriteAheadLog;
using ov::test::NetworkShareScope;
using ov::test::TempProject;

namespace {

QString EditString(const QString& file, int busyTimeout = 5000) {
    return QStringLiteral("Data Source=%1;Mode=Read|Write|Share Deny None;Busy Timeout=%2;").arg(file).arg(busyTimeout);
}

bool HasGroup(Connection& connection, const QString& name) {
    Recordset rs;
    rs.Open(QStringLiteral("SELECT ID FROM TpdbGroups WHERE Name = '%1'").arg(name), connection);
    return !rs.IsEOF();
}

TEST(FileSystem, TheKernelsNetworkFileSystemsAreKnownAndLocalOnesAreNot) {
    // The kernel's own numbers, not a copy of the table.
    using Types = std::initializer_list<std::uint32_t>;
    for (const std::uint32_t type : Types{NFS_SUPER_MAGIC, SMB_SUPER_MAGIC, SMB2_SUPER_MAGIC, CIFS_SUPER_MAGIC, FUSE_SUPER_MAGIC,
                                          AFS_SUPER_MAGIC, AFS_FS_MAGIC, CEPH_SUPER_MAGIC, V9FS_MAGIC, CODA_SUPER_MAGIC,
                                          NCP_SUPER_MAGIC, OCFS2_SUPER_MAGIC})
        EXPECT_FALSE(FileSystem::NetworkName(type).isEmpty()) << std::hex << type;
    EXPECT_EQ(FileSystem::NetworkName(NFS_SUPER_MAGIC), "NFS");
    EXPECT_EQ(FileSystem::NetworkName(CIFS_SUPER_MAGIC), "CIFS");
    for (const std::uint32_t type : Types{EXT4_SUPER_MAGIC, TMPFS_MAGIC, BTRFS_SUPER_MAGIC, XFS_SUPER_MAGIC,
                                          OVERLAYFS_SUPER_MAGIC, MSDOS_SUPER_MAGIC, EXFAT_SUPER_MAGIC})
        EXPECT_TRUE(FileSystem::NetworkName(type).isEmpty()) << std::hex << type;
}

TEST(FileSystem, ATestShareCoversItsFolderAndEverythingBelowIt) {
    QTemporaryDir dir;
    const QString share = dir.filePath("share");
    const QString beside = dir.filePath("share2");
    ASSERT_TRUE(QDir().mkpath(share + "/plant/line 1"));
    ASSERT_TRUE(QDir().mkpath(beside));
    EXPECT_FALSE(FileSystem::Of(share).network) << "a temporary folder lies on a local disk";

    const NetworkShareScope scope(share);
    EXPECT_TRUE(FileSystem::Of(share).network);
    EXPECT_EQ(FileSystem::Of(share).name, "NFS");
    EXPECT_TRUE(FileSystem::Of(share + "/plant/line 1").network);
    EXPECT_TRUE(FileSystem::Of(share + "/plant/../plant").network);
    EXPECT_FALSE(FileSystem::Of(beside).network) << "only the folder, not every name it begins";
    EXPECT_FALSE(FileSystem::Of(dir.path()).network);
}

class NetworkShareTest : public ::testing::Test {
protected:
    QString OnShare(const QString& name) const { return share.filePath(name); }
    // A project made on a local disk (with the write-ahead log), copied to the share.
    QString CopiedToShare() const {
        const QString file = OnShare("plant.ovs");
        EXPECT_TRUE(QFile::copy(local.Path(), file));
        return file;
    }

    QTemporaryDir share;
    NetworkShareScope scope{share.path()};
    TempProject local;
};

TEST_F(NetworkShareTest, ANewProjectThereGetsARollbackJournalAndTheLogAgainBackOnALocalDisk) {
    const QString file = OnShare("new.ovs");
    CreateDatabaseFile(file, [](Connection& c) { c.Execute("CREATE TABLE T (ID INTEGER PRIMARY KEY)"); });
    EXPECT_EQ(JournalVersion(file), kRollbackJournal);
    {
        Connection connection;
        connection.Open(EditString(file));
        EXPECT_TRUE(connection.FileSystem().network);
        EXPECT_EQ(connection.FileSystem().name, "NFS");
        connection.Execute("INSERT INTO T (ID) VALUES (1)");
        EXPECT_FALSE(QFile::exists(file + "-wal"));
        EXPECT_FALSE(QFile::exists(file + "-shm")) << "no shared memory on a share";
        connection.BeginTrans();
        connection.Execute("INSERT INTO T (ID) VALUES (2)");
        EXPECT_TRUE(QFile::exists(file + "-journal")) << "a write keeps a rollback journal";
        connection.CommitTrans();
        EXPECT_FALSE(QFile::exists(file + "-journal"));
    }

    QTemporaryDir localDisk;
    const QString moved = localDisk.filePath("plant.ovs");
    ASSERT_TRUE(QFile::copy(file, moved));
    Connection connection;
    connection.Open(EditString(moved));
    EXPECT_FALSE(connection.FileSystem().network);
    EXPECT_EQ(JournalVersion(moved), kWriteAheadLog);
}

TEST_F(NetworkShareTest, AProjectCopiedThereFromALocalDiskLeavesTheLogWithEverythingInIt) {
    EXPECT_FALSE(local.Open()->FileSystem().network);
    const QString file = OnShare("plant.ovs");
    {
        // Copied while a program still holds it, with a change only in the log.
        auto writer = local.Open();
        writer->Execute("INSERT INTO TpdbGroups (Name) VALUES ('Copied')");
        ASSERT_EQ(JournalVersion(local.Path()), kWriteAheadLog);
        ASSERT_GT(QFileInfo(local.Path() + "-wal").size(), 0);
        ASSERT_TRUE(QFile::copy(local.Path(), file));
        ASSERT_TRUE(QFile::copy(local.Path() + "-wal", file + "-wal"));
    }

    Connection first;
    first.Open(EditString(file));
    EXPECT_EQ(JournalVersion(file), kRollbackJournal);
    EXPECT_FALSE(QFile::exists(file + "-wal")) << "the log went into the file";
    EXPECT_FALSE(QFile::exists(file + "-shm"));
    EXPECT_TRUE(HasGroup(first, "Copied"));

    // The file is not kept to itself: a second program opens and writes beside the first.
    Connection second;
    second.Open(EditString(file, 200));
    second.Execute("INSERT INTO TpdbGroups (Name) VALUES ('Second')");
    EXPECT_TRUE(HasGroup(first, "Second"));
}

TEST_F(NetworkShareTest, WhileAnotherProgramHoldsTheLogTheUserIsToldWhy) {
    const QString file = CopiedToShare();
    ASSERT_EQ(JournalVersion(file), kWriteAheadLog);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(file).constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "SELECT count(*) FROM TpdbItems", nullptr, nullptr, nullptr), SQLITE_OK);

    Connection connection;
    QString said;
    try {
        connection.Open(EditString(file, 100));
    } catch (const DbError& e) {
        said = e.Description();
    }
    EXPECT_EQ(connection.State(), ObjectState::Closed);
    EXPECT_TRUE(said.contains("network share (NFS)")) << said.toStdString();
    EXPECT_TRUE(said.contains("close it in the other programs")) << said.toStdString();
    EXPECT_EQ(JournalVersion(file), kWriteAheadLog) << "left as it was";

    sqlite3_close(other);
    connection.Open(EditString(file, 100));
    EXPECT_EQ(JournalVersion(file), kRollbackJournal);
}

TEST_F(NetworkShareTest, ReadingOnlyChangesNothing) {
    const QString file = CopiedToShare();
    const QByteArray before = ov::test::ReadFile(file);
    Connection reader;
    reader.Open(QStringLiteral("Data Source=%1;Mode=Read").arg(file));
    EXPECT_TRUE(reader.FileSystem().network) << "known for what the user is told";
    EXPECT_TRUE(HasGroup(reader, "Standard"));
    reader.Close();
    EXPECT_EQ(ov::test::ReadFile(file), before);
}

}  // namespace
