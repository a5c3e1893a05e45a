#pragma once

// The OPC UA helper's test server (apps/opcua-helper/server.js) on a free
// loopback port, for the tests that talk to a real server.

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ov::test {

// A loopback port nobody listens on at this moment.
inline int FreePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(s);
    return ntohs(address.sin_port);
}

inline bool HelperInstalled() {
    return !QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty() &&
           QFile::exists(QStringLiteral(OV_SOURCE_DIR "/apps/opcua-helper/node_modules/node-opcua"));
}

// Started with the server's arguments ("--nodeset", file or "--generate",
// "10x10"; "--security", "SignAndEncrypt:Basic256Sha256", "--user",
// "name:password", "--pki", folder, "--certificate-expired",
// "--certificate-host", name), on a free port or the one given; the endpoint
// is empty when it did not say it was ready within a minute. Stopped by its
// process ID when it goes.
class TestServer {
  public:
    explicit TestServer(const QStringList& arguments, int port = 0) {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("node"), QStringList{QStringLiteral(OV_SOURCE_DIR "/apps/opcua-helper/server.js"),
                                                            QStringLiteral("--port"), QString::number(port ? port : FreePort())} +
                                                    arguments);
        // The server says where it listens once it does, and which certificate it presents.
        QByteArray line;
        for (int waited = 0; waited < 60000 && !line.contains('\n'); waited += 100)
            if (m_process.waitForReadyRead(100)) line += m_process.readAllStandardOutput();
        const QJsonObject ready = QJsonDocument::fromJson(line.left(line.indexOf('\n'))).object();
        m_endpoint = ready.value(QLatin1String("endpoint")).toString();
        m_thumbprint = ready.value(QLatin1String("thumbprint")).toString();
    }
    ~TestServer() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    const QString& Endpoint() const { return m_endpoint; }
    const QString& Thumbprint() const { return m_thumbprint; }
    int Port() const { return m_endpoint.section(u':', -1).toInt(); }

  private:
    QProcess m_process;
    QString m_endpoint;
    QString m_thumbprint;
};

}  // namespace ov::test
