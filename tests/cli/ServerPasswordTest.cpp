// ovopc on a project on a server whose role needs a password that neither
// PGPASSWORD nor ~/.pgpass gives: asked for on a terminal, without echo;
// without a terminal the command fails with the server's wish as before.

#include "model/DemoProject.h"
#include "support/PgCluster.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const QString kRole = QStringLiteral("bert");
const QString kPassword = QStringLiteral("Tannen-zapfen7");

struct Ran {
    int exitCode = -1;
    QString shown;  // everything the program wrote, as the terminal showed it
};

// Runs ovopc on a pseudo-terminal of its own and types the line the first
// time it asks for a password.
Ran OnTerminal(const QStringList& arguments, const QString& typed, const QStringList& environment) {
    std::vector<std::string> words{OVOPC_PATH}, assignments;
    for (const QString& argument : arguments) words.push_back(argument.toStdString());
    for (const QString& assignment : environment) assignments.push_back(assignment.toStdString());
    std::vector<char*> argv, envp;
    for (std::string& word : words) argv.push_back(word.data());
    for (std::string& assignment : assignments) envp.push_back(assignment.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    Ran ran;
    if (child < 0) return ran;
    QByteArray shown;
    bool answered = false;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 30000) {
        pollfd ready{terminal, POLLIN, 0};
        if (poll(&ready, 1, 200) <= 0) continue;
        char buffer[512];
        const ssize_t got = read(terminal, buffer, sizeof buffer);
        if (got <= 0) break;  // the program ended and the terminal closed
        shown.append(buffer, got);
        if (!answered && shown.contains("Password")) {
            const QByteArray line = typed.toUtf8() + '\n';
            EXPECT_EQ(write(terminal, line.constData(), static_cast<size_t>(line.size())), line.size());
            answered = true;
        }
    }
    int status = 0;
    // A program still waiting for its line fails the test rather than hanging it.
    QElapsedTimer ending;
    ending.start();
    while (waitpid(child, &status, WNOHANG) == 0 && ending.elapsed() < 5000) usleep(10000);
    if (ending.elapsed() >= 5000) {
        ADD_FAILURE() << "still running after: " << shown.toStdString();
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    close(terminal);
    ran.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    ran.shown = QString::fromUtf8(shown);
    return ran;
}

class OvopcServerPassword : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const ov::test::PgCluster* cluster = ov::test::SharedPgCluster();
        if (!cluster) return;
        cluster->CreateDatabase(QStringLiteral("asked"));
        ov::model::CreateDemoProject(cluster->Url(QStringLiteral("asked"), QStringLiteral("plant")));
        cluster->CreateRole(kRole, kPassword);
        cluster->RunSql(QStringLiteral("asked"), QStringLiteral("GRANT USAGE ON SCHEMA plant TO bert;"
                                                                "GRANT SELECT ON ALL TABLES IN SCHEMA plant TO bert"));
    }
    void SetUp() override {
        OV_REQUIRE_PG_CLUSTER(cluster);
        url = cluster->Url(QStringLiteral("asked"), QStringLiteral("plant")).replace(QStringLiteral("//ov@"),
                                                                                   QStringLiteral("//bert@"));
    }
    // The program's environment: its own registry, no password anywhere unless given.
    QStringList Environment(const QStringList& more = {}) const {
        QStringList environment;
        const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
        for (const QString& name : system.keys())
            if (name != QStringLiteral("PGPASSWORD")) environment << name + u'=' + system.value(name);
        return environment + QStringList{QStringLiteral("OVSTUDIO_REGISTRY=") + dir.filePath(QStringLiteral("registry.ini")),
                                         QStringLiteral("PGPASSFILE=") + dir.filePath(QStringLiteral("none"))} +
               more;
    }

    QTemporaryDir dir;
    QString url;
};

TEST_F(OvopcServerPassword, OnATerminalThePasswordIsAskedOnceWithoutEcho) {
    const Ran right = OnTerminal({"info", url}, kPassword, Environment());
    EXPECT_EQ(right.exitCode, 0) << right.shown.toStdString();
    EXPECT_TRUE(right.shown.contains(QStringLiteral("Password of the role 'bert'"))) << right.shown.toStdString();
    EXPECT_TRUE(right.shown.contains(QStringLiteral("items: 23"))) << right.shown.toStdString();
    EXPECT_FALSE(right.shown.contains(kPassword)) << "typed without echo";

    // A wrong one is told as the server's refusal, not asked again.
    const Ran wrong = OnTerminal({"info", url}, QStringLiteral("guessed"), Environment());
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_EQ(wrong.shown.count(QStringLiteral("Password of")), 1) << wrong.shown.toStdString();
    EXPECT_TRUE(wrong.shown.contains(QStringLiteral("refused the password of the role 'bert'"))) << wrong.shown.toStdString();

    // PGPASSWORD is where libpq looks first: nobody is asked then, right or wrong.
    const Ran given = OnTerminal({"info", url}, QString(), Environment({QStringLiteral("PGPASSWORD=") + kPassword}));
    EXPECT_EQ(given.exitCode, 0) << given.shown.toStdString();
    EXPECT_FALSE(given.shown.contains(QStringLiteral("Password of")));
    // The role may only read: the tree is reading too.
    const Ran tree = OnTerminal({"tree", url}, QString(), Environment({QStringLiteral("PGPASSWORD=") + kPassword}));
    EXPECT_EQ(tree.exitCode, 0) << tree.shown.toStdString();
    EXPECT_TRUE(tree.shown.contains(QStringLiteral("Line1.Motor1\tMotor1\ticoItemBranch\t3"))) << tree.shown.toStdString();
    const Ran givenWrong = OnTerminal({"info", url}, kPassword, Environment({QStringLiteral("PGPASSWORD=guessed")}));
    EXPECT_EQ(givenWrong.exitCode, 1);
    EXPECT_FALSE(givenWrong.shown.contains(QStringLiteral("Password of")));
}

TEST_F(OvopcServerPassword, WithoutATerminalTheCommandFailsWithTheServersWish) {
    QProcess process;
    QProcessEnvironment environment;
    for (const QString& assignment : Environment()) environment.insert(assignment.section(u'=', 0, 0), assignment.section(u'=', 1));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(OVOPC_PATH), {QStringLiteral("tree"), url});
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(30000));
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_EQ(err, QStringLiteral("ovopc: error: The project server wants a password for the role 'bert' (in PGPASSWORD "
                                  "or ~/.pgpass).\n"));
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
}

}  // namespace
