#pragma once

namespace ov::editor {

// Lets Connect make this library's editor window when the editor loads.
void InstallEditorWindow();

}  // namespace ov::editor
