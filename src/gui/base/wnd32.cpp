#include "gui/base/wnd32.hpp"

#include <algorithm>
#include <cstring>
#include <exception>
#include <functional>
#include <set>
#include <stdexcept>
#include <vector>

#include "gui/base/dpi.hpp"
#include "gui/base/thunk.hpp"
#include "gui/base/initor.hpp"
#include "win32/unicode_text.hpp"

namespace gui {
namespace {

#if defined(__x86_64__)
// x64 has no thiscall: the stub replaced the HWND argument with the object.
LRESULT CALLBACK thunk_entry(HWND object, UINT msg, WPARAM wparam, LPARAM lparam) {
  wnd32* self = reinterpret_cast<wnd32*>(object);
  return self->wnd_proc(self->hwnd, msg, wparam, lparam);
}

void* stub_target() { return reinterpret_cast<void*>(&thunk_entry); }
#else
// The code address of the non-virtual member: the first word of GCC's member pointer.
void* stub_target() {
  LRESULT (VEX_THISCALL wnd32::*member)(HWND, UINT, WPARAM, LPARAM) = &wnd32::wnd_proc;
  void* address;
  std::memcpy(&address, &member, sizeof address);
  return address;
}
#endif

void set_long_and_reframe(HWND hwnd, int index, long value) {
  SetWindowLongA(hwnd, index, value);
  SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
}

}  // namespace

using std::placeholders::_1;

wnd32::wnd32() {
  thunk = make_thunk(this, stub_target());
  text.get = std::bind(&wnd32::get_text, this);
  text.set = std::bind(&wnd32::set_text, this, _1);
  visible.get = std::bind(&wnd32::get_visible, this);
  visible.set = std::bind(&wnd32::set_visible, this, _1);
  style.get = std::bind(&wnd32::get_style, this);
  style.set = std::bind(&wnd32::set_style, this, _1);
  ex_style.get = std::bind(&wnd32::get_ex_style, this);
  ex_style.set = std::bind(&wnd32::set_ex_style, this, _1);
  enabled.get = std::bind(&wnd32::get_enabled, this);
  enabled.set = std::bind(&wnd32::set_enabled, this, _1);
  rect.get = std::bind(&wnd32::get_rect, this);
  rect.set = std::bind(&wnd32::set_rect, this, _1);
  client_rect.get = std::bind(&wnd32::get_client_rect, this);
  capture.set = std::bind(&wnd32::set_capture, this, _1);
}

wnd32::~wnd32() {
  unsubclass();
  free_thunk(thunk);
}

void wnd32::unsubclass() {
  const auto get = wide ? GetWindowLongPtrW : GetWindowLongPtrA;
  const auto set = wide ? SetWindowLongPtrW : SetWindowLongPtrA;
  if (hwnd && old_proc && IsWindow(hwnd) && get(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(thunk))
    set(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old_proc));
  old_proc = nullptr;
}

std::string wnd32::class_name() {
  throw std::runtime_error("wnd32::class_name should not be called");
}

void wnd32::set_init(initor::base* record) { init.reset(record); }

void wnd32::rescale(int from_dpi, int to_dpi) {
  if (!hwnd) return;
  gui::rect r = rect.get();
  r.width = scale(r.width, to_dpi, from_dpi);
  r.height = scale(r.height, to_dpi, from_dpi);
  rect.set(r);
}

// A window keeps the character width it was made with: the stub set with the wide function
// gets the wide forms of messages, as the control's own procedure does.
void wnd32::subclass() {
  wide = IsWindowUnicode(hwnd) != FALSE;
  old_proc = reinterpret_cast<WNDPROC>((wide ? SetWindowLongPtrW : SetWindowLongPtrA)(
      hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(thunk)));
}

LRESULT wnd32::previous_proc(const wnd_msg& m) {
  return (wide ? CallWindowProcW : CallWindowProcA)(old_proc, hwnd, m.msg, m.wparam, m.lparam);
}

LRESULT VEX_THISCALL wnd32::wnd_proc(HWND h, UINT msg, WPARAM wparam, LPARAM lparam) {
  wnd_msg m(msg, wparam, lparam);
  try {
    dispatch(m);
    if (m.handled) return m.result;
  } catch (const std::exception& e) {
    OutputDebugStringA((std::string("window handler failed: ") + e.what()).c_str());
  } catch (...) {
    OutputDebugStringA("window handler failed with an unknown exception");
  }
  return (wide ? CallWindowProcW : CallWindowProcA)(old_proc, h, msg, wparam, lparam);
}

// -- properties --

std::string wnd32::get_text() {
  if (wide) {
    std::wstring buffer(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    buffer.resize(static_cast<std::size_t>(std::max(GetWindowTextW(hwnd, &buffer[0], static_cast<int>(buffer.size())), 0)));
    return win32::utf8(buffer);
  }
  const int length = GetWindowTextLengthA(hwnd) + 1;
  std::vector<char> buffer(length);
  const int copied = GetWindowTextA(hwnd, buffer.data(), length);
  return std::string(buffer.data(), copied > 0 ? copied : 0);
}

void wnd32::set_text(const std::string& value) {
  if (wide) SetWindowTextW(hwnd, win32::utf16(value).c_str());
  else SetWindowTextA(hwnd, value.c_str());
}

bool wnd32::get_visible() { return IsWindowVisible(hwnd) != 0; }

void wnd32::set_visible(const bool& value) { ShowWindow(hwnd, value ? SW_SHOW : SW_HIDE); }

long wnd32::get_style() { return GetWindowLongA(hwnd, GWL_STYLE); }

void wnd32::set_style(const long& value) { set_long_and_reframe(hwnd, GWL_STYLE, value); }

long wnd32::get_ex_style() { return GetWindowLongA(hwnd, GWL_EXSTYLE); }

void wnd32::set_ex_style(const long& value) { set_long_and_reframe(hwnd, GWL_EXSTYLE, value); }

bool wnd32::get_enabled() { return IsWindowEnabled(hwnd) != 0; }

void wnd32::set_enabled(const bool& value) { EnableWindow(hwnd, value); }

gui::rect wnd32::get_rect() {
  RECT r{};
  GetWindowRect(hwnd, &r);
  POINT corner{r.left, r.top};
  if (parent) ScreenToClient(parent->hwnd, &corner);
  return gui::rect{corner.x, corner.y, r.right - r.left, r.bottom - r.top};
}

void wnd32::set_rect(const gui::rect& value) {
  MoveWindow(hwnd, value.x, value.y, value.width, value.height, TRUE);
}

gui::rect wnd32::get_client_rect() {
  RECT r{};
  GetClientRect(hwnd, &r);
  return gui::rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void wnd32::set_capture(const bool& value) {
  if (value)
    SetCapture(hwnd);
  else
    ReleaseCapture();
}

redraw_pause::redraw_pause(wnd32& w) : hwnd(w.hwnd) {
  if (hwnd) SendMessageA(hwnd, WM_SETREDRAW, FALSE, 0);
}

redraw_pause::~redraw_pause() {
  if (!hwnd) return;
  SendMessageA(hwnd, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(hwnd, nullptr, TRUE);
}

namespace {

// Windows whose painting `hold_redraw_for` holds; touched by the window thread only.
std::set<HWND>& held_windows() {
  static std::set<HWND> held;
  return held;
}

constexpr UINT_PTR hold_timer = 0x7648;

void CALLBACK release_redraw(HWND h, UINT, UINT_PTR id, DWORD) {
  KillTimer(h, id);
  held_windows().erase(h);
  SendMessageA(h, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(h, nullptr, TRUE);
}

}  // namespace

void hold_redraw_for(wnd32& w, unsigned delay_ms) {
  if (!w.hwnd || !held_windows().insert(w.hwnd).second) return;
  SendMessageA(w.hwnd, WM_SETREDRAW, FALSE, 0);
  if (!SetTimer(w.hwnd, hold_timer, delay_ms, release_redraw)) release_redraw(w.hwnd, 0, hold_timer, 0);
}

}  // namespace gui
