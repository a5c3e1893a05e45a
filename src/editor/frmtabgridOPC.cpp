#include "editor/frmtabgridOPC.h"

#include "platform/db/Cursor.h"

#include "editor/EditorMenus.h"
#include "editor/GridColumns.h"
#include "editor/ItemViewBuilder.h"
#include "editor/MenuSwitcher.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "host/ProjectTree.h"
#include "host/Rights.h"
#include "model/DataConnection.h"
#include "model/ProjectStatistics.h"
#include "platform/db/DbError.h"
#include "platform/system/Components.h"
#include "platform/system/IniFile.h"
#include "platform/system/SystemTools.h"
#include "platform/host/HelpViewer.h"
#include "platform/ui/Desktop.h"
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

bool IsNameField(const QString& field) {
    return field.compare(QStringLiteral("Name"), Qt::CaseInsensitive) == 0 ||
           field.compare(QStringLiteral("ItemAccess"), Qt::CaseInsensitive) == 0;
}

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

// The status bar as the settings address it ("sb.Visible").
class StatusBarProperties : public settings::PropertyObject {
  public:
    explicit StatusBarProperties(ui::StatusBar& bar) : m_bar(bar) {}
    bool SetProperty(const QString& name, const std::optional<QVariant>&,
                     const settings::InitValue& value) override {
        if (!Is(name, "Visible")) return false;
        if (const bool* b = std::get_if<bool>(&value)) {
            m_bar.visible = *b;
            return true;
        }
        return false;
    }
    std::optional<settings::InitValue> GetProperty(const QString& name,
                                                   const std::optional<QVariant>&) const override {
        if (Is(name, "Visible")) return m_bar.visible;
        return std::nullopt;
    }

  private:
    ui::StatusBar& m_bar;
};

QVariant FieldOf(db::Recordset& row, const char* field) {
    const int index = row.FieldIndex(QString::fromUtf8(field));
    return index < 0 ? QVariant() : row.Fields(index).Value();
}

