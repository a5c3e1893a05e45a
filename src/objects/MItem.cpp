#include "objects/MItem.h"

#include "model/CVT_Types.h"
#include "objects/FBitOptions.h"
#include "objects/ItemDialog.h"
#include "objects/FItemStructEditor.h"
#include "objects/FieldTransfer.h"
#include "objects/LongWork.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/GridModel.h"

#include "editor/ItemViewBuilder.h"
#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "host/ProjectTree.h"
#include "model/DataConnection.h"
#include "platform/db/Cursor.h"
#include "platform/db/DbError.h"
#include "platform/db/LikePattern.h"
#include "platform/db/Recordset.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"

#include <QStringList>
#include <map>

namespace ov::objects {

namespace nodekey = host::nodekey;
using settings::Text;

namespace {

constexpr std::size_t kChunk = 400;  // IDs per statement
constexpr int kMaxSuffix = 999;

QString Placeholders(std::size_t n) {
    QStringList marks;
    for (std::size_t i = 0; i < n; ++i) marks << QStringLiteral("?");
    return marks.join(u',');
}

// Runs a statement for the IDs in chunks ("... IN (%1)"); step learns how far it got.
void ForChunks(db::Connection& connection, const QString& sql, const std::vector<int>& ids,
               const std::function<void(std::size_t)>& step = {}) {
    for (std::size_t start = 0; start < ids.size(); start += kChunk) {
        if (step) step(start);
        const std::size_t n = std::min(kChunk, ids.size() - start);
        std::vector<QVariant> parameters;
        for (std::size_t i = 0; i < n; ++i) parameters.emplace_back(ids[start + i]);
        connection.Execute(sql.arg(Placeholders(n)), parameters);
    }
}

}  // namespace

MItem::MItem(editor::frmtabgridOPC& window) : m_window(window) {
    window.RegisterObjectFunction(QStringLiteral("mnuItemFunc"), [this](int code) { return ItemFunc(code); });
    window.RegisterObjectFunction(QStringLiteral("mnuItemHelperFunc"),
                                  [this](int code) { return ItemHelperFunc(code); });
    window.defaultModeDialog = ShowDefaultModeDialog;
    window.itemOptionsDialog = ShowItemOptionsDialog;
}

int MItem::CurrentDevice() const {
    const QString key = m_window.CurrentNode();
    return nodekey::Kind(key) == QStringLiteral("OPCD") ? std::max(nodekey::NodeId(key), 0) : 0;
}

QString MItem::Separator() const {
    const QString key = m_window.CurrentNode();
    if (nodekey::Kind(key) != QStringLiteral("OPCD") || !key.contains(nodekey::kSeparator)) return QString();
    const QString separator = nodekey::SecondField(key);
    return separator == QString(QChar(0)) ? QString() : separator;
}

QString MItem::BranchPath() const {
    return nodekey::BranchPath(m_window.CurrentNode());
}

QString MItem::Prefix() const {
    const QString path = BranchPath();
    return path.isEmpty() ? QString() : path + Separator();
}

bool MItem::RunInTransaction(const std::function<void()>& work, LongWork* progress) {
    db::Connection& connection = m_window.Data()->Connection();
    try {
        // Another program may hold the database: then not even the start succeeds.
        connection.InTransaction(work);
        if (progress) progress->Finish();
        return true;
    } catch (const db::DbError& e) {
        if (progress) progress->Finish();
        // Pending changes of the grid's recordset went with the rollback.
        m_window.CancelPendingItemEdits();
        // A Cancel is no error: the database is as it was.
        if (!progress || !progress->Cancelled())
            ui::ShowMessage(e.Description(), Text(310), ui::Buttons::OK, 0, ui::Icon::Critical);
        return false;
    }
}

namespace {
// A menu caption as a window title: without its access key.
QString Title(int textId) { return Text(textId).remove(u'&'); }
}  // namespace

std::vector<MItem::CopyEntry> MItem::ReadCopyEntries(const std::vector<int>& ids, const QString& field) {
    // In chunks through a forward-only cursor, in the order of ids.
    std::vector<CopyEntry> entries;
    entries.reserve(ids.size());
    db::Connection& connection = m_window.Data()->Connection();
    for (std::size_t start = 0; start < ids.size(); start += kChunk) {
        const std::size_t n = std::min(kChunk, ids.size() - start);
        QStringList list;
        for (std::size_t i = 0; i < n; ++i) list << QString::number(ids[start + i]);
        std::map<int, QString> names;
        db::Cursor rows(connection, QStringLiteral("SELECT ID, %1 FROM TpdbItems WHERE ID IN (%2)").arg(field, list.join(u',')));
        while (rows.Next()) names.emplace(rows.Value(0).toInt(), rows.Value(1).toString());
        for (std::size_t i = 0; i < n; ++i)
            if (const auto found = names.find(ids[start + i]); found != names.end())
                entries.push_back({found->first, found->second});
    }
    return entries;
}

bool MItem::DeleteWithProgress(const std::vector<int>& ids, const QString& title) {
    ui::BusyCursor busy;
    LongWork progress(m_window.Data()->Connection(), title, static_cast<qint64>(ids.size()));
    if (!RunInTransaction([&] { DeleteItems(ids, &progress); }, &progress)) return false;
    std::array<int, 7> removed{0, 0, -static_cast<int>(ids.size()), 0, 0, 0, 0};
    m_window.UpdateStatusCounters(QString(), editor::frmtabgridOPC::CounterMode::Add, removed);
    return true;
}

void MItem::AfterItemsDeleted(bool deleted, const std::vector<int>& ids) {
    if (!deleted) {
        AfterItemsChanged();
        return;
    }
    m_window.RefreshUnboundSources();
    m_window.ForgetItems(ids);
    m_window.NotifyView();
}

void MItem::AfterItemsChanged() {
    m_window.RefreshUnboundSources();
    m_window.ShowItemView();
    m_window.NotifyView();
}

int MItem::NewItem(const QString& prefix) {
    db::Connection& connection = m_window.Data()->Connection();
    db::Recordset& items = m_window.Data()->Recordset(QStringLiteral("rstabOPCItems"));
    if (items.State() != db::ObjectState::Open)
        items.Open(QStringLiteral("SELECT * FROM TpdbItems WHERE DeviceID= %1").arg(CurrentDevice()),
                   connection);
    // The first free number: the database refuses names in use.
    for (;; ++m_nextNumber) {
        const QString name = prefix + QString::number(m_nextNumber);
        items.AddNew();
        items.SetValue(QStringLiteral("Name"), name);
        items.SetValue(QStringLiteral("ItemAccess"), name);
        items.SetValue(QStringLiteral("DeviceID"), CurrentDevice());
        try {
            items.Update();
        } catch (const db::DbError& e) {
            items.CancelUpdate();
            if (!e.IsUniqueViolation()) throw;
            continue;
        }
        break;
    }
    const int id = items.Value(QStringLiteral("ID")).toInt();
    connection.Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (1, ?)"), {id});
    return id;
}

void MItem::PasteItem(int sourceId, const QString& name) {
    PasteItems({{sourceId, name}});
}

void MItem::PasteItems(const std::vector<CopyEntry>& entries, LongWork* progress) {
    db::Connection& connection = m_window.Data()->Connection();
    const QString prefix = Prefix();
    const bool nameView = m_window.SwitchViewFlag();
    const QString field = m_window.FieldNameFromSwitchView();
    const bool maintainTree =
        m_window.Session().Tree() && host::ProjectTree::MaintainsBranches(m_window.CurrentNode());
    const QString deviceKey = nodekey::DeviceKeyOf(m_window.CurrentNode());
    std::vector<int> newIds;
    QStringList addedPaths;
    const int device = CurrentDevice();
    QString insert;  // made once the fields are known
    for (std::size_t start = 0; start < entries.size(); start += kChunk) {
        if (progress) progress->Step(static_cast<qint64>(start));
        // The sources of a chunk in one read.
        const std::size_t n = std::min(kChunk, entries.size() - start);
        QStringList list;
        for (std::size_t i = 0; i < n; ++i) list << QString::number(entries[start + i].id);
        db::Cursor sources(connection, QStringLiteral("SELECT * FROM TpdbItems WHERE ID IN (%1)").arg(list.join(u',')));
        QStringList fields;
        for (int f = 0; f < sources.ColumnCount(); ++f) fields << sources.ColumnName(f);
        std::map<int, std::vector<QVariant>> values;
        while (sources.Next()) {
            std::vector<QVariant> row;
            for (int f = 0; f < fields.size(); ++f) row.push_back(sources.Value(f));
            values.emplace(row[static_cast<std::size_t>(fields.indexOf(QStringLiteral("ID")))].toInt(), std::move(row));
        }
        if (insert.isEmpty()) {
            QStringList names, marks;
            for (const QString& name : fields) {
                if (name == QStringLiteral("ID")) continue;
                names << u'[' + name + u']';
                marks << QStringLiteral("?");
            }
            insert = QStringLiteral("INSERT INTO TpdbItems (%1) VALUES (%2)").arg(names.join(u','), marks.join(u','));
        }
        for (std::size_t i = 0; i < n; ++i) {
            const CopyEntry& entry = entries[start + i];
            const auto source = values.find(entry.id);
            if (source == values.end()) continue;  // deleted meanwhile: nothing to paste
            // The copy with all the source's fields; the name is the first
            // candidate the database accepts: the name, "Copy of" it, "copy(n) of" it.
            for (int attempt = 0;; ++attempt) {
                QString candidate = prefix + entry.name;
                if (attempt == 1) candidate = prefix + Text(1107) + entry.name;
                if (attempt > 1)
                    candidate = prefix + Text(1108) + QString::number(attempt) + Text(1109) + entry.name;
                std::vector<QVariant> row;
                row.reserve(fields.size());
                QString path;
                for (int f = 0; f < fields.size(); ++f) {
                    const QString& name = fields[f];
                    if (name == QStringLiteral("ID")) continue;
                    QVariant value = source->second[static_cast<std::size_t>(f)];
                    if (name == QStringLiteral("Name") || (name == QStringLiteral("ItemAccess") && !nameView))
                        value = candidate;
                    if (name == QStringLiteral("DeviceID")) value = device;
                    if (name == field) path = value.toString();
                    row.push_back(value);
                }
                try {
                    connection.Execute(insert, row);
                    newIds.push_back(static_cast<int>(connection.LastInsertId()));
                    if (maintainTree) addedPaths << path;
                    break;
                } catch (const db::DbError& e) {
                    if (!e.IsUniqueViolation()) throw;
                }
            }
        }
    }
    // The tree follows once the copies are committed, all of them at once.
    if (!addedPaths.isEmpty())
        connection.AfterCommit([this, deviceKey, addedPaths] {
            if (host::ProjectTree* tree = m_window.Session().Tree()) tree->ItemsChanged(deviceKey, {}, addedPaths);
        });
    // Every copy joins group 1 and no other.
    for (std::size_t start = 0; start < newIds.size(); start += kChunk) {
        const std::size_t n = std::min(kChunk, newIds.size() - start);
        QStringList rows;
        std::vector<QVariant> parameters;
        for (std::size_t i = 0; i < n; ++i) {
            rows << QStringLiteral("(1, ?)");
            parameters.emplace_back(newIds[start + i]);
        }
        connection.Execute(
            QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) VALUES ") + rows.join(u','),
            parameters);
    }
}

