#pragma once

#include "platform/ui/CommandBar.h"

class QMenu;

namespace ov::gui {

// Context menus from the bands of a command bar, shown with QMenu.
class QtPopups : public ui::PopupPresenter {
public:
    // x and y are global screen coordinates as Qt gives them.
    std::optional<QString> Popup(const ui::CommandBar& bar, const QString& band, int x, int y) override;

    // Fills the menu with the visible tools of a band, replacing what it held:
    // separators between groups (never at the ends or twice), headings as
    // bold disabled entries, disabled tools greyed, the shortcut text after a
    // tab, a band opened by a tool as a submenu. Each command's data is its
    // tool's name.
    static void BuildMenu(const ui::CommandBar& bar, const QString& band, QMenu& menu);
};

}  // namespace ov::gui
