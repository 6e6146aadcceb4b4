#pragma once
// One refresh, on the worker thread: every page of results for the filters taken when it
// started, posted to the site on one keep-alive connection. The window thread takes each
// page over (rows, progress) and, at the end, returns the controller to idle.

#include <string>
#include <vector>

#include "any/row.hpp"
#include "site/form_encoding.hpp"
#include "net/http_message.hpp"

struct refresh_state;

struct page_query {
  refresh_state* owner;
  // The refresh's own request fields; the first reply's cookie is added here.
  http_headers* fields;
  // Read once on the window thread when the refresh started: every page asks for the same
  // result set, whatever the user changes meanwhile.
  const archive_filters* filters;
  // The refresh the pages belong to; the window thread shows only the current one's.
  unsigned refresh;
  // The first thing that went wrong without ending the exchange (a reply other than 200, no
  // result count), for the status line; empty while nothing did.
  std::string problem;
};

// The filter controls as the site's ids; window thread.
archive_filters read_filters();

// The worker's body: connects, fetches the first page, then the rest, and always hands the
// end of the refresh to the window thread. Every failure is written to standard output;
// nothing leaves it.
void run_refresh(refresh_state& owner);

// Requests the page whose first entry is `start` and hands its entries to the window thread;
// for the first page returns the site's result count (0 when the page has none).
int fetch_page(page_query& query, int start, bool first);

// On the window thread: the page's rows join the list and the progress bar moves on, unless
// the refresh was cancelled or is not the current one. The first page also sets the bar's
// range from the result count.
void show_page(refresh_state& owner, unsigned refresh, std::vector<row>& rows, bool first, int count);
