#pragma once
// One refresh, on the worker thread: the first page for the filters taken when it started,
// then the rest over up to `options_in_use.connections` keep-alive connections at once. The
// window thread takes the pages over in the site's order (rows, progress) and, at the end,
// returns the controller to idle.

#include <string>
#include <vector>

#include "any/row.hpp"
#include "site/form_encoding.hpp"

struct refresh_state;

// The filter controls as the site's ids; window thread.
archive_filters read_filters();

// The worker's body: fetches the first page, then the others over several connections, and
// always hands the end of the refresh to the window thread after every page. A connection
// that fails has its page asked for once more on another; a page that fails twice ends the
// refresh after the pages before it. The failure that ended it is written to standard output;
// nothing leaves it.
void run_refresh(refresh_state& owner);

// On the window thread: the rows join the list and the progress bar counts `received` pages,
// unless the refresh was cancelled or is not the current one. The first page also sets the
// bar's range from the result count.
void show_page(refresh_state& owner, unsigned refresh, std::vector<row>& rows, int received, bool first,
               int count);
