#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <stdexcept>
#include <vector>

namespace ov::test {

// A throwaway PostgreSQL server for tests, in a temporary folder, listening on
// a free loopback port and on a Unix socket in that folder.
//
// One cluster serves a whole test program: SharedPgCluster() starts it on the
// first call and gives the same cluster to every later one; it is stopped
// (pg_ctl -m fast stop) and its folder removed when the program exits. A
// watchdog process stops it as well should the program die without exiting.
//
// The server binaries are looked for in /usr/lib/postgresql/<version>/bin (the
// highest version; Debian's postgresql package), then on PATH. The cluster is
// made with initdb --no-sync and runs with fsync off: nothing in it is meant
// to outlive the program. Run as root, initdb and the server run as the user
// "nobody", since PostgreSQL refuses to run as root.
//
// The superuser "ov" needs no password; every other role logs in over TCP with
// its password (CreateRole), so password checks can be tested too.
//
// Tests begin with OV_REQUIRE_PG_CLUSTER(cluster): it skips the test with a
// message naming the package to install when the binaries are missing, and
// fails it when they are there but the server would not start.
class PgCluster {
  public:
    ~PgCluster();
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    int Port() const { return m_port; }
    QString Host() const { return QStringLiteral("127.0.0.1"); }
    QString SocketFolder() const { return m_folder; }
    QString Superuser() const { return QStringLiteral("ov"); }

    // "postgresql://ov@127.0.0.1:PORT/DATABASE?project=PROJECT", the form of a
    // server project's Data Source.
    QString Url(const QString& database, const QString& project) const;
    // libpq's keyword form for the superuser ("host=... port=... user=ov dbname=...").
    QString ConnectionInfo(const QString& database) const;

    // Through libpq directly, as the superuser; each throws std::runtime_error
    // with the server's message when it fails.
    void CreateDatabase(const QString& name) const;
    void RunSql(const QString& database, const QString& sql) const;  // one or more statements
    // The rows of a query, every value as text (a null as a null QString).
    std::vector<QStringList> Query(const QString& database, const QString& sql) const;
    // A role that may log in with the password.
    void CreateRole(const QString& name, const QString& password) const;

  private:
    friend const PgCluster* SharedPgCluster();
    PgCluster() = default;
    void Start(const QString& binaries);
    void Stop();

    QString m_binaries;
    QString m_folder;
    int m_port = 0;
    int m_watchdog = -1;  // write end of the watchdog's pipe
    bool m_running = false;
};

// The cluster of this test program, started on first use; nullptr when it
// cannot run (PgClusterUnavailable() says why).
const PgCluster* SharedPgCluster();
QString PgClusterUnavailable();
// True when the server binaries are not installed (skip rather than fail).
bool PgClusterMissing();

}  // namespace ov::test

#define OV_REQUIRE_PG_CLUSTER(name)                                           \
    const ::ov::test::PgCluster* name = ::ov::test::SharedPgCluster();        \
    if (!name) {                                                              \
        if (::ov::test::PgClusterMissing())                                   \
            GTEST_SKIP() << ::ov::test::PgClusterUnavailable().toStdString(); \
        FAIL() << ::ov::test::PgClusterUnavailable().toStdString();           \
    }
