#include "net/tcp_socket.hpp"

#include <algorithm>
#include <cstdio>
#include <string>

#include "net/system_error.hpp"

namespace net {

void inet_address::resolve(const std::string& host) {
  sin_addr.s_addr = inet_addr(host.c_str());
  if (sin_addr.s_addr == INADDR_NONE) {
    if (hostent* entry = gethostbyname(host.c_str())) {
      if (entry->h_addr_list && entry->h_addr_list[0])
        memcpy(&sin_addr.s_addr, entry->h_addr_list[0], 4);
    }
  }
}

template <>
void tcp_socket<char>::create() {
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    const int code = WSAGetLastError();
    throw system_error(socket_error_kind(code), "create socket error", static_cast<unsigned long>(code));
  }
  handle = s;
}

namespace {

using wait_result = tcp_socket<char>::wait_result;

// Waits for a connect in progress in short slices, so that a close by another thread is
// noticed even where closing does not wake `select`: the handle is read again after every
// slice. The socket counts as ready once it is writable (connected) or in the exception set
// (failed; SO_ERROR says why).
wait_result wait_for_connect(const std::atomic<SOCKET>& handle, int timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    const SOCKET h = handle;
    if (h == INVALID_SOCKET) return wait_result::closed;
    const DWORD waited = GetTickCount() - start;
    if (waited >= static_cast<DWORD>(timeout_ms)) return wait_result::timed_out;
    const DWORD slice = std::min<DWORD>(wait_slice_ms, static_cast<DWORD>(timeout_ms) - waited);
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(h, &ready);
    FD_SET(h, &failed);
    timeval limit = {0, static_cast<long>(slice * 1000)};
    const int n = select(0, nullptr, &ready, &failed, &limit);
    if (handle != h || n == SOCKET_ERROR) return wait_result::closed;
    if (n > 0) return wait_result::ready;
  }
}

// A connect to the address a failed lookup leaves says the name has none.
[[noreturn]] void connect_failed(int code, const inet_address& remote) {
  error_kind kind = socket_error_kind(code);
  if (kind != error_kind::cancelled && remote.sin_addr.s_addr == INADDR_NONE) kind = error_kind::name_not_found;
  throw system_error(kind, "socket connect error", static_cast<unsigned long>(code));
}

}  // namespace

template <>
void tcp_socket<char>::connect_open(int timeout_ms) {
  const SOCKET h = handle;
  if (h == INVALID_SOCKET) connect_failed(WSAEINTR, remote);
  // Non-blocking for the connect alone, so that it can time out and see a cancel.
  u_long nonblocking = 1;
  ioctlsocket(h, FIONBIO, &nonblocking);
  if (::connect(h, reinterpret_cast<const sockaddr*>(&remote), 16) != 0) {
    const int code = WSAGetLastError();
    if (code != WSAEWOULDBLOCK) connect_failed(code, remote);
    switch (wait_for_connect(handle, timeout_ms)) {
      case wait_result::closed:
        connect_failed(WSAEINTR, remote);
      case wait_result::timed_out:
        throw net_exception(error_kind::timed_out,
                            "socket connect timed out (no answer in " + std::to_string(timeout_ms) + " ms)");
      case wait_result::ready:
        break;
    }
    int error = 0;
    int length = sizeof error;
    if (getsockopt(h, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
      connect_failed(WSAGetLastError(), remote);
    if (error != 0) connect_failed(error, remote);
  }
  nonblocking = 0;
  ioctlsocket(h, FIONBIO, &nonblocking);
}

template <>
void tcp_socket<char>::connect(int timeout_ms) {
  if (handle == INVALID_SOCKET) create();
  connect_open(timeout_ms);
}

template <>
int tcp_socket<char>::send(const char* data, int length) {
  return ::send(handle, data, length, 0);
}

template <>
std::string tcp_socket<char>::recv(int maximum) {
  std::string piece(static_cast<std::size_t>(maximum), '\0');
  const int got = ::recv(handle, &piece[0], maximum, 0);
  piece.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return piece;
}

template <>
void tcp_socket<char>::close() {
  const SOCKET s = handle.exchange(INVALID_SOCKET);
  if (s == INVALID_SOCKET) return;
  shutdown(s, SD_BOTH);
  closesocket(s);
}

error_kind socket_error_kind(int code) {
  switch (code) {
    case WSAECONNREFUSED:
      return error_kind::refused;
    case WSAETIMEDOUT:
      return error_kind::timed_out;
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAENETRESET:
    case WSAESHUTDOWN:
    case WSAENOTCONN:
    case WSAEDISCON:
      return error_kind::closed;
    // A handle closed by another thread under the call, or before it: only a cancel does so.
    case WSAEINTR:
    case WSAENOTSOCK:
      return error_kind::cancelled;
    case WSAHOST_NOT_FOUND:
    case WSANO_DATA:
      return error_kind::name_not_found;
    default:
      return error_kind::other;
  }
}

winsock_init::winsock_init() {
  WSADATA data;
  if (WSAStartup(0x0202, &data) != 0) throw net_exception(error_kind::other, "WSAStartup error");
}

namespace {
// Nothing can handle a failure this early; say why on standard error and stop with code 1
// rather than let the exception end the program without a word.
struct start_winsock {
  start_winsock() {
    try {
      winsock_init init;
    } catch (const net_exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      std::fflush(stderr);
      ExitProcess(1);
    }
  }
} started;
}  // namespace

}  // namespace net
