// The refresh flow: the filters, the first page, the others over several connections, and
// what the window thread does with them.
//
// Sections:
//   -- the filters --
//   -- the pages after the first, over several connections --
//   -- the first page and the end --
//   -- on the window thread --

#include "app/refresh.hpp"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <iostream>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include "app/command_line.hpp"
#include "app/main_window.hpp"
#include "app/page_schedule.hpp"
#include "app/refresh_state.hpp"
#include "app/status_text.hpp"
#include "app/widgets.hpp"
#include "net/certificate_refused.hpp"
#include "net/http.hpp"
#include "net/net_exception.hpp"
#include "site/archive_parser.hpp"
#include "site/archive_site.hpp"
#include "site/charset.hpp"
#include "site/result_count.hpp"

namespace {

// The "id" of the box's selected item. A box without a selection (or with one outside its
// items) stands for its first item, the site's default.
std::string selected_id(gui::combo_ex& box) {
  const auto& items = box.items.elements;
  if (items.empty()) return std::string();
  const int index = box.selected.get();
  const bool inside = index >= 0 && static_cast<std::size_t>(index) < items.size();
  return items[inside ? index : 0].at("id").as<std::string>();
}

// Ends the refresh with a reason for the status line, when a reply says the archive is not
// where the program looks for it.
struct refresh_stopped : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A field of the reply, its name in any case (RFC 9110 5.1).
std::string field_of(const http_headers& fields, const std::string& name) {
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  for (const auto& f : fields)
    if (lower(f.first) == lower(name)) return f.second;
  return std::string();
}

void stop_if_cancelled(const refresh_state& owner) {
  if (owner.cancel_requested) throw net::net_exception(net::error_kind::cancelled, "refresh cancelled");
}

// While pages arrive the list and the progress bar repaint at most this often: each repaint
// (the list's scroll bar, the progress bar, which paints itself at once on every move) costs
// more than a page of rows.
constexpr unsigned repaint_ms = 200;

// The pages that hold `count` results, the last one possibly short.
int pages_for(int count) { return count / page_size + (count % page_size != 0 ? 1 : 0); }

}  // namespace

// -- the filters --

archive_filters read_filters() {
  archive_filters filters;
  filters.type = selected_id(*type_combo);
  filters.lang = selected_id(*language_combo);
  filters.platform = selected_id(*platform_combo);
  filters.difficulty = selected_id(*difficulty_combo);
  filters.sort = selected_id(*sort_combo);
  filters.title = title_edit->text.get();
  return filters;
}

// -- the pages after the first, over several connections --

namespace {

// Every connection of a refresh is opened here.
void open_connection(net::http& client) {
  client.set_address(options_in_use.archive.host, options_in_use.archive.port, options_in_use.archive.secure());
  client.connect();
}

// What the connections of one refresh share. `fields` is fixed once the first reply's cookie
// is in; everything after `lock` is guarded by it.
struct refresh_run {
  explicit refresh_run(refresh_state& owner_)
      : owner(owner_), filters(owner_.filters), refresh(owner_.refresh_id) {}

  refresh_state& owner;
  // The window thread set both before it started this thread and changes them only when it
  // starts the next one, which waits for the end posted by `run_refresh`.
  const archive_filters filters;
  const unsigned refresh;
  http_headers fields;

