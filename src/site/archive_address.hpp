#pragma once
// The archive's address as a user gives it: "http://" or "https://", a host and an optional
// port ("https://archive.example:8443", "https://[2001:db8::1]:8443"). The requests, the
// window title and the entries the browser may open all follow it.

#include <stdexcept>
#include <string>

struct archive_address {
  // "http" or "https", lower case.
  std::string scheme;
  // A name without a trailing ".", an IPv4 address, or an IPv6 address without its brackets
  // (as net/address_literal reads it); lower case.
  std::string host;
  int port = 0;

  bool secure() const { return scheme == "https"; }
  // The scheme, "://", the host and the port where it is not the scheme's own; no trailing
  // slash, so that an entry's link follows it.
  std::string base_url() const;
  // The Host field of a request (RFC 9110 7.2): the host (an IPv6 address in brackets), and
  // the port where it is not the scheme's own.
  std::string authority() const;
};

// Reads an address; a trailing "/" is allowed, any other path, a query, a fragment or user
// information is not. An IPv4 address is four decimal numbers without leading zeros; a host
// that looks like a number written any other way is refused. Throws std::invalid_argument
// whose text says what is wrong, in words for the person who typed it ("the port must be a
// number from 1 to 65535").
archive_address parse_archive_address(const std::string& text);
