#pragma once

#include <QString>

namespace ov::ui {
class GridModel;
}

namespace ov::editor {

class frmtabgridOPC;

// What the unit grid does beyond showing the units of one class: the points
// of the conversion typed with a decimal point, the physical limits chosen
// as variables through the studio's chooser, and the grid's keys. A changed
// row is written when the person leaves it.
class UnitGrid {
public:
    UnitGrid(frmtabgridOPC& window, ui::GridModel& grid);

private:
    QString Field(int column) const;
    bool IsPoint(int column) const;
    bool IsLimit(int column) const;
    void ChooseLimit(int column);
    void KeyDown(int& keyCode, int shift);
    void RunCommand(const char* tool);

    frmtabgridOPC& m_window;
    ui::GridModel& m_grid;
    bool m_selecting = false;
};

}  // namespace ov::editor
