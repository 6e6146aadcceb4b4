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
  EXPECT_EQ(decode_character_references("&#65;&#x42;&#X63;&#169;"), "ABc\u00A9");
  // Decoded once: "&amp;lt;" is the text "&lt;".
  EXPECT_EQ(decode_character_references("&amp;lt;"), "&lt;");
}

TEST(Names, EveryReferenceStandsForItsCharacters) {
  // Named ones from the whole table: Latin-1, two characters for one name, legacy names
  // without ";", scripts and symbols of every kind.
  EXPECT_EQ(decode_character_references("caf&eacute; &euro;5 &hellip;&trade; &OElig;&fjlig;"),
            "caf\u00E9 \u20AC" "5 \u2026\u2122 \u0152" "fj");
  EXPECT_EQ(decode_character_references("&copy2024 &AMP; &notit; &nbsp;"), "\u00A9" "2024 & \u00ACit; \u00A0");
  EXPECT_EQ(decode_character_references("&alpha;&Zcy;&NotEqualTilde;&Tab;"), "\u03B1\u0417\u2242\u0338\t");
  // Numeric ones of any code point; 0x80..0x9F stand for Windows-1252's characters, those
  // the code page lacks for themselves; 0, surrogates and values past U+10FFFF for U+FFFD.
  EXPECT_EQ(decode_character_references("&#8364;&#x2014;&#128;&#150;&#65"), "\u20AC\u2014\u20AC\u2013" "A");
  EXPECT_EQ(decode_character_references("&#x30C6;&#12473;&#x1F600;&#9;&#x81;"), "\u30C6\u30B9\U0001F600\t\u0081");
  EXPECT_EQ(decode_character_references("&#0;&#xD800;&#x110000;&#99999999999;"), "\uFFFD\uFFFD\uFFFD\uFFFD");
  // In an attribute (a link), a legacy name without ";" before "=" or a letter stays text.
  EXPECT_EQ(decode_character_references("/a?b=1&copy=2&not3&amp;c&lt", true), "/a?b=1&copy=2&not3&c<");
}

TEST(Names, LeavesWhatIsNotAReferenceAlone) {
  for (const char* text : {"AT&T", "&", "a&;b", "&#;", "&#x;", "&#xg;", "&nosuchname;", "R&D", "&&"})
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

TEST(Links, CharactersOutsideAsciiArePercentEncodedUtf8) {
  // As a browser sends them: the link's UTF-8, byte by byte.
  EXPECT_EQ(archive_page_address("http://h", "/v/\u30C6\u30B9\u30C8 \u00E9\U0001F600/"),
            "http://h/v/%E3%83%86%E3%82%B9%E3%83%88%20%C3%A9%F0%9F%98%80/");
  // The check sees the characters themselves: a link written with references to "//" was
  // decoded to "//" by the parser and is refused.
  EXPECT_FALSE(archive_page_address("http://h", decode_character_references("&#47;&#47;evil.example/", true)));
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

  // An IPv6 address in brackets: the host without them, the Host field and links with them.
  const archive_address six = parse_archive_address("https://[2001:DB8::1]:8443/");
  EXPECT_EQ(six.host, "2001:db8::1");
  EXPECT_EQ(six.port, 8443);
  EXPECT_EQ(six.authority(), "[2001:db8::1]:8443");
  EXPECT_EQ(parse_archive_address("http://[::1]").base_url(), "http://[::1]");

  for (const char* bad : {"ftp://a.example", "a.example", "https://", "https://:443",
                          "https://a.example:0", "https://a.example:65536", "https://a.example:8x",
                          "https://a.example:", "https://a example", "https://a.example/path",
                          "https://user@a.example", "https://a_b.example", "https://a.example?q",
                          // IPv6 only in brackets, and nothing else in them; IPv4 only as four
                          // decimal numbers without leading zeros.
                          "http://::1", "http://[::1", "http://[::1]x", "http://[a.example]", "http://[1.2.3.4]",
                          "http://[fe80::1%25eth0]", "http://[::1]:", "http://010.0.0.1", "http://1.2.3",
                          "http://0x7f000001", "http://2130706433", "http://a.example.123"}) {
    EXPECT_THROW(parse_archive_address(bad), std::invalid_argument) << bad;
  }
}
