#include "app/refresh.hpp"

#include <exception>
#include <iostream>
#include <sstream>
#include <vector>

#include "app/archive_parser.hpp"
#include "app/archive_site.hpp"
#include "app/form_encoding.hpp"
#include "app/main_window.hpp"
#include "app/refresh_state.hpp"
#include "app/result_count.hpp"
#include "app/status_text.hpp"
#include "app/widgets.hpp"
#include "net/net_exception.hpp"

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

// Rows are appended on the window thread while this one waits, so between pages the count
// is settled.
std::size_t listed() { return entry_list->rows.size(); }

}  // namespace

void run_refresh(refresh_state& owner) {
  show_status(loading_status(1, 0));
  try {
    stop_if_cancelled(owner);
    owner.client.set_address(archive_host, archive_port);
    owner.client.connect();
    http_headers fields;
    fields["Connection"] = "keep-alive";
    fields["Host"] = archive_host;
    page_query query{&owner, &fields, std::string()};
    const int count = fetch_page(query, 0, true);
    progress_bar->set_range(0, count);
    progress_bar->step.set(page_size);
    progress_bar->step_it();
    const int pages = count / page_size + (count % page_size != 0 ? 1 : 0);
    for (int i = 1; i < pages; ++i) {
      show_status(loading_status(i + 1, pages));
      fetch_page(query, page_size * i, false);
      progress_bar->step_it();
    }
    show_status(query.problem.empty() ? listed_status(listed()) : failed_status(query.problem, listed()));
  } catch (const net::net_exception& e) {
    std::cout << e.what() << std::endl;
    show_status(owner.cancel_requested ? cancelled_status(listed())
                                       : failed_status(network_failure(e.what()), listed()));
  } catch (const std::exception& e) {
    std::cout << e.what() << std::endl;
    show_status(failed_status(unexpected_failure, listed()));
  } catch (...) {
    std::cout << "refresh failed" << std::endl;
    show_status(failed_status(unexpected_failure, listed()));
  }
  owner.enter_refresh();
}

int fetch_page(page_query& query, int start, bool first) {
  refresh_state& owner = *query.owner;
  stop_if_cancelled(owner);
  archive_filters filters;
  filters.type = selected_id(*type_combo);
  filters.lang = selected_id(*language_combo);
  filters.platform = selected_id(*platform_combo);
  filters.difficulty = selected_id(*difficulty_combo);
  filters.sort = selected_id(*sort_combo);
  filters.title = title_edit->text.get();

  owner.client.post("/archive/", archive_form_body(filters, start), *query.fields);
  http_resp response = owner.client.read_response();
  if (first) (*query.fields)["cookie"] = response.headers["Set-Cookie"];
  // Read like any other (its body simply yields no entries), but the status line says so.
  if (query.problem.empty()) query.problem = reply_failure(response.status_line);

  // The list's rows belong to the window thread, which reads them for the popup menu and
  // the state file; they are appended there while this thread waits.
  const std::vector<row> rows = parse_archive_page(response.body);
  main_window->call([&rows] {
    gui::hold_redraw_for(*entry_list, 100);
    for (const row& r : rows) entry_list->rows.push_back(r);
  });

  if (!first) return 0;
  if (std::optional<int> count = find_result_count(response.body)) return *count;
  std::cout << "error resp" << std::endl;
  if (query.problem.empty()) query.problem = no_count_failure;
  return 0;
}
