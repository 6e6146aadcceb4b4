#pragma once
// Plain geometry records shared by the toolkit and the grid layout.

namespace gui {

struct pos {
  int x;
  int y;
};

struct size {
  int width;
  int height;
};

// A position and an extent, not two corners.
struct rect {
  int x;
  int y;
  int width;
  int height;
};

}  // namespace gui
