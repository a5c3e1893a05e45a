// Long commands killed with SIGKILL at random moments: afterwards the
// project opens, SQLite finds it intact, nothing hangs on an item that is
// gone, and each command is either fully applied or not at all.
// OV_CRASH_ROUNDS sets the number of kills (20 by default).

#include "model/LargeProject.h"
#include "model/ProjectTemplate.h"
#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "platform/db/Recordset.h"
#include "support/Files.h"
#include "support/GeneratedNodeSet.h"
#include "tools/CsvTransfer.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace ov;

namespace {

const QStringList kCommands = {"paste", "rename", "devdelete", "csvimport", "browseapply"};

// What the commands change, in a stable order: equal digests, equal projects.
QByteArray Digest(db::Connection& c) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const char* sql : {"SELECT ID, Name FROM TpdbDevices ORDER BY ID",
                            "SELECT ID, DeviceID, Name, ItemAccess, TextID FROM TpdbItems ORDER BY ID",
                            "SELECT GroupID, ItemID FROM TpdbConnections ORDER BY GroupID, ItemID",
                            "SELECT ItemID, SimulationFunction FROM TpdbSimulation ORDER BY ItemID",
                            "SELECT ItemID FROM TpdbAlign ORDER BY ItemID",
                            "SELECT ID, Name, L1031, L1033 FROM TidxTexts ORDER BY ID"}) {
        db::Cursor rows(c, QString::fromUtf8(sql));
        while (rows.Next()) {
            for (int i = 0; i < rows.ColumnCount(); ++i) hash.addData(rows.Value(i).toString().toUtf8() + '\x1f');
            hash.addData("\x1e");
        }
    }
    return hash.result();
}

QByteArray DigestOf(const QString& file) {
    db::Connection c;
    c.Open(model::ProjectConnectionString(file));
    return Digest(c);
}

qint64 Count(db::Connection& c, const QString& sql) {
    db::Recordset rs;
    rs.Open(sql, c);
    return rs.Fields(0).Value().toLongLong();
}

class CrashConsistencyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        model::LargeProjectOptions options;
        options.items = 100000;
        options.devices = 1;
        ASSERT_TRUE(model::CreateLargeProject(pristine, options));
        // The import: Area2's 10,000 items as new ones under Import2.
        {
            db::Connection c;
            c.Open(model::ProjectConnectionString(pristine));
            const auto exported = tools::ExportItemsBySql(
                c, QStringLiteral("SELECT * FROM TpdbItems WHERE ItemAccess Like 'Area2.%' ORDER BY ID"), csv,
                tools::CsvEncoding::Utf8WithBom, QLocale::c());
            ASSERT_TRUE(exported.error.isEmpty());
            before = Digest(c);
        }
        // The browse: an address space of 10,000 variables in 100 folders.
        ASSERT_EQ(test::WriteFile(nodeset, test::GeneratedNodeSet(100, 100)), nodeset);
        ASSERT_EQ(test::WriteFile(csv, test::ReadFile(csv).replace("Area2.", "Import2.")), csv);
    }

    // A fresh copy of the generated project.
    void Fresh() {
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")})
            QFile::remove(work + suffix);
        ASSERT_TRUE(QFile::copy(pristine, work));
    }
    QStringList Arguments(const QString& command) {
        QStringList args{work, command};
        if (command == QStringLiteral("csvimport")) args << csv;
        if (command == QStringLiteral("browseapply")) args << nodeset;
        return args;
    }
    // Runs the command to its end; its digest and how long it took.
    std::pair<QByteArray, qint64> Complete(const QString& command) {
        Fresh();
        QProcess worker;
        QElapsedTimer clock;
        clock.start();
        worker.start(QStringLiteral(OV_CRASH_WORKER), Arguments(command));
        EXPECT_TRUE(worker.waitForFinished(300000));
        EXPECT_EQ(worker.exitCode(), 0) << command.toStdString() << worker.readAllStandardError().toStdString();
        const qint64 ms = clock.elapsed();
        return {DigestOf(work), ms};
    }
    // Everything that must hold after any crash.
    void CheckIntact(const QString& round) {
        db::Connection c;
        ASSERT_NO_THROW(c.Open(model::ProjectConnectionString(work))) << round.toStdString();
        db::Cursor check(c, QStringLiteral("PRAGMA integrity_check"));
        ASSERT_TRUE(check.Next());
        EXPECT_EQ(check.Value(0).toString(), QStringLiteral("ok")) << round.toStdString();
        for (const char* orphans :
             {"SELECT Count(*) FROM TpdbConnections WHERE ItemID NOT IN (SELECT ID FROM TpdbItems)",
              "SELECT Count(*) FROM TpdbSimulation WHERE ItemID NOT IN (SELECT ID FROM TpdbItems)",
              "SELECT Count(*) FROM TpdbAlign WHERE ItemID NOT IN (SELECT ID FROM TpdbItems)",
              "SELECT Count(*) FROM TidxTexts WHERE ID NOT IN (SELECT TextID FROM TpdbItems WHERE TextID > 0)",
              "SELECT Count(*) FROM TpdbItems WHERE DeviceID NOT IN (SELECT ID FROM TpdbDevices) AND DeviceID <> 0"})
            EXPECT_EQ(Count(c, QString::fromUtf8(orphans)), 0) << round.toStdString() << ": " << orphans;
        const QByteArray now = Digest(c);
        EXPECT_TRUE(now == before || now == after.value(round.section(u' ', 0, 0)))
            << round.toStdString() << ": the command is neither undone nor complete";
        if (now == before) ++untouched;
        else ++applied;
    }

    QTemporaryDir dir;
    const QString pristine = dir.filePath(QStringLiteral("pristine.ovs"));
    const QString work = dir.filePath(QStringLiteral("work.ovs"));
    const QString csv = dir.filePath(QStringLiteral("import.csv"));
    const QString nodeset = dir.filePath(QStringLiteral("space.NodeSet2.xml"));
    QByteArray before;
    QHash<QString, QByteArray> after;
    int untouched = 0, applied = 0;
};

