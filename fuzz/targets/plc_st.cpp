// Structured text sources read as a PLC program, and told apart from the others.

#include "PlcCheck.h"
#include "plc/FormatDetection.h"
#include "plc/Readers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = ov::fuzz::Bytes(data, size);
    (void)ov::plc::DetectFormat(bytes);
    QString error;
    ov::fuzz::CheckPlcProgram(ov::plc::ReadStructuredText(bytes, &error), error);
    return 0;
}
