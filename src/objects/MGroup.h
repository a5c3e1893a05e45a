#pragma once

namespace ov::db {
class Recordset;
}
namespace ov::editor {
class frmtabgridOPC;
}

namespace ov::objects {

class FGroup;

// The group commands of the editor window (mnuGroupFunc): 0 new, 1 edit,
// 2 delete. The group with ID 1 takes every new item and is never deleted.
class MGroup {
  public:
    explicit MGroup(editor::frmtabgridOPC& window);
    bool GroupFunc(int code);

    static constexpr int kDefaultGroup = 1;

  private:
    bool NewGroup();
    bool Edit();
    bool Delete();
    int CurrentGroupId() const;
    bool EditOperation(db::Recordset& groups);
    void LoadDialog(FGroup& dialog, db::Recordset& groups);
    void WriteDialog(FGroup& dialog, db::Recordset& groups);

    editor::frmtabgridOPC& m_window;
};

}  // namespace ov::objects
