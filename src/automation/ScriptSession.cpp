#include "automation/ScriptSession.h"

#include "components/InstalledPrograms.h"
#include "platform/system/SystemTools.h"

#include "editor/AddinEntry.h"
#include "check/MCheck.h"
#include "opc/MOpc.h"
#include "tools/MTools.h"
#include "host/Connect.h"
#include "model/DemoProject.h"
#include "model/ProjectTemplate.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/host/InMemoryHost.h"

namespace ov::automation {

HeadlessSession::HeadlessSession() {
    opc::InstallEditor();
    tools::InstallEditor();
    check::InstallEditor();
}

HeadlessSession::~HeadlessSession() { Close(); }

host::HostStudio* HeadlessSession::Host() { return m_host.get(); }

bool HeadlessSession::Open(const QString& path, QString* error) {
    Close();
    try {
        // The same checks as every open: a clear reason instead of an empty tree.
        db::Connection check;
        check.Open(model::ProjectConnectionString(path));
    } catch (const db::DbError& e) {
        if (error) *error = e.Description();
        return false;
    }
    m_host = std::make_unique<host::InMemoryHost>();
    m_session = std::make_unique<host::Connect>();
    m_session->Initialize(path, QString(), m_host.get(), m_host.get());
    if (m_session->SessionState() != host::Connect::State::Initialized) {
        if (error) *error = QStringLiteral("The project '%1' cannot be opened.").arg(path);
        Close();
        return false;
    }
    return true;
}

bool HeadlessSession::Create(const QString& path, bool demo, QString* error) {
    try {
        if (demo) {
            model::CreateDemoProject(path);
            // Its servers and driver join the installation, as in the studio.
            sys::Registry registry = sys::SystemTools::Instance().GetRegistry();
            components::RegisterDemoInstallation(registry);
        } else {
            model::CreateProjectDatabase(path);
        }
    } catch (const db::DbError& e) {
        if (error) *error = e.Description();
        return false;
    }
    return Open(path, error);
}

void HeadlessSession::Close() {
    if (m_session) m_session->Terminate();
    m_session.reset();
    m_host.reset();
}

bool LiveSession::Open(const QString&, QString* error) {
    if (error) *error = QStringLiteral("In the studio, projects are opened with the File menu.");
    return false;
}

bool LiveSession::Create(const QString&, bool, QString* error) {
    if (error) *error = QStringLiteral("In the studio, projects are created with the File menu.");
    return false;
}

}  // namespace ov::automation
