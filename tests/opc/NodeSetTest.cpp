// NodeSet2 files read offline: the hierarchy below the Objects folder, the
// built-in type behind each variable's DataType, the classic item fields,
// and files that are no NodeSet2 document. The fixture is described node by
// node in tests/fixtures/README.md.

#include "opc/NodeSet.h"
#include "support/Files.h"
#include "support/QtPrinters.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <optional>
#include <stdexcept>
#include <gtest/gtest.h>

using namespace ov;
using namespace ov::opc;

namespace {

const QString kPlant = QStringLiteral(OV_FIXTURES "/plant.NodeSet2.xml");
const QString kUri = QStringLiteral("nsu=urn:ovopc:test:plant;");

class PlantNodeSet : public ::testing::Test {
  protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(set.Load(kPlant, &error)) << error.toStdString();
    }
    // The node at a path of browse names below the Objects folder.
    const OpcNode& Node(const char* path) {
        QString parent = kObjectsFolder;
        const OpcNode* found = nullptr;
        for (const QString& name : QString::fromUtf8(path).split(u'/')) {
            found = nullptr;
            for (const OpcNode& node : set.Children(parent))
                if (node.browseName == name) found = &node;
            if (!found) throw std::runtime_error(std::string("no node ") + path);
            parent = found->nodeId;
        }
        return *found;
    }
    NodeSet set;
};

TEST_F(PlantNodeSet, HierarchyFromForwardAndInverseReferences) {
    ASSERT_EQ(set.Children(kObjectsFolder).size(), 1u);
    EXPECT_EQ(Node("Plant").nodeId, kUri + QStringLiteral("s=Plant"));
    QStringList line1;
    for (const OpcNode& n : set.Children(Node("Plant/Line1").nodeId)) line1 << n.browseName;
    line1.sort();
    EXPECT_EQ(line1, (QStringList{QStringLiteral("Motor1"), QStringLiteral("Motor2"), QStringLiteral("Status")}));
    EXPECT_EQ(set.Children(Node("Plant/Line1/Motor1").nodeId).size(), 10u) << "variables only, the method Start left out";
    EXPECT_TRUE(Node("Plant/Line2/Tank/Level").hasChildren) << "its property";
    EXPECT_TRUE(Node("Plant/Line2/Tank/Level/EngineeringUnit").isVariable);
    EXPECT_TRUE(Node("Plant/Line2/Tank/Level/EngineeringUnit").isProperty);
    EXPECT_FALSE(Node("Plant/Line2/Tank/Level").isProperty);
    EXPECT_FALSE(Node("Plant/Line1/Status").hasChildren);
    EXPECT_EQ(set.VariableCount(), 34);
}

TEST_F(PlantNodeSet, NodeIdsCarryTheNamespaceUri) {
    EXPECT_EQ(Node("Plant/Line1/Motor2").nodeId, kUri + QStringLiteral("i=2000"));
    EXPECT_EQ(Node("Plant/Line2/Tank").nodeId, kUri + QStringLiteral("g=7699ce3d-aa7a-4629-ae39-db61424b720e"));
    EXPECT_EQ(Node("Plant/Line2/Special").nodeId, kUri + QStringLiteral("b=U3BlY2lhbA=="));
    EXPECT_EQ(Node("Plant/Line2/Special/Mix;Ratio").nodeId, kUri + QStringLiteral("s=Plant.Special.Mix;Ratio"));
    EXPECT_EQ(Node("Plant/Line2/Special/a.b'c;dÿ").nodeId, kUri + QStringLiteral("i=4001"));
    EXPECT_EQ(Node("Plant/Line1/Motor1/Drehzahl_Ölpumpe").displayName, QStringLiteral("Drehzahl Ölpumpe"));
    EXPECT_EQ(NodeIdWithUri(QStringLiteral("urn:a;b%c"), QStringLiteral("s=X")), QStringLiteral("nsu=urn:a%3Bb%25c;s=X"));
}

