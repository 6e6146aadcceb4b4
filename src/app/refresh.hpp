#pragma once
// One refresh, on the worker thread: the first page for the filters taken when it started,
// then the rest over several keep-alive connections at once. It works from a snapshot the
// window thread took before starting it and tells what happens through a sink; it reads and
// changes nothing of the window, so it runs without one.

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "any/row.hpp"
#include "net/http.hpp"
#include "site/archive_address.hpp"
#include "site/form_encoding.hpp"

// What a refresh works from, taken on the window thread before it starts.
struct refresh_request {
  archive_filters filters;
  archive_address archive;
  // One client for each connection the refresh may use at once; the first one asks for the
  // first page. Their owner keeps them, and closes them all to cancel.
  std::vector<net::http*> clients;
  // Set by a cancel; looked at before every connect and between pages, so that a cancel that
  // comes before a connection exists, which closing the clients cannot reach, still ends the
  // refresh.
  const std::atomic<bool>* cancelled = nullptr;
};

// Rows that can join the list, in the site's order after those handed over before, and how
// far the refresh got. Several pages may come as one, and a sink may join hand-overs: the
// rows follow one another, `received` only grows, and `count` comes with the first.
struct refresh_pages {
  std::vector<row> rows;
  // Replies received so far, the first included; they arrive in any order, so this counts
  // them, not the pages listed.
  int received = 0;
  // With the first page only: the archive's result count (0 when the page had none).
  std::optional<int> count;
};

// Pages on their way to the thread that shows them, joined while they wait: the refresh's
// threads add, that thread takes everything added so far at once. So a sink hands the window
// thread one batch of pages for all that came meanwhile, not a task for each page. Any thread.
class pages_in_transit {
 public:
  // Joins `pages` to those waiting; true when none were waiting, so that whoever takes them
  // must be told (a task posted), false when one already is.
  bool add(refresh_pages pages);
  // Everything added since the last take, as one hand-over.
  refresh_pages take();

 private:
  std::mutex lock;
  bool any = false;
  refresh_pages waiting;
};

// How a refresh ended, for the status line.
struct refresh_outcome {
  // Why not every entry was listed (a failure, a reply other than 200, a page without a
  // result count), in words for the status line; empty when nothing went wrong.
  std::string problem;
  // A cancel ended it.
  bool cancelled = false;
};

// Where a refresh tells what happens. Called from the refresh's threads, one at a time and in
// the site's order: `pages` as rows can join the list, then `ended` once, after every page.
struct refresh_sink {
  std::function<void(refresh_pages)> pages;
  std::function<void(refresh_outcome)> ended;
};

// The worker's body: fetches the first page, then the others over up to as many connections
// as `request` has clients. A connection that fails has its page asked for once more on
// another (the first page not after a time-out); a page that fails twice ends the refresh
// after the pages before it. Every request after the first carries the cookies the replies
// before it set. The failure that ended it is written to standard output; no exception
// leaves it.
void run_refresh(refresh_request request, refresh_sink sink);
