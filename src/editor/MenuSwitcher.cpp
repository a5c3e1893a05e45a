#include "editor/MenuSwitcher.h"

#include "platform/ui/CommandBar.h"

namespace ov::editor {

namespace {

// How an unavailable tool looks.
enum class Effect { Hidden, Greyed, HiddenOnly };

void Set(ui::CommandBar& bar, const char* tool, bool available, Effect effect) {
    const QString name = QString::fromUtf8(tool);
    switch (effect) {
        case Effect::Hidden:
            bar.SetVisible(name, available);
            bar.SetEnabled(name, available);
            break;
        case Effect::Greyed:
            bar.SetVisible(name, true);
            bar.SetEnabled(name, available);
            break;
        case Effect::HiddenOnly:
            bar.SetVisible(name, available);
            break;
    }
}

// The tools whose commands change the project or outside configuration.
constexpr const char* kChangingTools[] = {
    "mnuDeviceNew", "mnuDeviceNewOV32Driver", "mnuDeviceConfig", "mnuDeviceDelete",
    "mnuDeviceHelperItemsBrowse", "mnuDeviceImportPlc", "mnuDeviceHelperItemRename", "mnuDeviceHelperItemsPaste",
    "mnuDeviceHelperItemsDelete", "mnuGroupNew", "mnuGroupDelete", "mnuItemNew", "mnuItemNewOVOPC",
    "mnuItemPaste", "mnuItemDelete", "mnuStructureNew", "mnuStructureDelete", "mnuStructMemberNew",
    "mnuStructMemberPaste", "mnuStructMemberDelete", "mnuUnitClassNew", "mnuUnitClassViewNew",
    "mnuUnitClassDelete", "mnuUnitNew", "mnuUnitDelete", "mnuOptionOption", "mnuOptionImport",
    "mnuOptionConfiguration", "mnuEditUndo", "mnuEditRedo", "mnuItemWriteValue"};

}  // namespace

void ApplyAvailability(ui::CommandBar& bar, const MenuFacts& f) {
    const bool device = f.kind == QStringLiteral("OPCD");
    const bool group = f.kind == QStringLiteral("OPCG");
    const bool structure = f.kind == QStringLiteral("OPCS");
    const bool unitClass = f.kind == QStringLiteral("OPCU");
    const bool realDevice = device && f.id > 0;

    // The main menu: greyed when its condition fails.
    Set(bar, "mnuDevices", device, Effect::Greyed);
    Set(bar, "mnuGroups", group && !f.groupDevice, Effect::Greyed);
    Set(bar, "mnuItems", device || group, Effect::Greyed);
    Set(bar, "mnuStructures", structure, Effect::Greyed);
    Set(bar, "mnuStructmembers", structure, Effect::Greyed);
    Set(bar, "mnuUnitClasses", unitClass, Effect::Greyed);
    Set(bar, "mnuUnits", unitClass, Effect::Greyed);
    Set(bar, "mnuOptions", true, Effect::Greyed);
    Set(bar, "mnuViews", true, Effect::Greyed);

    const bool newDevice = device && f.id == -1 && f.nodeItself && f.create;
    Set(bar, "mnuDeviceNew", newDevice, Effect::Hidden);
    Set(bar, "mnuDeviceNewOV32Driver", newDevice && f.ownDriverDevices < 5, Effect::Hidden);
    // Configure: shown for a device the user may edit, enabled when it can be configured.
    Set(bar, "mnuDeviceConfig", realDevice && f.nodeItself && f.edit, Effect::Hidden);
    if (realDevice && f.nodeItself && f.edit) Set(bar, "mnuDeviceConfig", f.configurable && f.edit, Effect::Greyed);
    Set(bar, "mnuDeviceEdit", realDevice && f.nodeItself && f.edit, Effect::Hidden);
    Set(bar, "mnuDeviceDelete", realDevice && f.nodeItself && f.remove, Effect::Hidden);
    Set(bar, "mnuSeparatorDevice_Items", realDevice && f.fromTree, Effect::HiddenOnly);
    Set(bar, "mnuDeviceHelperItemsBrowse", realDevice && f.notBlob && f.nodeItself && f.fromTree && f.edit, Effect::HiddenOnly);
    // A program file serves any device, also one of the system's own drivers;
    // offered in the menu bar too, unlike the browse of a server.
    Set(bar, "mnuDeviceImportPlc", realDevice && f.nodeItself && f.edit, Effect::Hidden);
    Set(bar, "mnuDeviceHelperItemRename", realDevice && f.notBlob && !f.nodeItself && f.fromTree && f.edit, Effect::Hidden);
    Set(bar, "mnuDeviceHelperItemsCopy", realDevice && f.fromTree, Effect::HiddenOnly);
    bar.SetEnabled(QStringLiteral("mnuDeviceHelperItemsCopy"), realDevice);
    Set(bar, "mnuDeviceHelperItemsPaste", realDevice && f.fromTree, Effect::HiddenOnly);
    bar.SetEnabled(QStringLiteral("mnuDeviceHelperItemsPaste"), realDevice && f.itemBuffer && f.create);
    Set(bar, "mnuDeviceHelperItemsDelete", realDevice && f.fromTree && f.remove, Effect::HiddenOnly);

    Set(bar, "mnuGroupDescriptor", group, Effect::HiddenOnly);
    Set(bar, "mnuGroupNew", group && f.id < 1 && f.create, Effect::Hidden);
    Set(bar, "mnuGroupEdit", group && f.id != 0 && !f.groupDevice && f.edit, Effect::Hidden);
    Set(bar, "mnuGroupDelete", group && f.id != 0 && !f.groupDevice && f.remove, Effect::Hidden);

    Set(bar, "mnuItemDescriptor", device || group, Effect::HiddenOnly);
    Set(bar, "mnuItemNew", device && f.id != -1 && f.create, Effect::Greyed);
    Set(bar, "mnuItemNewOVOPC", device && f.configurable && f.notBlob && f.mayCreateItems && f.id != -1 && f.edit, Effect::Hidden);
    Set(bar, "mnuItemEdit", (device || group) && f.itemCurrent && f.edit, Effect::Greyed);
    Set(bar, "mnuItemCopy", device && f.itemRows, Effect::Greyed);
    Set(bar, "mnuItemPaste", device && f.itemBuffer && f.id != -1 && f.create, Effect::Greyed);
    Set(bar, "mnuItemDelete", device && f.itemRows && f.remove, Effect::Greyed);
    // Live values: switched on and off anywhere; a value is written only to
    // an item with write rights, and only by one who may edit items.
    Set(bar, "mnuViewOnline", true, Effect::Greyed);
    Set(bar, "mnuViewRefreshValues", f.online, Effect::Greyed);
    Set(bar, "mnuItemSepValue", device || group, Effect::HiddenOnly);
    Set(bar, "mnuItemWriteValue", device || group, Effect::HiddenOnly);
    bar.SetEnabled(QStringLiteral("mnuItemWriteValue"), f.online && f.itemWritable && f.edit);

    Set(bar, "mnuStructureDescriptor", structure, Effect::HiddenOnly);
    Set(bar, "mnuStructMemberDescriptor", structure, Effect::HiddenOnly);
    Set(bar, "mnuStructureNew", structure && f.id == 0 && f.create, Effect::Hidden);
    Set(bar, "mnuStructureEdit", structure && f.id != 0 && f.edit, Effect::Hidden);
    Set(bar, "mnuStructureDelete", structure && f.id != 0 && f.remove, Effect::Hidden);
    Set(bar, "mnuStructMemberNew", structure && f.id != 0 && f.create, Effect::Greyed);
    Set(bar, "mnuStructMemberEdit", structure && f.memberCurrent && f.edit, Effect::Greyed);
    Set(bar, "mnuStructMemberCopy", structure, Effect::Greyed);
    Set(bar, "mnuStructMemberPaste", structure && f.memberBuffer && f.id != -1 && f.create, Effect::Greyed);
    Set(bar, "mnuStructMemberDelete", structure && f.memberRows && f.remove, Effect::Greyed);

    Set(bar, "mnuUnitClassDescriptor", unitClass, Effect::HiddenOnly);
    Set(bar, "mnuUnitDescriptor", unitClass, Effect::HiddenOnly);
    Set(bar, "mnuUnitClassNew", unitClass && f.id == 0 && f.branch == QStringLiteral("P") && f.create, Effect::Hidden);
    Set(bar, "mnuUnitClassViewNew", unitClass && f.id == 0 && f.branch == QStringLiteral("V") && f.create, Effect::Hidden);
    Set(bar, "mnuUnitClassEdit", unitClass && f.id != 0 && f.edit, Effect::Hidden);
    Set(bar, "mnuUnitClassDelete", unitClass && f.id != 0 && f.remove, Effect::Hidden);
    Set(bar, "mnuUnitNew", unitClass && f.id != 0 && f.create, Effect::Greyed);
    Set(bar, "mnuUnitEdit", unitClass && f.unitCurrent && f.edit, Effect::Greyed);
    Set(bar, "mnuUnitDelete", unitClass && f.unitRows && f.remove, Effect::Greyed);

    for (const char* tool : {"mnuOptionActualize", "mnuOptionStatistik", "mnuOptionReport", "mnuOptionConfiguration",
                             "mnuOptionExport", "mnuOptionCheck"})
        Set(bar, tool, true, Effect::Greyed);
    Set(bar, "mnuOptionOption", f.edit, Effect::Greyed);
    // An import writes items: only with the right to create and change them.
    Set(bar, "mnuOptionImport", f.edit && f.create, Effect::Greyed);
    Set(bar, "mnuShowEditor", true, Effect::Greyed);
    Set(bar, "mnuShowEditorSep", true, Effect::Greyed);

    // Greyed, not hidden: the person still sees every command there is, and
    // the status bar says why none of these can run. The edit commands stay:
    // their dialogs show the values without confirming.
    if (f.readOnly)
        for (const char* tool : kChangingTools) bar.SetEnabled(QString::fromUtf8(tool), false);
}

void SetShowEditorTools(ui::CommandBar& bar, bool fromTree) {
    const ui::Band* helper = bar.FindBand(QStringLiteral("mnuShowEditorHelper"));
    if (!helper) return;
    const std::vector<ui::Tool> tools = helper->tools;
    for (const char* bandName : {"mnuDevice", "mnuGroup", "mnuStructure", "mnuUnitClass"}) {
        ui::Band* band = bar.FindBand(QString::fromUtf8(bandName));
        if (!band) continue;
        std::erase_if(band->tools, [](const ui::Tool& t) {
            return t.name == QStringLiteral("mnuShowEditor") || t.name == QStringLiteral("mnuShowEditorSep");
        });
        if (fromTree) band->tools.insert(band->tools.end(), tools.begin(), tools.end());
    }
}

}  // namespace ov::editor
