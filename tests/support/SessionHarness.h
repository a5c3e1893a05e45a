#pragma once

#include "host/Connect.h"
#include "platform/host/InMemoryHost.h"
#include "platform/system/Registry.h"
#include "support/TempProject.h"

#include <QTemporaryDir>
#include <memory>

namespace ov::test {

// A studio session without a screen: a registry of its own, the in-memory
// studio and the add-in's Connect with the real editor window.
class SessionHarness {
public:
    SessionHarness();
    ~SessionHarness();

    sys::Registry& Registry() { return *m_registry; }
    host::InMemoryHost& Host() { return *m_host; }
    host::Connect& Session() { return *m_session; }

    // Initialize as the studio does (with an owner), then load the editor.
    void Start(const QString& project, bool withOwner = true);
    void Load();
    // A new Connect and studio, as after closing and opening the project.
    void Restart();

    QString RegistryFile() const { return m_dir.filePath(QStringLiteral("registry.ini")); }
    QString InstallFolder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<sys::Registry> m_registry;
    std::unique_ptr<host::InMemoryHost> m_host;
    std::unique_ptr<host::Connect> m_session;
};

}  // namespace ov::test
