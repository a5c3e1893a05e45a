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

// Two engineers on one new server project; mine listens for theirs.
struct TwoEngineers {
    explicit TwoEngineers(const QString& database) {
        const ov::test::PgCluster* cluster = ov::test::SharedPgCluster();
        cluster->CreateDatabase(database);
        url = cluster->Url(database, QStringLiteral("team"));
        CreateDatabaseFile(url, [](Connection& c) { ov::model::WriteProjectTemplate(c); });
        mine.Open(ov::model::ProjectConnectionString(url));
        theirs.Open(ov::model::ProjectConnectionString(url));
        listener = mine.ListenForOthers();
    }
    QString url;
    Connection mine, theirs;
    std::unique_ptr<ChangeListener> listener;
};

}  // namespace

TEST(ChangeFeed, AListenerHearsOtherConnectionsCommitsWithTableKeyAndRoleButNotItsOwnOrRolledBackWork) {
    OV_REQUIRE_PG_CLUSTER(cluster);
    TwoEngineers team(QStringLiteral("feed"));
    Connection& mine = team.mine;
    Connection& theirs = team.theirs;
    ChangeListener* listener = team.listener.get();
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
    EXPECT_TRUE(heard[0].before.isEmpty()) << "a new row has no row before";
    EXPECT_EQ(heard[0].after.value(QStringLiteral("Name")).toString(), QStringLiteral("Theirs"));
    EXPECT_EQ(heard[1].after.value(QStringLiteral("UpdateRate")).toInt(), 250);
    EXPECT_NE(heard[1].before.value(QStringLiteral("UpdateRate")).toInt(), 250) << "the row as it was";
    EXPECT_EQ(heard[0].who, cluster->Superuser());
    EXPECT_FALSE(heard[0].at.isEmpty());
    EXPECT_TRUE(listener->Take().empty()) << "each change is told once";
}

TEST(ChangeFeed, AFileTellsNothing) {
    ov::test::TempProject project;
    EXPECT_FALSE(project.Open()->ListenForOthers());
}

TEST(ChangeFeed, AfterALargeChangeOnlyWhatIsNewIsToldAndTheLogKeepsADay) {
    OV_REQUIRE_PG_CLUSTER(cluster);
    TwoEngineers team(QStringLiteral("feedlog"));
    Connection& theirs = team.theirs;
    ChangeListener* listener = team.listener.get();
    const QString& url = team.url;
    ASSERT_TRUE(listener);
    theirs.Execute("INSERT INTO TpdbGroups (Name) SELECT 'G' || n FROM generate_series(1, 3000) AS n");
    EXPECT_EQ(Hear(*listener, 3000).size(), 3000u);
    theirs.Execute("UPDATE TpdbGroups SET UpdateRate = 500 WHERE Name = 'G7'");
    const std::vector<OthersChange> next = Hear(*listener, 1);
    ASSERT_EQ(next.size(), 1u) << "the 3000 rows are not told again";
    EXPECT_EQ(next[0].after.value(QStringLiteral("Name")).toString(), QStringLiteral("G7"));

    // Entries older than a day go when a studio opens the project for editing.
    cluster->RunSql(QStringLiteral("feedlog"),
                    QStringLiteral("UPDATE team.ov_changes SET at = now() - interval '25 hours' WHERE seq < (SELECT max(seq) FROM team.ov_changes)"));
    const auto count = [&] {
        return cluster->Query(QStringLiteral("feedlog"), QStringLiteral("SELECT count(*) FROM team.ov_changes"))[0][0].toInt();
    };
    Connection reader;
    reader.Open(ov::model::ProjectReadConnectionString(url));
    EXPECT_GT(count(), 1) << "opening to read leaves the log alone";
    Connection editor;
    editor.Open(ov::model::ProjectConnectionString(url));
    EXPECT_EQ(count(), 1) << "only the recent change stays";
}
