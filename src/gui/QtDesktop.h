#pragma once

#include "platform/ui/Desktop.h"

namespace ov::gui {

// The busy pointer as Qt's override cursor, nested like the calls; the beep
// is the desktop's.
class QtDesktop : public ui::Desktop {
public:
    void SetBusy(bool busy) override;
    void Beep() override;

    // Takes back the busy pointers still set, e.g. when the program leaves
    // while a command runs.
    void Reset();
    int BusyDepth() const { return m_depth; }

private:
    int m_depth = 0;
};

}  // namespace ov::gui
