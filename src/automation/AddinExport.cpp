// The one exported function of the add-in library: the studio loads the
// library at run time and asks it for its two public objects by name.

#include "check/MCheck.h"
#include "automation/ScriptConsole.h"
#include "editor/AddinEntry.h"
#include "opc/MOpc.h"
#include "tools/MTools.h"
#include "host/CToolbox.h"
#include "host/Connect.h"
#include "host/FProjectLogin.h"
#include "platform/ui/EventGuard.h"

#include <cstring>

extern "C" __attribute__((visibility("default"))) void* OvOpcEditorCreateObject(const char* className) {
    if (!className) return nullptr;
    try {
        if (std::strcmp(className, "Connect") == 0) {
            ov::opc::InstallEditor();
            ov::tools::InstallEditor();
            ov::check::InstallEditor();
            ov::editor::InstallScreenIfAvailable();
            // The console works on the session the studio made last.
            struct LiveConnect : ov::host::Connect {
                LiveConnect() { ov::automation::ScriptConsole::CurrentSession() = this; }
                ~LiveConnect() override {
                    if (ov::automation::ScriptConsole::CurrentSession() == this) ov::automation::ScriptConsole::CurrentSession() = nullptr;
                }
            };
            return static_cast<ov::host::COV4Extensibility*>(new LiveConnect());
        }
        if (std::strcmp(className, "CToolbox") == 0)
            return static_cast<ov::host::IToolbox*>(new ov::host::CToolbox());
        if (std::strcmp(className, "ServerLogin") == 0) {
            // Asked before any session exists: the dialog needs its screen and language first.
            ov::editor::InstallScreenIfAvailable();
            ov::host::ChooseInstallationLanguage();
            struct ServerLogin : ov::host::IServerLogin {
                bool Ask(const QString& server, bool refused, QString& role, QString& password) override {
                    bool entered = false;
                    ov::ui::RunGuarded([&] { entered = ov::host::AskProjectLogin(server, refused, role, password); });
                    return entered;
                }
            };
            return static_cast<ov::host::IServerLogin*>(new ServerLogin());
        }
        if (std::strcmp(className, "ScriptConsole") == 0)
            return static_cast<ov::host::IScriptConsole*>(new ov::automation::ScriptConsole());
    } catch (...) {
    }
    return nullptr;
}
