#include "host/CToolbox.h"

#include "host/Rights.h"

namespace ov::host {

void CToolbox::SetExternalAuthorizationLevel(qint16& level, bool& overwriteInternal) {
    Authorization& current = Authorization::Current();
    current.level = level;
    current.overwriteInternal = overwriteInternal;
}

}  // namespace ov::host
