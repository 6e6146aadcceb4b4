#include "net/http.hpp"

#include "net/content_coding.hpp"
#include "net/http_fields.hpp"
#include "net/name_lookup.hpp"
#include "net/system_error.hpp"
#include "net/tls_channel.hpp"

namespace net {

http::~http() {
  // The worker is done with the client by now; a connection still open ends in order.
  end_stream();
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
      if (!self.watched.reading) {
        if (GetTickCount() - quiet_since >= watch_idle_ms) break;
        continue;
      }
      // The starts first, the clock after them: the differences cannot wrap.
      const DWORD since = self.watched.since;
      const bool replying = self.replying;
      const DWORD reply_since = self.reply_since;
      const DWORD now = GetTickCount();
      quiet_since = now;
      const bool too_slow = replying && now - reply_since >= static_cast<DWORD>(self.reply_timeout_ms);
      if (too_slow || now - since >= static_cast<DWORD>(self.read_timeout_ms)) {
        if (too_slow) self.reply_timed_out = true;
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

void http::end_stream() {
  if (stream) stream->close();
  stream.reset();
}

void http::blame_cancel(net_exception& e) {
  if (e.kind == error_kind::timed_out || e.kind == error_kind::too_slow) return;
  std::lock_guard<std::mutex> lock(guard);
  if (cancelled) e.kind = error_kind::cancelled;
}

void http::connect() {
  end_stream();
  auto fresh = std::make_shared<tcp_socket<char>>();
  std::shared_ptr<tcp_socket<char>> previous;
  {
    std::lock_guard<std::mutex> lock(guard);
    previous = std::move(socket);
    socket = fresh;
    pending.clear();
    // Ordered against `close` by the lock: either the cancel came first and the new socket
    // starts closed, or the cancel finds it and closes it, lookup or connect in progress.
    if (cancelled) fresh->close();
  }
  // The old connection is closed before the new one is made.
  if (previous) previous->close();
  previous.reset();
  read_timed_out = false;
  reply_timed_out = false;
  wake_watchdog();
  // The lookup and the connect share the connect time-out.
  const DWORD started = GetTickCount();
  const std::vector<inet_address> addresses =
      addresses_of(host, port, connect_timeout_ms, started, [&fresh] { return fresh->closed(); });
  fresh->connect(addresses, connect_timeout_ms, started);
  std::unique_ptr<byte_stream> plain(new socket_stream(fresh, watched));
  if (!secure) {
    stream = std::move(plain);
    return;
  }
  // Every byte of the handshake and after passes the watched socket reads, so the read
  // time-out and a cancel end it as they end a plain read.
  std::unique_ptr<tls_channel> tls(new tls_channel(host, std::move(plain)));
  try {
    tls->handshake();
  } catch (net_exception& e) {
    // A refused certificate or a failed handshake: the connection goes, unused.
    tls->close();
    if (read_timed_out)
      throw net_exception(error_kind::timed_out,
                          "TLS handshake timed out (no byte for " + std::to_string(read_timeout_ms) + " ms)");
    blame_cancel(e);
    throw;
  }
  stream = std::move(tls);
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
  // Ends in order (close_notify over TLS); a connection a cancel closed takes nothing more.
  end_stream();
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

int http::send(const std::string& data) {
  if (!stream) throw system_error(error_kind::closed, "socket send error", WSAENOTCONN);
  stream->send(data.data(), data.size());
  return static_cast<int>(data.size());
}

std::string http::recv(int maximum) {
  if (!stream || maximum <= 0) return std::string();
  return stream->recv(static_cast<std::size_t>(maximum));
}

void http::post(const std::string& path, const std::string& body, http_headers fields) {
  std::string request = write_request(path, body, std::move(fields));
  // A `send` of a derived client may take fewer bytes than offered; the rest goes again.
  while (!request.empty()) {
    const int sent = send(request);
    // One that takes nothing would be offered the same bytes for ever.
    if (sent <= 0) throw system_error(error_kind::closed, "socket send error", WSAECONNRESET);
    request.erase(0, static_cast<std::size_t>(sent));
  }
}

std::string http::next_piece() {
  // A socket closed meanwhile (a cancel, or the watchdog) reads nothing, which the reading
  // reports unless the watchdog closed it.
  std::string piece = recv(static_cast<int>(read_piece_bytes));
  if (piece.empty() && reply_timed_out)
    throw net_exception(error_kind::too_slow,
                        "http_resp timed out (not whole after " + std::to_string(reply_timeout_ms) + " ms)");
  if (piece.empty() && read_timed_out)
    throw net_exception(error_kind::timed_out,
                        "http_resp timed out (no byte for " + std::to_string(read_timeout_ms) + " ms)");
  return piece;
}

http_resp http::read_response() {
  // The whole reply's time starts here, for the watchdog.
  struct reading {
    explicit reading(http& self_) : self(self_) {
      self.reply_since = GetTickCount();
      self.replying = true;
    }
    ~reading() { self.replying = false; }
    http& self;
  } whole_reply(*this);
  try {
    http_resp response = net::read_response([this] { return next_piece(); }, pending);
    response.body = decoded_content(std::move(response.body), field_of(response.headers, "Content-Encoding"));
    return response;
  } catch (net_exception& e) {
    blame_cancel(e);
    disconnect();
    throw;
  }
}

}  // namespace net
