// What one engineer's studio learns of another's commits on a server project.

#include "model/ProjectTemplate.h"
#include "platform/db/Connection.h"
#include "platform/db/DatabaseFile.h"
#include "support/PgCluster.h"
#include "support/TempProject.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

using namespace ov::db;

namespace {

// Waits up to two seconds for the listener to hear of at least count changes.
std::vector<OthersChange> Hear(ChangeListener& listener, std::size_t count) {
    std::vector<OthersChange> heard;
    QElapsedTimer waited;
    waited.start();
    while (heard.size() < count && waited.elapsed() < 2000) {
        for (OthersChange& c : listener.Take()) heard.push_back(std::move(c));
        if (heard.size() < count) QThread::msleep(10);
    }
    return heard;
}

}  // namespace

TEST(ChangeFeed, AListenerHearsOtherConnectionsCommitsWithTableKeyAndRoleButNotItsOwnOrRolledBackWork) {
    OV_REQUIRE_PG_CLUSTER(cluster);
    cluster->CreateDatabase(QStringLiteral("feed"));
    const QString url = cluster->Url(QStringLiteral("feed"), QStringLiteral("team"));
    CreateDatabaseFile(url, [](Connection& c) { ov::model::WriteProjectTemplate(c); });

    Connection mine, theirs;
    mine.Open(ov::model::ProjectConnectionString(url));
    theirs.Open(ov::model::ProjectConnectionString(url));
    const std::unique_ptr<ChangeListener> listener = mine.ListenForOthers();
    ASSERT_TRUE(listener);
    EXPECT_GE(listener->SocketDescriptor(), 0);

    mine.Execute("INSERT INTO TpdbDevices (Name) VALUES ('Mine')");
    theirs.InTransaction([&] {
        theirs.Execute("INSERT INTO TpdbDevices (Name) VALUES ('Theirs')");
        theirs.Execute("UPDATE TpdbGroups SET UpdateRate = 250 WHERE ID = 1");
    });
    const qint64 device = theirs.LastInsertId();
    theirs.BeginTrans();
    theirs.Execute("DELETE FROM TpdbGroups WHERE ID = 1");
    theirs.RollbackTrans();

    const std::vector<OthersChange> heard = Hear(*listener, 2);
    ASSERT_EQ(heard.size(), 2u) << "their two rows, not mine, not the rolled-back delete";
    EXPECT_EQ(heard[0].table, QStringLiteral("TpdbDevices"));
    EXPECT_EQ(heard[0].key, device);
    EXPECT_EQ(heard[1].table, QStringLiteral("TpdbGroups"));
    EXPECT_EQ(heard[1].key, 1);
    EXPECT_EQ(heard[0].who, cluster->Superuser());
    EXPECT_FALSE(heard[0].at.isEmpty());
    EXPECT_TRUE(listener->Take().empty()) << "each change is told once";
}

TEST(ChangeFeed, AFileTellsNothing) {
    ov::test::TempProject project;
    EXPECT_FALSE(project.Open()->ListenForOthers());
}
