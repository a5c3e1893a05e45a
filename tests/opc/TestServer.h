#pragma once

// The OPC UA helper's test server (apps/opcua-helper/server.js) on a free
// loopback port, for the tests that talk to a real server.

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QThread>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ov::test {

// A loopback port that takes connections and never says a word: the
// kernel completes them in the backlog, nobody reads.
class SilentListener {
  public:
    SilentListener() : m_socket(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_socket, 8);
        socklen_t length = sizeof address;
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~SilentListener() { ::close(m_socket); }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    int Port() const { return m_port; }
    QString Endpoint() const { return QStringLiteral("opc.tcp://127.0.0.1:%1").arg(m_port); }

  private:
    int m_socket;
    int m_port = 0;
};

// A loopback port nobody listens on at this moment.
inline int FreePort() { return SilentListener().Port(); }

// Polls until done says so or the time given in milliseconds passed.
template <typename Done>
bool Within(const Done& done, const std::function<void()>& poll, int ms = 2000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        poll();
        QThread::msleep(10);
    }
    return true;
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
