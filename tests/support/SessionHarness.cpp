#include "support/SessionHarness.h"

#include "editor/AddinEntry.h"
#include "check/MCheck.h"
#include "opc/MOpc.h"
#include "tools/MTools.h"
#include "host/Rights.h"
#include "platform/system/SystemTools.h"
#include "platform/ui/MessageBox.h"

namespace ov::test {

SessionHarness::SessionHarness() {
    sys::SystemTools::Instance().SetRegistryFile(RegistryFile());
    m_registry = std::make_unique<sys::Registry>(RegistryFile());
    // The installation folder, where the simulation definitions are kept.
    m_registry->WriteValue(sys::Hive::LocalMachine, QStringLiteral("SOFTWARE\\Senmark GmbH\\Orvana\\4.0"),
                           QStringLiteral("Path"), m_dir.path());
    host::Authorization::Current() = {};
    ui::DefaultMessageBoxes().Clear();
    opc::InstallEditor();
    tools::InstallEditor();
    check::InstallEditor();
    Restart();
}

SessionHarness::~SessionHarness() {
    m_session.reset();
    sys::SystemTools::Instance().SetRegistryFile(QString());
}

void SessionHarness::Restart() {
    m_session.reset();
    m_host = std::make_unique<host::InMemoryHost>();
    m_session = std::make_unique<host::Connect>();
}

void SessionHarness::Start(const QString& project, bool withOwner) {
    m_session->Initialize(project, QString(), m_host.get(), withOwner ? m_host.get() : nullptr);
}

void SessionHarness::Load() { m_session->NodeExpand(QString(), QStringLiteral("OPCE0"), QString()); }

}  // namespace ov::test
