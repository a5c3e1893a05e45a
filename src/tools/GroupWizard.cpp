#include "tools/GroupWizard.h"

#include "platform/db/Connection.h"
#include "platform/db/Field.h"
#include "platform/db/Recordset.h"
#include "platform/ui/MessageBox.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

#include <QSet>

namespace ov::tools {

using settings::Text;

namespace {

constexpr int kChunk = 500;
const QString kList = QStringLiteral("lvwGroups");

QString Pair(qint64 group, qint64 item) { return QString::number(group) + u':' + QString::number(item); }

// How the state shows in the list.
QString Mark(int state) {
    switch (state) {
        case GroupAssignment::kAll: return QStringLiteral("\u2611");   // all of them
        case GroupAssignment::kSome: return QStringLiteral("\u25A3");  // some
        default: return QStringLiteral("\u2610");                      // none
    }
}

}  // namespace

void GroupAssignment::Load(db::Connection& connection, std::vector<int> items) {
    m_items = std::move(items);
    m_groups.clear();
    // Which of the items are in which group, read in chunks.
    QSet<QString> pairs;
    for (std::size_t start = 0; start < m_items.size(); start += kChunk) {
        QStringList list;
        for (std::size_t i = start; i < std::min(m_items.size(), start + kChunk); ++i) list << QString::number(m_items[i]);
        db::Recordset rs;
        rs.Open(QStringLiteral("SELECT GroupID, ItemID FROM TpdbConnections WHERE ItemID IN (%1)").arg(list.join(u',')),
                connection);
        for (; !rs.IsEOF(); rs.MoveNext()) pairs.insert(Pair(rs.Fields(0).Value().toLongLong(), rs.Fields(1).Value().toLongLong()));
    }
    db::Recordset groups;
    groups.Open(QStringLiteral("SELECT ID, Name FROM TpdbGroups ORDER BY ID"), connection);
    for (; !groups.IsEOF(); groups.MoveNext()) {
        Group group;
        group.id = groups.Fields(0).Value().toInt();
        group.name = groups.Fields(1).Value().toString();
        std::size_t hits = 0;
        for (const int item : m_items) {
            const bool connected = pairs.contains(Pair(group.id, item));
            group.connectedAtStart.push_back(connected);
            hits += connected ? 1 : 0;
        }
        group.initial = hits == 0 ? kNone : hits == m_items.size() ? kAll : kSome;
        group.state = group.initial;
        m_groups.push_back(std::move(group));
    }
}

void GroupAssignment::Toggle(std::size_t index) {
    if (index >= m_groups.size()) return;
    Group& group = m_groups[index];
    group.state = group.initial == kSome ? group.state % 3 + 1 : (group.state == kNone ? kAll : kNone);
    for (std::size_t i = 0; i < m_groups.size(); ++i) {
        if (i == index) continue;
        if (group.state == kAll) m_groups[i].state = kNone;
        if (group.state == kNone && m_groups[i].initial == kSome) m_groups[i].state = kSome;
    }
}

bool GroupAssignment::EveryItemKeepsAGroup() const {
    for (std::size_t item = 0; item < m_items.size(); ++item) {
        bool kept = false;
        for (const Group& group : m_groups)
            kept = kept || group.state == kAll || (group.state == kSome && group.connectedAtStart[item]);
        if (!kept) return false;
    }
    return true;
}

bool GroupAssignment::Changed() const {
    for (const Group& group : m_groups)
        if (group.state != group.initial) return true;
    return false;
}

bool GroupAssignment::Apply(db::Connection& connection) const {
    if (!Changed()) return false;
    connection.InTransaction([&] {
        for (const Group& group : m_groups) {
            if (group.state == group.initial) continue;
            for (const int item : m_items) {
                if (group.state == kAll)
                    connection.Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) SELECT ?, ? WHERE NOT EXISTS "
                                                      "(SELECT 1 FROM TpdbConnections WHERE GroupID = ? AND ItemID = ?)"),
                                       {group.id, item, group.id, item});
                else
                    connection.Execute(QStringLiteral("DELETE FROM TpdbConnections WHERE GroupID = ? AND ItemID = ?"),
                                       {group.id, item});
            }
        }
    });
    return true;
}

FGroupWizzard::FGroupWizzard(GroupAssignment& assignment)
    : ui::Form(QStringLiteral("FGroupWizzard")), m_assignment(assignment) {
    tag = QStringLiteral("C1601");
    helpContextId = settings::help::kGroupWizardDialog;
    keyPreview = true;
    Add(ui::ControlType::Frame, QStringLiteral("fraGroups")).tag = QStringLiteral("C1602");
    Add(ui::ControlType::ListView, kList).container = QStringLiteral("fraGroups");
    AddOkAndCancel();
}

void FGroupWizzard::OnLoad() {
    settings::LocaliseCaptions(*this);
    Get(kList).listViewColumns = {QString(), Text(1602)};
    m_cancel = true;
    ShowGroups();
    SetFocus(kList);
}

void FGroupWizzard::ShowGroups() {
    ui::Control& list = Get(kList);
    list.listViewRows.clear();
    for (const GroupAssignment::Group& group : m_assignment.Groups()) list.listViewRows.push_back({Mark(group.state), group.name});
}

void FGroupWizzard::Toggle(int row) {
    if (row < 0 || row >= static_cast<int>(m_assignment.Groups().size())) return;
    m_assignment.Toggle(static_cast<std::size_t>(row));
    ShowGroups();
    Get(kList).listIndex = -1;  // the entry is deselected, so the next click counts again
}

void FGroupWizzard::OnEvent(ui::Control& control, ui::FormEvent event) {
    if (event != ui::FormEvent::Click) return;
    const QString& name = control.Name();
    if (name == kList) {
        Toggle(control.listIndex);
    } else if (name == QStringLiteral("cmdOK")) {
        if (!m_assignment.EveryItemKeepsAGroup()) {
            ui::ShowMessage(Text(1603), Text(1601), ui::Buttons::OK, 0, ui::Icon::Warning);
            return;
        }
        m_cancel = false;
        Hide(true);
    } else if (name == QStringLiteral("cmdCancel")) {
        m_cancel = true;
        Hide(false);
    }
}

void FGroupWizzard::OnKeyDown(int& keyCode, int shift) {
    constexpr int kSpace = 32;
    if (keyCode == kSpace && shift == 0 && KeyControl() == kList) {
        Toggle(Get(kList).listIndex);
        keyCode = 0;
    }
}

}  // namespace ov::tools
