#include "platform/ui/ModalState.h"

namespace ov::ui {

namespace {
int g_openModals = 0;
}

ModalScope::ModalScope() { ++g_openModals; }
ModalScope::~ModalScope() { --g_openModals; }

bool AnyModalOpen() { return g_openModals > 0; }

namespace {
int g_viewOnly = 0;
}

ViewOnlyScope::ViewOnlyScope() { ++g_viewOnly; }
ViewOnlyScope::~ViewOnlyScope() { --g_viewOnly; }

bool ViewOnlyActive() { return g_viewOnly > 0; }

namespace {
std::function<void()>& Pump() {
    static std::function<void()> pump;
    return pump;
}
}  // namespace

void SetEventPump(std::function<void()> pump) { Pump() = std::move(pump); }

void PumpEvents() {
    if (Pump()) Pump()();
}

}  // namespace ov::ui
