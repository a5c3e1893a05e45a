#pragma once

#include "editor/CommandDispatch.h"
#include "editor/EditorViews.h"
#include "editor/GridEditing.h"
#include "editor/GridProperties.h"
#include "editor/ItemGridEditing.h"
#include "editor/ItemGridOnline.h"
#include "editor/NameGroups.h"
#include "editor/WindowStatus.h"
#include "host/EditorWindow.h"
#include "model/CDBLanguages.h"
#include "model/CIndexTexts.h"
#include "model/CVT_Types.h"
#include "platform/ui/CommandBar.h"
#include "platform/ui/Control.h"
#include "platform/ui/GridModel.h"
#include "settings/CInit.h"
#include "settings/CSimulationFunctions.h"
#include "settings/PropertyObject.h"

#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace ov::host {
class Connect;
}
namespace ov::db {
class DbError;
}

namespace ov::editor {

class frmtabgridOPC;

// The window on screen: the Qt renderer of the editor window implements it;
// without one (headless) the window is logic only.
class WindowView {
public:
    virtual ~WindowView() = default;
    virtual void EmbedInto(host::WindowHandle parent) = 0;
    virtual void Release() = 0;
    virtual void Refresh() = 0;  // caption, front grid, status bar, menus, selector
    virtual void FocusGrid(const QString& gridName) = 0;
};

// The editor window as logic: four grids (items, structure members, groups,
// units), the menu bar, the status bar and the language selector, the view
// of the current node, and the window's settings. The Qt window renders it.
// The window itself keeps its lifetime, its models and its settings; what it
// does is done by its parts: EditorViews (which node shows which rows),
// ItemGridEditing (the item grid's cells and keys), GridEditing (what the
// four grids share), CommandDispatch (menus, availability, commands) and
// WindowStatus (status bar and caption). Its calls forward to them.
class frmtabgridOPC : public host::EditorWindow, public settings::PropertyObject {
public:
    using ViewFactory = std::function<std::unique_ptr<WindowView>(frmtabgridOPC& window)>;
    static void SetViewFactory(ViewFactory factory);

    // The object units (items, devices, ...) attach themselves to each new
    // window through this; the window owns what they leave with it.
    using UnitsInstaller = std::function<void(frmtabgridOPC& window)>;
    static void SetUnitsInstaller(UnitsInstaller installer);
    void Adopt(std::shared_ptr<void> unit) { m_units.push_back(std::move(unit)); }

    explicit frmtabgridOPC(host::Connect& session);
    ~frmtabgridOPC() override;

    // EditorWindow
    void SetDataConnection(std::shared_ptr<model::DataConnection> data) override;
    model::DataConnection* Data() override { return m_data.get(); }
    void OnDatabaseOpened() override;
    void OnDatabaseClosing() override;
    void Load() override;
    std::optional<host::WindowHandle> EmbedIn(host::WindowHandle hostWindow, QString* error) override;
    void RestoreParent(host::WindowHandle previousParent) override;
    void SetSubclassed(bool subclassed) override { m_subclassed = subclassed; }
    void Unload() override;
    QString FieldNameFromSwitchView() const override;
    void FirstDisplay() override;
    void ShowNode(const QString& key) override { m_views.ShowNode(key); }
    void Show() override;
    QString CurrentNode() const override { return m_views.CurrentNode(); }
    void ComputeAvailability(const QString& key, bool fromTree) override { m_commands.ComputeAvailability(key, fromTree); }
    bool IsToolEnabled(const QString& tool) const override { return m_commands.IsToolEnabled(tool); }
    void ClickTool(const QString& tool) override { m_commands.ClickTool(tool); }
    bool PopupBand(const QString& band, int x, int y) override { return m_commands.PopupBand(band, x, y); }
    void FocusGrid(const QString& gridName) override;
    // F1 in the window: the topic of a grid, or of the window (empty name).
    void ShowHelp(const QString& gridName);
    void OnActivate(bool active) override;
    void OnIndexTextsChanged() override;
    void OnOthersChanged(const QString& note) override;

