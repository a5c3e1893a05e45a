#pragma once

#include "editor/GroupGrid.h"
#include "editor/MemberGrid.h"
#include "editor/UnitGrid.h"

#include <QString>
#include <memory>
#include <utility>
#include <vector>

namespace ov::db {
class Recordset;
}

namespace ov::editor {

class frmtabgridOPC;

// Owns which node the window shows and how: the four grids and their columns,
// the grid in front, each grid's rows in their sort order, the type and unit lists.
class EditorViews {
public:
    explicit EditorViews(frmtabgridOPC& window);
    ~EditorViews();

    void BuildGrids();
    bool GridsBuilt() const { return m_gridsBuilt; }
    void FirstDisplay();
    void ShowNode(const QString& key);
    void SwitchGrids(const QString& key);
    const QString& CurrentNode() const { return m_currentNode; }
    // The group grid's current row names the current node without another view.
    void SetCurrentNodeKey(const QString& key) { m_currentNode = key; }
    void ClearCurrentNode() { m_currentNode.clear(); }
    const QString& FrontGrid() const { return m_frontGrid; }

    enum class Errors { Reported, Quiet };
    bool ShowItemView(Errors errors);
    bool ShowItemViewKeepingCurrent(int column, Errors errors);
    const QString& SortField() const { return m_sortField; }
    void SetSortField(const QString& field) { m_sortField = field; }
    // Items a command deleted leave the item grid without the view being read again.
    void ForgetItems(const std::vector<int>& ids);

    void RequeryStructMembers();
    void RequeryUnits();
    void RequeryGroups();
    void FormatUnitGrid();
    void RebuildTypeLists();
    void RebuildUnitClassLists();
    // The grid of the node shown follows the language picked in the selector.
    void ShowLanguage();

    const std::vector<std::pair<int, QString>>& GroupList() const { return m_groups; }
    void LoadGroupList();
    void ReloadGroupNames();

private:
    db::Recordset& Items();
    void OpenItemRecordset(const QString& sql);
    void ShowDeviceNameColumn(bool shown);
    void ApplyStoredColumns();
    void AttachGridBehaviour();

    frmtabgridOPC& m_window;
    std::unique_ptr<GroupGrid> m_groupGrid;
    std::unique_ptr<MemberGrid> m_memberGrid;
    std::unique_ptr<UnitGrid> m_unitGrid;
    std::vector<std::pair<int, QString>> m_groups;
    QString m_currentNode;
    QString m_frontGrid = QStringLiteral("tdbI");
    QString m_sortField;
    bool m_gridsBuilt = false;
};

}  // namespace ov::editor
