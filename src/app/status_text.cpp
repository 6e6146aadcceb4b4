#include "app/status_text.hpp"

#include <cctype>

#include "net/time_limits.hpp"

namespace {

// "1 entry", "20 entries".
std::string entries_text(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " entry" : " entries");
}

const char* const unreadable_reply = "The archive's reply could not be read.";

bool is_digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

const char* const no_count_failure = "The page had no result count.";
const char* const cancelled_reason = "Cancelled.";
const char* const unexpected_failure = "The refresh stopped on an unexpected error.";

std::string restored_status(std::size_t entries) {
  return (entries ? entries_text(entries) : std::string("No entries")) + " restored from the last session.";
}

std::string loading_status(int page, int pages) {
  std::string text = "Loading page " + std::to_string(page);
  if (pages > 0) text += " of " + std::to_string(pages);
  return text + "...";
}

std::string listed_status(std::size_t entries) {
  return entries ? entries_text(entries) + " listed." : "No entries match the filters.";
}

std::string cancelled_status(std::size_t entries) {
  return entries ? "Cancelled after " + entries_text(entries) + "." : "Cancelled before any entry was listed.";
}

std::string failed_status(const std::string& reason, std::size_t entries) {
  return reason + " " + (entries ? entries_text(entries) : std::string("No entries")) + " listed.";
}

std::string shown_status(const std::string& reason, std::size_t shown, std::size_t listed, std::size_t done) {
  return (reason.empty() ? reason : reason + " ") + std::to_string(shown) + " of " + entries_text(listed) +
         " shown \xC2\xB7 " + std::to_string(done) + " done.";
}

std::string network_failure(const net::net_exception& e, const std::string& host) {

  switch (e.kind) {
    case net::error_kind::timed_out:
      return "The archive did not answer in time.";
    case net::error_kind::too_slow:
      return "The archive's reply came too slowly: not whole after " +
             std::to_string(net::reply_timeout_default_ms / 1000) + " seconds.";
    case net::error_kind::name_not_found:
      return "The archive's host name " + host + " was not found.";
    case net::error_kind::certificate_refused:
      if (const auto* refused = dynamic_cast<const net::certificate_refused*>(&e))
        return certificate_failure(refused->problem);
      return certificate_failure(net::certificate_problem::other);
    default:
      break;
  }
  std::string words = e.system_text;
  while (!words.empty() && std::isspace(static_cast<unsigned char>(words.back()))) words.pop_back();
  return words.empty() ? unreadable_reply : "Network error: " + words;
}

bool timed_out(const net::net_exception& e) {
  return e.kind == net::error_kind::timed_out || e.kind == net::error_kind::too_slow;
}

namespace {

// RFC 9112 4: status-line = HTTP-version SP status-code SP [ reason-phrase ]
std::string status_code(const std::string& status_line) {
  const std::size_t space = status_line.find(' ');
  return space == std::string::npos ? std::string() : status_line.substr(space + 1, 3);
}

}  // namespace

std::string certificate_failure(net::certificate_problem problem) {
  const char* why = "not valid";
  switch (problem) {
    case net::certificate_problem::untrusted: why = "not trusted"; break;
    case net::certificate_problem::expired: why = "expired"; break;
    case net::certificate_problem::wrong_name: why = "made out for another name"; break;
    case net::certificate_problem::bad_signature: why = "its signature does not verify"; break;
    case net::certificate_problem::revoked: why = "revoked"; break;
    case net::certificate_problem::wrong_usage: why = "not made out for a web server"; break;
    case net::certificate_problem::other: break;
  }
  return std::string("The archive's certificate was refused: ") + why + ".";
}

std::string moved_failure(const std::string& status_line, const std::string& location,
                          const archive_address& archive) {
  // RFC 9110 15.4: the redirections that name a new place in Location.
  const std::string code = status_code(status_line);
  if (code != "301" && code != "302" && code != "303" && code != "307" && code != "308") return std::string();
  if (location.empty()) return "The archive answered " + code + " without saying where it moved.";
  // RFC 9110 10.2.2: a relative reference is read against the request's own address.
  const bool absolute = location.find("://") != std::string::npos;
  const std::string target = absolute ? location : archive.base_url() + (location[0] == '/' ? "" : "/") + location;
  std::string text = "The archive moved to " + target;
  if (absolute) {
    const std::size_t path = location.find('/', location.find("://") + 3);
    try {
      const archive_address moved = parse_archive_address(location.substr(0, path));
      if (moved.base_url() != archive.base_url())
        return text + "; start the program with --archive " + moved.base_url() + ".";
    } catch (const std::invalid_argument&) {
      // Somewhere the program cannot go (another scheme): the address alone is said.
    }
  }
  return text + ".";
}

std::string reply_failure(const std::string& status_line) {
  const std::string code = status_code(status_line);
  if (code.size() != 3 || !is_digit(code[0]) || !is_digit(code[1]) || !is_digit(code[2]))
    return unreadable_reply;
  return code == "200" ? std::string() : "The archive answered " + code + ".";
}
