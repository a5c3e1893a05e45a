#include "components/ServerConfigTool.h"

#include "components/PlcAddress.h"

#include "components/InstalledPrograms.h"
#include "platform/system/ProjectSettings.h"
#include "platform/system/RegistryError.h"
#include "platform/system/SystemTools.h"
#include "platform/ui/FormPresenter.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

namespace ov::components {

using settings::Text;

namespace {

constexpr qint32 kNoSettings = 0x6101;

QString ControlName(const ServerConfigTool::Setting& setting) {
    return (setting.checkBox ? QStringLiteral("chk") : QStringLiteral("txt")) + QString::fromUtf8(setting.key);
}

QString ValueOf(const ui::Form& form, const ServerConfigTool::Setting& setting) {
    const ui::Control* control = form.Find(ControlName(setting));
    if (!control) return QString();
    return setting.checkBox ? (control->IsChecked() ? QStringLiteral("1") : QStringLiteral("0")) : control->text;
}

void ShowValue(ui::Form& form, const ServerConfigTool::Setting& setting, const QString& value) {
    ui::Control& control = form.Get(ControlName(setting));
    if (setting.checkBox)
        control.checkState = value.trimmed() == QStringLiteral("1") ? 1 : 0;
    else
        control.text = value;
}

const std::vector<ServerConfigTool::Setting> kServerSettings = {{"Port", 9146, false, "4840"},
                                                                {"Log", 9147, true, "0"}};

}  // namespace

FSettings::FSettings(const QString& formName, const QString& captionText,
                     const std::vector<ServerConfigTool::Setting>& settings)
    : ui::Form(formName) {
    caption = captionText;
    helpContextId = settings::help::kDeviceDialog;
    for (const ServerConfigTool::Setting& setting : settings) {
        if (setting.checkBox) {
            Add(ui::ControlType::CheckBox, ControlName(setting)).tag = QStringLiteral("C%1").arg(setting.caption);
            continue;
        }
        ui::Control& label = Add(ui::ControlType::Label, QStringLiteral("lbl") + QString::fromUtf8(setting.key));
        label.tag = QStringLiteral("C%1").arg(setting.caption);
        label.buddy = ControlName(setting);
        Add(ui::ControlType::TextBox, ControlName(setting));
    }
    AddOkAndCancel();
}

void FSettings::OnLoad() { settings::LocaliseCaptions(*this); }

void FSettings::OnEvent(ui::Control& control, ui::FormEvent event) {
    if (event != ui::FormEvent::Click) return;
    if (control.Name() == QStringLiteral("cmdOK")) Hide(true);
    if (control.Name() == QStringLiteral("cmdCancel")) Hide(false);
}

ServerConfigTool::ServerConfigTool(QString progId, std::vector<Setting> deviceSettings)
    : ComponentBase({QStringLiteral("LanguageID"), QStringLiteral("VariantType"), QStringLiteral("ArraySize")}),
      m_progId(std::move(progId)),
      m_deviceSettings(std::move(deviceSettings)) {}

std::unique_ptr<sys::Component> ServerConfigTool::Simulation() {
    return std::make_unique<ServerConfigTool>(
        QString::fromUtf8(kSimulationProgId),
        std::vector<Setting>{{"CycleTime", 9132, false, "1000"}, {"RandomStart", 9133, true, "0"}, {"Noise", 9134, false, "0"}});
}

std::unique_ptr<sys::Component> ServerConfigTool::Demo() {
    return std::make_unique<ServerConfigTool>(
        QString::fromUtf8(kDemoProgId),
        std::vector<Setting>{{"Station", 9142, false, "1"}, {"PollCycle", 9143, false, "500"}, {"Timeout", 9144, false, "3000"}});
}

QString ServerConfigTool::Section(const QVariant& key) const {
    const QVariantList parts = key.toList();
    return m_progId + u':' + (parts.isEmpty() ? key.toString() : parts.front().toString());
}

bool ServerConfigTool::Method(const QString& member, const QVariantList& arguments, QVariant* result,
                              sys::CallError* error) {
    const auto is = [&member](const char* name) { return member.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    // (project, device name, key), with a window handle in front for Show.
    const qsizetype offset = is("Show") && arguments.size() == 4 ? 1 : 0;
    if ((is("IsConfigured") || is("Clear") || is("Show")) && arguments.size() == 3 + offset) {
        const QString project = arguments[offset].toString();
        const QString deviceName = arguments[offset + 1].toString();
        const QVariant key = arguments[offset + 2];
        if (is("Show")) return ShowDevice(project, deviceName, key, error);
        sys::ProjectSettings settings;
        try {
            if (!settings.Open(project, sys::SystemTools::Instance().GetRegistry())) {
                if (error) *error = {QStringLiteral("The project \"%1\" has no settings.").arg(project), kNoSettings};
                return false;
            }
        } catch (const sys::RegistryError& e) {
            if (error) *error = {e.Message(), kNoSettings};
            return false;
        }
        if (is("Clear")) {
            settings.DeleteSection(Section(key));
            return true;
        }
        if (result) *result = !settings.Read(Section(key), QString::fromUtf8(m_deviceSettings.front().key)).isEmpty();
        return true;
    }
    if (is("GetAddressInfo") && arguments.isEmpty()) {
        if (result) *result = PlcAddressExamples();
        return true;
    }
    if (is("GetVTFromAddress") && !arguments.isEmpty()) {
        // The type chosen for the row when the address allows it, else the usual one.
        const auto address = ParsePlcAddress(arguments[0].toString());
        SetValue(QStringLiteral("ArraySize"), address ? address->count : 0);
        if (result) *result = address ? TypeFor(*address) : 0;
        return true;
    }
    if (is("GetItemVTList") && arguments.size() == 1) {
        const auto address = ParsePlcAddress(arguments[0].toString());
        QVariantList codes;
        if (address && address->count > 0) {
            codes << TypeFor(*address);  // an array: its element type, flagged
        } else if (address) {
            for (int code : address->AllowedTypes()) codes << code;
        }
        if (result) *result = codes;
        return true;
    }
    if (is("OVXShow") && !arguments.isEmpty() && arguments.size() <= 2) {
        const bool confirmed = ShowServer(arguments[0].toString(), arguments.value(1).toString());
        if (result) *result = confirmed;
        return true;
    }
    return NoSuchMember(member, error);
}

int ServerConfigTool::TypeFor(const PlcAddress& address) const {
    const std::vector<int> allowed = address.AllowedTypes();
    const int chosen = Property(QStringLiteral("VariantType")).toInt();
    for (int code : allowed)
        if ((code & 0xff) == (chosen & 0xff) && chosen != 0) return code;
    return allowed.front();
}

bool ServerConfigTool::ShowDevice(const QString& project, const QString& deviceName, const QVariant& key,
                                  sys::CallError* error) {
    sys::ProjectSettings settings;
    try {
        if (!settings.Open(project, sys::SystemTools::Instance().GetRegistry())) {
            if (error) *error = {QStringLiteral("The project \"%1\" has no settings.").arg(project), kNoSettings};
            return false;
        }
    } catch (const sys::RegistryError& e) {
        if (error) *error = {e.Message(), kNoSettings};
        return false;
    }
    FSettings dialog(QStringLiteral("FServerConfig"), Text(9141) + deviceName, m_deviceSettings);
    for (const Setting& setting : m_deviceSettings)
        ShowValue(dialog, setting,
                         settings.Read(Section(key), QString::fromUtf8(setting.key), QString::fromUtf8(setting.initial)));
    const bool confirmed = ui::ShowModal(dialog);
    if (confirmed)
        for (const Setting& setting : m_deviceSettings)
            settings.Write(Section(key), QString::fromUtf8(setting.key), ValueOf(dialog, setting));
    dialog.Unload();
    return true;
}

bool ServerConfigTool::ShowServer(const QString& versionedProgId, const QString& computer) {
    sys::Registry registry = sys::SystemTools::Instance().GetRegistry();
    const QString serverKey = QString::fromUtf8(kServersKey) + u'\\' + versionedProgId;
    FSettings dialog(QStringLiteral("FServerSettings"),
                     Text(9145) + versionedProgId + (computer.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(computer)),
                     kServerSettings);
    try {
        for (const Setting& setting : kServerSettings)
            ShowValue(dialog, setting,
                             registry.ReadValue(sys::Hive::LocalMachine, serverKey, QString::fromUtf8(setting.key),
                                                QString::fromUtf8(setting.initial)));
    } catch (const sys::RegistryError&) {
        // The defaults stand for settings that cannot be read.
    }
    const bool confirmed = ui::ShowModal(dialog);
    if (confirmed)
        for (const Setting& setting : kServerSettings)
            registry.WriteValue(sys::Hive::LocalMachine, serverKey, QString::fromUtf8(setting.key), ValueOf(dialog, setting));
    dialog.Unload();
    return confirmed;
}

}  // namespace ov::components
