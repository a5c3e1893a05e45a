#include "editor/EditorViews.h"

#include "editor/EditorMenus.h"
#include "editor/GridColumns.h"
#include "editor/GridEditing.h"
#include "editor/ItemViewBuilder.h"
#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "host/Rights.h"
#include "model/DataConnection.h"
#include "platform/db/DbError.h"
#include "platform/ui/Desktop.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

#include <algorithm>
#include <optional>

namespace ov::editor {

namespace nodekey = host::nodekey;
using settings::Text;

namespace {

// A recordset opened anew on a statement.
db::Recordset& Reopen(db::Recordset& rs, const QString& sql, db::Connection& connection) {
    rs.Close();
    rs.Open(sql, connection);
    return rs;
}

}  // namespace

EditorViews::EditorViews(frmtabgridOPC& window) : m_window(window) {}

EditorViews::~EditorViews() = default;

db::Recordset& EditorViews::Items() { return m_window.Data()->Recordset(QStringLiteral("rsOPCItems")); }

void EditorViews::BuildGrids() {
    model::DataConnection& data = *m_window.Data();
    db::Connection& connection = data.Connection();
    OpenItemRecordset(QStringLiteral("SELECT * FROM [TpdbItems] WHERE DeviceID = 0 AND 0 = 1"));
    db::Recordset& members = Reopen(data.Recordset(QStringLiteral("rstabStructMembers")),
                                    QStringLiteral("SELECT * FROM [TpdbStructMembers] WHERE (ParentID = 0) ORDER BY ID"), connection);
    db::Recordset& groups = Reopen(data.Recordset(QStringLiteral("rstabOPCGroups")), QStringLiteral("SELECT * FROM TpdbGroups"), connection);
    db::Recordset& units = Reopen(data.Recordset(QStringLiteral("rstabOPCUnits")), QStringLiteral("SELECT * FROM TpdbUnits WHERE ParentID =0"),
                                  connection);

    // The simulation and redundancy columns exist only where their tables do.
    ItemGridEditing& items = m_window.ItemEditing();
    items.OpenCompanions(connection);
    const ColumnSources sources{connection, m_window.Types(), m_window.SimulationFunctions(), items.SimulationOpen(),
                                items.RedundancyOpen()};
    BuildItemColumns(m_window.tdbI(), Items().FieldNames(), sources);
    BuildMemberColumns(m_window.tdbS(), members.FieldNames(), sources);
    BuildGroupColumns(m_window.tdbG(), groups.FieldNames());
    BuildUnitColumns(m_window.tdbU(), units.FieldNames());
    ApplyStoredColumns();

    items.AttachCallbacks();
    AttachGridBehaviour();
    m_window.tdbI().Bind(&Items());
    m_window.tdbS().Bind(&members);
    m_window.tdbG().Bind(&groups);
    m_window.tdbU().Bind(&units);
    m_gridsBuilt = true;
}

void EditorViews::ApplyStoredColumns() {
    settings::CInit& settings = m_window.Settings();
    for (const char* grid : {"tdbI", "tdbS", "tdbG", "tdbU"}) settings.SetInitToControl(QString::fromUtf8(grid), m_window);
    const auto orders = [&](const char* key) {
        const auto value = settings.ReadAValueFromCInits(QString::fromUtf8(key));
        return value && std::holds_alternative<QString>(*value) ? std::get<QString>(*value) : QString();
    };
    ApplyColumnOrders(m_window.tdbI(), orders("TDBIColOrders"), 1);
    ApplyColumnOrders(m_window.tdbS(), orders("TDBSColOrders"), 1);
    ApplyColumnOrders(m_window.tdbG(), orders("TDBGColOrders"), 1);
    ApplyColumnOrders(m_window.tdbU(), orders("TDBUColOrders"), 1);
    ApplyIdentifyingView(m_window.tdbI(), m_window.SwitchViewFlag());
    for (ui::GridModel* grid : {&m_window.tdbI(), &m_window.tdbS(), &m_window.tdbG()}) {
        const auto fixed = grid->DisplayColumns(0);
        grid->split0Width = fixed.empty() ? 0 : grid->Column(fixed.front()).width;
    }
}

void EditorViews::AttachGridBehaviour() {
    m_window.tdbS().helpContextId = settings::help::kStructures;
    m_window.tdbG().helpContextId = settings::help::kGroups;
    m_window.tdbU().helpContextId = settings::help::kUnits;
    host::Connect& session = m_window.Session();
    for (ui::GridModel* grid : {&m_window.tdbI(), &m_window.tdbS(), &m_window.tdbG(), &m_window.tdbU()}) {
        grid->error = [this, grid](int number, const QString& description, bool& handled) {
            handled = true;
            m_window.DataError(*grid, number, description);
        };
        // Without the edit right nothing can be typed into any grid, from the
        // moment the right is gone; nor into a project opened for viewing.
        grid->mayEdit = [&session] { return host::HasEditRight() && !session.IsReadOnly(); };
        // A right click on a grid offers the commands of its kind at the mouse.
        grid->mouseUp = [this, grid](int button, int, int x, int y) {
            if (button != 2) return;
            m_window.ComputeAvailability(m_currentNode, false);
            m_window.PopupBand(QString::fromUtf8(ContextBandOfGrid(grid->Name().toUtf8().constData())), x, y);
        };
    }
    m_groupGrid = std::make_unique<GroupGrid>(m_window, m_window.tdbG());
    m_memberGrid = std::make_unique<MemberGrid>(m_window, m_window.tdbS());
    m_unitGrid = std::make_unique<UnitGrid>(m_window, m_window.tdbU());
}

void EditorViews::FirstDisplay() {
    if (!m_window.Data()) return;
    BuildGrids();
    m_window.ComputeAvailability(nodekey::kRoot, false);
    SwitchGrids(nodekey::kRoot);
    m_currentNode = nodekey::kRoot;
    ShowItemView(Errors::Reported);
    m_window.MakeMyCaption(nodekey::kRoot);
}

void EditorViews::SwitchGrids(const QString& key) {
    const QString kind = nodekey::Kind(key);
    if (kind == QStringLiteral("OPCD") || (kind == QStringLiteral("OPCG") && nodekey::NodeId(key) != 0))
        m_frontGrid = QStringLiteral("tdbI");
    else if (kind == QStringLiteral("OPCG"))
        m_frontGrid = QStringLiteral("tdbG");
    else if (kind == QStringLiteral("OPCU"))
        m_frontGrid = QStringLiteral("tdbU");
    else if (kind == QStringLiteral("OPCS"))
        m_frontGrid = QStringLiteral("tdbS");
    for (ui::GridModel* grid : {&m_window.tdbI(), &m_window.tdbS(), &m_window.tdbG(), &m_window.tdbU()})
        grid->visible = grid->Name() == m_frontGrid;
}

void EditorViews::ShowNode(const QString& key) {
    const QString kind = nodekey::Kind(key);
    if (!m_gridsBuilt) return;
    ui::BusyCursor busy;
    m_window.Show();
    SwitchGrids(key);
    m_window.ComputeAvailability(key, false);
    model::DataConnection& data = *m_window.Data();
    if (kind == QStringLiteral("OPCU")) {
        SaveOrCancel(data.Recordset(QStringLiteral("rstabOPCUnits")));
        m_currentNode = key;
        FormatUnitGrid();
        RequeryUnits();
    } else if (kind == QStringLiteral("OPCS")) {
        SaveOrCancel(data.Recordset(QStringLiteral("rstabStructMembers")));
        m_currentNode = key;
        RequeryStructMembers();
    } else {
        m_window.CommitGridEdits();
        m_currentNode = key;
        ShowItemView(Errors::Reported);
        // The groups as the database has them now, other programs' changes included.
        if (key == nodekey::kGroups) {
            RequeryGroups();
            ReloadGroupNames();
        }
    }
    m_window.MakeMyCaption(key);
    m_window.NotifyView();
}

void EditorViews::OpenItemRecordset(const QString& sql) {
    // Opened aside first: a failing statement leaves the grid as it was.
    db::Recordset fresh;
    fresh.Open(sql, m_window.Data()->Connection());
    db::Recordset& items = Items();
    items.Close();
    items = std::move(fresh);
    if (!items.IsEOF()) items.MoveFirst();
}

void EditorViews::ShowDeviceNameColumn(bool shown) {
    ui::GridModel& grid = m_window.tdbI();
    const int index = grid.ColumnIndexInSplit(QStringLiteral("DeviceName"), 1);
    if (shown && index < 0) {
        const int identifying = grid.ColumnIndexInSplit(m_window.FieldNameFromSwitchView(), 1);
        ui::GridColumn& column = grid.AddColumn(QStringLiteral("DeviceName"), QStringLiteral("Kanal"), 1);
        column.locked = true;
        column.visible = true;
        column.width = identifying >= 0 ? grid.Column(identifying).width / 2 : 1000;
    } else if (!shown && index >= 0) {
        grid.RemoveColumn(index);
    }
}

bool EditorViews::ShowItemView(Errors errors) {
    if (!m_window.Data()) return false;
    const bool groupNode = nodekey::Kind(m_currentNode) == QStringLiteral("OPCG");
    const ItemViewBuilder::SortCaptions captions{Text(unbound::kDataType), Text(unbound::kSimulationFunction),
                                                 Text(unbound::kSimulationParameters), Text(unbound::kRedundancy)};
    const QString sort = ItemViewBuilder::SortClause(m_sortField, groupNode, captions);
    const QString field = m_window.FieldNameFromSwitchView();
    db::Connection& connection = m_window.Data()->Connection();
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
        if (errors == Errors::Reported) m_window.ReportError(1307, e.Description());
        return false;
    }
    ui::GridModel& grid = m_window.tdbI();
    ShowDeviceNameColumn(view.groupView);
    if (!view.groupView) {
        for (int split : {0, 1}) {
            const int index = grid.ColumnIndexInSplit(QStringLiteral("ItemAccess"), split);
            if (index >= 0) grid.Column(index).caption = Text(view.itemAccessCaption);
        }
    }
    grid.Bind(&Items());
    return true;
}

