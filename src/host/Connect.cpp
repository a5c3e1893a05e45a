#include "host/Connect.h"

#include "host/EditorImages.h"
#include "host/NodeKey.h"
#include "host/OthersTreeUpdate.h"
#include "model/DataConnection.h"
#include "platform/db/DbError.h"
#include "platform/host/HelpViewer.h"
#include "platform/host/WindowMessages.h"
#include "platform/system/ProjectResolution.h"
#include "platform/system/ProjectSettings.h"
#include "platform/system/Registry.h"
#include "platform/system/SystemTools.h"
#include "platform/system/WriteProtection.h"
#include "platform/ui/EventGuard.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ModalState.h"
#include "settings/TextTable.h"

#include <QCoreApplication>
#include <QDir>
#include <utility>

namespace ov::host {

namespace {

Connect::WindowFactory& Factory() {
    static Connect::WindowFactory factory;
    return factory;
}

const QString kVendorKey = QStringLiteral("SOFTWARE\\Senmark GmbH");

// How soon others' changes are tried again while the user is busy.
constexpr int kOthersRetryMs = 300;

// Nothing may escape to the studio: an unexpected failure is shown and the
// editor carries on.
template <typename Fn>
void Shielded(Fn&& fn) {
    ui::RunGuarded(std::forward<Fn>(fn));
}

// The leading number of a settings value, as the authorization check reads it.
double LeadingNumber(const QString& text) {
    const QString t = text.trimmed();
    qsizetype end = 0;
    while (end < t.size() && (t[end].isDigit() || t[end] == u'.' || ((t[end] == u'-' || t[end] == u'+') && end == 0)))
        ++end;
    return t.left(end).toDouble();
}

}  // namespace

void Connect::SetWindowFactory(WindowFactory factory) { Factory() = std::move(factory); }

void ChooseInstallationLanguage() {
    int lcid = settings::TextTable::kGerman;
    try {
        lcid = sys::SystemTools::Instance()
                   .GetRegistry()
                   .ReadValue(sys::Hive::LocalMachine, kVendorKey + QStringLiteral("\\Orvana\\4.0"),
                              QStringLiteral("LCID"), QString::number(lcid))
                   .trimmed()
                   .toInt();
    } catch (const sys::RegistryError&) {
    }
    settings::TextTable::Instance().SetLanguage(lcid);
}

Connect::Connect() {
    // The user-interface language is chosen once, from the installation's settings.
    ChooseInstallationLanguage();
    ui::SetGuardTexts(settings::Text(310), settings::Text(settings::kTextUnexpectedError));
    // When the history drops its steps by itself the user learns why.
    m_history.changed = [](const QString& why) {
        if (!why.isEmpty()) ui::ShowMessage(why, settings::Text(310), ui::Buttons::OK, 0, ui::Icon::Information);
    };
}

Connect::~Connect() {
    if (m_state == State::Initialized || m_state == State::Loaded) Terminate();
}

bool Connect::Initialize(const QString& project, const QString& /*unused*/, HostStudio* host, void* owner) {
    Shielded([&] {
        const sys::Registry& registry = sys::SystemTools::Instance().GetRegistry();
        if (!owner) {
            sys::ProjectSettings projectSettings;
            try {
                projectSettings.Open(project, registry);
            } catch (const sys::RegistryError&) {
                m_state = State::Inactive;
                return;
            }
            const QString level =
                projectSettings.Read(QStringLiteral("OVOPCEditor"), QStringLiteral("ExternalAuthorizationLevel"), QStringLiteral("5"));
            projectSettings.Close();
            if (LeadingNumber(level) != 5.0) {
                m_state = State::Inactive;
                return;
            }
        }
        m_projectFile = project;
        m_projectArgument = project;
        m_host = host;
        try {
            m_projectFile = sys::ResolveProjectFile(project, registry);
            m_unregisteredName = sys::IsProjectName(project) && sys::RegisteredProjectFolder(project, registry).isEmpty();
        } catch (const sys::RegistryError&) {
            m_projectFile.clear();
        }
        if (m_projectFile.isEmpty() || !m_host) {
            m_state = State::Inactive;
            return;
        }
        m_readOnlyRequested = m_host->ProjectReadOnly();
        m_hostWindow = m_host->GetHostWindow();
        for (const auto& [key, picture] : EditorImageList()) m_host->AddIcon(key, picture);
        m_host->AddNode(QString(), settings::Text(501), nodekey::kRoot, QStringLiteral("0"), images::kEditor,
                        NodeFlags{true, false, true, false});
        QString common;
        try {
            common = registry.ReadValue(sys::Hive::LocalMachine, kVendorKey, QStringLiteral("Common"), QString());
        } catch (const sys::RegistryError&) {
        }
        m_helpFile = QDir(common).filePath(QStringLiteral("helpfiles/Itemsystem.chm"));
        SetHelpFile(m_helpFile);
        m_state = State::Initialized;
    });
    return false;
}

void Connect::Terminate() {
    Shielded([&] {
        if (m_state != State::Initialized && m_state != State::Loaded) return;
        EndSession(true);
        m_history.Clear();
        m_state = State::Ended;
    });
}

bool Connect::IsOurNode(const QString& key) const {
    if (m_state != State::Initialized && m_state != State::Loaded) return false;
    const QString kind = nodekey::Kind(key);
    return kind == QStringLiteral("OPCE") || kind == QStringLiteral("OPCD") || kind == QStringLiteral("OPCG") ||
           kind == QStringLiteral("OPCU") || kind == QStringLiteral("OPCS");
}

bool Connect::EnsureLoaded() {
    if (m_state == State::Loaded) return true;
    if (m_state != State::Initialized || !Factory()) return false;
    // A project that cannot be written where it lies is shown all the same.
    switch (sys::ProjectWriteProtection(m_projectFile)) {
        case sys::WriteProtection::Media: m_readOnly = ReadOnlyReason::Media; break;
        case sys::WriteProtection::File: m_readOnly = ReadOnlyReason::File; break;
        case sys::WriteProtection::Folder: m_readOnly = ReadOnlyReason::Folder; break;
        case sys::WriteProtection::Rights: m_readOnly = ReadOnlyReason::Rights; break;
        case sys::WriteProtection::None:
            m_readOnly = m_readOnlyRequested ? ReadOnlyReason::Requested : ReadOnlyReason::None;
            break;
    }
    try {
        m_window = Factory()(*this);
        OpenDatabase();
        m_window->Load();
        QString error;
        const auto previous = m_window->EmbedIn(m_hostWindow, &error);
        if (previous)
            m_previousParent = *previous;
        else
            ui::ShowMessage(error, QStringLiteral("SetParentFromMe"), ui::Buttons::OK, 0, ui::Icon::Critical);
        m_tree.emplace(*m_host);
        m_tree->BuildBranch(*m_window->Data(), m_window->FieldNameFromSwitchView());
        m_window->FirstDisplay();
        m_window->SetSubclassed(true);
        m_editorsMessage = RegisterWindowMessage(QStringLiteral("OV_EDITORS"));
        m_state = State::Loaded;
        m_host->SelectNode(nodekey::kRoot);
        m_host->FocusProjectTree();
        return true;
    } catch (const db::DbError& e) {
        QString text = settings::Text(1309) + QStringLiteral("\n") + m_projectFile + QStringLiteral("\n") + e.Description();
        if (m_unregisteredName)
            text.prepend(settings::Text(settings::kTextProjectNotRegistered)
                             .replace(QStringLiteral("<pn>"), m_projectArgument.trimmed()) +
                         QStringLiteral("\n"));
        AbandonLoad(text);
    } catch (const std::exception& e) {
        AbandonLoad(settings::Text(settings::kTextEditorNotLoaded) + QStringLiteral("\n") + QString::fromUtf8(e.what()));
    } catch (...) {
        AbandonLoad(settings::Text(settings::kTextEditorNotLoaded));
    }
    return false;
}

void Connect::AbandonLoad(const QString& why) {
    // Whatever was built goes again: the editor stays initialised, without
    // its branch, and the next click on its node tries once more.
    try {
        if (m_host)
            for (const QString& child : m_host->GetChildKeys(nodekey::kRoot, 1)) m_host->RemoveNode(child);
        EndSession(false);
    } catch (...) {
        m_window.reset();
        m_tree.reset();
    }
    m_state = State::Initialized;
    ui::ShowMessage(why, settings::Text(310), ui::Buttons::OK, 0, ui::Icon::Critical);
}

QString Connect::ReadOnlyNotice() const {
    int why = 0;
    switch (m_readOnly) {
        case ReadOnlyReason::None: return QString();
        case ReadOnlyReason::Requested: why = settings::kTextOpenedReadOnly; break;
        case ReadOnlyReason::File: why = settings::kTextReadOnlyFile; break;
        case ReadOnlyReason::Folder: why = settings::kTextReadOnlyFolder; break;
        case ReadOnlyReason::Media: why = settings::kTextReadOnlyMedia; break;
        case ReadOnlyReason::Rights: why = 9433; break;
    }
    return settings::Text(settings::kTextReadOnlyNotice).replace(QStringLiteral("<r>"), settings::Text(why));
}

void Connect::OpenDatabase() {
    auto data = std::make_shared<model::DataConnection>();
    m_window->SetDataConnection(data);
    // The studio asked for the server's password before it started us; the
    // session's second line to the server reuses it.
    QString role, password;
    if (m_host) m_host->ServerLogin(role, password);
    data->Open(m_projectFile, IsReadOnly(), role, password);
    // Nothing can change, so there is nothing to take back.
    if (!IsReadOnly() && !qEnvironmentVariableIsSet("OV_NO_UNDO")) m_history.Attach(data->Connection());
    data->OpenDirectTables();
    m_window->OnDatabaseOpened();
    ListenForOthers();
}

void Connect::ListenForOthers() {
    m_othersNotifier.reset();
    m_othersRetry.reset();
    m_othersPending.clear();
    m_others.reset();
    // News come through the event loop; a program without one has none to hear.
    if (!QCoreApplication::instance()) return;
    try {
        m_others = m_window->Data()->Connection().ListenForOthers();
    } catch (const db::DbError&) {
        // Without a second line the project is still edited; only others' news wait for Refresh View.
        return;
    }
    if (!m_others) return;
    m_othersNotifier = std::make_unique<QSocketNotifier>(m_others->SocketDescriptor(), QSocketNotifier::Read);
    QObject::connect(m_othersNotifier.get(), &QSocketNotifier::activated, [this] { OnOthersChanged(); });
    m_othersRetry = std::make_unique<QTimer>();
    m_othersRetry->setSingleShot(true);
    m_othersRetry->setInterval(kOthersRetryMs);
    QObject::connect(m_othersRetry.get(), &QTimer::timeout, [this] { Shielded([this] { ApplyOthersChanges(); }); });
}

void Connect::OnOthersChanged() {
    Shielded([this] {
        if (!m_others || !m_window || !m_window->Data()) return;
        std::vector<db::OthersChange> changes;
        try {
            changes = m_others->Take();
        } catch (const db::DbError&) {
            // The line is gone: stop listening rather than failing on every wake-up.
            m_othersNotifier.reset();
            return;
        }
        if (changes.empty()) return;
        // Taken at once all the same, so that the line is read and does not wake us again.
        m_othersPending.insert(m_othersPending.end(), std::make_move_iterator(changes.begin()),
                               std::make_move_iterator(changes.end()));
        ApplyOthersChanges();
    });
}

void Connect::ApplyOthersChanges() {
    if (m_othersPending.empty() || !m_window || !m_window->Data()) return;
    model::DataConnection& data = *m_window->Data();
    // A dialog or a command of the user's own at work (a progress window lets
    // events through) must not have its rows, its view or the tree changed
    // under it: the news wait until it is over.
    if (ui::AnyModalOpen() || data.Connection().TransactionLevel() > 0) {
        if (m_othersRetry) m_othersRetry->start();
        return;
    }
    const std::vector<db::OthersChange> changes = std::exchange(m_othersPending, {});
    data.Connection().ForgetCachedRows();
    QStringList tables;
    for (const db::OthersChange& change : changes)
        if (!tables.contains(change.table)) tables << change.table;
    const db::OthersChange& last = changes.back();
    QString note = settings::Text(9431)
                       .replace(QStringLiteral("<who>"), last.who)
                       .replace(QStringLiteral("<at>"), last.at.mid(11))
                       .replace(QStringLiteral("<n>"), QString::number(changes.size()))
                       .replace(QStringLiteral("<tables>"), tables.size() > 3 ? tables.mid(0, 3).join(QStringLiteral(", ")) + QStringLiteral(", …")
                                                                              : tables.join(QStringLiteral(", ")));
    if (m_tree && m_host) {
        OthersTreeUpdate update(*m_host, *m_tree, data.Connection(), m_window->FieldNameFromSwitchView());
        const OthersTreeUpdate::Outcome outcome = update.Apply(changes, m_window->CurrentNode());
        if (outcome.waitsForRefresh) note += settings::Text(9432);
        if (!outcome.shownKey.isEmpty()) ShowInstead(outcome.shownKey, outcome.lostText, note);
    }
    m_window->OnOthersChanged(note);
}

void Connect::ShowInstead(const QString& key, const QString& lostText, QString& note) {
    QVariant text;
    m_host->GetNodeProperty(key, kPropertyText, text);
    note += settings::Text(9440).replace(QStringLiteral("<node>"), lostText).replace(QStringLiteral("<parent>"), text.toString());
    m_host->SelectNode(key);
    if (m_window->CurrentNode() != key) ShowNode(key);
}

void Connect::EndSession(bool terminating) {
    if (terminating && m_host) m_host->RemoveNode(nodekey::kRoot);
    if (m_window) {
        m_window->RestoreParent(m_previousParent);
        m_window->OnDatabaseClosing();
        model::DataConnection* data = m_window->Data();
        // Changes saved as the recordsets close are steps like any other.
        if (data) data->CloseRecordsets();
        m_history.Detach();
        if (data) data->Close();
        m_window->SetDataConnection(nullptr);
        m_window->SetSubclassed(false);
        m_window->Unload();
        m_retired.push_back(std::move(m_window));
        if (m_retired.size() > 2) m_retired.pop_front();
    }
    m_tree.reset();
    m_othersNotifier.reset();
    m_othersRetry.reset();
    m_othersPending.clear();
    m_others.reset();
    if (terminating) {
        m_host = nullptr;
        m_retired.clear();
    }
    CurrentHelpViewer().CloseAll();
}

void Connect::Reload() {
    Shielded([&] {
        if (m_state != State::Loaded) return;
        for (const QString& child : m_host->GetChildKeys(nodekey::kRoot, 1)) m_host->RemoveNode(child);
        m_host->SetNodeProperty(nodekey::kRoot, kPropertyLoaded, false);
        EndSession(false);
        m_state = State::Initialized;
        EnsureLoaded();
    });
}

bool Connect::HasNode(const QString& key) {
    QVariant ignored;
    return m_host && m_host->GetNodeProperty(key, kPropertyLoaded, ignored) == 0;
}

QStringList Connect::ExpandedNodes(const QString& key) {
    // Parents first, so that each is open before its children are opened.
    QStringList open;
    QVariant expanded;
    if (m_host->GetNodeProperty(key, kPropertyExpanded, expanded) != 0 || !expanded.toBool()) return open;
    open << key;
    for (const QString& child : m_host->GetChildKeys(key, 1)) open << ExpandedNodes(child);
    return open;
}

bool Connect::StepHistory(bool redo) {
    if (!EnsureLoaded()) return false;
    // The node shown and the nodes above it, nearest first: after the step
    // the nearest one that still exists is shown.
    QStringList path;
    for (QString key = m_window->CurrentNode(); !key.isEmpty(); key = m_host->GetNodeRelative(key, 1)) path << key;
    const model::UndoHistory::Outcome outcome = redo ? m_history.Redo() : m_history.Undo();
    if (!outcome.done) {
        ui::ShowMessage(outcome.refusal, settings::Text(310), ui::Buttons::OK, 0, ui::Icon::Warning);
        return false;
    }
    const QStringList expanded = ExpandedNodes(nodekey::kRoot);
    // Anything may have changed: tree, grids and name groups are read again.
    Reload();
    // The tree is shown as open as it was, where its nodes still exist.
    for (const QString& key : expanded)
        if (IsLoaded() && HasNode(key)) m_host->SetNodeProperty(key, kPropertyExpanded, true);
    for (const QString& key : path) {
        if (!IsLoaded() || !HasNode(key)) continue;
        m_host->SelectNode(key);
        if (m_window && m_window->CurrentNode() != key) ShowNode(key);
        break;
    }
    return true;
}

void Connect::ShowNode(const QString& key) {
    if (!m_window) return;
    m_window->ShowNode(key);
}

void Connect::ShowHelp(int topic) {
    CurrentHelpViewer().ShowTopic(m_helpFile, topic, m_hostWindow);
}

void Connect::RefreshDeviceNode(const QString& deviceKey) {
    if (!m_window || !m_tree) return;
    const QString newKey = m_tree->RefreshDeviceNode(*m_window->Data(), deviceKey, m_window->FieldNameFromSwitchView());
    if (newKey.isEmpty()) return;
    QString first, third;
    m_host->GetNodeInfo(newKey, first, third);
    NodeClick(first, newKey, third);
}

void Connect::NodeClick(const QString&, const QString& key, const QString&) {
    Shielded([&] {
        if (!IsOurNode(key) || !EnsureLoaded()) return;
        ShowNode(key);
    });
}

void Connect::NodeDblClick(const QString&, const QString& key, const QString&) {
    Shielded([&] {
        if (IsOurNode(key) && m_window) m_window->Show();
    });
}

void Connect::NodeExpand(const QString&, const QString& key, const QString&) {
    Shielded([&] {
        if (IsOurNode(key)) EnsureLoaded();
    });
}

QString Connect::ContextBandFor(const QString& nodeKey) {
    const QString kind = nodekey::Kind(nodeKey);
    if (kind == QStringLiteral("OPCE")) return QStringLiteral("mnuShowEditorHelper");
    if (kind == QStringLiteral("OPCD")) return QStringLiteral("mnuDevice");
    if (kind == QStringLiteral("OPCG")) return QStringLiteral("mnuGroup");
    if (kind == QStringLiteral("OPCU")) return QStringLiteral("mnuUnitClass");
    if (kind == QStringLiteral("OPCS")) return QStringLiteral("mnuStructure");
    return QString();
}

void Connect::MakeCurrent(const QString& key) {
    // The node a command is given on is the one it works on: a right click or
    // a key on a node the editor does not show yet shows it first, so that a
    // branch command never takes the items of the node shown before.
    if (!m_window || m_window->CurrentNode() == key) return;
    if (m_host) m_host->SelectNode(key);
    ShowNode(key);
}

void Connect::NodeMouseUp(const QString&, const QString& key, const QString&, int button, int, int x, int y) {
    Shielded([&] {
        if (button != keys::kRightButton || !IsOurNode(key) || !m_window) return;
        MakeCurrent(key);
        m_window->ComputeAvailability(key, true);
        m_window->PopupBand(ContextBandFor(key), x, y);
    });
}

QString Connect::CommandForKey(const QString& nodeKey, int keyCode, int shift) {
    const bool ctrl = (shift & keys::kCtrl) != 0 && (shift & keys::kAlt) == 0;
    if (ctrl && keyCode == keys::kZ)
        return (shift & keys::kShift) ? QStringLiteral("mnuEditRedo") : QStringLiteral("mnuEditUndo");
    if (ctrl && keyCode == keys::kY) return QStringLiteral("mnuEditRedo");
    QString suffix;
    if (ctrl && keyCode == keys::kDelete) suffix = QStringLiteral("Delete");
    else if (ctrl && keyCode == keys::kC) suffix = QStringLiteral("Copy");
    else if (ctrl && keyCode == keys::kV) suffix = QStringLiteral("Paste");
    else if (shift == 0 && keyCode == keys::kF9) suffix = QStringLiteral("Edit");
    else if (shift == 0 && keyCode == keys::kF8) suffix = QStringLiteral("New");
    if (suffix.isEmpty()) return QString();

    const QString kind = nodekey::Kind(nodeKey);
    if (kind == QStringLiteral("OPCD")) {
        const bool helperItems = suffix == QStringLiteral("Copy") || suffix == QStringLiteral("Paste") ||
                                 suffix == QStringLiteral("Delete");
        return QStringLiteral("mnuDevice") + (helperItems ? QStringLiteral("HelperItems") : QString()) + suffix;
    }
    if (kind == QStringLiteral("OPCG")) return QStringLiteral("mnuGroup") + suffix;
    if (kind == QStringLiteral("OPCS")) return QStringLiteral("mnuStructure") + suffix;
    if (kind == QStringLiteral("OPCU")) {
        if (suffix != QStringLiteral("New")) return QStringLiteral("mnuUnitClass") + suffix;
        const QString branch = nodekey::SecondField(nodeKey);
        if (nodeKey == nodekey::kUnits) return QString();
        if (branch == QStringLiteral("P")) return QStringLiteral("mnuUnitClassNew");
        if (branch == QStringLiteral("V")) return QStringLiteral("mnuUnitClassViewNew");
        return QString();
    }
    return QString();
}

void Connect::NodeKeyDown(const QString&, const QString& key, const QString&, int& keyCode, int shift) {
    Shielded([&] {
        if (!IsOurNode(key)) return;
        if (keyCode == keys::kF6 && (shift & keys::kAlt)) {
            if (!m_window) return;
            const QString kind = nodekey::Kind(key);
            if (key == nodekey::kGroups) m_window->FocusGrid(QStringLiteral("tdbG"));
            else if (kind == QStringLiteral("OPCD") || kind == QStringLiteral("OPCG")) m_window->FocusGrid(QStringLiteral("tdbI"));
            else if (kind == QStringLiteral("OPCS")) m_window->FocusGrid(QStringLiteral("tdbS"));
            else if (kind == QStringLiteral("OPCU")) m_window->FocusGrid(QStringLiteral("tdbU"));
            return;
        }
        if (keyCode == keys::kF1) {
            ShowHelp(nodekey::HelpTopic(key));
            return;
        }
        const QString tool = CommandForKey(key, keyCode, shift);
        if (tool.isEmpty() || !m_window) return;
        MakeCurrent(key);
        m_window->ComputeAvailability(key, true);
        if (m_window->IsToolEnabled(tool)) m_window->ClickTool(tool);
    });
}

void Connect::NodeKeyPress(const QString&, const QString& key, const QString&, int& keyAscii) {
    if (!IsOurNode(key)) return;
    // Copy and paste belong to the editor's own commands, not to the tree.
    if (keyAscii == 3 || keyAscii == 22) keyAscii = 0;
}

void Connect::WindowMessage(quint32 message, quintptr wParam, qintptr lParam) {
    Shielded([&] {
        if (!m_window || m_state != State::Loaded) return;
        if (message == messages::kActivate) {
            const quintptr state = wParam & 0xFFFF;
            m_window->OnActivate(state == messages::kActive || state == messages::kClickActive);
        } else if (message == m_editorsMessage && (wParam & 0x100) && lParam == 2) {
            m_window->OnIndexTextsChanged();
        }
    });
}

}  // namespace ov::host
