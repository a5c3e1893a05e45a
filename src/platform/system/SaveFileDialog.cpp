#include "platform/system/SaveFileDialog.h"

namespace ov::sys {

// Defined here so the class has one home for its vtable.
SaveFileDialog::~SaveFileDialog() = default;

}  // namespace ov::sys
