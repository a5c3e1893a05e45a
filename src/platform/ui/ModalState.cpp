#include "platform/ui/ModalState.h"

namespace ov::ui {

namespace {
int g_openModals = 0;
}

ModalScope::ModalScope() { ++g_openModals; }
ModalScope::~ModalScope() { --g_openModals; }

bool AnyModalOpen() { return g_openModals > 0; }

}  // namespace ov::ui
