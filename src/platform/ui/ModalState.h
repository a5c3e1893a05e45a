#pragma once

#include <functional>

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

// While one lives, every dialog shown is for viewing only (Form::SetViewOnly):
// a project opened read-only shows its dialogs, but none of them confirms.
class ViewOnlyScope {
public:
    ViewOnlyScope();
    ~ViewOnlyScope();
    ViewOnlyScope(const ViewOnlyScope&) = delete;
    ViewOnlyScope& operator=(const ViewOnlyScope&) = delete;
};

bool ViewOnlyActive();

// Long work that waits on another program lets the screen paint and the
// person press Stop in between: the program installs how (the Qt event
// loop); headless runs have nothing to pump.
void SetEventPump(std::function<void()> pump);
void PumpEvents();

}  // namespace ov::ui