void MItem::DeleteItems(const std::vector<int>& ids, LongWork* progress) {
    if (ids.empty()) return;
    db::Connection& connection = m_window.Data()->Connection();
    const QString field = m_window.FieldNameFromSwitchView();
    // What the tree and the texts need, read before the rows go.
    std::vector<int> textIds;
    QStringList paths;
    const bool hasTexts = connection.HasColumn(QStringLiteral("TpdbItems"), QStringLiteral("TextID"));
    // Reading takes about half the time, the deletes the other half.
    const auto step = [&](std::size_t half, std::size_t start) {
        if (progress) progress->Step(static_cast<qint64>((half * ids.size() + start) / 2));
    };
    for (std::size_t start = 0; start < ids.size(); start += kChunk) {
        step(0, start);
        const std::size_t n = std::min(kChunk, ids.size() - start);
        QStringList list;
        for (std::size_t i = 0; i < n; ++i) list << QString::number(ids[start + i]);
        // Read once, front to back: only the three fields needed.
        db::Cursor rows(connection, QStringLiteral("SELECT %1, DeviceID, %2 FROM TpdbItems WHERE ID IN (%3)")
                                        .arg(hasTexts ? QStringLiteral("TextID") : QStringLiteral("0"), field, list.join(u',')));
        const int device = CurrentDevice();
        while (rows.Next()) {
            if (const int textId = rows.Value(0).toInt(); textId > 0) textIds.push_back(textId);
            if (rows.Value(1).toInt() == device) paths << rows.Value(2).toString();
        }
    }
    ForChunks(connection, QStringLiteral("DELETE FROM TpdbConnections WHERE ItemID IN (%1)"), ids);
    if (m_window.SimulationOpen())
        ForChunks(connection, QStringLiteral("DELETE FROM TpdbSimulation WHERE ItemID IN (%1)"), ids);
    if (m_window.RedundancyOpen())
        ForChunks(connection, QStringLiteral("DELETE FROM TpdbAlign WHERE ItemID IN (%1)"), ids);
    ForChunks(connection, QStringLiteral("DELETE FROM TpdbItems WHERE ID IN (%1)"), ids,
              [&](std::size_t start) { step(1, start); });
    for (int textId : textIds) m_window.IndexTexts().DeleteItemText(textId);
    if (m_window.Session().Tree() && host::ProjectTree::MaintainsBranches(m_window.CurrentNode())) {
        const QString deviceKey = nodekey::DeviceKeyOf(m_window.CurrentNode());
        connection.AfterCommit([this, deviceKey, paths] {
            if (host::ProjectTree* tree = m_window.Session().Tree()) tree->ItemsChanged(deviceKey, paths, {});
        });
    }
}

