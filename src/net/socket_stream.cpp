#include "net/socket_stream.hpp"

#include <algorithm>
#include <climits>

#include "net/system_error.hpp"

namespace net {

void socket_stream::send(const char* data, std::size_t length) {
  // The system may take fewer bytes than offered; what it did not take goes again.
  while (length > 0) {
    const int sent = socket->send(data, static_cast<int>(std::min<std::size_t>(length, INT_MAX)));
    if (sent <= 0) {
      // A send that takes nothing would be offered the same bytes for ever.
      const int code = sent == 0 ? WSAECONNRESET : WSAGetLastError();
      throw system_error(socket_error_kind(code), "socket send error", static_cast<unsigned long>(code));
    }
    data += sent;
    length -= static_cast<std::size_t>(sent);
  }
}

std::string socket_stream::recv(std::size_t maximum) {
  watch.since = GetTickCount();
  watch.reading = true;
  std::string piece = socket->recv(static_cast<int>(std::min<std::size_t>(maximum, INT_MAX)));
  watch.reading = false;
  return piece;
}

}  // namespace net
