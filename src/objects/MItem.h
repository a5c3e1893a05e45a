#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace ov::db {
class Recordset;
}
namespace ov::editor {
class frmtabgridOPC;
}

namespace ov::objects {

class LongWork;

// The item commands of the editor window: new, copy, paste and delete of
// grid rows, and the branch-wide rename, copy, paste and delete of every
// item below an item folder. Commands that change many rows run in one
// transaction.
class MItem {
  public:
    explicit MItem(editor::frmtabgridOPC& window);

    bool ItemFunc(int code);        // 0 new, 1 edit, 2 copy, 3 paste, 4 delete
    bool ItemHelperFunc(int code);  // 0 rename branch, 1 copy, 2 paste, 3 delete

    // Object operations, also used by other commands.
    int NewItem(const QString& prefix);
    void PasteItem(int sourceId, const QString& name);
    // Deletes items with their connections, simulation and redundancy rows and texts.
    // With progress, Cancel throws and the caller's transaction rolls back.
    void DeleteItems(const std::vector<int>& ids, LongWork* progress = nullptr);

    struct CopyEntry {
        int id;
        QString name;  // relative to the folder it was copied from
    };
    const std::vector<CopyEntry>& CopyBuffer() const { return m_buffer; }
    // Pastes many at once: sources read in chunks, one insert per copy.
    void PasteItems(const std::vector<CopyEntry>& entries, LongWork* progress = nullptr);
    void PasteBuffer();  // pastes the copy buffer in one transaction and counts the new items

    // The folder prefix of the current node: its path and the separator, or nothing.
    QString Prefix() const;
    // The items below the current node, in name order.
    std::vector<int> ItemsBelowNode();

  private:
    void NewCommand();
    void EditCommand();
    void CopyCommand();
    void PasteCommand();
    void DeleteCommand();
    void RenameBranch();
    void CopyBranch();
    void PasteBranch();
    void DeleteBranch();
    bool ConfirmDelete(int count);
    int CurrentDevice() const;
    QString Separator() const;
    QString BranchPath() const;
    void AfterItemsChanged();
    // The views after a delete: the deleted rows leave the grid, or all is read again when nothing was deleted.
    void AfterItemsDeleted(bool deleted, const std::vector<int>& ids);
    // False when the work failed (told in a message) or was cancelled (not told).
    bool RunInTransaction(const std::function<void()>& work, LongWork* progress = nullptr);
    // The items with their field, in the order of ids; items gone meanwhile are left out.
    std::vector<CopyEntry> ReadCopyEntries(const std::vector<int>& ids, const QString& field);
    // Deletes the items in one transaction with progress; true once committed.
    bool DeleteWithProgress(const std::vector<int>& ids, const QString& title);

    editor::frmtabgridOPC& m_window;
    std::vector<CopyEntry> m_buffer;
    int m_nextNumber = 0;  // new names are tried from here within one command
};

// Makes the object units attach to every editor window, and the editor
// window itself: call once before the editor loads.
void InstallEditor();
// Units of higher layers (the OPC commands), attached to every new editor
// window after the object commands; they may use its item commands.
using ExtraUnitsInstaller = std::function<void(editor::frmtabgridOPC&, MItem&)>;
void AddExtraUnits(ExtraUnitsInstaller installer);

}  // namespace ov::objects
