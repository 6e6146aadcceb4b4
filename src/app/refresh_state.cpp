#include "app/refresh_state.hpp"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "app/command_line.hpp"
#include "app/status_text.hpp"
#include "app/widgets.hpp"
#include "site/archive_site.hpp"

namespace {

// While pages arrive the list and the progress bar repaint at most this often: each repaint
// (the list's scroll bar, the progress bar, which paints itself at once on every move) costs
// more than a page of rows.
constexpr unsigned repaint_ms = 200;

// The "id" of the box's selected item. A box without a selection (or with one outside its
// items) stands for its first item, the site's default.
std::string selected_id(gui::combo_ex& box) {
  const auto& items = box.items.elements;
  if (items.empty()) return std::string();
  const int index = box.selected.get();
  const bool inside = index >= 0 && static_cast<std::size_t>(index) < items.size();
  return items[inside ? index : 0].at("id").as<std::string>();
}

// The filter controls as the site's ids.
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

// The listed entries that are marked as cracked.
std::size_t done_count() {
  if (cracked_urls.empty()) return 0;
  std::unordered_set<std::string_view> marked;
  for (const auto& mark : cracked_urls) marked.insert(mark.first);
  std::size_t done = 0;
  for (const row& r : entry_list->rows) {
    const auto url = r.find("url");
    if (url != r.end() && url->second.isA<std::string>() && marked.count(url->second.text())) ++done;
  }
  return done;
}

}  // namespace

refresh_state::refresh_state() {
  worker.assign(threading::task([this] { run_refresh(request, sink); }));
  // No native window exists yet: only the state matters here, the idle look comes from
  // the widgets' own construction values.
  enter_refresh();
}

void refresh_state::enter_refresh() {
  refresh_button->text.set("Refresh");
  progress_bar->visible.set(false);
  set_state(&refresh_state::enter_loading);
}

void refresh_state::enter_loading() {
  list_replaced = false;
  progress_bar->value.set(0);
  progress_bar->visible.set(true);
  // Pages of an earlier refresh still queued are no longer shown.
  const unsigned refresh = ++refresh_id;
  pages_received = 0;
  pages_total = 0;
  status_label->text.set(loading_status(1, 0));
  cancel_requested = false;
  const std::size_t connections = static_cast<std::size_t>(options_in_use.connections);
  while (clients.size() < connections) clients.push_back(std::make_unique<net::http>());
  request.filters = read_filters();
  request.archive = options_in_use.archive;
  request.clients.clear();
  for (const auto& client : clients) {
    client->clear_cancel();
    request.clients.push_back(client.get());
  }
  request.cancelled = &cancel_requested;
  // The list's rows belong to this thread, which reads them for the popup menu and the state
  // file: what the worker reports comes here without the worker waiting for it, the pages
  // that come meanwhile joined to those still waiting, so that one task shows them all.
  auto transit = std::make_shared<pages_in_transit>();
  sink.pages = [this, refresh, transit](refresh_pages pages) {
    if (!transit->add(std::move(pages))) return;
    main_window->post([this, refresh, transit] {
      refresh_pages joined = transit->take();
      show_page(refresh, joined);
    });
  };
  // After every page of the refresh, so the controller is idle only once they are shown.
  sink.ended = [this](refresh_outcome outcome) {
    main_window->post([this, outcome = std::move(outcome)] { show_end(outcome); });
  };
  worker.start();
  refresh_button->text.set("Loading");
  set_state(&refresh_state::cancel);
}

void refresh_state::cancel() {
  cancel_requested = true;
  for (const auto& client : clients) client->close();
}

void refresh_state::show_page(unsigned refresh, refresh_pages& pages) {
  if (!shows(refresh)) return;
  gui::hold_redraw_for(*entry_list, repaint_ms);
  if (!list_replaced) {
    entry_list->rows.clear();
    list_replaced = true;
  }
  entry_list->rows.append(std::move(pages.rows));
  if (pages.count) {
    progress_bar->set_range(0, *pages.count);
    pages_total = pages_for(*pages.count);
  }
  pages_received = std::max(pages_received, pages.received);
  const DWORD now = GetTickCount();
  if (pages.count || now - progress_moved_at >= repaint_ms) {
    progress_bar->value.set(pages_received * page_size);
    if (pages_received < pages_total) status_label->text.set(loading_status(pages_received + 1, pages_total));
    progress_moved_at = now;
  }
}

void refresh_state::show_end(const refresh_outcome& outcome) {
  enter_refresh();
  // A press may have cancelled after the worker last looked; the pages still queued then
  // were dropped, so the list, not the exchange, says how far it got.
  ended = outcome;
  ended->cancelled = outcome.cancelled || cancel_requested;
  status_label->text.set(idle_status());
}

std::string refresh_state::idle_status() const {
  const std::size_t listed = entry_list->rows.size();
  if (entry_list->narrowed()) {
    const std::string reason = !ended ? "" : ended->cancelled ? cancelled_reason : ended->problem;
    return shown_status(reason, entry_list->shown_count(), listed, done_count());
  }
  if (!ended) return restored_status(listed);
  // Before its first page the earlier list is still shown, and counted, whatever ended it.
  if (ended->cancelled && !list_replaced && listed > 0) return failed_status(cancelled_reason, listed);
  if (ended->cancelled) return cancelled_status(listed);
  if (!ended->problem.empty()) return failed_status(ended->problem, listed);
  return listed_status(listed);
}

void refresh_state::finish() {
  HANDLE running = worker.thread_handle;
  if (!running || WaitForSingleObject(running, 0) != WAIT_TIMEOUT) return;
  cancel();
  // The worker sends nothing to this thread any more, but keep the queue moving while it
  // ends, so that nothing else waiting on this thread stalls for the length of a time-out.
  while (MsgWaitForMultipleObjects(1, &running, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
}
