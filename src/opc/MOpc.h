#pragma once

#include "opc/ItemComparison.h"

#include <QString>
#include <optional>
#include <vector>

namespace ov::editor {
class frmtabgridOPC;
}
namespace ov::objects {
class MItem;
}

namespace ov::opc {

class FBrowseItemsOCX;

// What the browse dialog is given about a device: the server's ProgID and
// computer from the device's ProgID, its key separator's character code,
// and its items ordered by the view's key column.
struct BrowsePreparation {
    QString progId;
    QString computer;
    int separatorCode = '.';
    std::vector<BrowseItem> existing;
};

// The server's ProgID and computer of a device's ProgID: "<\\computer>ProgID"
// (the backslashes dropped) or a plain ProgID of this computer.
std::pair<QString, QString> SplitServerProgId(const QString& stored);

// The OPC commands of the editor window: browsing a device's server and
// bringing its items in line (attached as the window's browseDevice), and
// inserting items through the server's configuration tool (item command 5).
class MOpc {
  public:
    MOpc(editor::frmtabgridOPC& window, objects::MItem& items);

    // True when the dialog ran and, if confirmed, the choice was applied.
    bool Browse(int deviceId);
    // The device's data for the dialog; nothing (after text 2401) when the
    // device is gone. Database errors are thrown.
    std::optional<BrowsePreparation> Prepare(int deviceId);
    // The three phases, each in one transaction: new items (each connected
    // to group 1), items to delete, inconsistent items after the question.
    // An item the database refuses stops the phases with the item and the
    // database's words in detail; every item written before it stays.
    bool Apply(FBrowseItemsOCX& dialog, const BrowseLists& lists, int deviceId, QString* detail);

    // Items entered by address through the device's configuration tool.
    void NewItemsFromConfigurator();

  private:
    bool ItemFunc(int code);

    editor::frmtabgridOPC& m_window;
    objects::MItem& m_items;
};

// Attaches the OPC commands to every editor window, on top of the object
// commands; call once before the editor starts.
void InstallEditor();

}  // namespace ov::opc
