#include "objects/FItemStructEditor.h"

#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

namespace ov::objects {

FItemStructEditor::FItemStructEditor(const QString& name) : ui::Form(QStringLiteral("FItemStructEditor")) {
    tag = QStringLiteral("C2601");
    ui::Control& label = Add(ui::ControlType::Label, QStringLiteral("lblItemstructName"));
    label.tag = QStringLiteral("C2602");
    label.buddy = QStringLiteral("TxtName");
    Add(ui::ControlType::TextBox, QStringLiteral("TxtName")).text = name;
    AddOkAndCancel();
    helpContextId = settings::help::kRenameFolderDialog;
}

void FItemStructEditor::OnLoad() {
    settings::LocaliseCaptions(*this);
}

void FItemStructEditor::OnEvent(ui::Control& control, ui::FormEvent event) {
    if (event != ui::FormEvent::Click) return;
    if (control.Name() == QStringLiteral("cmdOK")) Hide(true);  // accepted as typed
    if (control.Name() == QStringLiteral("cmdCancel")) Hide(false);
}

}  // namespace ov::objects
