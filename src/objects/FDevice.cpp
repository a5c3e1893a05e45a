#include "objects/FDevice.h"

#include "editor/NameGroups.h"
#include "model/DeviceAddress.h"
#include "platform/system/Components.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/MessageBox.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

namespace ov::objects {

using settings::Text;

namespace {

const QString kServerTabs = QStringLiteral("tabOPCServer");
const QString kDriverTabs = QStringLiteral("tabOVDriver");
// The error title of the device chooser component.
const QString kChooserTitle = QStringLiteral("OVSDeviceBrowser");
constexpr int kNameMode = 3;    // letters, digits, "_", "(" and ")"
constexpr int kNameEnable = 2;
constexpr int kTab = 9, kEnter = 13, kCtrl = 2;

void ReportChooserError(const sys::CallError& error) {
    ui::ShowMessage(error.description + QStringLiteral("   ") + QString::number(error.number), kChooserTitle,
                    ui::Buttons::OK, 0, ui::Icon::Critical);
}

}  // namespace

FDevice::FDevice(editor::NameGroups& names, const QString& projectArgument, const QVariantList& key, int languageId)
    : ui::Form(QStringLiteral("FDevice")),
      m_names(names),
      m_projectArgument(projectArgument),
      m_key(key),
      m_languageId(languageId) {
    tag = QStringLiteral("C701");
    helpContextId = settings::help::kDeviceDialog;
    keyPreview = true;
    Add(ui::ControlType::OptionButton, QStringLiteral("optOPCServer")).caption = QStringLiteral("OPC-Server");
    Add(ui::ControlType::OptionButton, QStringLiteral("optOVDriver")).caption = QStringLiteral("Orvana Treiber");

    ui::Control& serverTabs = Add(ui::ControlType::TabStrip, kServerTabs);
    for (int page : {702, 703, 770, 771, 740}) serverTabs.list.Add(static_cast<int>(serverTabs.list.Size()), Text(page));
    serverTabs.listIndex = 0;
    AddField(ui::ControlType::TextBox, QStringLiteral("txtNameOPCServer"), 704, kServerTabs, 0);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtChoosedOPCServer"), 705, kServerTabs, 0);
    Add(ui::ControlType::CommandButton, QStringLiteral("cmdChooseOPCServer")).caption = QStringLiteral("…");
    Find(QStringLiteral("cmdChooseOPCServer"))->tabStrip = kServerTabs;
    Find(QStringLiteral("cmdChooseOPCServer"))->buddy = QStringLiteral("txtChoosedOPCServer");
    Find(QStringLiteral("cmdChooseOPCServer"))->tabPage = 0;
    AddField(ui::ControlType::TextBox, QStringLiteral("txtComputerName"), 708, kServerTabs, 0);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtOPCServerVersion"), 706, kServerTabs, 0);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtShortDesc"), 707, kServerTabs, 0);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtOPCServerConfigState"), 709, kServerTabs, 0).locked = true;
    AddField(ui::ControlType::TextBox, QStringLiteral("txtCommentOPCServer"), 710, kServerTabs, 0);
    // The configuration tool's ProgID travels with the dialog without being shown.
    ui::Control& tool = Add(ui::ControlType::TextBox, QStringLiteral("txtProgIDConfigTool"));
    tool.visible = false;

    AddField(ui::ControlType::ComboBox, QStringLiteral("cmbBlobMode"), 711, kServerTabs, 1);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtHierarchBrowseSeparator"), 715, kServerTabs, 1);
    AddFlag("chkCreateItems", 717, 1);
    AddFlag("chkWriteSingleFieldElements", 716, 1);
    AddFlag("chkSaveConfigPrivate", 743, 1);
    AddFlag("chkSwapFloat", 761, 2);
    AddFlag("chkSwapInt", 762, 2);
    AddFlag("chkSwapByte", 760, 2);
    AddFlag("chkConvertFloat", 763, 2);
    AddFlag("chkUnicodeStrings", 769, 3);
    AddFlag("chkDontReadInitValuesSynchron", 766, 3);
    AddFlag("chkDontUseShutdownInterface", 768, 3);
    AddFlag("chkUseCallbackInterfaceVersion1_0", 767, 3);
    AddFlag("chkActivateItemStatic", 765, 3);
    AddFlag("chkReadFromHardware", 764, 3);
    AddFlag("chkUseSimulator", 741, 4);
    AddFlag("chkSimulatorFromCompName", 742, 4);
    ui::Control& simulation = Add(ui::ControlType::CommandButton, QStringLiteral("cmdConfigSimulationServer"));
    simulation.tag = QStringLiteral("C744");
    simulation.tabStrip = kServerTabs;
    simulation.tabPage = 4;

    ui::Control& driverTabs = Add(ui::ControlType::TabStrip, kDriverTabs);
    driverTabs.list.Add(0, Text(702));
    driverTabs.listIndex = 0;
    AddField(ui::ControlType::TextBox, QStringLiteral("txtNameOVDriver"), 718, kDriverTabs, 0);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtChoosedDriver"), 719, kDriverTabs, 0);
    ui::Control& chooseDriver = Add(ui::ControlType::CommandButton, QStringLiteral("cmdChooseDriver"));
    chooseDriver.caption = QStringLiteral("…");
    chooseDriver.buddy = QStringLiteral("txtChoosedDriver");
    chooseDriver.tabStrip = kDriverTabs;
    chooseDriver.tabPage = 0;
    AddField(ui::ControlType::ComboBox, QStringLiteral("cmbUniversal"), 723, kDriverTabs, 0);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtShortDescDriver"), 720, kDriverTabs, 0);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtDriverConfigState"), 721, kDriverTabs, 0).locked = true;
    AddField(ui::ControlType::TextBox, QStringLiteral("txtCommentOVDriver"), 722, kDriverTabs, 0);

    Add(ui::ControlType::CheckBox, QStringLiteral("chkEnabled")).tag = QStringLiteral("C727");
    AddOkAndCancel();
}

