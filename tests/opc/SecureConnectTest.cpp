// Connecting the browse dialog to a server that wants security, where the
// real server cannot easily be made to do it: the server's registry keys,
// a remembered password, a user asked for up front, Trust once, Trust of a
// certificate trust cannot cure, and Stop and Cancel while connecting. The
// helper is played by tests/fixtures/scripted-helper.js, which speaks its
// lines for a server described in a small JSON file. SecuredServerTest
// covers the rest against the real server.

#include "opc/FServerLogin.h"
#include "support/QtPrinters.h"
#include "OpcEditorTest.h"
#include "ScriptedServer.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace ov;
using settings::Text;

namespace {

const QString kEndpoint = QStringLiteral("opc.tcp://plant7.invalid:4840");
const QString kThumbprint = QStringLiteral("3F2A9C0D11B4E5F60718293A4B5C6D7E8F901A2B");
const QString kReconnect = QStringLiteral("cmdReconnect");

QJsonObject Certificate(const QStringList& problems) {
    return {{"subject", "CN=PLC7, O=Plant"}, {"issuer", "CN=Plant CA"}, {"validFrom", "2019-02-01T00:00:00Z"},
            {"validTo", "2020-01-31T23:59:59Z"}, {"thumbprint", kThumbprint},
            {"problems", QJsonArray::fromStringList(problems)}, {"host", "plant7.invalid"}};
}

class SecureConnectTest : public test::ScriptedServer<test::OpcEditorTest> {
  protected:
    void SetUp() override {
        ScriptedServer::SetUp();
        if (IsSkipped()) return;
        opc::ForgetRememberedPasswords();
        Key("Endpoint", kEndpoint);
        Open();
        UseServer(QStringLiteral("Secure.Live.1"));
        ClearShown();
    }
    void Key(const char* name, const QString& value) { ServerKey(QStringLiteral("Secure.Live.1"), name, value); }
    // Browses and closes the dialog with Cancel, giving its connection line.
    QString ConnectionLine() {
        QString line;
        Browse([&line](opc::FBrowseItemsOCX& f) {
            line = f.Get(kConnection).caption;
            f.PressCancel();
        });
        return line;
    }
    static QString Connected(const char* choice) {
        return QStringLiteral("Connected to %1 (%2)").arg(kEndpoint, QString::fromUtf8(choice));
    }
    static void LogOn(ui::Form& f, const char* user, const char* password, bool remember = false) {
        f.UserSetText(QStringLiteral("txtUser"), QString::fromUtf8(user));
        f.UserSetText(QStringLiteral("txtPassword"), QString::fromUtf8(password));
        f.UserCheck(QStringLiteral("chkRemember"), remember);
        f.PressDefault();
    }
};

TEST_F(SecureConnectTest, TheServersKeysGoIntoTheConnectAndTheStatusLineShowsTheChoice) {
    // Without keys the helper chooses, and the dialog says what it chose.
    EXPECT_EQ(ConnectionLine(), Connected("SignAndEncrypt, Aes256_Sha256_RsaPss, anonymous"));
    Key("SecurityMode", QStringLiteral("sign"));
    Key("SecurityPolicy", QStringLiteral(" Basic256Sha256 "));
    Key("Timeout", QStringLiteral("7"));
    EXPECT_EQ(ConnectionLine(), Connected("Sign, Basic256Sha256, anonymous"));
    const auto requests = ConnectRequests();
    ASSERT_EQ(requests.size(), 2u);
    for (const char* left : {"securityMode", "securityPolicy", "user", "password", "acceptCertificate"})
        EXPECT_FALSE(requests[0].contains(QLatin1String(left))) << left;
    EXPECT_EQ(requests[0]["timeoutMs"].toInt(), 30000);
    EXPECT_EQ(requests[1]["securityMode"].toString(), QStringLiteral("Sign")) << "in the helper's spelling";
    EXPECT_EQ(requests[1]["timeoutMs"].toInt(), 7000);
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'|').toStdString();
}

