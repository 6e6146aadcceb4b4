#include "gui/widget/mvc/position_list.hpp"

namespace gui {

void position_list::clear() {
  blocks.clear();
  starts.clear();
  total = 0;
}

void position_list::assign(const std::vector<std::uint32_t>& rows) {
  clear();
  // Half full, so that rows put in later split few of them.
  const std::size_t fill = most / 2;
  for (std::size_t at = 0; at < rows.size(); at += fill) {
    const std::size_t end = std::min(rows.size(), at + fill);
    starts.push_back(at);
    blocks.emplace_back(rows.begin() + static_cast<std::ptrdiff_t>(at), rows.begin() + static_cast<std::ptrdiff_t>(end));
  }
  total = rows.size();
}

void position_list::push_back(std::uint32_t row) { insert(total, row); }

void position_list::insert(std::size_t position, std::uint32_t row) {
  if (blocks.empty()) {
    blocks.push_back({row});
    starts.push_back(0);
    total = 1;
    return;
  }
  const std::size_t b = position == total ? blocks.size() - 1 : block_of(position);
  std::vector<std::uint32_t>& block = blocks[b];
  block.insert(block.begin() + static_cast<std::ptrdiff_t>(position - starts[b]), row);
  ++total;
  for (std::size_t later = b + 1; later < starts.size(); ++later) ++starts[later];
  if (block.size() <= most) return;
  const std::size_t half = block.size() / 2;
  std::vector<std::uint32_t> second(block.begin() + static_cast<std::ptrdiff_t>(half), block.end());
  block.resize(half);
  const std::size_t second_start = starts[b] + half;
  blocks.insert(blocks.begin() + static_cast<std::ptrdiff_t>(b + 1), std::move(second));
  starts.insert(starts.begin() + static_cast<std::ptrdiff_t>(b + 1), second_start);
}

std::vector<std::uint32_t> position_list::flat() const {
  std::vector<std::uint32_t> rows;
  rows.reserve(total);
  for_each([&rows](std::uint32_t r) { rows.push_back(r); });
  return rows;
}

// The block of the last first position at or before `position`.
std::size_t position_list::block_of(std::size_t position) const {
  return static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), position) - starts.begin()) - 1;
}

}  // namespace gui
