#pragma once

#include "platform/ui/MessageBox.h"

namespace ov::gui {

// Message boxes as QMessageBox, over the active window.
class QtMessageBoxes : public ui::MessageBoxHandler {
public:
    ui::Answer Show(const ui::MessageRequest& request) override;
};

}  // namespace ov::gui
