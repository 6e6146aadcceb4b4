#include "any/row.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "any/row_blocks.hpp"

// The block: a header (its size in bytes, the number of fields, how many of them hold an
// `any` of their own), then each field in name order:
//   the name: 1 to 5 for one of `known_names`, or 0 followed by the name's length and bytes;
//   the kind of value, one byte;
//   for a text its length and bytes, for another value the address of its `any`.
// Lengths are written 7 bits a byte, low bits first, the high bit set on every byte but the
// last: one byte for any name or text of the site.

namespace {

// Sorted, so that the byte that stands for one orders as its text does.
constexpr std::string_view known_names[] = {"difficulty", "id", "name", "solved", "url"};
constexpr int known_count = static_cast<int>(std::size(known_names));

struct header {
  std::uint32_t bytes;
  std::uint32_t fields;
  std::uint32_t others;
};

// 1 + the index of a known name, or 0.
unsigned char known_code(std::string_view name) {
  for (int i = 0; i < known_count; ++i)
    if (known_names[i] == name) return static_cast<unsigned char>(i + 1);
  return 0;
}

std::size_t length_bytes(std::size_t n) {
  std::size_t bytes = 1;
  for (; n >= 0x80; n >>= 7) ++bytes;
  return bytes;
}

unsigned char* write_length(unsigned char* p, std::size_t n) {
  for (; n >= 0x80; n >>= 7) *p++ = static_cast<unsigned char>(n | 0x80);
  *p++ = static_cast<unsigned char>(n);
  return p;
}

std::size_t read_length(const unsigned char*& p) {
  std::size_t n = 0;
  for (int shift = 0;; shift += 7) {
    const unsigned char b = *p++;
    n |= static_cast<std::size_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) return n;
  }
}

header& head(unsigned char* block) { return *reinterpret_cast<header*>(block); }

}  // namespace

// -- reading fields --

namespace {

// The bytes of row::kind that say what follows the kind.
constexpr unsigned char text_kind = 1, other_kind = 4;

// What `decode` finds of one field.
struct decoded {
  std::string_view name;
  unsigned char kind;
  std::string_view bytes;
  any* held;
  const unsigned char* next;
};

decoded decode(const unsigned char* p) {
  decoded d;
  const unsigned char code = *p++;
  if (code != 0) {
    d.name = known_names[code - 1];
  } else {
    const std::size_t n = read_length(p);
    d.name = std::string_view(reinterpret_cast<const char*>(p), n);
    p += n;
  }
  d.kind = *p++;
  d.bytes = std::string_view();
  d.held = nullptr;
  if (d.kind == text_kind) {
    const std::size_t n = read_length(p);
    d.bytes = std::string_view(reinterpret_cast<const char*>(p), n);
    p += n;
  } else if (d.kind == other_kind) {
    std::memcpy(&d.held, p, sizeof d.held);
    p += sizeof d.held;
  }
  d.next = p;
  return d;
}

const unsigned char* first_field(const unsigned char* block) { return block + sizeof(header); }

// The `any` values that a block's first `fields` fields hold, deleted; then the block.
void destroy(unsigned char* block, std::uint32_t fields) {
  if (!block) return;
  const unsigned char* p = first_field(block);
  for (std::uint32_t i = 0; i < fields && head(block).others > 0; ++i) {
    const decoded d = decode(p);
    delete d.held;
    p = d.next;
  }
  release_row_block(block, head(block).bytes);
}

}  // namespace

row::kind row::kind_of(const any& value) {
  static_assert(static_cast<unsigned char>(kind::text) == text_kind &&
                static_cast<unsigned char>(kind::other) == other_kind);
  if (value.isA<std::string>()) return kind::text;
  if (value.isA<bool>()) return value.as<bool>() ? kind::yes : kind::no;
  if (value.isA<unsigned int>() && value.as<unsigned int>() == 0) return kind::empty;
  return kind::other;
}

