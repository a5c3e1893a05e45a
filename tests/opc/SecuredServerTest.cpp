// The browse dialog against the helper's test server with security on:
// SignAndEncrypt with Basic256Sha256, a user with a password, certificates
// the person is asked about, and a server killed mid-dialog and started
// again on its port. Each test has a client PKI folder of its own.

#include "opc/FServerLogin.h"
#include "support/QtPrinters.h"
#include "OpcEditorTest.h"
#include "TestServer.h"

#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace ov;
using settings::Text;

namespace {

const QString kPlant = QStringLiteral(OV_SOURCE_DIR "/tests/fixtures/plant.NodeSet2.xml");

class SecuredServerTest : public test::OpcEditorTest {
  protected:
    static void SetUpTestSuite() {
        if (!test::HelperInstalled()) return;
        serverPki = new QTemporaryDir;
        secure = new test::TestServer(Arguments({"--user", "operator:s3cret"}));
    }
    static void TearDownTestSuite() {
        delete secure;
        secure = nullptr;
        delete serverPki;
        serverPki = nullptr;
    }
    // The plant's space over SignAndEncrypt only, the server's certificate in the suite's folder.
    static QStringList Arguments(const QStringList& more) {
        return QStringList{"--nodeset", kPlant, "--security", "SignAndEncrypt:Basic256Sha256", "--pki", serverPki->path()} + more;
    }
    void SetUp() override {
        if (!test::HelperInstalled()) GTEST_SKIP() << "node or the helper's npm packages are missing (scripts/setup.sh)";
        ASSERT_FALSE(secure->Endpoint().isEmpty()) << "the test server did not start";
        qputenv("OVOPC_PKI", clientPki.path().toLocal8Bit());
        opc::ForgetRememberedPasswords();
        Serve(secure->Endpoint());
        Open();
        UseServer(QStringLiteral("Secure.Live.1"));
        ClearShown();
    }
    void TearDown() override {
        qunsetenv("OVOPC_PKI");
        OpcEditorTest::TearDown();
    }
    void Serve(const QString& endpoint) { ServerKey(QStringLiteral("Secure.Live.1"), "Endpoint", endpoint); }
    static void LogOn(const char* password) {
        OnForm("FServerLogin", [password](ui::Form& f) {
            f.UserSetText(QStringLiteral("txtUser"), QStringLiteral("operator"));
            f.UserSetText(QStringLiteral("txtPassword"), QString::fromUtf8(password));
            f.PressDefault();
        });
    }
    // The problems the certificate dialog names; it is then left with the button given.
    static void ExpectCertificate(const QString& thumbprint, QString* problems, const char* button) {
        OnForm("FServerCertificate", [thumbprint, problems, button](ui::Form& f) {
            EXPECT_EQ(f.Get(QStringLiteral("txtThumbprint")).text, thumbprint);
            *problems = f.Get(QStringLiteral("txtProblems")).text;
            f.UserClick(QString::fromUtf8(button));
        });
    }

    QTemporaryDir clientPki;
    static inline QTemporaryDir* serverPki = nullptr;
    static inline test::TestServer* secure = nullptr;
};

TEST_F(SecuredServerTest, TrustedAndLoggedOnTheTicksBecomeItemsAndAWrongPasswordAppliesNothing) {
    QString problems;
    ExpectCertificate(secure->Thumbprint(), &problems, "cmdTrust");
    LogOn("s3cret");
    const int before = PlcItems();
    Browse([](opc::FBrowseItemsOCX& f) {
        EXPECT_EQ(f.Get(kConnection).caption,
                  QStringLiteral("Connected to %1 (SignAndEncrypt, Basic256Sha256, user operator)").arg(secure->Endpoint()));
        const QString motor = NodeAt(f, QStringLiteral("Plant/Line1/Motor1"));
        ASSERT_FALSE(motor.isEmpty());
        f.UserCheckNode(kTree, motor, true);
        f.PressDefault();
    });
    EXPECT_EQ(problems, Text(9243));
    EXPECT_GT(PlcItems(), before);
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'|').toStdString();

    // Trusted now: only the password is asked, and a wrong one changes nothing.
    const int taken = PlcItems();
    LogOn("wrong");
    OnForm("FServerLogin", [](ui::Form& f) { f.PressCancel(); });
    Browse([](opc::FBrowseItemsOCX& f) {
        EXPECT_TRUE(f.Get(kTree).nodes.empty());
        f.PressDefault();
    });
    EXPECT_EQ(TimesShown("FServerCertificate"), 1);
    EXPECT_EQ(TimesShown("FServerLogin"), 3);
    EXPECT_EQ(Messages(), QStringList{Text(9235)});
    EXPECT_EQ(PlcItems(), taken);
}

TEST_F(SecuredServerTest, AServerKilledMidDialogIsConnectedAgainAndReconnectWaitsForIt) {
    auto server = std::make_unique<test::TestServer>(Arguments({"--user", "operator:s3cret"}));
    ASSERT_FALSE(server->Endpoint().isEmpty());
    const int port = server->Port();
    const QString endpoint = server->Endpoint();
    Serve(server->Endpoint());
    QString problems;
    ExpectCertificate(server->Thumbprint(), &problems, "cmdTrustOnce");
    LogOn("s3cret");
    Browse([&](opc::FBrowseItemsOCX& f) {
        const QString plant = NodeAt(f, QStringLiteral("Plant"));
        ASSERT_FALSE(plant.isEmpty());
        // Killed and started again: the next action goes through, with the same password and certificate.
        server.reset();
        QThread::msleep(500);
        server = std::make_unique<test::TestServer>(Arguments({"--user", "operator:s3cret"}), port);
        ASSERT_FALSE(server->Endpoint().isEmpty());
        EXPECT_FALSE(NodeAt(f, QStringLiteral("Plant/Line1")).isEmpty());
        EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'|').toStdString();
        // Killed for good: one message, then Reconnect once it is back.
        server.reset();
        QThread::msleep(500);
        f.UserExpandNode(kTree, NodeAt(f, QStringLiteral("Plant/Line2")));
        ASSERT_EQ(Messages().size(), 1);
        EXPECT_TRUE(Messages().front().startsWith(QStringLiteral("The connection to %1 was lost").arg(endpoint)))
            << Messages().front().toStdString();
        EXPECT_EQ(Messages().front().count(endpoint), 1) << "named once";
        EXPECT_TRUE(f.Get(QStringLiteral("cmdReconnect")).enabled);
        server = std::make_unique<test::TestServer>(Arguments({"--user", "operator:s3cret"}), port);
        f.UserClick(QStringLiteral("cmdReconnect"));
        EXPECT_TRUE(f.Get(kConnection).caption.startsWith(QStringLiteral("Connected"))) << f.Get(kConnection).caption.toStdString();
        EXPECT_FALSE(NodeAt(f, QStringLiteral("Plant/Line2/Tank")).isEmpty());
        f.PressCancel();
    });
    EXPECT_EQ(TimesShown("FServerCertificate"), 1);
    EXPECT_EQ(TimesShown("FServerLogin"), 1);
}

}  // namespace
