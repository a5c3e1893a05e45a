#pragma once

#include "platform/ui/CommandBar.h"

#include <QString>
#include <functional>
#include <map>
#include <utility>

namespace ov::editor {

class frmtabgridOPC;

// Owns the window's commands: the menu and tool bars, which tools a node
// offers, and what a chosen tool runs (object functions, Extras, undo).
class CommandDispatch {
public:
    using ObjectFunction = std::function<bool(int code)>;

    explicit CommandDispatch(frmtabgridOPC& window);

    ui::CommandBar& MenuBar() { return m_abr; }
    ui::CommandBar& FunctionBar() { return m_tbrfunc; }
    // The menus and the function tool bar, made once per window.
    void BuildBars();

    void ComputeAvailability(const QString& key, bool fromTree);
    void ShowUndoTools();
    bool IsToolEnabled(const QString& tool) const { return m_abr.IsEnabled(tool); }
    void ClickTool(const QString& tool);
    void FunctionToolClick(const QString& tool);
    bool PopupBand(const QString& band, int x, int y);
    // A tool run after the availability for a node key was computed; a
    // disabled one does nothing (RunCommandFor) or beeps (RunGridCommand).
    void RunCommandFor(const QString& key, const QString& tool);
    void RunGridCommand(const QString& tool, const QString& currentNode);

    void RegisterObjectFunction(const QString& name, ObjectFunction function);
    bool RunObjectFunction(const QString& name, int code);
    static std::pair<QString, int> DispatchOf(const QString& tool);
    bool ExtrasFunc(int code);

private:
    bool Statistic();
    void RunProgram(int code);

    frmtabgridOPC& m_window;
    ui::CommandBar m_abr;
    ui::CommandBar m_tbrfunc;
    std::map<QString, ObjectFunction> m_functions;
    bool m_lastFromTree = false;
};

}  // namespace ov::editor
