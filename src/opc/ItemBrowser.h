#pragma once

#include "opc/AddressSource.h"
#include "opc/ItemComparison.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace ov::opc {

// The item browser: the address space of a device's server, loaded as the
// person opens it, with a tick per variable. The device's items arrive
// ticked; what is ticked at the end, set against them, gives the three
// lists (new, to delete, inconsistent). Items of parts not loaded keep
// their tick, so nothing is deleted only because nobody opened its folder;
// the items of a loaded folder that the server no longer has are shown in
// it, unticked, so OK deletes them unless the person ticks them again.
class ItemBrowser {
  public:
    struct Entry {
        OpcNode node;
        QString parent;      // empty at the top
        QStringList names;   // browse names from below the Objects folder
        bool loaded = false; // children read
        std::vector<QString> children;
        // A device's item that is not on the server: its node holds the
        // item ID, its key is GoneKey(item ID). Folders list theirs apart
        // from their children, which are what the server has.
        bool gone = false;
        std::vector<QString> goneItems;
    };

    // Forgets the space, the ticks and the device's items.
    void Reset();
    // The device's key separator (its character code) and its items.
    void SetSeparator(int characterCode);
    const QString& Separator() const { return m_separator; }
    void SetExistingItems(std::vector<BrowseItem> items);
    void SetSource(std::unique_ptr<AddressSource> source);
    const AddressSource* Source() const { return m_source.get(); }
    AddressSource* Source() { return m_source.get(); }

    // Opens the source and loads the top level.
    bool Start(QString* error);
    bool IsStarted() const { return m_started; }
    // Loads the children of a node once.
    bool Expand(const QString& nodeId, QString* error);
    // Loads the whole space (for listing it), the server's own objects only when asked.
    bool ExpandAll(QString* error, bool systemNodes = false);
    // A variable's tick; a folder's reaches every variable below it, loading
    // what is not loaded yet with one call to the source. Properties and
    // items not on the server are ticked only by themselves. A cancelled
    // load changes no tick.
    bool SetTicked(const QString& nodeId, bool ticked, QString* error);
    // The node of a path of browse names joined by "/", loading on the way;
    // empty with a message when there is none.
    QString Resolve(const QString& path, QString* error);

    // Told the number of nodes loaded during long loads; false stops them.
    std::function<bool(int loaded)> progress;
    // The name view: the lists name items by their item ID (see CompareOptions).
    bool nameFromItemId = false;
    // Every variable of a program arrives ticked, not only the device's
    // items: the program is what the device should hold.
    bool tickWholeProgram = false;
    bool IsBusy() const { return m_busy; }

    const Entry* Find(const QString& nodeId) const;
    const std::vector<QString>& TopNodes() const { return m_top; }
    int LoadedCount() const { return static_cast<int>(m_entries.size()); }
    // Namespace 0 (the server's own objects) counts as system items; a
    // program has none.
    bool IsSystemNode(const QString& nodeId) const;
    // The key of the entry of a device's item that is not on the server.
    static QString GoneKey(const QString& itemId) { return QStringLiteral("gone:") + itemId; }
    // 0 clear, 1 ticked, 2 partly: for a folder, over the variables loaded
    // below it (properties and items not on the server left aside).
    QHash<QString, int> CheckStates() const;
    // Loaded nodes whose browse or display name holds the text.
    std::vector<QString> Matches(const QString& text) const;

    BrowseLists Lists() const;

  private:
    bool LoadChildren(const QString& nodeId, QString* error);
    bool LoadSubtree(const QString& nodeId, QString* error);
    bool LoadBelow(const QString& nodeId, QString* error);
    // Adds the children the source listed for a node and marks it loaded.
    void Insert(const QString& nodeId, std::vector<OpcNode> children);
    // The device's items of a folder just loaded that are not among the
    // children the server listed (listedIds: the node ids of all of them).
    void AddGoneItems(const QString& folderId, const std::vector<QString>& listedIds);
    // A program's: the device's items it declares nowhere, shown at the top.
    void AddTopGoneItems();
    void DropGoneItem(const QString& itemId);
    void IndexExistingItems();
    void CollectVariables(const QString& nodeId, std::vector<const Entry*>& out) const;
    bool Report();
    bool IsTicked(const QString& itemId) const { return m_ticked.contains(itemId.toCaseFolded()); }

    std::unique_ptr<AddressSource> m_source;
    QString m_separator = QStringLiteral(".");
    std::vector<BrowseItem> m_existing;
    // The device's items by the folder they belong to: "n:" + the parent
    // path of the item name, "i:" + the node id of the parent path inside
    // the item ID (both case-folded); each with the item's last name part.
    QMultiHash<QString, std::pair<int, QString>> m_byFolder;
    QSet<QString> m_ticked;  // case-folded item IDs
    QHash<QString, Entry> m_entries;
    std::vector<QString> m_top;
    bool m_started = false;
    bool m_busy = false;
};

}  // namespace ov::opc
