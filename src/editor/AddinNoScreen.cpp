// The add-in library without Qt Widgets: the editor runs headless.

#include "editor/AddinEntry.h"

namespace ov::editor {

void InstallScreenIfAvailable() {}

}  // namespace ov::editor
