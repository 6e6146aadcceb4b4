#include "net/name_lookup.hpp"

#include <algorithm>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>

#include "net/address_literal.hpp"
#include "net/system_error.hpp"

namespace net {

namespace {

// One lookup, shared by the thread that runs it and the one that waits for it; whichever lets
// go last frees it, so a lookup given up on finishes into memory of its own.
struct lookup {
  lookup(std::string host_, std::string service_) : host(std::move(host_)), service(std::move(service_)) {}
  ~lookup() {
    if (found) freeaddrinfo(found);
    if (done) CloseHandle(done);
  }
  lookup(const lookup&) = delete;
  lookup& operator=(const lookup&) = delete;

  void run() {
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    code = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    // The event orders the results before the waiting thread reads them.
    SetEvent(done);
  }

  const std::string host, service;
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  int code = 0;
  addrinfo* found = nullptr;
};

inet_address address_of(const void* sockaddr_bytes, std::size_t length) {
  inet_address a;
  std::memcpy(&a.storage, sockaddr_bytes, std::min(length, sizeof a.storage));
  a.length = static_cast<int>(std::min(length, sizeof a.storage));
  return a;
}

// The literal's bytes (four or sixteen) as the system's address.
inet_address literal_address(const std::vector<unsigned char>& bytes, unsigned short port) {
  if (bytes.size() == 4) {
    sockaddr_in v4 = {};
    v4.sin_family = AF_INET;
    v4.sin_port = htons(port);
    std::memcpy(&v4.sin_addr, bytes.data(), 4);
    return address_of(&v4, sizeof v4);
  }
  sockaddr_in6 v6 = {};
  v6.sin6_family = AF_INET6;
  v6.sin6_port = htons(port);
  std::memcpy(&v6.sin6_addr, bytes.data(), 16);
  return address_of(&v6, sizeof v6);
}

// RFC 8305 4: IPv6 first, then the families in turn, each keeping the system's order.
std::vector<inet_address> interleaved(const addrinfo* found) {
  std::vector<inet_address> v6, v4, out;
  for (const addrinfo* a = found; a; a = a->ai_next) {
    if (a->ai_family == AF_INET6) v6.push_back(address_of(a->ai_addr, a->ai_addrlen));
    if (a->ai_family == AF_INET) v4.push_back(address_of(a->ai_addr, a->ai_addrlen));
  }
  for (std::size_t i = 0; i < v6.size() || i < v4.size(); ++i) {
    if (i < v6.size()) out.push_back(v6[i]);
    if (i < v4.size()) out.push_back(v4[i]);
  }
  return out;
}

}  // namespace

std::vector<inet_address> addresses_of(const std::string& host, int port, int timeout_ms, DWORD since,
                                       const std::function<bool()>& stopped) {
  const unsigned short port16 = static_cast<unsigned short>(port & 0xffff);
  const std::vector<unsigned char> literal = address_literal(host);
  if (!literal.empty()) return {literal_address(literal, port16)};

  auto job = std::make_shared<lookup>(host, std::to_string(port16));
  if (!job->done) throw system_error(error_kind::other, "host name lookup error", GetLastError());
  try {
    std::thread([job] { job->run(); }).detach();
  } catch (const std::system_error&) {
    job->run();  // no thread to spare: a lookup that cannot be ended early
  }
  for (;;) {
    const DWORD waited = GetTickCount() - since;
    if (waited >= static_cast<DWORD>(timeout_ms))
      throw net_exception(error_kind::timed_out,
                          "host name lookup timed out (no answer in " + std::to_string(timeout_ms) + " ms)");
    const DWORD slice = std::min<DWORD>(wait_slice_ms, static_cast<DWORD>(timeout_ms) - waited);
    const bool done = WaitForSingleObject(job->done, slice) == WAIT_OBJECT_0;
    if (stopped()) throw system_error(error_kind::cancelled, "host name lookup error", WSAEINTR);
    if (done) break;
  }
  if (job->code != 0)
    throw system_error(socket_error_kind(job->code), "host name lookup error", static_cast<unsigned long>(job->code));
  std::vector<inet_address> out = interleaved(job->found);
  if (out.empty()) throw system_error(error_kind::name_not_found, "host name lookup error", WSANO_DATA);
  return out;
}

}  // namespace net
