#include "editor/NameGroups.h"

#include "platform/db/Recordset.h"

namespace ov::editor {

QSet<QString>* NameGroups::Set(const QString& kind) {
    for (const char* known : kKinds)
        if (kind == QLatin1String(known)) return &m_sets[kind];
    return nullptr;
}

const QSet<QString>* NameGroups::Set(const QString& kind) const {
    const auto it = m_sets.constFind(kind);
    if (it != m_sets.constEnd()) return &*it;
    for (const char* known : kKinds)
        if (kind == QLatin1String(known)) {
            static const QSet<QString> none;
            return &none;
        }
    return nullptr;
}

bool NameGroups::NamesInGroup(db::Recordset& recordset, const QString& kind) {
    QSet<QString>* names = Set(kind);
    if (!names) return false;
    names->clear();
    const int field = recordset.FieldIndex(QStringLiteral("Name"));
    if (recordset.RecordCount() == 0 || field < 0) return true;
    for (recordset.MoveFirst(); !recordset.IsEOF(); recordset.MoveNext())
        names->insert(Key(recordset.Fields(field).Value().toString()));
    recordset.MoveFirst();
    return true;
}

void NameGroups::DeleteNameInGroup(const QString& name, const QString& kind) {
    if (QSet<QString>* names = Set(kind)) names->remove(Key(name));
}

bool NameGroups::AddNameInGroup(const QString& name, const QString& kind) {
    QSet<QString>* names = Set(kind);
    if (!names || names->contains(Key(name))) return false;
    names->insert(Key(name));
    return true;
}

bool NameGroups::ChangeNameInGroup(const QString& oldName, const QString& newName, const QString& kind) {
    if (oldName == newName) return Set(kind) != nullptr;
    if (!AddNameInGroup(newName, kind)) return false;
    DeleteNameInGroup(oldName, kind);
    return true;
}

bool NameGroups::TestNameInGroup(const QString& name, const QString& kind) const {
    const QSet<QString>* names = Set(kind);
    return names && !names->contains(Key(name));
}

int NameGroups::Count(const QString& kind) const {
    const QSet<QString>* names = Set(kind);
    return names ? static_cast<int>(names->size()) : 0;
}

}  // namespace ov::editor
