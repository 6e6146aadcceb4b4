// The bytes the site receives and the addresses the browser gets.
#include <gtest/gtest.h>

#include "site/archive_address.hpp"
#include "site/browse_url.hpp"
#include "site/form_encoding.hpp"
#include "site/html_text.hpp"
#include "site/vocabularies.hpp"

namespace {

archive_filters first_items() {
  archive_filters f;
  f.sort = sort_items()[0].at("id").as<std::string>();
  f.difficulty = difficulty_items()[0].at("id").as<std::string>();
  f.platform = platform_items()[0].at("id").as<std::string>();
  f.lang = language_items()[0].at("id").as<std::string>();
  f.type = type_items()[0].at("id").as<std::string>();
  return f;
}

}  // namespace

TEST(Form, FirstPageWithDefaultFiltersIsTheSitesDefaultQuery) {
  const std::string body = archive_form_body(first_items(), 0);
  EXPECT_EQ(body, "action=archive&sort=DATE&title=&start=0&difficulty=0&platform=&lang=&type=ALL");
  EXPECT_EQ(body.size(), 77u);
}

TEST(Form, FieldsInOrderWithTheStartInDecimal) {
  archive_filters f;
  f.sort = "TOP";
  f.title = "key gen";
  f.difficulty = "9";
  f.platform = "100";
  f.lang = "10";
  f.type = "UNSOLVED";
  EXPECT_EQ(archive_form_body(f, 20480),
            "action=archive&sort=TOP&title=key+gen&start=20480&difficulty=9&platform=100"
            "&lang=10&type=UNSOLVED");
}

TEST(Form, EncodesEveryByteButTheUnreservedOnes) {
  EXPECT_EQ(form_encode("a&b c"), "a%26b+c");
  EXPECT_EQ(form_encode("*-._AZaz09"), "*-._AZaz09");
  EXPECT_EQ(form_encode("=+%/?#~!'()"), "%3D%2B%25%2F%3F%23%7E%21%27%28%29");
  EXPECT_EQ(form_encode(std::string("\0\x7f\x80\xff", 4)), "%00%7F%80%FF");
  EXPECT_EQ(form_encode(""), "");
  // Every id of every vocabulary passes unchanged.
  for (auto make : {difficulty_items, platform_items, language_items, type_items, sort_items})
    for (const row& item : make()) {
      const std::string id = item.at("id").as<std::string>();
      EXPECT_EQ(form_encode(id), id);
    }
}

TEST(Names, DecodesTheSitesCharacterReferences) {
  EXPECT_EQ(decode_character_references("Tom &amp; Jerry&#39;s &lt;b&gt; &quot;x&quot;"),
            "Tom & Jerry's <b> \"x\"");
  EXPECT_EQ(decode_character_references("&#65;&#x42;&#X63;&#169;"), "ABc\xa9");
  // Decoded once: "&amp;lt;" is the text "&lt;".
  EXPECT_EQ(decode_character_references("&amp;lt;"), "&lt;");
}

TEST(Names, EveryReferenceTheCodePageCanShow) {
  // Named ones from the whole table, in Windows-1252: Latin-1, the code page's own
  // characters above 0x7F, two characters for one name, legacy names without ";".
  EXPECT_EQ(decode_character_references("caf&eacute; &euro;5 &hellip;&trade; &OElig;&fjlig;"),
            "caf\xe9 \x80" "5 \x85\x99 \x8c" "fj");
  EXPECT_EQ(decode_character_references("&copy2024 &AMP; &notit; &nbsp;"), "\xa9" "2024 & \xacit; \xa0");
  // Numeric ones of any code point; 0x80..0x9F stand for Windows-1252's characters.
  EXPECT_EQ(decode_character_references("&#8364;&#x2014;&#128;&#150;&#65"), "\x80\x97\x80\x96" "A");
  // Outside the code page, control characters, U+FFFD: shown as written.
  for (const char* text : {"&alpha;", "&#x1F600;", "&#945;", "&NotEqualTilde;", "&Tab;", "&#9;",
                           "&#x81;", "&#0;", "&#xD800;", "&#x110000;", "&#99999999999;",
                           "&CounterClockwiseContourIntegral;"})
    EXPECT_EQ(decode_character_references(text), text);
}

TEST(Names, LeavesWhatIsNotAReferenceAlone) {
  for (const char* text : {"AT&T", "&", "a&;b", "&#;", "&#x;", "&#xg;", "&nosuchname;", "R&D",
                           "&#12a;", "&&"})
    EXPECT_EQ(decode_character_references(text), text);
}

TEST(Links, OnlyPathsOnTheSiteAreOpened) {
  const std::string base = "http://archive.example";
  EXPECT_EQ(archive_page_address(base, "/vexlet/12"), "http://archive.example/vexlet/12");
  EXPECT_EQ(archive_page_address(base, "/a?b=c&d=%41"), "http://archive.example/a?b=c&d=%41");
  for (const char* hostile : {"", "/", "@evil.example/", "//evil.example/", "/\\evil.example",
                              "http://evil.example/", "evil", " /x", "\\/x"})
    EXPECT_FALSE(archive_page_address(base, hostile)) << hostile;
}

TEST(Links, SpacesControlsAndHighBytesArePercentEncoded) {
  EXPECT_EQ(archive_page_address("http://h", std::string("/a b\tc\x01\x7f\xe9", 9)),
            "http://h/a%20b%09c%01%7F%E9");
  // A path whose second character is a space is still a path on the site.
  EXPECT_EQ(archive_page_address("http://h", "/ x"), "http://h/%20x");
}

TEST(ArchiveAddress, SchemeHostAndPortAsTheUserWroteThem) {
  const archive_address plain = parse_archive_address("HTTP://Archive.Example./");
  EXPECT_EQ(plain.host, "archive.example");
  EXPECT_EQ(plain.port, 80);
  EXPECT_FALSE(plain.secure());
  EXPECT_EQ(plain.base_url(), "http://archive.example");

  const archive_address tls = parse_archive_address("https://127.0.0.1:8443");
  EXPECT_TRUE(tls.secure());
  EXPECT_EQ(tls.port, 8443);
  EXPECT_EQ(tls.authority(), "127.0.0.1:8443");
  EXPECT_EQ(tls.base_url(), "https://127.0.0.1:8443");
  EXPECT_EQ(parse_archive_address("https://a.example:443").base_url(), "https://a.example");

  for (const char* bad : {"ftp://a.example", "a.example", "https://", "https://:443",
                          "https://a.example:0", "https://a.example:65536", "https://a.example:8x",
                          "https://a.example:", "https://a example", "https://a.example/path",
                          "https://user@a.example", "https://a_b.example", "https://a.example?q"}) {
    EXPECT_THROW(parse_archive_address(bad), std::invalid_argument) << bad;
  }
}
