#include "platform/ui/Desktop.h"

namespace ov::ui {

namespace {
Desktop* g_desktop = nullptr;
}

CountingDesktop& DefaultDesktop() {
    static CountingDesktop desktop;
    return desktop;
}

Desktop& CurrentDesktop() { return g_desktop ? *g_desktop : DefaultDesktop(); }

void InstallDesktop(Desktop* desktop) { g_desktop = desktop; }

void Beep() { CurrentDesktop().Beep(); }

}  // namespace ov::ui
