#pragma once
// The root of every window object: the native handle, the container, the construction
// record, the stub that leads the native window here, and the properties every window has.
//
// No virtual destructor: every object is owned by a std::shared_ptr made from its own most
// derived class, whose deleter runs the right destructor.

#include <windows.h>

#include <memory>
#include <string>

#include "gui/base/geometry.hpp"
#include "gui/base/property.hpp"
#include "gui/base/wnd_msg.hpp"

#if defined(__i386__)
#define VEX_THISCALL __thiscall
#else
#define VEX_THISCALL
#endif

namespace gui {

namespace initor {
struct base;
}

class wnd32 : public std::enable_shared_from_this<wnd32> {
 public:
  wnd32();
  ~wnd32();
  wnd32(const wnd32&) = delete;
  wnd32& operator=(const wnd32&) = delete;

  virtual void create() {}
  virtual void dispatch(wnd_msg&) {}
  virtual std::string class_name();

  // A notification this window sent its container (WM_COMMAND or WM_NOTIFY, `code` its
  // notification code), handed back by the container while the window still waits for the
  // answer. A window that must answer, or needs the record behind lParam (gone once the call
  // returns), handles it here: it sets `result` and returns true.
  virtual bool answer_notification(wnd_msg& /*notification*/, int /*code*/) { return false; }
  // Whether one of the window's signals fires for the notification code. Only such a code is
  // posted back to the window by its container, for the signal to fire from the message
  // loop; any other is dropped.
  virtual bool hears_notification(int /*code*/) { return false; }
  // Whether the window, a common control, sends its container the wide (UTF-16) form of
  // its notifications; the container answers its WM_NOTIFYFORMAT so. Every other control
  // keeps the ANSI forms.
  virtual bool unicode_notifications() { return false; }

  // The window's DPI changed from `from_dpi` to `to_dpi`: its width and height follow (where
  // it stands is its container's layout's business); a window with sizes inside it scales
  // them too.
  virtual void rescale(int from_dpi, int to_dpi);

  // Reached only through the stub. A handler's exception stops here: it is reported with
  // OutputDebugStringA and the previous procedure handles the message.
  LRESULT VEX_THISCALL wnd_proc(HWND h, UINT msg, WPARAM wparam, LPARAM lparam);

  // Installs the stub as the native window's procedure; the previous one goes to old_proc.
  void subclass();
  // The message `m` handled by the previous procedure, in the window's own character width.
  LRESULT previous_proc(const wnd_msg& m);

  // Takes ownership of a newly made record, replacing the current one.
  void set_init(initor::base* record);

  HWND hwnd = nullptr;
  std::shared_ptr<wnd32> parent;
  std::shared_ptr<initor::base> init;
  WNDPROC old_proc = nullptr;
  unsigned char* thunk = nullptr;
  // The native window speaks UTF-16 (IsWindowUnicode): its procedures are the wide ones and
  // `text` is UTF-8.
  bool wide = false;

  property<std::string> text;
  property<bool> visible;
  property<long> style;
  property<long> ex_style;
  property<bool> enabled;
  property<gui::rect> rect;
  read_only_property<gui::rect> client_rect;
  write_only_property<bool> capture;

 protected:
  // Puts the previous procedure back while the native window lives, so that Windows never
  // calls a freed stub. Derived destructors call it before their members go.
  void unsubclass();

 private:
  std::string get_text();
  void set_text(const std::string& value);
  bool get_visible();
  void set_visible(const bool& value);
  long get_style();
  void set_style(const long& value);
  long get_ex_style();
  void set_ex_style(const long& value);
  bool get_enabled();
  void set_enabled(const bool& value);
  gui::rect get_rect();
  void set_rect(const gui::rect& value);
  gui::rect get_client_rect();
  void set_capture(const bool& value);
};

// Holds back a window's painting while many changes are made, then repaints it once: a list
// that repaints after every inserted row spends most of a long load painting.
class redraw_pause {
 public:
  explicit redraw_pause(wnd32& w);
  ~redraw_pause();
  redraw_pause(const redraw_pause&) = delete;
  redraw_pause& operator=(const redraw_pause&) = delete;

 private:
  HWND hwnd;
};

// For changes that keep coming from elsewhere (rows arriving page by page): holds back the
// window's painting now, unless it is held already, and lets it paint again `delay_ms` later,
// so that it repaints a few times a second rather than after every change. Turning painting
// back on makes a list view walk all its items, so doing it after every page would cost time
// that grows with the list. Window thread only.
void hold_redraw_for(wnd32& w, unsigned delay_ms);

}  // namespace gui