ui::Control& FDevice::AddField(ui::ControlType type, const QString& name, int captionText, const QString& strip, int page) {
    ui::Control& label = Add(ui::ControlType::Label, QStringLiteral("lbl") + name.mid(3));
    label.tag = QStringLiteral("C%1").arg(captionText);
    label.buddy = name;
    label.tabStrip = strip;
    label.tabPage = page;
    ui::Control& control = Add(type, name);
    control.tabStrip = strip;
    control.tabPage = page;
    return control;
}

void FDevice::AddFlag(const char* checkBox, int captionText, int page) {
    ui::Control& box = Add(ui::ControlType::CheckBox, QString::fromUtf8(checkBox));
    box.tag = QStringLiteral("C%1").arg(captionText);
    box.tabStrip = kServerTabs;
    box.tabPage = page;
}

void FDevice::OnLoad() {
    settings::LocaliseCaptions(*this);
    caption = Text(701);
    // Captions that localising gave the pages' labels do not name the pages themselves.
    ui::Control& serverTabs = Get(kServerTabs);
    serverTabs.listIndex = 0;
    Get(kDriverTabs).listIndex = 0;
}

bool FDevice::IsOpcServer() const { return Find(QStringLiteral("optOPCServer"))->IsChecked(); }

QString FDevice::NameBox() const {
    return IsOpcServer() ? QStringLiteral("txtNameOPCServer") : QStringLiteral("txtNameOVDriver");
}

void FDevice::ShowLoadedState() {
    ShowKind(IsOpcServer());
    EnableBytestreamFlags();
    Get(QStringLiteral("cmdConfigSimulationServer")).enabled = Get(QStringLiteral("chkUseSimulator")).IsChecked();
    m_lastSeparator = Get(QStringLiteral("txtHierarchBrowseSeparator")).text;
}

void FDevice::OnActivate() {
    m_serverNameCheck.InitializeTextBox(Get(QStringLiteral("txtNameOPCServer")), kNameEnable, kNameMode);
    m_driverNameCheck.InitializeTextBox(Get(QStringLiteral("txtNameOVDriver")), kNameEnable, kNameMode);
    m_cancel = true;
    m_oldName = Get(NameBox()).text;
    Get(QStringLiteral("cmdOK")).enabled = !m_oldName.trimmed().isEmpty();
    SetFocus(NameBox(), -1, true);
}

void FDevice::ShowKind(bool opcServer) {
    caption = Text(701) + Get(opcServer ? QStringLiteral("txtNameOPCServer") : QStringLiteral("txtNameOVDriver")).text;
    Get(kServerTabs).visible = opcServer;
    Get(kDriverTabs).visible = !opcServer;
}

