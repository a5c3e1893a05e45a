#pragma once

#include "platform/system/SaveFileDialog.h"

namespace ov::gui {

// The common file dialog on Qt's: a save dialog for mode 2, else an open dialog.
class QtFileDialog : public sys::SaveFileDialog {
  public:
    QString Choose(int mode, const QString& title, const QString& startFolder, const QString& filter, int flags,
                   quintptr ownerWindow) override;
};

}  // namespace ov::gui
