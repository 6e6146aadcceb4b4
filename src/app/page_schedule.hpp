#pragma once
// The pages of a refresh after the first, shared out among the connections that ask for them:
// which page a connection asks for next, which arrived pages can join the list (always in the
// site's order), and what a failed connection means for its page and for itself. Portable and
// not thread-safe: the refresh holds one lock around every call.
//
// Pages are numbered from 0; page 0 came before the schedule was made (it gave the count), so
// the schedule hands out pages 1 to pages - 1.

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "any/row.hpp"

// A page that failed is asked for once more; a second failure ends the refresh.
constexpr int page_attempts = 2;
// Pages that arrived early wait in memory until the ones before them are in; together with the
// pages being asked for they stay within this many for each connection.
constexpr int pages_ahead_per_connection = 4;

class page_schedule {
 public:
  page_schedule(int pages, int connections);

  struct request {
    int page;
    // The page failed before: ask for it on a connection opened for it.
    bool again;
  };
  // The page a connection asks for next, or none for now: every page is asked for or in, or
  // the ones asked for reach as far past the first missing one as memory allows.
  std::optional<request> next();

  // A reply arrived. Gives the rows of the pages that can now join the list, in the site's
  // order (none while an earlier page is still missing); pages at or past a failed one are
  // dropped.
  std::vector<row> arrived(int page, std::vector<row> rows);

  enum class after_failure {
    // The page waits to be asked for again; the connection goes on.
    go_on,
    // The page waits to be asked for again; the connection stops, since others still work: a
    // site may take fewer connections at once.
    leave,
    // The page failed again: only the pages before it are still shown.
    end
  };
  // The connection that asked for `page` failed. `turned_away`: before it gave any reply, and
  // not for want of time (refused, closed at once), as by a site that takes fewer connections.
  // A connection that timed out stays: leaving, it would hold up the pages asked again behind
  // the other connections' own time-outs.
  after_failure failed(int page, bool turned_away);
  // Shows no page from `page` on, as a second failure does.
  void end_at(int page);
  // A connection that stops without having failed (it could not be started).
  void leave() { --connections; }

  // Every page that will be shown is in: nothing more to ask for or to wait for.
  bool over() const { return shown >= end; }
  // Pages asked for and not answered yet.
  std::size_t asking() const { return in_flight.size(); }
  // `next` has nothing for now only because the pages asked for reach as far past the first
  // missing one as memory allows: more will come once it arrives.
  bool waits_for_room() const { return next_new < end && to_ask_again.empty(); }
  // Pages received so far, the first one included, for the progress bar.
  int received() const { return received_pages; }

 private:
  // One past the last page to show; lowered by a failed page.
  int end;
  int connections;
  // The first page not yet handed to the list, and the next one never asked for yet.
  int shown = 1;
  int next_new = 1;
  int received_pages = 1;
  std::set<int> in_flight;
  std::set<int> to_ask_again;
  std::map<int, int> failures;
  std::map<int, std::vector<row>> waiting;
};