void row::const_iterator::read() {
  if (at == end) return;
  const decoded d = decode(at);
  current.first = d.name;
  current.second.what = static_cast<kind>(d.kind);
  current.second.bytes = d.bytes;
  current.second.held = d.held;
  next = d.next;
}

row::const_iterator row::begin() const noexcept {
  if (!block) return const_iterator();
  return const_iterator(first_field(block), block + head(block).bytes);
}

row::const_iterator row::end() const noexcept {
  if (!block) return const_iterator();
  const unsigned char* end = block + head(block).bytes;
  return const_iterator(end, end);
}

std::size_t row::size() const noexcept { return block ? head(block).fields : 0; }

row::const_iterator row::find(std::string_view key) const {
  const const_iterator last = end();
  for (const_iterator it = begin(); it != last; ++it) {
    if (it->first == key) return it;
    // In name order: past it, it is not there.
    if (it->first > key) break;
  }
  return last;
}

std::size_t row::count(std::string_view key) const { return find(key) != end() ? 1 : 0; }

row::const_field row::at(std::string_view key) const {
  const const_iterator it = find(key);
  if (it == end()) throw std::out_of_range("invalid map<K, T> key");
  return it->second;
}

row::field row::at(std::string_view key) {
  if (find(key) == end()) throw std::out_of_range("invalid map<K, T> key");
  return field(*this, key);
}

row::field row::operator[](std::string_view key) {
  if (find(key) == end()) {
    init empty;
    empty.key = key;
    put(empty);
  }
  return field(*this, key);
}

any row::const_field::value() const {
  switch (what) {
    case kind::text: return any(std::string(bytes));
    case kind::no: return any(false);
    case kind::yes: return any(true);
    case kind::other: return *held;
    case kind::empty: break;
  }
  return any();
}

// -- making blocks --

namespace {

// The text of a field to be written: its view, or the text of its `any`.
std::string_view text_of(std::string_view bytes, const any& held) {
  return held.isA<std::string>() ? std::string_view(held.as<std::string>()) : bytes;
}

}  // namespace

