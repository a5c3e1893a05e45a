#pragma once

#include "platform/ui/Form.h"

#include <QString>
#include <vector>

namespace ov::db {
class Connection;
}

namespace ov::tools {

// The group wizard's state: per group whether none (1), some (2) or all (3)
// of the selected items are connected to it, at the start and now. Marking
// a group "all" puts the items into that group alone.
class GroupAssignment {
  public:
    enum State { kNone = 1, kSome = 2, kAll = 3 };
    struct Group {
        int id = 0;
        QString name;
        int initial = kNone;
        int state = kNone;
        std::vector<bool> connectedAtStart;  // per selected item
    };

    // Every group, in ID order, with the connections of the items.
    void Load(db::Connection& connection, std::vector<int> items);
    const std::vector<Group>& Groups() const { return m_groups; }
    const std::vector<int>& Items() const { return m_items; }

    // A click (or Space) on a group: a group some items were in cycles
    // some, all, none; others toggle between none and all.
    void Toggle(std::size_t group);
    // Whether every item would still be in at least one group.
    bool EveryItemKeepsAGroup() const;
    bool Changed() const;
    // Adds and removes connections for every group whose state changed, in
    // one transaction; gives whether anything changed. Database errors are thrown.
    bool Apply(db::Connection& connection) const;

  private:
    std::vector<int> m_items;
    std::vector<Group> m_groups;
};

// The wizard's dialog: the groups in a list (lvwGroups), a state mark in
// the first column; a click or Space on an entry changes its state. OK is
// refused with text 1603 while an item would be left without a group.
// Closing the window counts as Cancel.
class FGroupWizzard : public ui::Form {
  public:
    explicit FGroupWizzard(GroupAssignment& assignment);
    bool Cancelled() const { return m_cancel; }

  protected:
    void OnLoad() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;
    void OnKeyDown(int& keyCode, int shift) override;

  private:
    void ShowGroups();
    void Toggle(int row);

    GroupAssignment& m_assignment;
    bool m_cancel = true;
};

}  // namespace ov::tools
