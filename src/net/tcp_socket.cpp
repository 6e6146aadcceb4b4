#include "net/tcp_socket.hpp"

#include <algorithm>
#include <cstdio>
#include <string>

#include "net/system_error.hpp"

namespace net {

namespace {

// A failed connect: the kind follows from the code.
[[noreturn]] void connect_failed(int code) {
  throw system_error(socket_error_kind(code), "socket connect error", static_cast<unsigned long>(code));
}

// One address being connected to, non-blocking until it is done.
struct attempt {
  SOCKET handle;
  const inet_address* address;
};

void close_all(std::vector<attempt>& attempts) {
  for (const attempt& a : attempts) closesocket(a.handle);
  attempts.clear();
}

// Opens a socket for `address` and starts connecting it. The attempt goes on in `attempts`;
// one connected at once is returned; a failure gives its code.
SOCKET start_attempt(const inet_address& address, std::vector<attempt>& attempts, int& failure) {
  const SOCKET s = ::socket(address.family(), SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    failure = WSAGetLastError();
    return INVALID_SOCKET;
  }
  // Non-blocking for the connect alone, so that it can time out, see a cancel and race.
  u_long nonblocking = 1;
  ioctlsocket(s, FIONBIO, &nonblocking);
  if (::connect(s, address.get(), address.length) == 0) return s;
  const int code = WSAGetLastError();
  if (code == WSAEWOULDBLOCK) {
    attempts.push_back({s, &address});
  } else {
    failure = code;
    closesocket(s);
  }
  return INVALID_SOCKET;
}

}  // namespace

template <>
void tcp_socket<char>::connect(const std::vector<inet_address>& candidates, int timeout_ms, DWORD since) {
  std::vector<attempt> attempts;
  std::size_t next = 0;
  // When the last attempt started, and whether the next one may start at once.
  DWORD last_start = 0;
  bool start_next = true;
  int failure = WSAEADDRNOTAVAIL;
  SOCKET won = INVALID_SOCKET;
  const inet_address* won_address = nullptr;
  for (;;) {
    // Looked at every slice: closing does not always wake `select`.
    if (shut) {
      close_all(attempts);
      connect_failed(WSAEINTR);
    }
    const DWORD now = GetTickCount();
    const DWORD waited = now - since;
    if (waited >= static_cast<DWORD>(timeout_ms)) {
      close_all(attempts);
      throw net_exception(error_kind::timed_out,
                          "socket connect timed out (no answer in " + std::to_string(timeout_ms) + " ms)");
    }
    // RFC 8305 5: the next address once the delay has passed since the last one started, or
    // at once when none is connecting any more.
    const DWORD since_last = now - last_start;
    if (next < candidates.size() &&
        (start_next || attempts.empty() || since_last >= static_cast<DWORD>(connection_attempt_delay_ms))) {
      const inet_address& address = candidates[next++];
      const std::size_t running = attempts.size();
      won = start_attempt(address, attempts, failure);
      if (won != INVALID_SOCKET) {
        won_address = &address;
        break;
      }
      last_start = now;
      // One that failed at once holds up nothing.
      start_next = attempts.size() == running;
      continue;
    }
    if (attempts.empty()) connect_failed(failure);

    DWORD slice = std::min<DWORD>(wait_slice_ms, static_cast<DWORD>(timeout_ms) - waited);
    if (next < candidates.size()) slice = std::min<DWORD>(slice, connection_attempt_delay_ms - since_last);
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    for (const attempt& a : attempts) {
      FD_SET(a.handle, &ready);
      FD_SET(a.handle, &failed);
    }
    timeval limit = {0, static_cast<long>(slice * 1000)};
    if (select(0, nullptr, &ready, &failed, &limit) == SOCKET_ERROR) {
      failure = WSAGetLastError();
      close_all(attempts);
      connect_failed(failure);
    }
    // Writable: connected. In the exception set: failed, and SO_ERROR says why.
    for (std::size_t i = 0; i < attempts.size() && won == INVALID_SOCKET;) {
      const attempt a = attempts[i];
      if (!FD_ISSET(a.handle, &ready) && !FD_ISSET(a.handle, &failed)) {
        ++i;
        continue;
      }
      int error = 0;
      int length = sizeof error;
      if (getsockopt(a.handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        error = WSAGetLastError();
      attempts.erase(attempts.begin() + static_cast<std::ptrdiff_t>(i));
      if (error == 0 && FD_ISSET(a.handle, &ready)) {
        won = a.handle;
        won_address = a.address;
      } else {
        failure = error != 0 ? error : WSAECONNREFUSED;
        closesocket(a.handle);
        start_next = true;
      }
    }
    if (won != INVALID_SOCKET) break;
  }
  // The others lose the race.
  close_all(attempts);
  u_long nonblocking = 0;
  ioctlsocket(won, FIONBIO, &nonblocking);
  remote = *won_address;
  handle = won;
  // A close that came while the race was on found no handle: it is seen here, or it found
  // this one and closed it.
  if (shut) {
    close();
    connect_failed(WSAEINTR);
  }
}

template <>
int tcp_socket<char>::send(const char* data, int length) {
  return ::send(handle, data, length, 0);
}

template <>
std::string tcp_socket<char>::recv(int maximum) {
  // Into a buffer kept from read to read: a piece sized for the most a read may bring would
  // be allocated and cleared whole for every reply, though a page is a fraction of it.
  if (maximum <= 0) return std::string();
  if (incoming.size() < static_cast<std::size_t>(maximum)) incoming.resize(static_cast<std::size_t>(maximum));
  const int got = ::recv(handle, incoming.data(), maximum, 0);
  return std::string(incoming.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

template <>
void tcp_socket<char>::close() {
  // Before the handle: a connect that is about to hand over its winner looks at this after.
  shut = true;
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
