// The add-in library's screen: when the studio runs a Qt application, the
// editor window, its dialogs, message boxes and menus are shown with Qt.

#include "editor/AddinEntry.h"
#include "editor/frmtabgridOPC.h"
#include "gui/EditorWindowWidget.h"
#include "gui/QtPresenters.h"

namespace ov::editor {

void InstallScreenIfAvailable() {
    if (!gui::InstallQtPresenters()) return;
    frmtabgridOPC::SetViewFactory([](frmtabgridOPC& window) -> std::unique_ptr<WindowView> {
        return std::make_unique<gui::EditorWindowView>(window);
    });
}

}  // namespace ov::editor