TEST_F(PlantNodeSet, TypesDeriveToTheirBuiltInType) {
    const std::pair<const char*, int> expected[] = {
        {"Plant/Line1/Motor1/Running", 11},         {"Plant/Line1/Motor1/Direction", 16},
        {"Plant/Line1/Motor1/Mode", 3},             {"Plant/Line1/Motor1/Température", 5},
        {"Plant/Line1/Motor1/StartCount", 21},      {"Plant/Line1/Motor1/OperatingHours", 19},
        {"Plant/Line1/Motor1/SpeedSetpoint", 4},    {"Plant/Line1/Motor2/Energy", 20},
        {"Plant/Line1/Motor2/LastStart", 7},        {"Plant/Line1/Motor2/CycleTime", 5},
        {"Plant/Line2/Tank/CoolantTemperature", 5}, {"Plant/Line2/Tank/PumpStage", 17},
        {"Plant/Line2/Tank/LastSample", 7},         {"Plant/Line1/Status", 8},
        {"Plant/Line2/Special/Niveau_ÿ", 18},       {"Plant/Line1/Motor1/Drehzahl_Ölpumpe", 2}};
    for (const auto& [path, code] : expected) EXPECT_EQ(ClassicDataType(Node(path)), code) << path;
}

TEST_F(PlantNodeSet, ArraysAndAccessRights) {
    const OpcNode& profile = Node("Plant/Line2/Tank/Profile");
    EXPECT_EQ(ClassicDataType(profile), 2 | 8192);
    EXPECT_EQ(ClassicFieldSize(profile), 10);
    const OpcNode& matrix = Node("Plant/Line2/Tank/Matrix");
    EXPECT_EQ(ClassicDataType(matrix), 5 | 8192);
    EXPECT_EQ(ClassicFieldSize(matrix), 12) << "4 x 3";
    EXPECT_EQ(ClassicFieldSize(Node("Plant/Line2/Tank/Level")), 0);
    EXPECT_EQ(ClassicAccessRights(Node("Plant/Line1/Status").accessLevel), 1);
    EXPECT_EQ(ClassicAccessRights(Node("Plant/Line1/Motor2/Reset").accessLevel), 2);
    EXPECT_EQ(ClassicAccessRights(Node("Plant/Line1/Motor1/Speed").accessLevel), 3);
    EXPECT_EQ(ClassicAccessRights(0), 1);
}

