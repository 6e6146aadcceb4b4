#include "app/refresh.hpp"

#include <windows.h>

#include <exception>
#include <iostream>
#include <utility>

#include "app/command_line.hpp"
#include "app/main_window.hpp"
#include "app/refresh_state.hpp"
#include "app/status_text.hpp"
#include "app/widgets.hpp"
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

void stop_if_cancelled(const refresh_state& owner) {
  if (owner.cancel_requested) throw net::net_exception("refresh cancelled");
}

// While pages arrive the list and the progress bar repaint at most this often: each repaint
// (the list's scroll bar, the progress bar, which paints itself at once on every move) costs
// more than a page of rows.
constexpr unsigned repaint_ms = 200;

// The pages that hold `count` results, the last one possibly short.
int pages_for(int count) { return count / page_size + (count % page_size != 0 ? 1 : 0); }

}  // namespace

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

void run_refresh(refresh_state& owner) {
  // The window thread set both before it started this thread and changes them only when it
  // starts the next one, which waits for the end posted below.
  const archive_filters filters = owner.filters;
  const unsigned refresh = owner.refresh_id;
  http_headers fields;
  fields["Connection"] = "keep-alive";
  fields["Host"] = options_in_use.archive.authority();
  page_query query{&owner, &fields, &filters, refresh, std::string()};
  try {
    stop_if_cancelled(owner);
    owner.client.set_address(options_in_use.archive.host, options_in_use.archive.port);
    owner.client.connect();
    const int count = fetch_page(query, 0, true);
    const int pages = pages_for(count);
    for (int i = 1; i < pages; ++i) fetch_page(query, page_size * i, false);
  } catch (const net::net_exception& e) {
    std::cout << e.what() << std::endl;
    query.problem = network_failure(e.what());
  } catch (const std::exception& e) {
    std::cout << e.what() << std::endl;
    query.problem = unexpected_failure;
  } catch (...) {
    std::cout << "refresh failed" << std::endl;
    query.problem = unexpected_failure;
  }
  // After every page of this refresh, so the controller is idle only once they are shown.
  main_window->post([&owner, problem = std::move(query.problem)] {
    owner.enter_refresh();
    // A press may have cancelled after the last page was read; the pages still queued
    // then were dropped, so the list, not the exchange, says how far it got.
    const std::size_t listed = entry_list->rows.size();
    if (owner.cancel_requested) show_status(cancelled_status(listed));
    else if (!problem.empty()) show_status(failed_status(problem, listed));
    else show_status(listed_status(listed));
  });
}

int fetch_page(page_query& query, int start, bool first) {
  refresh_state& owner = *query.owner;
  stop_if_cancelled(owner);
  owner.client.post("/archive/", archive_form_body(*query.filters, start), *query.fields);
  http_resp response = owner.client.read_response();
  // From here on the page is text: read once in the character set it was sent in.
  const std::string page = page_text(response.body, response.headers["Content-Type"]);
  if (first) (*query.fields)["cookie"] = response.headers["Set-Cookie"];
  // Read like any other (its body simply yields no entries), but the status line says so.
  if (query.problem.empty()) query.problem = reply_failure(response.status_line);

  int count = 0;
  if (first) {
    if (std::optional<int> found = find_result_count(page)) count = *found;
    else {
      std::cout << "error resp" << std::endl;
      if (query.problem.empty()) query.problem = no_count_failure;
    }
  }
  // The list's rows belong to the window thread, which reads them for the popup menu and
  // the state file. The page goes over without this thread waiting for it.
  main_window->post([&owner, refresh = query.refresh, rows = parse_archive_page(page), first,
                     count]() mutable { show_page(owner, refresh, rows, first, count); });
  return count;
}

void show_page(refresh_state& owner, unsigned refresh, std::vector<row>& rows, bool first, int count) {
  if (!owner.shows(refresh)) return;
  gui::hold_redraw_for(*entry_list, repaint_ms);
  for (row& r : rows) entry_list->rows.push_back(std::move(r));
  if (first) {
    progress_bar->set_range(0, count);
    owner.pages_total = pages_for(count);
  }
  ++owner.pages_shown;
  const DWORD now = GetTickCount();
  if (first || now - owner.progress_moved_at >= repaint_ms) {
    progress_bar->value.set(owner.pages_shown * page_size);
    if (owner.pages_shown < owner.pages_total)
      show_status(loading_status(owner.pages_shown + 1, owner.pages_total));
    owner.progress_moved_at = now;
  }
}
