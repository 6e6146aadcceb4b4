#pragma once
// How a container passes a control's notification back to the control itself, so that the
// control fires its own signal (a button its `on_click`, a list its `on_return`).

#include <memory>
#include <vector>

#include "gui/base/wnd32.hpp"
#include "gui/base/wnd_msg.hpp"

namespace gui {

// WM_COMMAND and WM_NOTIFY from one of `children`: offered to that child at once
// (`answer_notification`), which is how a control asking for data gets its answer; otherwise,
// when one of the child's signals hears the code, posted back to it as
// `event::reflected_message(code)` with the parameters unchanged; otherwise dropped. Either
// way the message is marked handled. WM_NOTIFYFORMAT from a child that wants the wide forms
// of notifications (`unicode_notifications`): NFR_UNICODE. Anything else: nothing.
void reflect(wnd_msg& m, const std::vector<std::shared_ptr<wnd32>>& children);

}  // namespace gui
