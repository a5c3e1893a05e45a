#include "objects/FBitOptions.h"

#include "platform/ui/FormPresenter.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

#include <memory>

namespace ov::objects {

FBitOptions::FBitOptions(const QString& name, int captionText, const QString& arrayName,
                         const std::vector<int>& texts, int value, int helpTopic)
    : ui::Form(name), m_arrayName(arrayName), m_boxes(static_cast<int>(texts.size())) {
    tag = QStringLiteral("C%1").arg(captionText);
    helpContextId = helpTopic;
    for (int i = 0; i < m_boxes; ++i) {
        ui::Control& box = Add(ui::ControlType::CheckBox, arrayName, i);
        box.tag = QStringLiteral("C%1").arg(texts[static_cast<std::size_t>(i)]);
        box.checkState = (value & (1 << i)) ? 1 : 0;
    }
    AddOkAndCancel();
}

FBitOptions FBitOptions::DefaultMode(int mode) {
    return FBitOptions(QStringLiteral("FDefaultMode"), 2301, QStringLiteral("chkDefaultMode"),
                       {2306, 2305, 2304, 2303, 2302}, mode, settings::help::kDefaultModeDialog);
}

FBitOptions FBitOptions::ItemOptions(int options) {
    return FBitOptions(QStringLiteral("FItemOptions"), 3200, QStringLiteral("chkItemOptions"),
                       {3201, 3202, 3203}, options, settings::help::kItemOptionsDialog);
}

int FBitOptions::Value() const {
    int value = 0;
    for (int i = 0; i < m_boxes; ++i)
        if (Find(m_arrayName, i)->IsChecked()) value |= 1 << i;
    return value;
}

void FBitOptions::OnLoad() {
    settings::LocaliseCaptions(*this);
}

void FBitOptions::OnEvent(ui::Control& control, ui::FormEvent event) {
    if (event != ui::FormEvent::Click) return;
    if (control.Name() == QStringLiteral("cmdOK")) Hide(true);
    if (control.Name() == QStringLiteral("cmdCancel")) Hide(false);
}

namespace {
bool Show(FBitOptions& dialog, int& value) {
    const bool confirmed = ui::ShowModal(dialog);
    if (confirmed) value = dialog.Value();
    dialog.Unload();
    return confirmed;
}
}  // namespace

bool ShowDefaultModeDialog(int& mode) {
    FBitOptions dialog = FBitOptions::DefaultMode(mode);
    return Show(dialog, mode);
}

bool ShowItemOptionsDialog(int& options) {
    FBitOptions dialog = FBitOptions::ItemOptions(options);
    return Show(dialog, options);
}

}  // namespace ov::objects
