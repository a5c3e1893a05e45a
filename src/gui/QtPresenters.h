#pragma once

namespace ov::gui {

// Puts the Qt form renderer, message boxes, context menus, desktop and help window in
// place of the scripted stand-ins. Does nothing without a QApplication, so
// headless runs keep the stand-ins; gives whether it installed.
bool InstallQtPresenters();
// Restores the stand-ins where the Qt presenters are installed and takes
// back busy pointers still set.
void UninstallQtPresenters();

}  // namespace ov::gui
