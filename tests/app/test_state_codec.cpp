// The state file's bytes, and what a reader makes of whole, cut and damaged files.
#include "app/state_codec.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <new>
#include <random>
#include <sstream>

// The largest single allocation, so that a damaged length cannot make the reader ask for
// memory the file could never fill. (GCC's check of matching allocation functions does not
// see that these replace the library's pair.)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
static std::size_t largest_allocation = 0;
void* operator new(std::size_t n) {
  if (n > largest_allocation) largest_allocation = n;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

std::string bytes_of(const gui_state_data& state) {
  std::ostringstream out;
  write_gui_state(out, state);
  return out.str();
}

gui_state_read read_bytes(const std::string& bytes) {
  std::istringstream in(bytes);
  return read_gui_state(in, bytes.size());
}

std::string le(int v) {
  std::ostringstream out;
  write_int(out, v);
  return out.str();
}

row entry(const std::string& url, const std::string& name, bool solved) {
  row r;
  r["url"] = url;
  r["name"] = name;
  r["difficulty"] = std::string("3");
  r["solved"] = solved;
  return r;
}

// What was read, written again: the same bytes when the reader lost nothing.
std::string written_again(const gui_state_read& back) {
  gui_state_data again;
  again.cracked_urls = back.cracked_urls;
  again.rows = back.rows;
  again.selected = back.selected.value_or(-2);
  again.title = back.title.value_or("<none>");
  for (int i = 0; i < 4; ++i) again.filters[i] = back.filters[i].value_or(-2);
  return bytes_of(again);
}

gui_state_data sample() {
  gui_state_data s;
  s.cracked_urls = {{"/v/1", true}, {"/v/10", true}, {"/v/2", true}};
  s.rows = {entry("/v/1", "one &amp; two", true), entry("/v/2", "", false),
            entry("/v/3", std::string("\0\u00FF", 3), false),
            entry("/v/\u30C6", "\u30C6\u30B9\u30C8 \u0416 \u03A9 \U0001F600 & caf\u00E9", false)};
  s.cracked_urls["/v/\u30C6"] = true;
  s.selected = 2;
  s.title = "key gen";
  s.filters[0] = 3;
  s.filters[1] = 12;
  s.filters[2] = -1;
  s.filters[3] = 4;
  return s;
}

}  // namespace

TEST(StateFile, EmptyStateIs32Bytes) {
  const std::string bytes = bytes_of(gui_state_data());
  EXPECT_EQ(bytes, le(0) + le(0) + le(-1) + le(0) + le(-1) + le(-1) + le(-1) + le(-1));
  EXPECT_EQ(bytes.size(), 32u);
}

TEST(StateFile, LayoutOfMarksAndFields) {
  gui_state_data s;
  s.cracked_urls["/b"] = true;
  s.cracked_urls["/a"] = true;
  row r;
  r["solved"] = true;
  r["name"] = std::string("N");
  r["count"] = 7;  // a kind the file has no tag for
  s.rows.push_back(r);
  const std::string want = le(2) + le(2) + "/a" + '\1' + le(2) + "/b" + '\1' +  // key order
                           le(1) + le(3) +                                      // fields by key
                           le(5) + "count" + le(0) +                            // no payload
                           le(4) + "name" + le(1) + le(1) + "N" +               //
                           le(6) + "solved" + le(2) + '\1' +                    //
                           le(-1) + le(0) + le(-1) + le(-1) + le(-1) + le(-1);
  EXPECT_EQ(bytes_of(s), want);
}