  std::mutex lock;
  // A page came in, failed or was given up: a connection waiting for one may find it.
  std::condition_variable changed;
  std::optional<page_schedule> schedule;
  // The first thing that went wrong without ending the refresh (a reply other than 200, no
  // result count), then the reason it ended early, for the status line; and the text of the
  // failure that ended it, for standard output.
  std::string problem;
  std::string failure;
};

// RFC 9112 9.6: a reply with "Connection: close" is the connection's last.
bool closes_after(const http_resp& response) {
  std::string value = field_of(response.headers, "Connection");
  for (char& c : value) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return value == "close";
}

// The reply's text, read once in the character set it was sent in. A reply that says the
// archive is elsewhere ends the refresh.
std::string page_of(const http_resp& response) {
  const std::string moved =
      moved_failure(response.status_line, field_of(response.headers, "Location"), options_in_use.archive);
  if (!moved.empty()) throw refresh_stopped(moved);
  return page_text(response.body, field_of(response.headers, "Content-Type"));
}

http_resp ask(const refresh_run& run, net::http& client, int page) {
  client.post("/archive/", archive_form_body(run.filters, page * page_size), run.fields);
  return client.read_response();
}

// Hands rows to the window thread; with `run.lock` held, so that pages go over in the order
// the schedule gives them. The list's rows belong to the window thread, which reads them for
// the popup menu and the state file; the page goes over without this thread waiting for it.
void hand_over(refresh_run& run, std::vector<row> rows, bool first, int count) {
  const int received = run.schedule ? run.schedule->received() : 1;
  main_window->post([&owner = run.owner, refresh = run.refresh, rows = std::move(rows), received, first,
                     count]() mutable { show_page(owner, refresh, rows, received, first, count); });
}

// The refresh ends early; the first failure says why. With `run.lock` held.
void end_early(refresh_run& run, const std::string& failure, const std::string& reason) {
  if (!run.failure.empty()) return;
  run.failure = failure;
  run.problem = reason;
}

// One connection's share of the pages after the first, until none is left to ask for.
// `connected`: the connection of the first page is still open on `client`.
void fetch_pages(refresh_run& run, net::http& client, bool connected) {
  // Once the site closed a connection that had answered, each page goes on a new one.
  bool reconnect_each = false;
  std::unique_lock<std::mutex> hold(run.lock);
  while (!run.owner.cancel_requested) {
    const std::optional<page_schedule::request> asked = run.schedule->next();
    if (!asked) {
      if (run.schedule->over()) break;
      if (connected) {
        // Nothing to ask for now: a site that serves one connection at a time gets on with
        // the others meanwhile.
        hold.unlock();
        client.disconnect();
        connected = false;
        hold.lock();
      } else {
        // A cancel wakes nobody: look at it every slice.
        run.changed.wait_for(hold, std::chrono::milliseconds(net::wait_slice_ms));
      }
      continue;
    }
    hold.unlock();
    const int page = asked->page;
    bool new_connection = false;
    try {
      // A page asked for again goes on a connection opened for it: a kept one may be the
      // next the site closed.
      if (connected && (asked->again || reconnect_each)) client.disconnect();
      if (!connected || asked->again || reconnect_each) {
        connected = new_connection = true;
        open_connection(client);
      }
      const http_resp response = ask(run, client, page);
      if (closes_after(response)) {
        client.disconnect();
        connected = false;
      }
      // Read like any other (its body simply yields no entries), but the status line says so.
      const std::string problem = reply_failure(response.status_line);
      std::vector<row> rows = parse_archive_page(page_of(response));
      hold.lock();
      if (run.problem.empty()) run.problem = problem;
      hand_over(run, run.schedule->arrived(page, std::move(rows)), false, 0);
    } catch (const refresh_stopped& e) {
      if (!hold.owns_lock()) hold.lock();
      run.schedule->end_at(page);
      end_early(run, e.what(), e.what());
    } catch (const net::certificate_refused& e) {
      // Another connection would meet the same certificate.
      if (!hold.owns_lock()) hold.lock();
      run.schedule->end_at(page);
      end_early(run, e.what(), certificate_failure(e.problem));
    } catch (const net::net_exception& e) {
      client.disconnect();
      connected = false;
      if (!new_connection) reconnect_each = true;
      if (!hold.owns_lock()) hold.lock();
      if (run.owner.cancel_requested) break;
      const bool turned_away = new_connection && !timed_out(e);
      const page_schedule::after_failure after = run.schedule->failed(page, turned_away);
      if (after == page_schedule::after_failure::end) end_early(run, e.what(), network_failure(e));
      if (after == page_schedule::after_failure::leave) {
        run.changed.notify_all();
        break;
      }
    } catch (const std::exception& e) {
      if (!hold.owns_lock()) hold.lock();
      run.schedule->end_at(page);
      end_early(run, e.what(), unexpected_failure);
    }
    // Ended early with pages past the end still on their way: stop waiting for them.
    if (run.schedule->over() && run.schedule->asking() > 0)
      for (const auto& other : run.owner.clients) other->close();
    run.changed.notify_all();
  }
  hold.unlock();
  client.disconnect();
}

// The pages after the first: the first page's connection and up to `connections - 1` more,
// one thread each.
void fetch_rest(refresh_run& run, int pages, bool connected) {
  refresh_state& owner = run.owner;
  const int connections = std::min(static_cast<int>(owner.clients.size()), pages - 1);
  {
    std::lock_guard<std::mutex> hold(run.lock);
    run.schedule.emplace(pages, connections);
  }
  std::vector<std::thread> others;
  for (int i = 1; i < connections; ++i) {
    try {
      net::http& client = *owner.clients[static_cast<std::size_t>(i)];
      others.emplace_back(fetch_pages, std::ref(run), std::ref(client), false);
    } catch (const std::system_error&) {
      // Fewer threads, fewer connections: the others take its share.
      std::lock_guard<std::mutex> hold(run.lock);
      run.schedule->leave();
    }
  }
  fetch_pages(run, *owner.clients[0], connected);
  for (std::thread& t : others) t.join();
}

// The first page, asked for once more on a new connection if the first one fails.
http_resp first_page(refresh_run& run, net::http& client) {
  for (int attempt = 1;; ++attempt) {
    try {
      open_connection(client);
      return ask(run, client, 0);
    } catch (const net::certificate_refused&) {
      throw;  // the same certificate again
    } catch (const net::net_exception&) {
      client.disconnect();
      if (attempt >= page_attempts || run.owner.cancel_requested) throw;
    }
  }
}

}  // namespace

