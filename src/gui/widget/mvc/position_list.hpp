#pragma once
// A sequence of row indexes in blocks, for a view's positions: a row put in the middle moves
// at most one block's rows, never the rest of the list, and a position is found through the
// blocks' first positions. A list of a hundred thousand rows that take their places one page
// at a time moves a few kilobytes for each row instead of the whole list for each page.
//
// Portable; one thread.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace gui {

class position_list {
 public:
  // Blocks split in two once they hold more than `block_size` rows.
  explicit position_list(std::size_t block_size = 1024) : most(block_size < 2 ? 2 : block_size) {}

  std::size_t size() const { return total; }
  std::uint32_t operator[](std::size_t position) const {
    const std::size_t b = block_of(position);
    return blocks[b][position - starts[b]];
  }

  void clear();
  // The rows in this order, and nothing else.
  void assign(const std::vector<std::uint32_t>& rows);
  void push_back(std::uint32_t row);
  // `row` at `position` (at most `size()`); those from there on move on by one.
  void insert(std::size_t position, std::uint32_t row);

  // Every row in order.
  template <typename F>
  void for_each(F f) const {
    for (const auto& block : blocks)
      for (std::uint32_t row : block) f(row);
  }
  std::vector<std::uint32_t> flat() const;

  // The first position whose row `after` holds for (`after` false for every row before it,
  // true from there on, as for std::upper_bound); `size()` when there is none.
  template <typename After>
  std::size_t first_after(After after) const {
    std::size_t low = 0, high = blocks.size();
    while (low < high) {
      const std::size_t mid = (low + high) / 2;
      if (after(blocks[mid].back())) high = mid;
      else low = mid + 1;
    }
    if (low == blocks.size()) return total;
    const std::vector<std::uint32_t>& block = blocks[low];
    const auto at = std::partition_point(block.begin(), block.end(), [&after](std::uint32_t r) { return !after(r); });
    return starts[low] + static_cast<std::size_t>(at - block.begin());
  }

 private:
  std::size_t block_of(std::size_t position) const;

  std::size_t most;
  std::vector<std::vector<std::uint32_t>> blocks;
  // The position of each block's first row.
  std::vector<std::size_t> starts;
  std::size_t total = 0;
};

}  // namespace gui
