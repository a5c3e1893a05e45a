#pragma once

#include <QtGlobal>

namespace ov::host {

// The user's authorization level as the studio set it, for the whole process.
struct Authorization {
    qint16 level = 0;
    bool overwriteInternal = false;

    static Authorization& Current();
};

// Read at every check, never cached: the studio may change the level any time.
// Without OverwriteInternal every right is granted.
bool HasEditRight();    // level 3 and up
bool HasCreateRight();  // level 4 and up
bool HasDeleteRight();  // level 5 and up

}  // namespace ov::host
