// What a device's ProgID and BlobMode say.

#include "model/DeviceAddress.h"

#include <gtest/gtest.h>

using namespace ov::model;

namespace {

TEST(DeviceAddress, OpcServerProgIdsWithComputerAndVersion) {
    const OpcServerAddress full = ParseOpcServerProgId(QStringLiteral("<PLANT2>Vendor.Server.1"));
    EXPECT_EQ(full.computer, QStringLiteral("PLANT2"));
    EXPECT_EQ(full.progId, QStringLiteral("Vendor.Server"));
    EXPECT_EQ(full.version, QStringLiteral("1"));
    EXPECT_EQ(full.Stored(), QStringLiteral("<PLANT2>Vendor.Server.1")) << "stored back as it was";

    const OpcServerAddress bare = ParseOpcServerProgId(QStringLiteral("Srv.Opc"));
    EXPECT_TRUE(bare.computer.isEmpty());
    EXPECT_EQ(bare.progId, QStringLiteral("Srv.Opc")) << "the last part does not start with a digit";
    EXPECT_TRUE(bare.version.isEmpty());
    EXPECT_EQ(bare.VersionedProgId(), QStringLiteral("Srv.Opc"));

    const OpcServerAddress lettered = ParseOpcServerProgId(QStringLiteral("Srv.Opc.2a"));
    EXPECT_EQ(lettered.progId, QStringLiteral("Srv.Opc"));
    EXPECT_EQ(lettered.version, QStringLiteral("2a"));

    // A UNC-style computer keeps its backslashes; the browse splits the same way.
    const OpcServerAddress unc = ParseOpcServerProgId(QStringLiteral("<\\\\PLANT2>Vendor.Server.3"));
    EXPECT_EQ(unc.computer, QStringLiteral("\\\\PLANT2"));
    EXPECT_EQ(unc.VersionedProgId(), QStringLiteral("Vendor.Server.3"));
}

TEST(DeviceAddress, BrokenOpcServerProgIdsGiveWhatTheyHold) {
    EXPECT_EQ(ParseOpcServerProgId(QVariant()).Stored(), QString()) << "Null";
    const OpcServerAddress open = ParseOpcServerProgId(QStringLiteral("<"));
    EXPECT_TRUE(open.computer.isEmpty());
    EXPECT_TRUE(open.progId.isEmpty());
    EXPECT_EQ(ParseOpcServerProgId(QStringLiteral("<>")).Stored(), QString());
    EXPECT_EQ(ParseOpcServerProgId(QStringLiteral("<3")).computer, QStringLiteral("3")) << "no '>': all of it names the computer";
    const OpcServerAddress odd = ParseOpcServerProgId(QStringLiteral("<9>x"));
    EXPECT_EQ(odd.computer, QStringLiteral("9"));
    EXPECT_EQ(odd.progId, QStringLiteral("x"));
}

TEST(DeviceAddress, DriverProgIdsCarryTheUniversalNumber) {
    const DriverAddress press = ParseDriverProgId(QStringLiteral("<1>ModbusTCP"));
    EXPECT_EQ(press.universalNumber, 1);
    EXPECT_EQ(press.driverName, QStringLiteral("ModbusTCP"));
    EXPECT_EQ(press.Stored(), QStringLiteral("<1>ModbusTCP"));
    EXPECT_EQ((DriverAddress{4, QStringLiteral("My \"odd\" driver")}.Stored()), QStringLiteral("<4>My \"odd\" driver"));

    for (const QVariant& broken : {QVariant(), QVariant(QStringLiteral("<")), QVariant(QStringLiteral("<>")),
                                   QVariant(QStringLiteral("ModbusTCP"))}) {
        const DriverAddress address = ParseDriverProgId(broken);
        EXPECT_EQ(address.universalNumber, 0) << broken.toString().toStdString();
    }
    EXPECT_EQ(ParseDriverProgId(QStringLiteral("<3")).universalNumber, 3);
    EXPECT_TRUE(ParseDriverProgId(QStringLiteral("<3")).driverName.isEmpty());
    EXPECT_EQ(ParseDriverProgId(QStringLiteral("<9>x")).universalNumber, 9) << "read as written; the range is checked where it matters";
    EXPECT_EQ(ParseDriverProgId(QStringLiteral("<99999999999>x")).universalNumber, 0) << "too large to be a number at all";
}

TEST(DeviceAddress, BlobModeIsASigned16BitValue) {
    namespace bm = blobmode;
    const qint16 unicode = bm::FromStored(32768);
    EXPECT_EQ(unicode, -32768) << "the Unicode flag makes the value negative";
    EXPECT_TRUE(bm::Has(unicode, static_cast<qint16>(-32768)));
    EXPECT_EQ(bm::Kind(unicode), bm::kBytestream);
    const qint16 mixed = bm::FromStored(-32768 + 8 + 128 + 1);
    EXPECT_EQ(bm::Kind(mixed), bm::kIec1131);
    EXPECT_TRUE(bm::Has(mixed, 8));
    EXPECT_TRUE(bm::Has(mixed, 128));
    EXPECT_FALSE(bm::Has(mixed, 16));
    EXPECT_EQ(bm::Kind(bm::FromStored(7)), 7) << "a kind outside the table stays what it is";
}

}  // namespace