std::vector<int> MItem::ItemsBelowNode() {
    const QString path = BranchPath();
    const QString field = m_window.FieldNameFromSwitchView();
    QString where = QStringLiteral("DeviceID = %1").arg(CurrentDevice());
    // Below the folder means behind its path and a separator, so the folder
    // "Line1" never takes the items of "Line10".
    if (!path.isEmpty()) {
        // Index ranges find the candidates, the Like decides unless they are
        // exact. "1 = 1", not "1": a server takes only a truth value in AND.
        const db::PrefixRanges ranges = db::LikePrefixRanges(field, path + Separator());
        where = editor::ItemViewBuilder::RowsInRanges(
            CurrentDevice(), field, ranges,
            ranges.exact ? QStringLiteral("1 = 1")
                         : QStringLiteral("%1 Like '%2%'").arg(field, editor::ItemViewBuilder::LikeLiteral(path + Separator())));
    }
    QString sql = QStringLiteral("SELECT ID FROM TpdbItems WHERE (") + where;
    sql += QStringLiteral(") ORDER BY ") + m_window.FieldNameFromSwitchView();
    std::vector<int> ids;
    db::Cursor rows(m_window.Data()->Connection(), sql);
    while (rows.Next()) ids.push_back(rows.Value(0).toInt());
    return ids;
}

