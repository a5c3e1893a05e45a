#include "editor/frmtabgridOPC.h"

#include "editor/GridColumns.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "model/ProjectStatistics.h"
#include "platform/db/DbError.h"
#include "platform/host/HelpViewer.h"
#include "platform/system/IniFile.h"
#include "platform/system/SystemTools.h"
#include "platform/ui/EventGuard.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ModalState.h"
#include "settings/DefaultInits.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

#include <QFileInfo>
#include <cmath>
#include <optional>

namespace ov::editor {

namespace nodekey = host::nodekey;
using settings::Text;

namespace {

frmtabgridOPC::ViewFactory& Factory() {
    static frmtabgridOPC::ViewFactory factory;
    return factory;
}

frmtabgridOPC::UnitsInstaller& Units() {
    static frmtabgridOPC::UnitsInstaller installer;
    return installer;
}

bool Is(const QString& name, const char* property) {
    return name.compare(QLatin1String(property), Qt::CaseInsensitive) == 0;
}

std::optional<int> Whole(const settings::InitValue& value) {
    if (const double* d = std::get_if<double>(&value))
        return std::isfinite(*d) ? std::optional<int>(static_cast<int>(std::lround(*d))) : std::nullopt;
    bool ok = false;
    const int n = std::get_if<QString>(&value) ? std::get<QString>(value).trimmed().toInt(&ok) : 0;
    return ok ? std::optional<int>(n) : std::nullopt;
}

// The key of the status bar's notice that the project lies on a network share.
const QString kNetworkShareNotice = QStringLiteral("networkShare");

}  // namespace

void frmtabgridOPC::SetViewFactory(ViewFactory factory) {
    Factory() = std::move(factory);
}

void frmtabgridOPC::SetUnitsInstaller(UnitsInstaller installer) {
    Units() = std::move(installer);
}

frmtabgridOPC::frmtabgridOPC(host::Connect& session)
    : m_session(session), m_status([&session] { return session.Host(); }, [this] { NotifyView(); }) {
    RegisterObjectFunction(QStringLiteral("ExtrasFunc"), [this](int code) { return ExtrasFunc(code); });
    if (Units()) Units()(*this);
    // The catalogue is ready before any item is shown; this writes the
    // definition file when it has no sections yet.
    m_simulation.Initialize(sys::SystemTools::Instance().GetRegistry());
}

frmtabgridOPC::~frmtabgridOPC() {
    // The view goes first, while the grids it shows are still there.
    m_view.reset();
}

void frmtabgridOPC::SetDataConnection(std::shared_ptr<model::DataConnection> data) {
    if (!data) {
        for (ui::GridModel* grid : {&m_tdbI, &m_tdbS, &m_tdbG, &m_tdbU}) grid->Bind(nullptr);
        m_itemEditing.CloseCompanions();
    }
    m_data = std::move(data);
}

void frmtabgridOPC::OnDatabaseOpened() {
    m_indexTexts.Init(*m_data);
    LoadGroupList();
    // No message box: the notice stays in the status bar while the project is open.
    sb().SetNotice(kNetworkShareNotice, model::NetworkShareNotice(m_data->Connection()));
}

void frmtabgridOPC::OnDatabaseClosing() {
    m_online.SetOn(false);
    sb().SetNotice(kNetworkShareNotice, QString());
    CommitGridEdits();
    for (ui::GridModel* grid : {&m_tdbI, &m_tdbS, &m_tdbG, &m_tdbU}) grid->Bind(nullptr);
    m_itemEditing.CloseCompanions();
    m_indexTexts.Terminate();
}

QString frmtabgridOPC::SettingsFile() const {
    return QFileInfo(m_session.ProjectFile()).absolutePath() + QStringLiteral("/OVEditors.ini");
}

void frmtabgridOPC::AddUnboundDefaults() {
    struct Default {
        const char* grid;
        int caption;
        int width;
        bool sizing;
        bool visible;
        int order;
    };
    const Default defaults[] = {{"tdbI", unbound::kDataType, 1620, true, true, 16},
                                {"tdbI", unbound::kSimulationFunction, 1620, false, false, 16},
                                {"tdbI", unbound::kSimulationParameters, 1620, false, false, 16},
                                {"tdbS", unbound::kMemberDataType, 1620, true, true, 16},
                                {"tdbI", unbound::kIndexText, 3000, false, false, 20},
                                {"tdbS", unbound::kIndexText, 3000, false, false, 20}};
    for (const Default& d : defaults) {
        const QString key =
            QStringLiteral("%1.Splits(1).Columns(\"%2\").").arg(QString::fromUtf8(d.grid), Text(d.caption));
        m_settings.WriteAValueToCInits(key + QStringLiteral("Width"), static_cast<double>(d.width));
        m_settings.WriteAValueToCInits(key + QStringLiteral("AllowSizing"), d.sizing);
        m_settings.WriteAValueToCInits(key + QStringLiteral("Visible"), d.visible);
        m_settings.WriteAValueToCInits(key + QStringLiteral("Order"), static_cast<double>(d.order));
    }
}

void frmtabgridOPC::Load() {
    std::array<int, 7> none{};
    UpdateStatusCounters(QString(), CounterMode::Reset, none);
    m_status.SetCaption(Text(310) + m_session.ProjectFile());
    m_commands.BuildBars();
    // The alias function is on exactly while item accesses need not be unique.
    m_switchView = m_data && !m_data->Connection().HasIndex(QStringLiteral("TpdbItems"),
                                                            QStringLiteral("UniqueItemAccess"));

    m_settings = settings::CInit();
    m_settings.LoadDefaultInit(settings::kEditorWindowInits.toString());
    AddUnboundDefaults();
    // The language the list starts with is the default of the stored project
    // language; only settings the store has are read from the file.
    if (m_data) {
        // The texts' columns only: their rows are read when first needed.
        QStringList textFields;
        for (const db::ColumnInfo& column : m_data->Connection().Columns(QStringLiteral("TidxTexts"))) textFields << column.name;
        m_languages.Init(textFields, m_data->OpenCommand(QStringLiteral("rscfgLanguages")),
                         sys::SystemTools::Instance().GetRegistry());
    }
    m_settings.WriteAValueToCInits(QStringLiteral("CurrentLCID"), static_cast<double>(m_languages.CurrentLCID()));
    m_settings.LoadInits(SettingsFile());
    if (m_data) {
        int stored = -1;
        if (const auto value = m_settings.ReadAValueFromCInits(QStringLiteral("CurrentLCID")))
            if (const auto lcid = Whole(*value)) stored = *lcid;
        m_languages.InitLanguageComboBox(m_cmbLanguage, stored);
    }
    ui::SetGuardTexts(Text(310), Text(settings::kTextUnexpectedError));
    m_settings.SetInitToControl(QStringLiteral("sb"), *this);
    m_settings.SetInitToControl(QStringLiteral("Me"), *this);
    // Why nothing can be changed stays in sight while the project is open.
    sb().SetNotice(QStringLiteral("readOnly"), m_session.ReadOnlyNotice());
    m_loaded = true;
    NotifyView();
}

std::optional<host::WindowHandle> frmtabgridOPC::EmbedIn(host::WindowHandle hostWindow, QString* error) {
    if (hostWindow == 0) {
        if (error) *error = QStringLiteral("The studio has no window to embed the editor in.");
        return std::nullopt;
    }
    const host::WindowHandle previous = m_parent;
    m_parent = hostWindow;
    if (Factory()) {
        m_view = Factory()(*this);
        if (m_view) m_view->EmbedInto(hostWindow);
    }
    return previous;
}

void frmtabgridOPC::RestoreParent(host::WindowHandle previousParent) {
    if (m_view) {
        m_view->Release();
        m_view.reset();
    }
    m_parent = previousParent;
}

void frmtabgridOPC::Unload() {
    if (m_loaded) CloseWindow(false);
    m_loaded = false;
    m_visible = false;
    m_views.ClearCurrentNode();
}

QString frmtabgridOPC::FieldNameFromSwitchView() const {
    return m_switchView ? QStringLiteral("Name") : QStringLiteral("ItemAccess");
}

ui::GridModel& frmtabgridOPC::Grid(const QString& name) {
    if (name.compare(QStringLiteral("tdbS"), Qt::CaseInsensitive) == 0) return m_tdbS;
    if (name.compare(QStringLiteral("tdbG"), Qt::CaseInsensitive) == 0) return m_tdbG;
    if (name.compare(QStringLiteral("tdbU"), Qt::CaseInsensitive) == 0) return m_tdbU;
    return m_tdbI;
}

void frmtabgridOPC::FirstDisplay() {
    m_views.FirstDisplay();
}

void frmtabgridOPC::Show() {
    m_visible = true;
    NotifyView();
}

int frmtabgridOPC::GetRecordCount(db::Recordset& recordset) {
    return recordset.RecordCount();
}

int frmtabgridOPC::SplitWidthFromBar(int barLeft, int gridLeft, int gridWidth) {
    return std::max(0, std::min(barLeft - gridLeft - 30, gridWidth - 60));
}

void frmtabgridOPC::ShowHelp(const QString& gridName) {
    ui::RunGuarded([&] {
        // In a grid its own topic; elsewhere in the window the topic of the node it shows.
        if (!gridName.isEmpty()) {
            host::ShowContextHelp(Grid(gridName).helpContextId);
            return;
        }
        m_session.ShowHelp(CurrentNode().isEmpty() ? settings::help::kEditor : nodekey::HelpTopic(CurrentNode()));
    });
}

void frmtabgridOPC::FocusGrid(const QString& gridName) {
    m_focusedGrid = gridName;
    if (m_view) m_view->FocusGrid(gridName);
}

void frmtabgridOPC::OnActivate(bool active) {
    // The editor's own boxes take the focus and give it back: no reason to
    // write pending edits behind the person's back or to read the view again.
    if (!GridsBuilt() || DialogOpen()) return;
    if (active) {
        // Back from another program: show what it changed, on the same item.
        ShowItemViewKeepingCurrent(m_tdbI.CurrentColumn());
    } else {
        CommitGridEdits();
    }
    NotifyView();
}

bool frmtabgridOPC::DialogOpen() const {
    return ui::AnyModalOpen();
}

QString frmtabgridOPC::ChooseVariable(const QString& currentText, int flags) {
    host::HostStudio* host = m_session.Host();
    if (!host) return QString();
    ui::ModalScope open;
    return host->SelectVariable(currentText, flags);
}

void frmtabgridOPC::OnIndexTextsChanged() {
    // Another editor changed texts: drop the cached text table, unsaved
    // change included; the next access opens it again.
    m_indexTexts.CloseIdxSystemRecordset();
}

void frmtabgridOPC::OnOthersChanged(const QString& note) {
    std::array<int, 7> counters{};
    m_status.UpdateCounters(note, CounterMode::Get, counters);
    // The node shown may have been renamed by them: the caption shows its text.
    if (!CurrentNode().isEmpty()) m_status.MakeCaption(CurrentNode());
    if (m_view) m_view->Refresh();
}

void frmtabgridOPC::LanguageSelected() {
    ui::RunGuarded([this] { m_views.ShowLanguage(); });
}

bool frmtabgridOPC::RequestOnDelete() const {
    const auto value = m_settings.ReadAValueFromCInits(QStringLiteral("RequestOnDelete"));
    return !value || !std::holds_alternative<bool>(*value) || std::get<bool>(*value);
}

void frmtabgridOPC::CloseWindow(bool byCloseBox) {
    if (byCloseBox) {
        m_visible = false;
        NotifyView();
        return;
    }
    // A project opened for viewing leaves its folder as it found it: the
    // window's settings file is neither written nor made.
    if (m_session.IsReadOnly()) {
        m_visible = false;
        return;
    }
    const auto saveOnExit = m_settings.ReadAValueFromCInits(QStringLiteral("SaveOnExit"));
    const bool save = !saveOnExit || !std::holds_alternative<bool>(*saveOnExit) || std::get<bool>(*saveOnExit);
    if (save)
        SaveSettings();
    else
        sys::IniFile(SettingsFile()).Write(m_settings.SectionName(), QStringLiteral("SaveOnExit"), QStringLiteral("False"));
    m_visible = false;
}

void frmtabgridOPC::SaveSettings() {
    // The live columns are no columns of the project's grid.
    m_online.SetOn(false);
    if (GridsBuilt()) {
        const int nameFixed = m_tdbI.ColumnIndexInSplit(QStringLiteral("Name"), 0);
        const int accessFixed = m_tdbI.ColumnIndexInSplit(QStringLiteral("ItemAccess"), 0);
        if (!m_switchView && nameFixed >= 0 && accessFixed >= 0) m_tdbI.Column(nameFixed).width = m_tdbI.Column(accessFixed).width;
        for (const char* grid : {"tdbI", "tdbU", "tdbS", "tdbG"}) m_settings.GetInitFromControl(QString::fromUtf8(grid), *this);
        m_settings.WriteAValueToCInits(QStringLiteral("TDBIColOrders"), StoreColumnOrders(m_tdbI, 1));
        m_settings.WriteAValueToCInits(QStringLiteral("TDBUColOrders"), StoreColumnOrders(m_tdbU, 1));
        m_settings.WriteAValueToCInits(QStringLiteral("TDBSColOrders"), StoreColumnOrders(m_tdbS, 1));
        m_settings.WriteAValueToCInits(QStringLiteral("TDBGColOrders"), StoreColumnOrders(m_tdbG, 1));
    }
    m_settings.GetInitFromControl(QStringLiteral("Me"), *this);
    m_settings.WriteAValueToCInits(QStringLiteral("CurrentLCID"), static_cast<double>(m_languages.CurrentLCID()));
    m_settings.SaveInits(SettingsFile());
}

void frmtabgridOPC::ReportDbError(const db::DbError& error) {
    m_lastError = error.Description();
    ui::ShowMessage(error.Description(), Text(310), ui::Buttons::OK, 0, ui::Icon::Critical);
}

void frmtabgridOPC::ReportError(int textId, const QString& description) {
    m_lastError = description;
    ui::ShowMessage(Text(textId) + QStringLiteral("\n") + description, Text(310), ui::Buttons::OK, 0,
                    ui::Icon::Critical);
}

void frmtabgridOPC::NotifyView() {
    if (m_view) m_view->Refresh();
}

settings::PropertyObject* frmtabgridOPC::Child(const QString& name, const std::optional<QVariant>&) {
    if (Is(name, "Font")) return &m_fontProperties;
    if (Is(name, "tdbI")) return &m_tdbIProperties;
    if (Is(name, "tdbS")) return &m_tdbSProperties;
    if (Is(name, "tdbG")) return &m_tdbGProperties;
    if (Is(name, "tdbU")) return &m_tdbUProperties;
    if (Is(name, "sb")) return &m_status.Properties();
    return nullptr;
}

bool frmtabgridOPC::SetProperty(const QString& name, const std::optional<QVariant>&,
                                const settings::InitValue& value) {
    const auto n = Whole(value);
    if (!n) return false;
    if (Is(name, "PosLeft"))
        posLeft = *n;
    else if (Is(name, "PosTop"))
        posTop = *n;
    else if (Is(name, "Width") && *n > 0)
        width = *n;
    else if (Is(name, "Height") && *n > 0)
        height = *n;
    else if (Is(name, "WindowState") && *n >= 0 && *n <= 2)
        windowState = *n;
    else
        return false;
    return true;
}

std::optional<settings::InitValue> frmtabgridOPC::GetProperty(const QString& name,
                                                              const std::optional<QVariant>&) const {
    if (Is(name, "PosLeft")) return static_cast<double>(posLeft);
    if (Is(name, "PosTop")) return static_cast<double>(posTop);
    if (Is(name, "Width")) return static_cast<double>(width);
    if (Is(name, "Height")) return static_cast<double>(height);
    if (Is(name, "WindowState")) return static_cast<double>(windowState);
    return std::nullopt;
}

}  // namespace ov::editor
