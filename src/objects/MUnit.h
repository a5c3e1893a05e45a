#pragma once

#include <QString>
#include <vector>

namespace ov::db {
class Recordset;
}
namespace ov::editor {
class frmtabgridOPC;
}

namespace ov::objects {

class FUnit;
class FUnitClass;

// The unit class commands (mnuUnitClassFunc: 0 new process class, 1 new
// display class, 2 edit, 3 delete) and the unit commands (mnuUnitFunc:
// 0 new, 1 edit, 2 delete) of the editor window.
class MUnit {
  public:
    explicit MUnit(editor::frmtabgridOPC& window);
    bool UnitClassFunc(int code);
    bool UnitFunc(int code);

  private:
    bool NewUnitClass(int switchType);
    bool EditUnitClass();
    bool DeleteUnitClass();
    bool NewUnit();
    bool EditUnit();
    bool DeleteUnits();

    int CurrentClassId() const;
    void ReloadNames();
    // A unit for every project language the display class has none for.
    int AddLanguageUnits(int classId);
    void LoadUnitDialog(FUnit& dialog, db::Recordset& unit);
    void WriteUnitDialog(FUnit& dialog, db::Recordset& unit);
    void ShowUnitRow(int unitId);

    editor::frmtabgridOPC& m_window;
};

}  // namespace ov::objects
