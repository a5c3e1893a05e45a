// The group wizard: the states it starts from, how clicks change them, the
// check of OK, and the connections it writes; and the wizard reached from
// the function tool bar with rows selected.

#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "platform/db/Connection.h"
#include "support/EditorTest.h"
#include "support/QtPrinters.h"
#include "tools/GroupWizard.h"

#include <gtest/gtest.h>

using namespace ov;
using settings::Text;
using tools::GroupAssignment;

namespace {

class GroupWizardTest : public test::EditorTest {
  protected:
    void SetUp() override {
        Open();
        Click(motor1);
        ClearShown();
    }
    int IdOf(const char* name) {
        return Query(QStringLiteral("SELECT ID FROM TpdbItems WHERE Name = '%1'").arg(QString::fromUtf8(name))).toInt();
    }
    std::size_t IndexOf(const GroupAssignment& a, const char* name) {
        for (std::size_t i = 0; i < a.Groups().size(); ++i)
            if (a.Groups()[i].name == QString::fromUtf8(name)) return i;
        ADD_FAILURE() << name;
        return 0;
    }
    // Every group's state in ID order, as "Standard=all Fast=some Slow=none".
    static QString States(const GroupAssignment& a, bool initial = false) {
        static const char* const kWords[] = {"?", "none", "some", "all"};
        QStringList states;
        for (const auto& g : a.Groups()) states << g.name + u'=' + QString::fromUtf8(kWords[initial ? g.initial : g.state]);
        return states.join(u' ');
    }
    GroupAssignment Load(std::vector<int> items) {
        GroupAssignment a;
        a.Load(Window().Data()->Connection(), std::move(items));
        return a;
    }
    // The groups an item is connected to, by name in ID order.
    QString GroupsOf(int item) {
        return Query(QStringLiteral("SELECT group_concat(Name, ' ') FROM (SELECT g.Name FROM TpdbConnections c JOIN TpdbGroups g "
                                    "ON g.ID = c.GroupID WHERE c.ItemID = %1 ORDER BY g.ID)").arg(item)).toString();
    }

    const QString motor1 = host::nodekey::DeviceKey(1, QStringLiteral("."), false) + host::nodekey::kSeparator + QStringLiteral("Line1.Motor1");
};

// One item is in a group or not, several may be in part; marking a group whole
// clears the others and unmarking it brings back the part ones.
TEST_F(GroupWizardTest, StatesStartFromTheItemsAndFollowTheClicks) {
    const GroupAssignment one = Load({IdOf("Line1.Motor1.Speed")});
    EXPECT_EQ(States(one, true), QStringLiteral("Standard=all Fast=all Slow=none"));
    EXPECT_EQ(States(one), States(one, true));
    const std::vector<int> items{IdOf("Line1.Motor1.Speed"), IdOf("Line1.Motor1.Current")};
    GroupAssignment a = Load(items);
    EXPECT_EQ(States(a), QStringLiteral("Standard=all Fast=some Slow=none"));
    a.Toggle(IndexOf(a, "Slow"));
    EXPECT_EQ(States(a), QStringLiteral("Standard=none Fast=none Slow=all"));
    a.Toggle(IndexOf(a, "Slow"));
    EXPECT_EQ(States(a), QStringLiteral("Standard=none Fast=some Slow=none")) << "Fast back to how it started";
    EXPECT_FALSE(a.EveryItemKeepsAGroup()) << "Standard stays cleared: Current has no group";

    // A group some items were in cycles some, all, none; Standard is cleared when Fast takes them all.
    GroupAssignment b = Load(items);
    const char* const cycle[] = {"Standard=none Fast=all Slow=none", "Standard=none Fast=none Slow=none",
                                 "Standard=none Fast=some Slow=none"};
    for (const char* states : cycle) {
        b.Toggle(IndexOf(b, "Fast"));
        EXPECT_EQ(States(b), QString::fromUtf8(states));
    }
    EXPECT_TRUE(b.Changed());

    GroupAssignment untouched = Load(items);
    EXPECT_FALSE(untouched.Changed());
    EXPECT_FALSE(untouched.Apply(Window().Data()->Connection())) << "no change writes nothing";
}

TEST_F(GroupWizardTest, TheWizardFromTheToolBarMovesTheItemsIntoOneGroupAndCancelChangesNothing) {
    const int speed = IdOf("Line1.Motor1.Speed");
    const int current = IdOf("Line1.Motor1.Current");
    const int connections = Count(QStringLiteral("SELECT Count(*) FROM TpdbConnections"));
    Window().tdbI().SelectRows({0, 1, 2});  // Motor1's three items
    ui::DefaultFormRunner().Once(QStringLiteral("FGroupWizzard"), [](ui::Form& f) {
        f.Get(QStringLiteral("lvwGroups")).listIndex = 0;
        f.UserClick(QStringLiteral("lvwGroups"));
        f.PressCancel();
    });
    Window().FunctionToolClick(QStringLiteral("GroupWizzard"));
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbConnections")), connections) << "Cancel";

    ui::DefaultFormRunner().Once(QStringLiteral("FGroupWizzard"), [](ui::Form& f) {
        const ui::Control& list = f.Get(QStringLiteral("lvwGroups"));
        int slow = -1;
        for (int r = 0; r < static_cast<int>(list.listViewRows.size()); ++r)
            if (list.listViewRows[static_cast<std::size_t>(r)].at(1) == QStringLiteral("Slow")) slow = r;
        ASSERT_GE(slow, 0);
        // Clear every group: OK is refused.
        for (int r = 0; r < static_cast<int>(list.listViewRows.size()); ++r) {
            if (list.listViewRows[static_cast<std::size_t>(r)].at(0) == QStringLiteral("\u2611")) {
                f.Get(QStringLiteral("lvwGroups")).listIndex = r;
                f.UserClick(QStringLiteral("lvwGroups"));
            }
        }
        f.PressDefault();
        EXPECT_TRUE(f.IsShown()) << "an item would have no group";
        EXPECT_EQ(ui::DefaultMessageBoxes().Shown().back().text, Text(1603));
        // Space on Slow puts every item into Slow alone.
        f.Get(QStringLiteral("lvwGroups")).listIndex = slow;
        int space = 32;
        f.UserKeyDown(space, 0, QStringLiteral("lvwGroups"));
        EXPECT_EQ(f.Get(QStringLiteral("lvwGroups")).listViewRows[static_cast<std::size_t>(slow)].at(0), QStringLiteral("\u2611"));
        f.PressDefault();
    });
    Window().FunctionToolClick(QStringLiteral("GroupWizzard"));
    EXPECT_EQ(GroupsOf(speed), QStringLiteral("Slow")) << "taken out of every other group";
    EXPECT_EQ(GroupsOf(current), QStringLiteral("Slow"));
}

}  // namespace
