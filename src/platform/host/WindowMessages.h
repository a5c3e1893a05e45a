#pragma once

#include <QString>

namespace ov::host {

// Registered window messages: the same name gives the same number in the
// whole process, as programs that talk through them expect.
quint32 RegisterWindowMessage(const QString& name);

}  // namespace ov::host