TEST(StateFile, TextsAreHtmlInWindows1252) {
  // Every character comes back; an earlier program reads the same bytes as a Windows-1252
  // page's text and shows the code page's characters as before, any other as its reference.
  gui_state_data s;
  s.cracked_urls["/v/\u00E9?a=1&b"] = true;
  s.rows = {entry("/v/1", "\u30C6\u30B9\u30C8 & caf\u00E9 \U0001F600", false)};
  const std::string bytes = bytes_of(s);
  const std::string mark = "/v/\xE9?a=1&amp;b", name = "&#x30C6;&#x30B9;&#x30C8; &amp; caf\xE9 &#x1F600;";
  EXPECT_NE(bytes.find(le(static_cast<int>(mark.size())) + mark + '\1'), std::string::npos);
  EXPECT_NE(bytes.find(le(4) + "name" + le(1) + le(static_cast<int>(name.size())) + name), std::string::npos);
  const gui_state_read back = read_bytes(bytes);
  EXPECT_EQ(back.cracked_urls, s.cracked_urls);
  ASSERT_EQ(back.rows.size(), 1u);
  EXPECT_EQ(back.rows[0].at("name").as<std::string>(), s.rows[0].at("name").as<std::string>());
}

TEST(StateFile, EarlierFilesReadAsTheyShowed) {
  // Written by the program before it read pages as Unicode: the site's own bytes of a
  // Windows-1252 page, references undecoded, in links as well.
  const std::string url = "/v/1?a=1&amp;copy=2&copy=3", name = "Tom &amp; Jerry caf\xE9 \x80 &#x30C6;&#1046;";
  const std::string bytes = le(1) + le(static_cast<int>(url.size())) + url + '\1' +                        //
                            le(1) + le(2) +                                                                 //
                            le(4) + "name" + le(1) + le(static_cast<int>(name.size())) + name +             //
                            le(3) + "url" + le(1) + le(static_cast<int>(url.size())) + url +                //
                            le(0) + le(5) + "title" + le(0) + le(1) + le(2) + le(3);
  const gui_state_read back = read_bytes(bytes);
  const std::string link = "/v/1?a=1&copy=2&copy=3";
  EXPECT_EQ(back.cracked_urls, (std::map<std::string, bool>{{link, true}}));
  ASSERT_EQ(back.rows.size(), 1u);
  EXPECT_EQ(back.rows[0].at("name").as<std::string>(), "Tom & Jerry caf\u00E9 \u20AC \u30C6\u0416");
  EXPECT_EQ(back.rows[0].at("url").as<std::string>(), link);
  EXPECT_EQ(back.title, "title");
  EXPECT_EQ(back.filters[3], 3);
}

TEST(StateFile, RoundTrip) {
  const gui_state_data s = sample();
  const gui_state_read back = read_bytes(bytes_of(s));
  EXPECT_EQ(back.cracked_urls, s.cracked_urls);
  ASSERT_EQ(back.rows.size(), s.rows.size());
  for (std::size_t i = 0; i < s.rows.size(); ++i) {
    EXPECT_EQ(back.rows[i].at("name").as<std::string>(), s.rows[i].at("name").as<std::string>());
    EXPECT_EQ(back.rows[i].at("url").as<std::string>(), s.rows[i].at("url").as<std::string>());
    EXPECT_EQ(back.rows[i].at("solved").as<bool>(), s.rows[i].at("solved").as<bool>());
  }
  EXPECT_EQ(back.selected, 2);
  EXPECT_EQ(back.title, "key gen");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(back.filters[i], s.filters[i]);
  EXPECT_EQ(written_again(back), bytes_of(s));

  // A file many times the size of the pieces the reader takes from its stream: fields of
  // every length fall across the pieces' ends.
  gui_state_data big = sample();
  for (int i = 0; i < 4000; ++i)
    big.rows.push_back(entry("/v/" + std::to_string(i), std::string(static_cast<std::size_t>(i % 97), 'n'), i % 2));
  const std::string bytes = bytes_of(big);
  ASSERT_GT(bytes.size(), 200000u);
  const gui_state_read big_back = read_bytes(bytes);
  EXPECT_EQ(big_back.rows.size(), big.rows.size());
  EXPECT_EQ(written_again(big_back), bytes);
}

