// The simple controls: label, edit, button and progress bar, their records and operations.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "gui/widget/button.hpp"
#include "gui/widget/controls/host.hpp"
#include "gui/widget/edit.hpp"
#include "gui/widget/label.hpp"
#include "gui/widget/progress.hpp"

namespace {

HBITMAP make_bitmap() { return CreateBitmap(8, 8, 1, 32, nullptr); }

}  // namespace

TEST(Controls, Records) {
  gui::initor::label label("Title", SS_RIGHT | SS_CENTERIMAGE);
  EXPECT_EQ(0x52000202, label.style.value);
  EXPECT_EQ("Title", label.text.value);
  EXPECT_EQ(nullptr, label.image.value);

  gui::initor::button button("Refresh");
  EXPECT_EQ(0x52000000, button.style.value);
  EXPECT_EQ(70, button.size.value.width);
  EXPECT_EQ(24, button.size.value.height);

  gui::initor::edit edit;
  EXPECT_EQ(0x52800080, edit.style.value);
  EXPECT_EQ(100, edit.size.value.width);
  EXPECT_EQ(22, edit.size.value.height);
  EXPECT_FALSE(edit.read_only.value);
  EXPECT_FALSE(edit.password.value);
  EXPECT_EQ(0, edit.password_char.value);
  // the extra fields chain like the common ones
  edit.password(true).password_char('#');
  EXPECT_TRUE(edit.password.value);
  EXPECT_EQ('#', edit.password_char.value);

  gui::initor::progress progress;
  EXPECT_EQ(0x52000001, progress.style.value);
  EXPECT_EQ(20, progress.size.value.width);
  EXPECT_EQ(10, progress.size.value.height);
}

TEST(Controls, Label) {
  auto text = gui::make_label("Right", SS_RIGHT | SS_CENTERIMAGE);
  auto picture = gui::make_label("", 0);
  HBITMAP first = make_bitmap(), second = make_bitmap(), third = make_bitmap(), from_record = make_bitmap();
  auto recorded = gui::make_label("", 0);
  static_cast<gui::initor::label&>(*recorded->init).image(from_record);
  auto win = vex_test::make_host("labels");
  win->add(text, picture, recorded);
  win->create();

  // right-aligned, vertically centred text
  EXPECT_EQ("Right", text->text.get());
  EXPECT_EQ(SS_RIGHT | SS_CENTERIMAGE, text->style.get() & (SS_TYPEMASK | SS_CENTERIMAGE));

  // a picture label: the style turns to a centred bitmap and shows the new image
  picture->set_image(first, true);
  EXPECT_EQ(SS_BITMAP | SS_CENTERIMAGE, picture->style.get() & (SS_TYPEMASK | SS_CENTERIMAGE));
  EXPECT_EQ(reinterpret_cast<LRESULT>(first), SendMessageA(picture->hwnd, STM_GETIMAGE, IMAGE_BITMAP, 0));
  // replaced with the delete flag: the old bitmap is gone; without it, it stays
  picture->set_image(second, true);
  EXPECT_EQ(0u, GetObjectType(first));
  EXPECT_EQ(reinterpret_cast<LRESULT>(second), SendMessageA(picture->hwnd, STM_GETIMAGE, IMAGE_BITMAP, 0));
  picture->set_image(third, false);
  EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(second));
  DeleteObject(second);

  // an image in the record is shown at creation
  EXPECT_EQ(reinterpret_cast<LRESULT>(from_record), SendMessageA(recorded->hwnd, STM_GETIMAGE, IMAGE_BITMAP, 0));
  EXPECT_EQ(SS_BITMAP, recorded->style.get() & SS_TYPEMASK);
}

TEST(Controls, Edit) {
  auto plain = gui::make_edit();
  auto secret = gui::make_edit();
  static_cast<gui::initor::edit&>(*secret->init).password(true);
  auto hashed = gui::make_edit();
  static_cast<gui::initor::edit&>(*hashed->init).password(true).password_char('#').read_only(true);
  auto win = vex_test::make_host("edits");
  win->add(plain, secret, hashed);
  win->create();

  EXPECT_EQ(0, plain->style.get() & ES_PASSWORD);
  EXPECT_FALSE(plain->read_only.get());
  EXPECT_EQ(0, plain->password_char.get());

  // password with character 0 keeps Windows' own character
  EXPECT_EQ(ES_PASSWORD, secret->style.get() & ES_PASSWORD);
  EXPECT_NE(0, secret->password_char.get());

  EXPECT_EQ('#', hashed->password_char.get());
  EXPECT_TRUE(hashed->read_only.get());
  hashed->read_only.set(false);
  EXPECT_FALSE(hashed->read_only.get());

  plain->text.set("keyloom");
  EXPECT_EQ("keyloom", plain->text.get());
}

TEST(Controls, ButtonClickReachesItsSignal) {
  auto button = gui::make_button("Refresh");
  auto win = vex_test::make_host("button");
  win->add(button);
  win->create();
  int clicks = 0;
  button->events.on_click.add([&] { ++clicks; });

  EXPECT_EQ("Refresh", button->text.get());
  EXPECT_EQ(0, button->style.get() & BS_TYPEMASK);  // a plain push button
  const gui::rect r = button->rect.get();
  EXPECT_EQ(70, r.width);
  EXPECT_EQ(24, r.height);

  // the notification is reflected by the container and posted: it arrives through the loop
  SendMessageA(button->hwnd, BM_CLICK, 0, 0);
  EXPECT_EQ(0, clicks);
  vex_test::pump();
  EXPECT_EQ(1, clicks);
}

TEST(Controls, Progress) {
  auto* rec = new gui::initor::progress;
  rec->size(100, 10).visible(false);
  auto bar = gui::make_progress(rec);
  auto win = vex_test::make_host("progress");
  win->add(bar);
  win->create();

  // hidden from the start, as its record says
  EXPECT_FALSE(bar->visible.get());
  EXPECT_EQ(PBS_SMOOTH, bar->style.get() & PBS_SMOOTH);

  bar->set_range(0, 40);
  EXPECT_EQ(0, bar->min.get());
  EXPECT_EQ(40, bar->max.get());
  // each limit keeps the other
  bar->min.set(5);
  EXPECT_EQ(40, bar->max.get());
  bar->max.set(60);
  EXPECT_EQ(5, bar->min.get());

  bar->value.set(5);
  bar->step.set(4);
  bar->step_it();
  bar->step_it();
  EXPECT_EQ(13, bar->value.get());
  bar->bar_color.set(RGB(0, 128, 0));
  bar->background_color.set(RGB(255, 255, 255));
  bar->visible.set(true);
  EXPECT_TRUE(bar->visible.get());
}
