// The lines the OPC UA helper writes, as the editor's client reads them;
// the client against a live server is tested with the live browse.

#include "opc/HelperClient.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace ov;

namespace {

// What a broken or hostile helper writes is read without harm (found by
// fuzzing: an array length beyond 32 bits was undefined behaviour).
TEST(HelperLineTest, LinesAreReadWhateverTheyHold) {
    const opc::HelperLine nodes = opc::ParseHelperLine(
        R"({"id":7,"event":"nodes","nodes":[{"nodeId":"ns=1;s=A","browseName":"A","nodeClass":"Variable",)"
        R"("dataType":"Double","valueRank":1,"arrayDimensions":[1e85,-3,"x",7,4294967295]},{"nodeId":"ns=1;s=F"}]})");
    EXPECT_EQ(nodes.id, 7);
    EXPECT_EQ(nodes.event, QStringLiteral("nodes"));
    ASSERT_EQ(nodes.nodes.size(), 2u);
    EXPECT_EQ(nodes.nodes[0].arrayDimensions, (std::vector<quint32>{0, 0, 0, 7, 4294967295u}));
    EXPECT_EQ(nodes.nodes[0].displayName, QStringLiteral("A")) << "the browse name stands in for a missing display name";
    EXPECT_FALSE(nodes.nodes[1].isVariable);

    // A tree browse names the parent of its nodes; properties say so.
    const opc::HelperLine tree = opc::ParseHelperLine(
        R"({"id":8,"event":"nodes","parent":"nsu=urn:x;s=Tank.Level","nodes":[{"nodeId":"nsu=urn:x;s=Tank.Level.EURange",)"
        R"("browseName":"EURange","nodeClass":"Variable","isProperty":true},{"nodeId":"nsu=urn:x;s=Tank.Level.Alarm","nodeClass":"Object"}]})");
    EXPECT_EQ(tree.parent, QStringLiteral("nsu=urn:x;s=Tank.Level"));
    ASSERT_EQ(tree.nodes.size(), 2u);
    EXPECT_TRUE(tree.nodes[0].isProperty);
    EXPECT_FALSE(tree.nodes[1].isProperty);
    EXPECT_FALSE(nodes.nodes[0].isProperty) << "without the field a node is no property";

    const opc::HelperLine answer = opc::ParseHelperLine(R"({"id":7,"ok":false,"error":"BadNodeIdUnknown"})");
    EXPECT_TRUE(answer.event.isEmpty());
    EXPECT_FALSE(answer.ok);
    EXPECT_EQ(answer.error, QStringLiteral("BadNodeIdUnknown"));

    for (const char* broken : {"", "not json", "[1,2]", "{\"id\":\"7\"}", "{\"id\":1e99}", "\xff\xfe{"}) {
        const opc::HelperLine line = opc::ParseHelperLine(broken);
        EXPECT_EQ(line.id, -1) << broken;
        EXPECT_TRUE(line.event.isEmpty() && line.nodes.empty()) << broken;
    }
}

}  // namespace
