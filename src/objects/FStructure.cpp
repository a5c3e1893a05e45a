#include "objects/FStructure.h"

#include "editor/NameGroups.h"
#include "model/CVT_Types.h"
#include "model/StructureRules.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

namespace ov::objects {

namespace structures = model::structures;
using model::CVT_Types;
using settings::Text;

namespace {

const QString kStr = QStringLiteral("Str");

QString TooLong() {
    return Text(settings::kTextNameTooLong).replace(QStringLiteral("<max>"), QString::number(structures::kMaxNameLength));
}

}  // namespace

FStructure::FStructure(editor::NameGroups& names)
    : ObjectDialog(QStringLiteral("FStructure"), 1801, settings::help::kStructureDialog), m_names(names) {
    AddField(ui::ControlType::TextBox, QStringLiteral("TxtName"), 1802);
    Add(ui::ControlType::CheckBox, QStringLiteral("chkOrderByOffset")).tag = QStringLiteral("C1803");
    AddField(ui::ControlType::TextBox, QStringLiteral("txtComment"), 1804).multiLine = true;
    AddOkAndCancel();
}

bool FStructure::Accept() {
    const QString name = Get(QStringLiteral("TxtName")).text;
    if (name.size() > structures::kMaxNameLength) {
        Refuse(TooLong(), QStringLiteral("TxtName"));
        return false;
    }
    if (name != StartName() && !m_names.TestNameInGroup(name, kStr)) {
        Refuse(Text(405), QStringLiteral("TxtName"));
        return false;
    }
    m_names.ChangeNameInGroup(StartName(), name, kStr);
    return true;
}

FStructMember::FStructMember(Checks checks)
    : ObjectDialog(QStringLiteral("FStructMember"), 1901, settings::help::kMemberDialog), m_checks(std::move(checks)) {
    constexpr int kStandard = 0, kExtended = 1;
    ui::Control& pages = Add(ui::ControlType::TabStrip, QStringLiteral("tabStructure"));
    pages.list.Add(kStandard, Text(1920));
    pages.list.Add(kExtended, Text(1921));
    pages.listIndex = kStandard;
    // The structure the member belongs to, for orientation only.
    ui::Control& owner = AddField(ui::ControlType::TextBox, QStringLiteral("txtStructure"), 1908, kStandard);
    owner.locked = true;
    owner.enabled = false;
    AddField(ui::ControlType::TextBox, QStringLiteral("TxtName"), 1902, kStandard);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtOrderNum"), 1903, kStandard);
    AddField(ui::ControlType::ComboBox, QStringLiteral("cmbDataType"), 1904, kStandard);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtFieldSize"), 1909, kStandard);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtItemText"), 1544, kStandard);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtComment"), 1910, kStandard).multiLine = true;
    AddField(ui::ControlType::TextBox, QStringLiteral("txtMaxVal"), 1905, kExtended);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtMinVal"), 1906, kExtended);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtDefaultVal"), 1916, kExtended);
    AddField(ui::ControlType::ComboBox, QStringLiteral("cmbUnitClassIDItemDependent"), 1907, kExtended);
    AddField(ui::ControlType::ComboBox, QStringLiteral("cmbUnitClassIDDisplayDependent"), 1917, kExtended);
    AddOkAndCancel();
}

void FStructMember::OnActivate() {
    // The first page shows whatever page was last in front.
    Get(QStringLiteral("tabStructure")).listIndex = 0;
    const ui::Control& type = Get(QStringLiteral("cmbDataType"));
    m_acceptedType = type.listIndex >= 0 ? type.SelectedData() : QVariant();
    ObjectDialog::OnActivate();
}

int FStructMember::ChosenType() const {
    const ui::Control& type = *Find(QStringLiteral("cmbDataType"));
    return type.listIndex >= 0 ? type.SelectedData().toInt() : -1;
}

bool FStructMember::TypeAllowed(const QVariant& type) {
    if (type.toInt() <= CVT_Types::kStructBase || !m_checks.wouldContainItself) return true;
    if (!m_checks.wouldContainItself(CVT_Types::DecodeCombined(type.toInt()).second)) return true;
    QString text = Text(settings::kTextStructureCycle);
    text.replace(QStringLiteral("<s>"), Get(QStringLiteral("cmbDataType")).list.DisplayText(type));
    text.replace(QStringLiteral("<o>"), Get(QStringLiteral("txtStructure")).text);
    Refuse(text, QStringLiteral("cmbDataType"));
    return false;
}

void FStructMember::OnControlEvent(ui::Control& control, ui::FormEvent event) {
    if (event != ui::FormEvent::Click || control.Name() != QStringLiteral("cmbDataType")) return;
    // A choice that would close a cycle goes back to the one before.
    const QVariant chosen = control.SelectedData();
    if (TypeAllowed(chosen)) {
        m_acceptedType = chosen;
    } else if (m_acceptedType.isNull() || !control.Select(m_acceptedType)) {
        control.listIndex = -1;
    }
}

bool FStructMember::Accept() {
    const QString name = Get(QStringLiteral("TxtName")).text;
    if (structures::IsNumberName(name)) {
        Refuse(Text(421), QStringLiteral("TxtName"));
        return false;
    }
    if (name.size() > structures::kMaxNameLength) {
        Refuse(TooLong(), QStringLiteral("TxtName"));
        return false;
    }
    const auto order = structures::ParseOrderNumber(Get(QStringLiteral("txtOrderNum")).text, ChosenType() == CVT_Types::kBit);
    if (!order.value) {
        Refuse(Text(order.errorText), QStringLiteral("txtOrderNum"));
        return false;
    }
    if (ChosenType() > CVT_Types::kStructBase && !TypeAllowed(ChosenType())) return false;
    if (name != StartName() && m_checks.nameTaken && m_checks.nameTaken(name)) {
        Refuse(Text(405), QStringLiteral("TxtName"));
        return false;
    }
    return true;
}

}  // namespace ov::objects
