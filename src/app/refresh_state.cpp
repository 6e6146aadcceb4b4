#include "app/refresh_state.hpp"

#include "app/command_line.hpp"
#include "app/main_window.hpp"
#include "app/refresh.hpp"
#include "app/status_text.hpp"
#include "app/widgets.hpp"

refresh_state::refresh_state() {
  worker.assign(threading::task([this] { run_refresh(*this); }));
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
  entry_list->rows.clear();
  progress_bar->value.set(0);
  progress_bar->visible.set(true);
  filters = read_filters();
  // Pages of an earlier refresh still queued are no longer shown.
  ++refresh_id;
  pages_received = 0;
  pages_total = 0;
  show_status(loading_status(1, 0));
  cancel_requested = false;
  const std::size_t connections = static_cast<std::size_t>(options_in_use.connections);
  while (clients.size() < connections) clients.push_back(std::make_unique<net::http>());
  for (const auto& client : clients) client->clear_cancel();
  worker.start();
  refresh_button->text.set("Loading");
  set_state(&refresh_state::cancel);
}

void refresh_state::cancel() {
  cancel_requested = true;
  for (const auto& client : clients) client->close();
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
