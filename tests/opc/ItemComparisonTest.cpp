// The three browse lists: new, removed and changed items, and the item
// fields a browsed variable gets.

#include "model/CVT_Types.h"
#include "opc/ItemComparison.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace ov::opc;

namespace {

BrowseItem Item(const char* id, int type = 5, int rights = 3, int size = 0, const char* path = "") {
    return {QString::fromUtf8(id), QString::fromUtf8(id), type, rights, size, QString::fromUtf8(path), {}, {}};
}

QStringList Ids(const std::vector<BrowseItem>& items) {
    QStringList ids;
    for (const BrowseItem& item : items) ids << item.itemId;
    return ids;
}

TEST(BrowseLists, NewRemovedAndChangedItems) {
    const std::vector<BrowseItem> existing{Item("A"), Item("B"), Item("C", 3), Item("D", 2, 3, 10), Item("E")};
    const std::vector<BrowseItem> ticked{Item("a"),           // letter case only: the same item
                                         Item("C", 3, 1),     // access rights changed
                                         Item("D", 8194, 3, 10),  // Int16[10] as stored: unchanged
                                         Item("E", 5, 3, 0, "path"),  // access path changed
                                         Item("F"), Item("F")};   // new, reached twice
    const BrowseLists lists = Compare(existing, ticked);
    EXPECT_EQ(Ids(lists.added), QStringList{QStringLiteral("F")});
    EXPECT_EQ(Ids(lists.removed), QStringList{QStringLiteral("B")});
    EXPECT_EQ(Ids(lists.inconsistent), (QStringList{QStringLiteral("C"), QStringLiteral("E")}));
    EXPECT_EQ(lists.inconsistent.front().accessRights, 1) << "with the server's values";

    EXPECT_TRUE(Compare({}, {}).added.empty());
    EXPECT_EQ(Compare(existing, {}).removed.size(), existing.size()) << "nothing ticked: every item goes";
}

BrowseItem Named(const char* id, const char* name, int type = 5) {
    return {QString::fromUtf8(id), QString::fromUtf8(name), type, 3, 0, QString(), {}, {}};
}

using Reason = LeftOutItem::Reason;

CompareOptions NameView() {
    CompareOptions options;
    options.nameFromItemId = true;
    return options;
}

std::vector<std::tuple<QString, Reason, QString>> LeftOut(const BrowseLists& lists) {
    std::vector<std::tuple<QString, Reason, QString>> out;
    for (const LeftOutItem& item : lists.leftOut) out.emplace_back(item.item.itemId, item.reason, item.other);
    return out;
}

TEST(BrowseLists, NewItemsWhoseNameIsTakenAreLeftOutAndTheOthersStay) {
    const std::vector<BrowseItem> existing{Named("e1", "Plant.Valve_Open"), Named("e2", "Plant.Gone")};
    const std::vector<BrowseItem> ticked{
        Named("e1", "Plant.Valve_Open"),
        Named("s=Valve.Open", "plant.valve_open"),  // the separator became "_": the name of e1, in other letters
        Named("n2", "Plant.Gone"),                   // e2 goes, but only after the new items come
        Named("ns=2;s=Tank", "Plant.Tank"), Named("ns=3;s=Tank", "Plant.Tank"),  // one path in two namespaces
        Named("n5", "Plant.Other")};
    const BrowseLists lists = Compare(existing, ticked);
    EXPECT_EQ(Ids(lists.added), (QStringList{QStringLiteral("ns=2;s=Tank"), QStringLiteral("n5")}));
    EXPECT_EQ(Ids(lists.removed), QStringList{QStringLiteral("e2")});
    const std::vector<std::tuple<QString, Reason, QString>> expected{
        {QStringLiteral("s=Valve.Open"), Reason::NameUsed, QStringLiteral("e1")},
        {QStringLiteral("n2"), Reason::NameOfDeleted, QStringLiteral("e2")},
        {QStringLiteral("ns=3;s=Tank"), Reason::NameRepeated, QStringLiteral("ns=2;s=Tank")}};
    EXPECT_EQ(LeftOut(lists), expected);
    // The line for the person tells the two items apart by their IDs.
    const QString line = LeftOutText(lists.leftOut.back());
    EXPECT_TRUE(line.contains(QStringLiteral("ns=3;s=Tank")) && line.contains(QStringLiteral("ns=2;s=Tank")))
        << line.toStdString();

    // In the name view new items are named by their item ID: a name typed by hand can hold it.
    const BrowseLists byId = Compare({Named("e3", "S=MOTOR")}, {Named("e3", "x"), Named("s=Motor", "Plant.Motor")},
                                     NameView());
    EXPECT_TRUE(byId.added.empty());
    EXPECT_EQ(LeftOut(byId), (std::vector<std::tuple<QString, Reason, QString>>{
                                 {QStringLiteral("s=Motor"), Reason::NameUsed, QStringLiteral("e3")}}));
}

TEST(BrowseLists, InTheNameViewAnUpdateThatWouldTakeAnotherItemsNameIsLeftOut) {
    // The update names the item by its item ID again; "s=a" is another item's name, s=C is there twice.
    const std::vector<BrowseItem> existing{Named("s=A", "Alias A"), Named("s=B", "s=a"), Named("s=C", "C one"),
                                           Named("s=C", "C two"), Named("s=D", "Alias D")};
    const std::vector<BrowseItem> ticked{Named("s=A", "A", 3), Named("s=B", "B"), Named("s=C", "C", 3),
                                         Named("s=D", "D", 3)};
    const BrowseLists byId = Compare(existing, ticked, NameView());
    EXPECT_EQ(Ids(byId.inconsistent), QStringList{QStringLiteral("s=D")});
    EXPECT_EQ(byId.inconsistent.front().name, QStringLiteral("Alias D")) << "asked about as the project knows it";
    const std::vector<std::tuple<QString, Reason, QString>> expected{
        {QStringLiteral("s=A"), Reason::UpdateNameUsed, QStringLiteral("s=a")},
        {QStringLiteral("s=C"), Reason::UpdateIdRepeated, QStringLiteral("C one")}};
    EXPECT_EQ(LeftOut(byId), expected);

    // Where items keep their names, nothing clashes.
    const BrowseLists byName = Compare(existing, ticked);
    EXPECT_EQ(Ids(byName.inconsistent), (QStringList{QStringLiteral("s=A"), QStringLiteral("s=C"), QStringLiteral("s=D")}));
    EXPECT_TRUE(byName.leftOut.empty());
}

TEST(BrowseLists, StoredDataTypes) {
    EXPECT_EQ(StoredDataType(6), 5) << "currency";
    EXPECT_EQ(StoredDataType(14), 5) << "decimal";
    EXPECT_EQ(StoredDataType(8195), 3) << "an array of Int32";
    EXPECT_EQ(StoredDataType(8192 | 6), 5);
    EXPECT_EQ(StoredDataType(11), 11);
}

TEST(BrowseLists, ItemNamesKeepOneLevelPerBrowseName) {
    EXPECT_EQ(ItemName({QStringLiteral("Plant"), QStringLiteral("Line1"), QStringLiteral("Speed")}, QStringLiteral(".")),
              QStringLiteral("Plant.Line1.Speed"));
    EXPECT_EQ(ItemName({QStringLiteral("Special"), QStringLiteral("Valve.Open")}, QStringLiteral(".")),
              QStringLiteral("Special.Valve_Open"));
    EXPECT_EQ(ItemName({QStringLiteral("a.b'c;d\u00ff")}, QStringLiteral(".")), QStringLiteral("a_b'c;d_"));
    EXPECT_EQ(ItemName({QStringLiteral("X"), QStringLiteral("Y")}, QString()), QStringLiteral("XY"));

    OpcNode profile;
    profile.nodeId = QStringLiteral("nsu=urn:p;s=Profile");
    profile.isVariable = true;
    profile.dataType = QStringLiteral("Int16");
    profile.valueRank = 1;
    profile.arrayDimensions = {10};
    profile.accessLevel = 1;
    const BrowseItem item = ItemOf(profile, {QStringLiteral("Tank"), QStringLiteral("Profile")}, QStringLiteral("/"));
    EXPECT_EQ(item.itemId, profile.nodeId);
    EXPECT_EQ(item.name, QStringLiteral("Tank/Profile"));
    EXPECT_EQ(item.dataType, 2 | 8192);
    EXPECT_EQ(item.fieldSize, 10);
    EXPECT_EQ(item.accessRights, 1);
}

TEST(BrowseLists, ServerTypesBecomeTypesTheCatalogueKnows) {
    // OPC UA type, value rank, the item's type before it is stored.
    const std::tuple<const char*, int, int> cases[] = {
        {"Int64", -1, 20},           {"UInt64", -1, 21},        {"Int64", 1, 20 | 8192},
        {"ByteString", -1, 17 | 8192}, {"ByteString", 1, 12 | 8192},
        {"LocalizedText", -1, 8},    {"Guid", -1, 8},           {"NodeId", -1, 8},
        {"ExpandedNodeId", -1, 8},   {"QualifiedName", -1, 8},  {"XmlElement", -1, 8},
        {"StatusCode", -1, 19},      {"ExtensionObject", -1, 12}, {"Variant", -1, 12}, {"Unknown", -1, 12}};
    const ov::model::CVT_Types catalogue;
    for (const auto& [type, rank, code] : cases) {
        OpcNode node;
        node.dataType = QString::fromUtf8(type);
        node.valueRank = rank;
        EXPECT_EQ(ClassicDataType(node), code) << type << " rank " << rank;
        // What is stored displays as a type of the catalogue, not as NOT DEFINED.
        EXPECT_NE(catalogue.GetTextFromID(StoredDataType(code)), catalogue.GetTextFromID(0)) << type;
    }
    OpcNode bytes;
    bytes.dataType = QStringLiteral("ByteString");
    EXPECT_EQ(ClassicFieldSize(bytes), 0) << "a byte string has no fixed length";
}

TEST(BrowseLists, AccessLevelsWithoutReadOrWriteGiveNoRights) {
    // Bit 1 read, bit 2 write; the history bits (4, 8) give no item rights.
    for (const auto& [level, rights] : {std::pair{0, 0}, {4, 0}, {12, 0}, {13, 1}, {15, 3}})
        EXPECT_EQ(ClassicAccessRights(level), rights) << level;
}

}  // namespace
