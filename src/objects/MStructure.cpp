#include "objects/MStructure.h"

#include "editor/GridColumns.h"
#include "editor/NameGroups.h"
#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "host/ProjectTree.h"
#include "model/CVT_Types.h"
#include "model/DataConnection.h"
#include "model/StructureRules.h"
#include "objects/Commands.h"
#include "objects/FStructure.h"
#include "objects/FieldTransfer.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "platform/db/SqlDialect.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"

#include <QHash>
#include <QSet>
#include <cmath>
#include <stdexcept>

namespace ov::objects {

namespace nodekey = host::nodekey;
namespace structures = model::structures;
using model::CVT_Types;
using settings::Text;

namespace {

const QString kStr = QStringLiteral("Str");
const QString kNewName = QStringLiteral("@New@");
constexpr int kStructureCounter = 5, kMemberCounter = 6;

QString IdList(const std::vector<int>& ids, std::size_t from, std::size_t count) {
    QStringList list;
    for (std::size_t i = from; i < from + count && i < ids.size(); ++i) list << QString::number(ids[i]);
    return list.join(u',');
}

// Runs a statement once per slice of the IDs, so the statement stays short.
template <typename PerSlice>
void ForEachSlice(const std::vector<int>& ids, PerSlice&& perSlice) {
    constexpr std::size_t kSlice = 500;
    for (std::size_t from = 0; from < ids.size(); from += kSlice) perSlice(IdList(ids, from, kSlice));
}

}  // namespace

MStructure::MStructure(editor::frmtabgridOPC& window) : m_window(window) {
    window.RegisterObjectFunction(QStringLiteral("mnuStructureFunc"), [this](int code) { return StructureFunc(code); });
    window.RegisterObjectFunction(QStringLiteral("mnuStructMemberFunc"), [this](int code) { return MemberFunc(code); });
}

int MStructure::CurrentStructureId() const {
    const QString key = m_window.CurrentNode();
    return nodekey::Kind(key) == QStringLiteral("OPCS") ? nodekey::NodeId(key) : -1;
}

QString MStructure::StructureName(int id) const {
    db::Recordset rs;
    rs.Open(QStringLiteral("SELECT Name FROM TpdbStructDefs WHERE ID =%1").arg(id), m_window.Data()->Connection());
    return rs.IsEOF() ? QString() : rs.Fields(0).Value().toString();
}

void MStructure::ReloadNames() {
    db::Recordset structures;
    structures.Open(QStringLiteral("SELECT Name FROM TpdbStructDefs"), m_window.Data()->Connection());
    m_window.Names().NamesInGroup(structures, kStr);
}

bool MStructure::StructureFunc(int code) {
    if (!m_window.Data()) return false;
    switch (code) {
        case 0:
            return NewStructure();
        case 1:
            return EditStructure();
        case 2:
            return DeleteStructure();
        default:
            return false;
    }
}

bool MStructure::MemberFunc(int code) {
    if (!m_window.Data() || CurrentStructureId() <= 0) return false;
    switch (code) {
        case 0:
            return NewMember();
        case 1:
            return EditMember();
        case 2:
            return DeleteMembers();
        case 3:
            return CopyMembers();
        case 4:
            return PasteMembers();
        default:
            return false;
    }
}

// Structures.

bool MStructure::NewStructure() {
    ReloadNames();
    const QString name = FreeName(m_window.Names(), Text(331), kStr);
    m_window.CommitGridEdits();
    int id = 0;
    const bool done = RunInTransaction(m_window, [&] {
        // The row exists under a working name before it gets its own.
        db::Connection& connection = m_window.Data()->Connection();
        connection.Execute(QStringLiteral("INSERT INTO TpdbStructDefs (Name) VALUES (?)"), {kNewName});
        db::Recordset created;
        created.Open(QStringLiteral("SELECT ID FROM TpdbStructDefs WHERE Name = '@New@'"), connection);
        if (created.IsEOF()) throw db::DbError(0, QStringLiteral("The new structure went missing."));
        id = created.Fields(0).Value().toInt();
        connection.Execute(QStringLiteral("UPDATE TpdbStructDefs SET Name = ? WHERE ID = ?"), {name, id});
        connection.AfterCommit([this, id, name] {
            m_window.Names().AddNameInGroup(name, kStr);
            if (host::ProjectTree* tree = m_window.Session().Tree()) tree->AddStructureNode(id, name);
            CountChange(m_window, kStructureCounter, 1);
        });
    });
    if (!done) return true;
    m_window.RebuildTypeLists();
    ShowNode(m_window, nodekey::StructureKey(id));
    return true;
}

bool MStructure::EditStructure() {
    const int id = CurrentStructureId();
    if (id <= 0) return true;
    m_window.CommitGridEdits();
    db::Recordset structure;
    structure.Open(QStringLiteral("SELECT * FROM TpdbStructDefs WHERE ID =%1").arg(id), m_window.Data()->Connection());
    if (structure.IsEOF()) return true;
    ReloadNames();
    const QString before = structure.Value(QStringLiteral("Name")).toString();

    FStructure dialog(m_window.Names());
    RecordDialog steps;
    steps.fill = [&] {
        dialog.Get(QStringLiteral("TxtName")).text = ToDialogText(structure.Value(QStringLiteral("Name")));
        dialog.Get(QStringLiteral("chkOrderByOffset")).checkState = structure.Value(QStringLiteral("OrderByOffset")).toBool() ? 1 : 0;
        dialog.Get(QStringLiteral("txtComment")).text = ToDialogText(structure.Value(QStringLiteral("Comment")));
    };
    steps.write = [&] {
        structure.SetValue(QStringLiteral("Name"), dialog.Get(QStringLiteral("TxtName")).text);
        structure.SetValue(QStringLiteral("OrderByOffset"), dialog.Get(QStringLiteral("chkOrderByOffset")).IsChecked());
        structure.SetValue(QStringLiteral("Comment"), dialog.Get(QStringLiteral("txtComment")).text);
    };
    steps.cancelled = [&] { return dialog.Cancelled(); };
    steps.fillError = 1808;
    steps.writeError = 1809;
    // The names are those of the database again.
    steps.afterFailure = [this] { ReloadNames(); };
    if (EditRecord(dialog, structure, steps) != EditOutcome::Written) return true;
    const QString after = dialog.Get(QStringLiteral("TxtName")).text;
    if (after != before) {
        if (host::ProjectTree* tree = m_window.Session().Tree()) tree->Relabel(nodekey::StructureKey(id), after);
        m_window.MakeMyCaption(m_window.CurrentNode());
    }
    m_window.RebuildTypeLists();
    m_window.NotifyView();
    return true;
}

bool MStructure::DeleteStructure() {
    const int id = CurrentStructureId();
    if (id <= 0) return true;
    // A half-typed member goes with its structure.
    m_window.tdbS().CancelEdit();
    m_window.tdbS().dataChanged = false;
    m_window.Data()->Recordset(QStringLiteral("rstabStructMembers")).CancelUpdate();
    const QString name = StructureName(id);
    if (name.isNull()) return true;
    if (m_window.RequestOnDelete() &&
        ui::ShowMessage(Text(409), Text(310), ui::Buttons::YesNo, 1, ui::Icon::Question) != ui::Answer::Yes)
        return true;
    ui::BusyCursor busy;
    db::Connection& connection = m_window.Data()->Connection();
    const bool texts = connection.HasTable(QStringLiteral("TidxTexts"));
    const bool done = RunInTransaction(m_window, [&] {
        connection.Execute(QStringLiteral("DELETE FROM TpdbStructDefs WHERE ID = ?"), {id});
        // The members' texts belong to nothing else: they go with them.
        if (texts)
            connection.Execute(QStringLiteral("DELETE FROM TidxTexts WHERE ID IN "
                                              "(SELECT TextID FROM TpdbStructMembers WHERE ParentID = ? AND TextID <> 0)"),
                               {id});
        const qint64 members = connection.Execute(QStringLiteral("DELETE FROM TpdbStructMembers WHERE ParentID = ?"), {id});
        connection.AfterCommit([this, id, name, members] {
            m_window.Names().DeleteNameInGroup(name, kStr);
            if (host::ProjectTree* tree = m_window.Session().Tree()) tree->RemoveNode(nodekey::StructureKey(id));
            CountChange(m_window, kStructureCounter, -1);
            CountChange(m_window, kMemberCounter, -static_cast<int>(members));
        });
    });
    if (!done) return true;
    m_window.IndexTexts().CloseIdxSystemRecordset();
    // Copied members of this structure are gone; others can still be pasted.
    QSet<int> remaining;
    ForEachSlice(m_window.memberBuffer, [&](const QString& list) {
        db::Recordset rs;
        rs.Open(QStringLiteral("SELECT ID FROM TpdbStructMembers WHERE ID IN (%1)").arg(list), connection);
        for (; !rs.IsEOF(); rs.MoveNext()) remaining.insert(rs.Fields(0).Value().toInt());
    });
    std::erase_if(m_window.memberBuffer, [&](int member) { return !remaining.contains(member); });
    m_window.RebuildTypeLists();
    ShowNode(m_window, nodekey::kStructures);
    return true;
}

// Members.

QString MStructure::InsertMember(QVariantMap fields, const std::function<QString(int attempt)>& nameAt, QSet<QString>& taken) {
    db::Connection& connection = m_window.Data()->Connection();
    fields.insert(QStringLiteral("Name"), QString());
    QStringList columns, marks;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
        columns << db::QuoteName(it.key());
        marks << QStringLiteral("?");
    }
    const QString sql = QStringLiteral("INSERT INTO TpdbStructMembers (%1) VALUES (%2)").arg(columns.join(u','), marks.join(u','));
    for (int attempt = 0;; ++attempt) {
        const QString name = nameAt(attempt);
        // Names known to be taken are skipped; the index has the last word.
        if (taken.contains(name.toCaseFolded())) continue;
        fields.insert(QStringLiteral("Name"), name);
        const QVariantList values = fields.values();
        try {
            connection.Execute(sql, std::span<const QVariant>(values.constData(), static_cast<std::size_t>(values.size())));
            taken.insert(name.toCaseFolded());
            return name;
        } catch (const db::DbError& e) {
            // Only a name the structure has already leads to the next name.
            if (!e.IsUniqueViolation()) throw;
        }
    }
}

