#pragma once
// The bytes of the state file "gui_state": 32-bit little-endian integers, strings as their
// length and bytes, no header. In order: the marks, the entry list's rows, the selected row,
// the title filter, and the selected indexes of the difficulty, platform, language and type
// filters.

#include <cstdint>
#include <istream>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "any/row.hpp"

// Field value tags: 1 a text, 2 a flag; 0 marks a value of any other kind, stored with no
// payload, which a reader takes as an empty value.
enum value_tag : int { tag_other = 0, tag_string = 1, tag_bool = 2 };

struct gui_state_data {
  std::map<std::string, bool> cracked_urls;
  std::vector<row> rows;
  int selected = -1;
  std::string title;
  // difficulty, platform, language, type
  int filters[4] = {-1, -1, -1, -1};
};

void write_int(std::ostream& out, int value);
void write_string(std::ostream& out, const std::string& text);
void write_value(std::ostream& out, const any& value);
void write_gui_state(std::ostream& out, const gui_state_data& state);

// What a reader made of a file: every item that was read whole. Reading stops at the first
// failed read, at a length beyond what is left of the file, or at a count that the rest of
// the file cannot hold, so a cut or damaged file gives what came before the damage, and
// nothing is ever allocated beyond the file's own size.
struct gui_state_read {
  std::map<std::string, bool> cracked_urls;
  std::vector<row> rows;
  std::optional<int> selected;
  std::optional<std::string> title;
  std::optional<int> filters[4];
};

gui_state_read read_gui_state(std::istream& in, std::uint64_t size);
