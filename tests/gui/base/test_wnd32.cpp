// The window object: stub dispatch, the path to the previous procedure, creation order,
// destruction while the native window lives, the event mapping and the wnd32 properties.
// Windows are left to the end of the process unless destroying them is the point: under Wine
// without a window manager every destroyed visible top-level window costs a wait.

#include "gui/base/wnd32.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "gui/base/probe_class.hpp"
#include "gui/base/wnd_base.hpp"
#include "gui/widget/events.hpp"
#include "gui/base/initor.hpp"

namespace {

class probe_wnd : public gui::wnd_base<gui::event::base> {
 public:
  std::string class_name() override { return test::probe_class_name(); }
};

std::shared_ptr<probe_wnd> make_probe() {
  std::shared_ptr<probe_wnd> w(new probe_wnd);
  // A bordered popup: a top-level window whose frame the style checks below can change.
  w->set_init(&(new gui::initor::window)->text("probe").pos(40, 50).size(240, 160));
  w->init->style(WS_POPUP | WS_VISIBLE | WS_BORDER | WS_CLIPCHILDREN);
  return w;
}

TEST(Wnd32, UnhandledMessagesReachThePreviousProcedureAndHandledOnesReturnTheirResult) {
  auto w = make_probe();
  int closes = 0;
  bool keep = true;
  w->events.on_close.add([&](gui::wnd_msg& m) {
    ++closes;
    if (keep) {
      m.handled = true;
      m.result = 77;
    }
  });
  w->events.on_close.add([&](gui::wnd_msg&) { ++closes; });  // runs although handled
  w->create();
  ASSERT_NE(w->hwnd, nullptr);

  test::probe_log().clear();
  // A message no event maps goes to the previous procedure unchanged, its result returned.
  const WPARAM wp = static_cast<WPARAM>(0xA1B2C3D4u);
  const LPARAM lp = static_cast<LPARAM>(-5);
  EXPECT_EQ(SendMessageA(w->hwnd, WM_APP + 3, wp, lp), test::probe_result);
  ASSERT_EQ(test::probe_log().size(), 1u);
  EXPECT_EQ(test::probe_log()[0].hwnd, w->hwnd);
  EXPECT_EQ(test::probe_log()[0].msg, static_cast<UINT>(WM_APP + 3));
  EXPECT_EQ(test::probe_log()[0].wparam, wp);
  EXPECT_EQ(test::probe_log()[0].lparam, lp);

  // A close handler that marks WM_CLOSE handled keeps the window; the procedure never sees it.
  EXPECT_EQ(SendMessageA(w->hwnd, WM_CLOSE, 0, 0), 77);
  EXPECT_EQ(closes, 2);
  EXPECT_FALSE(test::probe_saw(w->hwnd, WM_CLOSE));
  EXPECT_TRUE(IsWindow(w->hwnd));

  // A throwing handler is reported and the message still gets its default handling.
  w->events.on_close.add([](gui::wnd_msg&) { throw std::runtime_error("handler fault"); });
  keep = false;
  SendMessageA(w->hwnd, WM_CLOSE, 0, 0);
  EXPECT_TRUE(test::probe_saw(w->hwnd, WM_CLOSE));
  EXPECT_FALSE(IsWindow(w->hwnd));
}

TEST(Wnd32, OnCreateFiresOnceAfterCreationsOwnMessages) {
  auto w = make_probe();
  int creates = 0, sizes = 0, moves = 0;
  bool created_first = false;
  test::probe_log().clear();
  w->events.on_size.add([&](gui::size) { ++sizes; });
  w->events.on_move.add([&](gui::pos) { ++moves; });
  w->events.on_create.add([&] {
    ++creates;
    created_first = w->hwnd != nullptr && test::probe_saw(w->hwnd, WM_CREATE) &&
                    test::probe_saw(w->hwnd, WM_SIZE);
  });
  w->create();
  EXPECT_EQ(creates, 1);
  EXPECT_TRUE(created_first);
  EXPECT_EQ(sizes, 0);
  EXPECT_EQ(moves, 0);
  test::pump();
  EXPECT_EQ(creates, 1);
}

TEST(Wnd32, EachNativeWindowReachesItsOwnObject) {
  auto a = make_probe();
  auto b = make_probe();
  ASSERT_NE(a->thunk, b->thunk);
  std::string a_saw, b_saw;
  a->events.on_char.add([&](char c) { a_saw += c; });
  b->events.on_char.add([&](char c) { b_saw += c; });
  a->create();
  b->create();
  EXPECT_EQ(GetWindowLongPtrA(a->hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(a->thunk));
  SendMessageA(a->hwnd, WM_CHAR, 'a', 0);
  SendMessageA(b->hwnd, WM_CHAR, 'b', 0);
  SendMessageA(a->hwnd, WM_CHAR, 0x1FF, 0);  // only the low byte counts
  EXPECT_EQ(a_saw, "a\xFF");
  EXPECT_EQ(b_saw, "b");
}

TEST(Wnd32, DestroyedObjectGivesTheWindowBackToItsPreviousProcedure) {
  auto w = make_probe();
  w->create();
  HWND hwnd = w->hwnd;
  const LONG_PTR previous = reinterpret_cast<LONG_PTR>(w->old_proc);
  w.reset();
  ASSERT_TRUE(IsWindow(hwnd));
  EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), previous);
  test::probe_log().clear();
  EXPECT_EQ(SendMessageA(hwnd, WM_APP + 1, 0, 0), test::probe_result);
}

