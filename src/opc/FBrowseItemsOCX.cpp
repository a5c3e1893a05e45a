#include "opc/FBrowseItemsOCX.h"

#include "platform/ui/MessageBox.h"
#include "host/NodeKey.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/ModalState.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

namespace ov::opc {

using settings::Text;

namespace {
const QString kTree = QStringLiteral("oib");
const QString kSearch = QStringLiteral("txtSearch");
const QString kSystem = QStringLiteral("chkSystem");
const QString kStatus = QStringLiteral("lblStatus");
const QString kStop = QStringLiteral("cmdStop");
const QString kFrame = QStringLiteral("fraOIB");
const QString kConnection = QStringLiteral("lblConnection");
const QString kReconnect = QStringLiteral("cmdReconnect");
constexpr int kVariantType = 12;
}  // namespace

FBrowseItemsOCX::FBrowseItemsOCX() : ui::Form(QStringLiteral("FBrowseItemsOCX")) {
    tag = QStringLiteral("C3000");
    helpContextId = settings::help::kBrowseItemsDialog;
    Add(ui::ControlType::Frame, kFrame);
    ui::Control& label = Add(ui::ControlType::Label, QStringLiteral("lblSearch"));
    label.tag = QStringLiteral("C9160");
    label.buddy = kSearch;
    label.container = kFrame;
    Add(ui::ControlType::TextBox, kSearch).container = kFrame;
    ui::Control& system = Add(ui::ControlType::CheckBox, kSystem);
    system.tag = QStringLiteral("C9161");
    system.container = kFrame;
    ui::Control& tree = Add(ui::ControlType::TreeView, kTree);
    tree.checkBoxes = true;
    tree.container = kFrame;
    Add(ui::ControlType::Label, kStatus).container = kFrame;
    ui::Control& stop = Add(ui::ControlType::CommandButton, kStop);
    stop.tag = QStringLiteral("C9162");
    stop.container = kFrame;
    stop.buddy = kStatus;
    stop.enabled = false;
    // Below the frame: a long reason wraps there without squeezing the tree.
    Add(ui::ControlType::Label, kConnection).multiLine = true;
    ui::Control& reconnect = Add(ui::ControlType::CommandButton, kReconnect);
    reconnect.tag = QStringLiteral("C9253");
    reconnect.buddy = kConnection;
    reconnect.enabled = false;
    AddOkAndCancel();
    m_browser.progress = [this](int loaded) { return OnProgress(loaded); };
}

void FBrowseItemsOCX::OnLoad() {
    settings::LocaliseCaptions(*this);
    m_cancel = true;
}

void FBrowseItemsOCX::OnActivate() {
    if (m_activated) return;
    m_activated = true;
    SetFocus(kTree);
}

void FBrowseItemsOCX::OnShown() {
    // Browsing starts once the window is up, so Stop and Cancel reach a slow connect.
    if (m_browser.IsStarted() || m_browser.IsBusy()) return;
    const AddressSource* source = m_browser.Source();
    if (!source && !sourceError.isEmpty()) {
        Get(kStatus).caption = sourceError;
        ui::ShowMessage(sourceError, Text(3000), ui::Buttons::OK, 0, ui::Icon::Critical);
        return;
    }
    Get(kStatus).caption =
        source ? Text(source->IsProgram() ? 9379 : 9167).replace(QStringLiteral("<s>"), source->Description()) : QString();
    Get(kConnection).caption = Get(kStatus).caption;
    // A program file has no server's own items and no connection.
    const bool program = source && source->IsProgram();
    Get(kSystem).visible = !program;
    Get(kReconnect).visible = !program;
    Load([this](QString* error) { return m_browser.Start(error); });
}

void FBrowseItemsOCX::ShowConnection() {
    const AddressSource* source = m_browser.Source();
    if (!source) return;
    Get(kConnection).caption = source->ConnectionState();
    Get(kReconnect).enabled = source->Disconnected() && !m_browser.IsBusy();
}

void FBrowseItemsOCX::StopLoad() {
    m_stop = true;
    // A connect has no progress to answer; the source is told directly.
    if (AddressSource* source = m_browser.Source()) source->RequestStop();
}

void FBrowseItemsOCX::OnUnload() {
    // The helper goes with the dialog.
    m_browser.Reset();
    m_activated = false;
}

bool FBrowseItemsOCX::OnProgress(int loaded) {
    Get(kStatus).caption = Text(9163).replace(QStringLiteral("<n>"), QString::number(loaded));
    ui::PumpEvents();
    return !m_stop;
}

void FBrowseItemsOCX::SetBusy(bool busy) {
    Get(kStop).enabled = busy;
    Get(kReconnect).enabled = false;
    Get(QStringLiteral("cmdOK")).enabled = !busy;
    Get(kTree).enabled = !busy;
}

void FBrowseItemsOCX::Load(const std::function<bool(QString*)>& work) {
    if (m_browser.IsBusy()) return;
    m_stop = false;
    SetBusy(true);
    QString error;
    const bool done = work(&error);
    SetBusy(false);
    const bool stopped = m_stop;
    m_stop = false;
    ShowTree();
    ShowConnection();
    if (stopped) {
        Get(kStatus).caption = m_browser.IsStarted() ? Text(9166) : Text(9257);
        if (m_closeAfterStop) Hide(false);
        return;
    }
    if (!done && !error.isEmpty()) ui::ShowMessage(error, Text(3000), ui::Buttons::OK, 0, ui::Icon::Critical);
}

void FBrowseItemsOCX::ShowTree() {
    ui::Control& tree = Get(kTree);
    const bool system = Get(kSystem).IsChecked();
    const bool program = m_browser.Source() && m_browser.Source()->IsProgram();
    const QString search = Get(kSearch).text.trimmed();
    // A search shows the nodes found and the way to them, opened.
    QSet<QString> filter;
    for (const QString& id : m_browser.Matches(search))
        for (QString key = id; !key.isEmpty() && !filter.contains(key); key = m_browser.Find(key)->parent) filter.insert(key);
    const QHash<QString, int> states = m_browser.CheckStates();
    tree.nodes.clear();
    std::vector<QString> pending(m_browser.TopNodes().rbegin(), m_browser.TopNodes().rend());
    while (!pending.empty()) {
        const QString id = pending.back();
        const ItemBrowser::Entry& entry = *m_browser.Find(id);
        pending.pop_back();
        if (!system && !entry.gone && m_browser.IsSystemNode(id)) continue;
        if (!search.isEmpty() && !filter.contains(id)) continue;
        ui::TreeNode node;
        node.key = id;
        node.parentKey = entry.parent;
        node.text = entry.node.browseName;
        node.data = entry.node.isVariable ? entry.node.dataType : QString();
        node.image = entry.node.isVariable ? host::images::kInternal : host::images::kItemBranch;
        if (entry.gone) {
            node.text = Text(program ? 9375 : 9280).replace(QStringLiteral("<s>"), node.text);
            node.data = Text(program ? 9376 : 9281).replace(QStringLiteral("<i>"), entry.node.nodeId);
        } else if (entry.node.isVariable && !entry.node.declared && (ClassicDataType(entry.node) & 0xff) == kVariantType) {
            // Structures and values of any type are taken over as VT_VARIANT; the person should know before ticking.
            const bool structure = entry.node.dataType == QLatin1String("ExtensionObject");
            node.text = Text(structure ? 9282 : 9283).replace(QStringLiteral("<s>"), node.text);
            node.data = Text(9284).replace(QStringLiteral("<t>"), entry.node.dataType);
        }
        node.expanded = search.isEmpty() ? m_expanded.contains(id) : true;
        node.checkState = states.value(id);
        node.hasChildren = entry.node.hasChildren;
        tree.nodes.push_back(node);
        // The server's children first, then the device's items it no longer has.
        pending.insert(pending.end(), entry.goneItems.rbegin(), entry.goneItems.rend());
        pending.insert(pending.end(), entry.children.rbegin(), entry.children.rend());
    }
    if (!tree.Node(tree.selectedNode)) tree.selectedNode.clear();
    ShowCounts();
}

void FBrowseItemsOCX::ShowCounts() {
    if (m_browser.IsBusy()) return;
    const BrowseLists lists = m_browser.Lists();
    Get(kStatus).caption = Text(9163).replace(QStringLiteral("<n>"), QString::number(m_browser.LoadedCount())) +
                           QStringLiteral(" \u00b7 ") +
                           Text(9164)
                               .replace(QStringLiteral("<n>"), QString::number(lists.added.size()))
                               .replace(QStringLiteral("<d>"), QString::number(lists.removed.size()))
                               .replace(QStringLiteral("<c>"), QString::number(lists.inconsistent.size())) +
                           (lists.leftOut.empty() ? QString()
                                                  : QStringLiteral(", ") + Text(9261).replace(QStringLiteral("<l>"),
                                                                                            QString::number(lists.leftOut.size())));
}

void FBrowseItemsOCX::SetStatus(const QString& text, int maximum) {
    Get(kStatus).caption = text;
    m_maximum = maximum;
    m_progress = 0;
}

void FBrowseItemsOCX::Step() { ++m_progress; }

void FBrowseItemsOCX::OnEvent(ui::Control& control, ui::FormEvent event) {
    const QString& name = control.Name();
    if (name == QStringLiteral("cmdOK") && event == ui::FormEvent::Click) {
        if (m_browser.IsBusy()) return;
        m_cancel = false;
        Hide(true);
    } else if (name == QStringLiteral("cmdCancel") && event == ui::FormEvent::Click) {
        m_cancel = true;
        if (m_browser.IsBusy()) {
            // The load returns first; then the dialog closes.
            StopLoad();
            m_closeAfterStop = true;
            return;
        }
        Hide(false);
    } else if (name == kStop && event == ui::FormEvent::Click) {
        StopLoad();
    } else if (name == kReconnect && event == ui::FormEvent::Click) {
        Load([this](QString* error) {
            // Before the first level came, a reconnect is the start.
            return m_browser.IsStarted() ? m_browser.Source()->Open(error) : m_browser.Start(error);
        });
    } else if (name == kSearch && event == ui::FormEvent::Change) {
        ShowTree();
    } else if (name == kSystem && event == ui::FormEvent::Click) {
        ShowTree();
    } else if (name == kTree) {
        const QString node = control.eventNode;
        if (event == ui::FormEvent::NodeExpand) {
            m_expanded.insert(node);
            Load([this, node](QString* error) { return m_browser.Expand(node, error); });
        } else if (event == ui::FormEvent::NodeCollapse) {
            m_expanded.remove(node);
        } else if (event == ui::FormEvent::NodeCheck) {
            const ui::TreeNode* shown = control.Node(node);
            const bool ticked = shown && shown->checkState == 1;
            Load([this, node, ticked](QString* error) { return m_browser.SetTicked(node, ticked, error); });
        }
    }
}

FBrowseItemsOCXMessage::FBrowseItemsOCXMessage(const QString& message) : ui::Form(QStringLiteral("FBrowseItemsOCXMessage")) {
    tag = QStringLiteral("C3100");
    helpContextId = settings::help::kBrowseItemsDialog;
    Add(ui::ControlType::Label, QStringLiteral("lblMessage")).caption = message;
    for (int i = 0; i < 4; ++i) {
        ui::Control& button = Add(ui::ControlType::CommandButton, QStringLiteral("cmdAnswer"), i);
        button.tag = QStringLiteral("C%1").arg(3101 + i);
        button.isDefault = i == kYes;
        button.isCancel = i == kNo;
    }
}

void FBrowseItemsOCXMessage::OnLoad() {
    const QString message = Get(QStringLiteral("lblMessage")).caption;
    settings::LocaliseCaptions(*this);
    Get(QStringLiteral("lblMessage")).caption = message;
    SetFocus(QStringLiteral("cmdAnswer"), kYes);
}

void FBrowseItemsOCXMessage::OnEvent(ui::Control& control, ui::FormEvent event) {
    if (event != ui::FormEvent::Click || control.Name() != QStringLiteral("cmdAnswer")) return;
    m_answer = control.Index();
    Hide(true);
}

int FBrowseItemsOCXMessage::Ask(const QString& itemName) {
    FBrowseItemsOCXMessage question(Text(9165).replace(QStringLiteral("<Name>"), itemName));
    ui::ShowModal(question);
    question.Unload();
    return question.Answer();
}

}  // namespace ov::opc
