#pragma once

namespace ov::editor {

// Lets Connect make this library's editor window when the editor loads.
void InstallEditorWindow();

// Shows the editor with Qt when the process runs a Qt application; the add-in
// library is linked with the Qt renderers or without them.
void InstallScreenIfAvailable();

}  // namespace ov::editor
