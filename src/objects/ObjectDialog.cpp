#include "objects/ObjectDialog.h"

#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"

namespace ov::objects {

using settings::Text;

namespace {
constexpr int kTab = 9, kEnter = 13, kCtrl = 2;
}

ObjectDialog::ObjectDialog(const QString& name, int captionText, int helpTopic)
    : ui::Form(name), m_captionText(captionText) {
    tag = QStringLiteral("C%1").arg(captionText);
    helpContextId = helpTopic;
    keyPreview = true;
}

ui::Control& ObjectDialog::AddField(ui::ControlType type, const QString& name, int labelText, int page,
                                    const QString& frame) {
    ui::Control& label = Add(ui::ControlType::Label, QStringLiteral("lbl") + name.mid(3));
    label.tag = QStringLiteral("C%1").arg(labelText);
    label.buddy = name;
    label.tabPage = page;
    label.container = frame;
    ui::Control& control = Add(type, name);
    control.tabPage = page;
    control.container = frame;
    return control;
}

void ObjectDialog::OnLoad() { settings::LocaliseCaptions(*this); }

void ObjectDialog::OnActivate() {
    m_cancel = true;
    m_startName = Get(m_nameBox).text;
    EnableOk();
    SetFocus(m_nameBox, -1, true);
}

void ObjectDialog::EnableOk() { Get(QStringLiteral("cmdOK")).enabled = !Get(m_nameBox).text.trimmed().isEmpty(); }

void ObjectDialog::Refuse(const QString& message, const QString& box) {
    ui::ShowMessage(message, Text(m_captionText), ui::Buttons::OK, 0, ui::Icon::Warning);
    SetFocus(box, -1, true);
}

void ObjectDialog::Confirm() {
    if (!Accept()) return;
    m_cancel = false;
    Hide(true);
}

void ObjectDialog::OnEvent(ui::Control& control, ui::FormEvent event) {
    const QString& name = control.Name();
    if (event == ui::FormEvent::Change && name.compare(m_nameBox, Qt::CaseInsensitive) == 0) {
        EnableOk();
    } else if (event == ui::FormEvent::Click && name == QStringLiteral("cmdOK")) {
        Confirm();
    } else if (event == ui::FormEvent::Click && name == QStringLiteral("cmdCancel")) {
        m_cancel = true;
        Hide(false);
    }
    OnControlEvent(control, event);
}

void ObjectDialog::OnKeyDown(int& keyCode, int shift) {
    OnDialogKey(keyCode, shift);
    if (keyCode == kTab && shift == kCtrl) {
        // The next page of the dialog's tab strip, if it has one.
        for (const auto& control : Controls()) {
            if (control->Type() != ui::ControlType::TabStrip || control->list.Size() == 0) continue;
            control->listIndex = (control->listIndex + 1) % static_cast<int>(control->list.Size());
            keyCode = 0;
            break;
        }
    } else if (keyCode == kEnter && shift == 0 && Get(QStringLiteral("cmdOK")).enabled) {
        keyCode = 0;
        Confirm();
    }
}

}  // namespace ov::objects
