#pragma once
// Bodies sent compressed (RFC 9110 8.4): gzip and deflate, inflated with zlib, within bounds
// that a small reply cannot make the program exceed. Portable.

#include <cstddef>
#include <string>

#include "net/http_message.hpp"

namespace net {

// What a request says the client reads (RFC 9110 12.5.3).
constexpr const char* accepted_codings = "gzip, deflate";
// A body may inflate to at most this many times its size: pages shrink a few times, never
// near this, while a crafted reply of a few kilobytes could otherwise fill the body limit.
constexpr std::size_t max_inflation_ratio = 1000;

// The content of a body sent with the codings `content_encoding` names (the field's value,
// empty for none), undone in the reverse order of the list: "gzip" and "x-gzip" (RFC 1952),
// "deflate" (RFC 1950, or the bare RFC 1951 data some servers send), "identity". Throws
// net_exception (kind malformed_reply): "http_resp Content-Encoding \"...\" not understood"
// for any other coding, "malformed http_resp(bad gzip body)" and the like, "http_resp body
// inflates past the limit" beyond `limit` bytes, "http_resp body inflates more than 1000
// times its size".
std::string decoded_content(std::string body, const std::string& content_encoding,
                            std::size_t limit = max_body_bytes);

}  // namespace net
