#pragma once
// The bytes of the state file "gui_state": 32-bit little-endian integers, strings as their
// length and bytes, no header. In order: the marks, the entry list's rows, the selected row,
// the title filter, the selected indexes of the difficulty, platform, language and type
// filters, and then the main window's placement: x, y, width and height, and one byte, 1 when
// maximized. The placement came last and later: files from before end with the filters, and
// a reader that knows only the items before it stops there and leaves it unread. After the
// placement, and only while the list is sorted, came later still: the key of the column it is
// sorted by, as a string, and one byte, 1 when the order is descending. A reader of the
// placement's age reads the placement and leaves the rest, so it shows the list in the site's
// order; the rows and the selected row are the site's order in every file.
//
// The texts of marks and rows (the site's links and names) are written as HTML text in
// Windows-1252 (site/html_text.hpp): the code page's characters as their bytes, "&" as
// "&amp;", every other character as a character reference. That is what files held before
// the program read pages as Unicode (a Windows-1252 page's own bytes, references included),
// so files of either age read alike, and a program of that age shows a newer file's names
// as it showed them itself. Keys and the title filter (the edit box's ANSI text) are bytes.

#include <cstdint>
#include <istream>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "any/row.hpp"

// Field value tags: 1 a text, 2 a flag; 0 marks a value of any other kind, stored with no
// payload, which a reader takes as an empty value.
enum value_tag : int { tag_other = 0, tag_string = 1, tag_bool = 2 };

// The main window's restored (not maximized) rectangle, in the coordinates that
// GetWindowPlacement gives, and whether it is maximized.
struct window_placement {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool maximized = false;
};

// What a window could have been: sides of 32 to 32767 pixels, corners within 32767 of the
// origin. Anything else in a file is damage.
bool plausible(const window_placement& p);

// The entry list's sort: the key of its column, and which way.
struct list_sort {
  std::string column;
  bool descending = false;
};

struct gui_state_data {
  std::map<std::string, bool> cracked_urls;
  std::vector<row> rows;
  int selected = -1;
  std::string title;
  // difficulty, platform, language, type
  int filters[4] = {-1, -1, -1, -1};
  // Written only when present.
  std::optional<window_placement> placement;
  // Written only when present, and only after a placement.
  std::optional<list_sort> sort;
};

void write_int(std::ostream& out, int value);
void write_string(std::ostream& out, std::string_view text);
void write_value(std::ostream& out, const any& value);
void write_value(std::ostream& out, const row::const_field& value);
void write_gui_state(std::ostream& out, const gui_state_data& state);

// What a reader made of a file: every item that was read whole. Reading stops at the first
// failed read, at a length beyond what is left of the file, at a count that the rest of the
// file cannot hold, or where what the reading holds beside the rows' own blocks (its buffer
// and working storage, the marks, the title, the list's places) would pass
// `held_per_file_byte` times the file's size and `allowance` bytes more; so a cut, damaged
// or hostile file gives what came before the damage, and never takes much more memory than
// its own size. The rows' blocks are what the list keeps, at most a few bytes more than the
// file's for each of them.
struct gui_state_read {
  std::map<std::string, bool> cracked_urls;
  std::vector<row> rows;
  std::optional<int> selected;
  std::optional<std::string> title;
  std::optional<int> filters[4];
  // Only a whole and plausible one; a flag byte other than 0 or 1 is damage as well.
  std::optional<window_placement> placement;
  // Only a whole one after a whole placement; a byte other than 0 or 1 is damage.
  std::optional<list_sort> sort;
};

constexpr std::uint64_t held_per_file_byte = 3;
// Room for the reader's own fixed needs and, whatever else the file holds, for the marks of
// an archive of some twenty thousand entries (a mark takes a node of the map, some 100
// bytes, where the file keeps its url and a byte).
constexpr std::uint64_t read_allowance = 1024 * 1024;

gui_state_read read_gui_state(std::istream& in, std::uint64_t size, std::uint64_t allowance = read_allowance);