TEST_F(SecureConnectTest, AValueOutsideItsListIsRefusedNamingTheKeyAndWhatItAllows) {
    const struct {
        const char* key;
        const char* value;
        const char* allowed;
    } cases[] = {{"SecurityMode", "Encrypt", "None, Sign, SignAndEncrypt"},
                 {"SecurityPolicy", "Basic128Rsa15", "Basic256Sha256, Aes128_Sha256_RsaOaep, Aes256_Sha256_RsaPss"},
                 {"Timeout", "0", "from 1 to 600"},
                 {"Timeout", "601", "from 1 to 600"},
                 {"Timeout", "30s", "from 1 to 600"}};
    for (const auto& c : cases) {
        Key(c.key, QString::fromUtf8(c.value));
        ClearShown();
        Browse([](opc::FBrowseItemsOCX& f) {
            EXPECT_TRUE(f.Get(kTree).nodes.empty());
            f.PressCancel();
        });
        ASSERT_EQ(Messages().size(), 1) << c.key;
        for (const char* named : {c.key, c.value, c.allowed})
            EXPECT_TRUE(Messages().front().contains(QString::fromUtf8(named))) << Messages().front().toStdString();
        Key(c.key, QString());
    }
    EXPECT_TRUE(ConnectRequests().empty()) << "nothing is asked of a server that is named wrongly";
}

TEST_F(SecureConnectTest, ARememberedPasswordIsTakenUntilTheServerRefusesIt) {
    Describe({{"user", "operator"}, {"password", "s3cret"}});
    OnForm("FServerLogin", [](ui::Form& f) { LogOn(f, "operator", "s3cret", true); });
    EXPECT_EQ(ConnectionLine(), Connected("SignAndEncrypt, Aes256_Sha256_RsaPss, user operator"));
    EXPECT_EQ(ConnectionLine(), Connected("SignAndEncrypt, Aes256_Sha256_RsaPss, user operator"));
    EXPECT_EQ(TimesShown("FServerLogin"), 1) << "remembered";

    // The password changed on the server: the remembered one is refused once and forgotten.
    Describe({{"user", "operator"}, {"password", "n3w"}});
    OnForm("FServerLogin", [](ui::Form& f) { f.PressCancel(); });
    ConnectionLine();
    OnForm("FServerLogin", [](ui::Form& f) { LogOn(f, "operator", "n3w"); });
    EXPECT_EQ(ConnectionLine(), Connected("SignAndEncrypt, Aes256_Sha256_RsaPss, user operator"));
    EXPECT_EQ(TimesShown("FServerLogin"), 3);
    EXPECT_EQ(Messages().size(), 1);
    // Not remembered this time.
    OnForm("FServerLogin", [](ui::Form& f) { f.PressCancel(); });
    ConnectionLine();
    EXPECT_EQ(TimesShown("FServerLogin"), 4);
}

TEST_F(SecureConnectTest, AUserKeyIsAskedForBeforeConnecting) {
    Describe({{"user", "operator"}, {"password", "s3cret"}});
    Key("User", QStringLiteral("operator"));
    OnForm("FServerLogin", [](ui::Form& f) {
        EXPECT_EQ(f.Get(QStringLiteral("txtUser")).text, QStringLiteral("operator"));
        EXPECT_EQ(f.Focus().control, QStringLiteral("txtPassword"));
        LogOn(f, "operator", "s3cret");
    });
    EXPECT_EQ(ConnectionLine(), Connected("SignAndEncrypt, Aes256_Sha256_RsaPss, user operator"));
    ASSERT_EQ(ConnectRequests().size(), 1u);
    EXPECT_EQ(ConnectRequests()[0]["password"].toString(), QStringLiteral("s3cret"));
}

