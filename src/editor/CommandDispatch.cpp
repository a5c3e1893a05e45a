#include "editor/CommandDispatch.h"

#include "editor/EditorMenus.h"
#include "editor/MenuSwitcher.h"
#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "host/Rights.h"
#include "model/DataConnection.h"
#include "platform/db/Cursor.h"
#include "platform/db/DbError.h"
#include "platform/system/Components.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/EventGuard.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ModalState.h"
#include "settings/TextTable.h"

#include <optional>

namespace ov::editor {

namespace nodekey = host::nodekey;
using settings::Text;

namespace {

bool IsTool(const QString& tool, const char* name) { return tool.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; }

// The facts of a device node that decide its commands.
void AddDeviceFacts(MenuFacts& f, db::Connection& connection) {
    try {
        db::Recordset device;
        device.Open(QStringLiteral("SELECT CreateItems, BlobMode, ProgIDConfigTool FROM TpdbDevices WHERE ID =%1").arg(f.id),
                    connection);
        if (!device.IsEOF()) {
            const int blobMode = device.Fields(1).Value().toInt();
            f.mayCreateItems = device.Fields(0).Value().toBool();
            f.notBlob = blobMode != 3;
            f.configurable = blobMode == 3 || !device.Fields(2).Value().toString().isEmpty();
        }
        db::Recordset drivers;
        drivers.Open(QStringLiteral("SELECT ID FROM TpdbDevices WHERE BlobMode = 3"), connection);
        f.ownDriverDevices = drivers.RecordCount();
    } catch (const db::DbError&) {
        // Without the device's facts only the tools without device conditions remain.
    }
}

}  // namespace

CommandDispatch::CommandDispatch(frmtabgridOPC& window) : m_window(window) {}

void CommandDispatch::BuildBars() {
    if (m_abr.Bands().empty()) BuildEditorMenus(m_abr);
    BuildFunctionToolbar(m_tbrfunc);
}

void CommandDispatch::ComputeAvailability(const QString& key, bool fromTree) {
    MenuFacts f;
    f.kind = nodekey::Kind(key);
    f.id = nodekey::NodeId(key);
    f.branch = key.contains(nodekey::kSeparator) ? nodekey::SecondField(key) : QString();
    f.nodeItself = f.kind != QStringLiteral("OPCD") || nodekey::IsDeviceNode(key);
    f.groupDevice = f.kind == QStringLiteral("OPCG") && nodekey::SubId(key) >= 0;
    if (m_window.Data() && f.kind == QStringLiteral("OPCD")) AddDeviceFacts(f, m_window.Data()->Connection());
    const auto current = [](const ui::GridModel& grid) { return grid.CurrentRow() >= 0 && grid.RowCount() > 0; };
    f.itemRows = !m_window.tdbI().SelectedBookmarks().empty();
    f.itemCurrent = current(m_window.tdbI());
    f.memberRows = !m_window.tdbS().SelectedBookmarks().empty();
    f.memberCurrent = current(m_window.tdbS());
    f.unitRows = !m_window.tdbU().SelectedBookmarks().empty();
    f.unitCurrent = current(m_window.tdbU());
    f.itemBuffer = m_window.itemBufferFilled;
    f.memberBuffer = !m_window.memberBuffer.empty();
    f.fromTree = fromTree;
    f.edit = host::HasEditRight();
    f.create = host::HasCreateRight();
    f.remove = host::HasDeleteRight();
    f.readOnly = m_window.Session().IsReadOnly();
    f.online = m_window.Online().IsOn();
    f.itemWritable = f.itemCurrent && m_window.Online().CurrentItemWritable();
    if (ui::Tool* wizard = m_tbrfunc.FindTool(QStringLiteral("GroupWizzard"))) wizard->enabled = !f.readOnly;
    if (fromTree != m_lastFromTree) {
        SetShowEditorTools(m_abr, fromTree);
        m_lastFromTree = fromTree;
    }
    ApplyAvailability(m_abr, f);
    m_abr.SetChecked(QStringLiteral("mnuViewOnline"), f.online);
    m_tbrfunc.SetChecked(QStringLiteral("OnlineValues"), f.online);
    ShowUndoTools();
}

void CommandDispatch::ShowUndoTools() {
    host::Connect& session = m_window.Session();
    const model::UndoHistory& history = session.History();
    const auto show = [&](const char* tool, const QStringList& names, int named, int plain) {
        if (ui::Tool* entry = m_abr.FindTool(QString::fromUtf8(tool))) {
            entry->caption = names.isEmpty() ? Text(plain) : Text(named).replace(QStringLiteral("<c>"), names.front());
            entry->enabled = !names.isEmpty() && host::HasEditRight() && !session.IsReadOnly();
        }
    };
    show("mnuEditUndo", history.UndoNames(), 9190, 9192);
    show("mnuEditRedo", history.RedoNames(), 9191, 9193);
}

void CommandDispatch::RegisterObjectFunction(const QString& name, ObjectFunction function) {
    m_functions[name] = std::move(function);
}

std::pair<QString, int> CommandDispatch::DispatchOf(const QString& tool) {
    struct Row {
        const char* function;
        std::initializer_list<const char*> tools;
        std::initializer_list<int> codes;
    };
    static const Row rows[] = {
        {"mnuDeviceFunc",
         {"mnuDeviceNew", "mnuDeviceNewOV32Driver", "mnuDeviceEdit", "mnuDeviceDelete", "mnuDeviceConfig",
          "mnuDeviceHelperItemsBrowse", "mnuDeviceHelperItemRename", "mnuDeviceHelperItemsCopy",
          "mnuDeviceHelperItemsPaste", "mnuDeviceHelperItemsDelete"},
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"mnuGroupFunc", {"mnuGroupNew", "mnuGroupEdit", "mnuGroupDelete"}, {0, 1, 2}},
        {"mnuItemFunc",
         {"mnuItemNew", "mnuItemEdit", "mnuItemCopy", "mnuItemPaste", "mnuItemDelete", "mnuItemNewOVOPC"},
         {0, 1, 2, 3, 4, 5}},
        {"mnuStructureFunc", {"mnuStructureNew", "mnuStructureEdit", "mnuStructureDelete"}, {0, 1, 2}},
        {"mnuStructMemberFunc",
         {"mnuStructMemberNew", "mnuStructMemberEdit", "mnuStructMemberDelete", "mnuStructMemberCopy",
          "mnuStructMemberPaste"},
         {0, 1, 2, 3, 4}},
        {"mnuUnitClassFunc",
         {"mnuUnitClassNew", "mnuUnitClassViewNew", "mnuUnitClassEdit", "mnuUnitClassDelete"},
         {0, 1, 2, 3}},
        {"mnuUnitFunc", {"mnuUnitNew", "mnuUnitEdit", "mnuUnitDelete"}, {0, 1, 2}},
        {"mnuOnlineFunc", {"mnuViewOnline", "mnuViewRefreshValues", "mnuItemWriteValue"}, {0, 1, 2}},
        {"mnuPlcFunc", {"mnuDeviceImportPlc"}, {0}},
        {"mnuCheckFunc", {"mnuOptionCheck"}, {0}},
        {"ExtrasFunc",
         {"mnuOptionStatistik", "mnuOptionActualize", "mnuOptionExport", "mnuOptionImport", "mnuOptionOption",
          "mnuOptionReport", "mnuOptionConfiguration"},
         {0, 2, 4, 5, 6, 7, 8}},
    };
    for (const Row& row : rows) {
        const int* code = row.codes.begin();
        for (const char* name : row.tools) {
            if (IsTool(tool, name)) return {QString::fromUtf8(row.function), *code};
            ++code;
        }
    }
    return {};
}

void CommandDispatch::ClickTool(const QString& tool) {
    ui::RunGuarded([&] {
        if (!m_abr.IsEnabled(tool)) {
            ui::Beep();
            return;
        }
        host::Connect& session = m_window.Session();
        if (IsTool(tool, "mnuShowEditor")) {
            m_window.Show();
            return;
        }
        if (IsTool(tool, "mnuEditUndo") || IsTool(tool, "mnuEditRedo")) {
            // A typed value not yet saved is a step of its own, taken back first.
            m_window.CommitGridEdits();
            if (!(IsTool(tool, "mnuEditRedo") ? session.Redo() : session.Undo())) ui::Beep();
            return;
        }
        const auto [function, code] = DispatchOf(tool);
        if (function.isEmpty()) return;  // headings and separators
        // A project opened for viewing shows the dialogs of the commands left
        // to it (the edit commands' among them), but none of them confirms.
        // Only an export writes, to a file of the person's choosing.
        std::optional<ui::ViewOnlyScope> viewing;
        if (session.IsReadOnly() && !IsTool(tool, "mnuOptionExport")) viewing.emplace();
        // Whatever the command commits is one step of the undo history, named after it.
        const ui::Tool* entry = m_abr.FindTool(tool);
        model::UndoHistory::Command step(&session.History(), entry ? entry->caption : tool);
        // The device menu's item commands (codes 6 to 9) are the items' branch-wide commands.
        const bool done = function == QStringLiteral("mnuDeviceFunc") && code >= 6
                              ? RunObjectFunction(QStringLiteral("mnuItemHelperFunc"), code - 6)
                              : RunObjectFunction(function, code);
        // A command without a function does what a disabled one does.
        if (!done) ui::Beep();
    });
}

void CommandDispatch::FunctionToolClick(const QString& tool) {
    if (IsTool(tool, "OnlineValues")) {
        RunCommandFor(m_window.CurrentNode(), QStringLiteral("mnuViewOnline"));
        return;
    }
    ui::RunGuarded([&] {
        if (!IsTool(tool, "GroupWizzard") || !m_window.GridsBuilt() || m_window.Session().IsReadOnly()) {
            ui::Beep();
            return;
        }
        // The selected items, in the order they were selected.
        ui::GridModel& items = m_window.tdbI();
        std::vector<int> ids;
        if (host::HasEditRight()) {
            const int idColumn = items.ColumnIndex(QStringLiteral("ID"));
            for (const auto bookmark : items.SelectedBookmarks())
                if (const QVariant id = items.CellValue(items.RowOfBookmark(bookmark), idColumn); !id.isNull())
                    ids.push_back(id.toInt());
        }
        if (ids.empty() || !m_window.groupWizard) {
            ui::Beep();
            return;
        }
        const ui::Tool* entry = m_tbrfunc.FindTool(tool);
        model::UndoHistory::Command step(&m_window.Session().History(), entry ? entry->caption : tool);
        if (m_window.groupWizard(ids)) {
            m_window.ShowItemView();
            m_window.NotifyView();
        }
    });
}

bool CommandDispatch::RunObjectFunction(const QString& name, int code) {
    const auto it = m_functions.find(name);
    if (it == m_functions.end()) return false;
    return it->second(code);
}

bool CommandDispatch::ExtrasFunc(int code) {
    switch (code) {
        case 0:
            return Statistic();
        case 2:  // Refresh View
            m_window.Session().Reload();
            return true;
        case 7:
        case 8:
            RunProgram(code);
            return true;
        default:
            return RunObjectFunction(QStringLiteral("ExtrasFunc.Tools"), code);
    }
}

bool CommandDispatch::Statistic() {
    ui::BusyCursor busy;
    WindowStatus::Counters counts{};
    const char* tables[] = {"TpdbDevices", "TpdbGroups",     "TpdbItems",        "TpdbUnitClasses",
                            "TpdbUnits",   "TpdbStructDefs", "TpdbStructMembers"};
    try {
        // The database counts; no row needs to be read for it.
        for (std::size_t i = 0; i < counts.size(); ++i) {
            db::Cursor count(m_window.Data()->Connection(), QStringLiteral("SELECT Count(*) FROM ") + QString::fromUtf8(tables[i]));
            counts[i] = count.Next() ? count.Value(0).toInt() : 0;
        }
    } catch (const db::DbError& e) {
        // Another program may hold the database: the counters stay as they were.
        m_window.ReportDbError(e);
        return true;
    }
    m_window.UpdateStatusCounters(QStringLiteral("Statistik"), frmtabgridOPC::CounterMode::Set, counts);
    return true;
}

void CommandDispatch::RunProgram(int code) {
    // Report and runtime configuration are programs of their own.
    host::Connect& session = m_window.Session();
    const QString progId = code == 7 ? QStringLiteral("OVProjectReport.Connect") : QStringLiteral("RuntimeConfig.Connect");
    QString error;
    auto component = sys::ComponentRegistry::Instance().Create(progId, &error);
    const QVariantList arguments = code == 7
                                       ? QVariantList{QStringLiteral("OVPdb"), session.ProjectArgument(), session.ProjectFile()}
                                       : QVariantList{session.ProjectArgument(), session.ProjectFile()};
    sys::CallError failed;
    if (component && !component->Invoke(QStringLiteral("Show"), arguments, nullptr, &failed)) error = failed.description;
    if (!error.isEmpty()) ui::ShowMessage(error, Text(310), ui::Buttons::OK, 0, ui::Icon::Critical);
}

bool CommandDispatch::PopupBand(const QString& band, int x, int y) {
    if (!m_abr.CheckMenuForFunctionality(band)) return false;
    m_abr.ShowShortcuts(true);
    const auto chosen = ui::CurrentPopups().Popup(m_abr, band, x, y);
    m_abr.ShowShortcuts(false);
    if (chosen) ClickTool(*chosen);
    return true;
}

void CommandDispatch::RunCommandFor(const QString& key, const QString& tool) {
    ComputeAvailability(key, false);
    if (m_abr.IsEnabled(tool)) ClickTool(tool);
}

void CommandDispatch::RunGridCommand(const QString& tool, const QString& currentNode) {
    ComputeAvailability(currentNode, false);
    if (m_abr.IsEnabled(tool))
        ClickTool(tool);
    else
        ui::Beep();
}

}  // namespace ov::editor
