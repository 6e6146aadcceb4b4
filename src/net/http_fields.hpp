#pragma once
// What a reply's fields tell the client: a field's value, and whether the connection ends
// after the reply. Portable.

#include <string>

#include "net/http_message.hpp"

namespace net {

// The value of the field `name` (in any case, as every lookup of http_headers); empty when the
// reply has none.
std::string field_of(const http_headers& fields, const std::string& name);

// Whether the connection is not to be used again after this reply: the server ends it
// ("Connection: close", or an HTTP/1.0 reply without "keep-alive"), or its framing was
// doubtful (both Transfer-Encoding and Content-Length).
bool closes_after(const http_resp& reply);

}  // namespace net
