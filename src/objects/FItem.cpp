#include "objects/FItem.h"

#include "platform/ui/MessageBox.h"
#include "settings/CSimulationFunctions.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

namespace ov::objects {

using settings::Text;

FItem::FItem(const settings::CSimulationFunctions& simulation, bool nameView)
    : ui::Form(QStringLiteral("FItem")), m_simulation(simulation), m_nameView(nameView) {
    tag = QStringLiteral("C1501");
    ui::Control& tabs = Add(ui::ControlType::TabStrip, QStringLiteral("tabItem"));
    tabs.list.Add(0, Text(1525));
    tabs.list.Add(1, Text(1526));
    tabs.list.Add(2, Text(1540));
    tabs.listIndex = 0;

    AddField(ui::ControlType::TextBox, "TxtName", "lblName", 1502, 0);
    AddField(ui::ControlType::TextBox, "txtItemAccess", "lblItemAccess", 1503, 0);
    AddField(ui::ControlType::TextBox, "txtAccessPath", "lblAccessPath", 1504, 0);
    AddField(ui::ControlType::ComboBox, "cmbDataType", "lblDataType", 1505, 0);
    AddField(ui::ControlType::ComboBox, "cmbAccessRights", "lblAccessRights", 1506, 0);
    AddField(ui::ControlType::TextBox, "txtItemText", "lblItemText", 1544, 0);
    AddField(ui::ControlType::TextBox, "txtComment", "lblComment", 1511, 0).multiLine = true;
    Add(ui::ControlType::CheckBox, QStringLiteral("chkEnabled")).tag = QStringLiteral("C1520");
    Find(QStringLiteral("chkEnabled"))->tabPage = 0;

    AddField(ui::ControlType::TextBox, "txtMaxVal", "lblMaxVal", 1507, 1);
    AddField(ui::ControlType::TextBox, "txtMinVal", "lblMinVal", 1508, 1);
    AddField(ui::ControlType::ComboBox, "cmbUnitClassIDItemDependent", "lblUnitClassProcess", 1509, 1);
    AddField(ui::ControlType::ComboBox, "cmbUnitClassIDDisplayDependent", "lblUnitClassDisplay", 1518, 1);
    AddField(ui::ControlType::TextBox, "txtFieldSize", "lblFieldSize", 1516, 1);
    ui::Control& writeThru = Add(ui::ControlType::CheckBox, QStringLiteral("chkWriteThru"));
    writeThru.tag = QStringLiteral("C1517");
    writeThru.tabPage = 1;
    AddField(ui::ControlType::ComboBox, "cmbDefaultMode", "lblDefaultMode", 1523, 1);
    AddEllipsis("cmdChooseDefaultMode", "cmbDefaultMode", 1);
    AddField(ui::ControlType::TextBox, "txtDefaultVal", "lblDefaultVal", 1524, 1);
    AddField(ui::ControlType::TextBox, "txtOptions", "lblOptions", 1545, 1);
    AddEllipsis("cmdChooseOptions", "txtOptions", 1);

    AddField(ui::ControlType::ComboBox, "cmbSimulationFunction", "lblSimulationFunction", 1541, 2);
    AddField(ui::ControlType::TextBox, "txtSimulationParameters", "lblSimulationParameters", 1542, 2);
    AddEllipsis("cmdChooseSimulationParameters", "txtSimulationParameters", 2);
    ui::Control& redundancy = Add(ui::ControlType::CheckBox, QStringLiteral("chkRedundancy"));
    redundancy.tag = QStringLiteral("C1543");
    redundancy.tabPage = 2;
    for (const auto& [key, name] : m_simulation.GetFunctions())
        Find(QStringLiteral("cmbSimulationFunction"))->list.Add(key, name);

    AddOkAndCancel();
    helpContextId = settings::help::kItemDialog;

    // In the item-access view the name mirrors the item access.
    if (!m_nameView) {
        Find(QStringLiteral("TxtName"))->enabled = false;
        Find(QStringLiteral("lblName"))->enabled = false;
    }
}

void FItem::AddEllipsis(const char* name, const char* box, int page) {
    ui::Control& button = Add(ui::ControlType::CommandButton, QString::fromUtf8(name));
    button.caption = QStringLiteral("…");
    button.buddy = QString::fromUtf8(box);
    button.tabPage = page;
}

ui::Control& FItem::AddField(ui::ControlType type, const char* name, const char* label, int labelText,
                             int page) {
    ui::Control& labelControl = Add(ui::ControlType::Label, QString::fromUtf8(label));
    labelControl.tag = QStringLiteral("C%1").arg(labelText);
    labelControl.buddy = QString::fromUtf8(name);
    labelControl.tabPage = page;
    ui::Control& control = Add(type, QString::fromUtf8(name));
    control.tabPage = page;
    return control;
}

void FItem::SetNames(Names names, const QString& previousName, const QString& previousAccess) {
    m_names = std::move(names);
    m_previousName = previousName;
    m_previousAccess = previousAccess;
}

int FItem::OptionsValue(const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    const int value =
        t.startsWith(QStringLiteral("&H"), Qt::CaseInsensitive) ? t.mid(2).toInt(&ok, 16) : t.toInt(&ok);
    return ok ? value : 0;
}

QString FItem::OptionsText(int value) {
    return QStringLiteral("&H") + QString::number(static_cast<quint32>(value), 16).toUpper();
}

void FItem::OnLoad() {
    settings::LocaliseCaptions(*this);
}

void FItem::OnActivate() {
    Find(QStringLiteral("cmdOK"))->enabled = !Find(QStringLiteral("TxtName"))->text.trimmed().isEmpty();
    EnableSimulationParameters();
    FocusName();
}

void FItem::FocusName() {
    // The name is what people change most: it has the focus, all of it selected.
    SetFocus(m_nameView ? QStringLiteral("TxtName") : QStringLiteral("txtItemAccess"), -1, true);
}

void FItem::EnableSimulationParameters() {
    // Parameters belong to a function; without one there are none to set.
    const auto parameters = m_simulation.GetParameters(Find(QStringLiteral("cmbSimulationFunction"))->SelectedData().toString());
    Find(QStringLiteral("cmdChooseSimulationParameters"))->enabled = parameters && !parameters->empty();
}

void FItem::OnEvent(ui::Control& control, ui::FormEvent event) {
    const QString& name = control.Name();
    if (event == ui::FormEvent::Change) {
        if (name == QStringLiteral("TxtName")) {
            Find(QStringLiteral("cmdOK"))->enabled = !control.text.trimmed().isEmpty();
        } else if (name == QStringLiteral("txtItemAccess") && !m_nameView) {
            Find(QStringLiteral("TxtName"))->text = control.text;
            Find(QStringLiteral("cmdOK"))->enabled = !control.text.trimmed().isEmpty();
        } else if (name == QStringLiteral("txtFieldSize") && control.text.trimmed().toInt() > 0) {
            Find(QStringLiteral("chkWriteThru"))->checkState = 1;
        }
        return;
    }
    if (event != ui::FormEvent::Click) return;
    if (name == QStringLiteral("cmbDataType") && control.SelectedData().toInt() > 65536) {
        Find(QStringLiteral("chkWriteThru"))->checkState = 1;
    } else if (name == QStringLiteral("cmbSimulationFunction")) {
        const QString key = control.SelectedData().toString();
        Find(QStringLiteral("txtSimulationParameters"))->text =
            key.isEmpty() ? QString() : m_simulation.GetDefaultParameters(key);
        EnableSimulationParameters();
    } else if (name == QStringLiteral("cmdChooseSimulationParameters")) {
        QString text = Find(QStringLiteral("txtSimulationParameters"))->text;
        if (m_simulation.SimulationParameterDialog(
                Find(QStringLiteral("cmbSimulationFunction"))->SelectedData().toString(), text))
            Find(QStringLiteral("txtSimulationParameters"))->text = text;
    } else if (name == QStringLiteral("cmdChooseDefaultMode") && chooseDefaultMode) {
        ui::Control& combo = *Find(QStringLiteral("cmbDefaultMode"));
        int mode = combo.SelectedData().toInt();
        if (chooseDefaultMode(mode)) combo.Select(mode);
    } else if (name == QStringLiteral("cmdChooseOptions") && chooseOptions) {
        ui::Control& box = *Find(QStringLiteral("txtOptions"));
        int options = OptionsValue(box.text);
        if (chooseOptions(options)) box.text = OptionsText(options);
    } else if (name == QStringLiteral("cmdOK")) {
        Confirm();
    } else if (name == QStringLiteral("cmdCancel")) {
        Hide(false);
    }
}

void FItem::Confirm() {
    const QString name = Find(QStringLiteral("TxtName"))->text;
    const QString access = Find(QStringLiteral("txtItemAccess"))->text;
    if (name.trimmed().isEmpty() || access.trimmed().isEmpty()) {
        ui::ShowMessage(Text(406), Text(1501), ui::Buttons::OK, 0, ui::Icon::Warning);
        return;
    }
    int taken = 0;
    if (name != m_previousName && m_names.names.contains(name)) taken |= 1;
    if (access != m_previousAccess && m_names.accesses.contains(access)) taken |= 2;
    if (taken == 0) {
        Hide(true);
        return;
    }
    ui::ShowMessage(Text(taken == 1 ? 1530 : (taken == 2 ? 1531 : 1532)), Text(1501), ui::Buttons::OK, 0,
                    ui::Icon::Warning);
    FocusName();
}

}  // namespace ov::objects
