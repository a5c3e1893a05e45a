#include "host/Rights.h"

namespace ov::host {

Authorization& Authorization::Current() {
    static Authorization state;
    return state;
}

namespace {
bool Granted(int neededLevel) {
    const Authorization& a = Authorization::Current();
    return !(a.overwriteInternal && a.level < neededLevel);
}
}  // namespace

bool HasEditRight() { return Granted(3); }
bool HasCreateRight() { return Granted(4); }
bool HasDeleteRight() { return Granted(5); }

}  // namespace ov::host
