// Containers: children created in the order added, layout before on_size, reflection of
// control notifications through the message loop, and the top-level window's end of the loop.

#include "gui/widget/container.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gui/base/message_loop.hpp"
#include "gui/base/probe_class.hpp"
#include "gui/base/initor.hpp"

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

TEST(Container, NeverPassesNotificationsOnAndReflectsThemToTheSender) {
  auto w = make_main();
  auto p = std::shared_ptr<probe_panel>(new probe_panel);
  p->set_init(&(new gui::initor::base)->pos(0, 0).size(200, 100));
  auto child = make_native<gui::event::base>(test::probe_class_name());
  w->add(p);
  p->add(child);
  w->create();
  test::pump();
  test::probe_log().clear();

  // WM_COMMAND: WM_USER + the notification code is posted to the control in lParam.
  EXPECT_EQ(SendMessageA(p->hwnd, WM_COMMAND, MAKEWPARAM(0, 3),
                         reinterpret_cast<LPARAM>(child->hwnd)),
            0);
  NMHDR header{};
  header.hwndFrom = child->hwnd;
  header.code = 9;
  EXPECT_EQ(SendMessageA(p->hwnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header)), 0);
  EXPECT_FALSE(test::probe_saw(p->hwnd, WM_COMMAND));
  EXPECT_FALSE(test::probe_saw(p->hwnd, WM_NOTIFY));
  EXPECT_FALSE(test::probe_saw(child->hwnd, WM_USER + 3));  // posted, not sent
  test::pump();
  EXPECT_TRUE(test::probe_saw(child->hwnd, WM_USER + 3));
  EXPECT_TRUE(test::probe_saw(child->hwnd, WM_USER + 9));
  for (const auto& s : test::probe_log()) {
    if (s.hwnd == child->hwnd && s.msg == WM_USER + 3) {
      EXPECT_EQ(s.wparam, static_cast<WPARAM>(MAKEWPARAM(0, 3)));
      EXPECT_EQ(s.lparam, reinterpret_cast<LPARAM>(child->hwnd));
    }
  }
  // A menu command has no control: it goes to the thread and is dropped.
  EXPECT_EQ(SendMessageA(p->hwnd, WM_COMMAND, MAKEWPARAM(5, 0), 0), 0);
  test::pump();
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

// Another thread hands work to the window thread and waits for it; before the window exists
// the work runs at once, and once the window is gone it does not run at all.
TEST(Container, CallRunsOnTheWindowThread) {
  auto w = make_main();
  DWORD ran_on = 0;
  w->call([&] { ran_on = GetCurrentThreadId(); });
  EXPECT_EQ(ran_on, GetCurrentThreadId());

  w->create();
  ran_on = 0;
  bool returned_after_run = false;
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread worker([&] {
    w->call([&] { ran_on = GetCurrentThreadId(); });
    returned_after_run = ran_on != 0;
    SetEvent(done);
  });
  while (MsgWaitForMultipleObjects(1, &done, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
    test::pump();
  worker.join();
  CloseHandle(done);
  EXPECT_EQ(ran_on, GetCurrentThreadId());
  EXPECT_TRUE(returned_after_run);

  DestroyWindow(w->hwnd);
  MSG quit;  // the top-level window's end posted one; this test runs no loop to take it
  PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  bool ran = false;
  std::thread late([&] { w->call([&] { ran = true; }); });
  late.join();
  EXPECT_FALSE(ran);
}

}  // namespace
