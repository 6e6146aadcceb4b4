#pragma once
// What a reply's fields tell the client: a field's value whatever case the server wrote its
// name in, whether the connection ends after the reply, and the cookie to send back.
// Portable.

#include <string>

#include "net/http_message.hpp"

namespace net {

// The value of the field `name`, its name compared without regard to case; empty when the
// reply has none.
std::string field_of(const http_headers& fields, const std::string& name);

// Whether the server ends the connection after this reply ("Connection: close").
bool closes_after(const http_resp& reply);

// What the requests after this reply send as "cookie": the "Set-Cookie" fields as the head
// collected them (several joined by ";"), empty when there is none.
std::string cookie_of(const http_resp& reply);

}  // namespace net
