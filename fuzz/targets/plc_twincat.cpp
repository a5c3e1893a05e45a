// TwinCAT symbol files (.tpy) read as a PLC program.

#include "PlcCheck.h"
#include "plc/Readers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QString error;
    const auto program = ov::plc::ReadTwinCatSymbols(ov::fuzz::Bytes(data, size), &error);
    ov::fuzz::CheckPlcProgram(program, error);
    return 0;
}