TEST_F(CrashConsistencyTest, AKilledCommandLeavesTheProjectBeforeOrAfterIt) {
    const int rounds = qEnvironmentVariableIsSet("OV_CRASH_ROUNDS") ? qEnvironmentVariableIntValue("OV_CRASH_ROUNDS") : 20;
    QHash<QString, qint64> duration;
    for (const QString& command : kCommands) {
        const auto [digest, ms] = Complete(command);
        ASSERT_NE(digest, before) << command.toStdString() << " changed nothing";
        after.insert(command, digest);
        duration.insert(command, ms);
    }
    QRandomGenerator random(20261206);
    int killed = 0;
    for (int round = 0; round < rounds; ++round) {
        const QString command = kCommands[round % kCommands.size()];
        Fresh();
        QProcess worker;
        worker.start(QStringLiteral(OV_CRASH_WORKER), Arguments(command));
        ASSERT_TRUE(worker.waitForStarted());
        // Anywhere from the start-up to a little after the usual end.
        const auto delay = static_cast<unsigned long>(random.bounded(static_cast<int>(duration[command] * 11 / 10) + 1));
        QThread::msleep(delay);
        if (worker.state() != QProcess::NotRunning) {
            worker.kill();  // SIGKILL
            ++killed;
        }
        worker.waitForFinished(10000);
        CheckIntact(QStringLiteral("%1 round %2 after %3 ms").arg(command).arg(round).arg(delay));
        if (HasFailure()) break;
    }
    std::printf("crash test: %d rounds, %d killed while running; %d left the project as before, %d as after\n", rounds,
                killed, untouched, applied);
    EXPECT_GT(killed, rounds / 2) << "most kills land while the command runs";
}

TEST_F(CrashConsistencyTest, AFullDiskFailsTheCommandWithAMessageAndKeepsTheProject) {
    Fresh();
    // No file may grow past 512 kB: the journal of a paste of 10,000 items cannot fit.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OV_WORKER_FILE_LIMIT"), QString::number(512 * 1024));
    QProcess worker;
    worker.setProcessEnvironment(environment);
    worker.start(QStringLiteral(OV_CRASH_WORKER), Arguments(QStringLiteral("paste")));
    ASSERT_TRUE(worker.waitForFinished(300000));
    const QString output = QString::fromUtf8(worker.readAllStandardOutput());
    EXPECT_EQ(worker.exitStatus(), QProcess::NormalExit) << "no crash";
    std::printf("full disk: %s\n", qPrintable(output.section(QStringLiteral("message: "), 1).left(300)));
    EXPECT_TRUE(output.contains(QStringLiteral("message: "))) << "the person is told: " << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("The disk is full"))) << output.toStdString();
    // Afterwards, with room again, the project is as it was and takes the command.
    after.insert(QStringLiteral("paste"), QByteArray());
    CheckIntact(QStringLiteral("paste on a full disk"));
    EXPECT_EQ(untouched, 1) << "nothing of the paste stayed";
    QProcess again;
    again.start(QStringLiteral(OV_CRASH_WORKER), Arguments(QStringLiteral("paste")));
    ASSERT_TRUE(again.waitForFinished(300000));
    EXPECT_EQ(again.exitCode(), 0);
    EXPECT_NE(DigestOf(work), before) << "the paste works once there is room";
}

}  // namespace
