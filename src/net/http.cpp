#include "net/http.hpp"

#include "win32/last_error.hpp"

namespace net {

std::shared_ptr<tcp_socket<char>> http::current() {
  std::lock_guard<std::mutex> lock(guard);
  return socket;
}

void http::connect() {
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
  {
    // Opening under the lock orders it against `close`: either the cancel comes first and
    // no handle is opened, or it finds the handle and closes it.
    std::lock_guard<std::mutex> lock(guard);
    if (!cancelled) fresh->create();
  }
  fresh->connect_open(connect_timeout_ms);
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

void http::clear_cancel() {
  std::lock_guard<std::mutex> lock(guard);
  cancelled = false;
}

int http::send(const std::string& data) {
  auto s = current();
  return s ? s->send(data.data(), static_cast<int>(data.size())) : SOCKET_ERROR;
}

std::string http::recv(int maximum) {
  auto s = current();
  return s ? s->recv(maximum) : std::string();
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
  if (auto s = current()) {
    if (s->wait_readable(read_timeout_ms) == tcp_socket<char>::wait_result::timed_out)
      throw net_exception("http_resp timed out (no byte for " + std::to_string(read_timeout_ms) +
                          " ms)");
  }
  // A socket closed meanwhile reads nothing, which the reading reports.
  return recv(static_cast<int>(read_piece_bytes));
}

http_resp http::read_response() {
  return net::read_response([this] { return next_piece(); }, pending);
}

}  // namespace net