QSet<QString> MStructure::MemberNames(int structureId) const {
    QSet<QString> names;
    db::Recordset rs;
    rs.Open(QStringLiteral("SELECT Name FROM TpdbStructMembers WHERE ParentID = %1").arg(structureId), m_window.Data()->Connection());
    for (; !rs.IsEOF(); rs.MoveNext()) names.insert(rs.Fields(0).Value().toString().toCaseFolded());
    return names;
}

void MStructure::ShowMemberRow(int memberId) {
    m_window.RequeryStructMembers();
    ui::GridModel& grid = m_window.tdbS();
    const int idColumn = grid.ColumnIndexInSplit(QStringLiteral("ID"), 1);
    for (int row = grid.RowCount() - 1; row >= 0; --row) {
        if (grid.CellValue(row, idColumn).toInt() == memberId) {
            grid.SetCurrentCell(row, std::max(grid.CurrentColumn(), 0));
            break;
        }
    }
    m_window.NotifyView();
}

void MStructure::MembersChanged(int delta) {
    if (delta != 0) CountChange(m_window, kMemberCounter, delta);
    m_window.RequeryStructMembers();
    m_window.NotifyView();
}

bool MStructure::NewMember() {
    const int structureId = CurrentStructureId();
    m_window.CommitGridEdits();
    db::Connection& connection = m_window.Data()->Connection();
    int memberId = 0;
    const bool done = RunInTransaction(m_window, [&] {
        db::Recordset highest;
        highest.Open(QStringLiteral("SELECT Max(OrderNum) FROM TpdbStructMembers WHERE ParentID = %1").arg(structureId),
                     connection);
        const QVariant max = highest.Fields(0).Value();
        // After a bit member the next whole byte.
        const double order = max.isNull() ? 0.0 : std::floor(max.toDouble()) + 1.0;
        const QString base = Text(148) + QString::number(order, 'f', 0);
        QSet<QString> taken = MemberNames(structureId);
        const QString name = InsertMember(
            {{QStringLiteral("ParentID"), structureId}, {QStringLiteral("OrderNum"), order}},
            [&](int attempt) { return attempt == 0 ? base : QStringLiteral("%1(%2)").arg(base).arg(attempt); }, taken);
        db::Recordset created;
        created.Open(QStringLiteral("SELECT ID FROM TpdbStructMembers WHERE ParentID = %1 AND Name = '%2'")
                         .arg(structureId)
                         .arg(QString(name).replace(u'\'', QStringLiteral("''"))),
                     connection);
        memberId = created.IsEOF() ? 0 : created.Fields(0).Value().toInt();
        connection.AfterCommit([this] { CountChange(m_window, kMemberCounter, 1); });
    });
    if (done) ShowMemberRow(memberId);
    return true;
}

