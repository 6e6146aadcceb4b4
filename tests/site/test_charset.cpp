// A page's character set (its Content-Type's, else a <meta>'s, else Windows-1252), its text read in it.
#include "site/charset.hpp"

#include <gtest/gtest.h>

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
  // The text is read in it, the byte order mark gone.
  EXPECT_EQ(page_text("\xE3\x83\x86", "text/html"), "\u00E3\u0192\u2020");  // UTF-8 sent unnamed
  EXPECT_EQ(page_text("\xEF\xBB\xBFok", "text/html; charset=utf-8"), "ok");
}
