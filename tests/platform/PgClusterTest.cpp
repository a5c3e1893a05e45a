// The throwaway PostgreSQL server the server-backend tests run against: it
// starts once per program, answers over TCP and its socket, and checks the
// passwords of every role but its superuser.

#include "support/PgCluster.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

using ov::test::PgCluster;

namespace {

// Whether libpq can log in with these keywords; the server's message when not.
QString LoginError(const QString& info) {
    PGconn* conn = PQconnectdb(info.toUtf8().constData());
    const QString error =
        PQstatus(conn) == CONNECTION_OK ? QString() : QString::fromUtf8(PQerrorMessage(conn));
    PQfinish(conn);
    return error;
}

TEST(PgCluster, StartsOnceAndAnswersInANewDatabase) {
    OV_REQUIRE_PG_CLUSTER(cluster);
    EXPECT_EQ(cluster, ov::test::SharedPgCluster()) << "one cluster per test program";
    EXPECT_GT(cluster->Port(), 0);

    cluster->CreateDatabase(QStringLiteral("cluster test"));
    cluster->RunSql(
        QStringLiteral("cluster test"),
        QStringLiteral("CREATE TABLE t (id int, name text); INSERT INTO t VALUES (1, 'Motor'), (2, NULL)"));
    const auto rows =
        cluster->Query(QStringLiteral("cluster test"), QStringLiteral("SELECT id, name FROM t ORDER BY id"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (QStringList{QStringLiteral("1"), QStringLiteral("Motor")}));
    EXPECT_TRUE(rows[1][1].isNull()) << "a null stays apart from an empty text";

    EXPECT_THROW(cluster->RunSql(QStringLiteral("cluster test"), QStringLiteral("SELECT * FROM missing")),
                 std::runtime_error);
    EXPECT_THROW(cluster->CreateDatabase(QStringLiteral("cluster test")), std::runtime_error) << "it exists";
}

TEST(PgCluster, UrlNamesTheServerTheDatabaseAndTheProject) {
    OV_REQUIRE_PG_CLUSTER(cluster);
    EXPECT_EQ(cluster->Url(QStringLiteral("plant"), QStringLiteral("line2")),
              QStringLiteral("postgresql://ov@127.0.0.1:%1/plant?project=line2").arg(cluster->Port()));
    // libpq reads the same URL once our own query part is left off.
    EXPECT_EQ(LoginError(QStringLiteral("postgresql://ov@127.0.0.1:%1/postgres").arg(cluster->Port())),
              QString());
}

TEST(PgCluster, TheSocketFolderReachesTheServer) {
    OV_REQUIRE_PG_CLUSTER(cluster);
    EXPECT_EQ(LoginError(QStringLiteral("host=%1 port=%2 user=ov dbname=postgres")
                             .arg(cluster->SocketFolder())
                             .arg(cluster->Port())),
              QString());
}

TEST(PgCluster, RolesLogInWithTheirPasswordOnly) {
    OV_REQUIRE_PG_CLUSTER(cluster);
    cluster->CreateRole(QStringLiteral("engineer"), QStringLiteral("it's secret"));
    const QString base =
        QStringLiteral("host=127.0.0.1 port=%1 user=engineer dbname=postgres ").arg(cluster->Port());
    EXPECT_EQ(LoginError(base + QStringLiteral("password='it\\'s secret'")), QString());
    EXPECT_TRUE(LoginError(base + QStringLiteral("password=wrong"))
                    .contains(QStringLiteral("password authentication failed")));
}

}  // namespace
