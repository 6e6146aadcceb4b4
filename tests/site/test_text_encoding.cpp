// Characters read from Windows-1252 and UTF-8 bytes, and texts kept as HTML in Windows-1252.
#include "site/text_encoding.hpp"

#include <gtest/gtest.h>

#include "site/html_text.hpp"

TEST(TextEncoding, Windows1252BytesBecomeTheirCharacters) {
  EXPECT_EQ(utf8_from_windows_1252("caf\xE9 \x80 \x96 \x9F \x81 \xFF"),
            "caf\u00E9 \u20AC \u2013 \u0178 \u0081 \u00FF");
  EXPECT_EQ(utf8_from_windows_1252(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(TextEncoding, MalformedUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(valid_utf8("\u30C6\u30B9\u30C8 \u0416 \u03A9 \U0001F600"), "\u30C6\u30B9\u30C8 \u0416 \u03A9 \U0001F600");
  const struct {
    const char* bytes;
    const char* text;
  } cases[] = {
      {"a\xFF" "b", "a\uFFFD" "b"},
      {"\xE3\x83", "\uFFFD"},                        // cut short: one for the whole start
      {"\xE3\x83" "A", "\uFFFD" "A"},                // the byte that breaks it is read again
      {"\xC0\xAF", "\uFFFD\uFFFD"},                  // overlong
      {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},        // a surrogate
      {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"\xF0\x9F\x98", "\uFFFD"},
      {"\x80\xBF", "\uFFFD\uFFFD"},
      {"\xEF\xBF\xBD", "\uFFFD"},                    // a real one stays
  };
  for (const auto& c : cases) EXPECT_EQ(valid_utf8(c.bytes), c.text) << testing::PrintToString(c.bytes);
}

TEST(HtmlInWindows1252, EveryCharacterIsWrittenSoThatItReadsBack) {
  const std::string name = "\u30C6\u30B9\u30C8 & caf\u00E9 \u20AC \U0001F600 &amp; <\u0416>";
  const std::string bytes = windows_1252_html(name);
  // What a reader of Windows-1252 pages makes of it shows the same characters.
  EXPECT_EQ(bytes, "&#x30C6;&#x30B9;&#x30C8; &amp; caf\xE9 \x80 &#x1F600; &amp;amp; <&#x416;>");
  EXPECT_EQ(read_windows_1252_html(bytes), name);
  EXPECT_EQ(windows_1252_html("plain /v/1"), "plain /v/1");
  // The control characters that the code page's own characters stand in for cannot be.
  EXPECT_EQ(windows_1252_html("\u0080\u0081"), "&#xFFFD;\x81");
}

TEST(HtmlInWindows1252, TextsOfEarlierFilesReadAsTheyShowed) {
  // A Windows-1252 page's bytes as the site sent them, references included.
  EXPECT_EQ(read_windows_1252_html("Tom &amp; Jerry caf\xE9 \x93q\x94 &#x30C6;&#1046; R&D"),
            "Tom & Jerry caf\u00E9 \u201Cq\u201D \u30C6\u0416 R&D");
  // A link reads as an attribute: "&copy=" is a query, not a sign.
  EXPECT_EQ(read_windows_1252_html("/a?x=1&copy=2&amp;y", true), "/a?x=1&copy=2&y");
}
