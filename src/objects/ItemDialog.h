#pragma once

namespace ov::editor {
class frmtabgridOPC;
}

namespace ov::objects {

// The item dialog on the item grid's current row: filled from the row (the
// lists the grid's columns offer, the item text, simulation and redundancy)
// and, when confirmed, written back with them and the tree following a
// changed name.
void EditItem(editor::frmtabgridOPC& window);

}  // namespace ov::objects
