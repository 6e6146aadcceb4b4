#include "net/http.hpp"

#include <algorithm>

#include "win32/last_error.hpp"

namespace net {

http::~http() {
  // The worker is done with the client by now; a connection still open ends in order.
  if (tls && !cancelled) tls->shutdown();
  tls.reset();
  if (!watchdog) return;
  SetEvent(watchdog_stop);
  WaitForSingleObject(watchdog, INFINITE);
  CloseHandle(watchdog);
  CloseHandle(watchdog_wake);
  CloseHandle(watchdog_stop);
}

void http::wake_watchdog() {
  if (!watchdog) {
    watchdog_wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    watchdog_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    watchdog = CreateThread(nullptr, 0, &http::watch, this, 0, nullptr);
  }
  SetEvent(watchdog_wake);
}

DWORD WINAPI http::watch(void* self_pointer) {
  http& self = *static_cast<http*>(self_pointer);
  HANDLE wake_or_stop[2] = {self.watchdog_stop, self.watchdog_wake};
  for (;;) {
    if (WaitForMultipleObjects(2, wake_or_stop, FALSE, INFINITE) == WAIT_OBJECT_0) return 0;
    DWORD quiet_since = GetTickCount();
    for (;;) {
      if (WaitForSingleObject(self.watchdog_stop, watch_slice_ms) == WAIT_OBJECT_0) return 0;
      if (!self.reading) {
        if (GetTickCount() - quiet_since >= watch_idle_ms) break;
        continue;
      }
      // The start first, the clock after it: the difference cannot wrap.
      const DWORD since = self.read_since;
      const DWORD now = GetTickCount();
      quiet_since = now;
      if (now - since >= static_cast<DWORD>(self.read_timeout_ms)) {
        self.read_timed_out = true;
        if (auto s = self.current()) s->close();
      }
    }
  }
}

std::shared_ptr<tcp_socket<char>> http::current() {
  std::lock_guard<std::mutex> lock(guard);
  return socket;
}

void http::connect() {
  if (tls) tls->shutdown();
  tls.reset();
  plain_pending.clear();
  auto fresh = std::make_shared<tcp_socket<char>>();
  std::shared_ptr<tcp_socket<char>> previous;
  {
    std::lock_guard<std::mutex> lock(guard);
    previous = std::move(socket);
    socket = fresh;
    pending.clear();
  }
  // The old connection is closed before the new one is made.
  if (previous) previous->close();
  previous.reset();
  fresh->set_remote(host, port);
  read_timed_out = false;
  wake_watchdog();
  {
    // Opening under the lock orders it against `close`: either the cancel comes first and
    // no handle is opened, or it finds the handle and closes it.
    std::lock_guard<std::mutex> lock(guard);
    if (!cancelled) fresh->create();
  }
  fresh->connect_open(connect_timeout_ms);
  if (!secure) return;
  // Every byte of the handshake and after passes the watched socket reads, so the read
  // time-out and a cancel end it as they end a plain read.
  tls.reset(new tls_channel(
      host, [this](const char* data, int length) { return socket_send(data, length); },
      [this] { return socket_recv(static_cast<int>(tls_read_bytes)); }));
  try {
    tls->handshake();
  } catch (const net_exception&) {
    // A refused certificate or a failed handshake: the connection goes, unused.
    tls.reset();
    fresh->close();
    if (read_timed_out)
      throw net_exception("TLS handshake timed out (no byte for " + std::to_string(read_timeout_ms) + " ms)");
    throw;
  }
}

void http::close() {
  std::shared_ptr<tcp_socket<char>> s;
  {
    std::lock_guard<std::mutex> lock(guard);
    cancelled = true;
    s = socket;
  }
  if (s) s->close();
}

void http::disconnect() {
  bool cancelled_now;
  {
    std::lock_guard<std::mutex> lock(guard);
    cancelled_now = cancelled;
  }
  // Ends in order (close_notify over TLS), unless a cancel already closed the socket.
  if (tls && !cancelled_now) tls->shutdown();
  tls.reset();
  plain_pending.clear();
  std::shared_ptr<tcp_socket<char>> s;
  {
    std::lock_guard<std::mutex> lock(guard);
    s = std::move(socket);
    pending.clear();
  }
  if (s) s->close();
}

void http::clear_cancel() {
  std::lock_guard<std::mutex> lock(guard);
  cancelled = false;
}

int http::socket_send(const char* data, int length) {
  auto s = current();
  return s ? s->send(data, length) : SOCKET_ERROR;
}

std::string http::socket_recv(int maximum) {
  auto s = current();
  if (!s) return std::string();
  read_since = GetTickCount();
  reading = true;
  std::string piece = s->recv(maximum);
  reading = false;
  return piece;
}

int http::send(const std::string& data) {
  if (tls) return tls->send(data);
  return socket_send(data.data(), static_cast<int>(data.size()));
}

std::string http::recv(int maximum) {
  if (!tls) return socket_recv(maximum);
  // A record holds up to 16 KB of data; what the caller did not ask for waits here.
  if (plain_pending.empty()) plain_pending = tls->recv();
  const std::size_t n = std::min(plain_pending.size(), static_cast<std::size_t>(maximum > 0 ? maximum : 0));
  std::string piece = plain_pending.substr(0, n);
  plain_pending.erase(0, n);
  return piece;
}

void http::post(const std::string& path, const std::string& body, http_headers fields) {
  std::string request = write_request(path, body, std::move(fields));
  // The system may take fewer bytes than offered; what it did not take goes again.
  while (!request.empty()) {
    const int sent = send(request);
    if (sent <= 0) {
      // A send that takes nothing would be offered the same bytes for ever.
      if (sent == 0) WSASetLastError(WSAECONNRESET);
      throw net_exception(win32::last_error_text("socket send error"));
    }
    request.erase(0, static_cast<std::size_t>(sent));
  }
}

std::string http::next_piece() {
  // A socket closed meanwhile (a cancel, or the watchdog) reads nothing, which the reading
  // reports unless the watchdog closed it.
  std::string piece = recv(static_cast<int>(read_piece_bytes));
  if (piece.empty() && read_timed_out)
    throw net_exception("http_resp timed out (no byte for " + std::to_string(read_timeout_ms) +
                        " ms)");
  return piece;
}

http_resp http::read_response() {
  return net::read_response([this] { return next_piece(); }, pending);
}

}  // namespace net