bool MItem::ConfirmDelete(int count) {
    if (!m_window.RequestOnDelete()) return true;
    QString question = Text(1102);
    question.replace(QStringLiteral("<it>"), QString::number(count));
    return ui::ShowMessage(question, Text(310), ui::Buttons::OKCancel, 1, ui::Icon::Question) ==
           ui::Answer::OK;
}

bool MItem::ItemFunc(int code) {
    if (!m_window.Data()) return false;
    switch (code) {
        case 0:
            NewCommand();
            return true;
        case 1:
            EditCommand();
            return true;
        case 2:
            CopyCommand();
            return true;
        case 3:
            PasteCommand();
            return true;
        case 4:
            DeleteCommand();
            return true;
        default:
            // Items from the server's configurator belong to the OPC tools.
            return m_window.RunObjectFunction(QStringLiteral("mnuItemFunc.OPC"), code);
    }
}

bool MItem::ItemHelperFunc(int code) {
    if (!m_window.Data()) return false;
    switch (code) {
        case 0:
            RenameBranch();
            return true;
        case 1:
            CopyBranch();
            return true;
        case 2:
            PasteBranch();
            return true;
        case 3:
            DeleteBranch();
            return true;
        default:
            return false;
    }
}

void MItem::EditCommand() { EditItem(m_window); }

