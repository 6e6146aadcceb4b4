#pragma once
// Columns of a list and the formatters that turn one field of a row into a cell's text.

#include <functional>
#include <sstream>
#include <string>

#include "gui/base/assertion.hpp"
#include "gui/widget/mvc/observable_vector.hpp"
#include "gui/widget/mvc/row.hpp"

namespace gui {

struct lv_column {
  using formatter_t = std::function<std::string(row, std::string)>;
  // Appends the row's sort key to the text given: rows sort by their keys compared as bytes
  // (gui/widget/mvc/row_view.hpp).
  using sort_key_t = std::function<void(const row&, std::string&)>;

  lv_column(std::string title_, std::string key_, int width_, formatter_t formatter_,
            sort_key_t sort_key_ = sort_key_t())
      : title(std::move(title_)), key(std::move(key_)), width(width_),
        formatter(std::move(formatter_)), sort_key(std::move(sort_key_)) {}

  std::string title;
  std::string key;
  int width;  // pixels at 96 DPI
  formatter_t formatter;
  // Empty for a column that does not sort.
  sort_key_t sort_key;
};

// The position of the first column showing `key`, or -1.
int index_of_key(const observable_vector<lv_column>& columns, const std::string& key);

// The field `key` of `r`, written with a stream's default formatting. The field must hold a
// `_t`: a column over a field of another type is a programming error.
template <typename _t>
std::string format_field(const row& r, const std::string& key) {
  const row::const_field val = r.at(key);
  VEX_ASSERT(val.isA<_t>());
  std::stringstream out;
  out << val.as<_t>();
  return out.str();
}

// A flag reads "Yes" or "No", never an empty text.
template <>
std::string format_field<bool>(const row& r, const std::string& key);

}  // namespace gui
