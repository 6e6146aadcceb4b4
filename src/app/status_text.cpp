#include "app/status_text.hpp"

#include <cctype>

namespace {

// "1 entry", "20 entries".
std::string entries_text(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " entry" : " entries");
}

const char* const unreadable_reply = "The archive's reply could not be read.";

bool is_digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

const char* const no_count_failure = "The page had no result count.";
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

std::string network_failure(const std::string& exception_text) {
  // "<what> <code>: <the system's message>", the message as the system wrote it.
  for (std::size_t colon = exception_text.find(": "); colon != std::string::npos;
       colon = exception_text.find(": ", colon + 1)) {
    std::size_t digits = colon;
    while (digits > 0 && is_digit(exception_text[digits - 1])) --digits;
    if (digits == colon || digits == 0 || exception_text[digits - 1] != ' ') continue;
    std::string message = exception_text.substr(colon + 2);
    while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back()))) message.pop_back();
    if (!message.empty()) return "Network error: " + message;
  }
  // The client's own limits: a connect nobody answered, a reply that stopped coming.
  if (timed_out(exception_text)) return "The archive did not answer in time.";
  return unreadable_reply;
}

bool timed_out(const std::string& exception_text) {
  return exception_text.find(" timed out (") != std::string::npos;
}

std::string reply_failure(const std::string& status_line) {
  // RFC 9112 4: status-line = HTTP-version SP status-code SP [ reason-phrase ]
  const std::size_t space = status_line.find(' ');
  const std::string code = space == std::string::npos ? std::string() : status_line.substr(space + 1, 3);
  if (code.size() != 3 || !is_digit(code[0]) || !is_digit(code[1]) || !is_digit(code[2]))
    return unreadable_reply;
  return code == "200" ? std::string() : "The archive answered " + code + ".";
}
