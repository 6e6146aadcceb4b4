#pragma once
// The record every message handler receives: a handler that consumes the message sets
// `handled`, and `result` then goes back to Windows instead of the previous procedure's.

#include <windows.h>

#include <cstdint>

namespace gui {

struct wnd_msg {
  std::uint32_t msg;
  WPARAM wparam;
  LPARAM lparam;
  bool handled = false;
  LRESULT result = 0;

  wnd_msg(std::uint32_t m, WPARAM w, LPARAM l) : msg(m), wparam(w), lparam(l) {}

  // Words are unsigned: a coordinate of -1 reads 65535.
  unsigned wparam_low() const { return static_cast<unsigned>(wparam & 0xFFFF); }
  unsigned wparam_high() const { return static_cast<unsigned>((wparam >> 16) & 0xFFFF); }
  unsigned lparam_low() const { return static_cast<unsigned>(lparam & 0xFFFF); }
  unsigned lparam_high() const { return static_cast<unsigned>((lparam >> 16) & 0xFFFF); }
};

}  // namespace gui
