// The refresh flow on the worker's threads: the first page, the others over several
// connections, and what ended it.
//
// Sections:
//   -- one page --
//   -- the pages after the first, over several connections --
//   -- the first page and the end --
//   -- hand-overs joined on their way --

#include "app/refresh.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <exception>
#include <iostream>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include "app/page_schedule.hpp"
#include "app/status_text.hpp"
#include "net/certificate_refused.hpp"
#include "net/content_coding.hpp"
#include "net/cookie_jar.hpp"
#include "net/http_fields.hpp"
#include "net/net_exception.hpp"
#include "site/archive_parser.hpp"
#include "site/archive_site.hpp"
#include "site/charset.hpp"
#include "site/result_count.hpp"

namespace {

// Ends the refresh with a reason for the status line, when a reply says the archive is not
// where the program looks for it.
struct refresh_stopped : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// What ended a refresh: the exception's text for standard output, and the reason for the
// status line.
struct ending {
  std::string failure;
  std::string reason;
};

// Inside a handler: what the exception being handled ended the refresh with, on the way to
// `archive`. Every reason a failure gives the status line is chosen here.
ending ending_of_current(const archive_address& archive) {
  try {
    throw;
  } catch (const refresh_stopped& e) {
    return {e.what(), e.what()};
  } catch (const net::certificate_refused& e) {
    return {e.what(), certificate_failure(e.problem)};
  } catch (const net::net_exception& e) {
    return {e.what(), network_failure(e, archive.host)};
  } catch (const std::exception& e) {
    return {e.what(), unexpected_failure};
  } catch (...) {
    return {"refresh failed", unexpected_failure};
  }
}

// What the connections of one refresh share. `fields` is fixed before the first request;
// everything after `lock` is guarded by it.
struct refresh_run {
  refresh_run(refresh_request request_, refresh_sink sink_)
      : request(std::move(request_)), sink(std::move(sink_)) {}

  bool cancelled() const { return *request.cancelled; }

  const refresh_request request;
  const refresh_sink sink;
  http_headers fields;

