#pragma once

// Tree views of a form, on the dialog or dropping down below a box: nodes with
// pictures, ticks and children loaded as they open, wired to the form's events.

#include "platform/ui/Form.h"

class QTreeWidget;

namespace ov::gui {

class FormDialog;

QTreeWidget* CreateTreeView(FormDialog& dialog, ui::Control& control);
// Rebuilds the nodes only when keys, parents, texts or pictures changed, so
// the person's scrolling and opening stay.
void SyncTreeView(const ui::Control& control, QTreeWidget& view);

}  // namespace ov::gui
