#include "net/tcp_socket.hpp"

#include <cstdio>

#include "win32/last_error.hpp"

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
  if (s == INVALID_SOCKET) throw net_exception(win32::last_error_text("create socket error"));
  handle = s;
}

template <>
void tcp_socket<char>::connect_open() {
  if (::connect(handle, reinterpret_cast<const sockaddr*>(&remote), 16) != 0)
    throw net_exception(win32::last_error_text("socket connect error"));
}

template <>
void tcp_socket<char>::connect() {
  if (handle == INVALID_SOCKET) create();
  connect_open();
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

winsock_init::winsock_init() {
  WSADATA data;
  if (WSAStartup(0x0202, &data) != 0) throw net_exception("WSAStartup error");
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
