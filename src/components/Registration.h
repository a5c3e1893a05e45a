#pragma once

namespace ov::components {

// Makes the choosers and configuration tools of this installation known to
// the component registry by their ProgIDs. Safe to call more than once.
void RegisterOwnComponents();

}  // namespace ov::components
