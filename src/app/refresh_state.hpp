#pragma once
// The controller behind the Refresh button: idle ("Refresh"; a press starts a refresh on the
// worker thread) or loading ("Loading", progress bar shown; a press cancels).

#include <atomic>

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

  // Cancels a refresh still running and waits for its worker, handling the messages the
  // worker may be sending meanwhile; for the end of the program, before the objects the
  // worker uses are destroyed.
  void finish();

  threading::thread worker;
  net::http client;
  // Set by `cancel`, cleared when a refresh starts: the worker checks it before it connects
  // and before each page, so that a press that comes before the connection exists, which
  // closing the client cannot reach, still ends the refresh.
  std::atomic<bool> cancel_requested{false};
};
