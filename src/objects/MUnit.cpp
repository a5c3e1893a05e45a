#include "objects/MUnit.h"

#include "editor/NameGroups.h"
#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "host/ProjectTree.h"
#include "model/DataConnection.h"
#include "model/UnitConversion.h"
#include "objects/Commands.h"
#include "objects/FUnit.h"
#include "objects/FieldTransfer.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"

namespace ov::objects {

namespace nodekey = host::nodekey;
namespace units = model::units;
using settings::Text;

namespace {

const QString kUtc = QStringLiteral("Utc");
constexpr int kClassCounter = 3, kUnitCounter = 4;

}  // namespace

MUnit::MUnit(editor::frmtabgridOPC& window) : m_window(window) {
    window.RegisterObjectFunction(QStringLiteral("mnuUnitClassFunc"), [this](int code) { return UnitClassFunc(code); });
    window.RegisterObjectFunction(QStringLiteral("mnuUnitFunc"), [this](int code) { return UnitFunc(code); });
}

int MUnit::CurrentClassId() const {
    const QString key = m_window.CurrentNode();
    return nodekey::Kind(key) == QStringLiteral("OPCU") ? nodekey::NodeId(key) : -1;
}

void MUnit::ReloadNames() {
    db::Recordset classes;
    classes.Open(QStringLiteral("SELECT Name FROM TpdbUnitClasses"), m_window.Data()->Connection());
    m_window.Names().NamesInGroup(classes, kUtc);
}

bool MUnit::UnitClassFunc(int code) {
    if (!m_window.Data()) return false;
    switch (code) {
        case 0:
        case 1:
            return NewUnitClass(code);
        case 2:
            return EditUnitClass();
        case 3:
            return DeleteUnitClass();
        default:
            return false;
    }
}

bool MUnit::UnitFunc(int code) {
    if (!m_window.Data() || CurrentClassId() <= 0) return false;
    switch (code) {
        case 0:
            return NewUnit();
        case 1:
            return EditUnit();
        case 2:
            return DeleteUnits();
        default:
            return false;
    }
}

// Unit classes.

bool MUnit::NewUnitClass(int switchType) {
    ReloadNames();
    const QString name = FreeName(m_window.Names(), Text(330), kUtc);
    const bool process = switchType == 0;
    m_window.CommitGridEdits();
    int id = 0;
    const bool done = RunInTransaction(m_window, [&] {
        // The row exists under a working name before it gets its own.
        db::Connection& connection = m_window.Data()->Connection();
        connection.Execute(QStringLiteral("INSERT INTO TpdbUnitClasses (Name, SwitchType) VALUES ('@New@', ?)"), {switchType});
        db::Recordset created;
        created.Open(QStringLiteral("SELECT ID FROM TpdbUnitClasses WHERE Name = '@New@'"), connection);
        if (created.IsEOF()) throw db::DbError(0, QStringLiteral("The new unit class went missing."));
        id = created.Fields(0).Value().toInt();
        connection.Execute(QStringLiteral("UPDATE TpdbUnitClasses SET Name = ? WHERE ID = ?"), {name, id});
        connection.AfterCommit([this, id, name, process] {
            m_window.Names().AddNameInGroup(name, kUtc);
            if (host::ProjectTree* tree = m_window.Session().Tree()) tree->AddUnitClassNode(id, process, name);
            CountChange(m_window, kClassCounter, 1);
        });
    });
    if (!done) return true;
    m_window.RebuildUnitClassLists();
    ShowNode(m_window, nodekey::UnitClassKey(id, process));
    return true;
}

int MUnit::AddLanguageUnits(int classId) {
    db::Connection& connection = m_window.Data()->Connection();
    db::Recordset languages;
    languages.Open(QStringLiteral("SELECT LCID FROM TcfgLanguages"), connection);
    int added = 0;
    for (; !languages.IsEOF(); languages.MoveNext()) {
        const int lcid = languages.Fields(0).Value().toInt();
        db::Recordset existing;
        existing.Open(QStringLiteral("SELECT ID FROM TpdbUnits WHERE ParentID = %1 AND SwitchID = %2").arg(classId).arg(lcid),
                      connection);
        if (!existing.IsEOF()) continue;
        connection.Execute(QStringLiteral("INSERT INTO TpdbUnits (ParentID, SwitchID) VALUES (?, ?)"), {classId, lcid});
        ++added;
    }
    return added;
}

bool MUnit::EditUnitClass() {
    const int id = CurrentClassId();
    if (id <= 0) return true;
    m_window.CommitGridEdits();
    db::Recordset unitClass;
    unitClass.Open(QStringLiteral("SELECT * FROM TpdbUnitClasses WHERE ID =%1").arg(id), m_window.Data()->Connection());
    if (unitClass.IsEOF()) return true;
    ReloadNames();
    const QString before = unitClass.Value(QStringLiteral("Name")).toString();

    FUnitClass dialog(m_window.Names(), [this](const QString& text, int flags) { return m_window.ChooseVariable(text, flags); });
    try {
        dialog.Load();
        dialog.Get(QStringLiteral("txtSwitchType")).text = unitClass.Value(QStringLiteral("SwitchType")).toInt() == 1
                                                                ? QStringLiteral("1")
                                                                : QStringLiteral("0");
        dialog.ShowSwitchType();
        for (const char* field : {"Name", "Switch", "Comment"})
            dialog.Box(QString::fromUtf8(field)).text = ToDialogText(unitClass.Value(QString::fromUtf8(field)));
    } catch (const std::exception& e) {
        ShowDialogError(1014, QString::fromUtf8(e.what()));
        return true;
    }
    ui::ShowModal(dialog);
    if (dialog.Cancelled()) return true;
    const bool languageUnits = !dialog.IsProcessClass() && dialog.Get(QStringLiteral("chkUpdateUnits")).IsChecked();
    int added = 0;
    const bool written = RunInTransaction(m_window, [&] {
        try {
            for (const char* field : {"Name", "Switch", "Comment"})
                unitClass.SetValue(QString::fromUtf8(field), dialog.Box(QString::fromUtf8(field)).text);
            unitClass.Update();
        } catch (...) {
            unitClass.CancelUpdate();
            throw;
        }
        if (languageUnits) added = AddLanguageUnits(id);
    });
    if (!written) {
        // The stored row stays; the names are those of the database again.
        ReloadNames();
        ShowDialogError(1015, QString());
        return true;
    }
    if (added > 0) CountChange(m_window, kUnitCounter, added);
    const QString after = dialog.Box(QStringLiteral("Name")).text;
    if (after != before) {
        if (host::ProjectTree* tree = m_window.Session().Tree()) tree->Relabel(m_window.CurrentNode(), after);
        m_window.MakeMyCaption(m_window.CurrentNode());
    }
    if (languageUnits) m_window.RequeryUnits();
    m_window.RebuildUnitClassLists();
    m_window.NotifyView();
    return true;
}

bool MUnit::DeleteUnitClass() {
    const int id = CurrentClassId();
    if (id <= 0) return true;
    m_window.tdbU().CancelEdit();
    m_window.tdbU().dataChanged = false;
    m_window.Data()->Recordset(QStringLiteral("rstabOPCUnits")).CancelUpdate();
    db::Connection& connection = m_window.Data()->Connection();
    db::Recordset unitClass;
    unitClass.Open(QStringLiteral("SELECT Name, SwitchType FROM TpdbUnitClasses WHERE ID =%1").arg(id), connection);
    if (unitClass.IsEOF()) return true;
    const QString name = unitClass.Fields(0).Value().toString();
    const bool process = unitClass.Fields(1).Value().toInt() == 0;
    if (m_window.RequestOnDelete() &&
        ui::ShowMessage(Text(411), Text(310), ui::Buttons::YesNo, 1, ui::Icon::Question) != ui::Answer::Yes)
        return true;
    ui::BusyCursor busy;
    const QString key = m_window.CurrentNode();
    const bool done = RunInTransaction(m_window, [&] {
        connection.Execute(QStringLiteral("DELETE FROM TpdbUnitClasses WHERE ID = ?"), {id});
        const qint64 units = connection.Execute(QStringLiteral("DELETE FROM TpdbUnits WHERE ParentID = ?"), {id});
        connection.AfterCommit([this, key, name, units] {
            m_window.Names().DeleteNameInGroup(name, kUtc);
            if (host::ProjectTree* tree = m_window.Session().Tree()) tree->RemoveNode(key);
            CountChange(m_window, kClassCounter, -1);
            CountChange(m_window, kUnitCounter, -static_cast<int>(units));
        });
    });
    if (!done) return true;
    m_window.RebuildUnitClassLists();
    ShowNode(m_window, process ? nodekey::ProcessUnitsKey() : nodekey::ViewUnitsKey());
    return true;
}

// Units.

void MUnit::ShowUnitRow(int unitId) {
    m_window.RequeryUnits();
    ui::GridModel& grid = m_window.tdbU();
    const int idColumn = grid.ColumnIndexInSplit(QStringLiteral("ID"), 1);
    for (int row = grid.RowCount() - 1; row >= 0; --row) {
        if (grid.CellValue(row, idColumn).toInt() == unitId) {
            grid.SetCurrentCell(row, std::max(grid.CurrentColumn(), 0));
            break;
        }
    }
    m_window.NotifyView();
}

bool MUnit::NewUnit() {
    const int classId = CurrentClassId();
    m_window.CommitGridEdits();
    db::Connection& connection = m_window.Data()->Connection();
    int unitId = 0;
    const bool done = RunInTransaction(m_window, [&] {
        db::Recordset highest;
        highest.Open(QStringLiteral("SELECT Max(SwitchID) FROM TpdbUnits WHERE ParentID = %1").arg(classId), connection);
        const QVariant max = highest.Fields(0).Value();
        const qint64 switchId = max.isNull() ? 0 : max.toLongLong() + 1;
        connection.Execute(QStringLiteral("INSERT INTO TpdbUnits (ParentID, SwitchID) VALUES (?, ?)"), {classId, switchId});
        db::Recordset created;
        created.Open(QStringLiteral("SELECT ID FROM TpdbUnits WHERE ParentID = %1 AND SwitchID = %2").arg(classId).arg(switchId),
                     connection);
        unitId = created.IsEOF() ? 0 : created.Fields(0).Value().toInt();
        connection.AfterCommit([this] { CountChange(m_window, kUnitCounter, 1); });
    });
    if (done) ShowUnitRow(unitId);
    return true;
}

void MUnit::LoadUnitDialog(FUnit& dialog, db::Recordset& unit) {
    for (const auto& [box, field] : {std::pair{"txtSwitch", "SwitchID"}, std::pair{"txtX1", "x1"}, std::pair{"txtY1", "y1"},
                                     std::pair{"txtX2", "x2"}, std::pair{"txtY2", "y2"},
                                     std::pair{"txtDecPointDisp", "DecPointDisp"},
                                     std::pair{"txtPhysicalUnitText", "PhysicalUnitText"}})
        dialog.Get(QString::fromUtf8(box)).text = ToDialogText(unit.Value(QString::fromUtf8(field)));
}

void MUnit::WriteUnitDialog(FUnit& dialog, db::Recordset& unit) {
    for (const auto& [box, field] :
         {std::pair{"txtX1", "x1"}, std::pair{"txtY1", "y1"}, std::pair{"txtX2", "x2"}, std::pair{"txtY2", "y2"}}) {
        // The points are numbers with a decimal point; the box shows what was stored.
        QString& text = dialog.Get(QString::fromUtf8(box)).text;
        text.replace(u',', u'.');
        unit.SetValue(QString::fromUtf8(field), units::Parse(text, units::FieldType::Double));
    }
    unit.SetValue(QStringLiteral("SwitchID"), units::Parse(dialog.Get(QStringLiteral("txtSwitch")).text, units::FieldType::Integer));
    unit.SetValue(QStringLiteral("DecPointDisp"),
                  units::Parse(dialog.Get(QStringLiteral("txtDecPointDisp")).text, units::FieldType::Integer));
    // The unit's text as typed; an empty one stays empty.
    unit.SetValue(QStringLiteral("PhysicalUnitText"), dialog.Get(QStringLiteral("txtPhysicalUnitText")).text);
}

bool MUnit::EditUnit() {
    m_window.CommitGridEdits();
    db::Recordset& unit = m_window.Data()->Recordset(QStringLiteral("rstabOPCUnits"));
    if (unit.State() != db::ObjectState::Open || unit.IsEOF() || unit.IsBOF()) return true;
    const int classId = CurrentClassId();
    const int unitId = unit.Value(QStringLiteral("ID")).toInt();
    db::Connection& connection = m_window.Data()->Connection();
    FUnit dialog([&](int switchValue) {
        db::Recordset index;
        index.Open(QStringLiteral("TpdbUnits"), connection, db::CommandType::TableDirect);
        index.SetIndex(QStringLiteral("UnitEntry"));
        return index.Seek({classId, switchValue});
    });
    RecordDialog steps;
    steps.fill = [&] { LoadUnitDialog(dialog, unit); };
    steps.write = [&] { WriteUnitDialog(dialog, unit); };
    steps.cancelled = [&] { return dialog.Cancelled(); };
    steps.fillError = 1450;
    steps.writeError = 1451;
    if (EditRecord(dialog, unit, steps) == EditOutcome::Cancelled) return true;
    ShowUnitRow(unitId);
    return true;
}

bool MUnit::DeleteUnits() {
    ui::GridModel& grid = m_window.tdbU();
    const int idColumn = grid.ColumnIndexInSplit(QStringLiteral("ID"), 1);
    std::vector<int> ids;
    for (const auto bookmark : grid.SelectedBookmarks())
        if (const int row = grid.RowOfBookmark(bookmark); row >= 0) ids.push_back(grid.CellValue(row, idColumn).toInt());
    if (ids.empty()) return true;
    if (m_window.RequestOnDelete() &&
        ui::ShowMessage(Text(412), Text(310), ui::Buttons::YesNo, 1, ui::Icon::Question) != ui::Answer::Yes)
        return true;
    grid.CancelEdit();
    m_window.Data()->Recordset(QStringLiteral("rstabOPCUnits")).CancelUpdate();
    db::Connection& connection = m_window.Data()->Connection();
    qint64 deleted = 0;
    const bool done = RunInTransaction(m_window, [&] {
        for (const int id : ids) deleted += connection.Execute(QStringLiteral("DELETE FROM TpdbUnits WHERE ID = ?"), {id});
    });
    if (done) CountChange(m_window, kUnitCounter, -static_cast<int>(deleted));
    grid.ClearSelection();
    m_window.RequeryUnits();
    m_window.NotifyView();
    return true;
}

}  // namespace ov::objects