void MStructure::LoadMemberDialog(FStructMember& dialog, db::Recordset& member) {
    const auto text = [&](const char* control, const char* field) {
        dialog.Get(QString::fromUtf8(control)).text = ToDialogText(member.Value(QString::fromUtf8(field)));
    };
    dialog.Get(QStringLiteral("txtStructure")).text = StructureName(CurrentStructureId());
    text("TxtName", "Name");
    // A bit shows as byte.bit even at bit 0.
    const bool bit = member.Value(QStringLiteral("DataType")).toInt() == CVT_Types::kBit;
    dialog.Get(QStringLiteral("txtOrderNum")).text =
        bit ? structures::FormatOrderNumber(member.Value(QStringLiteral("OrderNum")).toDouble(), true)
            : ToDialogText(member.Value(QStringLiteral("OrderNum")));
    text("txtDefaultVal", "DefaultVal");
    text("txtMaxVal", "MaxVal");
    text("txtMinVal", "MinVal");
    text("txtFieldSize", "FieldSize");
    text("txtComment", "Comment");
    // The lists are those of the member grid's columns.
    ui::GridModel& grid = m_window.tdbS();
    const auto list = [&](const char* control, const QString& column, const QVariant& value) {
        ui::Control& combo = dialog.Get(QString::fromUtf8(control));
        const int index = grid.ColumnIndexInSplit(column, 1);
        if (index >= 0) combo.list = grid.Column(index).values;
        combo.listIndex = -1;
        if (!value.isNull()) combo.Select(value);
        if (!value.isNull() && combo.SelectedData() != value) combo.listIndex = -1;
    };
    list("cmbDataType", Text(editor::unbound::kMemberDataType),
         CVT_Types::CombinedCode(member.Value(QStringLiteral("DataType")).toInt(), member.Value(QStringLiteral("StructID")).toInt()));
    list("cmbUnitClassIDItemDependent", QStringLiteral("UnitClassIDItemDependent"),
         member.Value(QStringLiteral("UnitClassIDItemDependent")));
    list("cmbUnitClassIDDisplayDependent", QStringLiteral("UnitClassIDDisplayDependent"),
         member.Value(QStringLiteral("UnitClassIDDisplayDependent")));
    dialog.Get(QStringLiteral("txtItemText")).text =
        m_window.IndexTexts().GetItemText(member.Value(QStringLiteral("TextID")), m_window.Languages().CurrentLCID());
}

