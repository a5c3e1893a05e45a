#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace ov::settings::help {

// Help topics by number: what F1 on a tree node, a grid, the window or a
// dialog opens. The numbers of the tree nodes are the editor's classic ones;
// the others are ours.
inline constexpr int kEditor = 80001;
inline constexpr int kDevices = 82000;
inline constexpr int kInternal = 82100;
inline constexpr int kGroups = 82200;
inline constexpr int kUnits = 82300;
inline constexpr int kStructures = 82500;
inline constexpr int kItemGrid = 83000;
inline constexpr int kDeviceDialog = 84001;
inline constexpr int kItemDialog = 84002;
inline constexpr int kDefaultModeDialog = 84003;
inline constexpr int kItemOptionsDialog = 84004;
inline constexpr int kRenameFolderDialog = 84005;
inline constexpr int kSimulationParametersDialog = 84006;
inline constexpr int kGroupDialog = 84007;
inline constexpr int kStructureDialog = 84008;
inline constexpr int kMemberDialog = 84009;
inline constexpr int kUnitClassDialog = 84010;
inline constexpr int kUnitDialog = 84011;
inline constexpr int kBrowseItemsDialog = 84012;
inline constexpr int kOvopcItemsDialog = 84013;
inline constexpr int kGroupWizardDialog = 84014;
inline constexpr int kOptionsDialog = 84015;
inline constexpr int kCsv = 84016;

// The page of a topic ("item-grid"); the contents page for an unknown one.
QString PageOfTopic(int topic);

// The pages in a language ("en" or "de"), as Markdown; nothing when missing.
std::optional<QString> PageText(const QString& language, const QString& page);
QStringList PageNames(const QString& language);

// "de" for the German user interface, else "en".
QString LanguageOfTexts();

}  // namespace ov::settings::help
