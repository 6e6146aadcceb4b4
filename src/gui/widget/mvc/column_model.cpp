#include "gui/widget/mvc/column_model.hpp"

namespace gui {

int index_of_key(const observable_vector<lv_column>& columns, const std::string& key) {
  for (std::size_t i = 0; i < columns.size(); ++i)
    if (columns[i].key == key) return static_cast<int>(i);
  return -1;
}

template <>
std::string format_field<bool>(const row& r, const std::string& key) {
  const row::const_field val = r.at(key);
  VEX_ASSERT(val.isA<bool>());
  return val.as<bool>() ? "Yes" : "No";
}

}  // namespace gui
