// Addresses stored with devices and items: OPC server ProgIDs with their
// computer, own drivers' "<n>name", server endpoints and PLC addresses.

#include "FuzzSupport.h"
#include "components/PlcAddress.h"
#include "model/DeviceAddress.h"
#include "opc/AddressSource.h"
#include "opc/MOpc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = ov::fuzz::Text(data, size);
    const auto [first, second] = ov::fuzz::TwoParts(text);
    const ov::model::OpcServerAddress server = ov::model::ParseOpcServerProgId(text);
    server.VersionedProgId();
    const ov::model::DriverAddress driver = ov::model::ParseDriverProgId(text);
    // What is stored reads back the same.
    const ov::model::DriverAddress again = ov::model::ParseDriverProgId(driver.Stored());
    OV_FUZZ_CHECK(again.universalNumber == driver.universalNumber);
    ov::model::LeadingNumberOf(text);
    ov::model::blobmode::FromStored(text);
    ov::components::ParsePlcAddress(text);
    ov::opc::SplitServerProgId(text);
    ov::opc::EndpointOnComputer(first, second);
    return 0;
}
