#include "opc/FWriteValue.h"

#include "model/CVT_Types.h"
#include "platform/ui/MessageBox.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

namespace ov::opc {

using settings::Text;

namespace {

const QString kItem = QStringLiteral("lblItemName");
const QString kCurrent = QStringLiteral("lblCurrentValue");
const QString kType = QStringLiteral("lblDataType");
const QString kNew = QStringLiteral("txtNewValue");

void AddPair(ui::Form& form, const QString& labelName, int caption, const QString& valueName, ui::ControlType type) {
    ui::Control& label = form.Add(ui::ControlType::Label, labelName);
    label.tag = QStringLiteral("C") + QString::number(caption);
    if (type == ui::ControlType::TextBox) label.buddy = valueName;
    form.Add(type, valueName);
}

}  // namespace

FWriteValue::FWriteValue(OnlineItem item, QString currentValue)
    : ui::Form(QStringLiteral("FWriteValue")), m_item(std::move(item)), m_current(std::move(currentValue)) {
    tag = QStringLiteral("C9332");
    helpContextId = settings::help::kItemGrid;
    AddPair(*this, QStringLiteral("lblItem"), 9333, kItem, ui::ControlType::Label);
    AddPair(*this, QStringLiteral("lblCurrent"), 9334, kCurrent, ui::ControlType::Label);
    AddPair(*this, QStringLiteral("lblType"), 9335, kType, ui::ControlType::Label);
    AddPair(*this, QStringLiteral("lblNew"), 9336, kNew, ui::ControlType::TextBox);
    AddOkAndCancel();
}

QString FWriteValue::Entered() const { return Find(kNew)->text.trimmed(); }

void FWriteValue::OnLoad() {
    settings::LocaliseCaptions(*this);
    Get(kItem).caption = m_item.name.isEmpty() ? m_item.nodeId : m_item.name + QStringLiteral("  (") + m_item.nodeId + u')';
    Get(kCurrent).caption = m_current.isEmpty() ? QStringLiteral("-") : m_current;
    QString type = model::CVT_Types().GetTextFromID(m_item.dataType);
    if (m_item.minVal && m_item.maxVal)
        type += QStringLiteral(",  %1 … %2").arg(ValueText(*m_item.minVal, 5), ValueText(*m_item.maxVal, 5));
    Get(kType).caption = type;
    Get(QStringLiteral("cmdOK")).enabled = false;
    SetFocus(kNew);
}

void FWriteValue::OnEvent(ui::Control& control, ui::FormEvent event) {
    const QString& name = control.Name();
    if (name == kNew && event == ui::FormEvent::Change) {
        Get(QStringLiteral("cmdOK")).enabled = !control.text.trimmed().isEmpty();
    } else if (event == ui::FormEvent::Click && name == QStringLiteral("cmdOK")) {
        Confirm();
    } else if (event == ui::FormEvent::Click && name == QStringLiteral("cmdCancel")) {
        Hide(false);
    }
}

void FWriteValue::Confirm() {
    QString error;
    const std::optional<QJsonValue> value = ValueToWrite(Entered(), m_item.dataType, m_item.minVal, m_item.maxVal, &error);
    if (!value) {
        // Nothing goes to the server; the person corrects the value or cancels.
        ui::ShowMessage(error, Text(9332), ui::Buttons::OK, 0, ui::Icon::Warning);
        SetFocus(kNew, -1, true);
        return;
    }
    const QString question = Text(9337)
                                 .replace(QStringLiteral("<v>"), ValueText(*value, m_item.dataType, m_item.unit))
                                 .replace(QStringLiteral("<i>"), m_item.name.isEmpty() ? m_item.nodeId : m_item.name)
                                 .replace(QStringLiteral("<o>"), m_current.isEmpty() ? QStringLiteral("-") : m_current);
    // The second question: the value goes to the plant, Cancel is the default.
    Hide(ui::ShowMessage(question, Text(9332), ui::Buttons::OKCancel, 1, ui::Icon::Question) == ui::Answer::OK);
}

}  // namespace ov::opc
