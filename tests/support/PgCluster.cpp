#include "support/PgCluster.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <QVersionNumber>

#include <arpa/inet.h>
#include <fcntl.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

extern char** environ;

namespace ov::test {

namespace {

QString g_unavailable;
bool g_missing = false;

// The folder holding initdb and pg_ctl: OV_PG_BINDIR, else the highest
// version under /usr/lib/postgresql, else PATH. Empty when none has both.
QString FindBinaries() {
    auto complete = [](const QString& folder) {
        return QFileInfo(folder + QStringLiteral("/initdb")).isExecutable() &&
               QFileInfo(folder + QStringLiteral("/pg_ctl")).isExecutable();
    };
    const QString chosen = qEnvironmentVariable("OV_PG_BINDIR");
    if (!chosen.isEmpty()) return complete(chosen) ? chosen : QString();
    QString best;
    QVersionNumber bestVersion;
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    for (const QString& name : versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QVersionNumber version = QVersionNumber::fromString(name);
        const QString folder = versions.filePath(name) + QStringLiteral("/bin");
        if (!version.isNull() && complete(folder) && (best.isEmpty() || version > bestVersion)) {
            best = folder;
            bestVersion = version;
        }
    }
    if (!best.isEmpty()) return best;
    const QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"));
    if (!initdb.isEmpty() && complete(QFileInfo(initdb).absolutePath()))
        return QFileInfo(initdb).absolutePath();
    return QString();
}

int FreeLoopbackPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(s);
    return port;
}

// PostgreSQL refuses to run as root: then every server command runs as nobody.
QStringList Unprivileged() {
    if (::geteuid() != 0) return {};
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody)
        throw std::runtime_error("running as root, and there is no user \"nobody\" to run PostgreSQL as");
    return {QStringLiteral("setpriv"), QStringLiteral("--reuid=%1").arg(nobody->pw_uid),
            QStringLiteral("--regid=%1").arg(nobody->pw_gid), QStringLiteral("--clear-groups")};
}

