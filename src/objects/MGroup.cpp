#include "objects/MGroup.h"

#include "objects/LongWork.h"

#include "editor/NameGroups.h"
#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "host/ProjectTree.h"
#include "model/DataConnection.h"
#include "objects/Commands.h"
#include "objects/FGroup.h"
#include "objects/FieldTransfer.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"

#include <stdexcept>

namespace ov::objects {

namespace nodekey = host::nodekey;
using settings::Text;

namespace {
const QString kGrp = QStringLiteral("Grp");
const QString kNewName = QStringLiteral("@New@");
// The same in every language.
const QString kNewGroupName = QStringLiteral("Neue Gruppe");
}  // namespace

MGroup::MGroup(editor::frmtabgridOPC& window) : m_window(window) {
    window.RegisterObjectFunction(QStringLiteral("mnuGroupFunc"), [this](int code) { return GroupFunc(code); });
}

int MGroup::CurrentGroupId() const {
    const QString key = m_window.CurrentNode();
    return nodekey::Kind(key) == QStringLiteral("OPCG") ? nodekey::NodeId(key) : -1;
}

bool MGroup::GroupFunc(int code) {
    if (!m_window.Data()) return false;
    // Every group command starts from the names as the database has them.
    m_window.ReloadGroupNames();
    switch (code) {
        case 0:
            return NewGroup();
        case 1:
            return Edit();
        case 2:
            return Delete();
        default:
            return false;
    }
}

bool MGroup::NewGroup() {
    QString name = kNewGroupName;
    for (int n = 1; !m_window.Names().TestNameInGroup(name, kGrp); ++n) name = QStringLiteral("%1(%2)").arg(kNewGroupName).arg(n);
    m_window.CommitGridEdits();
    db::Connection& connection = m_window.Data()->Connection();
    try {
        connection.BeginTrans();
        try {
            db::Recordset groups;
            groups.Open(QStringLiteral("SELECT * FROM TpdbGroups"), connection);
            groups.AddNew();
            groups.SetValue(QStringLiteral("Name"), kNewName);
            groups.Update();
            groups.Requery();
            if (!groups.Find(QStringLiteral("Name='%1'").arg(kNewName))) throw std::runtime_error("the new group went missing");
            groups.SetValue(QStringLiteral("Name"), name);
            groups.Update();
            const int id = groups.Value(QStringLiteral("ID")).toInt();
            connection.AfterCommit([this, id, name] {
                m_window.Names().AddNameInGroup(name, kGrp);
                if (host::ProjectTree* tree = m_window.Session().Tree()) tree->AddGroupNodes(m_window.Data()->Connection(), id);
                std::array<int, 7> added{0, 1, 0, 0, 0, 0, 0};
                m_window.UpdateStatusCounters(QString(), editor::frmtabgridOPC::CounterMode::Add, added);
            });
            connection.CommitTrans();
        } catch (...) {
            connection.RollbackTrans();
            throw;
        }
    } catch (const db::DbError& e) {
        ui::ShowMessage(e.Description(), Text(310), ui::Buttons::OK, 0, ui::Icon::Critical);
        return true;
    }
    m_window.RequeryGroups();
    // The new group is the last row of the grid.
    ui::GridModel& grid = m_window.tdbG();
    if (grid.RowCount() > 0) grid.SetCurrentCell(grid.RowCount() - 1, std::max(grid.CurrentColumn(), 0));
    m_window.NotifyView();
    return true;
}

bool MGroup::Edit() {
    db::Recordset& groups = m_window.Data()->Recordset(QStringLiteral("rstabOPCGroups"));
    const int id = CurrentGroupId();
    if (id == 0 || (id < 0 && m_window.FrontGrid() == QStringLiteral("tdbG"))) {
        // The node of all groups: the group of the grid's current row.
        if (groups.State() != db::ObjectState::Open || groups.IsEOF() || groups.IsBOF()) return true;
    } else if (groups.State() != db::ObjectState::Open || !groups.Find(QStringLiteral("ID=%1").arg(id))) {
        m_window.RequeryGroups();
        if (!groups.Find(QStringLiteral("ID=%1").arg(id))) return true;
    }
    m_window.CommitGridEdits();
    const int groupId = groups.Value(QStringLiteral("ID")).toInt();
    const QString oldName = groups.Value(QStringLiteral("Name")).toString();
    if (!EditOperation(groups)) return true;
    try {
        const QString name = groups.Value(QStringLiteral("Name")).toString();
        if (name != oldName)
            if (host::ProjectTree* tree = m_window.Session().Tree()) tree->RelabelGroup(groupId, name);
    } catch (const db::DbError&) {
    }
    m_window.LoadGroupList();
    m_window.tdbG().Refresh();
    if (m_window.CurrentNode() == nodekey::GroupKey(groupId)) m_window.MakeMyCaption(m_window.CurrentNode());
    m_window.NotifyView();
    return true;
}

bool MGroup::EditOperation(db::Recordset& groups) {
    FGroup dialog(m_window.Names(), [this](const QString& text, int flags) { return m_window.ChooseVariable(text, flags); });
    RecordDialog steps;
    steps.fill = [&] { LoadDialog(dialog, groups); };
    steps.write = [&] { WriteDialog(dialog, groups); };
    steps.cancelled = [&] { return dialog.Cancelled(); };
    steps.fillError = 650;
    steps.writeError = 651;
    // The dialog's name went into the name group at OK; the record keeps its old one.
    steps.afterFailure = [this] { m_window.ReloadGroupNames(); };
    return EditRecord(dialog, groups, steps) == EditOutcome::Written;
}

void MGroup::LoadDialog(FGroup& dialog, db::Recordset& groups) {
    const auto text = [&](const char* control, const char* field) {
        dialog.Get(QString::fromUtf8(control)).text = ToDialogText(groups.Value(QString::fromUtf8(field)));
    };
    text("TxtName", "Name");
    text("txtActivation", "Activation");
    text("txtPercentDeadband", "PercentDeadband");
    text("txtTimeBias", "TimeBias");
    text("txtUpdateRate", "UpdateRate");
    text("txtComment", "Comment");
    // A mode the dialog does not offer ("Recipe", or one of another tool) selects nothing.
    ui::Control& mode = dialog.Get(QStringLiteral("cmbActiveMode"));
    if (!mode.Select(groups.Value(QStringLiteral("ActiveMode")).toInt())) mode.listIndex = -1;
    const bool asyncRead = groups.Value(QStringLiteral("AsyncRead")).toBool();
    const bool asyncWrite = groups.Value(QStringLiteral("AsyncWrite")).toBool();
    dialog.Get(QStringLiteral("optReadAsync")).checkState = asyncRead ? 1 : 0;
    dialog.Get(QStringLiteral("optReadSync")).checkState = asyncRead ? 0 : 1;
    dialog.Get(QStringLiteral("optWriteAsync")).checkState = asyncWrite ? 1 : 0;
    dialog.Get(QStringLiteral("optWriteSync")).checkState = asyncWrite ? 0 : 1;
    dialog.Get(QStringLiteral("chkEnabled")).checkState = groups.Value(QStringLiteral("Enabled")).toBool() ? 1 : 0;
    dialog.ShowActivationMode();
}

void MGroup::WriteDialog(FGroup& dialog, db::Recordset& groups) {
    const auto take = [&](const char* field, const char* control) {
        const QString name = QString::fromUtf8(field);
        groups.SetValue(name, FromDialogText(dialog.Get(QString::fromUtf8(control)).text, groups.Fields(name).Type()));
    };
    take("Name", "TxtName");
    take("Activation", "txtActivation");
    take("PercentDeadband", "txtPercentDeadband");
    take("TimeBias", "txtTimeBias");
    take("UpdateRate", "txtUpdateRate");
    const ui::Control& mode = dialog.Get(QStringLiteral("cmbActiveMode"));
    if (mode.listIndex >= 0) groups.SetValue(QStringLiteral("ActiveMode"), mode.SelectedData());
    groups.SetValue(QStringLiteral("AsyncRead"), dialog.Get(QStringLiteral("optReadAsync")).IsChecked());
    groups.SetValue(QStringLiteral("AsyncWrite"), dialog.Get(QStringLiteral("optWriteAsync")).IsChecked());
    groups.SetValue(QStringLiteral("Enabled"), dialog.Get(QStringLiteral("chkEnabled")).IsChecked());
    groups.SetValue(QStringLiteral("Comment"), dialog.Get(QStringLiteral("txtComment")).text);
}

bool MGroup::Delete() {
    int id = CurrentGroupId();
    if (id == 0 || id < 0) {
        // On the node of all groups: the group of the grid's current row.
        db::Recordset& groups = m_window.Data()->Recordset(QStringLiteral("rstabOPCGroups"));
        if (groups.State() != db::ObjectState::Open || groups.IsEOF() || groups.IsBOF()) return true;
        id = groups.Value(QStringLiteral("ID")).toInt();
    }
    // Every new item goes into group 1: it stays.
    if (id == kDefaultGroup) return true;
    db::Connection& connection = m_window.Data()->Connection();
    int connections = 0;
    {
        db::Recordset count;
        count.Open(QStringLiteral("SELECT Count(*) FROM TpdbConnections WHERE GroupID =%1").arg(id), connection);
        connections = count.Fields(0).Value().toInt();
    }
    if (m_window.RequestOnDelete()) {
        const QString question = Text(408).replace(QStringLiteral("<cn>"), QString::number(connections));
        if (ui::ShowMessage(question, Text(310), ui::Buttons::YesNo, 1, ui::Icon::Question) != ui::Answer::Yes) return true;
    }
    ui::BusyCursor busy;
    m_window.CommitGridEdits();
    // A group of a million connections takes seconds: progress with Cancel.
    LongWork progress(connection, Text(234).remove(u'&'), connections);
    try {
        connection.BeginTrans();
        try {
            connection.Execute(QStringLiteral("DELETE FROM TpdbGroups WHERE ID = ?"), {id});
            connection.Execute(QStringLiteral("DELETE FROM TpdbConnections WHERE GroupID = ?"), {id});
            connection.AfterCommit([this, id] {
                if (host::ProjectTree* tree = m_window.Session().Tree()) tree->RemoveGroupNode(id);
                std::array<int, 7> removed{0, -1, 0, 0, 0, 0, 0};
                m_window.UpdateStatusCounters(QString(), editor::frmtabgridOPC::CounterMode::Add, removed);
            });
            connection.CommitTrans();
        } catch (...) {
            connection.RollbackTrans();
            throw;
        }
        progress.Finish();
    } catch (const db::DbError& e) {
        progress.Finish();
        if (!progress.Cancelled()) ui::ShowMessage(e.Description(), Text(310), ui::Buttons::OK, 0, ui::Icon::Critical);
        return true;
    }
    m_window.ReloadGroupNames();
    m_window.RequeryGroups();
    // A deleted group's node is gone: the node of all groups is current.
    if (m_window.CurrentNode() == nodekey::GroupKey(id) || nodekey::NodeId(m_window.CurrentNode()) == id) {
        host::Connect& session = m_window.Session();
        if (session.Host()) session.Host()->SelectNode(nodekey::kGroups);
        if (m_window.FrontGrid() != QStringLiteral("tdbG")) session.ShowNode(nodekey::kGroups);
        else m_window.SetCurrentNodeKey(nodekey::kGroups);
    }
    m_window.NotifyView();
    return true;
}

}  // namespace ov::objects
