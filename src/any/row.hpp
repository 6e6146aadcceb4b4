#pragma once
// A row record: one archive entry or combo box item, its fields by name, in the byte order of
// their names as a map keeps them. Copying a row copies every value.
//
// A list holds a hundred thousand of these, so a row is one pointer to one heap block that
// holds every field: the names the program uses ("difficulty", "id", "name", "solved",
// "url") as one byte each, any other name as its bytes, texts as their bytes, flags as one
// byte. A value of any other type (never one of the site's) is kept as an `any` of its own.
// That is one allocation per row where a map of `any` values takes two or three per field.
//
// The interface is a map's where callers use one (find, at, count, operator[], iteration in
// name order), but what it gives for a field is a view of the value, not an `any`: `isA`
// and `as` answer as `any`'s do, `as` by value (a text read out of the row is a copy; `text`
// is a view of it without one), and `value` is the field as an `any`. Views and iterators
// are good until the row changes; a field from `operator[]` or a mutable `at` finds its
// value again for each use, so it may be assigned to.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "any/any.hpp"

class row {
 public:
  class const_field;
  class field;
  class const_iterator;
  struct init;

  row() noexcept = default;
  // The fields in any order; of two with one name, the later one counts.
  row(std::initializer_list<init> fields);
  explicit row(const std::vector<init>& fields);
  row(const row& other);
  row(row&& other) noexcept : block(std::exchange(other.block, nullptr)) {}
  row& operator=(const row& other);
  row& operator=(row&& other) noexcept;
  ~row();

  std::size_t size() const noexcept;
  bool empty() const noexcept { return size() == 0; }
  std::size_t count(std::string_view key) const;
  const_iterator find(std::string_view key) const;
  const_iterator begin() const noexcept;
  const_iterator end() const noexcept;
  // Throws std::out_of_range when the row has no such field.
  const_field at(std::string_view key) const;
  field at(std::string_view key);
  // Adds the field with an empty value when the row has none of that name.
  field operator[](std::string_view key);

 private:
  friend class field;
  enum class kind : unsigned char { empty, text, no, yes, other };
  static kind kind_of(const any& value);
  // Stores the field, replacing one of its name.
  void put(const init& value);
  // The fields become the row's, which had none.
  void build(const init* first, const init* last);

  // Header, then the fields in name order (row.cpp has the layout); null when there are none.
  unsigned char* block = nullptr;
};

// One field's value inside a row.
class row::const_field {
 public:
  const_field() = default;

  template <typename T>
  bool isA() const {
    if constexpr (std::is_same_v<T, std::string>) return what == kind::text;
    else if constexpr (std::is_same_v<T, bool>) return what == kind::no || what == kind::yes;
    // An empty `any` holds the unsigned integer 0.
    else if constexpr (std::is_same_v<T, unsigned int>)
      return what == kind::empty || (what == kind::other && held->isA<T>());
    else return what == kind::other && held->isA<T>();
  }

  // A copy of the value; anyimpl::bad_any_cast when it is not a T. A copy, and a constant
  // one, so that no assignment to it can look as if it changed the row.
  template <typename T>
  std::conditional_t<std::is_class_v<T>, const T, T> as() const {
    if (!isA<T>()) throw anyimpl::bad_any_cast();
    if constexpr (std::is_same_v<T, std::string>) return std::string(bytes);
    else if constexpr (std::is_same_v<T, bool>) return what == kind::yes;
    else if constexpr (std::is_same_v<T, unsigned int>) return what == kind::empty ? 0u : held->as<T>();
    else return held->as<T>();
  }

  // A text's bytes where the row keeps them; anyimpl::bad_any_cast for another value.
  std::string_view text() const {
    if (what != kind::text) throw anyimpl::bad_any_cast();
    return bytes;
  }

  any value() const;

 private:
  friend class row;
  kind what = kind::empty;
  std::string_view bytes;
  const any* held = nullptr;
};

// A field of a row that may be assigned to, by its name.
class row::field {
 public:
  template <typename T>
  bool isA() const {
    return get().isA<T>();
  }
  template <typename T>
  decltype(auto) as() const {
    return get().as<T>();
  }
  std::string_view text() const { return get().text(); }
  any value() const { return get().value(); }

  field(const field&) = default;

  field& operator=(std::string_view text);
  field& operator=(const std::string& text) { return *this = std::string_view(text); }
  field& operator=(const char* text) { return *this = std::string_view(text); }
  field& operator=(const any& value);
  field& operator=(const field& other) { return *this = other.value(); }
  field& operator=(const const_field& other) { return *this = other.value(); }
  template <typename T>
  field& operator=(const T& value) {
    if constexpr (std::is_same_v<T, bool>) return set_flag(value);
    else return *this = any(value);
  }

 private:
  friend class row;
  field(row& owner_, std::string_view key_);
  const_field get() const;
  field& set_flag(bool flag);

  std::string_view key() const { return known ? std::string_view(known) : std::string_view(other_key); }

  row* owner;
  // The name: one of the program's own (a static text), or else a copy of it.
  const char* known;
  std::string other_key;
};

// One field to build a row with: views of the name and the text, valid for the call.
struct row::init {
 public:
  init(std::string_view key_, std::string_view text) : key(key_), what(kind::text), bytes(text) {}
  init(std::string_view key_, const std::string& text) : init(key_, std::string_view(text)) {}
  init(std::string_view key_, const char* text) : init(key_, std::string_view(text)) {}
  // A flag, or a value of another type.
  template <typename T>
  init(std::string_view key_, const T& value) : key(key_) {
    if constexpr (std::is_same_v<T, bool>) {
      what = value ? kind::yes : kind::no;
    } else {
      held = any(value);
      what = kind_of(held);
    }
  }

 private:
  friend class row;
  init() = default;

  std::string_view key;
  kind what = kind::empty;
  // A text given as a view; one given in an `any` stays there (an init may be copied).
  std::string_view bytes;
  any held;
};

class row::const_iterator {
 public:
  using value_type = std::pair<std::string_view, const_field>;
  using reference = const value_type&;
  using pointer = const value_type*;
  using difference_type = std::ptrdiff_t;
  using iterator_category = std::forward_iterator_tag;

  const_iterator() = default;
  reference operator*() const { return current; }
  pointer operator->() const { return &current; }
  const_iterator& operator++() {
    at = next;
    read();
    return *this;
  }
  const_iterator operator++(int) {
    const_iterator was = *this;
    ++*this;
    return was;
  }
  bool operator==(const const_iterator& other) const { return at == other.at; }
  bool operator!=(const const_iterator& other) const { return at != other.at; }

 private:
  friend class row;
  const_iterator(const unsigned char* at_, const unsigned char* end_) : at(at_), end(end_) { read(); }
  // Decodes the field at `at`, unless that is the end.
  void read();

  const unsigned char* at = nullptr;
  const unsigned char* end = nullptr;
  const unsigned char* next = nullptr;
  value_type current;
};
