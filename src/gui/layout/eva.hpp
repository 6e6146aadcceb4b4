#pragma once
// A grid layout described as a drawing: column headers, then for every row its header and one
// cell per column. Headers fix a row's or column's extent (a number of pixels, 'd' for the
// largest window starting there, 'x' for what is left); cells hold a window, nothing (' '), or
// a mark that the window beside ('-') or above/below ('|') extends over this place.
// Numbers and margins are pixels at 96 DPI: they grow with the container's DPI.
//
//   eva* l = new eva(2, 3);
//   *l << 70 << 10 << 'x'
//      << 24  << title_label << ' ' << title_edit
//      << 'x' << list        << '-' << '-';

#include <memory>
#include <vector>

namespace gui {

class wnd32;

namespace layout {

// Constructed top, right, bottom, left (clockwise, as in CSS); stored left, right, top, bottom.
// Pixels at 96 DPI.
struct margins {
  int left;
  int right;
  int top;
  int bottom;

  margins() : left(0), right(0), top(0), bottom(0) {}
  margins(int top_, int right_, int bottom_, int left_)
      : left(left_), right(right_), top(top_), bottom(bottom_) {}
};

// A container's layout, owned through std::shared_ptr<base>. The destructor is virtual so
// that the owner may be made from a plain base pointer and still destroy the whole layout.
struct base {
  gui::layout::margins margins;

  // Moves the container's windows to their places; `children` is the container's list.
  virtual void apply(const std::shared_ptr<wnd32>& container,
                     const std::vector<std::shared_ptr<wnd32>>& children) = 0;

  virtual ~base() = default;
};

class eva final : public base {
 public:
  enum direction { horizontal = 0, vertical = 1 };

  // -- cells --
  struct cell {
    virtual bool spans(int /*direction*/) const { return false; }
    virtual bool is_wnd() const { return false; }
    virtual ~cell() = default;
  };
  struct empty : cell {};
  struct horiz : cell {
    bool spans(int direction) const override { return direction == horizontal; }
  };
  struct vert : cell {
    bool spans(int direction) const override { return direction == vertical; }
  };
  struct eva_wnd : cell {
    explicit eva_wnd(std::shared_ptr<wnd32> w) : wnd(std::move(w)) {}
    bool is_wnd() const override { return true; }
    std::shared_ptr<wnd32> wnd;
  };

  using row = std::vector<std::unique_ptr<cell>>;

  // -- headers --
  struct header {
    // The extent of this row or column in pixels, given the extent `total` of the whole axis
    // and the container's `dpi`.
    virtual int size(int total, int dpi) const = 0;
    virtual char kind() const { return 0; }
    virtual ~header() = default;
  };
  using header_list = std::vector<std::unique_ptr<header>>;

  struct number : header {
    explicit number(int v) : value(v) {}
    int size(int total, int dpi) const override;
    int value;
  };
  struct d : header {
    d(bool row_header, const std::vector<row>* g, int i) : is_row(row_header), grid(g), index(i) {}
    int size(int total, int dpi) const override;
    bool is_row;
    const std::vector<row>* grid;
    int index;
  };
  struct x : header {
    explicit x(const header_list* h) : weight(1.0f), headers(h) {}
    int size(int total, int dpi) const override;
    char kind() const override { return 'x'; }
    float weight;
    const header_list* headers;
  };

  eva(int rows, int cols);
  eva(const eva&) = delete;
  eva& operator=(const eva&) = delete;

  // -- the description, one item at a time --
  eva& operator<<(const char& c);
  eva& operator<<(const int& n);
  // Any window object: a control's pointer converts to its root class here.
  eva& operator<<(const std::shared_ptr<wnd32>& w);

  void apply(const std::shared_ptr<wnd32>& container,
             const std::vector<std::shared_ptr<wnd32>>& children) override;

  std::vector<row> grid;
  header_list row_headers;
  header_list col_headers;
  int row_count;
  int col_count;

 private:
  enum class place { col_header, cell, row_header };
  place next_place() const;
  const cell* at(int r, int c) const;
};

}  // namespace layout
}  // namespace gui
