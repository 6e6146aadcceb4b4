#include "e2e/state_file.hpp"

#include <cstdint>

namespace e2e {

namespace {

struct reader {
  explicit reader(const std::string& bytes) : b(bytes) {}
  const std::string& b;
  std::size_t at = 0;
  std::string error;

  bool fail(const std::string& what) {
    if (error.empty()) error = what + " at byte " + std::to_string(at);
    return false;
  }
  bool int32(int& v, const char* what) {
    if (b.size() - at < 4) return fail(std::string("no room for ") + what);
    std::uint32_t u = 0;
    for (int i = 3; i >= 0; --i)
      u = (u << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    v = static_cast<int>(u);
    at += 4;
    return true;
  }
  bool byte(unsigned char& v, const char* what) {
    if (at >= b.size()) return fail(std::string("no room for ") + what);
    v = static_cast<unsigned char>(b[at++]);
    return true;
  }
  bool text(std::string& s, const char* what) {
    int n = 0;
    if (!int32(n, what)) return false;
    if (n < 0 || static_cast<std::size_t>(n) > b.size() - at)
      return fail(std::string("bad length of ") + what);
    s.assign(b, at, static_cast<std::size_t>(n));
    at += static_cast<std::size_t>(n);
    return true;
  }
};

void put_int(std::string& out, int v) {
  const std::uint32_t u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) out += static_cast<char>((u >> (8 * i)) & 0xFF);
}

void put_text(std::string& out, const std::string& s) {
  put_int(out, static_cast<int>(s.size()));
  out += s;
}

}  // namespace

bool parse_state(const std::string& bytes, state_file& out, std::string& error) {
  out = state_file();
  reader r(bytes);
  int marks = 0;
  bool ok = r.int32(marks, "the mark count");
  for (int i = 0; ok && i < marks; ++i) {
    std::string url;
    unsigned char v = 0;
    ok = r.text(url, "a marked url") && r.byte(v, "a mark");
    if (ok) out.marks[url] = v != 0;
  }
  out.marks_end = r.at;
  int rows = 0;
  ok = ok && r.int32(rows, "the row count");
  for (int i = 0; ok && i < rows; ++i) {
    int fields = 0;
    state_row row;
    ok = r.int32(fields, "a field count");
    for (int f = 0; ok && f < fields; ++f) {
      std::string key;
      state_value v;
      ok = r.text(key, "a key") && r.int32(v.tag, "a tag");
      if (ok && v.tag == 1) ok = r.text(v.text, "a text value");
      if (ok && v.tag == 2) {
        unsigned char c = 0;
        ok = r.byte(c, "a flag value");
        v.flag = c != 0;
      }
      if (ok) row[key] = v;
    }
    if (ok) {
      out.rows.push_back(row);
      out.row_ends.push_back(r.at);
    }
  }
  ok = ok && r.int32(out.selected, "the selected row") && r.text(out.title, "the title");
  for (int i = 0; ok && i < 4; ++i) ok = r.int32(out.filters[i], "a filter selection");
  out.has_placement = ok && r.at != bytes.size();
  for (int i = 0; out.has_placement && ok && i < 4; ++i) ok = r.int32(out.placement[i], "the placement");
  if (out.has_placement && ok) ok = r.byte(out.maximized, "the maximized flag");
  out.has_sort = ok && out.has_placement && r.at != bytes.size();
  unsigned char descending = 0;
  if (out.has_sort) ok = r.text(out.sort_column, "the sort column") && r.byte(descending, "the sort's way");
  out.sort_descending = descending != 0;
  if (ok && r.at != bytes.size()) ok = r.fail(std::to_string(bytes.size() - r.at) + " bytes left over");
  error = r.error;
  return ok;
}

std::string write_state(const state_file& s) {
  std::string out;
  put_int(out, static_cast<int>(s.marks.size()));
  for (const auto& m : s.marks) {
    put_text(out, m.first);
    out += static_cast<char>(m.second ? 1 : 0);
  }
  put_int(out, static_cast<int>(s.rows.size()));
  for (const state_row& row : s.rows) {
    put_int(out, static_cast<int>(row.size()));
    for (const auto& f : row) {
      put_text(out, f.first);
      put_int(out, f.second.tag);
      if (f.second.tag == 1) put_text(out, f.second.text);
      if (f.second.tag == 2) out += static_cast<char>(f.second.flag ? 1 : 0);
    }
  }
  put_int(out, s.selected);
  put_text(out, s.title);
  for (int f : s.filters) put_int(out, f);
  if (s.has_placement) {
    for (int v : s.placement) put_int(out, v);
    out += static_cast<char>(s.maximized);
  }
  if (s.has_placement && s.has_sort) {
    put_text(out, s.sort_column);
    out += static_cast<char>(s.sort_descending ? 1 : 0);
  }
  return out;
}

state_row entry_row(const std::string& url, const std::string& name, const std::string& difficulty,
                    bool solved) {
  state_row row;
  row["url"].tag = 1;
  row["url"].text = url;
  row["name"].tag = 1;
  row["name"].text = name;
  row["difficulty"].tag = 1;
  row["difficulty"].text = difficulty;
  row["solved"].tag = 2;
  row["solved"].flag = solved;
  return row;
}

}  // namespace e2e
