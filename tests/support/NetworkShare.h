#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

namespace ov::test {

// While it lives, a folder counts as an NFS share for the projects this
// process opens, and for the programs it starts (OV_TEST_NETWORK_SHARES).
class NetworkShareScope {
public:
    explicit NetworkShareScope(const QString& folder)
        : m_had(qEnvironmentVariableIsSet(kVariable)), m_previous(qgetenv(kVariable)) {
        qputenv(kVariable, QFile::encodeName(folder));
    }
    ~NetworkShareScope() {
        if (m_had)
            qputenv(kVariable, m_previous);
        else
            qunsetenv(kVariable);
    }
    NetworkShareScope(const NetworkShareScope&) = delete;
    NetworkShareScope& operator=(const NetworkShareScope&) = delete;

    static constexpr const char* kVariable = "OV_TEST_NETWORK_SHARES";

private:
    bool m_had;
    QByteArray m_previous;
};

// What a database file's header says about its journal: 2 while it keeps a
// write-ahead log, 1 with a rollback journal, 0 when there is no header.
inline int JournalVersion(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray header = f.read(20);
    return header.size() == 20 ? header[18] : 0;
}

inline constexpr int kWriteAheadLog = 2;
inline constexpr int kRollbackJournal = 1;

}  // namespace ov::test