// Gives true when a pending change was written.
bool SaveOrCancel(db::Recordset& rs) {
    if (rs.State() != db::ObjectState::Open || rs.GetEditMode() == db::EditMode::None) return false;
    try {
        rs.Update();
        return true;
    } catch (const db::DbError&) {
        rs.CancelUpdate();  // the stored values stay
        return false;
    }
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
    : m_session(session), m_sbProperties(std::make_unique<StatusBarProperties>(m_sb)) {
    RegisterObjectFunction(QStringLiteral("ExtrasFunc"), [this](int code) { return ExtrasFunc(code); });
    if (Units()) Units()(*this);
    // The catalogue is ready before any item is shown; this writes the
    // definition file when it has no sections yet.
    m_simulation.Initialize(sys::SystemTools::Instance().GetRegistry());
}

frmtabgridOPC::~frmtabgridOPC() = default;

void frmtabgridOPC::SetDataConnection(std::shared_ptr<model::DataConnection> data) {
    if (!data) {
        for (ui::GridModel* grid : {&m_tdbI, &m_tdbS, &m_tdbG, &m_tdbU}) grid->Bind(nullptr);
        m_simulationRows.Close();
        m_redundancyRows.Close();
    }
    m_data = std::move(data);
}

void frmtabgridOPC::OnDatabaseOpened() {
    m_indexTexts.Init(*m_data);
    LoadGroupList();
    // No message box: the notice stays in the status bar while the project is open.
    m_sb.SetNotice(kNetworkShareNotice, model::NetworkShareNotice(m_data->Connection()));
}

void frmtabgridOPC::OnDatabaseClosing() {
    m_sb.SetNotice(kNetworkShareNotice, QString());
    CommitGridEdits();
    for (ui::GridModel* grid : {&m_tdbI, &m_tdbS, &m_tdbG, &m_tdbU}) grid->Bind(nullptr);
    m_simulationRows.Close();
    m_redundancyRows.Close();
    m_indexTexts.Terminate();
}

void frmtabgridOPC::ReloadGroupNames() {
    if (!m_data) return;
    db::Recordset groups;
    groups.Open(QStringLiteral("SELECT Name FROM TpdbGroups"), m_data->Connection());
    m_names.NamesInGroup(groups, QStringLiteral("Grp"));
}

void frmtabgridOPC::RequeryGroups() {
    if (!m_data) return;
    db::Recordset& groups = m_data->Recordset(QStringLiteral("rstabOPCGroups"));
    SaveOrCancel(groups);
    try {
        groups.Close();
        groups.Open(QStringLiteral("SELECT * FROM TpdbGroups"), m_data->Connection());
    } catch (const db::DbError& e) {
        ReportError(1307, e.Description());
    }
    m_tdbG.ReBind();
    LoadGroupList();
}

void frmtabgridOPC::LoadGroupList() {
    m_groups.clear();
    if (!m_data) return;
    db::Recordset rs;
    rs.Open(QStringLiteral("SELECT ID, Name FROM TpdbGroups"), m_data->Connection());
    for (; !rs.IsEOF(); rs.MoveNext())
        m_groups.emplace_back(rs.Fields(0).Value().toInt(), rs.Fields(1).Value().toString());
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
    m_caption = Text(310) + m_session.ProjectFile();
    if (m_abr.Bands().empty()) BuildEditorMenus(m_abr);
    BuildFunctionToolbar(m_tbrfunc);
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
    m_sb.SetNotice(QStringLiteral("readOnly"), m_session.ReadOnlyNotice());
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
    m_currentNode.clear();
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

db::Recordset& frmtabgridOPC::ItemRecordset() {
    return m_data->Recordset(QStringLiteral("rsOPCItems"));
}

void frmtabgridOPC::BuildGrids() {
    db::Connection& connection = m_data->Connection();
    OpenItemRecordset(QStringLiteral("SELECT * FROM [TpdbItems] WHERE DeviceID = 0 AND 0 = 1"));
    db::Recordset& members = m_data->Recordset(QStringLiteral("rstabStructMembers"));
    members.Close();
    members.Open(QStringLiteral("SELECT * FROM [TpdbStructMembers] WHERE (ParentID = 0) ORDER BY ID"),
                 connection);
    db::Recordset& groups = m_data->Recordset(QStringLiteral("rstabOPCGroups"));
    groups.Close();
    groups.Open(QStringLiteral("SELECT * FROM TpdbGroups"), connection);
    db::Recordset& units = m_data->Recordset(QStringLiteral("rstabOPCUnits"));
    units.Close();
    units.Open(QStringLiteral("SELECT * FROM TpdbUnits WHERE ParentID =0"), connection);

    // The simulation and redundancy columns exist only where their tables do.
    try {
        m_simulationRows.Close();
        m_simulationRows.Open(QStringLiteral("TpdbSimulation"), connection, db::CommandType::TableDirect);
        m_simulationRows.SetIndex(QStringLiteral("ItemID"));
    } catch (const db::DbError&) {
        m_simulationRows.Close();
    }
    try {
        m_redundancyRows.Close();
        m_redundancyRows.Open(QStringLiteral("TpdbAlign"), connection, db::CommandType::TableDirect);
        m_redundancyRows.SetIndex(QStringLiteral("ItemID"));
    } catch (const db::DbError&) {
        m_redundancyRows.Close();
    }

    const ColumnSources sources{connection, m_types, m_simulation,
                                m_simulationRows.State() == db::ObjectState::Open,
                                m_redundancyRows.State() == db::ObjectState::Open};
    BuildItemColumns(m_tdbI, ItemRecordset().FieldNames(), sources);
    BuildMemberColumns(m_tdbS, members.FieldNames(), sources);
    BuildGroupColumns(m_tdbG, groups.FieldNames());
    BuildUnitColumns(m_tdbU, units.FieldNames());

    for (const char* grid : {"tdbI", "tdbS", "tdbG", "tdbU"})
        m_settings.SetInitToControl(QString::fromUtf8(grid), *this);
    const auto orders = [this](const char* key) {
        const auto value = m_settings.ReadAValueFromCInits(QString::fromUtf8(key));
        return value && std::holds_alternative<QString>(*value) ? std::get<QString>(*value) : QString();
    };
    ApplyColumnOrders(m_tdbI, orders("TDBIColOrders"), 1);
    ApplyColumnOrders(m_tdbS, orders("TDBSColOrders"), 1);
    ApplyColumnOrders(m_tdbG, orders("TDBGColOrders"), 1);
    ApplyColumnOrders(m_tdbU, orders("TDBUColOrders"), 1);
    ApplyIdentifyingView(m_tdbI, m_switchView);
    for (ui::GridModel* grid : {&m_tdbI, &m_tdbS, &m_tdbG}) {
        const auto fixed = grid->DisplayColumns(0);
        grid->split0Width = fixed.empty() ? 0 : grid->Column(fixed.front()).width;
    }

    m_tdbI.unboundColumnFetch = [this](db::Recordset& row, int column) {
        return FetchItemUnbound(row, column);
    };
    m_tdbI.formatText = [this](int, int column, const QVariant& value, QString& text) {
        if (m_tdbI.Column(column).dataField.compare(QStringLiteral("Options"), Qt::CaseInsensitive) == 0)
            text = OptionsText(value);
    };
    m_tdbI.afterColUpdate = [this](int column, const QVariant& value) { ItemColumnUpdated(column, value); };
    for (ui::GridModel* grid : {&m_tdbI, &m_tdbS, &m_tdbG, &m_tdbU})
        grid->error = [this, grid](int number, const QString& description, bool& handled) {
            handled = true;
            DataError(*grid, number, description);
        };
    m_tdbI.buttonClick = [this](int column) {
        const ui::GridColumn& c = m_tdbI.Column(column);
        if (c.caption == Text(unbound::kSimulationParameters))
            SimulationParametersButton();
        else if (c.dataField.compare(QStringLiteral("DefaultMode"), Qt::CaseInsensitive) == 0)
            NumberDialogButton(c.dataField, defaultModeDialog);
        else if (c.dataField.compare(QStringLiteral("Options"), Qt::CaseInsensitive) == 0)
            NumberDialogButton(c.dataField, itemOptionsDialog);
    };
    // These cells are set through their dialogs, never typed into.
    m_tdbI.beforeColEdit = [this](int column, bool& cancel) {
        const ui::GridColumn& c = m_tdbI.Column(column);
        if (c.dataField.compare(QStringLiteral("DefaultMode"), Qt::CaseInsensitive) == 0 ||
            c.dataField.compare(QStringLiteral("Options"), Qt::CaseInsensitive) == 0 ||
            c.caption == Text(unbound::kSimulationParameters)) {
            cancel = true;
            m_tdbI.ColumnButtonClicked(column);
        }
    };
    m_tdbI.keyDown = [this](int& keyCode, int shift) { ItemGridKeyDown(keyCode, shift); };
    m_tdbI.dblClick = [this] { RunItemCommand(QStringLiteral("mnuItemEdit")); };
    m_tdbI.fetchCellTips = [this](int row, int, QString& tip) { tip = GroupTip(row); };

    m_tdbI.helpContextId = settings::help::kItemGrid;
    m_tdbS.helpContextId = settings::help::kStructures;
    m_tdbG.helpContextId = settings::help::kGroups;
    m_tdbU.helpContextId = settings::help::kUnits;

    // Without the edit right nothing can be typed into any grid, from the
    // moment the right is gone; nor into a project opened for viewing.
    for (ui::GridModel* grid : {&m_tdbI, &m_tdbS, &m_tdbG, &m_tdbU})
        grid->mayEdit = [this] { return host::HasEditRight() && !m_session.IsReadOnly(); };

    // A right click on a grid offers the commands of its kind at the mouse.
    for (ui::GridModel* grid : {&m_tdbI, &m_tdbS, &m_tdbG, &m_tdbU}) {
        grid->mouseUp = [this, grid](int button, int, int x, int y) {
            if (button != 2) return;
            ComputeAvailability(m_currentNode, false);
            PopupBand(QString::fromUtf8(ContextBandOfGrid(grid->Name().toUtf8().constData())), x, y);
        };
    }
    m_groupGrid = std::make_unique<GroupGrid>(*this, m_tdbG);
    m_memberGrid = std::make_unique<MemberGrid>(*this, m_tdbS);
    m_unitGrid = std::make_unique<UnitGrid>(*this, m_tdbU);
    m_tdbI.Bind(&ItemRecordset());
    m_tdbS.Bind(&members);
    m_tdbG.Bind(&groups);
    m_tdbU.Bind(&units);
    m_gridsBuilt = true;
}

void frmtabgridOPC::FirstDisplay() {
    if (!m_data) return;
    BuildGrids();
    ComputeAvailability(nodekey::kRoot, false);
    SwitchGrids(nodekey::kRoot);
    m_currentNode = nodekey::kRoot;
    ShowItemView();
    MakeMyCaption(nodekey::kRoot);
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
    for (ui::GridModel* grid : {&m_tdbI, &m_tdbS, &m_tdbG, &m_tdbU})
        grid->visible = grid->Name() == m_frontGrid;
}

void frmtabgridOPC::Show() {
    m_visible = true;
    NotifyView();
}

void frmtabgridOPC::ShowNode(const QString& key) {
    const QString kind = nodekey::Kind(key);
    if (!m_gridsBuilt) return;
    ui::BusyCursor busy;
    Show();
    SwitchGrids(key);
    ComputeAvailability(key, false);
    if (kind == QStringLiteral("OPCU")) {
        db::Recordset& units = m_data->Recordset(QStringLiteral("rstabOPCUnits"));
        SaveOrCancel(units);
        m_currentNode = key;
        FormatUnitGrid();
        RequeryUnits();
    } else if (kind == QStringLiteral("OPCS")) {
        SaveOrCancel(m_data->Recordset(QStringLiteral("rstabStructMembers")));
        m_currentNode = key;
        RequeryStructMembers();
    } else {
        CommitGridEdits();
        m_currentNode = key;
        ShowItemView();
        // The groups as the database has them now, other programs' changes included.
        if (key == nodekey::kGroups) {
            RequeryGroups();
            ReloadGroupNames();
        }
    }
    MakeMyCaption(key);
    NotifyView();
}

void frmtabgridOPC::OpenItemRecordset(const QString& sql) {
    // Opened aside first: a failing statement leaves the grid as it was.
    db::Recordset fresh;
    fresh.Open(sql, m_data->Connection());
    db::Recordset& items = ItemRecordset();
    items.Close();
    items = std::move(fresh);
    if (!items.IsEOF()) items.MoveFirst();
}

void frmtabgridOPC::ShowDeviceNameColumn(bool shown) {
    const int index = m_tdbI.ColumnIndexInSplit(QStringLiteral("DeviceName"), 1);
    if (shown && index < 0) {
        const int identifying = m_tdbI.ColumnIndexInSplit(FieldNameFromSwitchView(), 1);
        ui::GridColumn& column = m_tdbI.AddColumn(QStringLiteral("DeviceName"), QStringLiteral("Kanal"), 1);
        column.locked = true;
        column.visible = true;
        column.width = identifying >= 0 ? m_tdbI.Column(identifying).width / 2 : 1000;
    } else if (!shown && index >= 0) {
        m_tdbI.RemoveColumn(index);
    }
}

bool frmtabgridOPC::ShowItemView(ViewErrors errors) {
    if (!m_data) return false;
    const QString kind = nodekey::Kind(m_currentNode);
    const bool groupNode = kind == QStringLiteral("OPCG");
    const ItemViewBuilder::SortCaptions captions{Text(unbound::kDataType), Text(unbound::kSimulationFunction),
                                                 Text(unbound::kSimulationParameters),
                                                 Text(unbound::kRedundancy)};
    const QString sort = ItemViewBuilder::SortClause(m_sortField, groupNode, captions);
    const QString field = FieldNameFromSwitchView();
    db::Connection& connection = m_data->Connection();
    const auto topFolders = [&](int deviceId, const QString& separator) -> std::optional<QStringList> {
        try {
            return ItemViewBuilder::TopFolders(connection, deviceId, field, separator);
        } catch (const db::DbError&) {
            return std::nullopt;  // the plain reading of the device then
        }
    };
    const ItemView view = ItemViewBuilder::ForNode(m_currentNode, field, sort, topFolders);
    try {
        OpenItemRecordset(view.sql);
    } catch (const db::DbError& e) {
        if (errors == ViewErrors::Reported) ReportError(1307, e.Description());
        return false;
    }
    if (view.groupView) {
        ShowDeviceNameColumn(true);
    } else {
        ShowDeviceNameColumn(false);
        for (int split : {0, 1}) {
            const int index = m_tdbI.ColumnIndexInSplit(QStringLiteral("ItemAccess"), split);
            if (index >= 0) m_tdbI.Column(index).caption = Text(view.itemAccessCaption);
        }
    }
    m_tdbI.Bind(&ItemRecordset());
    return true;
}

void frmtabgridOPC::RequeryStructMembers() {
    db::Recordset& members = m_data->Recordset(QStringLiteral("rstabStructMembers"));
    const QString sort = m_memberGrid && !m_memberGrid->SortField().isEmpty() ? m_memberGrid->SortField() : QStringLiteral("ID");
    try {
        members.Close();
        members.Open(QStringLiteral("Select * FROM [TpdbStructMembers] WHERE (ParentID = %1) ORDER BY %2")
                         .arg(std::max(nodekey::NodeId(m_currentNode), 0))
                         .arg(sort),
                     m_data->Connection());
    } catch (const db::DbError& e) {
        ReportError(1307, e.Description());
    }
    m_tdbS.ReBind();
}

void frmtabgridOPC::RequeryUnits() {
    db::Recordset& units = m_data->Recordset(QStringLiteral("rstabOPCUnits"));
    try {
        units.Close();
        units.Open(QStringLiteral("SELECT * FROM TpdbUnits WHERE ParentID =%1").arg(std::max(nodekey::NodeId(m_currentNode), 0)),
                   m_data->Connection());
    } catch (const db::DbError& e) {
        ReportError(1307, e.Description());
    }
    m_tdbU.ReBind();
}

void frmtabgridOPC::RebuildTypeLists() {
    if (!m_data || !m_gridsBuilt) return;
    RefreshStructureColumns(m_tdbI, unbound::kDataType, false, m_types, m_data->Connection());
    RefreshStructureColumns(m_tdbS, unbound::kMemberDataType, true, m_types, m_data->Connection());
    m_tdbI.Refresh();
    m_tdbS.Refresh();
}

void frmtabgridOPC::RebuildUnitClassLists() {
    if (!m_data || !m_gridsBuilt) return;
    RefreshUnitClassColumns(m_tdbI, m_data->Connection());
    RefreshUnitClassColumns(m_tdbS, m_data->Connection());
    m_tdbI.Refresh();
    m_tdbS.Refresh();
}

void frmtabgridOPC::FormatUnitGrid() {
    std::vector<int> lcids;
    for (const auto& language : m_languages.Items()) lcids.push_back(language.lcid);
    editor::FormatUnitGrid(m_tdbU, nodekey::SecondField(m_currentNode) == QStringLiteral("P"), lcids);
}

void frmtabgridOPC::MakeMyCaption(const QString& key) {
    QString caption = Text(310);
    const QString kind = nodekey::Kind(key);
    const auto nodeText = [this](const QString& nodeKey) {
        QVariant text;
        if (m_session.Host() && m_session.Host()->GetNodeProperty(nodeKey, host::kPropertyText, text) == 0)
            return text.toString();
        return QString();
    };
    if (kind == QStringLiteral("OPCD") && nodekey::NodeId(key) == 0)
        caption += Text(315);
    else if (kind == QStringLiteral("OPCD"))
        caption += Text(311) + nodeText(nodekey::DeviceKeyOf(key));
    else if (kind == QStringLiteral("OPCG"))
        caption += Text(312) + nodeText(key);
    else if (kind == QStringLiteral("OPCS"))
        caption += Text(313) + nodeText(key);
    else if (kind == QStringLiteral("OPCU"))
        caption += Text(314) + nodeText(key);
    m_caption = caption;
}

void frmtabgridOPC::UpdateStatusCounters(const QString& functionText, CounterMode mode,
                                         std::array<int, 7>& counters) {
    switch (mode) {
        case CounterMode::Add:
            for (std::size_t i = 0; i < 7; ++i) m_counters[i] += counters[i];
            break;
        case CounterMode::Reset:
            m_counters.fill(0);
            break;
        case CounterMode::Set:
            m_counters = counters;
            break;
        case CounterMode::Get:
            counters = m_counters;
            break;
    }
    m_functionText = functionText;
    m_sb.SetPanelText(1, Text(301) + m_functionText);
    for (int i = 0; i < 7; ++i)
        m_sb.SetPanelText(i + 2,
                          Text(302 + i) + u' ' + QString::number(m_counters[static_cast<std::size_t>(i)]));
    NotifyView();
}

int frmtabgridOPC::GetRecordCount(db::Recordset& recordset) {
    return recordset.RecordCount();
}

int frmtabgridOPC::SplitWidthFromBar(int barLeft, int gridLeft, int gridWidth) {
    return std::max(0, std::min(barLeft - gridLeft - 30, gridWidth - 60));
}

void frmtabgridOPC::CommitGridEdits() {
    for (ui::GridModel* grid : {&m_tdbI, &m_tdbS, &m_tdbU, &m_tdbG}) {
        db::Recordset* rs = grid->Recordset();
        grid->dataChanged = false;
        if (grid->EditActive()) grid->CancelEdit();
        if (rs && SaveOrCancel(*rs) && grid->rowWritten) grid->rowWritten();
    }
}

void frmtabgridOPC::ComputeAvailability(const QString& key, bool fromTree) {
    MenuFacts f;
    f.kind = nodekey::Kind(key);
    f.id = nodekey::NodeId(key);
    f.branch = key.contains(nodekey::kSeparator) ? nodekey::SecondField(key) : QString();
    f.nodeItself = f.kind != QStringLiteral("OPCD") || nodekey::IsDeviceNode(key);
    f.groupDevice = f.kind == QStringLiteral("OPCG") && nodekey::SubId(key) >= 0;
    if (m_data && f.kind == QStringLiteral("OPCD")) {
        try {
            db::Recordset device;
            device.Open(
                QStringLiteral("SELECT CreateItems, BlobMode, ProgIDConfigTool FROM TpdbDevices WHERE ID =%1")
                    .arg(f.id),
                m_data->Connection());
            if (!device.IsEOF()) {
                const int blobMode = device.Fields(1).Value().toInt();
                f.mayCreateItems = device.Fields(0).Value().toBool();
                f.notBlob = blobMode != 3;
                f.configurable = blobMode == 3 || !device.Fields(2).Value().toString().isEmpty();
            }
            db::Recordset drivers;
            drivers.Open(QStringLiteral("SELECT ID FROM TpdbDevices WHERE BlobMode = 3"),
                         m_data->Connection());
            f.ownDriverDevices = drivers.RecordCount();
        } catch (const db::DbError&) {
            // Without the device's facts only the tools without device conditions remain.
        }
    }
    const auto current = [](const ui::GridModel& grid) {
        return grid.CurrentRow() >= 0 && grid.RowCount() > 0;
    };
    f.itemRows = !m_tdbI.SelectedBookmarks().empty();
    f.itemCurrent = current(m_tdbI);
    f.memberRows = !m_tdbS.SelectedBookmarks().empty();
    f.memberCurrent = current(m_tdbS);
    f.unitRows = !m_tdbU.SelectedBookmarks().empty();
    f.unitCurrent = current(m_tdbU);
    f.itemBuffer = itemBufferFilled;
    f.memberBuffer = !memberBuffer.empty();
    f.fromTree = fromTree;
    f.edit = host::HasEditRight();
    f.create = host::HasCreateRight();
    f.remove = host::HasDeleteRight();
    f.readOnly = m_session.IsReadOnly();
    if (ui::Tool* wizard = m_tbrfunc.FindTool(QStringLiteral("GroupWizzard"))) wizard->enabled = !f.readOnly;
    if (fromTree != m_lastFromTree) {
        SetShowEditorTools(m_abr, fromTree);
        m_lastFromTree = fromTree;
    }
    ApplyAvailability(m_abr, f);
    ShowUndoTools();
}

void frmtabgridOPC::ShowUndoTools() {
    const model::UndoHistory& history = m_session.History();
    const auto show = [this](const char* tool, const QStringList& names, int named, int plain) {
        if (ui::Tool* entry = m_abr.FindTool(QString::fromUtf8(tool))) {
            entry->caption = names.isEmpty() ? Text(plain) : Text(named).replace(QStringLiteral("<c>"), names.front());
            entry->enabled = !names.isEmpty() && host::HasEditRight() && !m_session.IsReadOnly();
        }
    };
    show("mnuEditUndo", history.UndoNames(), 9190, 9192);
    show("mnuEditRedo", history.RedoNames(), 9191, 9193);
}

bool frmtabgridOPC::IsToolEnabled(const QString& tool) const {
    return m_abr.IsEnabled(tool);
}

void frmtabgridOPC::RegisterObjectFunction(const QString& name, ObjectFunction function) {
    m_functions[name] = std::move(function);
}

std::pair<QString, int> frmtabgridOPC::DispatchOf(const QString& tool) {
    struct Row {
        const char* function;
        std::initializer_list<const char*> tools;
        std::initializer_list<int> codes;
    };
    static const Row rows[] = {
        {"mnuDeviceFunc",
         {"mnuDeviceNew", "mnuDeviceNewOV32Driver", "mnuDeviceEdit", "mnuDeviceDelete", "mnuDeviceConfig",
          "mnuDeviceHelperItemsBrowse", "mnuDeviceHelperItemRename", "mnuDeviceHelperItemsCopy",
          "mnuDeviceHelperItemsPaste", "mnuDeviceHelperItemsDelete"},
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"mnuGroupFunc", {"mnuGroupNew", "mnuGroupEdit", "mnuGroupDelete"}, {0, 1, 2}},
        {"mnuItemFunc",
         {"mnuItemNew", "mnuItemEdit", "mnuItemCopy", "mnuItemPaste", "mnuItemDelete", "mnuItemNewOVOPC"},
         {0, 1, 2, 3, 4, 5}},
        {"mnuStructureFunc", {"mnuStructureNew", "mnuStructureEdit", "mnuStructureDelete"}, {0, 1, 2}},
        {"mnuStructMemberFunc",
         {"mnuStructMemberNew", "mnuStructMemberEdit", "mnuStructMemberDelete", "mnuStructMemberCopy",
          "mnuStructMemberPaste"},
         {0, 1, 2, 3, 4}},
        {"mnuUnitClassFunc",
         {"mnuUnitClassNew", "mnuUnitClassViewNew", "mnuUnitClassEdit", "mnuUnitClassDelete"},
         {0, 1, 2, 3}},
        {"mnuUnitFunc", {"mnuUnitNew", "mnuUnitEdit", "mnuUnitDelete"}, {0, 1, 2}},
        {"ExtrasFunc",
         {"mnuOptionStatistik", "mnuOptionActualize", "mnuOptionExport", "mnuOptionImport", "mnuOptionOption",
          "mnuOptionReport", "mnuOptionConfiguration"},
         {0, 2, 4, 5, 6, 7, 8}},
    };
    for (const Row& row : rows) {
        const int* code = row.codes.begin();
        for (const char* name : row.tools) {
            if (tool.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return {QString::fromUtf8(row.function), *code};
            ++code;
        }
    }
    return {};
}

void frmtabgridOPC::ClickTool(const QString& tool) {
    ui::RunGuarded([&] {
        if (!m_abr.IsEnabled(tool)) {
            ui::Beep();
            return;
        }
        if (tool.compare(QStringLiteral("mnuShowEditor"), Qt::CaseInsensitive) == 0) {
            Show();
            return;
        }
        if (tool.compare(QStringLiteral("mnuEditUndo"), Qt::CaseInsensitive) == 0 ||
            tool.compare(QStringLiteral("mnuEditRedo"), Qt::CaseInsensitive) == 0) {
            // A typed value not yet saved is a step of its own, taken back first.
            CommitGridEdits();
            const bool redo = tool.compare(QStringLiteral("mnuEditRedo"), Qt::CaseInsensitive) == 0;
            if (!(redo ? m_session.Redo() : m_session.Undo())) ui::Beep();
            return;
        }
        const auto [function, code] = DispatchOf(tool);
        if (function.isEmpty()) return;  // headings and separators
        // A project opened for viewing shows the dialogs of the commands left
        // to it (the edit commands' among them), but none of them confirms.
        // Only an export writes, to a file of the person's choosing.
        std::optional<ui::ViewOnlyScope> viewing;
        if (m_session.IsReadOnly() && tool.compare(QStringLiteral("mnuOptionExport"), Qt::CaseInsensitive) != 0)
            viewing.emplace();
        // Whatever the command commits is one step of the undo history, named after it.
        const ui::Tool* entry = m_abr.FindTool(tool);
        model::UndoHistory::Command step(&m_session.History(), entry ? entry->caption : tool);
        // The device menu's item commands (codes 6 to 9) are the items' branch-wide commands.
        const bool done = function == QStringLiteral("mnuDeviceFunc") && code >= 6
                              ? RunObjectFunction(QStringLiteral("mnuItemHelperFunc"), code - 6)
                              : RunObjectFunction(function, code);
        // A command without a function does what a disabled one does.
        if (!done) ui::Beep();
    });
}

void frmtabgridOPC::FunctionToolClick(const QString& tool) {
    ui::RunGuarded([&] {
        if (tool.compare(QStringLiteral("GroupWizzard"), Qt::CaseInsensitive) != 0 || !m_gridsBuilt ||
            m_session.IsReadOnly()) {
            ui::Beep();
            return;
        }
        // The selected items, in the order they were selected.
        std::vector<int> ids;
        if (host::HasEditRight()) {
            const int idColumn = m_tdbI.ColumnIndex(QStringLiteral("ID"));
            for (const auto bookmark : m_tdbI.SelectedBookmarks())
                if (const QVariant id = m_tdbI.CellValue(m_tdbI.RowOfBookmark(bookmark), idColumn); !id.isNull())
                    ids.push_back(id.toInt());
        }
        if (ids.empty() || !groupWizard) {
            ui::Beep();
            return;
        }
        const ui::Tool* entry = m_tbrfunc.FindTool(tool);
        model::UndoHistory::Command step(&m_session.History(), entry ? entry->caption : tool);
        if (groupWizard(ids)) {
            ShowItemView();
            NotifyView();
        }
    });
}

bool frmtabgridOPC::RunObjectFunction(const QString& name, int code) {
    const auto it = m_functions.find(name);
    if (it == m_functions.end()) return false;
    return it->second(code);
}

bool frmtabgridOPC::ExtrasFunc(int code) {
    switch (code) {
        case 0: {  // Statistic
            ui::BusyCursor busy;
            std::array<int, 7> counts{};
            const char* tables[] = {"TpdbDevices", "TpdbGroups",     "TpdbItems",        "TpdbUnitClasses",
                                    "TpdbUnits",   "TpdbStructDefs", "TpdbStructMembers"};
            try {
                // The database counts; no row needs to be read for it.
                for (std::size_t i = 0; i < counts.size(); ++i) {
                    db::Cursor count(m_data->Connection(), QStringLiteral("SELECT Count(*) FROM ") + QString::fromUtf8(tables[i]));
                    counts[i] = count.Next() ? count.Value(0).toInt() : 0;
                }
            } catch (const db::DbError& e) {
                // Another program may hold the database: the counters stay as they were.
                ReportDbError(e);
                return true;
            }
            UpdateStatusCounters(QStringLiteral("Statistik"), CounterMode::Set, counts);
            return true;
        }
        case 2:  // Refresh View
            m_session.Reload();
            return true;
        case 7:
        case 8: {  // Report, runtime configuration: programs of their own
            const QString progId = code == 7 ? QStringLiteral("OVProjectReport.Connect")
                                             : QStringLiteral("RuntimeConfig.Connect");
            QString error;
            auto component = sys::ComponentRegistry::Instance().Create(progId, &error);
            const QVariantList arguments =
                code == 7 ? QVariantList{QStringLiteral("OVPdb"), m_session.ProjectArgument(),
                                         m_session.ProjectFile()}
                          : QVariantList{m_session.ProjectArgument(), m_session.ProjectFile()};
            sys::CallError failed;
            if (component && !component->Invoke(QStringLiteral("Show"), arguments, nullptr, &failed))
                error = failed.description;
            if (!error.isEmpty()) ui::ShowMessage(error, Text(310), ui::Buttons::OK, 0, ui::Icon::Critical);
            return true;
        }
        default:
            return RunObjectFunction(QStringLiteral("ExtrasFunc.Tools"), code);
    }
}

bool frmtabgridOPC::PopupBand(const QString& band, int x, int y) {
    if (!m_abr.CheckMenuForFunctionality(band)) return false;
    m_abr.ShowShortcuts(true);
    const auto chosen = ui::CurrentPopups().Popup(m_abr, band, x, y);
    m_abr.ShowShortcuts(false);
    if (chosen) ClickTool(*chosen);
    return true;
}

void frmtabgridOPC::ShowHelp(const QString& gridName) {
    ui::RunGuarded([&] {
        // In a grid its own topic; elsewhere in the window the topic of the node it shows.
        if (!gridName.isEmpty()) {
            host::ShowContextHelp(Grid(gridName).helpContextId);
            return;
        }
        m_session.ShowHelp(m_currentNode.isEmpty() ? settings::help::kEditor : nodekey::HelpTopic(m_currentNode));
    });
}

void frmtabgridOPC::FocusGrid(const QString& gridName) {
    m_focusedGrid = gridName;
    if (m_view) m_view->FocusGrid(gridName);
}

void frmtabgridOPC::OnActivate(bool active) {
    // The editor's own boxes take the focus and give it back: no reason to
    // write pending edits behind the person's back or to read the view again.
    if (!m_gridsBuilt || DialogOpen()) return;
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

bool frmtabgridOPC::ShowItemViewKeepingCurrent(int column, ViewErrors errors) {
    const auto bookmark = m_tdbI.RowBookmark(m_tdbI.CurrentRow());
    if (!ShowItemView(errors)) return false;
    if (bookmark) {
        const int row = m_tdbI.RowOfBookmark(*bookmark);
        if (row >= 0) m_tdbI.SetCurrentCell(row, column);
    }
    return true;
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

void frmtabgridOPC::LanguageSelected() {
    ui::RunGuarded([this] { ShowLanguage(); });
}

void frmtabgridOPC::ShowLanguage() {
    m_languages.SelectorChanged(m_cmbLanguage);
    const QString kind = nodekey::Kind(m_currentNode);
    if (kind == QStringLiteral("OPCD") || kind == QStringLiteral("OPCG"))
        m_tdbI.ReBind();
    else if (kind == QStringLiteral("OPCS"))
        m_tdbS.ReBind();
    NotifyView();
}

QVariant frmtabgridOPC::FetchItemUnbound(db::Recordset& row, int column) {
    const QString caption = m_tdbI.Column(column).caption;
    if (caption == Text(unbound::kDataType))
        return model::CVT_Types::CombinedCode(FieldOf(row, "DataType").toInt(),
                                              FieldOf(row, "StructID").toInt());
    const QVariant id = FieldOf(row, "ID");
    if (caption == Text(unbound::kSimulationFunction) || caption == Text(unbound::kSimulationParameters)) {
        if (m_simulationRows.State() != db::ObjectState::Open || !m_simulationRows.Seek({id}))
            return QString();
        return m_simulationRows.Value(caption == Text(unbound::kSimulationFunction)
                                          ? QStringLiteral("SimulationFunction")
                                          : QStringLiteral("SimulationParameters"));
    }
    if (caption == Text(unbound::kRedundancy))
        return m_redundancyRows.State() == db::ObjectState::Open && m_redundancyRows.Seek({id});
    if (caption == Text(unbound::kIndexText))
        return m_indexTexts.GetItemText(FieldOf(row, "TextID"), m_languages.CurrentLCID());
    return QVariant();
}

bool frmtabgridOPC::WriteRowAtOnce(ui::GridModel& grid) {
    db::Recordset* rs = grid.Recordset();
    grid.dataChanged = false;
    if (!rs || rs->GetEditMode() == db::EditMode::None) return true;
    try {
        rs->Update();
        return true;
    } catch (const db::DbError& e) {
        rs->CancelUpdate();
        if (e.IsUniqueViolation()) {
            ui::ShowMessage(Text(405), Text(310), ui::Buttons::OK, 0, ui::Icon::Warning);
            rs->Resync();
            grid.ReBind();
        } else {
            DataError(grid, ui::GridModel::kErrorWriteFailed, e.Description());
        }
        return false;
    }
}

void frmtabgridOPC::DataError(ui::GridModel& grid, int number, const QString& description) {
    QString text = Text(407);
    text.replace(QStringLiteral("<DataError>"), QString::number(number));
    // The database's own words say what went wrong; they follow the message.
    if (!description.isEmpty()) text += QStringLiteral("\n\n") + description;
    ui::ShowMessage(text, Text(310), ui::Buttons::OK, 0, ui::Icon::Warning);
    // A name or switch value another row has already: say so in the user's words.
    if (m_data) {
        db::Connection& connection = m_data->Connection();
        const auto& errors = connection.Errors();
        if (!errors.empty() && db::DbError(errors.back()).IsUniqueViolation())
            ui::ShowMessage(Text(405), Text(310), ui::Buttons::OK, 0, ui::Icon::Warning);
        connection.ClearErrors();
    }
    // The stored values come back; the grid keeps its place.
    const int row = grid.CurrentRow(), column = grid.CurrentColumn();
    grid.CancelEdit();
    grid.dataChanged = false;
    if (db::Recordset* rs = grid.Recordset()) {
        rs->CancelUpdate();
        rs->Resync();
    }
    grid.ReBind();
    if (row >= 0) grid.SetCurrentCell(row, column);
    // A refused rename leaves the group names as the database has them.
    if (&grid == &m_tdbG) {
        try {
            ReloadGroupNames();
        } catch (const db::DbError& e) {
            ReportDbError(e);
        }
    }
}

void frmtabgridOPC::RunItemCommand(const QString& tool) {
    RunCommandFor(m_currentNode, tool);
}

void frmtabgridOPC::RunGridCommand(const QString& tool) {
    ComputeAvailability(m_currentNode, false);
    if (m_abr.IsEnabled(tool))
        ClickTool(tool);
    else
        ui::Beep();
}

void frmtabgridOPC::ExtendRowSelection(ui::GridModel& grid, int keyCode, bool& selecting) {
    std::vector<int> rows;
    for (const auto bookmark : grid.SelectedBookmarks()) rows.push_back(grid.RowOfBookmark(bookmark));
    if (std::find(rows.begin(), rows.end(), grid.CurrentRow()) == rows.end()) rows.push_back(grid.CurrentRow());
    grid.SelectRows(rows);
    if (!selecting) {
        selecting = true;
        return;
    }
    const int next = grid.CurrentRow() + (keyCode == host::keys::kUp ? -1 : 1);
    if (next >= 0 && next < grid.RowCount()) grid.SetCurrentCell(next, grid.CurrentColumn());
}

void frmtabgridOPC::RunCommandFor(const QString& key, const QString& tool) {
    ComputeAvailability(key, false);
    if (m_abr.IsEnabled(tool)) ClickTool(tool);
}

void frmtabgridOPC::MoveToNextColumn(ui::GridModel& grid, int direction) {
    std::vector<int> order = grid.DisplayColumns(0);
    const std::vector<int> scrolling = grid.DisplayColumns(1);
    order.insert(order.end(), scrolling.begin(), scrolling.end());
    const auto at = std::find(order.begin(), order.end(), grid.CurrentColumn());
    if (at == order.end()) return;
    const auto index = at - order.begin() + direction;
    if (index < 0 || index >= static_cast<qsizetype>(order.size())) return;
    grid.SetCurrentCell(grid.CurrentRow(), order[static_cast<std::size_t>(index)]);
}

void frmtabgridOPC::ItemGridKeyDown(int& keyCode, int shift) {
    using namespace host::keys;
    const bool ctrl = shift == kCtrl, plain = shift == 0, alt = shift == kAlt, shifted = shift == kShift;
    ui::GridModel& grid = m_tdbI;
    if (plain && keyCode == kF8) {
        RunItemCommand(QStringLiteral("mnuItemNew"));
    } else if (plain && keyCode == kF9) {
        RunItemCommand(QStringLiteral("mnuItemEdit"));
    } else if (shifted && (keyCode == 38 || keyCode == 40)) {
        // The row joins the selection and the cursor moves on.
        std::vector<int> rows;
        for (const auto bookmark : grid.SelectedBookmarks()) rows.push_back(grid.RowOfBookmark(bookmark));
        if (std::find(rows.begin(), rows.end(), grid.CurrentRow()) == rows.end())
            rows.push_back(grid.CurrentRow());
        grid.SelectRows(rows);
        const int next = grid.CurrentRow() + (keyCode == 38 ? -1 : 1);
        if (next >= 0 && next < grid.RowCount()) grid.SetCurrentCell(next, grid.CurrentColumn());
        keyCode = 0;
    } else if (shifted && (keyCode == 37 || keyCode == 39)) {
        if (!grid.SelectedBookmarks().empty()) {
            MoveToNextColumn(grid, keyCode == 37 ? -1 : 1);
            keyCode = 0;
        }
    } else if (ctrl && keyCode == kC) {
        if (grid.SelectedBookmarks().empty())
            itemBufferFilled = false;
        else
            RunItemCommand(QStringLiteral("mnuItemCopy"));
    } else if (ctrl && keyCode == kV) {
        if (itemBufferFilled) RunItemCommand(QStringLiteral("mnuItemPaste"));
    } else if (ctrl && keyCode == kDelete) {
        RunItemCommand(QStringLiteral("mnuItemDelete"));
        keyCode = 0;
    } else if (ctrl && (keyCode == 33 || keyCode == 34)) {
        if (grid.RowCount() > 0)
            grid.SetCurrentCell(keyCode == 33 ? 0 : grid.RowCount() - 1, std::max(grid.CurrentColumn(), 0));
    } else if (ctrl && keyCode == kO) {
        // Sort by the current column, or back to the stored order; the same item stays current.
        if (grid.CurrentColumn() < 0) return;
        const ui::GridColumn& c = grid.Column(grid.CurrentColumn());
        const QString field = c.IsBound() ? c.dataField : c.caption;
        const QString previous = m_sortField;
        m_sortField = m_sortField == field ? QString() : field;
        // A column the database cannot order by (an index text, say) is
        // refused; the view and the stored sort stay as they were.
        if (!ShowItemViewKeepingCurrent(grid.CurrentColumn(), ViewErrors::Quiet)) {
            m_sortField = previous;
            ui::Beep();
        }
        NotifyView();
    } else if (alt && keyCode == kF6) {
        if (m_session.Host()) m_session.Host()->FocusProjectTree();
        keyCode = 0;
    } else if (alt && (keyCode == 37 || keyCode == 39)) {
        keyCode = 0;
    }
}

QString frmtabgridOPC::GroupTip(int row) {
    if (row < 0 || !m_data) return QString();
    const int itemColumn = m_tdbI.ColumnIndexInSplit(QStringLiteral("ID"), 1);
    const QVariant id = m_tdbI.CellValue(row, itemColumn);
    if (id.isNull()) return QString();
    db::Recordset& connections = m_data->Connections();
    if (connections.State() != db::ObjectState::Open) return QString();
    QString tip;
    for (const auto& [groupId, name] : m_groups)
        if (connections.Seek({groupId, id})) tip += QStringLiteral("\r\n") + name;
    return tip.isEmpty() ? QString() : QStringLiteral("GRUPPEN:") + tip;
}

void frmtabgridOPC::NumberDialogButton(const QString& field, const std::function<bool(int&)>& dialog) {
    db::Recordset& rs = ItemRecordset();
    if (!dialog || rs.IsEOF() || rs.IsBOF()) return;
    int value = rs.Value(field).toInt();
    // A locked grid shows the value in its dialog, which cannot confirm then.
    std::optional<ui::ViewOnlyScope> viewing;
    if (m_tdbI.AllLocked()) viewing.emplace();
    if (!dialog(value)) return;
    // The chosen value is an edit of the cell like a typed one: it goes to
    // every selected row as well.
    WriteItemValue(m_tdbI.ColumnIndexInSplit(field, 1), value);
}

void frmtabgridOPC::ItemColumnUpdated(int column, const QVariant& value) {
    const ui::GridColumn& c = m_tdbI.Column(column);
    if (IsNameField(c.dataField) && value.toString().trimmed().isEmpty()) {
        // An item without a name could never be found again in the tree.
        ItemRecordset().CancelUpdate();
        m_tdbI.dataChanged = false;
        ui::ShowMessage(Text(406), Text(310), ui::Buttons::OK, 0, ui::Icon::Warning);
        m_tdbI.ReBind();
        return;
    }
    WriteItemValue(column, value);
}

void frmtabgridOPC::SetItemCell(db::Recordset& rs, const ui::GridColumn& column, const QVariant& value) {
    if (!column.IsBound()) {
        WriteUnboundItemCell(column.caption, value);
        return;
    }
    rs.SetValue(column.dataField, value);
    if (column.dataField.compare(QStringLiteral("FieldSize"), Qt::CaseInsensitive) == 0 && value.toInt() != 0) {
        rs.SetValue(QStringLiteral("WriteThru"), true);
    } else if (column.dataField.compare(QStringLiteral("ItemAccess"), Qt::CaseInsensitive) == 0 && !m_switchView) {
        // In the item-access view the name is the item access.
        rs.SetValue(QStringLiteral("Name"), value);
    }
}

std::vector<db::Recordset::Bookmark> frmtabgridOPC::OtherSelectedItems(const ui::GridColumn& column) {
    std::vector<db::Recordset::Bookmark> others;
    // Names identify an item; they are never copied to other rows.
    if (IsNameField(column.dataField)) return others;
    const int row = m_tdbI.CurrentRow();
    const auto current = m_tdbI.RowBookmark(row);
    // Parameters go only to items simulated by the same function.
    const int function = column.IsBound() || column.caption != Text(unbound::kSimulationParameters)
                             ? -1
                             : m_tdbI.ColumnIndex(Text(unbound::kSimulationFunction));
    const QVariant currentFunction = function >= 0 ? m_tdbI.CellValue(row, function) : QVariant();
    for (const auto bookmark : m_tdbI.SelectedBookmarks()) {
        if (current && bookmark == *current) continue;
        if (function >= 0 &&
            m_tdbI.CellValue(m_tdbI.RowOfBookmark(bookmark), function).toString() != currentFunction.toString())
            continue;
        others.push_back(bookmark);
    }
    return others;
}

void frmtabgridOPC::WriteItemValue(int column, const QVariant& value) {
    if (column < 0) return;
    db::Recordset& rs = ItemRecordset();
    const ui::GridColumn& c = m_tdbI.Column(column);
    const std::vector<db::Recordset::Bookmark> others = OtherSelectedItems(c);
    if (!others.empty()) {
        WriteItemValueToRows(c, value, others);
        return;
    }
    const QString identifying = FieldNameFromSwitchView();
    const QString oldPath = rs.GetEditMode() == db::EditMode::InProgress
                                ? rs.Fields(identifying).OriginalValue().toString()
                                : rs.Value(identifying).toString();
    try {
        SetItemCell(rs, c, value);
    } catch (const db::DbError& e) {
        CancelUnboundEdits();
        DataError(m_tdbI, ui::GridModel::kErrorWriteFailed, e.Description());
        return;
    }
    const QString newPath =
        rs.GetEditMode() == db::EditMode::InProgress ? rs.Fields(identifying).Value().toString() : oldPath;
    if (!WriteRowAtOnce(m_tdbI)) return;
    if (oldPath != newPath && m_session.Tree() && host::ProjectTree::MaintainsBranches(m_currentNode))
        m_session.Tree()->ItemPathChanged(nodekey::DeviceKeyOf(m_currentNode), oldPath, newPath);
    m_tdbI.Refresh();
}

void frmtabgridOPC::WriteItemValueToRows(const ui::GridColumn& column, const QVariant& value,
                                         const std::vector<db::Recordset::Bookmark>& others) {
    // The current row and every other selected row take the value by the same
    // rules, in one transaction: all of them, or none.
    ui::BusyCursor busy;
    db::Recordset& rs = ItemRecordset();
    const auto current = m_tdbI.RowBookmark(m_tdbI.CurrentRow());
    db::Connection& connection = m_data->Connection();
    const auto backToCurrent = [&] {
        if (current) rs.SetBookmark(*current);
    };
    try {
        connection.BeginTrans();
        try {
            SetItemCell(rs, column, value);
            rs.Update();
            for (const auto bookmark : others) {
                rs.SetBookmark(bookmark);
                SetItemCell(rs, column, value);
                rs.Update();
            }
            connection.CommitTrans();
        } catch (...) {
            rs.CancelUpdate();
            CancelUnboundEdits();
            connection.RollbackTrans();
            throw;
        }
    } catch (const db::DbError& e) {
        // Not even begun (another program holds the database) or rolled back:
        // the typed value goes as well, then the grid goes back to its row.
        rs.CancelUpdate();
        CancelUnboundEdits();
        backToCurrent();
        DataError(m_tdbI, ui::GridModel::kErrorWriteFailed, e.Description());
        return;
    }
    m_tdbI.dataChanged = false;
    backToCurrent();
    m_tdbI.Refresh();
}

void frmtabgridOPC::CancelPendingItemEdits() {
    m_tdbI.CancelEdit();
    m_tdbI.dataChanged = false;
    if (m_data) ItemRecordset().CancelUpdate();
    CancelUnboundEdits();
}

void frmtabgridOPC::CancelUnboundEdits() {
    for (db::Recordset* companion : {&m_simulationRows, &m_redundancyRows})
        if (companion->State() == db::ObjectState::Open) companion->CancelUpdate();
    // A text record half-written is dropped with the cached text table.
    m_indexTexts.CloseIdxSystemRecordset();
}

void frmtabgridOPC::WriteUnboundItemCell(const QString& caption, const QVariant& value) {
    db::Recordset& rs = ItemRecordset();
    const QVariant id = rs.Value(QStringLiteral("ID"));
    if (caption == Text(unbound::kDataType)) {
        const int code = value.toInt();
        if (code < 65537) {
            rs.SetValue(QStringLiteral("DataType"), code);
            rs.SetValue(QStringLiteral("StructID"), 0);
        } else {
            const auto [dataType, structId] = model::CVT_Types::DecodeCombined(code);
            rs.SetValue(QStringLiteral("StructID"), structId);
            rs.SetValue(QStringLiteral("DataType"), dataType);
            rs.SetValue(QStringLiteral("WriteThru"), true);
        }
    } else if (caption == Text(unbound::kSimulationParameters)) {
        // Parameters belong to the item's function; an item without one keeps none.
        if (!m_simulationRows.Seek({id})) return;
        m_simulationRows.SetValue(QStringLiteral("SimulationParameters"), value.toString());
        m_simulationRows.Update();
    } else if (caption == Text(unbound::kSimulationFunction)) {
        const QString function = value.toString();
        const bool found = m_simulationRows.Seek({id});
        if (function.isEmpty()) {
            if (found) m_simulationRows.Delete();
        } else {
            if (!found) {
                m_simulationRows.AddNew();
                m_simulationRows.SetValue(QStringLiteral("ItemID"), id);
            }
            m_simulationRows.SetValue(QStringLiteral("SimulationFunction"), function);
            m_simulationRows.SetValue(QStringLiteral("SimulationParameters"), m_simulation.GetDefaultParameters(function));
            m_simulationRows.Update();
        }
    } else if (caption == Text(unbound::kRedundancy)) {
        const bool redundant = value.toBool();
        const bool found = m_redundancyRows.Seek({id});
        if (redundant && !found) {
            m_redundancyRows.AddNew();
            m_redundancyRows.SetValue(QStringLiteral("ItemID"), id);
            m_redundancyRows.Update();
        } else if (!redundant && found) {
            m_redundancyRows.Delete();
        }
    } else if (caption == Text(unbound::kIndexText) && !value.toString().isEmpty() &&
               rs.FieldIndex(QStringLiteral("TextID")) >= 0) {
        const QString deviceKey = QStringLiteral("OPCD") + rs.Value(QStringLiteral("DeviceID")).toString();
        const int textId = m_indexTexts.ChangeItemText(
            deviceKey, rs.Value(FieldNameFromSwitchView()).toString(), rs.Value(QStringLiteral("TextID")),
            value.toString(), m_languages.CurrentLCID());
        rs.SetValue(QStringLiteral("TextID"), textId);
    }
}

void frmtabgridOPC::SimulationParametersButton() {
    db::Recordset& rs = ItemRecordset();
    if (rs.IsEOF() || rs.IsBOF() || m_simulationRows.State() != db::ObjectState::Open) return;
    // Parameters belong to a function: without one there is nothing to set.
    if (!m_simulationRows.Seek({rs.Value(QStringLiteral("ID"))})) {
        ui::Beep();
        return;
    }
    const QString function = m_simulationRows.Value(QStringLiteral("SimulationFunction")).toString();
    QString parameters = m_simulationRows.Value(QStringLiteral("SimulationParameters")).toString();
    std::optional<ui::ViewOnlyScope> viewing;
    if (m_tdbI.AllLocked()) viewing.emplace();
    if (!m_simulation.SimulationParameterDialog(function, parameters)) return;
    WriteItemValue(m_tdbI.ColumnIndex(Text(unbound::kSimulationParameters)), parameters);
}

void frmtabgridOPC::ForgetItems(const std::vector<int>& ids) {
    db::Recordset& items = ItemRecordset();
    if (items.State() != db::ObjectState::Open) {
        ShowItemView();
        return;
    }
    try {
        items.Forget(std::vector<qint64>(ids.begin(), ids.end()));
    } catch (const db::DbError&) {
        ShowItemView();
        return;
    }
    m_tdbI.ReBind();
}

void frmtabgridOPC::RefreshUnboundSources() {
    for (db::Recordset* rs : {&m_simulationRows, &m_redundancyRows})
        if (rs->State() == db::ObjectState::Open) rs->Requery();
}

std::pair<QString, QString> frmtabgridOPC::SimulationOf(const QVariant& itemId) {
    if (!SimulationOpen() || !m_simulationRows.Seek({itemId})) return {};
    return {m_simulationRows.Value(QStringLiteral("SimulationFunction")).toString(),
            m_simulationRows.Value(QStringLiteral("SimulationParameters")).toString()};
}

bool frmtabgridOPC::IsRedundant(const QVariant& itemId) {
    return RedundancyOpen() && m_redundancyRows.Seek({itemId});
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
    const bool save =
        !saveOnExit || !std::holds_alternative<bool>(*saveOnExit) || std::get<bool>(*saveOnExit);
    if (save) {
        if (m_gridsBuilt) {
            const int nameFixed = m_tdbI.ColumnIndexInSplit(QStringLiteral("Name"), 0);
            const int accessFixed = m_tdbI.ColumnIndexInSplit(QStringLiteral("ItemAccess"), 0);
            if (!m_switchView && nameFixed >= 0 && accessFixed >= 0)
                m_tdbI.Column(nameFixed).width = m_tdbI.Column(accessFixed).width;
            for (const char* grid : {"tdbI", "tdbU", "tdbS", "tdbG"})
                m_settings.GetInitFromControl(QString::fromUtf8(grid), *this);
            m_settings.WriteAValueToCInits(QStringLiteral("TDBIColOrders"), StoreColumnOrders(m_tdbI, 1));
            m_settings.WriteAValueToCInits(QStringLiteral("TDBUColOrders"), StoreColumnOrders(m_tdbU, 1));
            m_settings.WriteAValueToCInits(QStringLiteral("TDBSColOrders"), StoreColumnOrders(m_tdbS, 1));
            m_settings.WriteAValueToCInits(QStringLiteral("TDBGColOrders"), StoreColumnOrders(m_tdbG, 1));
        }
        m_settings.GetInitFromControl(QStringLiteral("Me"), *this);
        m_settings.WriteAValueToCInits(QStringLiteral("CurrentLCID"),
                                       static_cast<double>(m_languages.CurrentLCID()));
        m_settings.SaveInits(SettingsFile());
    } else {
        sys::IniFile(SettingsFile())
            .Write(m_settings.SectionName(), QStringLiteral("SaveOnExit"), QStringLiteral("False"));
    }
    m_visible = false;
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
    if (Is(name, "sb")) return m_sbProperties.get();
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