void FDevice::TakeTextsAcross(bool toOpcServer) {
    // The name, description and comment the person sees travel with the kind.
    static const std::pair<const char*, const char*> kBoxes[] = {{"txtNameOPCServer", "txtNameOVDriver"},
                                                                 {"txtShortDesc", "txtShortDescDriver"},
                                                                 {"txtCommentOPCServer", "txtCommentOVDriver"}};
    for (const auto& [server, driver] : kBoxes) {
        const QString from = QString::fromUtf8(toOpcServer ? driver : server);
        const QString to = QString::fromUtf8(toOpcServer ? server : driver);
        Get(to).text = Get(from).text;
    }
}

void FDevice::EnableBytestreamFlags() {
    // Byte and word order, Unicode and float conversion matter only for a bytestream.
    const bool bytestream = Get(QStringLiteral("cmbBlobMode")).listIndex == 0;
    for (const char* box : {"chkSwapByte", "chkSwapFloat", "chkSwapInt", "chkUnicodeStrings", "chkConvertFloat"})
        Get(QString::fromUtf8(box)).enabled = bytestream;
}

void FDevice::SeparatorTyped(ui::Control& box) {
    // Each key press replaces the separator: the box holds the last character typed.
    QString typed = box.text;
    if (typed.size() > 1) {
        if (!m_lastSeparator.isEmpty() && typed.startsWith(m_lastSeparator))
            typed = typed.mid(m_lastSeparator.size());
        else if (!m_lastSeparator.isEmpty() && typed.endsWith(m_lastSeparator))
            typed.chop(m_lastSeparator.size());
        typed = typed.right(1);
    }
    // The character 255 separates the parts of tree keys; it cannot separate levels.
    if (typed == QString(QChar(0xFF))) {
        ui::Beep();
        typed.clear();
    }
    box.text = typed;
    m_lastSeparator = typed;
}

void FDevice::OnEvent(ui::Control& control, ui::FormEvent event) {
    const QString& name = control.Name();
    if (event == ui::FormEvent::Change) {
        if (name == QStringLiteral("txtNameOPCServer") || name == QStringLiteral("txtNameOVDriver")) {
            (name == QStringLiteral("txtNameOPCServer") ? m_serverNameCheck : m_driverNameCheck).TextBoxChanged();
            Get(QStringLiteral("cmdOK")).enabled = !control.text.trimmed().isEmpty();
            if (name == NameBox()) caption = Text(701) + control.text;
        } else if (name == QStringLiteral("txtHierarchBrowseSeparator")) {
            SeparatorTyped(control);
        }
        return;
    }
    if (event == ui::FormEvent::TabChanged || event != ui::FormEvent::Click) return;
    if (name == QStringLiteral("optOPCServer") || name == QStringLiteral("optOVDriver")) {
        const bool opcServer = name == QStringLiteral("optOPCServer");
        if (opcServer != Get(kServerTabs).visible) TakeTextsAcross(opcServer);
        ShowKind(opcServer);
        Get(QStringLiteral("cmdOK")).enabled = !Get(NameBox()).text.trimmed().isEmpty();
    } else if (name == QStringLiteral("cmbBlobMode")) {
        EnableBytestreamFlags();
    } else if (name == QStringLiteral("chkUseSimulator")) {
        Get(QStringLiteral("cmdConfigSimulationServer")).enabled = control.IsChecked();
    } else if (name == QStringLiteral("cmdChooseOPCServer")) {
        ChooseOpcServer();
    } else if (name == QStringLiteral("cmdChooseDriver")) {
        ChooseDriver();
    } else if (name == QStringLiteral("cmdConfigSimulationServer")) {
        ConfigureSimulationServer();
    } else if (name == QStringLiteral("cmdOK")) {
        Confirm();
    } else if (name == QStringLiteral("cmdCancel")) {
        m_cancel = true;
        Hide(false);
    }
}

void FDevice::OnKeyDown(int& keyCode, int shift) {
    if (keyCode == kTab && shift == kCtrl) {
        // Ctrl+Tab: the next page of the tab strip in view.
        ui::Control& strip = Get(IsOpcServer() ? kServerTabs : kDriverTabs);
        const int pages = static_cast<int>(strip.list.Size());
        if (pages > 0) strip.listIndex = (strip.listIndex + 1) % pages;
        keyCode = 0;
    } else if (keyCode == kEnter && shift == 0 && Get(QStringLiteral("cmdOK")).enabled) {
        keyCode = 0;
        Confirm();
    }
}