// -- the first page and the end --

void run_refresh(refresh_state& owner) {
  refresh_run run(owner);
  run.fields["Connection"] = "keep-alive";
  run.fields["Host"] = options_in_use.archive.authority();
  try {
    stop_if_cancelled(owner);
    net::http& client = *owner.clients[0];
    const http_resp response = first_page(run, client);
    const std::string page = page_of(response);
    run.fields["cookie"] = response.headers.count("Set-Cookie") ? response.headers.at("Set-Cookie") : "";
    run.problem = reply_failure(response.status_line);
    int count = 0;
    if (std::optional<int> found = find_result_count(page)) count = *found;
    else {
      std::cout << "error resp" << std::endl;
      if (run.problem.empty()) run.problem = no_count_failure;
    }
    const bool connected = !closes_after(response);
    {
      std::lock_guard<std::mutex> hold(run.lock);
      hand_over(run, parse_archive_page(page), true, count);
    }
    if (pages_for(count) > 1) fetch_rest(run, pages_for(count), connected);
    else client.disconnect();
  } catch (const refresh_stopped& e) {
    run.failure = e.what();
    run.problem = e.what();
  } catch (const net::certificate_refused& e) {
    run.failure = e.what();
    run.problem = certificate_failure(e.problem);
  } catch (const net::net_exception& e) {
    run.failure = e.what();
    run.problem = network_failure(e);
  } catch (const std::exception& e) {
    run.failure = e.what();
    run.problem = unexpected_failure;
  } catch (...) {
    run.failure = "refresh failed";
    run.problem = unexpected_failure;
  }
  if (run.failure.empty() && owner.cancel_requested) run.failure = "refresh cancelled";
  if (!run.failure.empty()) std::cout << run.failure << std::endl;
  // After every page of this refresh, so the controller is idle only once they are shown.
  main_window->post([&owner, problem = std::move(run.problem)] {
    owner.enter_refresh();
    // A press may have cancelled after the last page was read; the pages still queued
    // then were dropped, so the list, not the exchange, says how far it got.
    const std::size_t listed = entry_list->rows.size();
    if (owner.cancel_requested) show_status(cancelled_status(listed));
    else if (!problem.empty()) show_status(failed_status(problem, listed));
    else show_status(listed_status(listed));
  });
}

// -- on the window thread --

void show_page(refresh_state& owner, unsigned refresh, std::vector<row>& rows, int received, bool first,
               int count) {
  if (!owner.shows(refresh)) return;
  gui::hold_redraw_for(*entry_list, repaint_ms);
  for (row& r : rows) entry_list->rows.push_back(std::move(r));
  if (first) {
    progress_bar->set_range(0, count);
    owner.pages_total = pages_for(count);
  }
  // Replies arrive in any order: the bar counts them, not the pages listed.
  owner.pages_received = std::max(owner.pages_received, received);
  const DWORD now = GetTickCount();
  if (first || now - owner.progress_moved_at >= repaint_ms) {
    progress_bar->value.set(owner.pages_received * page_size);
    if (owner.pages_received < owner.pages_total)
      show_status(loading_status(owner.pages_received + 1, owner.pages_total));
    owner.progress_moved_at = now;
  }
}
