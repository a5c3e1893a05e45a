#pragma once

#include <QSet>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <vector>

namespace ov::db {
class Recordset;
}
namespace ov::editor {
class frmtabgridOPC;
}

namespace ov::objects {

class FStructMember;

// The structure commands (mnuStructureFunc: 0 new, 1 edit, 2 delete) and
// the member commands (mnuStructMemberFunc: 0 new, 1 edit, 2 delete,
// 3 copy, 4 paste) of the editor window.
class MStructure {
  public:
    explicit MStructure(editor::frmtabgridOPC& window);
    bool StructureFunc(int code);
    bool MemberFunc(int code);

  private:
    bool NewStructure();
    bool EditStructure();
    bool DeleteStructure();
    bool NewMember();
    bool EditMember();
    bool DeleteMembers();
    bool CopyMembers();
    bool PasteMembers();

    int CurrentStructureId() const;
    QString StructureName(int id) const;
    void ReloadNames();
    std::vector<int> SelectedMemberIds() const;
    // Inserts a member under the first name of the sequence that the
    // structure does not have yet (taken: its names, case-folded, kept up
    // to date); gives the name taken.
    QString InsertMember(QVariantMap fields, const std::function<QString(int attempt)>& nameAt, QSet<QString>& taken);
    QSet<QString> MemberNames(int structureId) const;
    void LoadMemberDialog(FStructMember& dialog, db::Recordset& member);
    void WriteMemberDialog(FStructMember& dialog, db::Recordset& member, const QString& textBefore);
    void ShowMemberRow(int memberId);
    void MembersChanged(int delta);

    editor::frmtabgridOPC& m_window;
};

}  // namespace ov::objects
