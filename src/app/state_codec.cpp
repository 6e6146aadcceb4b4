#include "app/state_codec.hpp"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "site/html_text.hpp"

void write_int(std::ostream& out, int value) {
  const auto v = static_cast<std::uint32_t>(value);
  const char bytes[4] = {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff),
                         static_cast<char>((v >> 16) & 0xff), static_cast<char>((v >> 24) & 0xff)};
  out.write(bytes, 4);
}

void write_string(std::ostream& out, std::string_view text) {
  write_int(out, static_cast<int>(text.size()));
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

namespace {

// A text of the site as the file keeps it (state_codec.hpp).
void write_text(std::ostream& out, std::string_view text) {
  if (plain_html_text(text)) write_string(out, text);
  else write_string(out, windows_1252_html(std::string(text)));
}

std::string_view text_of(const any& value) { return value.as<std::string>(); }
std::string_view text_of(const row::const_field& value) { return value.text(); }

// A value as `write_value` writes it, whether it comes as an `any` or out of a row.
template <typename V>
void write_tagged(std::ostream& out, const V& value) {
  if (value.template isA<std::string>()) {
    write_int(out, tag_string);
    write_text(out, text_of(value));
  } else if (value.template isA<bool>()) {
    write_int(out, tag_bool);
    out.put(value.template as<bool>() ? 1 : 0);
  } else {
    write_int(out, tag_other);
  }
}

}  // namespace

void write_value(std::ostream& out, const any& value) { write_tagged(out, value); }

void write_value(std::ostream& out, const row::const_field& value) { write_tagged(out, value); }

void write_gui_state(std::ostream& out, const gui_state_data& state) {
  write_int(out, static_cast<int>(state.cracked_urls.size()));
  for (const auto& mark : state.cracked_urls) {
    write_text(out, mark.first);
    out.put(mark.second ? 1 : 0);
  }
  write_int(out, static_cast<int>(state.rows.size()));
  for (const row& r : state.rows) {
    write_int(out, static_cast<int>(r.size()));
    for (const auto& field : r) {
      write_string(out, field.first);
      write_value(out, field.second);
    }
  }
  write_int(out, state.selected);
  write_string(out, state.title);
  for (int index : state.filters) write_int(out, index);
  if (const auto& p = state.placement) {
    for (int value : {p->x, p->y, p->width, p->height}) write_int(out, value);
    out.put(p->maximized ? 1 : 0);
    if (const auto& sort = state.sort) {
      write_string(out, sort->column);
      out.put(sort->descending ? 1 : 0);
    }
  }
}

bool plausible(const window_placement& p) {
  constexpr int most = 32767, least_side = 32;
  auto inside = [](int v, int low, int high) { return v >= low && v <= high; };
  return inside(p.width, least_side, most) && inside(p.height, least_side, most) &&
         inside(p.x, -most, most) && inside(p.y, -most, most);
}

namespace {

// Reads from a stream of known size; every read fails, and keeps failing, once the data
// runs out or a length cannot fit in what is left. The stream is read in large pieces: a
// file of many rows is mostly small fields, and a stream call for each costs more than the
// field.
class reader {
 public:
  reader(std::istream& in_, std::uint64_t size) : in(in_), left(size), unread(size) {}

  bool read_int(int& value) {
    unsigned char b[4];
    if (!take(reinterpret_cast<char*>(b), 4)) return false;
    value = static_cast<int>(static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                             static_cast<std::uint32_t>(b[2]) << 16 |
                             static_cast<std::uint32_t>(b[3]) << 24);
    return true;
  }

  bool read_byte(char& c) { return take(&c, 1); }

  // Appends a string of the file to `to`.
  bool append_string(std::string& to) {
    int length;
    if (!read_int(length) || length < 0 || static_cast<std::uint64_t>(length) > left) return fail();
    return take(static_cast<std::uint64_t>(length), [&to](const char* piece, std::size_t n) { to.append(piece, n); });
  }

  bool read_string(std::string& text) {
    text.clear();
    return append_string(text);
  }

  // Appends a text of the file (HTML text in Windows-1252) as the characters it stands for;
  // a link (`in_attribute`) reads as an href's text does.
  bool append_text(std::string& to, bool in_attribute) {
    const std::size_t start = to.size();
    if (!append_string(to)) return false;
    if (plain_html_text(std::string_view(to).substr(start))) return true;
    const std::string characters = read_windows_1252_html(to.substr(start), in_attribute);
    to.resize(start);
    to += characters;
    return true;
  }

  bool read_text(std::string& text, bool in_attribute) {
    text.clear();
    return append_text(text, in_attribute);
  }

  // A count of items, each at least `least` bytes long, that the rest of the file can hold.
  bool read_count(int& count, std::uint64_t least) {
    if (!read_int(count) || count < 0 || static_cast<std::uint64_t>(count) * least > left) return fail();
    return true;
  }

 private:
  // Hands the next `n` bytes to `put`, a piece (its address and length) at a time.
  template <typename F>
  bool take(std::uint64_t n, F put) {
    if (failed || n > left) return fail();
    left -= n;
    // Most reads lie within the buffer.
    if (n <= buffer.size() - at) {
      put(buffer.data() + at, static_cast<std::size_t>(n));
      at += static_cast<std::size_t>(n);
      return true;
    }
    while (n > 0) {
      if (at == buffer.size() && !refill()) return fail();
      const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(n, buffer.size() - at));
      put(buffer.data() + at, piece);
      at += piece;
      n -= piece;
    }
    return true;
  }
  bool take(char* data, std::uint64_t n) {
    return take(n, [&data](const char* piece, std::size_t k) {
      std::memcpy(data, piece, k);
      data += k;
    });
  }
  // The next piece of the stream, never past the end of the file.
  bool refill() {
    buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(piece_bytes, unread)));
    if (buffer.empty()) return false;
    in.read(&buffer[0], static_cast<std::streamsize>(buffer.size()));
    buffer.resize(static_cast<std::size_t>(in.gcount()));
    unread -= buffer.size();
    at = 0;
    return !buffer.empty();
  }
  bool fail() {
    failed = true;
    return false;
  }

  static constexpr std::size_t piece_bytes = 64 * 1024;
  std::istream& in;
  // What the file holds beyond the values read so far, and beyond what the buffer took.
  std::uint64_t left;
  std::uint64_t unread;
  std::string buffer;
  std::size_t at = 0;
  bool failed = false;
};