TEST(StateFile, UnknownTagGivesAnEmptyFieldAndReadingGoesOn) {
  const std::string bytes = le(0) + le(1) + le(2) + le(1) + "a" + le(7) + le(1) + "b" + le(1) +
                            le(1) + "x" + le(0) + le(0) + le(-1) + le(-1) + le(-1) + le(-1);
  const gui_state_read back = read_bytes(bytes);
  ASSERT_EQ(back.rows.size(), 1u);
  EXPECT_FALSE(back.rows[0].at("a").isA<std::string>());
  EXPECT_FALSE(back.rows[0].at("a").isA<bool>());
  EXPECT_EQ(back.rows[0].at("b").as<std::string>(), "x");
  EXPECT_EQ(back.selected, 0);
  EXPECT_EQ(back.filters[3], -1);
}

// Every cut keeps exactly the items read whole before it: marks and whole rows in order,
// and each later item only when all its bytes are there.
TEST(StateFile, EveryTruncationKeepsAWholePrefix) {
  const gui_state_data s = sample();
  const std::string bytes = bytes_of(s);
  std::size_t last_rows = 0, last_marks = 0;
  for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
    const gui_state_read back = read_bytes(bytes.substr(0, cut));
    ASSERT_LE(back.rows.size(), s.rows.size());
    ASSERT_GE(back.rows.size(), last_rows);
    ASSERT_GE(back.cracked_urls.size(), last_marks);
    last_rows = back.rows.size();
    last_marks = back.cracked_urls.size();
    for (std::size_t i = 0; i < back.rows.size(); ++i)
      ASSERT_EQ(back.rows[i].size(), s.rows[i].size()) << "cut " << cut;
    for (const auto& mark : back.cracked_urls) ASSERT_EQ(s.cracked_urls.count(mark.first), 1u);
    const bool whole = cut == bytes.size();
    ASSERT_EQ(back.filters[3].has_value(), whole) << "cut " << cut;
    if (back.title) {
      ASSERT_EQ(*back.title, s.title);
      ASSERT_EQ(back.rows.size(), s.rows.size());
    }
  }
}

TEST(StateFile, ImpossibleCountsAndLengthsStopTheReader) {
  largest_allocation = 0;
  // A url length far beyond the file.
  gui_state_read r = read_bytes(le(1) + le(0x7fffffff) + "abc");
  EXPECT_TRUE(r.cracked_urls.empty());
  // Two billion rows in a few bytes, a negative count, a negative length.
  r = read_bytes(le(0) + le(0x7fffffff) + le(0) + le(0));
  EXPECT_TRUE(r.rows.empty());
  EXPECT_FALSE(r.selected);
  r = read_bytes(le(-5) + le(0));
  EXPECT_TRUE(r.cracked_urls.empty());
  r = read_bytes(le(0) + le(1) + le(1) + le(-3) + "abc");
  EXPECT_TRUE(r.rows.empty());
  // One field count of a billion inside an otherwise fine file.
  r = read_bytes(le(0) + le(1) + le(1000000000) + std::string(64, '\0'));
  EXPECT_TRUE(r.rows.empty());
  EXPECT_LT(largest_allocation, 4096u);
}

TEST(StateFile, RandomDamageNeverReadsBeyondTheFile) {
  const std::string good = bytes_of(sample());
  std::mt19937 rng(20261209);
  for (int i = 0; i < 3000; ++i) {
    std::string bytes = good;
    const int flips = 1 + static_cast<int>(rng() % 6);
    for (int f = 0; f < flips; ++f) bytes[rng() % bytes.size()] = static_cast<char>(rng());
    if (rng() % 3 == 0) bytes.resize(rng() % bytes.size());
    largest_allocation = 0;
    const gui_state_read back = read_bytes(bytes);
    ASSERT_LE(largest_allocation, 4 * bytes.size() + 1024);
    // Whatever was read fits in the file.
    std::size_t text = 0;
    for (const auto& m : back.cracked_urls) text += m.first.size();
    ASSERT_LE(text, bytes.size());
    ASSERT_LE(back.rows.size(), bytes.size() / 4);
  }
}

