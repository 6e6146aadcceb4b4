// Pages read in their own character set, and texts kept as HTML in Windows-1252.
#include "site/charset.hpp"

#include <gtest/gtest.h>

#include "site/html_text.hpp"

TEST(Charset, LabelsNameUtf8OrReadAsWindows1252) {
  for (const char* label : {"UTF-8", "utf8", " Unicode-1-1-UTF-8\t", "x-unicode20utf8"})
    EXPECT_EQ(charset_of_label(label), page_charset::utf_8) << label;
  for (const char* label : {"windows-1252", "ISO-8859-1", "latin1", "US-ASCII", "koi8-r", "utf-16", "", "utf-8x"})
    EXPECT_EQ(charset_of_label(label), page_charset::windows_1252) << label;
}

TEST(Charset, ContentTypeNamesItsCharset) {
  EXPECT_EQ(charset_label_of("text/html; charset=UTF-8"), "UTF-8");
  EXPECT_EQ(charset_label_of("text/html;CHARSET = \"utf-8\"; q=1"), "utf-8");
  EXPECT_EQ(charset_label_of("text/html; charset='latin1' "), "latin1");
  EXPECT_EQ(charset_label_of("text/html; charsets; charset=koi8-r;x"), "koi8-r");
  for (const char* none : {"text/html", "", "text/html; charset=", "text/html; charset=\"utf-8", "charset utf-8"})
    EXPECT_EQ(charset_label_of(none), "") << none;
}

TEST(Charset, MetaNearTheTopNamesTheCharset) {
  EXPECT_EQ(meta_charset_label("<html><head><meta charset=\"utf-8\"><title>x</title>"), "utf-8");
  EXPECT_EQ(meta_charset_label("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">"), "utf-8");
  EXPECT_EQ(meta_charset_label("<meta content='text/html; charset=utf-8' http-equiv=content-type />"), "utf-8");
  EXPECT_EQ(meta_charset_label("<meta name=x><meta charset=utf8>"), "utf8");
  // Not a declaration: a content without http-equiv, a comment, a quoted value of another
  // tag, a tag past the first 1024 bytes, another element.
  EXPECT_EQ(meta_charset_label("<meta content=\"text/html; charset=utf-8\">"), "");
  EXPECT_EQ(meta_charset_label("<!-- <meta charset=utf-8> -->"), "");
  EXPECT_EQ(meta_charset_label("<a title='<meta charset=utf-8>'>"), "");
  EXPECT_EQ(meta_charset_label(std::string(meta_scan_bytes, ' ') + "<meta charset=utf-8>"), "");
  EXPECT_EQ(meta_charset_label("<metadata charset=utf-8>"), "");
}

TEST(Charset, ContentTypeThenMetaThenWindows1252) {
  const std::string meta_utf8 = "<meta charset=\"utf-8\">";
  EXPECT_EQ(page_charset_of(meta_utf8, "text/html; charset=windows-1252"), page_charset::windows_1252);
  EXPECT_EQ(page_charset_of("<p>", "text/html; charset=utf-8"), page_charset::utf_8);
  EXPECT_EQ(page_charset_of(meta_utf8, "text/html"), page_charset::utf_8);
  EXPECT_EQ(page_charset_of("<p>", "text/html"), page_charset::windows_1252);
  EXPECT_EQ(page_charset_of("<p>", ""), page_charset::windows_1252);
  // A label it does not know still decides: the page reads as Windows-1252.
  EXPECT_EQ(page_charset_of(meta_utf8, "text/html; charset=koi8-r"), page_charset::windows_1252);
  // A byte order mark outweighs both.
  EXPECT_EQ(page_charset_of("\xEF\xBB\xBF<p>", "text/html; charset=latin1"), page_charset::utf_8);
}

TEST(Charset, Windows1252BytesBecomeTheirCharacters) {
  EXPECT_EQ(page_text("caf\xE9 \x80 \x96 \x9F \x81 \xFF", "text/html; charset=iso-8859-1"),
            "caf\u00E9 \u20AC \u2013 \u0178 \u0081 \u00FF");
  EXPECT_EQ(page_text("\xE3\x83\x86", "text/html"), "\u00E3\u0192\u2020");  // UTF-8 sent unnamed
  EXPECT_EQ(utf8_from_windows_1252(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Charset, MalformedUtf8BecomesReplacementCharacters) {
  const char* const utf8 = "text/html; charset=utf-8";
  EXPECT_EQ(page_text("\u30C6\u30B9\u30C8 \u0416 \u03A9 \U0001F600", utf8), "\u30C6\u30B9\u30C8 \u0416 \u03A9 \U0001F600");
  EXPECT_EQ(page_text("\xEF\xBB\xBFok", utf8), "ok");  // the byte order mark goes
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
  for (const auto& c : cases) EXPECT_EQ(page_text(c.bytes, utf8), c.text) << testing::PrintToString(c.bytes);
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