void MStructure::WriteMemberDialog(FStructMember& dialog, db::Recordset& member, const QString& textBefore) {
    const auto take = [&](const char* field, const char* control) {
        const QString name = QString::fromUtf8(field);
        member.SetValue(name, FromDialogText(dialog.Get(QString::fromUtf8(control)).text, member.Fields(name).Type()));
    };
    take("Name", "TxtName");
    take("DefaultVal", "txtDefaultVal");
    take("MaxVal", "txtMaxVal");
    take("MinVal", "txtMinVal");
    take("FieldSize", "txtFieldSize");
    take("Comment", "txtComment");
    const int type = dialog.ChosenType();
    if (type >= 0) {
        const auto [dataType, structId] = CVT_Types::DecodeCombined(type);
        member.SetValue(QStringLiteral("DataType"), type <= CVT_Types::kStructBase ? type : dataType);
        member.SetValue(QStringLiteral("StructID"), type <= CVT_Types::kStructBase ? 0 : structId);
    }
    const auto order = structures::ParseOrderNumber(dialog.Get(QStringLiteral("txtOrderNum")).text,
                                                    member.Value(QStringLiteral("DataType")).toInt() == CVT_Types::kBit);
    if (!order.value) throw std::runtime_error(Text(order.errorText).toStdString());
    member.SetValue(QStringLiteral("OrderNum"), *order.value);
    for (const char* field : {"UnitClassIDItemDependent", "UnitClassIDDisplayDependent"}) {
        const ui::Control& combo = dialog.Get(QStringLiteral("cmb") + QString::fromUtf8(field));
        if (combo.listIndex >= 0) member.SetValue(QString::fromUtf8(field), combo.SelectedData());
    }
    const QString text = dialog.Get(QStringLiteral("txtItemText")).text;
    if (text != textBefore) {
        const int textId = m_window.IndexTexts().ChangeItemText(
            nodekey::StructureKey(CurrentStructureId()), member.Value(QStringLiteral("Name")).toString(),
            member.Value(QStringLiteral("TextID")), text, m_window.Languages().CurrentLCID());
        member.SetValue(QStringLiteral("TextID"), textId);
    }
}

