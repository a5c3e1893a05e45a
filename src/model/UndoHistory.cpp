#include "model/UndoHistory.h"

#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "platform/db/DbError.h"
#include "settings/TextTable.h"

#include <QLocale>
#include <utility>

namespace ov::model {

namespace {

using settings::Text;

// The objects a step is named after, the most encompassing first: a
// deleted device is "Delete Channel (channel)" however many items went with it.
struct ObjectTable {
    const char* table;
    int singular;  // text numbers; the plural follows
    const char* nameQuery;  // the object's name by row key
};
const ObjectTable kObjectTables[] = {
    {"TpdbDevices", 9197, "SELECT Name FROM TpdbDevices WHERE ID = %1"},
    {"TpdbGroups", 9199, "SELECT Name FROM TpdbGroups WHERE ID = %1"},
    {"TpdbStructDefs", 9203, "SELECT Name FROM TpdbStructDefs WHERE ID = %1"},
    {"TpdbUnitClasses", 9207, "SELECT Name FROM TpdbUnitClasses WHERE ID = %1"},
    {"TpdbUnits", 9209, "SELECT PhysicalUnitText FROM TpdbUnits WHERE ID = %1"},
    {"TpdbStructMembers", 9205, "SELECT Name FROM TpdbStructMembers WHERE ID = %1"},
    {"TpdbItems", 9201, "SELECT Coalesce(Name, ItemAccess) FROM TpdbItems WHERE ID = %1"},
    {"TpdbSimulation", 9201, "SELECT Coalesce(Name, ItemAccess) FROM TpdbItems WHERE ID = %1"},
    {"TpdbAlign", 9201, "SELECT Coalesce(Name, ItemAccess) FROM TpdbItems WHERE ID = %1"},
    {"TpdbConnections", 9211,
     "SELECT g.Name || ': ' || Coalesce(i.Name, i.ItemAccess) FROM TpdbConnections c JOIN TpdbGroups g ON g.ID = "
     "c.GroupID JOIN TpdbItems i ON i.ID = c.ItemID WHERE c.ID = %1"},
    {"TidxTexts", 9223, "SELECT Name FROM TidxTexts WHERE ID = %1"},
};

const ObjectTable* FindTable(const QString& table) {
    for (const ObjectTable& t : kObjectTables)
        if (table.compare(QLatin1String(t.table), Qt::CaseInsensitive) == 0) return &t;
    return nullptr;
}

QString Count(qint64 n) {
    const QLocale locale(settings::TextTable::Instance().Language() == settings::TextTable::kEnglish
                             ? QLocale::English
                             : QLocale::German);
    return locale.toString(n);
}

QString PlainCaption(QString caption) {
    caption.remove(u'&');
    if (caption.endsWith(QStringLiteral("..."))) caption.chop(3);
    return caption.trimmed();
}

}  // namespace

UndoHistory::UndoHistory() : UndoHistory(Limits{}) {}

UndoHistory::UndoHistory(Limits limits) : m_limits(limits) {}

UndoHistory::~UndoHistory() { Detach(); }

void UndoHistory::Attach(db::Connection& connection) {
    Detach();
    m_connection = &connection;
    connection.SetCommitObserver([this] { OnCommitted(); });
    connection.SetSchemaObserver([this] { OnSchemaChanged(); });
    Restart();
}

void UndoHistory::Detach() {
    if (!m_connection) return;
    try {
        // A command that opens the project again (an import reads the
        // whole view anew) stays one step.
        if (m_recorder) m_pending = m_pending.Then(Recorded());
    } catch (const db::DbError&) {
        m_pending = {};
    }
    m_recorder.reset();
    if (m_connection->State() == db::ObjectState::Open) {
        m_connection->SetCommitObserver({});
        m_connection->SetSchemaObserver({});
    }
    m_connection = nullptr;
}

void UndoHistory::Restart() {
    m_recorder.reset();
    if (!m_connection) return;
    m_recorder = std::make_unique<db::ChangeRecorder>(*m_connection);
    // The recording of a step that could not be kept stops early.
    m_recorder->SetLimit(m_limits.bytes);
}

UndoHistory::Command::Command(UndoHistory* history, const QString& caption) : m_history(history) {
    if (!m_history) return;
    if (m_history->m_commandDepth++ == 0) m_history->m_commandCaption = caption;
}

UndoHistory::Command::~Command() {
    if (!m_history || --m_history->m_commandDepth > 0) return;
    try {
        m_history->Cut();
    } catch (const db::DbError&) {
        // Changes that cannot be read cannot be taken back: start afresh.
        m_history->Clear();
    }
    m_history->m_commandCaption.clear();
}

void UndoHistory::OnCommitted() {
    if (m_applying || m_commandDepth > 0) return;
    try {
        Cut();
    } catch (const db::DbError&) {
        Clear();
    }
}

void UndoHistory::OnSchemaChanged() {
    // Index changes are not row changes: neither the steps before them nor
    // the rows their command rewrites (every name, when the alias function
    // goes off) can be taken back without them. All of it goes.
    if (m_commandDepth > 0 || (m_connection && m_connection->TransactionLevel() > 0))
        m_schemaChanged = true;  // the rest of the work goes at the cut
    else
        Restart();
    if (m_undo.empty() && m_redo.empty()) return;
    Forget();
    Notify(Text(9217));
}

void UndoHistory::Cut() {
    db::Changeset changes = std::exchange(m_pending, {});
    const bool tooLarge = m_overflowed || (m_recorder && m_recorder->Overflowed());
    const bool schema = std::exchange(m_schemaChanged, false);
    m_overflowed = false;
    if (m_recorder && !tooLarge && !schema) changes = changes.Then(m_recorder->Changes());
    Restart();
    if (schema || tooLarge) TellObservers(nullptr);
    if (schema) return;
    if (tooLarge) {
        DropAll(m_limits.bytes);
        return;
    }
    if (changes.IsEmpty()) return;
    TellObservers(&changes);
    const QString caption = m_commandCaption.isEmpty() ? Text(9194) : m_commandCaption;
    Push({StepName(caption, changes), std::move(changes)});
}

db::Changeset UndoHistory::Recorded() {
    if (m_recorder->Overflowed()) {
        m_overflowed = true;
        return {};
    }
    return m_recorder->Changes();
}

void UndoHistory::DropAll(qint64 bound) {
    // Too large to keep; the steps before it could only be taken back
    // through it, so they go as well.
    const qint64 megabytes = (bound + (1 << 20) - 1) >> 20;
    Forget();
    Notify(Text(9218).replace(QStringLiteral("<n>"), Count(megabytes)));
}

void UndoHistory::Push(Step step) {
    m_redo.clear();
    if (step.changes.Size() > m_limits.bytes) {
        DropAll(m_limits.bytes);
        return;
    }
    m_bytes += step.changes.Size();
    m_undo.push_back(std::move(step));
    while (static_cast<int>(m_undo.size()) > m_limits.steps || m_bytes > m_limits.bytes) {
        m_bytes -= m_undo.front().changes.Size();
        m_undo.pop_front();
    }
    Notify();
}

void UndoHistory::Clear() {
    Forget();
    Notify();
}

void UndoHistory::Forget() {
    m_undo.clear();
    m_redo.clear();
    m_bytes = 0;
}

void UndoHistory::Notify(const QString& why) {
    if (changed) changed(why);
}

QStringList UndoHistory::UndoNames() const {
    QStringList names;
    for (auto it = m_undo.rbegin(); it != m_undo.rend(); ++it) names << it->name;
    return names;
}

QStringList UndoHistory::RedoNames() const {
    QStringList names;
    for (auto it = m_redo.rbegin(); it != m_redo.rend(); ++it) names << it->name;
    return names;
}

UndoHistory::Outcome UndoHistory::Undo() {
    if (m_undo.empty()) return {false, Text(9221)};
    return Apply(m_undo, m_redo, true);
}

UndoHistory::Outcome UndoHistory::Redo() {
    if (m_redo.empty()) return {false, Text(9222)};
    return Apply(m_redo, m_undo, false);
}

UndoHistory::Outcome UndoHistory::Apply(std::deque<Step>& from, std::deque<Step>& to, bool inverted) {
    if (!m_connection) return {false, Text(9221)};
    const Step& step = from.back();
    db::ApplyOutcome outcome;
    m_applying = true;
    try {
        outcome = db::ApplyChangeset(*m_connection, inverted ? step.changes.Inverted() : step.changes);
    } catch (...) {
        m_applying = false;
        Restart();
        throw;
    }
    m_applying = false;
    // What the apply wrote is not a step of its own.
    Restart();
    if (!outcome.applied) {
        const QString object = outcome.conflict ? Describe(*outcome.conflict) : QString();
        return {false, Text(inverted ? 9215 : 9216).replace(QStringLiteral("<c>"), step.name).replace(QStringLiteral("<o>"), object)};
    }
    to.push_back(std::move(from.back()));
    from.pop_back();
    TellObservers(&to.back().changes);
    Notify();
    return {true, {}};
}

int UndoHistory::AddChangeObserver(ChangeObserver observer) {
    m_observers.emplace(m_nextObserver, std::move(observer));
    return m_nextObserver++;
}

void UndoHistory::RemoveChangeObserver(int id) { m_observers.erase(id); }

void UndoHistory::TellObservers(const db::Changeset* changes) {
    // An observer may remove itself while it is told.
    const std::map<int, ChangeObserver> observers = m_observers;
    for (const auto& [id, observer] : observers)
        if (m_observers.contains(id)) observer(changes);
}

QString UndoHistory::Describe(const db::ConflictingRow& row) const {
    const ObjectTable* table = FindTable(row.table);
    if (!table) return Text(9213) + QStringLiteral(" %1 (%2)").arg(row.key.toString(), row.table);
    QString name;
    try {
        db::Cursor cursor(*m_connection, QString::fromUtf8(table->nameQuery).arg(row.key.toLongLong()));
        if (cursor.Next()) name = cursor.Value(0).toString();
        else
            return Text(9220).replace(QStringLiteral("<o>"), Text(table->singular)).replace(QStringLiteral("<id>"), row.key.toString());
    } catch (const db::DbError&) {
        // Unreadable now: the row's key still tells which one.
        name = row.key.toString();
    }
    return Text(9219).replace(QStringLiteral("<o>"), Text(table->singular)).replace(QStringLiteral("<n>"), name);
}

QString UndoHistory::StepName(const QString& caption, const db::Changeset& changes) {
    const QString plain = PlainCaption(caption);
    const auto summary = changes.Summary();
    for (const ObjectTable& table : kObjectTables) {
        const auto it = summary.find(QString::fromUtf8(table.table));
        if (it == summary.end() || it->second.Total() == 0) continue;
        const qint64 n = it->second.Total();
        if (n == 1) return Text(9196).replace(QStringLiteral("<c>"), plain).replace(QStringLiteral("<o>"), Text(table.singular));
        return Text(9195)
            .replace(QStringLiteral("<c>"), plain)
            .replace(QStringLiteral("<n>"), Count(n))
            .replace(QStringLiteral("<o>"), Text(table.singular + 1));
    }
    qint64 rows = 0;
    for (const auto& [name, counts] : summary) rows += counts.Total();
    return Text(9195).replace(QStringLiteral("<c>"), plain).replace(QStringLiteral("<n>"), Count(rows)).replace(QStringLiteral("<o>"), Text(rows == 1 ? 9213 : 9214));
}

}  // namespace ov::model
