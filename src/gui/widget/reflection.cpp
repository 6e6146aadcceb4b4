#include "gui/widget/reflection.hpp"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdint>

#include "gui/widget/events.hpp"

namespace gui {

namespace {

// WM_NOTIFYFORMAT(control, NF_QUERY) -> NFR_UNICODE for a child that asks for the wide forms.
// Only that child's answer changes: a blanket one would switch every control. A control asks
// while it is being created, before its handle is known here; it asks again when told to
// (NF_REQUERY) once it exists.
void answer_notify_format(wnd_msg& m, const std::vector<std::shared_ptr<wnd32>>& children) {
  if (m.lparam != NF_QUERY) return;
  const HWND from = reinterpret_cast<HWND>(m.wparam);
  for (const auto& child : children) {
    if (child->hwnd != from || !child->unicode_notifications()) continue;
    m.result = NFR_UNICODE;
    m.handled = true;
  }
}

}  // namespace

void reflect(wnd_msg& m, const std::vector<std::shared_ptr<wnd32>>& children) {
  HWND from;
  int code;
  if (m.msg == WM_NOTIFYFORMAT) {
    answer_notify_format(m, children);
    return;
  }
  if (m.msg == WM_NOTIFY) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(m.lparam);
    from = header->hwndFrom;
    code = static_cast<int>(header->code);
  } else if (m.msg == WM_COMMAND) {
    // A menu or accelerator command has no control in lParam and matches no child.
    from = reinterpret_cast<HWND>(m.lparam);
    code = static_cast<int>(m.wparam_high());
  } else {
    return;
  }
  m.handled = true;
  const auto child = std::find_if(children.begin(), children.end(),
                                  [from](const std::shared_ptr<wnd32>& c) { return c->hwnd == from; });
  if (child == children.end() || (*child)->answer_notification(m, code)) return;
  // A posted copy outlives the record a WM_NOTIFY lParam points to: its receiver uses the
  // message number alone.
  const std::uint32_t reflected = event::reflected_message(code);
  if (reflected && (*child)->hears_notification(code))
    PostMessageA(from, reflected, m.wparam, m.lparam);
}

}  // namespace gui
