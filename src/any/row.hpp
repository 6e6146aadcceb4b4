#pragma once
// A row record: one archive entry or combo box item, its fields by name. Copying a row
// copies every value.

#include <map>
#include <string>

#include "any/any.hpp"

using row = std::map<std::string, any>;
