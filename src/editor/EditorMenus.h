#pragma once

namespace ov::ui {
class CommandBar;
}

namespace ov::editor {

// The window's menu bar "abr": the main band and the popup bands with their
// tools, categories and caption tags; captions are set from the tags in the
// user-interface language.
void BuildEditorMenus(ui::CommandBar& bar);

// The function tool bar "tbrfunc" below the menu: the buttons "Devices",
// "Groups" and "GroupWizzard"; only the group wizard has an action.
void BuildFunctionToolbar(ui::CommandBar& bar);

// The context menu band of each grid.
const char* ContextBandOfGrid(const char* gridName);

}  // namespace ov::editor