TEST(NodeSetFiles, WhatIsNoNodeSetIsRefusedWithItsName) {
    QTemporaryDir dir;
    const QByteArray whole = test::ReadFile(kPlant);
    // Each refused with its name and nothing read; the missing one is never written.
    const std::pair<const char*, std::optional<QByteArray>> bad[] = {
        {"text.xml", "hello, this is no XML"}, {"empty.xml", ""}, {"cut.xml", whole.left(whole.size() / 2)},
        {"html.xml", "<html><body/></html>"},  {"binary.xml", QByteArray("\x00\xff\x10\x80", 4)}, {"missing.xml", std::nullopt}};
    QString error;
    for (const auto& [name, content] : bad) {
        const QString path = dir.filePath(QString::fromUtf8(name));
        if (content) {
            ASSERT_EQ(test::WriteFile(path, *content), path);
        }
        NodeSet set;
        EXPECT_FALSE(set.Load(path, &error)) << name;
        EXPECT_TRUE(error.contains(QString::fromUtf8(name))) << error.toStdString();
        EXPECT_TRUE(set.Children(kObjectsFolder).empty()) << name;
    }

    // A file larger than any plant's is refused before it is read (sparse: no disk used).
    QFile huge(dir.filePath(QStringLiteral("huge.xml")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(NodeSet::kMaxBytes + 1));
    huge.close();
    NodeSet set;
    EXPECT_FALSE(set.Load(huge.fileName(), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("too large"))) << error.toStdString();
}

// Reference types the file derives from the standard's: a subtype of
// HasProperty makes properties, one of HasComponent children.
TEST(NodeSetFiles, ReferenceTypesOfTheFileCountAsTheTypesTheyDeriveFrom) {
    QByteArray xml = R"(<?xml version="1.0" encoding="utf-8"?>
<UANodeSet xmlns="http://opcfoundation.org/UA/2011/03/UANodeSet.xsd">
  <NamespaceUris><Uri>urn:pump</Uri></NamespaceUris>
  <UAReferenceType NodeId="ns=1;i=1" BrowseName="1:HasLimit"><References><Reference ReferenceType="i=45" IsForward="false">i=46</Reference></References></UAReferenceType>
  <UAReferenceType NodeId="ns=1;i=2" BrowseName="1:HasPart"><References><Reference ReferenceType="i=45" IsForward="false">i=47</Reference></References></UAReferenceType>
  <UAReferenceType NodeId="ns=1;i=3" BrowseName="1:HasHighLimit"><References><Reference ReferenceType="i=45" IsForward="false">ns=1;i=1</Reference></References></UAReferenceType>
  <UAObject NodeId="ns=1;s=Pump" BrowseName="1:Pump"><References><Reference ReferenceType="i=35" IsForward="false">i=85</Reference></References></UAObject>
  <UAVariable NodeId="ns=1;s=Pump.Speed" BrowseName="1:Speed" DataType="i=11"><References><Reference ReferenceType="ns=1;i=2" IsForward="false">ns=1;s=Pump</Reference></References></UAVariable>
  <UAVariable NodeId="ns=1;s=Pump.Speed.High" BrowseName="1:High" DataType="i=11"><References><Reference ReferenceType="ns=1;i=3" IsForward="false">ns=1;s=Pump.Speed</Reference></References></UAVariable>
  <UAVariable NodeId="ns=1;s=Pump.Speed.Unit" BrowseName="1:Unit" DataType="i=12"><References><Reference ReferenceType="i=46" IsForward="false">ns=1;s=Pump.Speed</Reference></References></UAVariable>
  <UAVariable NodeId="ns=1;s=Pump.Speed.Trend" BrowseName="1:Trend" DataType="i=11"><References><Reference ReferenceType="i=47" IsForward="false">ns=1;s=Pump.Speed</Reference></References></UAVariable>
</UANodeSet>)";
    QBuffer buffer(&xml);
    buffer.open(QIODevice::ReadOnly);
    NodeSet set;
    QString error;
    ASSERT_TRUE(set.Read(buffer, QStringLiteral("pump.xml"), &error)) << error.toStdString();
    const QString uri = QStringLiteral("nsu=urn:pump;s=");
    ASSERT_EQ(set.Children(uri + QStringLiteral("Pump")).size(), 1u) << "Speed, over the file's subtype of HasComponent";
    EXPECT_FALSE(set.Children(uri + QStringLiteral("Pump")).front().isProperty);
    QStringList properties;
    for (const OpcNode& node : set.Children(uri + QStringLiteral("Pump.Speed")))
        properties << node.browseName + (node.isProperty ? QStringLiteral(":property") : QString());
    EXPECT_EQ(properties, (QStringList{QStringLiteral("High:property"), QStringLiteral("Unit:property"), QStringLiteral("Trend")}));
}

// Found by fuzzing: a negative namespace index read before the list of namespaces.
TEST(NodeSetFiles, NamespaceIndexesOutsideTheFileStayInTheirIds) {
    QByteArray xml = R"(<?xml version="1.0" encoding="utf-8"?>
<UANodeSet xmlns="http://opcfoundation.org/UA/2011/03/UANodeSet.xsd">
  <NamespaceUris><Uri>urn:plant</Uri></NamespaceUris>
  <Aliases><Alias Alias="Organizes">i=35</Alias></Aliases>
  <UAObject NodeId="ns=-2;s=Neg" BrowseName="Neg"><References><Reference ReferenceType="Organizes" IsForward="false">i=85</Reference></References></UAObject>
  <UAObject NodeId="ns=7;s=Far" BrowseName="Far"><References><Reference ReferenceType="Organizes" IsForward="false">i=85</Reference></References></UAObject>
  <UAObject NodeId="ns=1;s=Own" BrowseName="Own"><References><Reference ReferenceType="Organizes" IsForward="false">i=85</Reference></References></UAObject>
</UANodeSet>)";
    QBuffer buffer(&xml);
    buffer.open(QIODevice::ReadOnly);
    NodeSet set;
    QString error;
    ASSERT_TRUE(set.Read(buffer, QStringLiteral("ns.xml"), &error)) << error.toStdString();
    QStringList ids;
    for (const OpcNode& node : set.Children(kObjectsFolder)) ids << node.nodeId;
    ids.sort();
    EXPECT_EQ(ids, (QStringList{QStringLiteral("nsu=ns-2;s=Neg"), QStringLiteral("nsu=ns7;s=Far"), QStringLiteral("nsu=urn:plant;s=Own")}));
}

}  // namespace
