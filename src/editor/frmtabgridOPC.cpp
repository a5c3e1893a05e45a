#include "editor/frmtabgridOPC.h"

#include "host/Connect.h"
#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "platform/system/SystemTools.h"
#include "settings/TextTable.h"

namespace ov::editor {

namespace nodekey = host::nodekey;

frmtabgridOPC::frmtabgridOPC(host::Connect& session) : m_session(session) {
    // The catalogue is ready before any item is shown; this writes the
    // definition file when it has no sections yet.
    m_simulation.Initialize(sys::SystemTools::Instance().GetRegistry());
}

frmtabgridOPC::~frmtabgridOPC() = default;

void frmtabgridOPC::SetDataConnection(std::shared_ptr<model::DataConnection> data) { m_data = std::move(data); }

void frmtabgridOPC::OnDatabaseOpened() { m_indexTexts.Init(*m_data); }

void frmtabgridOPC::OnDatabaseClosing() { m_indexTexts.Terminate(); }

void frmtabgridOPC::Load() {
    m_caption = settings::Text(310) + m_session.ProjectFile();
    if (m_data) {
        m_languages.Init(m_indexTexts.TextsRecordset(), m_data->OpenCommand(QStringLiteral("rscfgLanguages")),
                         sys::SystemTools::Instance().GetRegistry());
        m_languages.InitLanguageComboBox(m_cmbLanguage, -1);
    }
    // The alias function is on exactly while item accesses need not be unique.
    m_switchView = m_data && !m_data->Connection().HasIndex(QStringLiteral("TpdbItems"), QStringLiteral("UniqueItemAccess"));
    m_loaded = true;
}

std::optional<host::WindowHandle> frmtabgridOPC::EmbedIn(host::WindowHandle hostWindow, QString* error) {
    if (hostWindow == 0) {
        if (error) *error = QStringLiteral("The studio has no window to embed the editor in.");
        return std::nullopt;
    }
    const host::WindowHandle previous = m_parent;
    m_parent = hostWindow;
    return previous;
}

void frmtabgridOPC::RestoreParent(host::WindowHandle previousParent) { m_parent = previousParent; }

void frmtabgridOPC::Unload() {
    m_loaded = false;
    m_visible = false;
    m_currentNode.clear();
}

QString frmtabgridOPC::FieldNameFromSwitchView() const {
    return m_switchView ? QStringLiteral("Name") : QStringLiteral("ItemAccess");
}

void frmtabgridOPC::FirstDisplay() {
    ComputeAvailability(nodekey::kRoot, false);
    SwitchGrids(nodekey::kRoot);
    m_currentNode = nodekey::kRoot;
}

void frmtabgridOPC::SwitchGrids(const QString& key) {
    const QString kind = nodekey::Kind(key);
    if (kind == QStringLiteral("OPCD") || (kind == QStringLiteral("OPCG") && nodekey::NodeId(key) != 0))
        m_frontGrid = QStringLiteral("tdbI");
    else if (kind == QStringLiteral("OPCG"))
        m_frontGrid = QStringLiteral("tdbG");
    else if (kind == QStringLiteral("OPCU"))
        m_frontGrid = QStringLiteral("tdbU");
    else if (kind == QStringLiteral("OPCS"))
        m_frontGrid = QStringLiteral("tdbS");
}

void frmtabgridOPC::ShowNode(const QString& key) {
    Show();
    SwitchGrids(key);
    ComputeAvailability(key, true);
    m_currentNode = key;
}

// The window has no command bar yet: no tool is offered, so key commands and
// context menus do nothing until the menus are built.
void frmtabgridOPC::ComputeAvailability(const QString&, bool) {}
bool frmtabgridOPC::IsToolEnabled(const QString&) const { return false; }
void frmtabgridOPC::ClickTool(const QString&) {}
bool frmtabgridOPC::PopupBand(const QString&, int, int) { return false; }

void frmtabgridOPC::OnActivate(bool) {}

void frmtabgridOPC::OnIndexTextsChanged() {
    // Another editor changed texts: drop the cached text table, unsaved
    // change included; the next access opens it again.
    m_indexTexts.CloseIdxSystemRecordset();
}

}  // namespace ov::editor
