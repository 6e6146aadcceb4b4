#include "site/archive_parser.hpp"

#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "page_generator.hpp"

namespace {

// Line 1: heading; 2: anything; 3: difficulty; 4 and 5: at least one character each.
std::string block(const std::string& line4 = "a", const std::string& line5 = "b",
                  const std::string& line2 = "second line", const std::string& eol = "\r\n") {
  return "<h2><a href=\"/x/\">abc</a> more text</h2>" + eol + line2 + eol +
         "<p>Difficulty: 3 - Getting harder</p>" + eol + line4 + eol + line5 + eol;
}

std::string text(row& r, const char* key) { return r[key].as<std::string>(); }

void expect_same_rows(std::vector<row> got, std::vector<row> want, const std::string& page) {
  ASSERT_EQ(got.size(), want.size()) << testing::PrintToString(page);
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].size(), 4u);
    for (const char* key : {"url", "name", "difficulty"})
      EXPECT_EQ(text(got[i], key), text(want[i], key)) << key << " in " << testing::PrintToString(page);
    EXPECT_EQ(got[i]["solved"].as<bool>(), want[i]["solved"].as<bool>())
        << testing::PrintToString(page);
  }
}

}  // namespace

TEST(ArchiveParser, WellFormedBlock) {
  auto rows = parse_archive_page(block());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].size(), 4u);
  EXPECT_EQ(text(rows[0], "url"), "/x/");
  EXPECT_EQ(text(rows[0], "name"), "abc");
  EXPECT_EQ(text(rows[0], "difficulty"), "3 - Getting harder");
  ASSERT_TRUE(rows[0]["solved"].isA<bool>());
  EXPECT_FALSE(rows[0]["solved"].as<bool>());

  auto two = parse_archive_page(block() + block("x", "y").replace(14, 1, "y"));
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(text(two[0], "url"), "/x/");
  EXPECT_EQ(text(two[1], "url"), "/y/");
}

TEST(ArchiveParser, SolvedMarkCountsOnlyInsideTheMatch) {
  EXPECT_TRUE(parse_archive_page(block("Solved by me"))[0]["solved"].as<bool>());
  EXPECT_TRUE(parse_archive_page(block("a", "Solved by me"))[0]["solved"].as<bool>());
  // The sixth line belongs to no match.
  EXPECT_FALSE(parse_archive_page(block() + "Solved by me\r\n")[0]["solved"].as<bool>());
}

TEST(ArchiveParser, LineShapes) {
  EXPECT_EQ(parse_archive_page(block("a", "b", "")).size(), 1u);   // empty second line
  EXPECT_EQ(parse_archive_page(block("", "b")).size(), 0u);        // empty fourth line
  EXPECT_EQ(parse_archive_page(block("a", "")).size(), 0u);        // empty fifth line
  EXPECT_EQ(parse_archive_page(block("a", "b", "x", "\n")).size(), 0u);  // LF only
  EXPECT_EQ(parse_archive_page(std::string()).size(), 0u);

  std::string cut = block();
  cut.replace(cut.find("abc"), 3, "a<c");  // the name stops at the first "<"
  EXPECT_EQ(text(parse_archive_page(cut)[0], "name"), "a");
}

TEST(ArchiveParser, FailedHeadingIsSkippedForTheNextOne) {
  // No "Difficulty: " on the third line of the first heading: its text is scanned past and
  // the second heading matches.
  const std::string broken = "<h2><a href=\"/bad/\">bad</a>\r\nx\r\nno difficulty here\r\n";
  auto rows = parse_archive_page(broken + block());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(text(rows[0], "url"), "/x/");
}

TEST(ArchiveParser, AgreesWithTheRegularExpressionOnGeneratedPages) {
  std::mt19937 rng(20261209);
  int with_rows = 0;
  for (int i = 0; i < 4000; ++i) {
    const std::string page = pages::random_page(rng);
    auto want = pages::regex_parse(page);
    with_rows += !want.empty();
    expect_same_rows(parse_archive_page(page), want, page);
    if (HasFailure()) return;
  }
  // The generator must exercise matches, not only failures.
  EXPECT_GT(with_rows, 1000);
}

TEST(ArchiveParser, AgreesOnRealisticPages) {
  const std::string page = pages::realistic(20, 45);
  auto rows = parse_archive_page(page);
  expect_same_rows(rows, pages::regex_parse(page), page);
  ASSERT_EQ(rows.size(), 20u);
  EXPECT_TRUE(rows[0]["solved"].as<bool>());
  EXPECT_FALSE(rows[1]["solved"].as<bool>());
}

TEST(ArchiveParser, HugePagesDoNotExhaustTheStack) {
  // Runs on a thread with the default stack size, as the refresh worker does.
  std::size_t single_line_rows = 1, many_rows = 0;
  std::thread worker([&] {
    std::string line(5 * 1024 * 1024, 'x');
    for (std::size_t i = 0; i + 64 < line.size(); i += 4096)
      line.replace(i, 13, "<h2><a href=\"");
    single_line_rows = parse_archive_page(line).size();
    many_rows = parse_archive_page(pages::realistic(100000, 100000)).size();
  });
  worker.join();
  EXPECT_EQ(single_line_rows, 0u);
  EXPECT_EQ(many_rows, 100000u);
}
