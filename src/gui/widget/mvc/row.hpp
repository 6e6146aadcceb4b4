#pragma once
// The toolkit's rows are the application's row record: one archive entry or combo box item.

#include "any/row.hpp"

namespace gui {

using ::row;

}  // namespace gui
