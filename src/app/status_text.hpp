#pragma once
// The status line's texts: what the last refresh did, or what the start restored, in plain
// words. Portable: the refresh flow and the state store choose the text, the main window
// shows it.

#include <cstddef>
#include <string>

#include "net/certificate_refused.hpp"
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

// -- reasons --

// From the text of a network exception: "Network error: " and the system's own words, which
// follow the error code ("socket connect error 10061: Connection refused.\r\n" gives
// "Network error: Connection refused."); the client's time-outs say the archive did not answer
// in time; any other text without a code says the reply was unreadable.
std::string network_failure(const std::string& exception_text);
// Whether the text is one of the client's time-outs (a connect or a reply that did not come).
bool timed_out(const std::string& exception_text);
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
