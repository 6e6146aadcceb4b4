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
    cancelled = false;
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
  if (fresh->handle == INVALID_SOCKET) {
    WSASetLastError(WSAEINTR);
    throw net_exception(win32::last_error_text("socket connect error"));
  }
  fresh->connect_open();
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

int http::send(const std::string& data) {
  auto s = current();
  return s ? s->send(data.data(), static_cast<int>(data.size())) : SOCKET_ERROR;
}

std::string http::recv(int maximum) {
  auto s = current();
  return s ? s->recv(maximum) : std::string();
}

void http::post(const std::string& path, const std::string& body, http_headers fields) {
  send(write_request(path, body, std::move(fields)));
}

http_resp http::read_response() {
  return net::read_response([this] { return recv(static_cast<int>(read_piece_bytes)); },
                            pending);
}

}  // namespace net
