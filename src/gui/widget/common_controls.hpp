#pragma once
// The progress bar and list view classes belong to the common controls, which must be
// registered in the process before the first such window is made.

namespace gui {

// Registers them once; later calls do nothing.
void ensure_common_controls();

}  // namespace gui
