#pragma once

#include <QString>

namespace ov::ui {
class CommandBar;
}

namespace ov::editor {

// What command availability depends on, gathered for one node.
struct MenuFacts {
    QString kind;             // "OPCD", "OPCG", ...
    int id = -1;              // node ID
    QString branch;           // after the first separator: "P"/"V" for unit classes
    bool nodeItself = true;   // a device node, not one of its item folders
    bool groupDevice = false; // a device below a group
    // The device's facts (false when there is no device record).
    bool mayCreateItems = false;
    bool notBlob = false;
    bool configurable = false;
    int ownDriverDevices = 0;
    // Grids and copy buffers.
    bool itemRows = false, itemCurrent = false;
    bool memberRows = false, memberCurrent = false;
    bool unitRows = false, unitCurrent = false;
    bool itemBuffer = false, memberBuffer = false;
    bool fromTree = false;
    // The item grid shows live values; its current item may be written to.
    bool online = false;
    bool itemWritable = false;
    // Rights.
    bool edit = true, create = true, remove = true;
    // The project is open for viewing only: every tool that would change it
    // is greyed, whatever the rights say.
    bool readOnly = false;
};

// Sets every tool of the menu bar for a node: hidden, greyed or offered.
void ApplyAvailability(ui::CommandBar& bar, const MenuFacts& facts);

// The "Show Editor" tools in the context bands while menus come from the tree.
void SetShowEditorTools(ui::CommandBar& bar, bool fromTree);

}  // namespace ov::editor