TEST_F(SecureConnectTest, TrustOnceIsAskedAgainNextTimeAndCancelLeavesNoSpace) {
    Describe({{"certificate", Certificate({"untrusted"})}});
    OnForm("FServerCertificate", [](ui::Form& f) { f.UserClick(QStringLiteral("cmdTrustOnce")); });
    EXPECT_TRUE(ConnectionLine().startsWith(QStringLiteral("Connected")));
    const int before = PlcItems();
    OnForm("FServerCertificate", [](ui::Form& f) { f.PressDefault(); });
    Browse([](opc::FBrowseItemsOCX& f) {
        EXPECT_TRUE(f.Get(kTree).nodes.empty());
        const QString line = f.Get(kConnection).caption;
        EXPECT_TRUE(line.contains(kThumbprint) && line.contains(QStringLiteral("not trusted"))) << line.toStdString();
        f.PressDefault();
    });
    EXPECT_EQ(TimesShown("FServerCertificate"), 2);
    EXPECT_TRUE(Messages().isEmpty()) << "the person's own Cancel needs no message";
    EXPECT_EQ(PlcItems(), before);
    const auto requests = ConnectRequests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1]["acceptCertificate"].toString(), kThumbprint);
    EXPECT_FALSE(requests[2].contains(QLatin1String("acceptCertificate")));
}

TEST_F(SecureConnectTest, AnExpiredCertificateAndOneForAnotherHostAreNamedAndTrustTakesThemOnce) {
    Describe({{"certificate", Certificate({"expired", "hostMismatch"})}});
    OnForm("FServerCertificate", [](ui::Form& f) {
        EXPECT_EQ(f.Get(QStringLiteral("txtProblems")).text,
                  QStringLiteral("expired on 2020-01-31\nissued for another host than plant7.invalid"));
        f.UserClick(QStringLiteral("cmdTrust"));
    });
    EXPECT_TRUE(ConnectionLine().startsWith(QStringLiteral("Connected")));
    // Trust cannot make it valid: it was taken for that connection, and is asked about again.
    EXPECT_EQ(ConnectRequests().back()["acceptCertificate"].toString(), kThumbprint);
    OnForm("FServerCertificate", [](ui::Form& f) {
        EXPECT_TRUE(f.Get(QStringLiteral("txtProblems")).text.startsWith(QStringLiteral("expired")));
        f.PressCancel();
    });
    ConnectionLine();
    EXPECT_EQ(TimesShown("FServerCertificate"), 2);
}

TEST_F(SecureConnectTest, StopAndCancelEndAConnectThatGetsNoAnswer) {
    Browse([this](opc::FBrowseItemsOCX& f) {
        // The connection breaks and the server takes calls but never answers.
        Describe({{"epoch", 1}, {"silent", true}});
        ui::SetEventPump([&f] {
            if (f.Get(QStringLiteral("cmdStop")).enabled) f.UserClick(QStringLiteral("cmdStop"));
        });
        QElapsedTimer waited;
        waited.start();
        f.UserExpandNode(kTree, NodeAt(f, QStringLiteral("Tank")));
        EXPECT_LT(waited.elapsed(), 3000);
        EXPECT_EQ(f.Get(kConnection).caption, Text(9257));
        EXPECT_TRUE(f.Get(kReconnect).enabled);
        EXPECT_TRUE(f.IsShown());
        EXPECT_TRUE(Messages().isEmpty()) << Messages().join(u'|').toStdString();
        // The helper went with the stopped connect; Reconnect starts it again.
        Describe({{"epoch", 1}});
        ui::SetEventPump({});
        f.UserClick(kReconnect);
        EXPECT_TRUE(f.Get(kConnection).caption.startsWith(QStringLiteral("Connected")));

        Describe({{"epoch", 2}, {"silent", true}});
        ui::SetEventPump([&f] {
            if (f.Get(QStringLiteral("cmdStop")).enabled) f.UserClick(QStringLiteral("cmdCancel"));
        });
        f.UserExpandNode(kTree, NodeAt(f, QStringLiteral("Pump")));
        ui::SetEventPump({});
        EXPECT_FALSE(f.IsShown());
        EXPECT_TRUE(f.Cancelled());
    });
}

}  // namespace
