#include "win32/text_compare.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string key(const std::string& text) {
  std::string k;
  win32::append_sort_key(text, k);
  return k;
}

bool found(const std::string& text, const std::string& in) { return win32::text_finder(text).found_in(in); }

}  // namespace

TEST(TextCompare, NamesInTheOrderOfFileNames) {
  // Digits as numbers, letter case ignored, letters before the next letter whatever accent
  // they carry; a key orders as the comparison it stands for.
  const std::vector<std::string> in_order = {"\xC3\xA9" "cole", "ezra", "file2", "File10", "v4.7", "v4.10",
                                             "Zeta"};
  for (std::size_t i = 0; i + 1 < in_order.size(); ++i)
    EXPECT_LT(key(in_order[i]), key(in_order[i + 1])) << in_order[i] << " before " << in_order[i + 1];
  EXPECT_EQ(key("KeyLoom v2"), key("keyloom V2"));
  EXPECT_EQ(key("\xD0\x96\xD1\x83\xD0\xBA"), key("\xD0\xB6\xD1\x83\xD0\xBA")) << "Cyrillic case";
  EXPECT_FALSE(key("a").empty());
}

TEST(TextCompare, FindsAnywhereIgnoringCaseInAnyScript) {
  EXPECT_TRUE(found("mirror", "mrx's MirrorBox #8"));
  EXPECT_TRUE(found("BOX #8", "mrx's mirrorbox #8"));
  EXPECT_FALSE(found("mirrors", "mrx's mirrorbox #8"));
  EXPECT_TRUE(found("", "anything"));
  // Cyrillic, Greek, accented Latin, full-width Latin, Japanese
  EXPECT_TRUE(found("\xD0\x97\xD0\x95\xD0\xA0\xD0\x9A", "\xD0\x97\xD0\xB5\xD1\x80\xD0\xBA\xD0\xB0\xD0\xBB\xD1\x8C\xD0\xBD\xD0\xB0\xD1\x8F"));
  EXPECT_TRUE(found("\xCE\xA3\xCE\x99\xCE\xA9", "\xCE\x9F \xCF\x83\xCE\xB9\xCF\x89\xCF\x80\xCE\xB7\xCE\xBB\xCF\x8C\xCF\x82"));
  EXPECT_TRUE(found("\xC3\x89" "COLE", "l'\xC3\xA9" "cole"));
  EXPECT_TRUE(found("\xEF\xBD\x81", "\xEF\xBC\xA1\xEF\xBC\xA2"));
  EXPECT_TRUE(found("\xE9\x8D\xB5", "\xE9\x9D\x99\xE3\x81\x8B\xE3\x81\xAA\xE9\x8D\xB5\xE7\xB9\x94\xE3\x82\x8A"));
  // an ASCII name holds no other character, and an accent is no letter case
  EXPECT_FALSE(found("\xC3\xA9", "ecole"));
  EXPECT_FALSE(found("ec", "\xC3\xA9" "cole"));
  EXPECT_TRUE(found("Mi", "\xE9\x8F\xA1 mirror"));

  // one more letter typed finds within what the shorter text found, never beyond
  EXPECT_TRUE(win32::text_finder("Mirr").within(win32::text_finder("mir")));
  EXPECT_FALSE(win32::text_finder("mir").within(win32::text_finder("mirr")));
  EXPECT_FALSE(win32::text_finder("xmir").within(win32::text_finder("mirr")));
}