// Runs a program to its end with its output in outputFile; gives the exit
// status (-1 when it could not start). No Qt here: it also runs at exit.
int Run(const QStringList& arguments, const QString& outputFile, int stdinFd = -1, bool newSession = false,
        pid_t* started = nullptr) {
    std::vector<std::string> storage;
    for (const QString& a : arguments) storage.push_back(a.toStdString());
    std::vector<char*> argv;
    for (std::string& a : storage) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string output = outputFile.toStdString();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdinFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdinFd, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (newSession) posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (failed) return -1;
    if (started) {
        *started = pid;
        return 0;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

QString Tail(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return QString();
    const QByteArray all = f.readAll();
    return QString::fromLocal8Bit(all.right(2000)).trimmed();
}

QString QuotedName(const QString& name) {
    QString inner = name;
    inner.replace(u'"', QStringLiteral("\"\""));
    return u'"' + inner + u'"';
}

QString QuotedText(const QString& text) {
    QString inner = text;
    inner.replace(u'\'', QStringLiteral("''"));
    return u'\'' + inner + u'\'';
}

struct Session {
    PGconn* conn;
    explicit Session(const QString& info) : conn(PQconnectdb(info.toUtf8().constData())) {
        if (PQstatus(conn) != CONNECTION_OK) {
            const std::string message = PQerrorMessage(conn);
            PQfinish(conn);
            throw std::runtime_error("cannot connect to the test server: " + message);
        }
        PQsetNoticeProcessor(
            conn, [](void*, const char*) {}, nullptr);
    }
    ~Session() { PQfinish(conn); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

struct Result {
    PGresult* result;
    Result(PGconn* conn, const QString& sql) : result(PQexec(conn, sql.toUtf8().constData())) {
        const ExecStatusType status = PQresultStatus(result);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            const std::string message = PQresultErrorMessage(result);
            PQclear(result);
            throw std::runtime_error(message + "in: " + sql.toStdString());
        }
    }
    ~Result() { PQclear(result); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
};

}  // namespace

PgCluster::~PgCluster() {
    Stop();
}

void PgCluster::Start(const QString& binaries) {
    m_binaries = binaries;
    const QStringList as = Unprivileged();
    QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/ovpg-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder for the test server");
    m_folder = QString::fromLocal8Bit(pattern);
    if (!as.isEmpty()) {
        const passwd* nobody = ::getpwnam("nobody");
        if (::chown(pattern.constData(), nobody->pw_uid, nobody->pw_gid) != 0)
            throw std::runtime_error("cannot hand the test server's folder to nobody");
    }
    const QString data = m_folder + QStringLiteral("/data");
    const QString log = m_folder + QStringLiteral("/server.log");
    const QString output = m_folder + QStringLiteral("/commands.log");

    if (Run(as + QStringList{binaries + QStringLiteral("/initdb"), QStringLiteral("-D"), data,
                             QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-U"), Superuser(),
                             QStringLiteral("--no-sync"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                             QStringLiteral("--locale=C.UTF-8")},
            output) != 0)
        throw std::runtime_error("initdb failed: " + Tail(output).toStdString());

    // The superuser by trust; any other role with its password over TCP.
    QFile hba(data + QStringLiteral("/pg_hba.conf"));
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write the test server's pg_hba.conf");
    hba.write(
        "local all all trust\n"
        "host all ov 127.0.0.1/32 trust\n"
        "host all all 127.0.0.1/32 scram-sha-256\n");
    hba.close();

    // Another program may take the port between the look and the start.
    for (int attempt = 0; attempt < 3 && !m_running; ++attempt) {
        m_port = FreeLoopbackPort();
        const QString options = QStringLiteral(
                                    "-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off "
                                    "-c full_page_writes=off -c synchronous_commit=off")
                                    .arg(m_port)
                                    .arg(m_folder);
        m_running = Run(as + QStringList{binaries + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), data,
                                         QStringLiteral("-o"), options, QStringLiteral("-l"), log,
                                         QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"),
                                         QStringLiteral("start")},
                        output) == 0;
    }
    if (!m_running) throw std::runtime_error("the test server did not start: " + Tail(log).toStdString());

    // The watchdog stops the server and removes the folder once this
    // program's end of the pipe closes, also when the program is killed.
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) == 0) {
        QStringList stop = as + QStringList{binaries + QStringLiteral("/pg_ctl"),
                                            QStringLiteral("-D"),
                                            data,
                                            QStringLiteral("-m"),
                                            QStringLiteral("fast"),
                                            QStringLiteral("stop")};
        for (QString& a : stop) a = QuotedText(a);
        const QString script = QStringLiteral("read _; if [ -d %1 ]; then %2; rm -rf %3; fi")
                                   .arg(QuotedText(data), stop.join(u' '), QuotedText(m_folder));
        pid_t pid = 0;
        if (Run({QStringLiteral("/bin/sh"), QStringLiteral("-c"), script}, QStringLiteral("/dev/null"),
                ends[0], true, &pid) == 0)
            m_watchdog = ends[1];
        else
            ::close(ends[1]);
        ::close(ends[0]);
    }
}

void PgCluster::Stop() {
    if (m_running) {
        Run(Unprivileged() + QStringList{m_binaries + QStringLiteral("/pg_ctl"), QStringLiteral("-D"),
                                         m_folder + QStringLiteral("/data"), QStringLiteral("-m"),
                                         QStringLiteral("fast"), QStringLiteral("stop")},
            QStringLiteral("/dev/null"));
        m_running = false;
    }
    if (!m_folder.isEmpty()) {
        QDir(m_folder).removeRecursively();
        m_folder.clear();
    }
    if (m_watchdog >= 0) {
        ::close(m_watchdog);
        m_watchdog = -1;
    }
}

QString PgCluster::Url(const QString& database, const QString& project) const {
    return QStringLiteral("postgresql://%1@%2:%3/%4?project=%5")
        .arg(Superuser(), Host())
        .arg(m_port)
        .arg(QString::fromUtf8(QUrl::toPercentEncoding(database)),
             QString::fromUtf8(QUrl::toPercentEncoding(project)));
}

QString PgCluster::ConnectionInfo(const QString& database) const {
    return QStringLiteral("host=%1 port=%2 user=%3 dbname=%4 connect_timeout=10")
        .arg(Host())
        .arg(m_port)
        .arg(Superuser(), QuotedText(database));
}

void PgCluster::CreateDatabase(const QString& name) const {
    RunSql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE ") + QuotedName(name));
}

void PgCluster::RunSql(const QString& database, const QString& sql) const {
    Session session(ConnectionInfo(database));
    Result result(session.conn, sql);
}

std::vector<QStringList> PgCluster::Query(const QString& database, const QString& sql) const {
    Session session(ConnectionInfo(database));
    Result result(session.conn, sql);
    std::vector<QStringList> rows;
    const int columns = PQnfields(result.result);
    for (int r = 0; r < PQntuples(result.result); ++r) {
        QStringList row;
        for (int c = 0; c < columns; ++c)
            row << (PQgetisnull(result.result, r, c) ? QString()
                                                     : QString::fromUtf8(PQgetvalue(result.result, r, c)));
        rows.push_back(row);
    }
    return rows;
}

void PgCluster::CreateRole(const QString& name, const QString& password) const {
    RunSql(QStringLiteral("postgres"),
           QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD %2").arg(QuotedName(name), QuotedText(password)));
}

const PgCluster* SharedPgCluster() {
    static std::unique_ptr<PgCluster> cluster;
    static bool tried = false;
    if (tried) return cluster.get();
    tried = true;
    const QString binaries = FindBinaries();
    if (binaries.isEmpty()) {
        g_missing = true;
        g_unavailable = QStringLiteral(
            "PostgreSQL's server programs (initdb, pg_ctl) were not found in /usr/lib/postgresql/*/bin or on "
            "PATH: "
            "install the Debian package \"postgresql\" (scripts/setup.sh does), or name their folder in "
            "OV_PG_BINDIR");
        return nullptr;
    }
    std::unique_ptr<PgCluster> started(new PgCluster);
    try {
        started->Start(binaries);
    } catch (const std::exception& e) {
        g_unavailable = QStringLiteral("the throwaway PostgreSQL server could not be started: ") +
                        QString::fromStdString(e.what());
        return nullptr;  // its destructor removes what was made
    }
    cluster = std::move(started);
    return cluster.get();
}

QString PgClusterUnavailable() {
    return g_unavailable;
}

bool PgClusterMissing() {
    return g_missing;
}

}  // namespace ov::test
