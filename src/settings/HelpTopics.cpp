#include "settings/HelpTopics.h"

#include "platform/EmbeddedFile.h"
#include "settings/TextTable.h"

#include <span>
#include <utility>

namespace ov {
std::span<const EmbeddedFile> HelpPageFiles();
}

namespace ov::settings::help {

namespace {

constexpr std::pair<int, const char*> kPages[] = {
    {kEditor, "editor"},
    {kDevices, "devices"},
    {kInternal, "internal"},
    {kGroups, "groups"},
    {kUnits, "units"},
    {kStructures, "structures"},
    {kItemGrid, "item-grid"},
    {kDeviceDialog, "dlg-device"},
    {kItemDialog, "dlg-item"},
    {kDefaultModeDialog, "dlg-default-mode"},
    {kItemOptionsDialog, "dlg-item-options"},
    {kRenameFolderDialog, "dlg-rename-folder"},
    {kSimulationParametersDialog, "dlg-simulation-parameters"},
    {kGroupDialog, "dlg-group"},
    {kStructureDialog, "dlg-structure"},
    {kMemberDialog, "dlg-member"},
    {kUnitClassDialog, "dlg-unit-class"},
    {kUnitDialog, "dlg-unit"},
    {kBrowseItemsDialog, "dlg-browse-items"},
    {kOvopcItemsDialog, "dlg-ovopc-items"},
    {kGroupWizardDialog, "dlg-group-wizard"},
    {kOptionsDialog, "dlg-options"},
    {kCsv, "csv"},
};

}  // namespace

QString PageOfTopic(int topic) {
    for (const auto& [number, page] : kPages)
        if (number == topic) return QString::fromUtf8(page);
    return QStringLiteral("index");
}

std::optional<QString> PageText(const QString& language, const QString& page) {
    const QString name = language + u'/' + page;
    for (const EmbeddedFile& file : HelpPageFiles())
        if (name == QLatin1String(file.name))
            return QString::fromUtf8(reinterpret_cast<const char*>(file.data), static_cast<qsizetype>(file.size));
    return std::nullopt;
}

QStringList PageNames(const QString& language) {
    QStringList names;
    const QString prefix = language + u'/';
    for (const EmbeddedFile& file : HelpPageFiles()) {
        const QString name = QString::fromUtf8(file.name);
        if (name.startsWith(prefix)) names << name.mid(prefix.size());
    }
    return names;
}

QString LanguageOfTexts() {
    return TextTable::Instance().Language() == TextTable::kGerman ? QStringLiteral("de") : QStringLiteral("en");
}

}  // namespace ov::settings::help
