#pragma once

#include <QHash>
#include <QSet>
#include <QString>

namespace ov::db {
class Recordset;
}

namespace ov::editor {

// The names in use per object kind, kept by the editor window: "Dev"
// devices, "Grp" groups, "Itm" items, "Utc" unit classes, "Str" structures.
// Names compare without regard to letter case, Unicode included, so
// "Motor" and "MOTOR" are one name. An unknown kind has no set: nothing can
// be added to it and no name counts as free in it.
class NameGroups {
public:
    static constexpr const char* kKinds[] = {"Dev", "Grp", "Itm", "Utc", "Str"};

    // Takes the names of a recordset's records (field "Name") as the kind's
    // set; leaves the recordset on its first record. False for an unknown kind.
    bool NamesInGroup(db::Recordset& recordset, const QString& kind);
    void DeleteNameInGroup(const QString& name, const QString& kind);
    // False when the name is present already (or the kind unknown).
    bool AddNameInGroup(const QString& name, const QString& kind);
    // Replaces one name by another; false, and nothing changed, when the new
    // one is in use. Names that are exactly equal change nothing; a change of
    // letter case alone is refused, since the new name counts as present.
    bool ChangeNameInGroup(const QString& oldName, const QString& newName, const QString& kind);
    // True when the name is free.
    bool TestNameInGroup(const QString& name, const QString& kind) const;

    int Count(const QString& kind) const;

private:
    static QString Key(const QString& name) { return name.toCaseFolded(); }
    QSet<QString>* Set(const QString& kind);
    const QSet<QString>* Set(const QString& kind) const;

    QHash<QString, QSet<QString>> m_sets;
};

}  // namespace ov::editor