TEST(Wnd32, MessagesBecomeEvents) {
  auto w = make_probe();
  w->create();
  gui::pos menu_at{0, 0}, moved{0, 0};
  gui::size sized{0, 0};
  std::vector<bool> activations, shows, enables;
  int double_clicks = 0, focus = 0, unfocus = 0, downs = 0;
  w->events.on_context_menu.add([&](gui::pos p) { menu_at = p; });
  w->events.on_move.add([&](gui::pos p) { moved = p; });
  w->events.on_size.add([&](gui::size s) { sized = s; });
  w->events.on_activate.add([&](bool on) { activations.push_back(on); });
  w->events.on_show.add([&](bool on) { shows.push_back(on); });
  w->events.on_enable.add([&](bool on) { enables.push_back(on); });
  w->events.on_double_click.add([&] { ++double_clicks; });
  w->events.on_set_focus.add([&] { ++focus; });
  w->events.on_kill_focus.add([&] { ++unfocus; });
  w->events.on_left_down.add([&](gui::wnd_msg& m) { downs += m.msg == WM_LBUTTONDOWN; });

  // The keyboard form of WM_CONTEXTMENU carries -1, -1: words read unsigned.
  SendMessageA(w->hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(w->hwnd), MAKELPARAM(-1, -1));
  EXPECT_EQ(menu_at.x, 65535);
  EXPECT_EQ(menu_at.y, 65535);
  SendMessageA(w->hwnd, WM_MOVE, 0, MAKELPARAM(12, 34));
  EXPECT_EQ(moved.x, 12);
  EXPECT_EQ(moved.y, 34);
  SendMessageA(w->hwnd, WM_SIZE, 0, MAKELPARAM(56, 78));
  EXPECT_EQ(sized.width, 56);
  EXPECT_EQ(sized.height, 78);
  activations.clear();
  SendMessageA(w->hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
  SendMessageA(w->hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
  SendMessageA(w->hwnd, WM_ACTIVATE, WA_CLICKACTIVE, 0);
  EXPECT_EQ(activations, (std::vector<bool>{false, true, true}));
  shows.clear();
  SendMessageA(w->hwnd, WM_SHOWWINDOW, 0, 0);
  SendMessageA(w->hwnd, WM_SHOWWINDOW, 1, 0);
  EXPECT_EQ(shows, (std::vector<bool>{false, true}));
  enables.clear();
  SendMessageA(w->hwnd, WM_ENABLE, 0, 0);
  EXPECT_EQ(enables, (std::vector<bool>{false}));
  SendMessageA(w->hwnd, WM_LBUTTONDBLCLK, 0, 0);
  SendMessageA(w->hwnd, WM_LBUTTONDOWN, 0, 0);
  focus = unfocus = 0;
  SendMessageA(w->hwnd, WM_SETFOCUS, 0, 0);
  SendMessageA(w->hwnd, WM_KILLFOCUS, 0, 0);
  EXPECT_EQ(double_clicks, 1);
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(focus, 1);
  EXPECT_EQ(unfocus, 1);
}

TEST(Wnd32, PropertiesRoundTripThroughTheNativeWindow) {
  auto w = make_probe();
  w->create();

  EXPECT_EQ(w->text.get(), "probe");
  w->text.set("");
  EXPECT_EQ(w->text.get(), "");
  w->text.set("Vexlets and more");
  EXPECT_EQ(w->text.get(), "Vexlets and more");
  char native[64] = {};
  GetWindowTextA(w->hwnd, native, sizeof native);
  EXPECT_STREQ(native, "Vexlets and more");

  EXPECT_TRUE(w->visible.get());
  w->visible.set(false);
  EXPECT_FALSE(w->visible.get());
  EXPECT_FALSE(IsWindowVisible(w->hwnd));
  w->visible.set(true);
  EXPECT_TRUE(w->visible.get());

  // A top-level window reports screen coordinates.
  w->rect.set(gui::rect{30, 40, 300, 200});
  gui::rect r = w->rect.get();
  EXPECT_EQ(r.x, 30);
  EXPECT_EQ(r.y, 40);
  EXPECT_EQ(r.width, 300);
  EXPECT_EQ(r.height, 200);
  RECT client{};
  GetClientRect(w->hwnd, &client);
  gui::rect c = w->client_rect.get();
  EXPECT_EQ(c.x, 0);
  EXPECT_EQ(c.width, client.right);
  EXPECT_EQ(c.height, client.bottom);
  EXPECT_LT(c.height, 200);  // the border is outside the client area

  // Style changes keep the window where it was.
  const long before = w->style.get();
  EXPECT_EQ(before & WS_BORDER, WS_BORDER);
  w->style.set(before | WS_DLGFRAME);
  EXPECT_EQ(w->style.get() & WS_DLGFRAME, WS_DLGFRAME);
  EXPECT_EQ(GetWindowLongA(w->hwnd, GWL_STYLE) & WS_DLGFRAME, WS_DLGFRAME);
  EXPECT_LT(w->client_rect.get().width, c.width);  // the frame was recomputed at once
  r = w->rect.get();
  EXPECT_EQ(r.x, 30);
  EXPECT_EQ(r.width, 300);
  w->ex_style.set(w->ex_style.get() | WS_EX_TOOLWINDOW);
  EXPECT_EQ(GetWindowLongA(w->hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW);

  w->enabled.set(false);
  EXPECT_FALSE(w->enabled.get());
  EXPECT_FALSE(IsWindowEnabled(w->hwnd));
  w->enabled.set(true);
  EXPECT_TRUE(w->enabled.get());

  w->capture.set(true);
  EXPECT_EQ(GetCapture(), w->hwnd);
  w->capture.set(false);
  EXPECT_EQ(GetCapture(), nullptr);

  // A child reports its position in the parent's client coordinates.
  auto child = make_probe();
  child->init->style(WS_CHILD | WS_VISIBLE).pos(7, 9).size(50, 20);
  child->parent = w;
  child->create();
  r = child->rect.get();
  EXPECT_EQ(r.x, 7);
  EXPECT_EQ(r.y, 9);
  EXPECT_EQ(r.width, 50);
  EXPECT_EQ(GetParent(child->hwnd), w->hwnd);
  child->parent.reset();
}

TEST(Wnd32, ClassNameAndUnboundPropertiesThrow) {
  gui::wnd32 bare;
  EXPECT_THROW(bare.class_name(), std::runtime_error);
  try {
    bare.class_name();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "wnd32::class_name should not be called");
  }
  gui::wnd_base<gui::event::base> plain;
  EXPECT_THROW(plain.class_name(), std::runtime_error);
  gui::property<int> unbound;
  EXPECT_THROW(unbound.get(), std::bad_function_call);
}

}  // namespace

namespace {

// The WM_SETREDRAW values the probe's procedure received for `hwnd`, in order.
std::vector<WPARAM> redraw_log(HWND hwnd) {
  std::vector<WPARAM> seen;
  for (const test::seen_msg& m : test::probe_log())
    if (m.hwnd == hwnd && m.msg == WM_SETREDRAW) seen.push_back(m.wparam);
  return seen;
}

}  // namespace

TEST(Wnd32, RedrawPausesHoldPaintingAndGiveItBack) {
  auto w = make_probe();
  w->create();
  { gui::redraw_pause pause(*w); }
  EXPECT_EQ(redraw_log(w->hwnd), (std::vector<WPARAM>{FALSE, TRUE}));

  // Held once however often it is asked while held, then released by the timer.
  gui::hold_redraw_for(*w, 50);
  gui::hold_redraw_for(*w, 50);
  EXPECT_EQ(redraw_log(w->hwnd), (std::vector<WPARAM>{FALSE, TRUE, FALSE}));
  const DWORD start = GetTickCount();
  while (redraw_log(w->hwnd).size() < 4 && GetTickCount() - start < 5000) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    test::pump();
  }
  EXPECT_EQ(redraw_log(w->hwnd), (std::vector<WPARAM>{FALSE, TRUE, FALSE, TRUE}));
  // Released, it can be held again.
  gui::hold_redraw_for(*w, 50);
  EXPECT_EQ(redraw_log(w->hwnd).size(), 5u);
}