bool MStructure::EditMember() {
    m_window.CommitGridEdits();
    db::Recordset& member = m_window.Data()->Recordset(QStringLiteral("rstabStructMembers"));
    if (member.State() != db::ObjectState::Open || member.IsEOF() || member.IsBOF()) return true;
    const int structureId = CurrentStructureId();
    const int memberId = member.Value(QStringLiteral("ID")).toInt();
    db::Connection& connection = m_window.Data()->Connection();
    FStructMember::Checks checks;
    checks.nameTaken = [&](const QString& name) {
        db::Recordset index;
        index.Open(QStringLiteral("TpdbStructMembers"), connection, db::CommandType::TableDirect);
        index.SetIndex(QStringLiteral("MemberName"));
        return index.Seek({structureId, name});
    };
    checks.wouldContainItself = [&](int candidate) {
        return structures::WouldContainItself(connection, structureId, candidate);
    };
    FStructMember dialog(checks);
    QString textBefore;
    try {
        dialog.Load();
        LoadMemberDialog(dialog, member);
        textBefore = dialog.Get(QStringLiteral("txtItemText")).text;
    } catch (const std::exception& e) {
        ShowDialogError(1914, QString::fromUtf8(e.what()));
        return true;
    }
    ui::ShowModal(dialog);
    if (dialog.Cancelled()) return true;
    // One message when it fails, naming the cause, as the other dialogs do.
    try {
        connection.InTransaction([&] {
            try {
                WriteMemberDialog(dialog, member, textBefore);
                member.Update();
            } catch (...) {
                member.CancelUpdate();
                throw;
            }
        });
    } catch (const std::exception& e) {
        m_window.IndexTexts().CloseIdxSystemRecordset();
        ShowDialogError(1915, QString::fromUtf8(e.what()));
        try {
            member.Resync();
        } catch (const db::DbError&) {
            // The row is gone: nothing to show again.
        }
    }
    ShowMemberRow(memberId);
    return true;
}

std::vector<int> MStructure::SelectedMemberIds() const {
    ui::GridModel& grid = m_window.tdbS();
    const int idColumn = grid.ColumnIndexInSplit(QStringLiteral("ID"), 1);
    std::vector<int> ids;
    for (const auto bookmark : grid.SelectedBookmarks()) {
        const int row = grid.RowOfBookmark(bookmark);
        if (row >= 0) ids.push_back(grid.CellValue(row, idColumn).toInt());
    }
    return ids;
}

bool MStructure::DeleteMembers() {
    const std::vector<int> ids = SelectedMemberIds();
    if (ids.empty()) return true;
    if (m_window.RequestOnDelete() &&
        ui::ShowMessage(Text(410), Text(310), ui::Buttons::YesNo, 1, ui::Icon::Question) != ui::Answer::Yes)
        return true;
    ui::BusyCursor busy;
    m_window.tdbS().CancelEdit();
    m_window.Data()->Recordset(QStringLiteral("rstabStructMembers")).CancelUpdate();
    db::Connection& connection = m_window.Data()->Connection();
    const bool texts = connection.HasTable(QStringLiteral("TidxTexts"));
    qint64 deleted = 0;
    const bool done = RunInTransaction(m_window, [&] {
        ForEachSlice(ids, [&](const QString& list) {
            if (texts)
                connection.Execute(QStringLiteral("DELETE FROM TidxTexts WHERE ID IN "
                                                  "(SELECT TextID FROM TpdbStructMembers WHERE ID IN (%1) AND TextID <> 0)")
                                       .arg(list));
            deleted += connection.Execute(QStringLiteral("DELETE FROM TpdbStructMembers WHERE ID IN (%1)").arg(list));
        });
    });
    m_window.IndexTexts().CloseIdxSystemRecordset();
    m_window.tdbS().ClearSelection();
    m_window.memberBuffer.clear();
    MembersChanged(done ? -static_cast<int>(deleted) : 0);
    return true;
}

