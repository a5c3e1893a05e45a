#pragma once

#include <QDebug>
#include <exception>

namespace ov::studio {

// Every call into the add-in goes through here: the add-in promises not to
// throw, but a broken add-in must never take the studio down with it.
template <typename Fn>
bool CallAddin(const char* what, Fn&& fn) noexcept {
    try {
        fn();
        return true;
    } catch (const std::exception& e) {
        qWarning("ovstudio: the add-in failed in %s: %s", what, e.what());
    } catch (...) {
        qWarning("ovstudio: the add-in failed in %s", what);
    }
    return false;
}

}  // namespace ov::studio
