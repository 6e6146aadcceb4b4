#pragma once
// Which rows of a list show, and in which order: the list's positions over the indexes of its
// rows. Sorting and narrowing change the positions, never the rows. With neither in force
// position i shows row i and nothing is stored, so a list that is only filled pays nothing.
//
// A sort compares each row's key as bytes, the smaller first (last when descending); rows of
// equal keys keep the rows' order either way. Keys are asked for once, when the sort begins
// or when their row joins, and kept while the sort lasts: a row whose key would change (a
// mark) stays where it is until the next sort. Narrowing shows the rows a predicate holds for.
// Rows that join the model later take their places in both at once.
//
// Portable; one thread.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "gui/widget/mvc/position_list.hpp"

namespace gui {

class row_view {
 public:
  // Appends the key of row `row` to `key`.
  using key_function = std::function<void(std::size_t row, std::string& key)>;
  using match_function = std::function<bool(std::size_t row)>;

  // `block_size`: see gui/widget/mvc/position_list.hpp.
  explicit row_view(std::size_t block_size = 1024);

  // -- reading --
  // How many positions there are: the rows that show.
  std::size_t size() const { return narrowed_ ? shown.size() : rows_; }
  // How many rows the model has.
  std::size_t rows() const { return rows_; }
  std::size_t row_at(std::size_t position) const;
  // The position of each of `rows`, -1 for one that does not show; one pass over the view.
  std::vector<long> positions_of(const std::vector<std::size_t>& rows) const;
  bool sorted() const { return sorted_; }
  bool descending() const { return descending_; }
  bool narrowed() const { return narrowed_; }

  // -- changing --
  // The model now has `rows` rows, none of them known before: keys and matches are asked for
  // again under the sort and the narrowing in force.
  void reset(std::size_t rows);
  // The model has no rows: the sort ends (there is nothing it ordered); the narrowing stays,
  // for the rows to come.
  void clear();
  void sort(key_function key, bool descending);
  // The rows' own order again.
  void unsort();
  // Only rows `match` holds for show. `within`: it holds for none of the rows hidden now (a
  // longer text to find), so only the rows shown are asked.
  void narrow(match_function match, bool within);
  // Every row shows again.
  void widen();
  // The rows from `rows()` up to `rows` joined the end of the model. Each takes its place;
  // the result is where those that show stand now, ascending, good until the next join. A
  // position p from before is `moved(p, result)` now.
  const std::vector<std::size_t>& join(std::size_t rows);

 private:
  std::string_view key_of(std::uint32_t row) const;
  bool before(std::uint32_t a, std::uint32_t b) const;
  void take_keys(std::size_t from, std::size_t to);
  void take_matches(std::size_t from, std::size_t to);
  // `shown` from the rows in order that match.
  void show_matches();
  void complete_order();
  template <typename F>
  void each_shown(F f) const;

  std::size_t rows_ = 0;

  bool sorted_ = false;
  bool descending_ = false;
  key_function key;
  // Every row's key, one after the other; row r's ends at key_ends[r].
  std::string keys;
  std::vector<std::size_t> key_ends;
  // Sorted: every row, in order; while narrowed, those that joined since are left out until
  // the order of every row is needed.
  position_list order;

  bool narrowed_ = false;
  match_function match;
  // Narrowed: whether each row matches, and the rows that show, in order.
  std::vector<unsigned char> matches;
  position_list shown;

  // A join's rows and where they went, kept from join to join: rows join a page at a time.
  std::vector<std::uint32_t> batch;
  std::vector<std::size_t> joined;
};

// Where a position from before a join stands after it, given the join's result.
std::size_t moved(std::size_t position, const std::vector<std::size_t>& joined);

// -- keys for the common orders --

// By the number a text starts with (after spaces), however long; texts without one after
// every text with one.
void append_number_key(std::string_view text, std::string& key);
// Set flags first.
void append_flag_key(bool set, std::string& key);

}  // namespace gui