void MItem::NewCommand() {
    m_window.CommitGridEdits();
    ui::BusyCursor busy;
    m_nextNumber = 0;
    QString name;
    const bool done = RunInTransaction([&] {
        db::Recordset& items = m_window.Data()->Recordset(QStringLiteral("rstabOPCItems"));
        items.Close();
        NewItem(Prefix());
        name = items.Value(m_window.FieldNameFromSwitchView()).toString();
        items.Close();
    });
    if (!done) return;
    if (m_window.Session().Tree() && host::ProjectTree::MaintainsBranches(m_window.CurrentNode()))
        m_window.Session().Tree()->ItemAdded(nodekey::DeviceKeyOf(m_window.CurrentNode()), name);
    std::array<int, 7> added{0, 0, 1, 0, 0, 0, 0};
    m_window.UpdateStatusCounters(QString(), editor::frmtabgridOPC::CounterMode::Add, added);
    AfterItemsChanged();
    ui::GridModel& grid = m_window.tdbI();
    if (grid.RowCount() > 0) grid.SetCurrentCell(grid.RowCount() - 1, std::max(grid.CurrentColumn(), 0));
    m_window.FocusGrid(QStringLiteral("tdbI"));
}

void MItem::CopyCommand() {
    ui::GridModel& grid = m_window.tdbI();
    if (grid.SelectedBookmarks().empty()) return;
    const QString prefix = Prefix();
    std::vector<int> ids;
    for (const auto bookmark : grid.SelectedBookmarks()) ids.push_back(static_cast<int>(bookmark));
    ui::BusyCursor busy;
    m_buffer = ReadCopyEntries(ids, QStringLiteral("Name"));
    for (CopyEntry& entry : m_buffer)
        if (!prefix.isEmpty() && entry.name.startsWith(prefix)) entry.name = entry.name.mid(prefix.size());
    m_window.itemBufferFilled = !m_buffer.empty();
}

void MItem::PasteBuffer() {
    ui::BusyCursor busy;
    LongWork progress(m_window.Data()->Connection(), Title(245), static_cast<qint64>(m_buffer.size()));
    if (RunInTransaction([&] { PasteItems(m_buffer, &progress); }, &progress)) {
        std::array<int, 7> added{0, 0, static_cast<int>(m_buffer.size()), 0, 0, 0, 0};
        m_window.UpdateStatusCounters(QString(), editor::frmtabgridOPC::CounterMode::Add, added);
    }
    AfterItemsChanged();
}

void MItem::PasteCommand() {
    if (!m_window.itemBufferFilled) return;
    if (db::Recordset* rs = m_window.tdbI().Recordset())
        rs->CancelUpdate();  // pending grid edits are dropped
    PasteBuffer();
    m_window.FocusGrid(QStringLiteral("tdbI"));
}

void MItem::DeleteCommand() {
    std::vector<int> ids;
    for (const auto bookmark : m_window.tdbI().SelectedBookmarks()) ids.push_back(static_cast<int>(bookmark));
    if (ids.empty()) return;
    m_window.CommitGridEdits();
    if (!ConfirmDelete(static_cast<int>(ids.size()))) return;
    const bool deleted = DeleteWithProgress(ids, Title(246));
    m_window.itemBufferFilled = false;
    AfterItemsDeleted(deleted, ids);
}

