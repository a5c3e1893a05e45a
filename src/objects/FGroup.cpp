#include "objects/FGroup.h"

#include "editor/NameGroups.h"
#include "platform/ui/MessageBox.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

namespace ov::objects {

using settings::Text;

namespace {
constexpr int kStandard = 0, kExtended = 1;
constexpr int kControlVariable = 1, kApplicationControlled = 2;
constexpr int kControlObjectFlag = 16;
}  // namespace

FGroup::FGroup(editor::NameGroups& names, std::function<QString(const QString&, int)> chooseVariable)
    : ui::Form(QStringLiteral("FGroup")), m_names(names), m_chooseVariable(std::move(chooseVariable)) {
    tag = QStringLiteral("C602");
    helpContextId = settings::help::kGroupDialog;
    ui::Control& pages = Add(ui::ControlType::TabStrip, QStringLiteral("tabGroup"));
    pages.list.Add(kStandard, Text(603));
    pages.list.Add(kExtended, Text(604));
    pages.listIndex = kStandard;

    AddField(ui::ControlType::TextBox, QStringLiteral("TxtName"), 605, kStandard);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtUpdateRate"), 606, kStandard, 607);
    for (const auto& [frame, frameCaption, sync, async] :
         {std::tuple{"fraRead", 608, "optReadSync", "optReadAsync"}, std::tuple{"fraWrite", 609, "optWriteSync", "optWriteAsync"}}) {
        ui::Control& box = Add(ui::ControlType::Frame, QString::fromUtf8(frame));
        box.tag = QStringLiteral("C%1").arg(frameCaption);
        box.tabPage = kStandard;
        // Each frame's two options exclude each other.
        for (const auto& [option, text] : {std::pair{sync, 610}, std::pair{async, 611}}) {
            ui::Control& choice = Add(ui::ControlType::OptionButton, QString::fromUtf8(option));
            choice.tag = QStringLiteral("C%1").arg(text);
            choice.container = box.Name();
            choice.tabPage = kStandard;
        }
    }
    AddField(ui::ControlType::TextBox, QStringLiteral("txtComment"), 612, kStandard);

    ui::Control& mode = AddField(ui::ControlType::ComboBox, QStringLiteral("cmbActiveMode"), 613, kExtended);
    for (const auto& [code, text] : {std::pair{0, 625}, std::pair{1, 626}, std::pair{2, 627}, std::pair{4, 629}})
        mode.list.Add(code, Text(text));
    AddField(ui::ControlType::TextBox, QStringLiteral("txtActivation"), 614, kExtended);
    ui::Control& choose = Add(ui::ControlType::CommandButton, QStringLiteral("cmdChooseActivation"));
    choose.caption = QStringLiteral("…");
    choose.buddy = QStringLiteral("txtActivation");
    choose.tabPage = kExtended;
    AddField(ui::ControlType::TextBox, QStringLiteral("txtPercentDeadband"), 615, kExtended, 616);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtTimeBias"), 617, kExtended, 618);

    Add(ui::ControlType::CheckBox, QStringLiteral("chkEnabled")).tag = QStringLiteral("C622");
    AddOkAndCancel();
}

ui::Control& FGroup::AddField(ui::ControlType type, const QString& name, int captionText, int page, int unit,
                              const QString& frame) {
    ui::Control& label = Add(ui::ControlType::Label, QStringLiteral("lbl") + name.mid(3));
    label.tag = QStringLiteral("C%1").arg(captionText);
    label.buddy = name;
    label.tabPage = page;
    label.container = frame;
    ui::Control& control = Add(type, name);
    control.tabPage = page;
    control.container = frame;
    if (unit != 0) {
        ui::Control& unitLabel = Add(ui::ControlType::Label, QStringLiteral("lblUnit") + name.mid(3));
        unitLabel.tag = QStringLiteral("C%1").arg(unit);
        unitLabel.buddy = name;
        unitLabel.tabPage = page;
    }
    return control;
}

void FGroup::OnLoad() { settings::LocaliseCaptions(*this); }

void FGroup::OnActivate() {
    m_cancel = true;
    m_oldName = Get(QStringLiteral("TxtName")).text;
    Get(QStringLiteral("cmdOK")).enabled = !m_oldName.trimmed().isEmpty();
    SetFocus(QStringLiteral("TxtName"), -1, true);
}

void FGroup::ShowActivationMode() {
    const ui::Control& mode = Get(QStringLiteral("cmbActiveMode"));
    const int code = mode.listIndex < 0 ? -1 : mode.SelectedData().toInt();
    // A control variable or the application activates the group: only then is there a control object.
    const bool activation = code == kControlVariable || code == kApplicationControlled;
    Get(QStringLiteral("txtActivation")).enabled = activation;
    Get(QStringLiteral("lblActivation")).enabled = activation;
    Get(QStringLiteral("cmdChooseActivation")).enabled = code == kControlVariable;
}

void FGroup::OnEvent(ui::Control& control, ui::FormEvent event) {
    const QString& name = control.Name();
    if (event == ui::FormEvent::Change && name == QStringLiteral("TxtName")) {
        Get(QStringLiteral("cmdOK")).enabled = !control.text.trimmed().isEmpty();
        return;
    }
    if (event != ui::FormEvent::Click) return;
    if (name == QStringLiteral("cmbActiveMode")) {
        ShowActivationMode();
    } else if (name == QStringLiteral("cmdChooseActivation") && m_chooseVariable) {
        const QString chosen = m_chooseVariable(Get(QStringLiteral("txtActivation")).text, kControlObjectFlag);
        if (!chosen.isEmpty()) Get(QStringLiteral("txtActivation")).text = chosen;
    } else if (name == QStringLiteral("cmdOK")) {
        Confirm();
    } else if (name == QStringLiteral("cmdCancel")) {
        m_cancel = true;
        Hide(false);
    }
}

void FGroup::Confirm() {
    const QString name = Get(QStringLiteral("TxtName")).text;
    if (name == m_oldName || m_names.TestNameInGroup(name, QStringLiteral("Grp"))) {
        m_names.ChangeNameInGroup(m_oldName, name, QStringLiteral("Grp"));
        m_cancel = false;
        Hide(true);
        return;
    }
    ui::ShowMessage(Text(652), Text(602), ui::Buttons::OK, 0, ui::Icon::Warning);
    SetFocus(QStringLiteral("TxtName"), -1, true);
}

}  // namespace ov::objects
