// What a device's ProgID and BlobMode say.

#include "model/DeviceAddress.h"

#include <gtest/gtest.h>

#include <limits>

using namespace ov::model;

namespace {

TEST(DeviceAddress, OpcServerProgIdsWithComputerAndVersion) {
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"<PLANT2>Vendor.Server.1", "PLANT2", "Vendor.Server", "1"},
        {"Srv.Opc", "", "Srv.Opc", ""},  // the last part does not start with a digit
        {"Srv.Opc.2a", "", "Srv.Opc", "2a"},
        {"<\\\\PLANT2>Vendor.Server.3", "\\\\PLANT2", "Vendor.Server", "3"},  // a UNC-style computer keeps its backslashes
        // Broken ones give what they hold; without '>' all of it names the computer.
        {"<", "", "", ""}, {"<3", "3", "", ""}, {"<9>x", "9", "x", ""},
    };
    for (const auto& [stored, computer, progId, version] : cases) {
        const OpcServerAddress address = ParseOpcServerProgId(QString::fromUtf8(stored));
        EXPECT_EQ(std::tuple(address.computer, address.progId, address.version),
                  std::tuple(QString::fromUtf8(computer), QString::fromUtf8(progId), QString::fromUtf8(version)))
            << stored;
    }
    EXPECT_EQ(ParseOpcServerProgId(QStringLiteral("<PLANT2>Vendor.Server.1")).Stored(), QStringLiteral("<PLANT2>Vendor.Server.1"))
        << "stored back as it was";
    EXPECT_EQ(ParseOpcServerProgId(QStringLiteral("Srv.Opc")).VersionedProgId(), QStringLiteral("Srv.Opc"));
    // The browse splits a UNC-style computer the same way.
    EXPECT_EQ(ParseOpcServerProgId(QStringLiteral("<\\\\PLANT2>Vendor.Server.3")).VersionedProgId(), QStringLiteral("Vendor.Server.3"));
    EXPECT_EQ(ParseOpcServerProgId(QVariant()).Stored(), QString()) << "Null";
    EXPECT_EQ(ParseOpcServerProgId(QStringLiteral("<>")).Stored(), QString());
}

TEST(DeviceAddress, DriverProgIdsCarryTheUniversalNumber) {
    const DriverAddress press = ParseDriverProgId(QStringLiteral("<1>ModbusTCP"));
    EXPECT_EQ(std::tuple(press.universalNumber, press.driverName, press.Stored()),
              std::tuple(1, QStringLiteral("ModbusTCP"), QStringLiteral("<1>ModbusTCP")));
    EXPECT_EQ((DriverAddress{4, QStringLiteral("My \"odd\" driver")}.Stored()), QStringLiteral("<4>My \"odd\" driver"));

    // Read as written (the range is checked where it matters), unless too large to be a number at all.
    const std::pair<QVariant, int> numbers[] = {{QVariant(), 0}, {QStringLiteral("<"), 0}, {QStringLiteral("<>"), 0},
                                                {QStringLiteral("ModbusTCP"), 0}, {QStringLiteral("<3"), 3},
                                                {QStringLiteral("<9>x"), 9}, {QStringLiteral("<99999999999>x"), 0},
                                                // The ends of the range still fit.
                                                {QStringLiteral("<2147483647>x"), std::numeric_limits<int>::max()},
                                                {QStringLiteral("<-2147483648>x"), std::numeric_limits<int>::min()},
                                                {QStringLiteral("<2147483648>x"), 0}};
    for (const auto& [stored, number] : numbers)
        EXPECT_EQ(ParseDriverProgId(stored).universalNumber, number) << stored.toString().toStdString();
    EXPECT_TRUE(ParseDriverProgId(QStringLiteral("<3")).driverName.isEmpty());
}

TEST(DeviceAddress, BlobModeIsASigned16BitValue) {
    namespace bm = blobmode;
    const qint16 unicode = bm::FromStored(32768);
    EXPECT_EQ(unicode, -32768) << "the Unicode flag makes the value negative";
    EXPECT_TRUE(bm::Has(unicode, static_cast<qint16>(-32768)));
    EXPECT_EQ(bm::Kind(unicode), bm::kBytestream);
    const qint16 mixed = bm::FromStored(-32768 + 8 + 128 + 1);
    EXPECT_EQ(bm::Kind(mixed), bm::kIec1131);
    for (const auto& [flag, set] : {std::pair<qint16, bool>{8, true}, {128, true}, {16, false}}) EXPECT_EQ(bm::Has(mixed, flag), set) << flag;
    EXPECT_EQ(bm::Kind(bm::FromStored(7)), 7) << "a kind outside the table stays what it is";
}

}  // namespace
