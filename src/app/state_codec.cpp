#include "app/state_codec.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "site/html_text.hpp"

void write_int(std::ostream& out, int value) {
  const auto v = static_cast<std::uint32_t>(value);
  const char bytes[4] = {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff),
                         static_cast<char>((v >> 16) & 0xff), static_cast<char>((v >> 24) & 0xff)};
  out.write(bytes, 4);
}

void write_string(std::ostream& out, const std::string& text) {
  write_int(out, static_cast<int>(text.size()));
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void write_value(std::ostream& out, const any& value) {
  if (value.isA<std::string>()) {
    write_int(out, tag_string);
    write_string(out, windows_1252_html(value.as<std::string>()));
  } else if (value.isA<bool>()) {
    write_int(out, tag_bool);
    out.put(value.as<bool>() ? 1 : 0);
  } else {
    write_int(out, tag_other);
  }
}

void write_gui_state(std::ostream& out, const gui_state_data& state) {
  write_int(out, static_cast<int>(state.cracked_urls.size()));
  for (const auto& mark : state.cracked_urls) {
    write_string(out, windows_1252_html(mark.first));
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

  bool read_string(std::string& text) {
    int length;
    if (!read_int(length) || length < 0 || static_cast<std::uint64_t>(length) > left) return fail();
    text.assign(static_cast<std::size_t>(length), '\0');
    return length == 0 || take(&text[0], length);
  }

  // A text of the file (HTML text in Windows-1252) as the characters it stands for.
  bool read_text(std::string& text, bool in_attribute) {
    if (!read_string(text)) return false;
    text = read_windows_1252_html(text, in_attribute);
    return true;
  }

  // A count of items, each at least `least` bytes long, that the rest of the file can hold.
  bool read_count(int& count, std::uint64_t least) {
    if (!read_int(count) || count < 0 || static_cast<std::uint64_t>(count) * least > left) return fail();
    return true;
  }

  // A link (`in_attribute`) reads as an href's text does.
  bool read_value(any& value, bool in_attribute) {
    int tag;
    if (!read_int(tag)) return false;
    if (tag == tag_string) {
      // Read in place: a copy of each text would double the allocations of a load.
      value = std::string();
      if (!read_text(value.as<std::string>(), in_attribute)) return false;
    } else if (tag == tag_bool) {
      char b;
      if (!read_byte(b)) return false;
      value = b != 0;
    } else {
      value.clear();
    }
    return true;
  }

 private:
  bool take(char* data, std::uint64_t n) {
    if (failed || n > left) return fail();
    left -= n;
    while (n > 0) {
      if (at == buffer.size() && !refill()) return fail();
      const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(n, buffer.size() - at));
      std::memcpy(data, buffer.data() + at, piece);
      at += piece;
      data += piece;
      n -= piece;
    }
    return true;
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

bool read_row(reader& r, row& out) {
  int fields;
  if (!r.read_count(fields, least_field)) return false;
  for (int i = 0; i < fields; ++i) {
    std::string key;
    if (!r.read_string(key) || !r.read_value(out[key], key == "url")) return false;
  }
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
  for (int i = 0; i < count; ++i) {
    row entry;
    if (!read_row(r, entry)) return state;
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
  return state;
}