// Smallest encodings: a mark is an empty url and its byte; a row its field count; a field an
// empty key and a tag without payload.
constexpr std::uint64_t least_mark = 5, least_row = 4, least_field = 8;

// One row's fields as the file gives them, gathered before the row is made whole at once:
// the names and texts one after the other in `texts`, and where each stands. Kept from row
// to row, so that a long file is read without an allocation per field.
struct row_fields {
  struct field {
    std::size_t key, key_size;
    int tag;
    std::size_t text, text_size;
    bool flag;
  };
  std::string texts;
  std::vector<field> fields;
  std::vector<row::init> made;
};

// A value: an integer tag, then for a text its string, for a flag one byte; any other tag
// has nothing more and reads as an empty value.
bool read_row(reader& r, row_fields& in, row& out) {
  int count;
  if (!r.read_count(count, least_field)) return false;
  in.texts.clear();
  in.fields.clear();
  // The count fits in the file: each field's place is taken once, not grown into.
  in.fields.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    row_fields::field f{};
    f.key = in.texts.size();
    if (!r.append_string(in.texts) || !r.read_int(f.tag)) return false;
    f.key_size = in.texts.size() - f.key;
    if (f.tag == tag_string) {
      f.text = in.texts.size();
      if (!r.append_text(in.texts, std::string_view(in.texts).substr(f.key, f.key_size) == "url")) return false;
      f.text_size = in.texts.size() - f.text;
    } else if (f.tag == tag_bool) {
      char b;
      if (!r.read_byte(b)) return false;
      f.flag = b != 0;
    }
    in.fields.push_back(f);
  }
  const std::string_view texts = in.texts;
  in.made.clear();
  in.made.reserve(in.fields.size());
  for (const row_fields::field& f : in.fields) {
    const std::string_view key = texts.substr(f.key, f.key_size);
    if (f.tag == tag_string) in.made.emplace_back(key, texts.substr(f.text, f.text_size));
    else if (f.tag == tag_bool) in.made.emplace_back(key, f.flag);
    else in.made.emplace_back(key, any());
  }
  out = row(in.made);
  return true;
}

}  // namespace

gui_state_read read_gui_state(std::istream& in, std::uint64_t size) {
  gui_state_read state;
  reader r(in, size);
  int count;
  if (!r.read_count(count, least_mark)) return state;
  for (int i = 0; i < count; ++i) {
    std::string url;
    char flag;
    if (!r.read_text(url, true) || !r.read_byte(flag)) return state;
    state.cracked_urls[url] = flag != 0;
  }
  if (!r.read_count(count, least_row)) return state;
  // The count fits in the file, so this is at most a few bytes per byte of it.
  state.rows.reserve(static_cast<std::size_t>(count));
  row_fields fields;
  for (int i = 0; i < count; ++i) {
    row entry;
    if (!read_row(r, fields, entry)) return state;
    state.rows.push_back(std::move(entry));
  }
  int number;
  if (!r.read_int(number)) return state;
  state.selected = number;
  std::string title;
  if (!r.read_string(title)) return state;
  state.title = title;
  for (auto& filter : state.filters) {
    if (!r.read_int(number)) return state;
    filter = number;
  }
  window_placement p;
  char maximized;
  if (!r.read_int(p.x) || !r.read_int(p.y) || !r.read_int(p.width) || !r.read_int(p.height) ||
      !r.read_byte(maximized) || (maximized != 0 && maximized != 1))
    return state;
  p.maximized = maximized == 1;
  if (plausible(p)) state.placement = p;
  list_sort sort;
  char descending;
  if (!r.read_string(sort.column) || !r.read_byte(descending) || (descending != 0 && descending != 1))
    return state;
  sort.descending = descending == 1;
  state.sort = sort;
  return state;
}