    // PropertyObject: "Me" for the settings store.
    PropertyObject* Child(const QString& name, const std::optional<QVariant>& argument) override;
    bool SetProperty(const QString& name, const std::optional<QVariant>& argument, const settings::InitValue& value) override;
    std::optional<settings::InitValue> GetProperty(const QString& name, const std::optional<QVariant>& argument) const override;

    // Commands: each object unit registers its function ("mnuItemFunc", ...);
    // a tool runs the function of its row of the dispatch table with its code.
    // A function gives false for a code it does not carry out; the command
    // then beeps, as a disabled one does.
    using ObjectFunction = CommandDispatch::ObjectFunction;
    void RegisterObjectFunction(const QString& name, ObjectFunction function) {
        m_commands.RegisterObjectFunction(name, std::move(function));
    }
    // The function and code a tool runs; empty for headings and separators.
    static std::pair<QString, int> DispatchOf(const QString& tool) { return CommandDispatch::DispatchOf(tool); }
    bool RunObjectFunction(const QString& name, int code) { return m_commands.RunObjectFunction(name, code); }
    // The Edit menu's Undo and Redo: enabled with the name of the step they take.
    void ShowUndoTools() { m_commands.ShowUndoTools(); }
    // Statistic, Refresh View, Report and runtime configuration; the other
    // codes (export, import, options) go to the tools registered as
    // "ExtrasFunc.Tools".
    bool ExtrasFunc(int code) { return m_commands.ExtrasFunc(code); }

    // The name groups of the object kinds ("Dev", "Grp", "Itm", "Utc", "Str").
    NameGroups& Names() { return m_names; }

    // Browsing a device's OPC server, attached by the OPC unit: gives true
    // when the device's items were brought in line with the server.
    std::function<bool(int deviceId)> browseDevice;

    // Shared by the grids' behaviours.
    // Runs a tool after computing the availability for a node key, as the
    // grids' keys do; a disabled tool does nothing.
    void RunCommandFor(const QString& key, const QString& tool) { m_commands.RunCommandFor(key, tool); }
    // A grid key's command, for the current node; a disabled one beeps.
    void RunGridCommand(const QString& tool) { m_commands.RunGridCommand(tool, CurrentNode()); }
    // Shift+Up/Down in the member and unit grids: the first key marks the
    // current row, each further one adds it and moves on.
    static void ExtendRowSelection(ui::GridModel& grid, int keyCode, bool& selecting) {
        GridEditing::ExtendRowSelection(grid, keyCode, selecting);
    }
    // Shift+Left/Right: the previous or next visible column across both splits.
    void MoveToNextColumn(ui::GridModel& grid, int direction) { GridEditing::MoveToNextColumn(grid, direction); }
    // Writes the current row of a grid at once; a refused write shows why
    // and brings back the stored values.
    bool WriteRowAtOnce(ui::GridModel& grid) { return m_gridEditing.WriteRowAtOnce(grid); }
    // Text 407 with the grid error number; the stored values come back.
    void DataError(ui::GridModel& grid, int number, const QString& description) {
        m_gridEditing.DataError(grid, number, description);
    }
    // The group grid's current row names the current node without showing
    // another view.
    void SetCurrentNodeKey(const QString& key) { m_views.SetCurrentNodeKey(key); }

    // The group wizard, attached by the tools: takes the IDs of the selected
    // items and gives true when it changed connections.
    std::function<bool(const std::vector<int>& itemIds)> groupWizard;
    // A button of the function tool bar was pressed.
    void FunctionToolClick(const QString& tool) { m_commands.FunctionToolClick(tool); }
    ui::CommandBar& tbrfunc() { return m_commands.FunctionBar(); }

    // The surrogate mode and item options dialogs, attached by the item unit:
    // they show the value, and give true with the new one when confirmed.
    std::function<bool(int& mode)> defaultModeDialog;
    std::function<bool(int& options)> itemOptionsDialog;

    // Whether the copy buffer holds items; the IDs of the members copied last.
    bool itemBufferFilled = false;
    std::vector<int> memberBuffer;

