#pragma once
// One refresh, on the worker thread: every page of results for the current filters, posted
// to the site on one keep-alive connection and appended to the entry list.

#include <string>

#include "net/http_message.hpp"

struct refresh_state;

struct page_query {
  refresh_state* owner;
  // The refresh's own request fields; the first reply's cookie is added here.
  http_headers* fields;
  // The first thing that went wrong without ending the exchange (a reply other than 200, no
  // result count), for the status line; empty while nothing did.
  std::string problem;
};

// The worker's body: connects, fetches the first page, then the rest, stepping the progress
// bar, and always returns the controller to idle. Every failure is written to standard
// output; nothing leaves it.
void run_refresh(refresh_state& owner);

// Requests the page whose first entry is `start` and appends its entries to the list; for
// the first page returns the site's result count (0 when the page has none).
int fetch_page(page_query& query, int start, bool first);