// The main window's placement comes after every older item, so a file from before reads as
// one without it, and a reader that stops after the filters reads a new file as it always did.
TEST(StateFile, PlacementFollowsTheOlderItems) {
  gui_state_data s = sample();
  const std::string old_bytes = bytes_of(s);
  s.placement = window_placement{-8, 20, 640, 480, true};
  const std::string bytes = bytes_of(s);
  EXPECT_EQ(bytes, old_bytes + le(-8) + le(20) + le(640) + le(480) + '\1');

  const gui_state_read back = read_bytes(bytes);
  ASSERT_TRUE(back.placement);
  EXPECT_EQ(back.placement->x, -8);
  EXPECT_EQ(back.placement->y, 20);
  EXPECT_EQ(back.placement->width, 640);
  EXPECT_EQ(back.placement->height, 480);
  EXPECT_TRUE(back.placement->maximized);
  EXPECT_EQ(back.filters[3], 4);

  const gui_state_read old = read_bytes(old_bytes);
  EXPECT_FALSE(old.placement);
  EXPECT_EQ(old.filters[3], 4);
  EXPECT_EQ(old.rows.size(), back.rows.size());

  // The list's sort after the placement, and only with one: a reader that stops after the
  // placement reads such a file as before. Cut or damaged, it is left out and the rest kept.
  s.sort = list_sort{"name", true};
  const std::string sorted = bytes_of(s);
  EXPECT_EQ(sorted, bytes + le(4) + "name" + '\1');
  const gui_state_read with_sort = read_bytes(sorted);
  ASSERT_TRUE(with_sort.sort);
  EXPECT_EQ(with_sort.sort->column, "name");
  EXPECT_TRUE(with_sort.sort->descending);
  EXPECT_TRUE(with_sort.placement);
  for (std::size_t cut = bytes.size(); cut < sorted.size(); ++cut) {
    const gui_state_read cut_back = read_bytes(sorted.substr(0, cut));
    EXPECT_FALSE(cut_back.sort) << "cut " << cut;
    EXPECT_TRUE(cut_back.placement) << "cut " << cut;
  }
  EXPECT_FALSE(read_bytes(bytes + le(4) + "name" + '\2').sort) << "a way other than 0 or 1";
  s.placement.reset();
  EXPECT_EQ(bytes_of(s), old_bytes) << "no sort without a placement";
}

TEST(StateFile, DamagedPlacementIsLeftOutAndTheRestKept) {
  gui_state_data s = sample();
  const std::string prefix = bytes_of(s);
  s.placement = window_placement{100, 50, 500, 300, false};
  const std::string good = bytes_of(s);
  auto placement_of = [&](int x, int y, int w, int h, char maximized) {
    return prefix + le(x) + le(y) + le(w) + le(h) + maximized;
  };
  const struct {
    std::string bytes;
    const char* what;
  } damaged[] = {
      {placement_of(100, 50, 500, 300, 2), "a flag other than 0 or 1"},
      {placement_of(100, 50, 0, 300, 0), "no width"},
      {placement_of(100, 50, 500, -300, 0), "a negative height"},
      {placement_of(100, 50, 12, 300, 0), "a sliver"},
      {placement_of(100, 50, 500, 40000, 0), "taller than any screen"},
      {placement_of(-40000, 50, 500, 300, 0), "a corner far off"},
      {placement_of(INT_MAX, INT_MIN, INT_MAX, INT_MAX, 1), "extremes"},
  };
  for (const auto& d : damaged) {
    const gui_state_read back = read_bytes(d.bytes);
    EXPECT_FALSE(back.placement) << d.what;
    EXPECT_EQ(back.filters[3], 4) << d.what;
  }
  for (std::size_t cut = prefix.size(); cut < good.size(); ++cut) {
    const gui_state_read back = read_bytes(good.substr(0, cut));
    EXPECT_FALSE(back.placement) << "cut " << cut;
    EXPECT_EQ(back.filters[3], 4) << "cut " << cut;
  }
  std::mt19937 rng(5151);
  for (int i = 0; i < 2000; ++i) {
    std::string bytes = good;
    bytes[prefix.size() + rng() % (good.size() - prefix.size())] = static_cast<char>(rng());
    const gui_state_read back = read_bytes(bytes);
    ASSERT_TRUE(!back.placement || plausible(*back.placement));
    ASSERT_EQ(back.title, s.title);
  }
}
