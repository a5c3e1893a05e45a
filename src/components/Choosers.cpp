#include "components/Choosers.h"

#include "model/DeviceAddress.h"
#include "platform/system/RegistryError.h"
#include "platform/system/SystemTools.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/FormPresenter.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

namespace ov::components {

using settings::Text;

namespace {

// The error number the chooser gives for a server it does not know.
constexpr qint32 kServerNotRegistered = 0x6002;

// A list view whose rows are the entries and whose item data is the row.
ui::Control& AddList(ui::Form& form, const QString& name, int label, QStringList columns) {
    ui::Control& caption = form.Add(ui::ControlType::Label, QStringLiteral("lbl") + name.mid(3));
    caption.tag = QStringLiteral("C%1").arg(label);
    ui::Control& list = form.Add(ui::ControlType::ListView, name);
    list.listViewColumns = std::move(columns);
    return list;
}

void AddRow(ui::Control& list, QStringList cells) {
    list.list.Add(static_cast<int>(list.listViewRows.size()), cells.front());
    list.listViewRows.push_back(std::move(cells));
}

// Whether a stored ProgID names this entry, with or without its version.
bool Names(const QString& progId, const QString& versionedProgId) {
    if (progId.isEmpty()) return false;
    return versionedProgId.compare(progId, Qt::CaseInsensitive) == 0 ||
           model::ParseOpcServerProgId(versionedProgId).progId.compare(progId, Qt::CaseInsensitive) == 0;
}

}  // namespace

FOPCServerChooser::FOPCServerChooser(std::vector<OpcServerEntry> servers, const QString& progId,
                                     const QString& computer)
    : ui::Form(QStringLiteral("FOPCServerChooser")), m_servers(std::move(servers)) {
    tag = QStringLiteral("C9101");
    helpContextId = settings::help::kDeviceDialog;
    ui::Control& list = AddList(*this, QStringLiteral("lvwServers"), 9102,
                                {Text(9103), Text(9104), Text(9107), Text(9105), Text(9106)});
    for (const OpcServerEntry& server : m_servers) {
        const model::OpcServerAddress address = model::ParseOpcServerProgId(server.versionedProgId);
        AddRow(list, {address.progId, address.version, server.computer, server.description, server.configTool});
    }
    for (std::size_t i = 0; i < m_servers.size(); ++i)
        if (Names(progId, m_servers[i].versionedProgId)) {
            list.listIndex = static_cast<int>(i);
            break;
        }
    ui::Control& label = Add(ui::ControlType::Label, QStringLiteral("lblComputer"));
    label.tag = QStringLiteral("C9107");
    label.buddy = QStringLiteral("txtComputer");
    Add(ui::ControlType::TextBox, QStringLiteral("txtComputer")).text = computer;
    if (m_servers.empty()) Add(ui::ControlType::Label, QStringLiteral("lblNone")).tag = QStringLiteral("C9110");
    AddOkAndCancel();
    Find(QStringLiteral("cmdOK"))->enabled = list.listIndex >= 0;
}

void FOPCServerChooser::OnLoad() { settings::LocaliseCaptions(*this); }

const OpcServerEntry* FOPCServerChooser::Chosen() const {
    const int row = Find(QStringLiteral("lvwServers"))->listIndex;
    return row >= 0 && static_cast<std::size_t>(row) < m_servers.size() ? &m_servers[static_cast<std::size_t>(row)]
                                                                         : nullptr;
}

QString FOPCServerChooser::Computer() const { return Find(QStringLiteral("txtComputer"))->text.trimmed(); }

void FOPCServerChooser::OnEvent(ui::Control& control, ui::FormEvent event) {
    const QString& name = control.Name();
    if (name == QStringLiteral("lvwServers")) {
        const OpcServerEntry* chosen = Chosen();
        Find(QStringLiteral("cmdOK"))->enabled = chosen != nullptr;
        // A server registered for another computer brings that computer along.
        if (chosen && !chosen->computer.isEmpty()) Find(QStringLiteral("txtComputer"))->text = chosen->computer;
        if (chosen && event == ui::FormEvent::DblClick) Hide(true);
    } else if (event == ui::FormEvent::Click && name == QStringLiteral("cmdOK")) {
        if (Chosen()) Hide(true);
        else ui::Beep();
    } else if (event == ui::FormEvent::Click && name == QStringLiteral("cmdCancel")) {
        Hide(false);
    }
}

OpcServerChooser::OpcServerChooser()
    : ComponentBase({QStringLiteral("UseRegistry"), QStringLiteral("ProgID"), QStringLiteral("Computer"),
                     QStringLiteral("LanguageID"), QStringLiteral("Description"), QStringLiteral("ConfigTool")}) {}

bool OpcServerChooser::Method(const QString& member, const QVariantList& arguments, QVariant* result,
                              sys::CallError* error) {
    if (member.compare(QStringLiteral("Show"), Qt::CaseInsensitive) == 0) {
        const bool chosen = Show(error);
        if (result) *result = chosen;
        return true;
    }
    if (member.compare(QStringLiteral("CheckServer"), Qt::CaseInsensitive) == 0 && arguments.size() == 2)
        return CheckServer(arguments[0].toString(), arguments[1].toString(), error);
    return NoSuchMember(member, error);
}

bool OpcServerChooser::Show(sys::CallError* error) {
    std::vector<OpcServerEntry> servers;
    try {
        servers = RegisteredOpcServers(sys::SystemTools::Instance().GetRegistry());
    } catch (const sys::RegistryError& e) {
        if (error) *error = {e.Message(), kServerNotRegistered};
    }
    FOPCServerChooser dialog(std::move(servers), Property(QStringLiteral("ProgID")).toString(),
                             Property(QStringLiteral("Computer")).toString());
    const bool confirmed = ui::ShowModal(dialog);
    const OpcServerEntry* chosen = dialog.Chosen();
    if (confirmed && chosen) {
        SetValue(QStringLiteral("ProgID"), chosen->versionedProgId);
        SetValue(QStringLiteral("Computer"), dialog.Computer());
        SetValue(QStringLiteral("Description"), chosen->description);
        SetValue(QStringLiteral("ConfigTool"), chosen->configTool);
    }
    dialog.Unload();
    return confirmed && chosen;
}

bool OpcServerChooser::CheckServer(const QString& computer, const QString& versionedProgId, sys::CallError* error) {
    try {
        for (const OpcServerEntry& server : RegisteredOpcServers(sys::SystemTools::Instance().GetRegistry()))
            if (Names(versionedProgId, server.versionedProgId)) return true;
    } catch (const sys::RegistryError& e) {
        if (error) *error = {e.Message(), kServerNotRegistered};
        return false;
    }
    if (error)
        *error = {Text(9108)
                      .replace(QStringLiteral("<ps>"), versionedProgId)
                      .replace(QStringLiteral("<pc>"), computer.isEmpty() ? Text(9109) : computer),
                  kServerNotRegistered};
    return false;
}

FDriverChooser::FDriverChooser(std::vector<DriverEntry> drivers, const QString& current)
    : ui::Form(QStringLiteral("FDriverChooser")), m_drivers(std::move(drivers)) {
    tag = QStringLiteral("C9121");
    helpContextId = settings::help::kDeviceDialog;
    ui::Control& list =
        AddList(*this, QStringLiteral("lvwDrivers"), 9122, {Text(9122), Text(9105), Text(9124), Text(9123)});
    for (std::size_t i = 0; i < m_drivers.size(); ++i) {
        const DriverEntry& driver = m_drivers[i];
        AddRow(list, {driver.name, driver.description, driver.info, driver.program});
        if (!current.isEmpty() && driver.name.compare(current, Qt::CaseInsensitive) == 0)
            list.listIndex = static_cast<int>(i);
    }
    if (m_drivers.empty()) Add(ui::ControlType::Label, QStringLiteral("lblNone")).tag = QStringLiteral("C9125");
    AddOkAndCancel();
    Find(QStringLiteral("cmdOK"))->enabled = list.listIndex >= 0;
}

void FDriverChooser::OnLoad() { settings::LocaliseCaptions(*this); }

const DriverEntry* FDriverChooser::Chosen() const {
    const int row = Find(QStringLiteral("lvwDrivers"))->listIndex;
    return row >= 0 && static_cast<std::size_t>(row) < m_drivers.size() ? &m_drivers[static_cast<std::size_t>(row)]
                                                                         : nullptr;
}

void FDriverChooser::OnEvent(ui::Control& control, ui::FormEvent event) {
    const QString& name = control.Name();
    if (name == QStringLiteral("lvwDrivers")) {
        Find(QStringLiteral("cmdOK"))->enabled = Chosen() != nullptr;
        if (Chosen() && event == ui::FormEvent::DblClick) Hide(true);
    } else if (event == ui::FormEvent::Click && name == QStringLiteral("cmdOK")) {
        if (Chosen()) Hide(true);
        else ui::Beep();
    } else if (event == ui::FormEvent::Click && name == QStringLiteral("cmdCancel")) {
        Hide(false);
    }
}

DriverChooser::DriverChooser()
    : ComponentBase({QStringLiteral("DriverName"), QStringLiteral("Description"), QStringLiteral("Info"),
                     QStringLiteral("LanguageID")}) {}

bool DriverChooser::Method(const QString& member, const QVariantList&, QVariant* result, sys::CallError* error) {
    if (member.compare(QStringLiteral("Show"), Qt::CaseInsensitive) != 0) return NoSuchMember(member, error);
    std::vector<DriverEntry> drivers;
    try {
        drivers = RegisteredDrivers(sys::SystemTools::Instance().GetRegistry());
    } catch (const sys::RegistryError&) {
        // An unreadable registry lists no drivers; the dialog says there are none.
    }
    FDriverChooser dialog(std::move(drivers), Property(QStringLiteral("DriverName")).toString());
    const bool confirmed = ui::ShowModal(dialog);
    const DriverEntry* chosen = dialog.Chosen();
    if (confirmed && chosen) {
        SetValue(QStringLiteral("DriverName"), chosen->name);
        SetValue(QStringLiteral("Description"), chosen->description);
        SetValue(QStringLiteral("Info"), chosen->info);
    }
    dialog.Unload();
    if (result) *result = confirmed && chosen;
    return true;
}

}  // namespace ov::components
