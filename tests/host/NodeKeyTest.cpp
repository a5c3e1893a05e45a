#include "host/Connect.h"
#include "host/NodeKey.h"
#include "platform/host/COV4Extensibility.h"

#include <gtest/gtest.h>

using namespace ov::host;
namespace nk = ov::host::nodekey;

namespace {

const QString Y = QString(QChar(0xFF));

TEST(NodeKey, ReadersOnEveryKeyForm) {
    EXPECT_EQ(nk::NodeId(QStringLiteral("OPCD")), -1);
    EXPECT_EQ(nk::NodeId(QStringLiteral("OPCD0")), 0);
    EXPECT_EQ(nk::NodeId(QStringLiteral("OPCE0")), 0);
    const QString device = QStringLiteral("OPCD12") + Y + u'.' + Y + u'O';
    EXPECT_EQ(nk::Kind(device), QStringLiteral("OPCD"));
    EXPECT_EQ(nk::NodeId(device), 12);
    EXPECT_EQ(nk::SecondField(device), QStringLiteral("."));
    EXPECT_EQ(nk::ModeLetter(device), QStringLiteral("O"));
    EXPECT_TRUE(nk::IsDeviceNode(device));
    EXPECT_EQ(device, nk::DeviceKey(12, QStringLiteral("."), false));

    const QString branch = device + Y + QStringLiteral("Line1.Motor1");
    EXPECT_FALSE(nk::IsDeviceNode(branch));
    EXPECT_EQ(nk::BranchPath(branch), QStringLiteral("Line1.Motor1"));
    EXPECT_EQ(nk::DeviceKeyOf(branch), device);
    EXPECT_EQ(nk::NodeId(branch), 12);

    const QString noSeparator = nk::DeviceKey(3, QString(), true);
    EXPECT_EQ(nk::SecondField(noSeparator), QString());
    EXPECT_EQ(nk::ModeLetter(noSeparator), QStringLiteral("D"));

    EXPECT_EQ(nk::SecondField(QStringLiteral("OPCU0") + Y + u'P'), QStringLiteral("P"));
    EXPECT_EQ(nk::SecondField(QStringLiteral("OPCU7") + Y), QString(QChar(0))) << "a lone separator at the end";
    EXPECT_EQ(nk::SecondField(QStringLiteral("OPCG3")), QStringLiteral("OPCG3"));
    EXPECT_EQ(nk::SubId(nk::GroupDeviceKey(3, 42)), 42);
    EXPECT_EQ(nk::SubId(QStringLiteral("OPCG3")), -1);
    EXPECT_EQ(nk::SubId(QStringLiteral("OPCG3") + Y), -1);
}

TEST(NodeKey, HelpTopicsAndImages) {
    EXPECT_EQ(nk::HelpTopic(QStringLiteral("OPCE0")), 80001);
    EXPECT_EQ(nk::HelpTopic(QStringLiteral("OPCD")), 82000);
    EXPECT_EQ(nk::HelpTopic(QStringLiteral("OPCD0")), 82100);
    EXPECT_EQ(nk::HelpTopic(nk::DeviceKey(5, QStringLiteral("."), false)), 82000);
    EXPECT_EQ(nk::HelpTopic(QStringLiteral("OPCG2")), 82200);
    EXPECT_EQ(nk::HelpTopic(nk::UnitClassKey(2, true)), 82300);
    EXPECT_EQ(nk::HelpTopic(QStringLiteral("OPCS1")), 82500);
    EXPECT_EQ(nk::ImageKey(QStringLiteral("OPCD0")), images::kInternal);
    EXPECT_EQ(nk::ImageKey(QStringLiteral("OPCD")), images::kDevice);
}

TEST(NodeKey, CommandKeysFormToolNames) {
    using namespace ov::host::keys;
    const QString device = nk::DeviceKey(1, QStringLiteral("."), false);
    EXPECT_EQ(Connect::CommandForKey(device, kC, kCtrl), QStringLiteral("mnuDeviceHelperItemsCopy"));
    EXPECT_EQ(Connect::CommandForKey(device, kV, kCtrl), QStringLiteral("mnuDeviceHelperItemsPaste"));
    EXPECT_EQ(Connect::CommandForKey(device, kDelete, kCtrl), QStringLiteral("mnuDeviceHelperItemsDelete"));
    EXPECT_EQ(Connect::CommandForKey(device, kF9, 0), QStringLiteral("mnuDeviceEdit"));
    EXPECT_EQ(Connect::CommandForKey(QStringLiteral("OPCD"), kF8, 0), QStringLiteral("mnuDeviceNew"));
    EXPECT_EQ(Connect::CommandForKey(QStringLiteral("OPCG2"), kDelete, kCtrl), QStringLiteral("mnuGroupDelete"));
    EXPECT_EQ(Connect::CommandForKey(QStringLiteral("OPCS1"), kF8, 0), QStringLiteral("mnuStructureNew"));
    EXPECT_EQ(Connect::CommandForKey(nk::ProcessUnitsKey(), kF8, 0), QStringLiteral("mnuUnitClassNew"));
    EXPECT_EQ(Connect::CommandForKey(nk::ViewUnitsKey(), kF8, 0), QStringLiteral("mnuUnitClassViewNew"));
    EXPECT_EQ(Connect::CommandForKey(nk::UnitClassKey(4, false), kF8, 0), QStringLiteral("mnuUnitClassViewNew"));
    EXPECT_EQ(Connect::CommandForKey(QStringLiteral("OPCU0"), kF8, 0), QString());
    EXPECT_EQ(Connect::CommandForKey(QStringLiteral("OPCE0"), kF8, 0), QString()) << "the root has no command keys";
    EXPECT_EQ(Connect::CommandForKey(device, kDelete, 0), QString()) << "Delete alone is not a command";
    EXPECT_EQ(Connect::CommandForKey(device, kC, kCtrl | kAlt), QString());
    // Undo and redo on every node, the root's too, as in the editor window.
    EXPECT_EQ(Connect::CommandForKey(QStringLiteral("OPCE0"), kZ, kCtrl), QStringLiteral("mnuEditUndo"));
    EXPECT_EQ(Connect::CommandForKey(device, kY, kCtrl), QStringLiteral("mnuEditRedo"));
    EXPECT_EQ(Connect::CommandForKey(device, kZ, kCtrl | kShift), QStringLiteral("mnuEditRedo"));
    EXPECT_EQ(Connect::CommandForKey(device, kZ, 0), QString());
}

TEST(NodeKey, ContextBands) {
    EXPECT_EQ(Connect::ContextBandFor(QStringLiteral("OPCE0")), QStringLiteral("mnuShowEditorHelper"));
    EXPECT_EQ(Connect::ContextBandFor(QStringLiteral("OPCD0")), QStringLiteral("mnuDevice"));
    EXPECT_EQ(Connect::ContextBandFor(nk::UnitClassKey(1, true)), QStringLiteral("mnuUnitClass"));
    EXPECT_EQ(Connect::ContextBandFor(QStringLiteral("XYZ1")), QString());
}

}  // namespace
