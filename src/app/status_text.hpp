#pragma once
// The status line's texts: what the last refresh did, or what the start restored, in plain
// words. Portable: the refresh flow and the state store choose the text, the main window
// shows it.

#include <cstddef>
#include <string>

#include "net/certificate_refused.hpp"
#include "net/net_exception.hpp"
#include "site/archive_address.hpp"

// "12 entries restored from the last session." and the like.
std::string restored_status(std::size_t entries);
// "Loading page 2 of 5..."; `pages` 0 while the number is not known yet: "Loading page 1...".
std::string loading_status(int page, int pages);
// "45 entries listed."; none: "No entries match the filters."
std::string listed_status(std::size_t entries);
// "Cancelled after 20 entries."; none: "Cancelled before any entry was listed."
std::string cancelled_status(std::size_t entries);
// The reason, then how many entries were listed: "The archive answered 500. No entries listed."
std::string failed_status(const std::string& reason, std::size_t entries);
// While a Find text narrows the list, what shows of it in place of how many were listed,
// after the reason the last refresh stopped, if any: "25 of 368 entries shown · 12 done.",
// "Cancelled. 25 of 368 entries shown · 12 done." The dot is UTF-8.
std::string shown_status(const std::string& reason, std::size_t shown, std::size_t listed, std::size_t done);
extern const char* const cancelled_reason;  // "Cancelled."

// -- reasons --

// From a network exception, by its kind: the client's time-outs say the archive did not answer
// in time (or, for a reply that came too slowly, how long it was given), a refused certificate
// says why (as `certificate_failure`), a name without an address names the archive's `host`
// ("The archive's host name archive.example was not found."); any other failure is "Network
// error: " and the system's own words for its code ("Network error: Connection refused."), or,
// where the system gave none, says the reply was unreadable.
std::string network_failure(const net::net_exception& e, const std::string& host);
// Whether the failure was for want of time: a connect or a reply that did not come, or did
// not come whole.
bool timed_out(const net::net_exception& e);
// "The archive answered 500." for a reply whose status line carries another code than 200,
// the empty text for 200.
std::string reply_failure(const std::string& status_line);
// "The archive's certificate was refused: expired." and the like: the connection ended before
// any request.
std::string certificate_failure(net::certificate_problem problem);
// For a redirect (301, 302, 303, 307, 308): "The archive moved to https://new.example/archive/;
// start the program with --archive https://new.example." The address it points to is read
// against the archive in use; one on the same archive, or none, gets no advice. The empty
// text for any other status.
std::string moved_failure(const std::string& status_line, const std::string& location,
                          const archive_address& archive);
extern const char* const no_count_failure;    // "The page had no result count."
extern const char* const unexpected_failure;  // "The refresh stopped on an unexpected error."
