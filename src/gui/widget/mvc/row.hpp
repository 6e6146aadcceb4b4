#pragma once
// A row record: one archive entry or combo box item, its fields by name.

#include <map>
#include <string>

#include "any/any.hpp"

namespace gui {

using row = std::map<std::string, any>;

}  // namespace gui
