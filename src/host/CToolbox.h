#pragma once

#include "platform/host/COV4Extensibility.h"

namespace ov::host {

// Lets the studio set the user's authorization level at any time.
class CToolbox : public IToolbox {
public:
    void SetExternalAuthorizationLevel(qint16& level, bool& overwriteInternal) override;
};

}  // namespace ov::host