  std::mutex lock;
  // What the site's replies set, as a browser keeps it for the site: every reply of this
  // refresh adds to it, whichever connection brought it, and every request after the first
  // sends it.
  net::cookie_jar cookies;
  // A page came in, failed or was given up: a connection waiting for one may find it.
  std::condition_variable changed;
  std::optional<page_schedule> schedule;
  // The first thing that went wrong without ending the refresh (a reply other than 200, no
  // result count), then the reason it ended early, for the status line; and the text of the
  // failure that ended it, for standard output.
  std::string problem;
  std::string failure;
};

void stop_if_cancelled(const refresh_run& run) {
  if (run.cancelled()) throw net::net_exception(net::error_kind::cancelled, "refresh cancelled");
}

// -- one page --

// Every connection of a refresh is opened here.
void open_connection(const refresh_run& run, net::http& client) {
  const archive_address& archive = run.request.archive;
  client.set_address(archive.host, archive.port, archive.secure());
  client.connect();
}

// A request's fields, with the cookies the replies so far set. With `run.lock` held: taken
// together with the page to ask for, as the reply's cookies are kept together with its rows,
// so that each page takes the lock once on its way (a lock the connections wait for costs
// them system calls).
http_headers request_fields(const refresh_run& run) {
  http_headers fields = run.fields;
  const std::string cookies = run.cookies.header();
  if (!cookies.empty()) fields["Cookie"] = cookies;
  return fields;
}

// The reply's cookies go into the jar. With `run.lock` held.
void keep_cookies(refresh_run& run, const http_resp& response) {
  run.cookies.take(response.cookies, static_cast<std::int64_t>(std::time(nullptr)));
}

http_resp ask(const refresh_run& run, net::http& client, int page, const http_headers& fields) {
  client.post("/archive/", archive_form_body(run.request.filters, page * page_size), fields);
  return client.read_response();
}

// The reply's text, read once in the character set it was sent in. A reply that says the
// archive is elsewhere ends the refresh; where it points goes to the status line and standard
// output, so only as much of it as a diagnostic shows, escaped.
std::string page_of(const refresh_run& run, const http_resp& response) {
  const std::string location = net::printable(net::field_of(response.headers, "Location"));
  const std::string moved = moved_failure(response.status_line, location, run.request.archive);
  if (!moved.empty()) throw refresh_stopped(moved);
  return page_text(response.body, net::field_of(response.headers, "Content-Type"));
}

// Hands rows on; with `run.lock` held, so that pages go on in the order the schedule gives
// them.
void hand_over(refresh_run& run, std::vector<row> rows, std::optional<int> count) {
  const int received = run.schedule ? run.schedule->received() : 1;
  run.sink.pages(refresh_pages{std::move(rows), received, count});
}

// The refresh ends early; the first failure says why. With `run.lock` held.
void end_early(refresh_run& run, const ending& why) {
  if (!run.failure.empty()) return;
  run.failure = why.failure;
  run.problem = why.reason;
}

// -- the pages after the first, over several connections --

// How long a connection with nothing to ask for, while the pages asked for run ahead of a
// missing one, stays open waiting for it.
constexpr std::chrono::milliseconds idle_connection_kept(net::wait_slice_ms);

// One connection's share of the pages after the first, until none is left to ask for.
// `connected`: the connection of the first page is still open on `client`.
void fetch_pages(refresh_run& run, net::http& client, bool connected) {
  // Once the site closed a connection that had answered, each page goes on a new one.
  bool reconnect_each = false;
  // Whether this connection, still open, has nothing to ask for while the pages asked for run
  // ahead of a missing one, and since when.
  bool waiting = false;
  std::chrono::steady_clock::time_point waiting_since;
  std::unique_lock<std::mutex> hold(run.lock);
  while (!run.cancelled()) {
    const std::optional<page_schedule::request> asked = run.schedule->next();
    if (!asked) {
      if (run.schedule->over()) break;
      const auto now = std::chrono::steady_clock::now();
      const bool waits_for_room = connected && run.schedule->waits_for_room();
      if (waits_for_room && !waiting) waiting_since = now;
      waiting = waits_for_room;
      // The missing page comes within a slice unless the site holds it back until this
      // connection goes; dropping and making a connection again costs more than a page.
      const bool keep = waiting && now - waiting_since < idle_connection_kept;
      if (connected && !keep) {
        // Nothing to ask for now: a site that serves one connection at a time gets on with
        // the others meanwhile.
        hold.unlock();
        client.disconnect();
        connected = false;
        hold.lock();
      } else {
        // A cancel wakes nobody: look at it every slice.
        run.changed.wait_for(hold, keep ? idle_connection_kept - (now - waiting_since)
                                        : std::chrono::milliseconds(net::wait_slice_ms));
      }
      continue;
    }
    waiting = false;
    const http_headers fields = request_fields(run);
    hold.unlock();
    const int page = asked->page;
    bool new_connection = false;
    try {
      // A page asked for again goes on a connection opened for it: a kept one may be the
      // next the site closed.
      if (connected && (asked->again || reconnect_each)) client.disconnect();
      if (!connected || asked->again || reconnect_each) {
        connected = new_connection = true;
        open_connection(run, client);
      }
      const http_resp response = ask(run, client, page, fields);
      if (net::closes_after(response)) {
        client.disconnect();
        connected = false;
      }
      // Read like any other (its body simply yields no entries), but the status line says so.
      const std::string problem = reply_failure(response.status_line);
      std::vector<row> rows = parse_archive_page(page_of(run, response));
      hold.lock();
      keep_cookies(run, response);
      if (run.problem.empty()) run.problem = problem;
      hand_over(run, run.schedule->arrived(page, std::move(rows)), std::nullopt);
    } catch (const net::certificate_refused&) {
      // Another connection would meet the same certificate.
      if (!hold.owns_lock()) hold.lock();
      run.schedule->end_at(page);
      end_early(run, ending_of_current(run.request.archive));
    } catch (const net::net_exception& e) {
      client.disconnect();
      connected = false;
      if (!new_connection) reconnect_each = true;
      if (!hold.owns_lock()) hold.lock();
      if (run.cancelled()) break;
      const bool turned_away = new_connection && !timed_out(e);
      const page_schedule::after_failure after = run.schedule->failed(page, turned_away);
      if (after == page_schedule::after_failure::end) end_early(run, ending_of_current(run.request.archive));
      if (after == page_schedule::after_failure::leave) {
        run.changed.notify_all();
        break;
      }
    } catch (const std::exception&) {
      // A reply that says the archive moved, or anything unforeseen.
      if (!hold.owns_lock()) hold.lock();
      run.schedule->end_at(page);
      end_early(run, ending_of_current(run.request.archive));
    }
    // Ended early with pages past the end still on their way: stop waiting for them.
    if (run.schedule->over() && run.schedule->asking() > 0)
      for (net::http* other : run.request.clients) other->close();
    run.changed.notify_all();
  }
  hold.unlock();
  client.disconnect();
}

// The pages after the first: the first page's connection and up to `clients - 1` more, one
// thread each.
void fetch_rest(refresh_run& run, int pages, bool connected) {
  const std::vector<net::http*>& clients = run.request.clients;
  const int connections = std::min(static_cast<int>(clients.size()), pages - 1);
  {
    std::lock_guard<std::mutex> hold(run.lock);
    run.schedule.emplace(pages, connections);
  }
  std::vector<std::thread> others;
  for (int i = 1; i < connections; ++i) {
    try {
      net::http& client = *clients[static_cast<std::size_t>(i)];
      others.emplace_back(fetch_pages, std::ref(run), std::ref(client), false);
    } catch (const std::system_error&) {
      // Fewer threads, fewer connections: the others take its share.
      std::lock_guard<std::mutex> hold(run.lock);
      run.schedule->leave();
    }
  }
  fetch_pages(run, *clients[0], connected);
  for (std::thread& t : others) t.join();
}

// -- the first page and the end --

// The first page, asked for once more on a new connection if the first one fails, unless it
// failed for want of time: a site that did not answer within the time-out is reported then,
// not after as long again.
http_resp first_page(refresh_run& run, net::http& client) {
  for (int attempt = 1;; ++attempt) {
    try {
      open_connection(run, client);
      http_headers fields;
      {
        std::lock_guard<std::mutex> hold(run.lock);
        fields = request_fields(run);
      }
      return ask(run, client, 0, fields);
    } catch (const net::certificate_refused&) {
      throw;  // the same certificate again
    } catch (const net::net_exception& e) {
      client.disconnect();
      // A name without an address has none a moment later either.
      if (attempt >= page_attempts || run.cancelled() || timed_out(e) || e.kind == net::error_kind::name_not_found)
        throw;
    }
  }
}

}  // namespace

