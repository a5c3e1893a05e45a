#include "objects/MItem.h"

#include "components/Registration.h"
#include "editor/AddinEntry.h"
#include "editor/frmtabgridOPC.h"
#include "objects/MDevice.h"
#include "objects/MGroup.h"
#include "objects/MStructure.h"
#include "objects/MUnit.h"
#include "platform/EmbeddedFile.h"
#include "platform/ui/Images.h"

#include <span>

namespace ov {
std::span<const EmbeddedFile> ObjectPictureFiles();
}

// Every editor window gets the object units: items first (the extra units
// of other layers attach to it), then devices, groups, structures and units.
namespace ov::objects {

namespace {
std::vector<ExtraUnitsInstaller>& ExtraUnits() {
    static std::vector<ExtraUnitsInstaller> installers;
    return installers;
}
}  // namespace

void AddExtraUnits(ExtraUnitsInstaller installer) { ExtraUnits().push_back(std::move(installer)); }

void InstallEditor() {
    editor::InstallEditorWindow();
    components::RegisterOwnComponents();
    // The pictures of the unit dialog's catalogue of conversions.
    for (const EmbeddedFile& file : ObjectPictureFiles())
        ui::RegisterImage(QString::fromUtf8(file.name),
                          QByteArray(reinterpret_cast<const char*>(file.data), static_cast<qsizetype>(file.size)));
    editor::frmtabgridOPC::SetUnitsInstaller([](editor::frmtabgridOPC& window) {
        auto items = std::make_shared<MItem>(window);
        window.Adopt(items);
        for (const ExtraUnitsInstaller& install : ExtraUnits()) install(window, *items);
        window.Adopt(std::make_shared<MDevice>(window));
        window.Adopt(std::make_shared<MGroup>(window));
        window.Adopt(std::make_shared<MStructure>(window));
        window.Adopt(std::make_shared<MUnit>(window));
    });
}

}  // namespace ov::objects
