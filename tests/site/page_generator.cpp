#include "page_generator.hpp"

#include <regex>
#include <sstream>

#include "site/html_text.hpp"
#include "site/result_count.hpp"

namespace pages {

std::string realistic(int entries, int total) {
  std::string page =
      "<!DOCTYPE html>\r\n<html><head><title>Archive</title>\r\n"
      "<script>var q = \"<h2>\"; function f(a){return a<3;}</script></head>\r\n<body>\r\n";
  page += "<div class=\"bar\">[SEARCH RESULTS 1 - " + std::to_string(entries) + " of " +
          std::to_string(total) + "]</div>\r\n";
  for (int i = 0; i < entries; ++i) {
    const std::string id = std::to_string(100000 + i);
    page += "<div class=\"entry\">\r\n<h2><a href=\"/vexlets/" + id + "/\">keyloom_" + id +
            " by author" + std::to_string(i % 97) + "</a> <span class=\"when\">2026-11-0" +
            std::to_string(i % 9 + 1) + "</span></h2>\r\n";
    page += "<p class=\"meta\">Platform: Windows &middot; Language: C/C++ &middot; Type: keyloom</p>\r\n";
    page += "<p class=\"meta\">Quality: 4.0 &middot; Difficulty: " + std::to_string(i % 6 + 1) +
            " - Getting harder</p>\r\n";
    page += i % 3 == 0 ? "<p>Solved by someone on 2026-11-02</p>\r\n"
                       : "<p>Nobody has solved it yet</p>\r\n";
    page += "<p class=\"desc\">Find the serial for your name. No patching.</p>\r\n</div>\r\n";
  }
  page += "<div class=\"pager\">next</div>\r\n</body></html>\r\n";
  return page;
}

namespace {

template <typename T>
const T& pick(std::mt19937& rng, const std::vector<T>& v) {
  return v[std::uniform_int_distribution<std::size_t>(0, v.size() - 1)(rng)];
}

bool chance(std::mt19937& rng, int percent) {
  return std::uniform_int_distribution<int>(0, 99)(rng) < percent;
}

const std::vector<std::string> line_ends = {"\r\n", "\r\n", "\r\n", "\r\n", "\r\n",
                                            "\n",   "\r",   "\r\r\n", "\n\r"};
const std::vector<std::string> fragments = {
    "<h2><a href=\"", "/x/1/", "\">", "abc", "<", "</a>", "\"", "Difficulty: ",
    "3 - Getting harder", "Solved by", "\r\n", "\n", "\r", " ", "text", ">", "</h2>",
    "SEARCH RESULTS", " of ", "12", "]", "[", "0", "a\"b", "<b>x</b>"};

std::string line_end(std::mt19937& rng) { return chance(rng, 85) ? "\r\n" : pick(rng, line_ends); }

std::string soup(std::mt19937& rng, int pieces) {
  std::string s;
  for (int i = 0; i < pieces; ++i) s += pick(rng, fragments);
  return s;
}

std::string short_text(std::mt19937& rng) {
  static const std::vector<std::string> texts = {
      "", "x", "abc", "keyloom #2", "a<b", "q\"uote", "Solved by", "Difficulty: ",
      "<i>it</i>", "of 3]", " ", "<h2><a href=\""};
  return chance(rng, 70) ? pick(rng, texts) : soup(rng, 3);
}

std::string block(std::mt19937& rng) {
  std::string b = "<h2><a href=\"";
  // link target, sometimes empty, unterminated, or holding another heading
  b += chance(rng, 80) ? "/x/" + std::to_string(rng() % 1000) + "/" : short_text(rng);
  b += chance(rng, 90) ? "\">" : pick(rng, std::vector<std::string>{"\"", ">", "\" >"});
  b += chance(rng, 80) ? "name" + std::to_string(rng() % 100) : short_text(rng);
  b += chance(rng, 85) ? "</a>" : short_text(rng);
  b += short_text(rng) + line_end(rng);
  b += (chance(rng, 80) ? "second " + short_text(rng) : std::string()) + line_end(rng);
  std::string third = short_text(rng);
  const int diffs = chance(rng, 80) ? 1 : static_cast<int>(rng() % 3);
  for (int i = 0; i < diffs; ++i) {
    third += "Difficulty: ";
    third += chance(rng, 80) ? std::to_string(rng() % 7) + " - Getting harder" : short_text(rng);
    if (chance(rng, 85)) third += "<";
    third += short_text(rng);
  }
  b += third + line_end(rng);
  b += (chance(rng, 80) ? "<p>" + short_text(rng) + "</p>" : short_text(rng)) + line_end(rng);
  b += (chance(rng, 80) ? "<p>" + short_text(rng) + "</p>" : short_text(rng)) + line_end(rng);
  if (chance(rng, 30)) b += (chance(rng, 50) ? "Solved by z" : short_text(rng)) + line_end(rng);
  return b;
}

std::string count_line(std::mt19937& rng) {
  std::string s = chance(rng, 80) ? "[" : short_text(rng);
  s += "SEARCH RESULTS";
  s += chance(rng, 80) ? " 1 - 20" : short_text(rng);
  const int ofs = static_cast<int>(rng() % 3);
  for (int i = 0; i < ofs; ++i) {
    s += chance(rng, 80) ? " of " : pick(rng, std::vector<std::string>{" of", "of ", " of  "});
    s += chance(rng, 85) ? std::to_string(rng() % 100000) : short_text(rng);
    s += chance(rng, 80) ? "]" : short_text(rng);
  }
  if (chance(rng, 10)) s += " of 99999999999]";
  return s + line_end(rng);
}

}  // namespace

std::string random_page(std::mt19937& rng, std::size_t max_line) {
  std::string page;
  const int parts = static_cast<int>(rng() % 8) + 1;
  for (int i = 0; i < parts; ++i) {
    const int kind = static_cast<int>(rng() % 10);
    if (kind < 6) page += block(rng);
    else if (kind < 8) page += count_line(rng);
    else page += soup(rng, static_cast<int>(rng() % 12));
  }
  // Keep the oracle safe: cut any overlong line.
  std::string out;
  std::size_t run = 0;
  for (char c : page) {
    if (c == '\r' || c == '\n') run = 0;
    else if (++run > max_line) continue;
    out += c;
  }
  return out;
}

std::vector<row> regex_parse(const std::string& page) {
  std::vector<row> result;
  std::string remainder = page;
  const std::regex pattern(entry_pattern);
  std::smatch m;
  while (std::regex_search(remainder, m, pattern)) {
    row r;
    r["url"] = decode_character_references(m[1].str(), true);
    r["name"] = decode_character_references(m[2].str());
    r["difficulty"] = decode_character_references(m[3].str());
    r["solved"] = m[0].str().find("Solved by") != std::string::npos;
    result.push_back(r);
    remainder = m.suffix().str();
  }
  return result;
}

std::optional<int> regex_count(const std::string& page) {
  std::smatch m;
  if (!std::regex_search(page, m, std::regex(count_pattern))) return std::nullopt;
  std::istringstream digits(m[1].str());
  int count = 0;
  digits >> count;
  return count;
}

}  // namespace pages
