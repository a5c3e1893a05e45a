#pragma once

#include "platform/host/HostStudio.h"

#include <QString>
#include <memory>
#include <optional>

namespace ov::model {
class DataConnection;
}

namespace ov::host {

// What the session needs of the editor window. The window itself lives in
// the editor layer and is made through the factory the add-in installs.
class EditorWindow {
public:
    virtual ~EditorWindow() = default;

    // Loading: the data connection first, then the window loads its settings.
    virtual void SetDataConnection(std::shared_ptr<model::DataConnection> data) = 0;
    virtual model::DataConnection* Data() = 0;
    // The data connection is open (index texts read from it), or about to close.
    virtual void OnDatabaseOpened() = 0;
    virtual void OnDatabaseClosing() = 0;
    virtual void Load() = 0;
    // Re-parents the window into the studio's window; gives the previous
    // parent, or an error text.
    virtual std::optional<WindowHandle> EmbedIn(WindowHandle hostWindow, QString* error) = 0;
    virtual void RestoreParent(WindowHandle previousParent) = 0;
    virtual void SetSubclassed(bool subclassed) = 0;
    virtual void Unload() = 0;

    // "Name" in the name view, "ItemAccess" in the item-access view.
    virtual QString FieldNameFromSwitchView() const = 0;
    // Shows the first view (of "OPCE0") after loading.
    virtual void FirstDisplay() = 0;

    // Node activation: the view of the node's kind with its records.
    virtual void ShowNode(const QString& key) = 0;
    virtual void Show() = 0;
    virtual QString CurrentNode() const = 0;

    // Commands: availability for a node, the menu bands and their tools.
    virtual void ComputeAvailability(const QString& key, bool fromTree) = 0;
    virtual bool IsToolEnabled(const QString& tool) const = 0;
    virtual void ClickTool(const QString& tool) = 0;
    // Pops up a band at a position; false when none of its entries is usable.
    virtual bool PopupBand(const QString& band, int x, int y) = 0;
    virtual void FocusGrid(const QString& gridName) = 0;

    // Window messages: activation and the index texts changed by another editor.
    virtual void OnActivate(bool active) = 0;
    virtual void OnIndexTextsChanged() = 0;
    // Other engineers committed rows to the project (a server project): the
    // rows on screen are read again, the current row and an open edit stay,
    // and the status bar tells the note.
    virtual void OnOthersChanged(const QString& note) = 0;
};

}  // namespace ov::host
