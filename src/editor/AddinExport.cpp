// The one exported function of the add-in library: the studio loads the
// library at run time and asks it for its two public objects by name.

#include "editor/AddinEntry.h"
#include "host/CToolbox.h"
#include "host/Connect.h"

#include <cstring>

extern "C" __attribute__((visibility("default"))) void* OvOpcEditorCreateObject(const char* className) {
    if (!className) return nullptr;
    try {
        if (std::strcmp(className, "Connect") == 0) {
            ov::editor::InstallEditorWindow();
            ov::editor::InstallScreenIfAvailable();
            return static_cast<ov::host::COV4Extensibility*>(new ov::host::Connect());
        }
        if (std::strcmp(className, "CToolbox") == 0)
            return static_cast<ov::host::IToolbox*>(new ov::host::CToolbox());
    } catch (...) {
    }
    return nullptr;
}
