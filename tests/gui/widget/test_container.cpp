// Containers: children created in the order added, layout before on_size, reflection of
// control notifications (answered at once, posted through the message loop, or dropped), the
// top-level window's end of the loop and the work other threads hand it.

#include "gui/widget/container.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gui/base/message_loop.hpp"
#include "gui/base/probe_class.hpp"
#include "gui/base/initor.hpp"
#include "gui/widget/list_view_ex.hpp"
#include "gui/widget/window.hpp"

namespace {

// Records every apply, with the sizes of the children at that moment.
struct recording_layout : gui::layout::base {
  int applies = 0;
  std::shared_ptr<gui::wnd32> last_container;
  size_t last_children = 0;
  void apply(const std::shared_ptr<gui::wnd32>& container,
             const std::vector<std::shared_ptr<gui::wnd32>>& children) override {
    ++applies;
    last_container = container;
    last_children = children.size();
    for (const auto& c : children) EXPECT_NE(c->hwnd, nullptr);
  }
};

template <typename E>
class native : public gui::wnd_base<E> {
 public:
  explicit native(std::string cls) : cls_(std::move(cls)) {}
  std::string class_name() override { return cls_; }

 private:
  std::string cls_;
};

template <typename E>
std::shared_ptr<native<E>> make_native(const std::string& cls, long style_bits = 0) {
  std::shared_ptr<native<E>> w(new native<E>(cls));
  w->set_init(&(new gui::initor::base)->pos(5, 5).size(100, 24));
  w->init->add_style(style_bits);
  return w;
}

// A panel whose previous procedure records what the container passes on.
class probe_panel : public gui::container<> {
 public:
  std::string class_name() override { return test::probe_class_name(); }
};

std::shared_ptr<gui::window> make_main(recording_layout** layout_out = nullptr) {
  auto w = gui::make_window();
  auto* l = new recording_layout;
  w->init->text("main").pos(20, 20).size(400, 300).layout(l);
  // A bordered popup; the main window record's own style is checked on its own below.
  w->init->style(WS_POPUP | WS_VISIBLE | WS_BORDER | WS_CLIPCHILDREN);
  if (layout_out) *layout_out = l;
  return w;
}

TEST(Container, RecordsChainTheirSettersOverTheirDefaults) {
  gui::initor::base child;
  EXPECT_EQ(child.style.value, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN);
  EXPECT_EQ(child.pos.value.x, static_cast<int>(CW_USEDEFAULT));
  EXPECT_EQ(child.size.value.height, static_cast<int>(CW_USEDEFAULT));
  EXPECT_EQ(child.ex_style.value, 0);
  EXPECT_FALSE(child.layout.value);

  gui::initor::window main;
  EXPECT_EQ(main.style.value, WS_VISIBLE | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX);
  gui::initor::base& same = main.text("Vexlets").size(500, 300).resizable(true).visible(false);
  EXPECT_EQ(&same, &main);
  EXPECT_EQ(main.text.value, "Vexlets");
  EXPECT_EQ(main.size.value.width, 500);
  EXPECT_EQ(main.size.value.height, 300);
  EXPECT_EQ(main.style.value, WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME);
  main.resizable(false).visible(true).remove_style(WS_SYSMENU).add_style(WS_BORDER);
  EXPECT_EQ(main.style.value, WS_VISIBLE | WS_CLIPCHILDREN | WS_MINIMIZEBOX | WS_BORDER);
}

TEST(Container, CreatesChildrenInOrderThenLaysOutAndLaysOutBeforeOnSize) {
  recording_layout* layout = nullptr;
  auto w = make_main(&layout);
  std::vector<std::string> order;
  auto a = make_native<gui::event::base>(test::probe_class_name());
  auto b = make_native<gui::event::base>(test::probe_class_name());
  a->events.on_create.add([&] { order.push_back("a"); });
  b->events.on_create.add([&] { order.push_back("b"); });
  w->events.on_create.add([&] { order.push_back("window"); });
  w->add(b, a);
  EXPECT_EQ(w->children.size(), 2u);
  EXPECT_EQ(a->parent, w);
  EXPECT_EQ(a->hwnd, nullptr);  // add creates nothing

  w->create();
  EXPECT_EQ(order, (std::vector<std::string>{"window", "b", "a"}));
  EXPECT_EQ(GetParent(a->hwnd), w->hwnd);
  EXPECT_EQ(GetParent(b->hwnd), w->hwnd);
  EXPECT_EQ(layout->applies, 1);
  EXPECT_EQ(layout->last_container, w);
  EXPECT_EQ(layout->last_children, 2u);

  int applies_seen_by_on_size = -1;
  gui::size seen{0, 0};
  w->events.on_size.add([&](gui::size s) {
    applies_seen_by_on_size = layout->applies;
    seen = s;
  });
  w->rect.set(gui::rect{20, 20, 420, 320});
  EXPECT_EQ(applies_seen_by_on_size, 2);
  const gui::rect client = w->client_rect.get();
  EXPECT_EQ(seen.width, client.width);
  EXPECT_EQ(seen.height, client.height);

  layout->last_container.reset();  // break the cycle the test made
}

TEST(Container, WithoutLayoutLeavesChildrenWhereTheirRecordsPutThem) {
  auto w = make_main();
  w->init->layout.value.reset();
  auto a = make_native<gui::event::base>(test::probe_class_name());
  a->init->pos(33, 44);
  w->add(a);
  w->create();
  w->rect.set(gui::rect{10, 10, 350, 250});
  const gui::rect r = a->rect.get();
  EXPECT_EQ(r.x, 33);
  EXPECT_EQ(r.y, 44);
}

// Events that hear one WM_NOTIFY code, a negative one as newer controls send.
struct hot_item_events : gui::event::base {
  static constexpr int code = -1249;  // the button's hot-item notification under version 6
  bool hears(int c) const override { return c == code; }
};

// A control that must answer a notification while it waits.
class answering : public native<gui::event::base> {
 public:
  answering() : native(test::probe_class_name()) {}
  bool answer_notification(gui::wnd_msg& m, int code) override {
    if (code != 42) return false;
    m.result = 77;
    return true;
  }
};

TEST(Container, ReflectsOnlyWhatItsChildrenHearOrAnswer) {
  auto w = make_main();
  auto p = std::shared_ptr<probe_panel>(new probe_panel);
  p->set_init(&(new gui::initor::base)->pos(0, 0).size(200, 100));
  auto deaf = make_native<gui::event::base>(test::probe_class_name());
  auto clicker = make_native<gui::event::button>(test::probe_class_name());
  auto hot = make_native<hot_item_events>(test::probe_class_name());
  auto asker = std::shared_ptr<answering>(new answering);
  asker->set_init(new gui::initor::base);
  w->add(p);
  p->add(deaf, clicker, hot, asker);
  w->create();
  test::pump();
  test::probe_log().clear();

  const auto command = [&](const std::shared_ptr<gui::wnd32>& from, int code) {
    return SendMessageA(p->hwnd, WM_COMMAND, MAKEWPARAM(0, code), reinterpret_cast<LPARAM>(from->hwnd));
  };
  const auto notification = [&](const std::shared_ptr<gui::wnd32>& from, int code) {
    NMHDR header{};
    header.hwndFrom = from->hwnd;
    header.code = static_cast<UINT>(code);
    return SendMessageA(p->hwnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
  };

  // codes no signal of the sender hears post nothing, negative ones included
  EXPECT_EQ(0, command(deaf, 3));
  EXPECT_EQ(0, command(deaf, BN_CLICKED));
  EXPECT_EQ(0, notification(deaf, 9));
  EXPECT_EQ(0, notification(deaf, hot_item_events::code));
  EXPECT_EQ(0, command(clicker, BN_DOUBLECLICKED));
  // a menu command has no control: nothing goes anywhere
  EXPECT_EQ(SendMessageA(p->hwnd, WM_COMMAND, MAKEWPARAM(5, 0), 0), 0);
  MSG stray;
  EXPECT_FALSE(PeekMessageA(&stray, reinterpret_cast<HWND>(-1), 0, 0, PM_NOREMOVE));

  // a heard code is posted back, not sent, with the parameters unchanged
  EXPECT_EQ(0, command(clicker, BN_CLICKED));
  EXPECT_EQ(0, notification(hot, hot_item_events::code));
  EXPECT_FALSE(test::probe_saw(clicker->hwnd, WM_USER));
  test::pump();
  for (const auto& s : test::probe_log()) {
    EXPECT_NE(s.hwnd, deaf->hwnd) << "message " << s.msg;
    EXPECT_NE(s.hwnd, asker->hwnd) << "message " << s.msg;
  }
  EXPECT_TRUE(test::probe_saw(clicker->hwnd, WM_USER));
  for (const auto& s : test::probe_log()) {
    if (s.hwnd == clicker->hwnd && s.msg == WM_USER) {
      EXPECT_EQ(s.wparam, static_cast<WPARAM>(MAKEWPARAM(0, BN_CLICKED)));
      EXPECT_EQ(s.lparam, reinterpret_cast<LPARAM>(clicker->hwnd));
    }
  }
  // a negative code comes back above WM_USER, never wrapped below it
  const UINT hot_message = gui::event::reflected_message(hot_item_events::code);
  EXPECT_GE(hot_message, static_cast<UINT>(WM_USER + 0x1000));
  EXPECT_LT(hot_message, static_cast<UINT>(WM_APP));
  EXPECT_TRUE(test::probe_saw(hot->hwnd, hot_message));
  EXPECT_EQ(0u, gui::event::reflected_message(0xFFFF));

  // a notification that needs an answer gets it at once
  EXPECT_EQ(77, notification(asker, 42));
  EXPECT_EQ(0, notification(asker, 43));
  EXPECT_FALSE(test::probe_saw(p->hwnd, WM_COMMAND));
  EXPECT_FALSE(test::probe_saw(p->hwnd, WM_NOTIFY));
}

TEST(Container, ButtonClickAndComboChoiceFireThroughTheLoop) {
  auto w = make_main();
  auto btn = make_native<gui::event::button>("button", WS_TABSTOP);
  btn->init->text("Refresh");
  auto combo = make_native<gui::event::combo>("ComboBox", 0x00300243);
  combo->init->pos(5, 40).size(100, 200);
  w->add(btn, combo);
  int clicks = 0, selects = 0;
  btn->events.on_click.add([&] { ++clicks; });
  combo->events.on_select.add([&] { ++selects; });
  w->create();
  test::pump();

  SendMessageA(btn->hwnd, BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 0);  // the reflection is posted
  test::pump();
  EXPECT_EQ(clicks, 1);

  for (const char* name : {"one", "two", "three"})
    SendMessageA(combo->hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  SendMessageA(combo->hwnd, CB_SETCURSEL, 2, 0);  // from code: no notification
  test::pump();
  EXPECT_EQ(selects, 0);
  SendMessageA(combo->hwnd, CB_SETCURSEL, 0, 0);
  SetFocus(combo->hwnd);
  SendMessageA(combo->hwnd, WM_KEYDOWN, VK_DOWN, 0);  // the user's choice
  test::pump();
  EXPECT_EQ(SendMessageA(combo->hwnd, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(selects, 1);
  EXPECT_EQ(clicks, 1);
}

TEST(Container, WindowKeptByACloseHandlerElseClosingEndsTheLoop) {
  auto w = make_main();
  bool keep = true;
  int closes = 0;
  w->events.on_close.add([&](gui::wnd_msg& m) {
    ++closes;
    m.handled = keep;
  });
  w->create();
  PostMessageA(w->hwnd, WM_CLOSE, 0, 0);
  test::pump();
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(IsWindow(w->hwnd));

  keep = false;
  PostMessageA(w->hwnd, WM_CLOSE, 0, 0);
  gui::run_message_loop();  // returns on the quit message WM_DESTROY posts
  EXPECT_EQ(closes, 2);
  EXPECT_FALSE(IsWindow(w->hwnd));
}

// The window's side of work handed over from another thread (the queue's own is
// gui/base/test_task_queue): before the window exists it runs at once; then one message wakes
// the window thread for a stream of it, the window thread looks for more by itself while it
// comes, and what is still queued when the window goes is freed, never run.
TEST(Container, PostedWorkRunsOnTheWindowThreadWhileTheWindowLives) {
  auto w = make_main();
  int early = 0;
  w->post([&] { ++early; });
  EXPECT_EQ(early, 1);  // no window yet: at once

  w->create();
  test::pump();
  std::vector<DWORD> threads;
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i) w->post([&threads] { threads.push_back(GetCurrentThreadId()); });
  });
  worker.join();  // it never waited for this thread
  EXPECT_TRUE(threads.empty());
  int wakeups = 0;
  MSG msg;
  while (PeekMessageA(&msg, w->hwnd, WM_APP, 0xBFFF, PM_REMOVE)) {
    ++wakeups;
    DispatchMessageA(&msg);
  }
  EXPECT_EQ(wakeups, 1);
  EXPECT_EQ(threads, std::vector<DWORD>(3, GetCurrentThreadId()));

  bool after = false;
  w->post([&] { after = true; });
  EXPECT_FALSE(PeekMessageA(&msg, w->hwnd, WM_APP, 0xBFFF, PM_NOREMOVE));
  for (int i = 0; i < 100 && !after; ++i) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    test::pump();
  }
  EXPECT_TRUE(after);

  auto token = std::make_shared<int>(0);
  bool ran = false;
  w->post([token, &ran] { ran = true; });
  DestroyWindow(w->hwnd);
  EXPECT_EQ(token.use_count(), 1);  // freed with the window
  w->post([token, &ran] { ran = true; });
  EXPECT_EQ(token.use_count(), 1);
  test::pump();
  EXPECT_FALSE(ran);
  MSG quit;
  PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

}  // namespace

// Wine never sends WM_DPICHANGED; sent here, it stands for Windows moving the window to a
// monitor at 144 DPI.
TEST(Container, WindowFollowsADpiChange) {
  recording_layout* layout = nullptr;
  auto w = make_main(&layout);
  auto box = make_native<gui::event::base>("edit");
  auto list = gui::make_list_view_ex();
  list->columns.push_back(gui::lv_column("Name", "name", 100, gui::format_field<std::string>));
  std::vector<int> dpis;
  w->on_dpi.add([&](int dpi) {
    dpis.push_back(dpi);
    EXPECT_NE(box->hwnd, nullptr);
  });
  w->add(box, list);
  w->create();
  ASSERT_EQ(dpis, std::vector<int>{96});
  EXPECT_EQ(layout->applies, 1);
  const auto font_height = [&] {
    LOGFONTA font = {};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(box->hwnd, WM_GETFONT, 0, 0)), sizeof font, &font);
    return std::abs(font.lfHeight);
  };
  const long at_96 = font_height();
  ASSERT_GT(at_96, 0) << "no font given";
  list->rect.set(gui::rect{0, 0, 200, 100});

  RECT suggested = {30, 40, 30 + 600, 40 + 450};
  SendMessageA(w->hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(dpis, (std::vector<int>{96, 144}));
  EXPECT_EQ(w->dpi, 144);
  EXPECT_GT(font_height(), at_96);
  EXPECT_EQ(box->rect.get().width, 150);
  EXPECT_EQ(box->rect.get().height, 36);
  EXPECT_EQ(list->rect.get().width, 300);
  EXPECT_EQ(SendMessageA(list->hwnd, LVM_GETCOLUMNWIDTH, 0, 0), 150);
  const gui::rect now = w->rect.get();
  EXPECT_EQ((std::vector<int>{now.x, now.y, now.width, now.height}), (std::vector<int>{30, 40, 600, 450}));
  EXPECT_GE(layout->applies, 2);

  layout->last_container.reset();  // break the cycle the test made
}
