// Node keys of the project tree: what they hold, and the help topics,
// images, command keys and context menus that go with each kind.

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
    const std::pair<QString, int> topics[] = {
        {QStringLiteral("OPCE0"), 80001}, {QStringLiteral("OPCD"), 82000}, {QStringLiteral("OPCD0"), 82100},
        {nk::DeviceKey(5, QStringLiteral("."), false), 82000}, {QStringLiteral("OPCG2"), 82200},
        {nk::UnitClassKey(2, true), 82300}, {QStringLiteral("OPCS1"), 82500},
    };
    for (const auto& [key, topic] : topics) EXPECT_EQ(nk::HelpTopic(key), topic) << key.toStdString();
    EXPECT_EQ(nk::ImageKey(QStringLiteral("OPCD0")), images::kInternal);
    EXPECT_EQ(nk::ImageKey(QStringLiteral("OPCD")), images::kDevice);
}

TEST(NodeKey, CommandKeysFormToolNames) {
    using namespace ov::host::keys;
    const QString device = nk::DeviceKey(1, QStringLiteral("."), false);
    const std::tuple<QString, int, int, const char*> cases[] = {
        {device, kC, kCtrl, "mnuDeviceHelperItemsCopy"}, {device, kV, kCtrl, "mnuDeviceHelperItemsPaste"},
        {device, kDelete, kCtrl, "mnuDeviceHelperItemsDelete"}, {device, kF9, 0, "mnuDeviceEdit"},
        {QStringLiteral("OPCD"), kF8, 0, "mnuDeviceNew"}, {QStringLiteral("OPCG2"), kDelete, kCtrl, "mnuGroupDelete"},
        {QStringLiteral("OPCS1"), kF8, 0, "mnuStructureNew"}, {nk::ProcessUnitsKey(), kF8, 0, "mnuUnitClassNew"},
        {nk::ViewUnitsKey(), kF8, 0, "mnuUnitClassViewNew"}, {nk::UnitClassKey(4, false), kF8, 0, "mnuUnitClassViewNew"},
        // The root has no command keys, Delete alone is no command.
        {QStringLiteral("OPCU0"), kF8, 0, ""}, {QStringLiteral("OPCE0"), kF8, 0, ""}, {device, kDelete, 0, ""},
        {device, kC, kCtrl | kAlt, ""},
        // Undo and redo on every node, the root's too, as in the editor window.
        {QStringLiteral("OPCE0"), kZ, kCtrl, "mnuEditUndo"}, {device, kY, kCtrl, "mnuEditRedo"},
        {device, kZ, kCtrl | kShift, "mnuEditRedo"}, {device, kZ, 0, ""},
    };
    for (const auto& [key, code, shift, command] : cases)
        EXPECT_EQ(Connect::CommandForKey(key, code, shift), QString::fromUtf8(command)) << key.toStdString() << " " << code;
}

TEST(NodeKey, ContextBands) {
    EXPECT_EQ(Connect::ContextBandFor(QStringLiteral("OPCE0")), QStringLiteral("mnuShowEditorHelper"));
    EXPECT_EQ(Connect::ContextBandFor(QStringLiteral("OPCD0")), QStringLiteral("mnuDevice"));
    EXPECT_EQ(Connect::ContextBandFor(nk::UnitClassKey(1, true)), QStringLiteral("mnuUnitClass"));
    EXPECT_EQ(Connect::ContextBandFor(QStringLiteral("XYZ1")), QString());
}

}  // namespace
