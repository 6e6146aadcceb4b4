#pragma once
// The program's state file, read and written independently of the program: little-endian
// 32-bit integers, strings as a length and their bytes, no header. In order: the marks
// (url, one byte each), the rows (each a count of key and tagged-value pairs), the list's
// selected row, the title filter, four filter selections, and in files written since it
// came, the main window's placement, and after it, while the list is sorted, the column's key
// and a byte, 1 when descending.

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace e2e {

struct state_value {
  int tag = 0;  // 1 text, 2 flag; any other tag carries no payload
  std::string text;
  bool flag = false;
};

using state_row = std::map<std::string, state_value>;

struct state_file {
  std::map<std::string, bool> marks;
  std::vector<state_row> rows;
  int selected = -1;
  std::string title;
  int filters[4] = {-1, -1, -1, -1};  // difficulty, platform, language, type
  // x, y, width, height and the maximized byte; written only when `has_placement`.
  bool has_placement = false;
  int placement[4] = {0, 0, 0, 0};
  unsigned char maximized = 0;
  // Written only after a placement, when `has_sort`.
  bool has_sort = false;
  std::string sort_column;
  bool sort_descending = false;

  // Byte offsets where the marks end and where each row ends, for cutting a file short at
  // known places.
  std::size_t marks_end = 0;
  std::vector<std::size_t> row_ends;
};

// Reads `bytes` strictly: false (with `error`) if anything is missing, a length runs past
// the end, or bytes are left over (other than a whole placement and a whole sort).
bool parse_state(const std::string& bytes, state_file& out, std::string& error);
std::string write_state(const state_file& s);

// A row as the page parser makes it.
state_row entry_row(const std::string& url, const std::string& name, const std::string& difficulty,
                    bool solved);

}  // namespace e2e
