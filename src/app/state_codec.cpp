#include "app/state_codec.hpp"

#include <algorithm>
#include <cstring>
#include <new>
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
// runs out, a length cannot fit in what is left, or what the reading would hold passes its
// limit. The stream is read in large pieces: a file of many rows is mostly small fields, and
// a stream call for each costs more than the field.
//
// What the reading holds is counted as it grows, before it is taken: its buffer, the
// storage it keeps for its own use from row to row (grown, never given back, so that the
// old and the new storage of a move are both counted), the marks it made, the title and the
// list of rows. Only the rows' own blocks are not counted; they are what the list keeps.
class reader {
 public:
  reader(std::istream& in_, std::uint64_t size, std::uint64_t allowance)
      : in(in_), left(size), unread(size), limit(limit_for(size, allowance)) {
    hold(std::min<std::uint64_t>(size, piece_bytes) + sizeof(std::string));
  }

  bool read_int(int& value) {
    unsigned char b[4];
    if (!take(reinterpret_cast<char*>(b), 4)) return false;
    value = static_cast<int>(static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                             static_cast<std::uint32_t>(b[2]) << 16 |
                             static_cast<std::uint32_t>(b[3]) << 24);
    return true;
  }

  bool read_byte(char& c) { return take(&c, 1); }

  // Appends a string of the file to `to`, storage the reading keeps.
  bool append_string(std::string& to) {
    int length;
    if (!read_int(length) || length < 0 || static_cast<std::uint64_t>(length) > left) return fail();
    const auto n = static_cast<std::uint64_t>(length);
    if (!make_room(to, n, 1)) return false;
    return take(n, [&to](const char* piece, std::size_t k) { to.append(piece, k); });
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
    // Decoding takes a copy of the bytes, their UTF-8 (up to three bytes each, in storage
    // that grows) and the text it reads from that, all at once, for a moment.
    const std::uint64_t decoding = 8 * static_cast<std::uint64_t>(to.size() - start);
    if (!hold(decoding)) return false;
    const std::string characters = read_windows_1252_html(to.substr(start), in_attribute);
    to.resize(start);
    const bool room = make_room(to, characters.size(), 1);
    if (room) to += characters;
    held -= decoding;
    return room;
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

  // `bytes` more are held from now on, unless that passes the limit: then the reading stops
  // there, as at damage.
  bool hold(std::uint64_t bytes) {
    if (failed || bytes > limit - held) return fail();
    held += bytes;
    return true;
  }

  // Room in `c` for `n` more items, each holding `item_bytes` (its own size, and whatever
  // else is sized with it), grown as a vector grows.
  template <typename C>
  bool make_room(C& c, std::uint64_t n, std::uint64_t item_bytes) {
    const std::uint64_t size = c.size(), capacity = c.capacity();
    if (n <= capacity - size) return true;
    if (n > limit) return fail();
    const std::uint64_t grown = std::max(2 * capacity, size + n);
    if (grown > limit / item_bytes || !hold(grown * item_bytes)) return fail();
    c.reserve(static_cast<std::size_t>(grown));
    return true;
  }

 private:
  static std::uint64_t limit_for(std::uint64_t size, std::uint64_t allowance) {
    // Far beyond any memory, and far from wrapping.
    constexpr std::uint64_t most = std::uint64_t{1} << 60;
    if (size > most / held_per_file_byte || allowance > most) return most;
    return held_per_file_byte * size + allowance;
  }

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
  // What the reading may hold, and holds.
  const std::uint64_t limit;
  std::uint64_t held = 0;
};

// Smallest encodings: a mark is an empty url and its byte; a row its field count; a field an
// empty key and a tag without payload.
constexpr std::uint64_t least_mark = 5, least_row = 4, least_field = 8;

// What a new mark holds in the map: its node (three links and a colour, the url's string
// and the flag) and the url's bytes, each a heap block with the heap's own header.
std::uint64_t mark_bytes(std::size_t url) {
  return 4 * sizeof(void*) + sizeof(std::pair<const std::string, bool>) + url + 1 + 4 * sizeof(void*);
}

// One row's fields as the file gives them, gathered before the row is made whole at once:
// the names and texts one after the other in `texts`, and where each field starts and its
// value follows (a name ends where its value starts, a text where the next field starts).
// Kept from row to row, so that a long file is read without an allocation per field; the
// reader counts them as they grow. Marks' urls and the title pass through `texts` too.
struct row_fields {
  struct field {
    std::size_t key, value;
    int tag;
    bool flag;
  };
  std::string texts;
  std::vector<field> fields;
  std::vector<row::init> made;
};

// Each field's place comes with one in `made` and, for a row of many fields, the two words
// by which the row orders them.
constexpr std::uint64_t field_bytes = sizeof(row_fields::field) + sizeof(row::init) + 2 * sizeof(void*);

// A value: an integer tag, then for a text its string, for a flag one byte; any other tag
// has nothing more and reads as an empty value.
bool read_row(reader& r, row_fields& in, row& out) {
  int count;
  if (!r.read_count(count, least_field)) return false;
  in.texts.clear();
  in.fields.clear();
  for (int i = 0; i < count; ++i) {
    row_fields::field f{in.texts.size(), 0, tag_other, false};
    if (!r.append_string(in.texts) || !r.read_int(f.tag)) return false;
    f.value = in.texts.size();
    if (f.tag == tag_string) {
      if (!r.append_text(in.texts, std::string_view(in.texts).substr(f.key, f.value - f.key) == "url")) return false;
    } else if (f.tag == tag_bool) {
      char b;
      if (!r.read_byte(b)) return false;
      f.flag = b != 0;
    }
    if (!r.make_room(in.fields, 1, field_bytes)) return false;
    in.fields.push_back(f);
  }
  const std::string_view texts = in.texts;
  in.made.clear();
  in.made.reserve(in.fields.size());
  for (std::size_t i = 0; i < in.fields.size(); ++i) {
    const row_fields::field& f = in.fields[i];
    const std::size_t end = i + 1 < in.fields.size() ? in.fields[i + 1].key : texts.size();
    const std::string_view key = texts.substr(f.key, f.value - f.key);
    if (f.tag == tag_string) in.made.emplace_back(key, texts.substr(f.value, end - f.value));
    else if (f.tag == tag_bool) in.made.emplace_back(key, f.flag);
    else in.made.emplace_back(key, any());
  }
  out = row(in.made);
  return true;
}

// Reads the items in their order into `state`, each only when it was read whole, up to the
// first that was not.
void read_items(reader& r, gui_state_read& state) {
  row_fields scratch;
  int count;
  if (!r.read_count(count, least_mark)) return;
  for (int i = 0; i < count; ++i) {
    char flag;
    if (!r.read_text(scratch.texts, true) || !r.read_byte(flag)) return;
    // A url already marked adds nothing.
    const auto marked = state.cracked_urls.find(scratch.texts);
    if (marked != state.cracked_urls.end()) {
      marked->second = flag != 0;
      continue;
    }
    if (!r.hold(mark_bytes(scratch.texts.size()))) return;
    state.cracked_urls.emplace(scratch.texts, flag != 0);
  }
  if (!r.read_count(count, least_row)) return;
  // The count fits in the file; the list's places are held as the marks are.
  if (!r.make_room(state.rows, static_cast<std::uint64_t>(count), sizeof(row))) return;
  for (int i = 0; i < count; ++i) {
    row entry;
    if (!read_row(r, scratch, entry)) return;
    state.rows.push_back(std::move(entry));
  }
  int number;
  if (!r.read_int(number)) return;
  state.selected = number;
  if (!r.read_string(scratch.texts) || !r.hold(scratch.texts.size() + 1)) return;
  state.title = scratch.texts;
  for (auto& filter : state.filters) {
    if (!r.read_int(number)) return;
    filter = number;
  }
  window_placement p;
  char maximized;
  if (!r.read_int(p.x) || !r.read_int(p.y) || !r.read_int(p.width) || !r.read_int(p.height) ||
      !r.read_byte(maximized) || (maximized != 0 && maximized != 1))
    return;
  p.maximized = maximized == 1;
  if (plausible(p)) state.placement = p;
  list_sort sort;
  char descending;
  if (!r.read_string(sort.column) || !r.hold(sort.column.size() + 1) || !r.read_byte(descending) ||
      (descending != 0 && descending != 1))
    return;
  sort.descending = descending == 1;
  state.sort = sort;
}

}  // namespace

gui_state_read read_gui_state(std::istream& in, std::uint64_t size, std::uint64_t allowance) {
  gui_state_read state;
  reader r(in, size, allowance);
  try {
    read_items(r, state);
  } catch (const std::bad_alloc&) {
    // Memory ran out all the same (the machine has little): what was read whole stays, as
    // at damage.
  }
  return state;
}
