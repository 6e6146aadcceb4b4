#include "gui/widget/mvc/row_view.hpp"

#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <utility>

namespace gui {

row_view::row_view(std::size_t block_size) : order(block_size), shown(block_size) {}

std::size_t row_view::row_at(std::size_t position) const {
  return narrowed_ ? shown[position] : sorted_ ? order[position] : position;
}

// Every row shown, position by position.
template <typename F>
void row_view::each_shown(F f) const {
  if (narrowed_) shown.for_each(f);
  else if (sorted_) order.for_each(f);
  else
    for (std::size_t r = 0; r < rows_; ++r) f(static_cast<std::uint32_t>(r));
}

std::vector<long> row_view::positions_of(const std::vector<std::size_t>& wanted) const {
  std::vector<long> found(wanted.size(), -1);
  if (wanted.empty()) return found;
  std::unordered_map<std::size_t, std::size_t> slot;
  for (std::size_t i = 0; i < wanted.size(); ++i) slot.emplace(wanted[i], i);
  long p = 0;
  each_shown([&](std::uint32_t r) {
    const auto it = slot.find(r);
    if (it != slot.end()) found[it->second] = p;
    ++p;
  });
  // One row asked for twice shows at one place.
  for (std::size_t i = 0; i < wanted.size(); ++i) found[i] = found[slot[wanted[i]]];
  return found;
}

// -- keys and matches --

std::string_view row_view::key_of(std::uint32_t row) const {
  const std::size_t start = row == 0 ? 0 : key_ends[row - 1];
  return std::string_view(keys.data() + start, key_ends[row] - start);
}

// The order of the view: by key, then by row, so that equal keys keep the rows' order.
bool row_view::before(std::uint32_t a, std::uint32_t b) const {
  const int c = key_of(a).compare(key_of(b));
  if (c != 0) return descending_ ? c > 0 : c < 0;
  return a < b;
}

void row_view::take_keys(std::size_t from, std::size_t to) {
  for (std::size_t r = from; r < to; ++r) {
    key(r, keys);
    key_ends.push_back(keys.size());
  }
}

void row_view::take_matches(std::size_t from, std::size_t to) {
  matches.resize(to);
  for (std::size_t r = from; r < to; ++r) matches[r] = match(r) ? 1 : 0;
}

void row_view::show_matches() {
  std::vector<std::uint32_t> rows;
  const auto keep = [this, &rows](std::uint32_t r) {
    if (matches[r]) rows.push_back(r);
  };
  if (sorted_) {
    complete_order();
    order.for_each(keep);
  } else {
    for (std::size_t r = 0; r < rows_; ++r) keep(static_cast<std::uint32_t>(r));
  }
  shown.assign(rows);
}

// The rows that joined while the view was narrowed, into `order`: sorted among themselves,
// then merged with those in it, in one pass.
void row_view::complete_order() {
  const std::size_t had = order.size();
  if (had == rows_) return;
  std::vector<std::uint32_t> rows = order.flat();
  rows.resize(rows_);
  std::iota(rows.begin() + static_cast<std::ptrdiff_t>(had), rows.end(), static_cast<std::uint32_t>(had));
  const auto less = [this](std::uint32_t a, std::uint32_t b) { return before(a, b); };
  std::sort(rows.begin() + static_cast<std::ptrdiff_t>(had), rows.end(), less);
  std::inplace_merge(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(had), rows.end(), less);
  order.assign(rows);
}

// -- changing --

void row_view::reset(std::size_t rows) {
  rows_ = rows;
  if (narrowed_) {
    matches.clear();
    take_matches(0, rows_);
  }
  // Sorting shows the matches in the new order.
  if (sorted_) sort(std::move(key), descending_);
  else if (narrowed_) show_matches();
}

void row_view::clear() {
  rows_ = 0;
  unsort();
  matches.clear();
  shown.clear();
}

void row_view::sort(key_function key_, bool descending) {
  key = std::move(key_);
  sorted_ = true;
  descending_ = descending;
  keys.clear();
  key_ends.clear();
  key_ends.reserve(rows_);
  take_keys(0, rows_);
  std::vector<std::uint32_t> rows(rows_);
  std::iota(rows.begin(), rows.end(), 0u);
  std::sort(rows.begin(), rows.end(), [this](std::uint32_t a, std::uint32_t b) { return before(a, b); });
  order.assign(rows);
  if (narrowed_) show_matches();
}

void row_view::unsort() {
  sorted_ = false;
  descending_ = false;
  key = key_function();
  std::string().swap(keys);
  std::vector<std::size_t>().swap(key_ends);
  order.clear();
  if (narrowed_) show_matches();
}

void row_view::narrow(match_function match_, bool within) {
  match = std::move(match_);
  if (within && narrowed_) {
    // A row hidden stays hidden: only those shown are asked, and keep their order.
    std::vector<std::uint32_t> kept;
    shown.for_each([this, &kept](std::uint32_t r) {
      matches[r] = match(r) ? 1 : 0;
      if (matches[r]) kept.push_back(r);
    });
    shown.assign(kept);
    return;
  }
  narrowed_ = true;
  matches.clear();
  take_matches(0, rows_);
  show_matches();
}

void row_view::widen() {
  if (sorted_) complete_order();
  narrowed_ = false;
  match = match_function();
  std::vector<unsigned char>().swap(matches);
  shown.clear();
}

const std::vector<std::size_t>& row_view::join(std::size_t rows) {
  joined.clear();
  const std::size_t first = rows_;
  if (rows <= first) return joined;
  rows_ = rows;
  if (narrowed_) take_matches(first, rows);
  if (!sorted_) {
    for (std::size_t r = first; r < rows; ++r) {
      if (narrowed_ && !matches[r]) continue;
      joined.push_back(narrowed_ ? shown.size() : r);
      if (narrowed_) shown.push_back(static_cast<std::uint32_t>(r));
    }
    return joined;
  }
  take_keys(first, rows);
  batch.clear();
  for (std::size_t r = first; r < rows; ++r)
    if (!narrowed_ || matches[r]) batch.push_back(static_cast<std::uint32_t>(r));
  std::sort(batch.begin(), batch.end(), [this](std::uint32_t a, std::uint32_t b) { return before(a, b); });
  // Narrowed, the rows that show are all that must be in order now; `order` takes the new
  // rows when it is next needed, all at once.
  position_list& into = narrowed_ ? shown : order;
  for (std::uint32_t r : batch) {
    // Of equal keys the row already there comes first: only a greater key stops the search.
    // The batch is in order, so each goes after the one before, which therefore stays put.
    const std::string_view k = key_of(r);
    const std::size_t place = into.first_after([this, k](std::uint32_t other) {
      const int c = k.compare(key_of(other));
      return descending_ ? c > 0 : c < 0;
    });
    into.insert(place, r);
    joined.push_back(place);
  }
  return joined;
}

std::size_t moved(std::size_t position, const std::vector<std::size_t>& joined) {
  // Joined row j stood before the old position joined[j] - j; those at or before `position`
  // pushed it on by one each.
  std::size_t low = 0, high = joined.size();
  while (low < high) {
    const std::size_t mid = (low + high) / 2;
    if (joined[mid] - mid <= position) low = mid + 1;
    else high = mid;
  }
  return position + low;
}

// -- keys --

void append_number_key(std::string_view text, std::string& key) {
  std::size_t at = 0;
  while (at < text.size() && text[at] == ' ') ++at;
  std::size_t digits = at;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits == at) {
    key += '\x01';
    return;
  }
  while (at + 1 < digits && text[at] == '0') ++at;
  // More digits make a larger number; as many compare digit by digit.
  const std::size_t length = digits - at;
  key += '\x00';
  for (int shift = 24; shift >= 0; shift -= 8) key += static_cast<char>((length >> shift) & 0xff);
  key.append(text.substr(at, length));
}

void append_flag_key(bool set, std::string& key) { key += set ? '\x00' : '\x01'; }

}  // namespace gui
