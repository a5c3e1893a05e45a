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
// their tick, so nothing is deleted only because nobody opened its folder.
class ItemBrowser {
  public:
    struct Entry {
        OpcNode node;
        QString parent;      // empty at the top
        QStringList names;   // browse names from below the Objects folder
        bool loaded = false; // children read
        std::vector<QString> children;
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
    // what is not loaded yet. A cancelled load changes no tick.
    bool SetTicked(const QString& nodeId, bool ticked, QString* error);
    // The node of a path of browse names joined by "/", loading on the way;
    // empty with a message when there is none.
    QString Resolve(const QString& path, QString* error);

    // Told the number of nodes loaded during long loads; false stops them.
    std::function<bool(int loaded)> progress;
    bool IsBusy() const { return m_busy; }

    const Entry* Find(const QString& nodeId) const;
    const std::vector<QString>& TopNodes() const { return m_top; }
    int LoadedCount() const { return static_cast<int>(m_entries.size()); }
    // Namespace 0 (the server's own objects) counts as system items.
    static bool IsSystemNode(const QString& nodeId);
    // 0 clear, 1 ticked, 2 partly: for a folder, over what is loaded below it.
    QHash<QString, int> CheckStates() const;
    // Loaded nodes whose browse or display name holds the text.
    std::vector<QString> Matches(const QString& text) const;

    BrowseLists Lists() const;

  private:
    bool LoadChildren(const QString& nodeId, QString* error);
    bool LoadBelow(const QString& nodeId, QString* error);
    void CollectVariables(const QString& nodeId, std::vector<const Entry*>& out) const;
    bool Report();
    bool IsTicked(const QString& itemId) const { return m_ticked.contains(itemId.toCaseFolded()); }

    std::unique_ptr<AddressSource> m_source;
    QString m_separator = QStringLiteral(".");
    std::vector<BrowseItem> m_existing;
    QSet<QString> m_ticked;  // case-folded item IDs
    QHash<QString, Entry> m_entries;
    std::vector<QString> m_top;
    bool m_started = false;
    bool m_busy = false;
};

}  // namespace ov::opc