bool EditorViews::ShowItemViewKeepingCurrent(int column, Errors errors) {
    ui::GridModel& grid = m_window.tdbI();
    const auto bookmark = grid.RowBookmark(grid.CurrentRow());
    if (!ShowItemView(errors)) return false;
    if (bookmark) {
        const int row = grid.RowOfBookmark(*bookmark);
        if (row >= 0) grid.SetCurrentCell(row, column);
    }
    return true;
}

void EditorViews::ForgetItems(const std::vector<int>& ids) {
    db::Recordset& items = Items();
    if (items.State() != db::ObjectState::Open) {
        ShowItemView(Errors::Reported);
        return;
    }
    try {
        items.Forget(std::vector<qint64>(ids.begin(), ids.end()));
    } catch (const db::DbError&) {
        ShowItemView(Errors::Reported);
        return;
    }
    m_window.tdbI().ReBind();
}

void EditorViews::RequeryStructMembers() {
    db::Recordset& members = m_window.Data()->Recordset(QStringLiteral("rstabStructMembers"));
    const QString sort = m_memberGrid && !m_memberGrid->SortField().isEmpty() ? m_memberGrid->SortField() : QStringLiteral("ID");
    try {
        Reopen(members,
               QStringLiteral("Select * FROM [TpdbStructMembers] WHERE (ParentID = %1) ORDER BY %2")
                   .arg(std::max(nodekey::NodeId(m_currentNode), 0))
                   .arg(sort),
               m_window.Data()->Connection());
    } catch (const db::DbError& e) {
        m_window.ReportError(1307, e.Description());
    }
    m_window.tdbS().ReBind();
}

