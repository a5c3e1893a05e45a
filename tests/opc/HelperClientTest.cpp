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

// The connect's answers as the editor needs them: what the helper chose, and
// for a certificate it would not take everything the person is shown.
TEST(HelperLineTest, ConnectAnswersCarryTheChoiceOrTheReason) {
    const opc::HelperLine chosen = opc::ParseHelperLine(
        R"({"id":1,"ok":true,"namespaces":[],"securityMode":"SignAndEncrypt","securityPolicy":"Basic256Sha256",)"
        R"("user":null,"endpoint":"opc.tcp://h:4840/ua"})");
    EXPECT_TRUE(chosen.ok);
    EXPECT_EQ(chosen.securityPolicy, QStringLiteral("Basic256Sha256"));
    EXPECT_TRUE(chosen.user.isEmpty()) << "anonymous";
    EXPECT_EQ(chosen.endpoint, QStringLiteral("opc.tcp://h:4840/ua"));

    const opc::HelperLine refused = opc::ParseHelperLine(
        R"({"id":2,"ok":false,"error":"not trusted","reason":"certificate","certificate":{"subject":"CN=S",)"
        R"("issuer":"CN=CA","validFrom":"2024-01-01T00:00:00Z","validTo":"2025-01-01T00:00:00Z",)"
        R"("thumbprint":"AB","problems":["untrusted",7,"hostMismatch"],"host":"h"}})");
    EXPECT_EQ(refused.reason, QStringLiteral("certificate"));
    EXPECT_EQ(refused.certificate.problems, (QStringList{"untrusted", "hostMismatch"})) << "what is no word is dropped";
    EXPECT_EQ(refused.certificate.issuer, QStringLiteral("CN=CA"));
    EXPECT_EQ(refused.certificate.host, QStringLiteral("h"));

    const opc::HelperLine lost = opc::ParseHelperLine(R"({"event":"connectionLost","endpoint":"opc.tcp://h:4840","error":"gone"})");
    EXPECT_EQ(lost.event, QStringLiteral("connectionLost"));
    EXPECT_EQ(lost.error, QStringLiteral("gone"));
}

}  // namespace
