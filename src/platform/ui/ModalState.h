#pragma once

namespace ov::ui {

// Counts the editor's own message boxes and dialogs that are open. While one
// is open, the window behind it ignores grid and activation events: a box
// that takes the focus must not make the window write or rebuild anything.
class ModalScope {
public:
    ModalScope();
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
};

bool AnyModalOpen();

}  // namespace ov::ui
