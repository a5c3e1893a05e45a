#pragma once

#include "opc/AddressSource.h"
#include "opc/BrowseApply.h"
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
class ItemBrowser;

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
    // The device's items in line with a PLC program file chosen by the
    // person (remembered per device in the project settings), through the
    // browse dialog; its structures come with the items that use them.
    bool ImportPlcProgram(int deviceId);
    // The device's data for the dialog; nothing (after text 2401) when the
    // device is gone. Database errors are thrown.
    std::optional<BrowsePreparation> Prepare(int deviceId);
    // The phases of ApplyBrowse with the dialog's status and questions: a
    // program's structures, new items, items to delete, differing items.
    bool Apply(FBrowseItemsOCX& dialog, const BrowseLists& lists, int deviceId, QString* detail,
               const std::vector<plc::PlcStructure>* structures = nullptr);

    // Items entered by address through the device's configuration tool.
    void NewItemsFromConfigurator();

  private:
    // Makes the source of the browse and sets the browser up for it.
    using SourceMaker =
        std::function<std::unique_ptr<AddressSource>(ItemBrowser&, const BrowsePreparation&, QString* error)>;
    // The browse dialog on the source made for the device, and the choice applied.
    bool RunBrowse(int deviceId, const SourceMaker& makeSource);
    // The device's node, folders and item view read again after new items.
    void ShowDeviceItemsAnew(int deviceId);
    bool ItemFunc(int code);

    editor::frmtabgridOPC& m_window;
    objects::MItem& m_items;
};

// Attaches the OPC commands to every editor window, on top of the object
// commands; call once before the editor starts.
void InstallEditor();

}  // namespace ov::opc