void run_refresh(refresh_request request, refresh_sink sink) {
  refresh_run run(std::move(request), std::move(sink));
  run.fields["Connection"] = "keep-alive";
  run.fields["Host"] = run.request.archive.authority();
  run.fields["Accept-Encoding"] = net::accepted_codings;
  try {
    stop_if_cancelled(run);
    net::http& client = *run.request.clients[0];
    const http_resp response = first_page(run, client);
    const std::string page = page_of(run, response);
    run.problem = reply_failure(response.status_line);
    int count = 0;
    if (std::optional<int> found = find_result_count(page)) count = *found;
    else {
      std::cout << "error resp" << std::endl;
      if (run.problem.empty()) run.problem = no_count_failure;
    }
    const bool connected = !net::closes_after(response);
    {
      std::lock_guard<std::mutex> hold(run.lock);
      keep_cookies(run, response);
      hand_over(run, parse_archive_page(page), count);
    }
    if (pages_for(count) > 1) fetch_rest(run, pages_for(count), connected);
    else client.disconnect();
  } catch (...) {
    const ending why = ending_of_current(run.request.archive);
    run.failure = why.failure;
    run.problem = why.reason;
  }
  const bool cancelled = run.cancelled();
  if (run.failure.empty() && cancelled) run.failure = "refresh cancelled";
  if (!run.failure.empty()) std::cout << run.failure << std::endl;
  // After every page of this refresh.
  run.sink.ended(refresh_outcome{std::move(run.problem), cancelled});
}

// -- hand-overs joined on their way --

bool pages_in_transit::add(refresh_pages pages) {
  std::lock_guard<std::mutex> hold(lock);
  const bool first = !any;
  any = true;
  if (first) {
    waiting = std::move(pages);
    return true;
  }
  // A join keeps the pages' promise: rows in order, `received` only growing, `count` with the
  // first.
  waiting.rows.insert(waiting.rows.end(), std::make_move_iterator(pages.rows.begin()),
                      std::make_move_iterator(pages.rows.end()));
  waiting.received = std::max(waiting.received, pages.received);
  if (pages.count) waiting.count = pages.count;
  return false;
}

refresh_pages pages_in_transit::take() {
  std::lock_guard<std::mutex> hold(lock);
  any = false;
  return std::exchange(waiting, refresh_pages{});
}