    host::Connect& Session() { return m_session; }
    // The item grid's companions for the simulation and redundancy columns.
    bool SimulationOpen() const { return m_itemEditing.SimulationOpen(); }
    bool RedundancyOpen() const { return m_itemEditing.RedundancyOpen(); }
    // After rows changed behind the grids' backs: read the sets of rows again.
    void RefreshUnboundSources() { m_itemEditing.RefreshUnboundSources(); }
    // Items a command deleted leave the item grid without the view being
    // read again (which takes long in a folder of a million items).
    void ForgetItems(const std::vector<int>& ids) { m_views.ForgetItems(ids); }
    bool RequestOnDelete() const;
    // The item's simulation (function key, parameters) and redundancy.
    std::pair<QString, QString> SimulationOf(const QVariant& itemId) { return m_itemEditing.SimulationOf(itemId); }
    bool IsRedundant(const QVariant& itemId) { return m_itemEditing.IsRedundant(itemId); }
    // Writes an unbound column's value for the current item of the item grid.
    void WriteUnboundItemCell(const QString& caption, const QVariant& value) {
        m_itemEditing.WriteUnboundItemCell(caption, value);
    }

    // Views.
    void SwitchGrids(const QString& key) { m_views.SwitchGrids(key); }
    // The item grid's record source for the current node; false when the
    // statement failed (reported) and the grid was left as it was.
    using ViewErrors = EditorViews::Errors;
    bool ShowItemView(ViewErrors errors = ViewErrors::Reported) { return m_views.ShowItemView(errors); }
    // The same, keeping the current item current when it is still shown.
    bool ShowItemViewKeepingCurrent(int column, ViewErrors errors = ViewErrors::Reported) {
        return m_views.ShowItemViewKeepingCurrent(column, errors);
    }
    // One of the editor's own message boxes or dialogs is open: grid and
    // activation events wait.
    bool DialogOpen() const;
    // The studio's variable chooser; empty when cancelled.
    QString ChooseVariable(const QString& currentText, int flags);
    void MakeMyCaption(const QString& key) { m_status.MakeCaption(key); }
    void CommitGridEdits() { m_gridEditing.CommitGridEdits(); }
    // Drops a half-made change of the item grid's row and of its companions.
    void CancelPendingItemEdits() { m_itemEditing.CancelPendingItemEdits(); }
    void FormatUnitGrid() { m_views.FormatUnitGrid(); }
    // The members of the current structure again, in the member grid's sort order.
    void RequeryStructMembers() { m_views.RequeryStructMembers(); }
    // The units of the current unit class again.
    void RequeryUnits() { m_views.RequeryUnits(); }
    // After structures or unit classes changed: the value lists naming them.
    void RebuildTypeLists() { m_views.RebuildTypeLists(); }
    void RebuildUnitClassLists() { m_views.RebuildUnitClassLists(); }

    // The sort field of the item grid, toggled from the grid.
    QString SortField() const { return m_views.SortField(); }
    void SetSortField(const QString& field) { m_views.SetSortField(field); }

    // Status counters: devices, groups, items, unit classes, units,
    // structure definitions, structure members.
    using CounterMode = WindowStatus::CounterMode;
    void UpdateStatusCounters(const QString& functionText, CounterMode mode, std::array<int, 7>& counters) {
        m_status.UpdateCounters(functionText, mode, counters);
    }
    std::array<int, 7> StatusCounters() const { return m_status.CounterValues(); }
    static int GetRecordCount(db::Recordset& recordset);

    // Splitter bars between split 0 and split 1 (twips).
    static int SplitWidthFromBar(int barLeft, int gridLeft, int gridWidth);
    static int BarLeftFromSplitWidth(int gridLeft, int split0Width) { return gridLeft + split0Width + 30; }

    // The window's close request: the close box only hides; closing the
    // project saves the settings first (when "SaveOnExit").
    void CloseWindow(bool byCloseBox);
    QString SettingsFile() const;

