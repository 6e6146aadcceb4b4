#pragma once
// The controller behind the Refresh button: idle ("Refresh"; a press starts a refresh on the
// worker thread) or loading ("Loading", progress bar shown; a press cancels).
//
// Its state and the widgets it drives belong to the window thread, and only it changes them:
// `enter_loading` reads the filters and hands the worker a snapshot (`request`) and a sink
// whose reports come back to the window thread (`gui::window::post`), where `show_page` and
// `show_end` act on them. So a press never meets a controller the worker is changing. A cancel
// closes every client at once.

#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/refresh.hpp"
#include "app/statable.hpp"
#include "net/http.hpp"
#include "threading/thread.hpp"

struct refresh_state : statable<refresh_state> {
  refresh_state();
  refresh_state(const refresh_state&) = delete;
  refresh_state& operator=(const refresh_state&) = delete;

  void enter_refresh();
  void enter_loading();
  void cancel();

  // Whether a page of refresh `refresh` is still to be shown: it is the current refresh and
  // no press cancelled it. Window thread.
  bool shows(unsigned refresh) const { return refresh == refresh_id && !cancel_requested; }
  // What the sink of refresh `refresh` reported, on the window thread: the rows join the list
  // and the progress bar counts the replies, unless `shows` says otherwise; the first page
  // replaces the list and sets the bar's range from the result count.
  void show_page(unsigned refresh, refresh_pages& pages);
  // The refresh ended: back to idle, and the status line says how it went. One that ended
  // before its first page (a failure, a cancel) leaves the earlier list as it was.
  void show_end(const refresh_outcome& outcome);
  // What the status line says while idle: how the last refresh ended, or before any, what the
  // start restored; while a Find text narrows the list, with what shows of it in place of how
  // many entries were listed. Window thread.
  std::string idle_status() const;

  // Cancels a refresh still running and waits for its worker, handling messages meanwhile;
  // for the end of the program, before the objects the worker uses are destroyed.
  void finish();

  threading::thread worker;
  // One client for each connection a refresh may use at once (`options_in_use.connections`),
  // made by the first `enter_loading`; a refresh uses the first ones.
  std::vector<std::unique_ptr<net::http>> clients;
  // Set by `cancel`, cleared when a refresh starts; the worker looks at it through `request`.
  std::atomic<bool> cancel_requested{false};
  // What the refresh running or last run works from and reports to, and its number; written
  // by `enter_loading` before the worker starts, which takes its own copies.
  refresh_request request;
  refresh_sink sink;
  unsigned refresh_id = 0;
  // Whether the current refresh's first page replaced the list: until then the earlier
  // rows stay shown and selected, and the state file keeps them. Window thread.
  bool list_replaced = false;
  // The pages of the current refresh received so far, of how many, and when the progress bar
  // last moved to show them. Window thread.
  int pages_received = 0;
  int pages_total = 0;
  DWORD progress_moved_at = 0;
  // How the last refresh ended, a cancel pressed after the worker last looked included;
  // nothing before the first.
  std::optional<refresh_outcome> ended;
};
