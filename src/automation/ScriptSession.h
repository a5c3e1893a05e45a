#pragma once

#include <QString>
#include <memory>

namespace ov::host {
class Connect;
class HostStudio;
class InMemoryHost;
}  // namespace ov::host

namespace ov::automation {

// Where a script's "studio" works: a session of its own (ovopc run), or the
// live session of the studio's open project (the script console).
class ScriptSession {
public:
    virtual ~ScriptSession() = default;
    virtual host::Connect* Session() = 0;
    virtual host::HostStudio* Host() = 0;
    // Opening and creating projects; false with a reason where not possible.
    virtual bool Open(const QString& path, QString* error) = 0;
    virtual bool Create(const QString& path, bool demo, QString* error) = 0;
    virtual void Close() = 0;
};

// A studio without a screen, owned by the script.
class HeadlessSession : public ScriptSession {
public:
    HeadlessSession();
    ~HeadlessSession() override;
    host::Connect* Session() override { return m_session.get(); }
    host::HostStudio* Host() override;
    bool Open(const QString& path, QString* error) override;
    bool Create(const QString& path, bool demo, QString* error) override;
    void Close() override;

private:
    std::unique_ptr<host::InMemoryHost> m_host;
    std::unique_ptr<host::Connect> m_session;
};

// The studio's own session: the project is opened and closed in the studio.
class LiveSession : public ScriptSession {
public:
    LiveSession(host::Connect& session, host::HostStudio& host) : m_session(session), m_host(host) {}
    host::Connect* Session() override { return &m_session; }
    host::HostStudio* Host() override { return &m_host; }
    bool Open(const QString&, QString* error) override;
    bool Create(const QString&, bool, QString* error) override;
    void Close() override {}

private:
    host::Connect& m_session;
    host::HostStudio& m_host;
};

}  // namespace ov::automation
