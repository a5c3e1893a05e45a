#include "check/MCheck.h"

#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "model/DeviceAddress.h"
#include "objects/Commands.h"
#include "objects/MItem.h"
#include "opc/MOpc.h"
#include "platform/db/Changeset.h"
#include "platform/db/Cursor.h"
#include "platform/system/SystemTools.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/EventGuard.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"
#include "tools/MTools.h"

namespace ov::check {

using settings::Text;

namespace {

host::ProblemPane::Row RowOf(const Finding& f) {
    return {static_cast<int>(f.severity), f.code, f.object, f.message, f.repairable, static_cast<int>(f.kind), f.id};
}

Finding FindingOf(const host::ProblemPane::Row& row) {
    return {static_cast<Severity>(row.severity), row.code, static_cast<ObjectKind>(row.kind), row.id, row.object,
            row.message, row.repairable};
}

}  // namespace

MCheck::MCheck(editor::frmtabgridOPC& window) : m_window(window) {
    window.RegisterObjectFunction(QStringLiteral("mnuCheckFunc"), [this](int code) {
        if (code != 0) return false;
        Open();
        return true;
    });
    host::ProblemPane& pane = window.Session().Problems();
    pane.owner = this;
    pane.activate = [this](int row) { ui::RunGuarded([&] { Activate(row); }); };
    pane.repair = [this](const std::vector<int>& rows) { ui::RunGuarded([&] { Repair(rows); }); };
    pane.close = [this] { Close(); };
    m_observer = window.Session().History().AddChangeObserver([this](const db::Changeset* changes) {
        ui::RunGuarded([&] { OnChanges(changes); });
    });
}

MCheck::~MCheck() {
    m_window.Session().History().RemoveChangeObserver(m_observer);
    host::ProblemPane& pane = m_window.Session().Problems();
    if (pane.owner != this) return;
    pane.owner = nullptr;
    pane.activate = nullptr;
    pane.repair = nullptr;
    pane.close = nullptr;
}

CheckOptions MCheck::Options() const {
    CheckOptions options;
    options.registry = &sys::SystemTools::Instance().GetRegistry();
    options.projectArgument = m_window.Session().ProjectArgument();
    return options;
}

std::vector<Finding> MCheck::Findings() const {
    std::vector<Finding> findings;
    for (const auto& row : m_window.Session().Problems().Rows()) findings.push_back(FindingOf(row));
    return findings;
}

void MCheck::Show(const std::vector<Finding>& findings) {
    std::vector<host::ProblemPane::Row> rows;
    rows.reserve(findings.size());
    for (const Finding& f : findings) rows.push_back(RowOf(f));
    m_window.Session().Problems().SetRows(std::move(rows));
    m_window.NotifyView();
}

void MCheck::Open() {
    m_window.CommitGridEdits();
    ui::BusyCursor busy;
    m_window.Session().Problems().shown = true;
    Show(CheckProject(m_window.Data()->Connection(), Options()));
}

void MCheck::Close() {
    m_window.Session().Problems().shown = false;
    m_window.NotifyView();
}

void MCheck::OnChanges(const db::Changeset* changes) {
    // Only the window shown checks; one that went keeps its unit a while.
    if (!m_window.Session().Problems().shown || m_window.Session().Window() != &m_window || !m_window.Data()) return;
    db::Connection& connection = m_window.Data()->Connection();
    if (!changes) {
        Show(CheckProject(connection, Options()));
        return;
    }
    const ChangedRows changed = ChangedRowsOf(*changes);
    if (changed.IsEmpty()) return;
    if (changed.everything) {
        ui::BusyCursor busy;
        Show(CheckProject(connection, Options()));
        return;
    }
    Show(Merge(Findings(), CheckChanged(connection, changed, Options())));
}

bool MCheck::ShowItem(qint64 itemId) {
    db::Connection& connection = m_window.Data()->Connection();
    db::Cursor item(connection, QStringLiteral("SELECT i.DeviceID, i.Name, d.HierarchBrowseSeparator, d.BlobMode FROM "
                                               "TpdbItems i LEFT JOIN TpdbDevices d ON d.ID = i.DeviceID WHERE i.ID = %1")
                                    .arg(itemId));
    if (!item.Next()) return false;
    const int deviceId = item.Value(0).toInt();
    const QString name = item.Value(1).toString();
    QString separator = item.Value(2).toString();
    if (!separator.isEmpty() && separator.front().isNull()) separator.clear();
    const bool ownDriver =
        model::blobmode::Kind(model::blobmode::FromStored(item.Value(3))) == model::blobmode::kOwnDriver;
    QString key = host::nodekey::DeviceKey(deviceId, separator, ownDriver);
    // The item's folder when the device shows its names as a tree.
    const qsizetype cut = separator.isEmpty() ? -1 : name.lastIndexOf(separator);
    if (cut > 0) key += host::nodekey::kSeparator + name.left(cut);
    objects::ShowNode(m_window, key);
    ui::GridModel& grid = m_window.tdbI();
    const int idColumn = grid.ColumnIndex(QStringLiteral("ID"));
    for (int row = 0; idColumn >= 0 && row < grid.RowCount(); ++row)
        if (grid.CellValue(row, idColumn).toLongLong() == itemId) {
            grid.SetCurrentCell(row, std::max(0, grid.CurrentColumn()));
            grid.SelectRows({row});
            m_window.FocusGrid(QStringLiteral("tdbI"));
            break;
        }
    m_window.NotifyView();
    return true;
}

void MCheck::Activate(int row) {
    const auto& rows = m_window.Session().Problems().Rows();
    if (row < 0 || row >= static_cast<int>(rows.size())) return;
    const Finding finding = FindingOf(rows[row]);
    m_window.CommitGridEdits();
    bool shown = false;
    db::Connection& connection = m_window.Data()->Connection();
    const auto exists = [&](const QString& sql) {
        db::Cursor cursor(connection, sql.arg(finding.id));
        return cursor.Next();
    };
    switch (finding.kind) {
        case ObjectKind::Item:
        case ObjectKind::Simulation:
        case ObjectKind::Redundancy: shown = ShowItem(finding.id); break;
        case ObjectKind::Connection: {
            db::Cursor item(connection, QStringLiteral("SELECT ItemID FROM TpdbConnections WHERE ID = %1").arg(finding.id));
            shown = item.Next() && ShowItem(item.Value(0).toLongLong());
            break;
        }
        case ObjectKind::Device:
            if ((shown = exists(QStringLiteral("SELECT 1 FROM TpdbDevices WHERE ID = %1"))))
                objects::ShowNode(m_window, m_window.Session().Tree() ? m_window.Session().Tree()->DeviceNodeKey(static_cast<int>(finding.id))
                                                                      : QString());
            break;
        case ObjectKind::Group:
            if ((shown = exists(QStringLiteral("SELECT 1 FROM TpdbGroups WHERE ID = %1"))))
                objects::ShowNode(m_window, host::nodekey::GroupKey(static_cast<int>(finding.id)));
            break;
        case ObjectKind::Structure:
            if ((shown = exists(QStringLiteral("SELECT 1 FROM TpdbStructDefs WHERE ID = %1"))))
                objects::ShowNode(m_window, host::nodekey::StructureKey(static_cast<int>(finding.id)));
            break;
        case ObjectKind::Member: {
            db::Cursor member(connection, QStringLiteral("SELECT m.ParentID FROM TpdbStructMembers m JOIN TpdbStructDefs s ON "
                                                         "s.ID = m.ParentID WHERE m.ID = %1")
                                              .arg(finding.id));
            if ((shown = member.Next())) {
                objects::ShowNode(m_window, host::nodekey::StructureKey(member.Value(0).toInt()));
                ui::GridModel& grid = m_window.tdbS();
                const int idColumn = grid.ColumnIndex(QStringLiteral("ID"));
                for (int r = 0; idColumn >= 0 && r < grid.RowCount(); ++r)
                    if (grid.CellValue(r, idColumn).toLongLong() == finding.id) grid.SetCurrentCell(r, std::max(0, grid.CurrentColumn()));
            }
            break;
        }
        case ObjectKind::UnitClass:
        case ObjectKind::Text: break;
    }
    if (!shown) ui::ShowMessage(Text(9430), Text(9415), ui::Buttons::OK, 0, ui::Icon::Information);
}

void MCheck::Repair(const std::vector<int>& rows) {
    const auto& all = m_window.Session().Problems().Rows();
    std::vector<Finding> orphans;
    for (const int row : rows)
        if (row >= 0 && row < static_cast<int>(all.size()) && all[row].repairable) orphans.push_back(FindingOf(all[row]));
    if (orphans.empty()) {
        ui::ShowMessage(Text(9428), Text(9415), ui::Buttons::OK, 0, ui::Icon::Information);
        return;
    }
    if (m_window.Session().IsReadOnly()) {
        ui::Beep();
        return;
    }
    m_window.CommitGridEdits();
    int deleted = 0;
    {
        // One step of the undo history; its changes re-check the list.
        model::UndoHistory::Command step(&m_window.Session().History(), Text(9420));
        deleted = RepairOrphans(m_window.Data()->Connection(), orphans);
    }
    m_window.RefreshUnboundSources();
    m_window.ShowItemView();
    m_window.NotifyView();
    ui::ShowMessage(Text(9429).replace(QStringLiteral("<n>"), QString::number(deleted)), Text(9415), ui::Buttons::OK, 0,
                    ui::Icon::Information);
}

void InstallEditor() {
    static bool installed = false;
    opc::InstallEditor();
    tools::InstallEditor();
    if (installed) return;
    installed = true;
    objects::AddExtraUnits([](editor::frmtabgridOPC& window, objects::MItem&) {
        window.Adopt(std::make_shared<MCheck>(window));
    });
}

}  // namespace ov::check
