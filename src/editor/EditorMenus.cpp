#include "editor/EditorMenus.h"

#include "platform/ui/CommandBar.h"
#include "settings/TextTable.h"

#include <cstring>

namespace ov::editor {

namespace {

struct ToolRow {
    const char* name;
    const char* category;
    int tag;  // 0: no caption
    const char* opensBand;
    bool separator;
    bool heading;
};

struct BandRows {
    const char* band;
    std::initializer_list<ToolRow> tools;
};

const BandRows kBands[] = {
    {"mnuMain",
     {{"mnuEdits", "", 9189, "mnuEdit", false, false},
      {"mnuViews", "", 9323, "mnuView", false, false},
      {"mnuDevices", "", 210, "mnuDevice", false, false},
      {"mnuGroups", "", 230, "mnuGroup", false, false},
      {"mnuItems", "", 240, "mnuItem", false, false},
      {"mnuStructures", "", 250, "mnuStructure", false, false},
      {"mnuStructmembers", "", 260, "mnuStructMember", false, false},
      {"mnuUnitClasses", "", 270, "mnuUnitClass", false, false},
      {"mnuUnits", "", 280, "mnuUnit", false, false},
      {"mnuOptions", "", 290, "mnuOption", false, false}}},
    {"mnuEdit",
     {{"mnuEditUndo", "Undo", 9192, "", false, false},
      {"mnuEditRedo", "Redo", 9193, "", false, false}}},
    {"mnuView",
     {{"mnuViewOnline", "", 9324, "", false, false},
      {"mnuViewRefreshValues", "Refresh", 9325, "", false, false}}},
    {"mnuDevice",
     {{"mnuDeviceNew", "New", 211, "", false, false},
      {"mnuDeviceNewOV32Driver", "", 212, "", false, false},
      {"mnuDeviceConfig", "", 213, "", false, false},
      {"mnuDeviceEdit", "Edit", 214, "", false, false},
      {"mnuDeviceDelete", "", 215, "", false, false},
      {"mnuSeparatorDevice_Items", "", 216, "", false, true},
      {"mnuDeviceHelperItemsBrowse", "", 217, "", false, false},
      {"mnuDeviceImportPlc", "", 9373, "", false, false},
      {"mnuDeviceHelperItemRename", "", 218, "", false, false},
      {"mnuDeviceHelperItemsCopy", "Copy", 219, "", false, false},
      {"mnuDeviceHelperItemsPaste", "Paste", 220, "", false, false},
      {"mnuDeviceHelperItemsDelete", "Delete", 221, "", false, false}}},
    {"mnuGroup",
     {{"mnuGroupDescriptor", "", 231, "", false, true},
      {"mnuGroupNew", "New", 232, "", false, false},
      {"mnuGroupEdit", "Edit", 233, "", false, false},
      {"mnuGroupDelete", "Delete", 234, "", false, false}}},
    {"mnuItem",
     {{"mnuItemDescriptor", "", 241, "", false, true},
      {"mnuItemNew", "New", 242, "", false, false},
      {"mnuItemNewOVOPC", "", 247, "", false, false},
      {"mnuItemEdit", "Edit", 243, "", false, false},
      {"mnuItemCopy", "Copy", 244, "", false, false},
      {"mnuItemPaste", "Paste", 245, "", false, false},
      {"mnuItemDelete", "Delete", 246, "", false, false},
      {"mnuItemSepValue", "", 0, "", true, false},
      {"mnuItemWriteValue", "", 9326, "", false, false}}},
    {"mnuStructure",
     {{"mnuStructureDescriptor", "", 251, "", false, true},
      {"mnuStructureNew", "New", 252, "", false, false},
      {"mnuStructureEdit", "Edit", 253, "", false, false},
      {"mnuStructureDelete", "Delete", 254, "", false, false}}},
    {"mnuStructMember",
     {{"mnuStructMemberDescriptor", "", 261, "", false, true},
      {"mnuStructMemberNew", "New", 262, "", false, false},
      {"mnuStructMemberEdit", "Edit", 263, "", false, false},
      {"mnuStructMemberCopy", "Copy", 244, "", false, false},
      {"mnuStructMemberPaste", "Paste", 245, "", false, false},
      {"mnuStructMemberDelete", "Delete", 264, "", false, false}}},
    {"mnuUnitClass",
     {{"mnuUnitClassDescriptor", "", 271, "", false, true},
      {"mnuUnitClassNew", "New", 272, "", false, false},
      {"mnuUnitClassViewNew", "", 275, "", false, false},
      {"mnuUnitClassEdit", "Edit", 273, "", false, false},
      {"mnuUnitClassDelete", "Delete", 274, "", false, false}}},
    {"mnuUnit",
     {{"mnuUnitDescriptor", "", 281, "", false, true},
      {"mnuUnitNew", "New", 282, "", false, false},
      {"mnuUnitEdit", "Edit", 283, "", false, false},
      {"mnuUnitDelete", "Delete", 284, "", false, false}}},
    {"mnuOption",
     {{"mnuOptionActualize", "", 291, "", false, false},
      {"mnuOptionsSep0", "", 0, "", true, false},
      {"mnuOptionStatistik", "", 292, "", false, false},
      {"mnuOptionSep1", "", 0, "", true, false},
      {"mnuOptionExport", "", 9175, "", false, false},
      {"mnuOptionImport", "", 9176, "", false, false},
      {"mnuOptionCheck", "Check", 9415, "", false, false},
      {"mnuOptionSep2", "", 0, "", true, false},
      {"mnuOptionOption", "", 293, "", false, false},
      {"mnuOptionConfiguration", "", 295, "", false, false},
      {"mnuOptionReport", "", 294, "", false, false}}},
    {"mnuShowEditorHelper",
     {{"mnuShowEditorSep", "", 0, "", true, false}, {"mnuShowEditor", "", 296, "", false, false}}},
};

}  // namespace

void BuildEditorMenus(ui::CommandBar& bar) {
    for (const BandRows& rows : kBands) {
        ui::Band& band = bar.AddBand(QString::fromUtf8(rows.band));
        for (const ToolRow& row : rows.tools) {
            ui::Tool tool;
            tool.name = QString::fromUtf8(row.name);
            tool.category = QString::fromUtf8(row.category);
            tool.tag = row.tag ? QString::number(row.tag) : QString();
            tool.caption = row.tag ? settings::Text(row.tag) : QString();
            tool.opensBand = QString::fromUtf8(row.opensBand);
            tool.separator = row.separator;
            tool.heading = row.heading;
            band.tools.push_back(tool);
        }
    }
    for (ui::Tool* online : bar.ToolsNamed(QStringLiteral("mnuViewOnline"))) online->checkable = true;
}

const char* ContextBandOfGrid(const char* gridName) {
    if (std::strcmp(gridName, "tdbI") == 0) return "mnuItem";
    if (std::strcmp(gridName, "tdbS") == 0) return "mnuStructMember";
    if (std::strcmp(gridName, "tdbU") == 0) return "mnuUnit";
    if (std::strcmp(gridName, "tdbG") == 0) return "mnuGroup";
    return "";
}

void BuildFunctionToolbar(ui::CommandBar& bar) {
    if (bar.FindBand(QStringLiteral("tbrfunc"))) return;
    ui::Band& band = bar.AddBand(QStringLiteral("tbrfunc"));
    // The first three buttons' captions are fixed, the same in every language.
    const std::pair<const char*, const char*> buttons[] = {
        {"Devices", "Devices"}, {"Groups", "Groups"}, {"GroupWizzard", "Gruppenzuordnung"}};
    for (const auto& [name, caption] : buttons) {
        ui::Tool tool;
        tool.name = QString::fromUtf8(name);
        tool.caption = QString::fromUtf8(caption);
        // Devices and Groups have no action of their own: shown, never enabled.
        tool.enabled = tool.name == QStringLiteral("GroupWizzard");
        band.tools.push_back(tool);
    }
    // The switch of the View menu's "Online values", at hand on the bar.
    ui::Tool online;
    online.name = QStringLiteral("OnlineValues");
    online.caption = settings::Text(9324);
    online.checkable = true;
    band.tools.push_back(online);
}

}  // namespace ov::editor
