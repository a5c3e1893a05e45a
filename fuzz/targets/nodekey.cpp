// Node keys of the project tree, as the studio hands them back with events.

#include "FuzzSupport.h"
#include "host/NodeKey.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace nk = ov::host::nodekey;
    // Keys carry the separator U+00FF: let the input reach it from one byte.
    QString key = ov::fuzz::Text(data, size);
    key.replace(u'|', nk::kSeparator);
    nk::Kind(key);
    nk::NodeId(key);
    nk::SecondField(key);
    nk::ModeLetter(key);
    nk::SubId(key);
    nk::IsDeviceNode(key);
    nk::BranchPath(key);
    nk::DeviceKeyOf(key);
    nk::HelpTopic(key);
    nk::ImageKey(key);
    return 0;
}
