#pragma once

#include "tools/CsvDialogs.h"

#include <QString>
#include <vector>

namespace ov::editor {
class frmtabgridOPC;
}

namespace ov::tools {

// The tools of the editor window's Extras menu and function tool bar:
// export and import of items as CSV files (extras codes 4 and 5) and the
// group wizard.
class MTools {
  public:
    explicit MTools(editor::frmtabgridOPC& window);

    void ExportCommand();
    void ImportCommand();
    // Extras, Options: the grids' columns and font, general options, the alias function.
    void OptionsCommand();
    // The group wizard on the selected items; true when connections changed.
    bool GroupWizard(const std::vector<int>& itemIds);

  private:
    bool ExtrasFunc(int code);
    CsvSelection Selection() const;
    std::vector<int> SelectedIds() const;
    QString ProjectFolder() const;

    editor::frmtabgridOPC& m_window;
};

// Attaches the tools to every editor window, on top of the object commands.
void InstallEditor();

}  // namespace ov::tools