void FDevice::ChooseOpcServer() {
    QString failed;
    auto chooser = sys::ComponentRegistry::Instance().Create(QStringLiteral("OVSDeviceBrowser.OPCServer"), &failed);
    if (!chooser) {
        ui::ShowMessage(failed, kChooserTitle, ui::Buttons::OK, 0, ui::Icon::Critical);
        return;
    }
    sys::CallError error;
    QVariant chosen;
    const bool called = chooser->SetProperty(QStringLiteral("UseRegistry"), true, &error) &&
                        chooser->SetProperty(QStringLiteral("ProgID"), Get(QStringLiteral("txtChoosedOPCServer")).text, &error) &&
                        chooser->SetProperty(QStringLiteral("Computer"), Get(QStringLiteral("txtComputerName")).text, &error) &&
                        chooser->SetProperty(QStringLiteral("LanguageID"), m_languageId, &error) &&
                        chooser->Invoke(QStringLiteral("Show"), {}, &chosen, &error);
    if (!called) {
        ui::ShowMessage(error.description, kChooserTitle, ui::Buttons::OK, 0, ui::Icon::Critical);
        return;
    }
    if (!chosen.toBool()) return;
    const model::OpcServerAddress address = model::ParseOpcServerProgId(chooser->Call(QStringLiteral("ProgID")));
    Get(QStringLiteral("txtChoosedOPCServer")).text = address.progId;
    Get(QStringLiteral("txtOPCServerVersion")).text = address.version;
    Get(QStringLiteral("txtComputerName")).text = chooser->Call(QStringLiteral("Computer")).toString();
    Get(QStringLiteral("txtShortDesc")).text = chooser->Call(QStringLiteral("Description")).toString();
    const QString tool = chooser->Call(QStringLiteral("ConfigTool")).toString();
    Get(QStringLiteral("txtProgIDConfigTool")).text = tool;
    Get(QStringLiteral("txtOPCServerConfigState")).text = Text(tool.isEmpty() ? 730 : 731);
}

void FDevice::ChooseDriver() {
    QString failed;
    auto chooser = sys::ComponentRegistry::Instance().Create(QStringLiteral("OVSDeviceBrowser.OVDriver"), &failed);
    if (!chooser) {
        ui::ShowMessage(failed, kChooserTitle, ui::Buttons::OK, 0, ui::Icon::Critical);
        return;
    }
    sys::CallError error;
    QVariant chosen;
    chooser->SetProperty(QStringLiteral("DriverName"), Get(QStringLiteral("txtChoosedDriver")).text, &error);
    if (!chooser->Invoke(QStringLiteral("Show"), {}, &chosen, &error)) {
        ReportChooserError(error);
        return;
    }
    if (!chosen.toBool()) return;
    Get(QStringLiteral("txtChoosedDriver")).text = chooser->Call(QStringLiteral("DriverName")).toString();
    const QString description = chooser->Call(QStringLiteral("Description")).toString();
    Get(QStringLiteral("txtShortDescDriver")).text =
        description.isEmpty() ? chooser->Call(QStringLiteral("Info")).toString() : description;
}

void FDevice::ConfigureSimulationServer() {
    auto tool = sys::ComponentRegistry::Instance().Create(QStringLiteral("OVCfgOPC.Simulation"));
    if (!tool) {
        ui::ShowMessage(Text(752), Text(310), ui::Buttons::OK, 0, ui::Icon::Critical);
        return;
    }
    sys::CallError ignored;
    tool->SetProperty(QStringLiteral("LanguageID"), m_languageId, &ignored);
    tool->Invoke(QStringLiteral("Show"),
                 {static_cast<qulonglong>(windowHandle), m_projectArgument, Get(QStringLiteral("txtNameOPCServer")).text,
                  QVariant(m_key)},
                 nullptr, &ignored);
}

void FDevice::Confirm() {
    const QString name = Get(NameBox()).text;
    if (name == m_oldName || m_names.TestNameInGroup(name, QStringLiteral("Dev"))) {
        m_names.ChangeNameInGroup(m_oldName, name, QStringLiteral("Dev"));
        m_cancel = false;
        Hide(true);
        return;
    }
    ui::ShowMessage(Text(405), Text(701), ui::Buttons::OK, 0, ui::Icon::Warning);
    SetFocus(NameBox(), -1, true);
}

}  // namespace ov::objects
