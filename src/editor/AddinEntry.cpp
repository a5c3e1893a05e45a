
#include "editor/AddinEntry.h"

#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"


namespace ov::editor {

void InstallEditorWindow() {
    host::Connect::SetWindowFactory(
        [](host::Connect& session) -> std::unique_ptr<host::EditorWindow> { return std::make_unique<frmtabgridOPC>(session); });
}

}  // namespace ov::editor

