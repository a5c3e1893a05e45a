#pragma once

#include "platform/ui/FormPresenter.h"

namespace ov::gui {

// Shows forms as modal Qt dialogs over the active window.
class FormRenderer : public ui::FormPresenter {
public:
    void ShowModal(ui::Form& form) override;
};

}  // namespace ov::gui
