// The description grammar: which place the next item takes, and what it becomes there.

#include "gui/layout/eva.hpp"

#include "gui/base/assertion.hpp"

namespace gui {
namespace layout {

eva::eva(int rows, int cols) : row_count(rows), col_count(cols) {}

// The counts alone decide: first the column headers, then per row its header and its cells.
eva::place eva::next_place() const {
  if (col_headers.size() < static_cast<std::size_t>(col_count)) return place::col_header;
  if (!row_headers.empty() && grid.back().size() < static_cast<std::size_t>(col_count))
    return place::cell;
  return place::row_header;
}

eva& eva::operator<<(const char& c) {
  const place p = next_place();
  if (p == place::cell) {
    switch (c) {
      case ' ': grid.back().emplace_back(new empty); break;
      case '-': grid.back().emplace_back(new horiz); break;
      case '|': grid.back().emplace_back(new vert); break;
      default: VEX_ASSERT(!"create NULL cell in eva layout");
    }
    return *this;
  }
  const bool is_row = p == place::row_header;
  header_list& axis = is_row ? row_headers : col_headers;
  switch (c) {
    case 'd': axis.emplace_back(new d(is_row, &grid, static_cast<int>(axis.size()))); break;
    case 'x': axis.emplace_back(new x(&axis)); break;
    default: VEX_ASSERT(!"creating unknown eva header");
  }
  if (is_row) grid.emplace_back();
  return *this;
}

eva& eva::operator<<(const int& n) {
  switch (next_place()) {
    case place::col_header: col_headers.emplace_back(new number(n)); break;
    case place::row_header:
      row_headers.emplace_back(new number(n));
      grid.emplace_back();
      break;
    // A number has no meaning as a cell; taken silently it would leave a hole in the grid.
    case place::cell: VEX_ASSERT(!"create NULL cell in eva layout");
  }
  return *this;
}

eva& eva::operator<<(const std::shared_ptr<wnd32>& w) {
  VEX_ASSERT(next_place() == place::cell && "cannot create eva header with wnd_ptr");
  grid.back().emplace_back(new eva_wnd(w));
  return *this;
}

// A description short of rows or cells leaves places that count as empty.
const eva::cell* eva::at(int r, int c) const {
  if (r < 0 || c < 0 || static_cast<std::size_t>(r) >= grid.size()) return nullptr;
  const row& cells = grid[static_cast<std::size_t>(r)];
  if (static_cast<std::size_t>(c) >= cells.size()) return nullptr;
  return cells[static_cast<std::size_t>(c)].get();
}

}  // namespace layout
}  // namespace gui
