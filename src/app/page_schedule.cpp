#include "app/page_schedule.hpp"

#include <algorithm>
#include <iterator>
#include <utility>

page_schedule::page_schedule(int pages, int connections_) : end(pages), connections(connections_) {}

std::optional<page_schedule::request> page_schedule::next() {
  // A page asked for again always lies before every new one, so it never waits for room.
  if (!to_ask_again.empty()) {
    const int page = *to_ask_again.begin();
    to_ask_again.erase(to_ask_again.begin());
    in_flight.insert(page);
    return request{page, true};
  }
  const int room = pages_ahead_per_connection * std::max(connections, 1);
  if (next_new >= end || next_new - shown >= room) return std::nullopt;
  in_flight.insert(next_new);
  return request{next_new++, false};
}

std::vector<row> page_schedule::arrived(int page, std::vector<row> rows) {
  std::vector<row> ready;
  if (in_flight.erase(page) == 0) return ready;
  ++received_pages;
  if (page >= end) return ready;
  waiting.emplace(page, std::move(rows));
  for (auto first = waiting.begin(); first != waiting.end() && first->first == shown;
       first = waiting.erase(first), ++shown)
    std::move(first->second.begin(), first->second.end(), std::back_inserter(ready));
  return ready;
}

page_schedule::after_failure page_schedule::failed(int page, bool turned_away) {
  if (in_flight.erase(page) == 0 || page >= end) return after_failure::go_on;
  if (++failures[page] >= page_attempts) {
    end_at(page);
    return after_failure::end;
  }
  to_ask_again.insert(page);
  // The last connection never leaves: the page's second try needs one.
  if (turned_away && connections > 1) {
    --connections;
    return after_failure::leave;
  }
  return after_failure::go_on;
}

void page_schedule::end_at(int page) {
  end = std::min(end, page);
  waiting.erase(waiting.lower_bound(end), waiting.end());
  to_ask_again.erase(to_ask_again.lower_bound(end), to_ask_again.end());
}
