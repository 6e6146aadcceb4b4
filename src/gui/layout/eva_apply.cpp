// The computation: header extents and every window's rectangle, recomputed on each call.

#include <cstddef>

#include "gui/base/dpi.hpp"
#include "gui/base/wnd_base.hpp"
#include "gui/layout/eva.hpp"

namespace gui {
namespace layout {

namespace {

// The sum of the extents of headers a to b (inclusive) on an axis of extent `total`. A short
// description has fewer headers than places; the missing ones are 0 wide.
int extent(const eva::header_list& headers, int a, int b, int total, int dpi) {
  int sum = 0;
  for (int k = a; k <= b; ++k)
    if (k >= 0 && static_cast<std::size_t>(k) < headers.size())
      sum += headers[static_cast<std::size_t>(k)]->size(total, dpi);
  return sum;
}

}  // namespace

int eva::number::size(int /*total*/, int dpi) const { return scale(value, dpi); }

// Only windows that start here count: a window reaching in over '-' or '|' does not.
// Windows are measured as they are, in the container's pixels.
int eva::d::size(int /*total*/, int /*dpi*/) const {
  int largest = 0;
  auto consider = [&](const std::unique_ptr<cell>& c) {
    if (!c || !c->is_wnd()) return;
    const std::shared_ptr<wnd32>& w = static_cast<const eva_wnd&>(*c).wnd;
    if (!w) return;
    const gui::rect r = w->rect.get();
    const int extent_here = is_row ? r.height : r.width;
    if (extent_here > largest) largest = extent_here;
  };
  if (is_row) {
    if (index >= 0 && static_cast<std::size_t>(index) < grid->size())
      for (const auto& c : (*grid)[static_cast<std::size_t>(index)]) consider(c);
  } else {
    for (const auto& cells : *grid)
      if (index >= 0 && static_cast<std::size_t>(index) < cells.size())
        consider(cells[static_cast<std::size_t>(index)]);
  }
  return largest;
}

// Every 'x' on an axis gets the whole remainder; the axis is meant to have one.
int eva::x::size(int total, int dpi) const {
  int fixed = 0;
  for (const auto& h : *headers)
    if (h->kind() != 'x') fixed += h->size(total, dpi);
  return static_cast<int>(static_cast<float>(total - fixed) * weight);
}

void eva::apply(const std::shared_ptr<wnd32>& container,
                const std::vector<std::shared_ptr<wnd32>>& /*children*/) {
  const gui::rect client = container->client_rect.get();
  const int dpi = dpi_of(container->hwnd);
  const int left = scale(margins.left, dpi), right = scale(margins.right, dpi);
  const int top = scale(margins.top, dpi), bottom = scale(margins.bottom, dpi);
  const int content_x = client.x + left;
  const int content_y = client.y + top;
  const int content_w = client.width - left - right;
  const int content_h = client.height - top - bottom;

  for (int i = 0; i < row_count; ++i) {
    for (int j = 0; j < col_count; ++j) {
      const cell* c = at(i, j);
      if (!c || !c->is_wnd()) continue;
      const std::shared_ptr<wnd32>& w = static_cast<const eva_wnd*>(c)->wnd;
      if (!w) continue;

      int cs = j, ce = j;
      while (cs > 0 && at(i, cs - 1) && at(i, cs - 1)->spans(horizontal)) --cs;
      while (ce < col_count - 1 && at(i, ce + 1) && at(i, ce + 1)->spans(horizontal)) ++ce;
      int rs = i, re = i;
      while (rs > 0 && at(rs - 1, j) && at(rs - 1, j)->spans(vertical)) --rs;
      while (re < row_count - 1 && at(re + 1, j) && at(re + 1, j)->spans(vertical)) ++re;

      gui::rect r;
      r.x = content_x + (cs == 0 ? 0 : extent(col_headers, 0, cs - 1, content_w, dpi));
      r.width = extent(col_headers, cs, ce, content_w, dpi);
      r.y = content_y + (rs == 0 ? 0 : extent(row_headers, 0, rs - 1, content_h, dpi));
      r.height = extent(row_headers, rs, re, content_h, dpi);
      w->rect.set(r);
    }
  }
}

}  // namespace layout
}  // namespace gui
