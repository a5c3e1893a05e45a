#pragma once

// The small grids of forms: cells, locked and hidden columns, row colours and
// the current cell, with every edited cell going to the form.

#include "platform/ui/Form.h"

class QTableWidget;

namespace ov::gui {

class FormDialog;

QTableWidget* CreateGrid(FormDialog& dialog, ui::Control& control);
void SyncGrid(const ui::Control& control, QTableWidget& table);

}  // namespace ov::gui