void EditorViews::RequeryUnits() {
    db::Recordset& units = m_window.Data()->Recordset(QStringLiteral("rstabOPCUnits"));
    try {
        Reopen(units, QStringLiteral("SELECT * FROM TpdbUnits WHERE ParentID =%1").arg(std::max(nodekey::NodeId(m_currentNode), 0)),
               m_window.Data()->Connection());
    } catch (const db::DbError& e) {
        m_window.ReportError(1307, e.Description());
    }
    m_window.tdbU().ReBind();
}

void EditorViews::RequeryGroups() {
    if (!m_window.Data()) return;
    db::Recordset& groups = m_window.Data()->Recordset(QStringLiteral("rstabOPCGroups"));
    SaveOrCancel(groups);
    try {
        Reopen(groups, QStringLiteral("SELECT * FROM TpdbGroups"), m_window.Data()->Connection());
    } catch (const db::DbError& e) {
        m_window.ReportError(1307, e.Description());
    }
    m_window.tdbG().ReBind();
    LoadGroupList();
}

void EditorViews::LoadGroupList() {
    m_groups.clear();
    if (!m_window.Data()) return;
    db::Recordset rs;
    rs.Open(QStringLiteral("SELECT ID, Name FROM TpdbGroups"), m_window.Data()->Connection());
    for (; !rs.IsEOF(); rs.MoveNext()) m_groups.emplace_back(rs.Fields(0).Value().toInt(), rs.Fields(1).Value().toString());
}

void EditorViews::ReloadGroupNames() {
    if (!m_window.Data()) return;
    db::Recordset groups;
    groups.Open(QStringLiteral("SELECT Name FROM TpdbGroups"), m_window.Data()->Connection());
    m_window.Names().NamesInGroup(groups, QStringLiteral("Grp"));
}

void EditorViews::RebuildTypeLists() {
    if (!m_window.Data() || !m_gridsBuilt) return;
    db::Connection& connection = m_window.Data()->Connection();
    RefreshStructureColumns(m_window.tdbI(), unbound::kDataType, false, m_window.Types(), connection);
    RefreshStructureColumns(m_window.tdbS(), unbound::kMemberDataType, true, m_window.Types(), connection);
    m_window.tdbI().Refresh();
    m_window.tdbS().Refresh();
}

void EditorViews::RebuildUnitClassLists() {
    if (!m_window.Data() || !m_gridsBuilt) return;
    RefreshUnitClassColumns(m_window.tdbI(), m_window.Data()->Connection());
    RefreshUnitClassColumns(m_window.tdbS(), m_window.Data()->Connection());
    m_window.tdbI().Refresh();
    m_window.tdbS().Refresh();
}

void EditorViews::FormatUnitGrid() {
    std::vector<int> lcids;
    for (const auto& language : m_window.Languages().Items()) lcids.push_back(language.lcid);
    editor::FormatUnitGrid(m_window.tdbU(), nodekey::SecondField(m_currentNode) == QStringLiteral("P"), lcids);
}

void EditorViews::ShowLanguage() {
    m_window.Languages().SelectorChanged(m_window.LanguageSelector());
    const QString kind = nodekey::Kind(m_currentNode);
    if (kind == QStringLiteral("OPCD") || kind == QStringLiteral("OPCG"))
        m_window.tdbI().ReBind();
    else if (kind == QStringLiteral("OPCS"))
        m_window.tdbS().ReBind();
    m_window.NotifyView();
}

}  // namespace ov::editor
