#pragma once
// The controller behind the Refresh button: idle ("Refresh"; a press starts a refresh on the
// worker thread) or loading ("Loading", progress bar shown; a press cancels).
//
// Its state and the widgets it drives belong to the window thread: the worker (and the
// threads it starts for further connections) only reads what `enter_loading` set before
// starting it, and hands its pages and its end back to the window thread
// (`gui::window::post`), where `enter_refresh` runs. So a press never meets a controller the
// worker is changing. A cancel closes every client at once.

#include <atomic>
#include <memory>
#include <vector>

#include "site/form_encoding.hpp"
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

  // Cancels a refresh still running and waits for its worker, handling messages meanwhile;
  // for the end of the program, before the objects the worker uses are destroyed.
  void finish();

  threading::thread worker;
  // One client for each connection a refresh may use at once (`options_in_use.connections`),
  // made by the first `enter_loading`; a refresh uses the first ones.
  std::vector<std::unique_ptr<net::http>> clients;
  // Set by `cancel`, cleared when a refresh starts: the refresh's threads check it before
  // they connect and between pages, so that a press that comes before a connection exists,
  // which closing the clients cannot reach, still ends the refresh.
  std::atomic<bool> cancel_requested{false};
  // The filters of the refresh running or last run, and its number; written by
  // `enter_loading` before the worker starts.
  archive_filters filters;
  unsigned refresh_id = 0;
  // The pages of the current refresh received so far, of how many, and when the progress bar
  // last moved to show them. Window thread.
  int pages_received = 0;
  int pages_total = 0;
  DWORD progress_moved_at = 0;
};