    // Parts of the window, for its view, its commands and tests.
    ui::GridModel& Grid(const QString& name);
    ui::GridModel& tdbI() { return m_tdbI; }
    ui::GridModel& tdbS() { return m_tdbS; }
    ui::GridModel& tdbG() { return m_tdbG; }
    ui::GridModel& tdbU() { return m_tdbU; }
    ui::CommandBar& abr() { return m_commands.MenuBar(); }
    ui::StatusBar& sb() { return m_status.Bar(); }
    settings::CInit& Settings() { return m_settings; }
    settings::CSimulationFunctions& SimulationFunctions() { return m_simulation; }
    model::CIndexTexts& IndexTexts() { return m_indexTexts; }
    model::CDBLanguages& Languages() { return m_languages; }
    model::CVT_Types& Types() { return m_types; }
    ui::Control& LanguageSelector() { return m_cmbLanguage; }
    void LanguageSelected();  // the person picked a language in the selector
    const std::vector<std::pair<int, QString>>& GroupList() const { return m_views.GroupList(); }
    void LoadGroupList() { m_views.LoadGroupList(); }
    // The name group "Grp" from the groups as the database has them.
    void ReloadGroupNames() { m_views.ReloadGroupNames(); }
    // Opens the group grid's recordset on all groups again.
    void RequeryGroups() { m_views.RequeryGroups(); }
    bool GridsBuilt() const { return m_views.GridsBuilt(); }
    ItemGridEditing& ItemEditing() { return m_itemEditing; }
    // The item grid's live values (View > Online values).
    ItemGridOnline& Online() { return m_online; }
    const ItemGridOnline& Online() const { return m_online; }
    // What the grids share when rows are written.
    GridEditing& RowWriting() { return m_gridEditing; }

    QString Caption() const { return m_status.Caption(); }
    QString FrontGrid() const { return m_views.FrontGrid(); }
    QString FocusedGrid() const { return m_focusedGrid; }
    bool SwitchViewFlag() const { return m_switchView; }
    bool IsVisible() const { return m_visible; }
    bool IsLoaded() const { return m_loaded; }
    bool IsSubclassed() const { return m_subclassed; }
    host::WindowHandle Parent() const { return m_parent; }
    QString LastError() const { return m_lastError; }

    // Placement and font of the window ("Me.PosLeft", "Me.Font.Size", ...).
    int posLeft = 0, posTop = 0, width = 6000, height = 3000, windowState = 2;
    ui::FontSettings font;

    // Tells the view to show the model again.
    void NotifyView();
    // A failure of the database shown in a message box, and kept as the last error.
    void ReportError(int textId, const QString& description);
    void ReportDbError(const db::DbError& error);

private:
    void AddUnboundDefaults();
    void SaveSettings();

    host::Connect& m_session;
    std::shared_ptr<model::DataConnection> m_data;
    std::unique_ptr<WindowView> m_view;
    settings::CSimulationFunctions m_simulation;
    model::CIndexTexts m_indexTexts;
    model::CDBLanguages m_languages;
    model::CVT_Types m_types;
    settings::CInit m_settings;

    ui::GridModel m_tdbI{QStringLiteral("tdbI")};
    ui::GridModel m_tdbS{QStringLiteral("tdbS")};
    ui::GridModel m_tdbG{QStringLiteral("tdbG")};
    ui::GridModel m_tdbU{QStringLiteral("tdbU")};
    GridProperties m_tdbIProperties{m_tdbI, false};
    GridProperties m_tdbSProperties{m_tdbS, false};
    GridProperties m_tdbGProperties{m_tdbG, false};
    GridProperties m_tdbUProperties{m_tdbU, true};
    FontProperties m_fontProperties{font};
    ui::Control m_cmbLanguage{ui::ControlType::ComboBox, QStringLiteral("cmbLanguage")};
    NameGroups m_names;

    WindowStatus m_status;
    CommandDispatch m_commands{*this};
    GridEditing m_gridEditing{*this};
    ItemGridEditing m_itemEditing{*this, m_tdbI};
    ItemGridOnline m_online{*this, m_tdbI};
    EditorViews m_views{*this};

    QString m_lastError;
    QString m_focusedGrid;
    bool m_switchView = false;
    bool m_loaded = false;
    bool m_visible = false;
    bool m_subclassed = false;
    std::vector<std::shared_ptr<void>> m_units;
    host::WindowHandle m_parent = 0;
};

}  // namespace ov::editor