bool MStructure::CopyMembers() {
    std::vector<int> ids = SelectedMemberIds();
    if (ids.empty()) return true;
    m_window.memberBuffer = std::move(ids);
    return true;
}

bool MStructure::PasteMembers() {
    if (m_window.memberBuffer.empty()) return true;
    const int target = CurrentStructureId();
    m_window.CommitGridEdits();
    ui::BusyCursor busy;
    db::Connection& connection = m_window.Data()->Connection();
    const QString targetKey = nodekey::StructureKey(target);
    // X, then "Copy of X", then "copy(2) of X", "copy(3) of X", ...
    const QString copyOf = Text(1107), copyPrefix = Text(1108), copySuffix = Text(1109);
    int pasted = 0, refused = 0;
    const bool done = RunInTransaction(m_window, [&] {
        // The copied rows as they are now; a row deleted since is skipped.
        QHash<int, QVariantMap> sources;
        ForEachSlice(m_window.memberBuffer, [&](const QString& list) {
            db::Recordset rs;
            rs.Open(QStringLiteral("SELECT * FROM TpdbStructMembers WHERE ID IN (%1)").arg(list), connection);
            for (; !rs.IsEOF(); rs.MoveNext()) {
                QVariantMap fields;
                for (int i = 0; i < rs.FieldCount(); ++i) fields.insert(rs.FieldName(i), rs.Fields(i).Value());
                sources.insert(fields.value(QStringLiteral("ID")).toInt(), fields);
            }
        });
        QSet<QString> taken = MemberNames(target);
        QHash<int, bool> closesCycle;
        const auto wouldCycle = [&](int structId) {
            if (!closesCycle.contains(structId))
                closesCycle.insert(structId, structures::WouldContainItself(connection, target, structId));
            return closesCycle.value(structId);
        };
        for (const int id : m_window.memberBuffer) {
            if (!sources.contains(id)) continue;
            QVariantMap fields = sources.value(id);
            const int structId = fields.value(QStringLiteral("StructID")).toInt();
            if (structId != 0 && wouldCycle(structId)) {
                ++refused;
                continue;
            }
            const QString name = fields.value(QStringLiteral("Name")).toString();
            const QVariant textId = fields.value(QStringLiteral("TextID"));
            fields.remove(QStringLiteral("ID"));
            fields.insert(QStringLiteral("ParentID"), target);
            if (fields.contains(QStringLiteral("TextID"))) fields.insert(QStringLiteral("TextID"), 0);
            const QString copyName = InsertMember(
                fields,
                [&](int attempt) {
                    if (attempt == 0) return name;
                    if (attempt == 1) return copyOf + name;
                    return copyPrefix + QString::number(attempt) + copySuffix + name;
                },
                taken);
            ++pasted;
            if (textId.toInt() == 0) continue;
            const int copied = m_window.IndexTexts().CopyItemText(targetKey, textId, copyName);
            connection.Execute(QStringLiteral("UPDATE TpdbStructMembers SET TextID = ? WHERE ParentID = ? AND Name = ?"),
                               {copied, target, copyName});
        }
    });
    if (!done) m_window.IndexTexts().CloseIdxSystemRecordset();
    MembersChanged(done ? pasted : 0);
    if (done && refused > 0)
        ui::ShowMessage(Text(settings::kTextPasteSkippedCycle).replace(QStringLiteral("<n>"), QString::number(refused)),
                        Text(310), ui::Buttons::OK, 0, ui::Icon::Information);
    return true;
}

}  // namespace ov::objects