void MItem::RenameBranch() {
    const QString path = BranchPath();
    const QString separator = Separator();
    if (path.isEmpty() || separator.isEmpty()) return;
    const qsizetype lastSeparator = path.lastIndexOf(separator);
    const QString last = lastSeparator < 0 ? path : path.mid(lastSeparator + separator.size());
    const QString parent = path.left(path.size() - last.size());  // empty, or ends with the separator

    FItemStructEditor dialog(last);
    const bool confirmed = ui::ShowModal(dialog);
    const QString entered = dialog.EnteredName();
    dialog.Unload();
    if (!confirmed) return;

    QString prefix = entered.isEmpty() ? parent.left(parent.size() - separator.size()) : parent + entered;
    if (entered.isEmpty() && parent.isEmpty()) prefix.clear();
    const QString field = m_window.FieldNameFromSwitchView();
    const bool itemAccessView = !m_window.SwitchViewFlag();
    const std::vector<int> ids = ItemsBelowNode();
    std::vector<std::pair<QString, QString>> moves;
    ui::BusyCursor busy;
    LongWork progress(m_window.Data()->Connection(), Title(218) + QStringLiteral(": ") + path, static_cast<qint64>(ids.size()));
    const bool committed = RunInTransaction([&] {
        for (std::size_t start = 0; start < ids.size(); start += kChunk) {
            progress.Step(static_cast<qint64>(start));
            QStringList list;
            for (std::size_t i = start; i < std::min(ids.size(), start + kChunk); ++i)
                list << QString::number(ids[i]);
            // The chunk's names first, then the updates: nothing is read
            // from the table while it changes.
            db::Connection& connection = m_window.Data()->Connection();
            std::vector<std::pair<int, QString>> rows;
            {
                db::Cursor read(connection, QStringLiteral("SELECT ID, %1 FROM TpdbItems WHERE ID IN (%2)").arg(field, list.join(u',')));
                while (read.Next()) rows.emplace_back(read.Value(0).toInt(), read.Value(1).toString());
            }
            const QString update = itemAccessView ? QStringLiteral("UPDATE TpdbItems SET Name = ?, ItemAccess = ? WHERE ID = ?")
                                                  : QStringLiteral("UPDATE TpdbItems SET Name = ? WHERE ID = ?");
            for (const auto& [id, old] : rows) {
                // W keeps what followed the folder; without a new prefix the
                // folder and its separator go.
                const QString renamed = prefix.isEmpty() ? old.mid(path.size() + separator.size())
                                                         : prefix + old.mid(path.size());
                for (int attempt = 0; attempt <= kMaxSuffix; ++attempt) {
                    const QString candidate =
                        attempt == 0 ? renamed : renamed + QStringLiteral("(%1)").arg(attempt);
                    try {
                        if (itemAccessView)
                            connection.Execute(update, {candidate, candidate, id});
                        else
                            connection.Execute(update, {candidate, id});
                        moves.emplace_back(old, candidate);
                        break;
                    } catch (const db::DbError& e) {
                        if (!e.IsUniqueViolation()) throw;
                    }
                }
            }
        }
    }, &progress);
    host::Connect& session = m_window.Session();
    const QString deviceKey = nodekey::DeviceKeyOf(m_window.CurrentNode());
    if (!committed) {
        AfterItemsChanged();
        return;
    }
    if (session.Tree() && host::ProjectTree::MaintainsBranches(m_window.CurrentNode())) {
        QStringList from, to;
        for (const auto& [oldPath, newPath] : moves) {
            if (oldPath == newPath) continue;
            from << oldPath;
            to << newPath;
        }
        session.Tree()->ItemsChanged(deviceKey, from, to);
    }
    // The renamed folder is the one to show now (the device when it went away).
    const QString newKey = prefix.isEmpty() ? deviceKey : deviceKey + nodekey::kSeparator + prefix;
    QVariant probe;
    const QString show =
        session.Host() && session.Host()->GetNodeProperty(newKey, host::kPropertyText, probe) == 0
            ? newKey
            : deviceKey;
    if (session.Host()) session.Host()->SelectNode(show);
    m_window.RefreshUnboundSources();
    m_window.ShowNode(show);  // reads the items afresh
}

void MItem::CopyBranch() {
    const QString path = BranchPath();
    const qsizetype cut = path.lastIndexOf(Separator().isEmpty() ? QString(QChar(0xFF)) : Separator());
    ui::BusyCursor busy;
    // The names from the branch's own folder on.
    m_buffer = ReadCopyEntries(ItemsBelowNode(), m_window.FieldNameFromSwitchView());
    if (cut >= 0)
        for (CopyEntry& entry : m_buffer) entry.name = entry.name.mid(cut + Separator().size());
    m_window.itemBufferFilled = !m_buffer.empty();
}

void MItem::PasteBranch() {
    if (!m_window.itemBufferFilled) return;
    PasteBuffer();
}

void MItem::DeleteBranch() {
    const std::vector<int> ids = ItemsBelowNode();
    const bool deleted = ConfirmDelete(static_cast<int>(ids.size())) &&
                         DeleteWithProgress(ids, Title(221) + QStringLiteral(": ") + BranchPath());
    m_window.itemBufferFilled = false;
    AfterItemsDeleted(deleted, ids);
}

}  // namespace ov::objects
