// The lines the OPC UA helper writes: whatever a broken or hostile helper
// sends, the editor reads a line without crashing.

#include "FuzzSupport.h"
#include "opc/HelperClient.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ov::opc::HelperLine line = ov::opc::ParseHelperLine(ov::fuzz::Bytes(data, size));
    for (const ov::opc::OpcNode& node : line.nodes) OV_FUZZ_CHECK(node.isVariable || node.arrayDimensions.empty());
    return 0;
}