void row::build(const init* first, const init* last) {
  const std::size_t given = static_cast<std::size_t>(last - first);
  if (given == 0) return;
  // Each field with the byte of its name, in name order, keeping the order given among
  // equal names (an insertion sort: a row has a few fields); then the last of each name.
  struct placed {
    const init* f;
    unsigned char code;
  };
  placed few[16];
  std::vector<placed> many;
  placed* order = few;
  if (given > std::size(few)) {
    many.resize(given);
    order = many.data();
  }
  for (std::size_t i = 0; i < given; ++i) order[i] = placed{first + i, known_code(first[i].key)};
  // Known names order as their bytes do.
  auto before = [](const placed& a, const placed& b) {
    return a.code && b.code ? a.code < b.code : a.f->key < b.f->key;
  };
  auto same = [](const placed& a, const placed& b) {
    return a.code || b.code ? a.code == b.code : a.f->key == b.f->key;
  };
  if (given <= std::size(few)) {
    for (std::size_t i = 1; i < given; ++i)
      for (std::size_t j = i; j > 0 && before(order[j], order[j - 1]); --j) std::swap(order[j], order[j - 1]);
  } else {
    std::stable_sort(order, order + given, before);
  }
  std::size_t fields = 0;
  for (std::size_t i = 0; i < given; ++i) {
    if (i + 1 < given && same(order[i + 1], order[i])) continue;
    order[fields++] = order[i];
  }

  std::size_t bytes = sizeof(header);
  std::uint32_t others = 0;
  for (std::size_t i = 0; i < fields; ++i) {
    const init& f = *order[i].f;
    bytes += 2;
    if (order[i].code == 0) bytes += length_bytes(f.key.size()) + f.key.size();
    if (f.what == kind::text) {
      const std::size_t n = text_of(f.bytes, f.held).size();
      bytes += length_bytes(n) + n;
    } else if (f.what == kind::other) {
      bytes += sizeof(any*);
      ++others;
    }
  }
  if (bytes > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("row too long");

  unsigned char* made = static_cast<unsigned char*>(allocate_row_block(bytes));
  new (made) header{static_cast<std::uint32_t>(bytes), 0, others};
  unsigned char* p = made + sizeof(header);
  try {
    for (std::size_t i = 0; i < fields; ++i) {
      const init& f = *order[i].f;
      *p++ = order[i].code;
      if (order[i].code == 0) {
        p = write_length(p, f.key.size());
        if (!f.key.empty()) std::memcpy(p, f.key.data(), f.key.size());
        p += f.key.size();
      }
      *p++ = static_cast<unsigned char>(f.what);
      if (f.what == kind::text) {
        const std::string_view text = text_of(f.bytes, f.held);
        p = write_length(p, text.size());
        if (!text.empty()) std::memcpy(p, text.data(), text.size());
        p += text.size();
      } else if (f.what == kind::other) {
        any* held = new any(f.held);
        std::memcpy(p, &held, sizeof held);
        p += sizeof held;
      }
      head(made).fields = static_cast<std::uint32_t>(i + 1);
    }
  } catch (...) {
    // Only the value being copied is missing: the fields before it are whole.
    destroy(made, head(made).fields);
    throw;
  }
  block = made;
}

row::row(std::initializer_list<init> fields) { build(fields.begin(), fields.end()); }

row::row(const std::vector<init>& fields) { build(fields.data(), fields.data() + fields.size()); }

row::row(const row& other) {
  if (!other.block) return;
  const header& h = head(other.block);
  unsigned char* made = static_cast<unsigned char*>(allocate_row_block(h.bytes));
  std::memcpy(made, other.block, h.bytes);
  if (h.others == 0) {
    block = made;
    return;
  }
  // Each `any` of its own is copied; until then the copy's fields hold none.
  head(made).fields = 0;
  try {
    unsigned char* p = made + sizeof(header);
    for (std::uint32_t i = 0; i < h.fields; ++i) {
      const decoded d = decode(p);
      if (d.held) {
        any* copy = new any(*d.held);
        std::memcpy(const_cast<unsigned char*>(d.next) - sizeof copy, &copy, sizeof copy);
      }
      head(made).fields = i + 1;
      p = const_cast<unsigned char*>(d.next);
    }
  } catch (...) {
    destroy(made, head(made).fields);
    throw;
  }
  block = made;
}

row& row::operator=(const row& other) {
  if (this != &other) *this = row(other);
  return *this;
}

row& row::operator=(row&& other) noexcept {
  if (this != &other) {
    destroy(block, size());
    block = std::exchange(other.block, nullptr);
  }
  return *this;
}

row::~row() { destroy(block, size()); }

void row::put(const init& value) {
  // The row's fields as they are, that one replaced or added; a text read from the old
  // block stays there until the new one is made.
  std::vector<init> fields;
  fields.reserve(size() + 1);
  for (const auto& f : *this) {
    if (f.first == value.key) continue;
    init kept;
    kept.key = f.first;
    kept.what = f.second.what;
    kept.bytes = f.second.bytes;
    if (f.second.held) kept.held = *f.second.held;
    fields.push_back(std::move(kept));
  }
  fields.push_back(value);
  row made;
  made.build(fields.data(), fields.data() + fields.size());
  std::swap(block, made.block);
}

// -- assigning to a field --

row::field::field(row& owner_, std::string_view key_) : owner(&owner_), known(nullptr) {
  const unsigned char code = known_code(key_);
  if (code != 0) known = known_names[code - 1].data();
  else other_key.assign(key_);
}

row::const_field row::field::get() const { return static_cast<const row&>(*owner).at(key()); }

row::field& row::field::operator=(std::string_view text) {
  owner->put(init(key(), text));
  return *this;
}

row::field& row::field::operator=(const any& value) {
  init f;
  f.key = key();
  f.what = kind_of(value);
  if (f.what == kind::text || f.what == kind::other) f.held = value;
  owner->put(f);
  return *this;
}

row::field& row::field::set_flag(bool flag) {
  owner->put(init(key(), flag));
  return *this;
}
