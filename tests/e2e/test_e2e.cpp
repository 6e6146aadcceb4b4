// The built program under Wine, against the local archive server on 127.0.0.1:80 (and over
// HTTPS on the ports run_e2e.sh names), driven from outside through its windows.
//
// Sections:
//   -- the harness: work directories, the server, the program --
//   -- what the server sends, for comparison --
//   -- paging, form and cookie --
//   -- cancel and network failures --
//   -- the state file --
//   -- the keyboard --
//   -- the status line --
//   -- the command line and the About box --
//   -- sizes at any DPI --
//   -- names in every script --
//   -- opening entries in the browser --
//   -- HTTPS and the archive's address --
//   -- pages over several connections --
//   -- servers others wrote --
//   -- names, IPv6 and compressed pages --
//   -- the list as a tool: sorting and finding --
//   -- what outlives the program --

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/version.hpp"
#include "site/archive_site.hpp"
#include "e2e/driver.hpp"
#include "e2e/state_file.hpp"
// After windows.h, which the driver brings in.
#include <commctrl.h>

#ifndef VEX_E2E_APP
#error "VEX_E2E_APP names the program under test"
#endif

namespace {

using e2e::app_window;
using e2e::logged_request;
using e2e::program;

// -- the harness: work directories, the server, the program --

const char* const default_body =
    "action=archive&sort=DATE&title=&start=0&difficulty=0&platform=&lang=&type=ALL";
constexpr DWORD start_ms = 30000;
constexpr DWORD refresh_ms = 60000;
constexpr DWORD exit_ms = 30000;

e2e::archive_server server("127.0.0.1", 80);
// The archive the program queries without --archive: the local server's plain port.
const archive_address build = build_archive();

// Where the harness keeps its files, as a Unix path; set by run_e2e.sh, else the build
// tree's default.
std::string work_root() { return e2e::env("VEX_E2E_WORK", VEX_E2E_DEFAULT_WORK); }
std::string control_script() { return e2e::env("VEX_E2E_CONTROL", VEX_E2E_DEFAULT_CONTROL); }
std::string server_script() { return e2e::env("VEX_E2E_SERVER", VEX_E2E_DEFAULT_SERVER); }
// The server's certificates and their authority, made by the harness script.
std::string tls_root() {
  const std::string work = work_root();
  return e2e::env("VEX_E2E_TLS", work.substr(0, work.find_last_of('/')) + "/tls");
}

// The harness script stops and starts the server; Wine runs it as a Linux program.
bool server_command(const std::string& what, std::string& error) {
  std::string line = "/bin/bash " + control_script() + " " + what + " " + work_root();
  if (what == "server-start") line += " " + server_script();
  if (!e2e::start_unix_program(line, error)) return false;
  const bool want_alive = what == "server-start";
  if (!e2e::wait_until([&] { return server.alive() == want_alive; }, 20000, 50)) {
    error = "the server did not " + std::string(want_alive ? "start" : "stop");
    return false;
  }
  return true;
}

// Run on its own (not through run_e2e.sh), the test program starts the server itself.
class server_environment : public testing::Environment {
 public:
  void SetUp() override {
    std::string error;
    if (!server.alive()) {
      e2e::make_directories(e2e::windows_path(work_root()));
      ASSERT_TRUE(server_command("server-start", error)) << error;
      started_here = true;
    }
    // The program trusts what Windows trusts; in this prefix, the local archive's authority.
    ASSERT_TRUE(e2e::trust_root(e2e::windows_path(tls_root() + "/ca.der"), error)) << error;
  }
  void TearDown() override {
    std::string error;
    if (started_here) server_command("server-stop", error);
  }
  bool started_here = false;
};

testing::Environment* const registered = testing::AddGlobalTestEnvironment(new server_environment);

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) out.push_back(line);
    at = end + 1;
  }
  return out;
}

std::vector<std::string> column(const std::vector<std::vector<std::string>>& rows, std::size_t c) {
  std::vector<std::string> out;
  for (const auto& r : rows) out.push_back(c < r.size() ? r[c] : std::string("<missing>"));
  return out;
}

// The list's columns: Name, Difficulty, Solved, Done.
enum list_column { col_name = 0, col_difficulty = 1, col_solved = 2, col_done = 3 };

class E2E : public testing::Test {
 protected:
  void SetUp() override {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    dir_unix = work_root() + "/" + info->test_suite_name() + "." + info->name();
    dir = e2e::windows_path(dir_unix);
    ASSERT_TRUE(e2e::make_directories(dir)) << dir;
    e2e::clear_directory(dir);
    if (!server.alive()) {
      std::string error;
      ASSERT_TRUE(server_command("server-start", error)) << error;
    }
    reset_server();
  }

  void TearDown() override {
    if (app_process && app_process->running() && !HasFailure()) {
      ADD_FAILURE() << "the program was still running at the end of the test; output:\n"
                    << app_process->output();
    }
    app.reset();
    app_process.reset();
    if (!server.alive()) {
      std::string error;
      EXPECT_TRUE(server_command("server-start", error)) << error;
    }
  }

  std::string state_path() const { return dir + "/gui_state"; }

  void reset_server() {
    std::string error;
    ASSERT_TRUE(server.reset(error)) << error;
  }
  void set_faults(const std::string& settings) {
    std::string error;
    ASSERT_TRUE(server.faults(settings, error)) << error;
  }
  std::vector<logged_request> server_log() {
    std::vector<logged_request> log;
    std::string error;
    EXPECT_TRUE(server.log(log, error)) << error;
    return log;
  }

  // Starts the program in this test's directory with `arguments` and finds its window,
  // titled with the archive's host; its output so far stays readable through `output()`
  // after it ended.
  void start_app(const std::string& arguments = "", const std::string& title = build.host) {
    ASSERT_NO_FATAL_FAILURE(start_process(arguments));
    std::string error;
    app.reset(new app_window);
    ASSERT_TRUE(app->attach(title, app_process->id, start_ms, error)) << error;
    ASSERT_TRUE(app->idle()) << "button \"" << app->button_text() << "\" at start";
  }

  void start_process(const std::string& arguments) {
    ++runs;
    app.reset();
    app_process.reset(new program);
    std::string error;
    ASSERT_TRUE(app_process->start(VEX_E2E_APP, dir, dir + "/output-" + std::to_string(runs) + ".txt", error,
                                   arguments))
        << error;
  }

  // WM_CLOSE, then the program must end by itself with exit code 0.
  void close_app() {
    ASSERT_TRUE(app->post_close());
    ASSERT_TRUE(app_process->wait_exit(exit_ms)) << "no exit after WM_CLOSE";
    EXPECT_EQ(0u, app_process->exit_code()) << output();
  }

  std::string output() const { return app_process ? app_process->output() : std::string(); }

  void refresh() {
    ASSERT_GE(app->refresh(refresh_ms), 0)
        << "no idle state after Refresh; button \"" << app->button_text() << "\"; output:\n"
        << output();
  }

  // A refresh of 25 entries, two requests that name `authority` in their Host field, from
  // the archive the program was started with; `log` receives the requests.
  void refresh_two_pages(const std::string& authority, std::vector<logged_request>& log) {
    set_faults("{\"total\": 25}");
    ASSERT_NO_FATAL_FAILURE(refresh());
    log = server_log();
    ASSERT_EQ(2u, log.size());
    for (const logged_request& r : log)
      EXPECT_EQ(authority, r.headers.count("host") ? r.headers.at("host") : "<none>");
    EXPECT_EQ(25, app->row_count());
    EXPECT_EQ("25 entries listed.", app->status_text());
  }

  // Waits for the keyboard focus to reach `want`.
  void expect_focus(HWND want, const char* what) {
    EXPECT_TRUE(e2e::wait_until([&] { return app->focus() == want; }, 10000))
        << "focus not on " << what << " but " << app->focus();
  }

  std::vector<std::string> names() const { return column(app->rows(), 0); }
  std::vector<std::string> done_column() const { return column(app->rows(), col_done); }

  void read_state(e2e::state_file& s) {
    std::string bytes, error;
    ASSERT_TRUE(e2e::read_file(state_path(), bytes)) << "no state file";
    ASSERT_TRUE(e2e::parse_state(bytes, s, error)) << error << " (" << bytes.size() << " bytes)";
  }

  std::string dir_unix, dir;
  int runs = 0;
  std::unique_ptr<program> app_process;
  std::unique_ptr<app_window> app;
};

// -- what the server sends, for comparison --

struct entry {
  std::string url, name;
};

// The UTF-8 of one code point.
std::string utf8_of(unsigned long point) {
  std::wstring w;
  if (point >= 0x10000) {
    point -= 0x10000;
    w += static_cast<wchar_t>(0xD800 + (point >> 10));
    w += static_cast<wchar_t>(0xDC00 + (point & 0x3FF));
  } else {
    w += static_cast<wchar_t>(point);
  }
  return e2e::utf8(w);
}

// A page's bytes in its code page as UTF-8.
std::string utf8_of_page(const std::string& bytes, UINT code_page) {
  if (bytes.empty()) return bytes;
  const int size = static_cast<int>(bytes.size());
  std::wstring w(bytes.size(), L'\0');
  w.resize(static_cast<std::size_t>(MultiByteToWideChar(code_page, 0, bytes.data(), size, &w[0], size)));
  return e2e::utf8(w);
}

// The references the server writes: the four of markup, and numeric ones ("&#NNN;") for
// whatever the page's character set lacks.
std::string decode_references(const std::string& s) {
  static const std::pair<const char*, const char*> refs[] = {
      {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}};
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t end = s.find(';', i);
    if (s.compare(i, 2, "&#") == 0 && end != std::string::npos && end > i + 2) {
      const bool hex = s[i + 2] == 'x' || s[i + 2] == 'X';
      const std::string digits = s.substr(i + (hex ? 3 : 2), end - i - (hex ? 3 : 2));
      if (!digits.empty() && digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") ==
                                 std::string::npos) {
        out += utf8_of(std::stoul(digits, nullptr, hex ? 16 : 10));
        i = end + 1;
        continue;
      }
    }
    bool replaced = false;
    for (const auto& r : refs) {
      const std::size_t n = std::char_traits<char>::length(r.first);
      if (s.compare(i, n, r.first) == 0) {
        out += r.second;
        i += n;
        replaced = true;
        break;
      }
    }
    if (!replaced) out += s[i++];
  }
  return out;
}

// The entries of a result page, as the server writes them: one heading link each.
std::vector<entry> page_entries(const std::string& html) {
  std::vector<entry> out;
  const std::string open = "<h2><a href=\"";
  for (std::size_t at = html.find(open); at != std::string::npos; at = html.find(open, at)) {
    at += open.size();
    const std::size_t q = html.find("\">", at);
    const std::size_t close = html.find("</a>", q);
    if (q == std::string::npos || close == std::string::npos) break;
    out.push_back({html.substr(at, q - at), decode_references(html.substr(q + 2, close - q - 2))});
    at = close;
  }
  return out;
}

int start_of(const logged_request& r) {
  return r.form.count("start") ? std::atoi(r.form.at("start").c_str()) : -1;
}

// The requests of one refresh in the site's order, each page once: its connections ask in
// an order of their own, and a page whose connection failed is asked for again.
std::vector<logged_request> in_site_order(std::vector<logged_request> requests) {
  auto before = [](const logged_request& a, const logged_request& b) { return start_of(a) < start_of(b); };
  auto same = [](const logged_request& a, const logged_request& b) { return start_of(a) == start_of(b); };
  std::stable_sort(requests.begin(), requests.end(), before);
  requests.erase(std::unique(requests.begin(), requests.end(), same), requests.end());
  return requests;
}

// Posts the same bodies again (those of one refresh), with `faults` in force instead of
// whatever the test had set, and collects the entries the program should show from pages in
// `code_page`, in the site's order.
std::vector<entry> replay(const std::vector<logged_request>& requests, const std::string& faults,
                          UINT code_page = 1252) {
  std::string error;
  EXPECT_TRUE(server.reset(error)) << error;
  EXPECT_TRUE(server.faults(faults, error)) << error;
  std::vector<entry> out;
  for (const logged_request& r : in_site_order(requests)) {
    e2e::http_reply reply;
    EXPECT_TRUE(e2e::http_request("127.0.0.1", 80, "POST", "/archive/", r.body, reply, error)) << error;
    EXPECT_EQ(200, reply.status);
    for (const entry& e : page_entries(utf8_of_page(reply.body, code_page))) out.push_back(e);
  }
  return out;
}

// The names of the first `n` stored rows as the list shows them: the file keeps them as a
// Windows-1252 page's text, character references included.
std::vector<std::string> first_names(const e2e::state_file& s, std::size_t n) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < n && i < s.rows.size(); ++i)
    out.push_back(decode_references(utf8_of_page(s.rows[i].at("name").text, 1252)));
  return out;
}

std::vector<std::string> names_of(const std::vector<entry>& entries) {
  std::vector<std::string> out;
  for (const entry& e : entries) out.push_back(e.name);
  return out;
}

std::vector<std::string> starts_of(const std::vector<logged_request>& log) {
  std::vector<std::string> out;
  for (const logged_request& r : log) out.push_back(r.form.count("start") ? r.form.at("start") : "<none>");
  return out;
}

// The starts of one refresh: the first page alone, then the others in any order.
std::vector<std::string> sorted_starts_of(const std::vector<logged_request>& log) {
  std::vector<std::string> starts = starts_of(log);
  auto before = [](const std::string& a, const std::string& b) {
    return std::atoi(a.c_str()) < std::atoi(b.c_str());
  };
  if (!starts.empty()) std::sort(starts.begin() + 1, starts.end(), before);
  return starts;
}

// -- paging, form and cookie --

TEST_F(E2E, RequestsFollowTheResultCount) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  EXPECT_EQ(0, app->row_count());

  const struct {
    int total;
    std::vector<std::string> starts;
  } cases[] = {{0, {"0"}}, {20, {"0"}}, {21, {"0", "20"}}, {45, {"0", "20", "40"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE("total " + std::to_string(c.total));
    reset_server();
    set_faults(nlohmann::json{{"total", c.total}}.dump());
    ASSERT_NO_FATAL_FAILURE(refresh());
    const std::vector<logged_request> log = server_log();
    EXPECT_EQ(c.starts, sorted_starts_of(log));
    ASSERT_FALSE(log.empty());
    // A first start queries with every filter at its first item and an empty title.
    EXPECT_EQ(default_body, log[0].body);
    for (const logged_request& r : log) {
      EXPECT_EQ("POST", r.method);
      EXPECT_EQ("/archive/", r.path);
      EXPECT_EQ(build.authority(), r.headers.count("host") ? r.headers.at("host") : "<none>");
      EXPECT_EQ("keep-alive", r.headers.count("connection") ? r.headers.at("connection") : "<none>");
      EXPECT_EQ("application/x-www-form-urlencoded",
                r.headers.count("content-type") ? r.headers.at("content-type") : "<none>");
    }
    EXPECT_EQ(c.total, app->row_count());
    EXPECT_EQ(names_of(replay(log, "{\"total\": " + std::to_string(c.total) + "}")), names());
    EXPECT_EQ(std::vector<std::string>(static_cast<std::size_t>(c.total), ""), done_column());
  }
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// The "Cookie" field of each request: `expected`, or none where that is null (a first page).
void expect_cookies(const std::vector<logged_request>& log, const std::vector<const char*>& expected) {
  ASSERT_EQ(expected.size(), log.size());
  for (std::size_t i = 0; i < log.size(); ++i) {
    SCOPED_TRACE("request " + std::to_string(i));
    const auto cookie = log[i].headers.find("cookie");
    if (expected[i]) {
      ASSERT_NE(log[i].headers.end(), cookie);
      EXPECT_EQ(expected[i], cookie->second);
    } else {
      EXPECT_EQ(log[i].headers.end(), cookie) << "cookie \"" << cookie->second << "\" on a first page";
    }
  }
}

TEST_F(E2E, CookieOnlyOnLaterPagesOfARefresh) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 45}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  ASSERT_NO_FATAL_FAILURE(refresh());
  const std::vector<logged_request> log = server_log();
  ASSERT_EQ(6u, log.size());
  // The server hands out session n to the n-th request that came without a cookie.
  // The cookie's attributes stay with the program.
  expect_cookies(log, {nullptr, "session=1", "session=1", nullptr, "session=2", "session=2"});
  EXPECT_EQ((std::vector<std::string>{"0", "20", "40"}),
            sorted_starts_of(std::vector<logged_request>(log.begin(), log.begin() + 3)));
  EXPECT_EQ((std::vector<std::string>{"0", "20", "40"}),
            sorted_starts_of(std::vector<logged_request>(log.begin() + 3, log.end())));
  EXPECT_NE(log[0].connection, log[3].connection) << "each refresh opens its own connection";
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// Every cookie of every reply, as a browser keeps them for the site: a later value replaces an
// earlier one, an expiry in the past removes one, and a refresh starts without any.
TEST_F(E2E, CookiesAreKeptAsABrowserKeepsThem) {
  ASSERT_NO_FATAL_FAILURE(start_app("--connections 1"));
  set_faults("{\"total\": 60, \"cookies\": true}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  ASSERT_NO_FATAL_FAILURE(refresh());
  const std::vector<logged_request> log = server_log();
  ASSERT_EQ(6u, log.size());
  expect_cookies(log, {nullptr, "session=1; lang=en; visits=1", "session=1; visits=2", nullptr,
                       "session=2; lang=en; visits=1", "session=2; visits=2"});
  EXPECT_EQ("60 entries listed.", app->status_text());
  ASSERT_NO_FATAL_FAILURE(close_app());
}

TEST_F(E2E, TitleAndFiltersAreSentFormEncoded) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  // The vocabularies, each box at its first item.
  const int counts[] = {10, 13, 10, 5, 6};
  const char* const firsts[] = {"Any difficulty", "Any platform", "Any language", "All vexlets",
                                "Most recent first"};
  for (int i = 0; i < 5; ++i) {
    const auto which = static_cast<e2e::filter_combo>(i);
    EXPECT_EQ(counts[i], app->combo_count(which)) << "combo " << i;
    EXPECT_EQ(0, app->combo_selection(which)) << "combo " << i;
    EXPECT_EQ(firsts[i], app->combo_item(which, 0)) << "combo " << i;
  }

  ASSERT_TRUE(app->set_title("a&b c"));
  ASSERT_NO_FATAL_FAILURE(refresh());
  std::vector<logged_request> log = server_log();
  ASSERT_EQ(1u, log.size());
  EXPECT_NE(std::string::npos, log[0].body.find("title=a%26b+c")) << log[0].body;
  EXPECT_EQ("action=archive&sort=DATE&title=a%26b+c&start=0&difficulty=0&platform=&lang=&type=ALL",
            log[0].body);
  EXPECT_EQ("a&b c", log[0].form["title"]);

  reset_server();
  ASSERT_TRUE(app->set_title("Me v"));
  ASSERT_TRUE(app->choose_combo(e2e::difficulty, 3));
  ASSERT_TRUE(app->choose_combo(e2e::platform, 12));
  ASSERT_TRUE(app->choose_combo(e2e::language, 8));
  ASSERT_TRUE(app->choose_combo(e2e::type, 2));
  ASSERT_TRUE(app->choose_combo(e2e::sort, 3));
  ASSERT_NO_FATAL_FAILURE(refresh());
  log = server_log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ("action=archive&sort=DIFF_INV&title=Me+v&start=0&difficulty=3&platform=100&lang=10&type=UNSOLVED",
            log[0].body);
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// The filters are taken when a refresh starts: one changed while its pages arrive waits for
// the next refresh instead of mixing two result sets under the first page's count.
TEST_F(E2E, AFilterChangedDuringARefreshWaitsForTheNext) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 45, \"delay_ms\": 1500, \"delay_from\": 1}");
  ASSERT_TRUE(app->click_refresh());
  ASSERT_TRUE(e2e::wait_until([&] { return server_log().size() >= 2; }, refresh_ms));
  ASSERT_TRUE(app->set_title("changed"));
  ASSERT_TRUE(app->choose_combo(e2e::type, 2));
  ASSERT_TRUE(app->wait_idle(refresh_ms)) << app->button_text();
  std::vector<logged_request> log = server_log();
  EXPECT_EQ((std::vector<std::string>{"0", "20", "40"}), sorted_starts_of(log));
  for (logged_request& r : log) {
    EXPECT_EQ("", r.form["title"]) << r.body;
    EXPECT_EQ("ALL", r.form["type"]) << r.body;
  }
  EXPECT_EQ(45, app->row_count());

  reset_server();
  set_faults("{\"total\": 5}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  log = server_log();
  ASSERT_EQ(1u, log.size());
  EXPECT_EQ("changed", log[0].form["title"]);
  EXPECT_EQ("UNSOLVED", log[0].form["type"]);
  ASSERT_NO_FATAL_FAILURE(close_app());
}

TEST_F(E2E, RepliesWithoutACountShowTheFirstPageOnly) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"no_count\": true}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  std::vector<logged_request> log = server_log();
  EXPECT_EQ(1u, log.size());
  EXPECT_EQ(names_of(replay(log, "{}")), names());
  EXPECT_EQ(20, app->row_count());

  reset_server();
  set_faults("{\"status\": 500}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  EXPECT_EQ(1u, server_log().size());
  EXPECT_EQ(0, app->row_count());

  const std::vector<std::string> out = lines_of(output());
  EXPECT_EQ(2, std::count(out.begin(), out.end(), "error resp")) << output();
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// -- cancel and network failures --

TEST_F(E2E, CancelDuringTheSecondPageKeepsTheFirst) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 45, \"delay_ms\": 8000, \"delay_from\": 1}");
  ASSERT_TRUE(app->click_refresh());
  // The second and third pages are asked for at once, on two connections.
  ASSERT_TRUE(e2e::wait_until([&] { return app->row_count() == 20 && server_log().size() == 3; }, refresh_ms))
      << app->row_count() << " rows";
  EXPECT_EQ("Loading", app->button_text());
  EXPECT_TRUE(app->progress_visible());

  ASSERT_TRUE(app->click_refresh());  // the press that cancels
  ASSERT_TRUE(app->wait_idle(refresh_ms)) << app->button_text();
  // Had the cancel not ended the exchange, the delayed replies would follow.
  EXPECT_EQ(3u, server_log().size());
  EXPECT_EQ(20, app->row_count());
  const std::vector<logged_request> first_page(1, server_log()[0]);
  EXPECT_EQ(names_of(replay(first_page, "{\"total\": 45}")), names());
  EXPECT_FALSE(lines_of(output()).empty()) << "the exchange's error goes to standard output";

  // Idle again for real: the next press starts a whole refresh.
  reset_server();
  set_faults("{\"total\": 5}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  EXPECT_EQ(5, app->row_count());
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// The earlier list stays as it was, shown, selected and in the state file.
TEST_F(E2E, RefusedConnectionEndsTheRefresh) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 21}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  ASSERT_TRUE(app->click_row(3));
  const std::vector<std::string> earlier = names();
  std::string error;
  ASSERT_TRUE(server_command("server-stop", error)) << error;
  ASSERT_NO_FATAL_FAILURE(refresh());
  EXPECT_EQ(earlier, names());
  EXPECT_EQ(3, app->selection_mark());
  EXPECT_EQ("Network error: Connection refused. 21 entries listed.", app->status_text());
  const std::vector<std::string> out = lines_of(output());
  ASSERT_EQ(1u, out.size()) << output();
  EXPECT_NE(std::string::npos, out[0].find("10061")) << "connection refused: " << out[0];
  ASSERT_NO_FATAL_FAILURE(close_app());
  e2e::state_file s;
  ASSERT_NO_FATAL_FAILURE(read_state(s));
  EXPECT_EQ(earlier, first_names(s, 21));
  EXPECT_EQ(3, s.selected);

  ASSERT_TRUE(server_command("server-start", error)) << error;
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 5}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  EXPECT_EQ(5, app->row_count());
  ASSERT_NO_FATAL_FAILURE(close_app());
}

TEST_F(E2E, ServerClosingTheConnectionEndsTheRefresh) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  // No reply at all.
  set_faults("{\"close_after\": 0}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  EXPECT_EQ(0, app->row_count());
  EXPECT_EQ(1u, lines_of(output()).size()) << output();

  // One reply, then the connection closes: the first page stays.
  reset_server();
  set_faults("{\"total\": 45, \"close_after\": 1}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  const std::vector<logged_request> log = server_log();
  ASSERT_GE(log.size(), 1u);
  EXPECT_EQ(20, app->row_count());
  EXPECT_EQ(names_of(replay(std::vector<logged_request>(1, log[0]), "{\"total\": 45}")), names());
  EXPECT_EQ(2u, lines_of(output()).size()) << output();
  ASSERT_NO_FATAL_FAILURE(close_app());
}

TEST_F(E2E, ChunkBoundariesInsideEntriesLoseNoRows) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  const char* const variants[] = {
      "{\"total\": 45, \"chunked\": true, \"chunk_size\": 7}",
      "{\"total\": 45, \"chunked\": true, \"chunk_size\": 1}",
      "{\"total\": 45, \"chunked\": true, \"chunk_size\": 100, \"split_head\": true}",
      "{\"total\": 45, \"split_head\": true}",
      // As servers write it too: chunks with extensions, names in lower case.
      "{\"total\": 45, \"chunked\": true, \"chunk_size\": 100, \"chunk_extensions\": true}",
      "{\"total\": 45, \"lower_case_names\": true}",
      "{\"total\": 45, \"lower_case_names\": true, \"chunked\": true, \"chunk_size\": 1000}",
  };
  for (const char* faults : variants) {
    SCOPED_TRACE(faults);
    reset_server();
    set_faults(faults);
    ASSERT_NO_FATAL_FAILURE(refresh());
    const std::vector<logged_request> log = server_log();
    EXPECT_EQ(3u, log.size());
    EXPECT_EQ(names_of(replay(log, "{\"total\": 45}")), names());
  }
  EXPECT_TRUE(lines_of(output()).empty()) << output();
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// -- the state file --

TEST_F(E2E, MarksSurviveARestart) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  // Every page's first entry gets the same url: rows 0 and 20 are one entry.
  set_faults("{\"total\": 25, \"first_url\": \"/vexlets/twice/\"}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  const std::vector<entry> entries =
      replay(server_log(), "{\"total\": 25, \"first_url\": \"/vexlets/twice/\"}");
  ASSERT_EQ(25u, entries.size());
  ASSERT_EQ(25, app->row_count());

  ASSERT_TRUE(app->click_row(2));
  ASSERT_TRUE(app->context_menu(2, 1));
  EXPECT_EQ("Yes", app->cell(2, col_done));
  ASSERT_TRUE(app->click_row(4));
  ASSERT_TRUE(app->context_menu(4, 1));
  EXPECT_EQ("Yes", app->cell(4, col_done));
  ASSERT_TRUE(app->context_menu(4, 2));
  EXPECT_EQ("", app->cell(4, col_done));
  ASSERT_TRUE(app->click_row(6));
  ASSERT_TRUE(app->context_menu(6, 0));  // dismissed
  EXPECT_EQ("", app->cell(6, col_done));
  ASSERT_TRUE(app->context_menu(6, 2));  // unmarking an unmarked entry
  EXPECT_EQ("", app->cell(6, col_done));
  ASSERT_TRUE(app->click_row(0));
  ASSERT_TRUE(app->context_menu(0, 1));
  EXPECT_EQ("Yes", app->cell(0, col_done));
  ASSERT_NO_FATAL_FAILURE(close_app());

  e2e::state_file s;
  ASSERT_NO_FATAL_FAILURE(read_state(s));
  EXPECT_EQ((std::map<std::string, bool>{{entries[2].url, true}, {"/vexlets/twice/", true}}), s.marks);
  ASSERT_EQ(25u, s.rows.size());
  EXPECT_EQ(entries[2].url, s.rows[2]["url"].text);
  EXPECT_EQ(2, s.rows[2]["solved"].tag);

  ASSERT_NO_FATAL_FAILURE(start_app());
  EXPECT_EQ(names_of(entries), names());
  std::vector<std::string> done(25, "");
  done[0] = done[2] = done[20] = "Yes";
  EXPECT_EQ(done, done_column());
  ASSERT_NO_FATAL_FAILURE(close_app());
}

TEST_F(E2E, SelectionSurvivesTwoRestarts) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 25}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  ASSERT_TRUE(app->click_row(7));
  ASSERT_EQ(7, app->selection_mark());
  const std::vector<std::string> shown = names();
  ASSERT_NO_FATAL_FAILURE(close_app());

  for (int restart = 1; restart <= 2; ++restart) {
    SCOPED_TRACE("restart " + std::to_string(restart));
    e2e::state_file s;
    ASSERT_NO_FATAL_FAILURE(read_state(s));
    EXPECT_EQ(7, s.selected);
    ASSERT_NO_FATAL_FAILURE(start_app());
    EXPECT_EQ(shown, names());
    EXPECT_EQ(7, app->selection_mark());
    ASSERT_NO_FATAL_FAILURE(close_app());
  }
}

TEST_F(E2E, TitleAndFourFiltersSurviveARestart) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  ASSERT_TRUE(app->set_title("keyloom"));
  ASSERT_TRUE(app->choose_combo(e2e::difficulty, 2));
  ASSERT_TRUE(app->choose_combo(e2e::platform, 1));
  ASSERT_TRUE(app->choose_combo(e2e::language, 3));
  ASSERT_TRUE(app->choose_combo(e2e::type, 1));
  ASSERT_TRUE(app->choose_combo(e2e::sort, 4));
  ASSERT_NO_FATAL_FAILURE(close_app());

  e2e::state_file s;
  ASSERT_NO_FATAL_FAILURE(read_state(s));
  EXPECT_EQ("keyloom", s.title);
  EXPECT_EQ((std::vector<int>{2, 1, 3, 1}), std::vector<int>(s.filters, s.filters + 4));

  ASSERT_NO_FATAL_FAILURE(start_app());
  EXPECT_EQ("keyloom", app->title_text());
  EXPECT_EQ(2, app->combo_selection(e2e::difficulty));
  EXPECT_EQ(1, app->combo_selection(e2e::platform));
  EXPECT_EQ(3, app->combo_selection(e2e::language));
  EXPECT_EQ(1, app->combo_selection(e2e::type));
  EXPECT_EQ(0, app->combo_selection(e2e::sort)) << "the sort order is not stored";
  ASSERT_NO_FATAL_FAILURE(refresh());
  const std::vector<logged_request> log = server_log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ("action=archive&sort=DATE&title=keyloom&start=0&difficulty=2&platform=1&lang=3&type=SOLVED",
            log[0].body);
  ASSERT_NO_FATAL_FAILURE(close_app());
}

e2e::state_file sample_state() {
  e2e::state_file s;
  const char* const names[] = {"Alpha KeyLoom", "Beta &amp; Gamma", "Gamma &lt;Vexlet&gt;",
                               "Delta",          "Epsilon v2",       "Zeta"};
  for (int i = 0; i < 6; ++i)
    s.rows.push_back(e2e::entry_row("/vexlets/" + std::to_string(i + 1) + "/", names[i],
                                    std::to_string(i % 9 + 1), i % 2 == 0));
  s.marks["/vexlets/2/"] = true;
  s.marks["/vexlets/not-listed/"] = true;
  s.selected = 3;
  s.title = "trunc";
  s.filters[0] = 1;
  s.filters[1] = 2;
  s.filters[2] = 3;
  s.filters[3] = 1;
  return s;
}

TEST_F(E2E, TruncatedStateFilesKeepWholeRows) {
  const e2e::state_file full = sample_state();
  const std::string bytes = e2e::write_state(full);
  e2e::state_file layout;
  std::string error;
  ASSERT_TRUE(e2e::parse_state(bytes, layout, error)) << error;

  // The whole file first: everything comes back.
  ASSERT_TRUE(e2e::write_file(state_path(), bytes));
  ASSERT_NO_FATAL_FAILURE(start_app());
  EXPECT_EQ(first_names(full, 6), names());
  EXPECT_EQ((std::vector<std::string>{"", "Yes", "", "", "", ""}), done_column());
  EXPECT_EQ(3, app->selection_mark());
  EXPECT_EQ("trunc", app->title_text());
  EXPECT_EQ(2, app->combo_selection(e2e::platform));
  ASSERT_NO_FATAL_FAILURE(close_app());

  const struct {
    std::size_t cut;
    std::size_t rows;
    const char* where;
  } cuts[] = {
      {0, 0, "empty file"},
      {2, 0, "inside the mark count"},
      {layout.marks_end - 3, 0, "inside the last mark's url"},
      {layout.marks_end + 2, 0, "inside the row count"},
      {layout.row_ends[0] + 9, 1, "inside the second row"},
      {layout.row_ends[2] + 30, 3, "inside the fourth row"},
      {layout.row_ends[5] - 1, 5, "the last row's last byte missing"},
      {layout.row_ends[5] + 2, 6, "inside the selected row"},
      {bytes.size() - 1, 6, "inside the last filter"},
  };
  for (const auto& c : cuts) {
    SCOPED_TRACE(std::string(c.where) + ", " + std::to_string(c.cut) + " of " + std::to_string(bytes.size()) +
                 " bytes");
    ASSERT_TRUE(e2e::write_file(state_path(), bytes.substr(0, c.cut)));
    ASSERT_NO_FATAL_FAILURE(start_app());
    EXPECT_EQ(first_names(full, c.rows), names());
    if (c.rows >= 2) {
      EXPECT_EQ("Yes", app->cell(1, col_done)) << "the marks were read before the rows";
    }
    ASSERT_NO_FATAL_FAILURE(close_app());
    // The next close writes a whole file again.
    e2e::state_file rewritten;
    ASSERT_NO_FATAL_FAILURE(read_state(rewritten));
    EXPECT_EQ(c.rows, rewritten.rows.size());
  }
}

TEST_F(E2E, CorruptedStateFilesStartCleanly) {
  const e2e::state_file sample = sample_state();
  const std::string good = e2e::write_state(sample);
  e2e::state_file layout;
  std::string error;
  ASSERT_TRUE(e2e::parse_state(good, layout, error)) << error;

  auto with_int_at = [&](std::size_t at, int v) {
    std::string b = good;
    for (int i = 0; i < 4; ++i)
      b[at + static_cast<std::size_t>(i)] = static_cast<char>((static_cast<unsigned>(v) >> (8 * i)) & 0xFF);
    return b;
  };
  std::string noise(4096, '\0');
  unsigned seed = 12345;
  for (char& ch : noise) {
    seed = seed * 1103515245u + 12345u;
    ch = static_cast<char>(seed >> 16);
  }

  const struct {
    std::string bytes;
    std::size_t rows;
    const char* what;
  } files[] = {
      {with_int_at(0, 0x7FFFFFFF), 0, "a mark count far beyond the file"},
      {with_int_at(0, -5), 0, "a negative mark count"},
      {with_int_at(layout.marks_end, 0x7FFFFFFF), 0, "a row count far beyond the file"},
      {with_int_at(layout.marks_end, -1), 0, "a negative row count"},
      {with_int_at(layout.row_ends[1], 0x40000000), 2, "a field count far beyond the file"},
      {with_int_at(layout.row_ends[1] + 4, 0x7FFFFFF0), 2, "a key length far beyond the file"},
      {with_int_at(layout.row_ends[1] + 4, -3), 2, "a negative key length"},
      {noise, 0, "noise"},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.what);
    ASSERT_TRUE(e2e::write_file(state_path(), f.bytes));
    ASSERT_NO_FATAL_FAILURE(start_app());
    if (std::string(f.what) != "noise") {
      EXPECT_EQ(first_names(sample, f.rows), names());
    }
    ASSERT_NO_FATAL_FAILURE(close_app());
    e2e::state_file rewritten;
    ASSERT_NO_FATAL_FAILURE(read_state(rewritten));
  }
}

TEST_F(E2E, UnknownValuesAndIndexesInTheStateFile) {
  e2e::state_file s = sample_state();
  // A field of a type the program never writes: its tag carries no payload.
  s.rows[1]["extra"].tag = 7;
  // Indexes outside everything.
  s.selected = 50;
  s.filters[0] = 99;
  s.filters[1] = -7;
  s.filters[2] = 1000;
  s.filters[3] = 5;
  ASSERT_TRUE(e2e::write_file(state_path(), e2e::write_state(s)));

  ASSERT_NO_FATAL_FAILURE(start_app());
  EXPECT_EQ(first_names(s, 6), names());
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(0, app->combo_selection(static_cast<e2e::filter_combo>(i)))
        << "combo " << i << " keeps its first item";
  // Marking with the selection outside the rows does nothing.
  ASSERT_TRUE(app->context_menu(0, 1));
  ASSERT_NO_FATAL_FAILURE(refresh());
  const std::vector<logged_request> log = server_log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(std::string("action=archive&sort=DATE&title=trunc&start=0&difficulty=0&platform=&lang=&type=ALL"),
            log[0].body);
  ASSERT_NO_FATAL_FAILURE(close_app());

  e2e::state_file rewritten;
  ASSERT_NO_FATAL_FAILURE(read_state(rewritten));
  EXPECT_EQ(s.marks, rewritten.marks);

  // Back to the rows with the foreign field: written with the tag 0, the file stays readable.
  ASSERT_TRUE(e2e::write_file(state_path(), e2e::write_state(s)));
  ASSERT_NO_FATAL_FAILURE(start_app());
  ASSERT_NO_FATAL_FAILURE(close_app());
  ASSERT_NO_FATAL_FAILURE(read_state(rewritten));
  ASSERT_EQ(6u, rewritten.rows.size());
  ASSERT_EQ(1u, rewritten.rows[1].count("extra"));
  EXPECT_EQ(0, rewritten.rows[1]["extra"].tag);
  EXPECT_EQ(first_names(s, 6), first_names(rewritten, 6));
}

TEST_F(E2E, ClosingDuringARefreshSavesACompleteFile) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  // The second reply is held far longer than the program may take to exit: only a close
  // that cancels the exchange ends it in time.
  set_faults("{\"total\": 100, \"delay_ms\": 120000, \"delay_from\": 1}");
  ASSERT_TRUE(app->click_refresh());
  // Pages 2 to 5 wait, one on each connection.
  ASSERT_TRUE(
      e2e::wait_until([&] { return app->row_count() == 20 && server_log().size() == 5; }, refresh_ms));
  const std::vector<std::string> shown = names();
  ASSERT_NO_FATAL_FAILURE(close_app());

  e2e::state_file s;
  ASSERT_NO_FATAL_FAILURE(read_state(s));
  ASSERT_EQ(20u, s.rows.size());
  EXPECT_EQ(shown, first_names(s, 20));
  EXPECT_FALSE(e2e::file_exists(dir + "/gui_state.tmp"));
  EXPECT_EQ(5u, server_log().size());
}

// The window's rectangle on the screen: left, top, width and height.
std::string place_of(HWND w) {
  RECT r = {};
  GetWindowRect(w, &r);
  return std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right - r.left) + ", " +
         std::to_string(r.bottom - r.top);
}

TEST_F(E2E, WindowPlacementSurvivesARestart) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  const std::string first = place_of(app->main);
  EXPECT_NE(std::string::npos, first.find(", 850, 300")) << first;
  ASSERT_TRUE(SetWindowPos(app->main, nullptr, 130, 90, 620, 410, SWP_NOZORDER | SWP_NOACTIVATE));
  const std::string moved = "130, 90, 620, 410";
  ASSERT_TRUE(e2e::wait_until([&] { return place_of(app->main) == moved; }, 10000)) << place_of(app->main);
  ASSERT_NO_FATAL_FAILURE(close_app());
  e2e::state_file s;
  ASSERT_NO_FATAL_FAILURE(read_state(s));
  ASSERT_TRUE(s.has_placement);
  EXPECT_EQ((std::vector<int>{130, 90, 620, 410}), std::vector<int>(s.placement, s.placement + 4));
  EXPECT_EQ(0, s.maximized);

  ASSERT_NO_FATAL_FAILURE(start_app());
  EXPECT_EQ(moved, place_of(app->main));
  ShowWindow(app->main, SW_MAXIMIZE);
  ASSERT_TRUE(e2e::wait_until([&] { return IsZoomed(app->main) != FALSE; }, 10000));
  ASSERT_NO_FATAL_FAILURE(close_app());

  ASSERT_NO_FATAL_FAILURE(start_app());
  EXPECT_TRUE(IsZoomed(app->main)) << "maximized again";
  ShowWindow(app->main, SW_RESTORE);
  EXPECT_TRUE(e2e::wait_until([&] { return place_of(app->main) == moved; }, 10000))
      << "restored to " << place_of(app->main);
  ASSERT_NO_FATAL_FAILURE(close_app());

  // A place no monitor shows: the default one, as at the first start.
  ASSERT_NO_FATAL_FAILURE(read_state(s));
  s.placement[0] = s.placement[1] = 20000;
  s.maximized = 0;
  ASSERT_TRUE(e2e::write_file(state_path(), e2e::write_state(s)));
  ASSERT_NO_FATAL_FAILURE(start_app());
  EXPECT_EQ(first, place_of(app->main));
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// -- the keyboard --

TEST_F(E2E, TabVisitsTheControlsInOrder) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  const std::vector<HWND> order = {app->title_edit, app->combos[0], app->combos[1],      app->combos[2],
                                   app->combos[3],  app->combos[4], app->refresh_button, app->find_edit,
                                   app->list};
  ASSERT_NO_FATAL_FAILURE(expect_focus(order[0], "the title at start"));
  for (std::size_t i = 1; i <= order.size(); ++i) {
    SCOPED_TRACE("Tab " + std::to_string(i));
    ASSERT_TRUE(app->press_key(VK_TAB));
    ASSERT_NO_FATAL_FAILURE(expect_focus(order[i % order.size()], "the next control"));
    EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongA(app->refresh_button, GWL_STYLE) & BS_TYPEMASK)
        << "Refresh keeps the default button's frame";
  }
  for (std::size_t i = order.size(); i-- > 0;) {
    SCOPED_TRACE("Shift+Tab to " + std::to_string(i));
    ASSERT_TRUE(app->press_key(VK_TAB, true));
    ASSERT_NO_FATAL_FAILURE(expect_focus(order[i], "the previous control"));
  }
  ASSERT_NO_FATAL_FAILURE(close_app());
}

TEST_F(E2E, EnterInTheTitleOrAFilterRefreshes) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 5}");
  ASSERT_NO_FATAL_FAILURE(expect_focus(app->title_edit, "the title"));
  ASSERT_TRUE(app->set_title("tiny"));
  ASSERT_TRUE(app->press_key(VK_RETURN));
  ASSERT_TRUE(e2e::wait_until([&] { return app->row_count() == 5 && app->idle(); }, refresh_ms));
  std::vector<logged_request> log = server_log();
  ASSERT_EQ(1u, log.size());
  EXPECT_EQ("tiny", log[0].form["title"]);

  reset_server();
  set_faults("{\"total\": 3}");
  ASSERT_TRUE(app->press_key(VK_TAB));
  ASSERT_NO_FATAL_FAILURE(expect_focus(app->combos[e2e::difficulty], "the difficulty filter"));
  ASSERT_TRUE(app->press_key(VK_RETURN));
  ASSERT_TRUE(e2e::wait_until([&] { return app->row_count() == 3 && app->idle(); }, refresh_ms));
  EXPECT_EQ(1u, server_log().size());
  EXPECT_EQ(0, app->combo_selection(e2e::difficulty)) << "Enter chose nothing in the box";
  ASSERT_NO_FATAL_FAILURE(close_app());
}

TEST_F(E2E, F5RefreshesFromTheList) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 5}");
  ASSERT_NO_FATAL_FAILURE(expect_focus(app->title_edit, "the title"));
  ASSERT_TRUE(app->press_key(VK_TAB, true));
  ASSERT_NO_FATAL_FAILURE(expect_focus(app->list, "the list"));
  ASSERT_TRUE(app->press_key(VK_F5));
  ASSERT_TRUE(e2e::wait_until([&] { return app->row_count() == 5 && app->idle(); }, refresh_ms));
  EXPECT_EQ(1u, server_log().size());
  EXPECT_EQ(app->list, app->focus());
  ASSERT_NO_FATAL_FAILURE(close_app());
}

TEST_F(E2E, EscCancelsARunningRefresh) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 45, \"delay_ms\": 8000, \"delay_from\": 1}");
  ASSERT_TRUE(app->press_key(VK_F5));
  ASSERT_TRUE(
      e2e::wait_until([&] { return app->row_count() == 20 && server_log().size() == 3; }, refresh_ms));
  EXPECT_EQ("Loading", app->button_text());
  EXPECT_EQ("Loading page 2 of 3...", app->status_text());
  ASSERT_TRUE(app->press_key(VK_ESCAPE));
  ASSERT_TRUE(app->wait_idle(refresh_ms)) << app->button_text();
  EXPECT_EQ(3u, server_log().size());
  EXPECT_EQ(20, app->row_count());
  EXPECT_EQ("Cancelled after 20 entries.", app->status_text());
  ASSERT_NO_FATAL_FAILURE(close_app());
}

TEST_F(E2E, MenuKeysOpenTheMarkMenuAtTheSelectedRow) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 25}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  ASSERT_EQ(-1, app->selection_mark());
  ASSERT_NO_FATAL_FAILURE(expect_focus(app->refresh_button, "Refresh, clicked"));
  ASSERT_TRUE(app->press_key(VK_TAB));
  ASSERT_NO_FATAL_FAILURE(expect_focus(app->find_edit, "the Find box"));
  ASSERT_TRUE(app->press_key(VK_TAB));
  ASSERT_NO_FATAL_FAILURE(expect_focus(app->list, "the list"));
  // No selected row: no menu. Had one opened, its loop would take the Tab that follows.
  ASSERT_TRUE(app->press_key(VK_APPS));
  ASSERT_TRUE(app->press_key(VK_TAB));
  ASSERT_NO_FATAL_FAILURE(expect_focus(app->title_edit, "the title"));
  EXPECT_EQ(nullptr, app->open_menu());

  ASSERT_TRUE(app->click_row(12));
  RECT menu = {};
  POINT corner = {};
  ASSERT_TRUE(app->row_point(12, corner));
  ClientToScreen(app->list, &corner);
  const struct {
    WORD vk;
    bool shift;
    int item;
    const char* done;
  } keys[] = {{VK_APPS, false, 1, "Yes"}, {VK_F10, true, 2, ""}};
  for (const auto& k : keys) {
    SCOPED_TRACE(k.vk == VK_APPS ? "the context-menu key" : "Shift+F10");
    SetCursorPos(5, 5);  // far from the row: the menu must not follow the pointer
    ASSERT_TRUE(app->press_key(k.vk, k.shift));
    ASSERT_TRUE(e2e::wait_until([&] { return app->open_menu() != nullptr; }, 10000));
    GetWindowRect(app->open_menu(), &menu);
    EXPECT_GT(menu.top, corner.y) << "below the row";
    EXPECT_LT(menu.top, corner.y + 40) << "right below the row";
    EXPECT_GT(menu.left, 20) << "not at the pointer";
    ASSERT_TRUE(app->choose_in_menu(k.item));
    EXPECT_EQ(k.done, app->cell(12, col_done));
  }
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// -- the status line --

TEST_F(E2E, StatusLineSaysWhatTheLastRefreshDid) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  EXPECT_EQ("No entries restored from the last session.", app->status_text());
  const struct {
    const char* faults;
    const char* status;
  } cases[] = {
      {"{\"total\": 45}", "45 entries listed."},
      {"{\"total\": 0}", "No entries match the filters."},
      {"{\"status\": 500}", "The archive answered 500. No entries listed."},
      {"{\"no_count\": true}", "The page had no result count. 20 entries listed."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.faults);
    reset_server();
    set_faults(c.faults);
    ASSERT_NO_FATAL_FAILURE(refresh());
    EXPECT_EQ(c.status, app->status_text());
  }
  std::string error;
  ASSERT_TRUE(server_command("server-stop", error)) << error;
  ASSERT_NO_FATAL_FAILURE(refresh());
  EXPECT_EQ("Network error: Connection refused. 20 entries listed.", app->status_text());
  ASSERT_TRUE(server_command("server-start", error)) << error;
  set_faults("{\"total\": 21}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  ASSERT_NO_FATAL_FAILURE(close_app());

  ASSERT_NO_FATAL_FAILURE(start_app());
  EXPECT_EQ("21 entries restored from the last session.", app->status_text());
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// -- the command line and the About box --

// The text of a message box: its static controls' texts (the icon's is empty), in order.
std::string message_box_text(HWND box) {
  std::string text;
  for (HWND child : e2e::child_windows(box)) {
    if (lstrcmpiA(e2e::class_name(child).c_str(), "Static") == 0) text += e2e::window_text(child);
  }
  return text;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class CommandLineE2E : public E2E {
 protected:
  // Starts the program with `arguments` and finds the message box it shows instead of a
  // window, checking that no main window came with it.
  void start_for_box(const std::string& arguments, const char* box_title, HWND& box) {
    ++runs;
    app_process.reset(new program);
    std::string error;
    ASSERT_TRUE(app_process->start(VEX_E2E_APP, dir, dir + "/output-" + std::to_string(runs) + ".txt", error,
                                   arguments))
        << error;
    box = e2e::find_top_window("#32770", box_title, app_process->id, start_ms);
    ASSERT_TRUE(box) << "no message box \"" << box_title << "\" for " << arguments << "; output:\n" << output();
    EXPECT_FALSE(e2e::find_top_window("gui_basic_widget", build.host, app_process->id, 0))
        << "a main window came with the box";
  }

  // OK on the box; the program must then end by itself with `code`.
  void close_box(HWND box, DWORD code) {
    ASSERT_TRUE(PostMessageA(box, WM_COMMAND, IDOK, 0));
    ASSERT_TRUE(app_process->wait_exit(exit_ms)) << "no exit after the box was closed";
    EXPECT_EQ(code, app_process->exit_code()) << output();
  }

  std::string state_bytes() {
    std::string bytes;
    if (!e2e::read_file(state_path(), bytes)) return "<no state file>";
    return bytes;
  }
};

TEST_F(CommandLineE2E, HelpShowsTheOptionsAndStartsNothing) {
  // Without a state file none is made; with one it stays as it was.
  for (const char* option : {"/?", "-h", "--help"}) {
    SCOPED_TRACE(option);
    HWND box = nullptr;
    ASSERT_NO_FATAL_FAILURE(start_for_box(option, "Vexlets", box));
    const std::string text = message_box_text(box);
    EXPECT_EQ(0u, text.find("Usage: vexlets.exe [--archive URL] [--connections N]")) << text;
    for (const char* part : {"\n--archive URL\n", "\n--connections N\n", "\n/?, -h, --help\n"})
      EXPECT_TRUE(contains(text, part)) << part << " missing from:\n" << text;
    EXPECT_TRUE(contains(text, "Default archive: " + build.base_url())) << text;
    ASSERT_NO_FATAL_FAILURE(close_box(box, 0));
    EXPECT_EQ("<no state file>", state_bytes());
  }
  const std::string saved = e2e::write_state(sample_state());
  ASSERT_TRUE(e2e::write_file(state_path(), saved));
  HWND box = nullptr;
  ASSERT_NO_FATAL_FAILURE(start_for_box("--connections 2 --help", "Vexlets", box));
  ASSERT_NO_FATAL_FAILURE(close_box(box, 0));
  EXPECT_EQ(saved, state_bytes());
}

TEST_F(CommandLineE2E, AWrongOptionSaysWhyAndEndsWithCode2) {
  const std::string saved = e2e::write_state(sample_state());
  ASSERT_TRUE(e2e::write_file(state_path(), saved));
  const struct {
    const char* arguments;
    const char* reason;
  } cases[] = {
      {"/x", "Unknown option \"/x\"."},
      {"--connections 9", "--connections must be a number from 1 to 8, not \"9\"."},
      {"--connections", "--connections needs a value."},
      {"--archive ftp://archive.example", "The archive address \"ftp://archive.example\" is not valid: "},
      {"--help --colour", "Unknown option \"--colour\"."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    HWND box = nullptr;
    ASSERT_NO_FATAL_FAILURE(start_for_box(c.arguments, "Vexlets", box));
    const std::string text = message_box_text(box);
    EXPECT_EQ(0u, text.find(c.reason)) << text;
    EXPECT_TRUE(contains(text, "\n\nUsage: vexlets.exe [--archive URL] [--connections N]\n")) << text;
    ASSERT_NO_FATAL_FAILURE(close_box(box, 2));
    EXPECT_EQ(saved, state_bytes());
  }
}

// The version resource Windows shows in the file's properties.
std::string file_version(const std::string& exe) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
  std::vector<char> info(size);
  if (!size || !GetFileVersionInfoA(exe.c_str(), 0, size, info.data())) return "<no version resource>";
  char* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(info.data(), "\\StringFileInfo\\040904b0\\FileVersion", reinterpret_cast<void**>(&value),
                      &length) ||
      !length)
    return "<no FileVersion>";
  return std::string(value);
}

// The sides of the images of the file's first icon (0 stands for 256 in the directory),
// which the window shows too. (Wine 8 answers no WM_GETICON from another process, so the
// window's own icon is not read here.)
std::vector<int> first_icon_sides(const std::string& exe) {
  std::vector<int> sides;
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return sides;
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
  const auto* directory = found ? static_cast<const BYTE*>(LockResource(LoadResource(module, found))) : nullptr;
  if (directory) {
    // GRPICONDIR: reserved, type, count (WORDs), then 14-byte entries starting with the width.
    const WORD count = *reinterpret_cast<const WORD*>(directory + 4);
    for (WORD i = 0; i < count; ++i) {
      const BYTE width = directory[6 + 14 * i];
      sides.push_back(width ? width : 256);
    }
  }
  FreeLibrary(module);
  return sides;
}

TEST_F(E2E, TheAboutBoxAndTheFileNameTheVersion) {
  const std::string exe = VEX_E2E_APP;
  EXPECT_EQ(std::string(program_version) + ".0", file_version(exe));
  EXPECT_EQ((std::vector<int>{16, 32, 48, 256}), first_icon_sides(exe));

  ASSERT_NO_FATAL_FAILURE(start_app());
  // What Alt+Space turns into; the About entry is the system menu's last.
  ASSERT_TRUE(PostMessageA(app->main, WM_SYSCOMMAND, SC_KEYMENU, ' '));
  ASSERT_TRUE(app->choose_in_menu(-1)) << "the system menu did not open and close";
  HWND box = e2e::find_top_window("#32770", "About Vexlets", app->pid, 10000);
  ASSERT_TRUE(box) << "no About box";
  const std::string text = message_box_text(box);
  EXPECT_EQ(0u, text.find(std::string("Vexlets ") + program_version + "\n")) << text;
  EXPECT_TRUE(contains(text, "\nArchive: " + build.base_url() + "\n")) << text;
  EXPECT_TRUE(contains(text, "\nLicence: MIT License")) << text;
  ASSERT_TRUE(PostMessageA(box, WM_COMMAND, IDOK, 0));
  EXPECT_TRUE(e2e::wait_until([&] { return !IsWindow(box); }, 10000)) << "the About box stayed";
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// -- sizes at any DPI --

// The user32 function `name` (newer than this program's headers may know).
template <typename F>
F user32_function(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

// The system's message font at `dpi`, as the program should draw with it.
HFONT message_font(int dpi) {
  const auto for_dpi = user32_function<BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT)>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  if (!for_dpi || !for_dpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0, static_cast<UINT>(dpi)))
    return nullptr;
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

int scroll_bar_width(int dpi) {
  const auto for_dpi = user32_function<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
  return for_dpi ? for_dpi(SM_CXVSCROLL, static_cast<UINT>(dpi)) : 0;
}

RECT rect_of(HWND w) {
  RECT r = {};
  GetWindowRect(w, &r);
  return r;
}

int width_of(HWND w) { return rect_of(w).right - rect_of(w).left; }

// The main window's sizes at one DPI, each beside what its text needs there.
struct sizes_at_dpi {
  int window_width = 0, window_height = 0;
  std::vector<std::string> labels;
  std::vector<int> label_widths, label_needs;
  std::vector<int> box_widths, box_needs;
  int title_width = 0;
  int row_pitch = 0;  // from one filter box's top to the next
  std::vector<int> column_widths, column_needs;
};

// A drop-down list box shows its text whole when it is at least the text's width, a scroll
// bar's width and 7 pixels wide (measured under Wine at 96 and 144 DPI).
constexpr int box_frame = 7;

class DpiE2E : public E2E {
 protected:
  sizes_at_dpi measure(int dpi) {
    sizes_at_dpi m;
    HFONT font = message_font(dpi);
    EXPECT_NE(nullptr, font) << "no message font for " << dpi << " DPI";
    HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ old = SelectObject(dc, font);
    const auto need = [&](const std::string& text) {
      SIZE extent = {};
      GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
      return static_cast<int>(extent.cx);
    };
    m.window_width = width_of(app->main);
    m.window_height = rect_of(app->main).bottom - rect_of(app->main).top;
    for (HWND label : app->labels) {
      m.labels.push_back(e2e::window_text(label));
      m.label_widths.push_back(width_of(label));
      m.label_needs.push_back(need(m.labels.back()));
    }
    for (int box = e2e::difficulty; box <= e2e::sort; ++box) {
      const auto which = static_cast<e2e::filter_combo>(box);
      int widest = 0;
      for (int i = 0; i < app->combo_count(which); ++i) widest = std::max(widest, need(app->combo_item(which, i)));
      m.box_widths.push_back(width_of(app->combos[box]));
      m.box_needs.push_back(widest + scroll_bar_width(dpi) + box_frame);
    }
    m.title_width = width_of(app->title_edit);
    m.row_pitch = rect_of(app->combos[1]).top - rect_of(app->combos[0]).top;
    // A header shows its title whole with the sort arrow beside it: some 20 pixels at 96 DPI.
    const char* const titles[] = {"Name", "Difficulty", "Solved", "Done"};
    for (int c = 0; c < 4; ++c) {
      m.column_widths.push_back(static_cast<int>(SendMessageA(app->list, LVM_GETCOLUMNWIDTH, c, 0)));
      m.column_needs.push_back(need(titles[c]) + MulDiv(20, dpi, 96));
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
    return m;
  }

  // The program started afresh with the screen at `dpi`, measured, and closed.
  sizes_at_dpi started_at(DWORD dpi) {
    e2e::screen_dpi screen(dpi);
    EXPECT_TRUE(screen.ok) << "LogPixels not set";
    e2e::clear_directory(dir);  // the default place and size, not the last run's
    sizes_at_dpi m;
    start_app();
    if (HasFatalFailure()) return m;
    m = measure(static_cast<int>(dpi));
    close_app();
    return m;
  }
};

// Every label shows its text whole, every filter box its longest choice, every column's header
// its title and sort arrow; the title box is as wide as the filter boxes beside it.
void expect_texts_fit(const sizes_at_dpi& m, int dpi) {
  SCOPED_TRACE(std::to_string(dpi) + " DPI");
  ASSERT_EQ(7u, m.labels.size());
  for (std::size_t c = 0; c < m.column_widths.size(); ++c)
    EXPECT_GE(m.column_widths[c], m.column_needs[c]) << "column " << c;
  for (std::size_t i = 0; i < m.labels.size(); ++i)
    EXPECT_GE(m.label_widths[i], m.label_needs[i]) << "label \"" << m.labels[i] << "\"";
  for (std::size_t i = 0; i < m.box_widths.size(); ++i) {
    EXPECT_GE(m.box_widths[i], m.box_needs[i]) << "filter box " << i;
    EXPECT_EQ(m.box_widths[0], m.box_widths[i]) << "filter box " << i;
  }
  EXPECT_EQ(m.box_widths[0], m.title_width);
}

// At 1.5 times the DPI every size is 1.5 times as large, within `slack` pixels.
void expect_one_and_a_half(int at_96, int at_144, double slack, const char* what) {
  EXPECT_NEAR(at_96 * 3 / 2.0, at_144, slack) << what << ": " << at_96 << " at 96 DPI, " << at_144 << " at 144";
}

// A text drawn at 1.5 times the font size is not exactly 1.5 times as wide (each size's
// glyphs are fitted to the pixels on their own: the longest choice, 207 pixels at 96 DPI, is
// 301 at 144), so sizes that follow texts may be off by this share of their size, and a short
// text by a few pixels ("Find", 23 pixels at 96 DPI, is 37 at 144).
constexpr double text_scaling_error = 0.04;

TEST_F(DpiE2E, TextsFitAndSizesFollowTheDpi) {
  const sizes_at_dpi at_96 = started_at(96);
  ASSERT_FALSE(HasFatalFailure());
  const sizes_at_dpi at_144 = started_at(144);
  ASSERT_FALSE(HasFatalFailure());
  expect_texts_fit(at_96, 96);
  expect_texts_fit(at_144, 144);

  expect_one_and_a_half(at_96.window_width, at_144.window_width, 1, "window width");
  expect_one_and_a_half(at_96.window_height, at_144.window_height, 1, "window height");
  expect_one_and_a_half(at_96.row_pitch, at_144.row_pitch, 1, "filter rows");
  for (std::size_t c = 0; c < at_96.column_widths.size() && c < at_144.column_widths.size(); ++c)
    expect_one_and_a_half(at_96.column_widths[c], at_144.column_widths[c], 1, ("column " + std::to_string(c)).c_str());
  expect_one_and_a_half(at_96.box_widths[0], at_144.box_widths[0], at_144.box_widths[0] * text_scaling_error,
                        "filter boxes");
  for (std::size_t i = 0; i < at_96.labels.size() && i < at_144.labels.size(); ++i)
    expect_one_and_a_half(at_96.label_widths[i], at_144.label_widths[i],
                          std::max(3.0, at_144.label_widths[i] * text_scaling_error), at_96.labels[i].c_str());
}

// -- names in every script --

// A name of every kind: Latin-1 and Windows-1252's own characters, Japanese, Cyrillic,
// Greek, Chinese, an emoji, and the markup characters the site writes as references.
const std::string every_script =
    "caf\u00E9 \u20AC \u30C6\u30B9\u30C8 \u0416\u0443\u043A \u03A9\u03BC\u03AD\u03B3\u03B1 \U0001F600 & <\u4E2D>";

TEST_F(E2E, PagesAreReadInTheCharacterSetTheyAreSentIn) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  const struct {
    const char* faults;
    UINT code_page;
    const char* what;
  } pages[] = {
      {R"({"charset": "utf-8", "charset_in": "header"})", CP_UTF8, "UTF-8, named in the Content-Type"},
      {R"({"charset": "windows-1252", "charset_in": "header"})", 1252, "Windows-1252, named in the Content-Type"},
      {R"({"charset": "utf-8", "charset_in": "meta"})", CP_UTF8, "UTF-8, named only in a <meta>"},
  };
  std::vector<std::string> shown;
  for (const auto& page : pages) {
    SCOPED_TRACE(page.what);
    reset_server();
    nlohmann::json faults = nlohmann::json::parse(page.faults);
    faults["total"] = 25;
    faults["first_name"] = every_script;
    set_faults(faults.dump());
    ASSERT_NO_FATAL_FAILURE(refresh());
    const std::vector<entry> entries = replay(server_log(), faults.dump(), page.code_page);
    ASSERT_EQ(25u, entries.size());
    shown = names();
    EXPECT_EQ(names_of(entries), shown);
    ASSERT_EQ(25u, shown.size());
    EXPECT_EQ(every_script, shown[0]);
    EXPECT_EQ(every_script, shown[20]);
  }
  // Type-ahead finds names in any script, letter case ignored.
  const auto first_starting = [&](const std::string& start) {
    for (std::size_t i = 0; i < shown.size(); ++i)
      if (shown[i].compare(0, start.size(), start) == 0) return static_cast<int>(i);
    return -1;
  };
  EXPECT_EQ(0, app->find_row(L"CAF\u00C9 \u20AC \u30C6"));
  const int cyrillic = first_starting("\u0422\u0438\u0445");  // the catalogue's "Tikhiy ..."
  ASSERT_GT(cyrillic, 0);
  EXPECT_EQ(cyrillic, app->find_row(L"\u0442\u0438\u0445"));
  const int greek = first_starting("\u039F \u03C3");
  ASSERT_GT(greek, 0);
  EXPECT_EQ(greek, app->find_row(L"\u03BF \u03A3\u0399\u03A9"));
  ASSERT_NO_FATAL_FAILURE(close_app());

  // A restart shows every character again; the file holds them as a Windows-1252 page would.
  e2e::state_file s;
  ASSERT_NO_FATAL_FAILURE(read_state(s));
  EXPECT_EQ(shown, first_names(s, shown.size()));
  ASSERT_NO_FATAL_FAILURE(start_app());
  EXPECT_EQ(shown, names());
  ASSERT_NO_FATAL_FAILURE(close_app());
}

TEST_F(E2E, StateFilesOfEarlierVersionsShowTheirNamesAsBefore) {
  // Written before pages were read as Unicode: the site's bytes of Windows-1252 pages, with
  // their character references, in names and links alike.
  e2e::state_file old;
  const char* const stored[] = {"Tom &amp; Jerry", "caf\xE9 \x80" "5", "&#x30C6;&#x30B9;&#x30C8; &#1046;", "R&D"};
  const std::vector<std::string> shown = {"Tom & Jerry", "caf\u00E9 \u20AC" "5", "\u30C6\u30B9\u30C8 \u0416", "R&D"};
  for (int i = 0; i < 4; ++i)
    old.rows.push_back(e2e::entry_row("/vexlets/" + std::to_string(i + 1) + "/?a=1&amp;b=\xE9", stored[i], "2", false));
  old.marks["/vexlets/2/?a=1&amp;b=\xE9"] = true;
  old.selected = 2;
  old.title = "old";
  old.filters[1] = 3;
  ASSERT_TRUE(e2e::write_file(state_path(), e2e::write_state(old)));

  ASSERT_NO_FATAL_FAILURE(start_app());
  EXPECT_EQ(shown, names());
  EXPECT_EQ((std::vector<std::string>{"", "Yes", "", ""}), done_column());
  EXPECT_EQ(2, app->selection_mark());
  EXPECT_EQ("old", app->title_text());
  EXPECT_EQ(3, app->combo_selection(e2e::platform));
  ASSERT_NO_FATAL_FAILURE(close_app());

  // Written back in the same form: an earlier version reads the same names and marks.
  e2e::state_file rewritten;
  ASSERT_NO_FATAL_FAILURE(read_state(rewritten));
  EXPECT_EQ(shown, first_names(rewritten, 4));
  EXPECT_EQ(old.marks, rewritten.marks);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(old.rows[i]["name"].text, rewritten.rows[i]["name"].text);
  EXPECT_EQ(old.rows[0]["url"].text, rewritten.rows[0]["url"].text);
}

// -- opening entries in the browser --

class BrowserE2E : public E2E {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(E2E::SetUp());
    browser_log = dir + "/browser.log";
    const std::string script = "printf '%s\\n' \"$@\" >> '" + dir_unix + "/browser.log'\n";
    ASSERT_TRUE(e2e::write_file(dir + "/browser.sh", script));
    ASSERT_TRUE(e2e::set_wine_browsers("/bin/sh " + dir_unix + "/browser.sh", &previous, &existed));
    changed = true;
  }
  void TearDown() override {
    if (changed) {
      EXPECT_TRUE(e2e::restore_wine_browsers(previous, existed));
    }
    E2E::TearDown();
  }
  std::vector<std::string> opened() {
    std::string text;
    e2e::read_file(browser_log, text);
    return lines_of(text);
  }

  std::string browser_log, previous;
  bool existed = false, changed = false;
};

TEST_F(BrowserE2E, OnlyPagesOfTheSiteAreOpened) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  const char* const hostile[] = {"@evil.example/", "//evil.example/", "\\\\evil.example/",
                                 "http://evil.example/"};
  for (const char* url : hostile) {
    SCOPED_TRACE(url);
    reset_server();
    set_faults(nlohmann::json{{"total", 3}, {"first_url", url}}.dump());
    ASSERT_NO_FATAL_FAILURE(refresh());
    ASSERT_EQ(3, app->row_count());
    ASSERT_TRUE(app->double_click_row(0));
  }
  const std::vector<entry> entries = replay(server_log(), "{\"total\": 3}");
  ASSERT_EQ(3u, entries.size());
  ASSERT_TRUE(app->double_click_row(1));
  ASSERT_TRUE(e2e::wait_until([&] { return !opened().empty(); }, 30000)) << "the good page was not opened";
  // The launcher runs apart from the program: give a hostile address time to show up too.
  Sleep(3000);
  EXPECT_EQ(std::vector<std::string>{build.base_url() + entries[1].url}, opened());
  ASSERT_NO_FATAL_FAILURE(close_app());
}

TEST_F(BrowserE2E, EnterOnARowOpensItAsADoubleClickDoes) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 3, \"first_url\": \"//evil.example/\"}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  const std::vector<entry> entries = replay(server_log(), "{\"total\": 3}");
  ASSERT_EQ(3u, entries.size());
  reset_server();
  // A page of the site, then a link off it. Keys are input, which the program takes after
  // the posted clicks: each key is seen to take effect before the next click.
  ASSERT_TRUE(app->click_row(1));
  ASSERT_TRUE(app->press_key(VK_RETURN));
  ASSERT_TRUE(e2e::wait_until([&] { return !opened().empty(); }, 30000)) << "the good page was not opened";
  ASSERT_TRUE(app->click_row(0));
  ASSERT_TRUE(app->press_key(VK_RETURN));
  ASSERT_TRUE(app->press_key(VK_TAB));
  ASSERT_NO_FATAL_FAILURE(expect_focus(app->title_edit, "the title, after Enter on the list"));
  Sleep(3000);  // as above
  EXPECT_EQ(std::vector<std::string>{build.base_url() + entries[1].url}, opened());
  EXPECT_TRUE(server_log().empty()) << "Enter on a row starts no refresh";
  ASSERT_NO_FATAL_FAILURE(close_app());
}

TEST_F(BrowserE2E, LinksOutsideAsciiOpenAsTheirUtf8PercentEncoded) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  // A Latin-1 page: the accent as its byte, the Japanese as references.
  set_faults(nlohmann::json{{"total", 3}, {"first_url", "/vexlets/\u30C6\u30B9\u30C8 caf\u00E9/"}}.dump());
  ASSERT_NO_FATAL_FAILURE(refresh());
  ASSERT_TRUE(app->double_click_row(0));
  ASSERT_TRUE(e2e::wait_until([&] { return !opened().empty(); }, 30000)) << "the page was not opened";
  EXPECT_EQ(std::vector<std::string>{build.base_url() +
                                     "/vexlets/%E3%83%86%E3%82%B9%E3%83%88%20caf%C3%A9/"},
            opened());
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// -- HTTPS and the archive's address --

const char* const https_archive = "--archive https://localhost";

TEST_F(E2E, RefreshOverHttps) {
  ASSERT_NO_FATAL_FAILURE(start_app(https_archive));
  // Sized replies, chunked ones, a head in two writes (two records), and pages of about
  // 40 KB (three records, each more than a read of the reply takes).
  const std::string long_name = nlohmann::json{{"total", 45}, {"first_name", std::string(30000, 'v')}}.dump();
  const std::string variants[] = {"{\"total\": 45, \"chunked\": true, \"chunk_size\": 100}",
                                  "{\"total\": 45, \"split_head\": true}", long_name};
  for (const std::string& faults : variants) {
    SCOPED_TRACE(faults);
    reset_server();
    set_faults(faults);
    ASSERT_NO_FATAL_FAILURE(refresh());
    const std::vector<logged_request> log = server_log();
    EXPECT_EQ((std::vector<std::string>{"0", "20", "40"}), sorted_starts_of(log));
    for (const logged_request& r : log) {
      EXPECT_EQ("localhost", r.headers.count("host") ? r.headers.at("host") : "<none>");
      EXPECT_EQ("localhost", r.sni);
    }
    // The same pages, sized, over plain HTTP; names as far as a list cell shows them.
    auto shown = [](std::vector<std::string> v) {
      for (std::string& name : v) name = name.substr(0, 200);
      return v;
    };
    EXPECT_EQ(shown(names_of(replay(log, faults == long_name ? faults : "{\"total\": 45}"))), shown(names()));
    EXPECT_EQ("45 entries listed.", app->status_text());
  }
  EXPECT_TRUE(lines_of(output()).empty()) << output();
  ASSERT_NO_FATAL_FAILURE(close_app());
}

TEST_F(E2E, CancelAndTimeOutOverHttps) {
  ASSERT_NO_FATAL_FAILURE(start_app(https_archive));
  // The second reply is held: a cancel ends the connection at once, long before it comes.
  set_faults("{\"total\": 45, \"delay_ms\": 40000, \"delay_from\": 1}");
  ASSERT_TRUE(app->click_refresh());
  // The second and third pages wait, one on each of two connections.
  ASSERT_TRUE(e2e::wait_until([&] { return app->row_count() == 20 && server_log().size() == 3; }, refresh_ms));
  ASSERT_TRUE(app->click_refresh());
  EXPECT_TRUE(app->wait_idle(5000)) << app->button_text();
  EXPECT_EQ("Cancelled after 20 entries.", app->status_text());
  EXPECT_EQ(20, app->row_count());

  // Left alone, each read gives up after the client's 30 s without a byte, and so does the
  // page's second asking.
  reset_server();
  set_faults("{\"total\": 45, \"delay_ms\": 40000, \"delay_from\": 1}");
  const long long ms = app->refresh(2 * refresh_ms);
  ASSERT_GE(ms, 0) << app->button_text();
  EXPECT_GE(ms, 59000);
  EXPECT_LT(ms, 69000);
  EXPECT_EQ("The archive did not answer in time. 20 entries listed.", app->status_text());
  EXPECT_EQ(5u, server_log().size());

  // Nothing is left behind: the next refresh works.
  reset_server();
  set_faults("{\"total\": 5}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  EXPECT_EQ(5, app->row_count());
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// A first page that does not come is reported after one read time-out, not asked for again; one
// that trickles in is given up once the whole reply has taken four read time-outs.
TEST_F(E2E, AStalledOrTricklingFirstPageIsReportedInTime) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 45, \"delay_ms\": 40000}");
  long long ms = app->refresh(2 * refresh_ms);
  ASSERT_GE(ms, 0) << app->button_text();
  std::printf("a first page without an answer: reported after %lld ms\n", ms);
  EXPECT_GE(ms, 29000);
  EXPECT_LT(ms, 45000);
  EXPECT_EQ("The archive did not answer in time. No entries listed.", app->status_text());
  EXPECT_EQ(1u, server_log().size()) << "the first page asked for once";

  reset_server();
  set_faults("{\"total\": 45, \"trickle_ms\": 1000}");
  ms = app->refresh(3 * refresh_ms);
  ASSERT_GE(ms, 0) << app->button_text();
  std::printf("a first page a byte a second: given up after %lld ms\n", ms);
  EXPECT_GE(ms, 119000);
  EXPECT_LT(ms, 135000);
  EXPECT_EQ("The archive's reply came too slowly: not whole after 120 seconds. No entries listed.",
            app->status_text());
  EXPECT_EQ(1u, server_log().size());
  const std::vector<std::string> out = lines_of(output());
  ASSERT_EQ(2u, out.size()) << output();
  EXPECT_EQ("http_resp timed out (not whole after 120000 ms)", out[1]);

  reset_server();
  set_faults("{\"total\": 5}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  EXPECT_EQ(5, app->row_count());
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// A certificate the program must not accept ends the refresh before any request: not one
// reaches the server, and the status line says why.
TEST_F(E2E, RefusedCertificatesEndTheRefreshBeforeAnyRequest) {
  const struct {
    int port;
    const char* status;
  } cases[] = {
      {4444, "The archive's certificate was refused: not trusted. 6 entries listed."},
      {4445, "The archive's certificate was refused: expired. 6 entries listed."},
      {4446, "The archive's certificate was refused: made out for another name. 6 entries listed."},
      // Revoked by its authority, whose list the system fetches from the local archive.
      {4447, "The archive's certificate was refused: revoked. 6 entries listed."},
  };
  // Marks and rows of an earlier session stay as they were, shown and selected.
  e2e::state_file before = sample_state();
  ASSERT_TRUE(e2e::write_file(state_path(), e2e::write_state(before)));
  // Wine 8 remembers a certificate found revoked as not revoked once it has said so (its
  // cache of revocation results, in the prefix, keeps the wrong code); Windows has nothing
  // to forget. Before each refresh the prefix forgets it, so that the list, which stays
  // cached, is read again.
  const std::string revocation_results = e2e::env("USERPROFILE") + "\\AppData\\LocalLow\\Microsoft\\CryptnetUrlCache\\Content";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.port);
    reset_server();
    set_faults("{\"total\": 5}");
    ASSERT_NO_FATAL_FAILURE(start_app("--archive https://localhost:" + std::to_string(c.port)));
    e2e::clear_directory(revocation_results);
    ASSERT_NO_FATAL_FAILURE(refresh());
    EXPECT_EQ(c.status, app->status_text());
    EXPECT_TRUE(server_log().empty()) << "a request reached the server";
    EXPECT_EQ(first_names(before, 6), names());
    EXPECT_EQ(3, app->selection_mark());
    // Refused again, the same way, by the next refresh of the same run.
    e2e::clear_directory(revocation_results);
    ASSERT_NO_FATAL_FAILURE(refresh());
    EXPECT_EQ(c.status, app->status_text());
    EXPECT_TRUE(server_log().empty());
    const std::vector<std::string> out = lines_of(output());
    ASSERT_EQ(2u, out.size()) << output();
    EXPECT_EQ(0u, out[0].find("TLS certificate refused ")) << out[0];
    ASSERT_NO_FATAL_FAILURE(close_app());
    e2e::state_file after;
    ASSERT_NO_FATAL_FAILURE(read_state(after));
    EXPECT_EQ(before.marks, after.marks);
    EXPECT_EQ(first_names(before, 6), first_names(after, 6));
    EXPECT_EQ(3, after.selected);
  }
}

// An address with a port, here an IPv4 literal whose certificate names it.
TEST_F(E2E, ArchiveWithAPort) {
  ASSERT_NO_FATAL_FAILURE(start_app("--archive https://127.0.0.1:4443", "127.0.0.1"));
  std::vector<logged_request> log;
  ASSERT_NO_FATAL_FAILURE(refresh_two_pages("127.0.0.1:4443", log));
  for (const logged_request& r : log) EXPECT_EQ("", r.sni) << "RFC 6066 3: no address as a server name";
  ASSERT_NO_FATAL_FAILURE(close_app());
}

TEST_F(E2E, RedirectNamesTheNewAddress) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"status\": 301, \"location\": \"https://localhost/archive/\"}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  EXPECT_EQ(
      "The archive moved to https://localhost/archive/; start the program with --archive https://localhost. No "
      "entries listed.",
      app->status_text());
  EXPECT_EQ(1u, server_log().size());

  // The server's words are shown and written out escaped, and only the first 300 bytes.
  reset_server();
  const std::string location = "/elsewhere/\x1b[2J" + std::string(385, 'x');
  set_faults(nlohmann::json{{"status", 302}, {"location", location}}.dump());
  ASSERT_NO_FATAL_FAILURE(refresh());
  const std::string shown = build.base_url() + "/elsewhere/\\x1b[2J" + std::string(285, 'x') + "... (100 more bytes)";
  EXPECT_EQ("The archive moved to " + shown + ". No entries listed.", app->status_text());
  const std::vector<std::string> out = lines_of(output());
  ASSERT_EQ(2u, out.size()) << output();
  EXPECT_EQ("The archive moved to " + shown + ".", out[1]);
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// A wrong address is refused before any window: a message box says why, the exit code is 2
// and the state file stays as it was.
TEST_F(E2E, BadArchiveAddressIsRefusedBeforeAnyWindow) {
  const std::string state = e2e::write_state(sample_state());
  ASSERT_TRUE(e2e::write_file(state_path(), state));
  ASSERT_NO_FATAL_FAILURE(start_process("--archive ftp://localhost"));
  const HWND box = e2e::find_top_window("#32770", "Vexlets", app_process->id, start_ms);
  ASSERT_NE(nullptr, box) << output();
  std::string text;
  for (HWND child : e2e::child_windows(box))
    if (e2e::class_name(child) == "Static") text += e2e::window_text(child);
  EXPECT_NE(std::string::npos,
            text.find("The archive address \"ftp://localhost\" is not valid: the address must start with "
                      "http:// or https://."))
      << text;
  EXPECT_EQ(nullptr, e2e::find_top_window("gui_basic_widget", "localhost", app_process->id, 0));
  PostMessageA(box, WM_CLOSE, 0, 0);
  ASSERT_TRUE(app_process->wait_exit(exit_ms));
  EXPECT_EQ(2u, app_process->exit_code());
  std::string after;
  ASSERT_TRUE(e2e::read_file(state_path(), after));
  EXPECT_EQ(state, after);
  EXPECT_TRUE(server_log().empty());
}

// -- pages over several connections --

std::set<int> connections_of(const std::vector<logged_request>& log) {
  std::set<int> out;
  for (const logged_request& r : log) out.insert(r.connection);
  return out;
}

// The later pages go out on several connections at once and come back in an order of their
// own; the list still holds them in the site's order.
TEST_F(E2E, RowsComeInTheSiteOrderWhateverOrderRepliesArrive) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 400, \"jitter_ms\": 300}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  const std::vector<logged_request> log = server_log();
  EXPECT_EQ(20u, log.size());
  EXPECT_GE(connections_of(log).size(), 4u) << "four connections by default";
  for (std::size_t i = 1; i < log.size(); ++i)
    EXPECT_EQ("session=1", log[i].headers.count("cookie") ? log[i].headers.at("cookie") : "<none>");
  EXPECT_EQ(names_of(replay(log, "{\"total\": 400}")), names());
  EXPECT_EQ("400 entries listed.", app->status_text());
  ASSERT_NO_FATAL_FAILURE(close_app());

  // One connection: the pages in turn, as a site that wants no more would have them.
  reset_server();
  ASSERT_NO_FATAL_FAILURE(start_app("--connections 1"));
  set_faults("{\"total\": 100, \"jitter_ms\": 50}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  const std::vector<logged_request> one = server_log();
  EXPECT_EQ((std::vector<std::string>{"0", "20", "40", "60", "80"}), starts_of(one));
  EXPECT_EQ(1u, connections_of(one).size());
  EXPECT_EQ(100, app->row_count());
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// Every connection waits for a reply that would come far later than the test waits: only a
// cancel that ends them all makes the program idle again.
TEST_F(E2E, CancelWhileEveryConnectionWaits) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 400, \"delay_ms\": 120000, \"delay_from\": 1}");
  ASSERT_TRUE(app->click_refresh());
  ASSERT_TRUE(e2e::wait_until([&] { return app->row_count() == 20 && server_log().size() == 5; }, refresh_ms))
      << server_log().size() << " requests";
  EXPECT_EQ(4u, connections_of(server_log()).size());
  ASSERT_TRUE(app->press_key(VK_ESCAPE));
  ASSERT_TRUE(app->wait_idle(refresh_ms)) << app->button_text();
  EXPECT_EQ(5u, server_log().size()) << "no page asked for again after the cancel";
  EXPECT_EQ(20, app->row_count());
  EXPECT_EQ("Cancelled after 20 entries.", app->status_text());

  reset_server();
  set_faults("{\"total\": 45}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  EXPECT_EQ(45, app->row_count());
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// A reply cut off halfway: its page is asked for once more on another connection; cut off
// twice, the refresh ends with the pages before it.
TEST_F(E2E, AConnectionClosedInTheMiddleOfAReply) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 200, \"cut_start\": 60}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  std::vector<logged_request> log = server_log();
  EXPECT_EQ(11u, log.size());
  std::vector<std::string> starts = starts_of(log);
  EXPECT_EQ(2, std::count(starts.begin(), starts.end(), "60"));
  EXPECT_EQ(names_of(replay(log, "{\"total\": 200}")), names());
  EXPECT_EQ(200, app->row_count());
  EXPECT_EQ("200 entries listed.", app->status_text());
  EXPECT_TRUE(lines_of(output()).empty()) << output();

  reset_server();
  set_faults("{\"total\": 200, \"cut_start\": 60, \"cut_times\": 2}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  log = server_log();
  starts = starts_of(log);
  EXPECT_EQ(2, std::count(starts.begin(), starts.end(), "60"));
  std::vector<logged_request> before;
  for (const logged_request& r : log)
    if (start_of(r) < 60) before.push_back(r);
  EXPECT_EQ(names_of(replay(before, "{\"total\": 200}")), names());
  EXPECT_EQ("The archive's reply could not be read. 60 entries listed.", app->status_text());
  EXPECT_EQ(1u, lines_of(output()).size()) << output();
  ASSERT_NO_FATAL_FAILURE(close_app());
}

TEST_F(E2E, SitesThatCloseAfterEveryReplyOrServeOneConnectionGetEveryPage) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  const char* const sites[] = {"{\"total\": 300, \"close_each\": true}",
                               "{\"total\": 300, \"one_at_a_time\": true}"};
  for (const char* faults : sites) {
    SCOPED_TRACE(faults);
    reset_server();
    set_faults(faults);
    ASSERT_NO_FATAL_FAILURE(refresh());
    const std::vector<logged_request> log = server_log();
    std::vector<std::string> starts = starts_of(log);
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    EXPECT_EQ(15u, starts.size());
    EXPECT_EQ(names_of(replay(log, "{\"total\": 300}")), names());
    EXPECT_EQ("300 entries listed.", app->status_text());
  }
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// -- servers others wrote --

// Whether something accepts connections on 127.0.0.1:`port`.
bool accepts(int port) {
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<u_short>(port));
  const bool accepted = connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
  closesocket(s);
  return accepted;
}

// Web servers others wrote, each in front of the local archive and writing the archive's
// replies its own way (run_e2e.sh stacks-start, on `ports`); stopped however the test ends.
struct real_servers {
  explicit real_servers(std::vector<int> ports_) : ports(std::move(ports_)) {
    started = e2e::start_unix_program("/bin/bash " + control_script() + " stacks-start " + work_root(), error) &&
              e2e::wait_until([&] { return std::all_of(ports.begin(), ports.end(), accepts); }, 60000, 100);
    if (!started && error.empty()) error = "the servers did not start (" + work_root() + "/stacks.log says why)";
  }
  ~real_servers() {
    std::string ignored;
    e2e::start_unix_program("/bin/bash " + control_script() + " stacks-stop " + work_root(), ignored);
    e2e::wait_until([&] { return std::none_of(ports.begin(), ports.end(), accepts); }, 20000, 100);
  }
  std::vector<int> ports;
  bool started;
  std::string error;
};

// Every page through each of them, cookies and all: names in lower case (uvicorn's h11), chunks
// of their own size, replies sized by a proxy (nginx).
TEST_F(E2E, EveryPageThroughServersOthersWrote) {
  const struct {
    const char* name;
    int port;
  } servers[] = {{"Python's http.server", 8101}, {"uvicorn over h11", 8102}, {"aiohttp", 8103}, {"nginx", 8104}};
  real_servers stacks({8101, 8102, 8103, 8104});
  ASSERT_TRUE(stacks.started) << stacks.error;
  for (const auto& s : servers) {
    SCOPED_TRACE(s.name);
    reset_server();
    set_faults("{\"total\": 65}");
    ASSERT_NO_FATAL_FAILURE(start_app("--archive http://127.0.0.1:" + std::to_string(s.port), "127.0.0.1"));
    ASSERT_NO_FATAL_FAILURE(refresh());
    const std::vector<logged_request> log = server_log();
    EXPECT_EQ((std::vector<std::string>{"0", "20", "40", "60"}), sorted_starts_of(log));
    for (std::size_t i = 1; i < log.size(); ++i)
      EXPECT_EQ("session=1", log[i].headers.count("cookie") ? log[i].headers.at("cookie") : "<none>");
    EXPECT_EQ(names_of(replay(log, "{\"total\": 65}")), names());
    EXPECT_EQ("65 entries listed.", app->status_text());
    EXPECT_TRUE(lines_of(output()).empty()) << output();
    ASSERT_NO_FATAL_FAILURE(close_app());
  }
}

// -- names, IPv6 and compressed pages --

// Whether run_e2e.sh gave the tests names of their own: dual.vexlets.test for ::1 and
// 127.0.0.1, and a resolver that refuses every other name, or stays silent when told to.
bool names_of_the_tests() { return e2e::env("VEX_E2E_NAMES") == "1"; }
const char* const no_names = "run_e2e.sh could not give the tests names of their own (a mount namespace)";

// The archive on [::1]:4448 alone: reached by its address in brackets, the browser opening its
// pages there; and by a name that stands for both families, the IPv6 address reached on that
// port, the IPv4 one where nothing listens on the IPv6 one.
TEST_F(BrowserE2E, AnArchiveOnIpv6Alone) {
  ASSERT_NO_FATAL_FAILURE(start_app("--archive http://[::1]:4448", "::1"));
  std::vector<logged_request> log;
  ASSERT_NO_FATAL_FAILURE(refresh_two_pages("[::1]:4448", log));
  const std::vector<entry> entries = replay(log, "{\"total\": 25}");
  ASSERT_TRUE(app->double_click_row(0));
  ASSERT_TRUE(e2e::wait_until([&] { return !opened().empty(); }, 30000)) << "the page was not opened";
  EXPECT_EQ(std::vector<std::string>{"http://[::1]:4448" + entries[0].url}, opened());
  ASSERT_NO_FATAL_FAILURE(close_app());

  if (!names_of_the_tests()) GTEST_SKIP() << no_names;
  for (const char* authority : {"dual.vexlets.test:4448", "dual.vexlets.test"}) {
    SCOPED_TRACE(authority);
    reset_server();
    ASSERT_NO_FATAL_FAILURE(start_app(std::string("--archive http://") + authority, "dual.vexlets.test"));
    ASSERT_NO_FATAL_FAILURE(refresh_two_pages(authority, log));
    EXPECT_TRUE(lines_of(output()).empty()) << output();
    ASSERT_NO_FATAL_FAILURE(close_app());
  }
}

// Pages sent gzipped list as the same pages sent plain; a coding the program does not read
// ends the refresh.
TEST_F(E2E, CompressedPagesListAsPlainOnes) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 45, \"content_coding\": \"gzip\"}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  const std::vector<logged_request> log = server_log();
  EXPECT_EQ("gzip, deflate", log.at(0).headers.count("accept-encoding") ? log[0].headers.at("accept-encoding") : "");
  EXPECT_EQ(names_of(replay(log, "{\"total\": 45}")), names());
  EXPECT_EQ("45 entries listed.", app->status_text());
  set_faults("{\"total\": 45, \"content_coding\": \"br\"}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  // Unreadable from the first page on: the earlier list stays.
  EXPECT_EQ("The archive's reply could not be read. 45 entries listed.", app->status_text());
  EXPECT_EQ(names_of(replay(log, "{\"total\": 45}")), names());
  EXPECT_EQ(std::vector<std::string>{"http_resp Content-Encoding \"br\" not understood"}, lines_of(output()));
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// A name without an address ends the refresh at once, naming the host; nothing is sent.
TEST_F(E2E, ANameWithoutAnAddressEndsTheRefresh) {
  if (!names_of_the_tests()) GTEST_SKIP() << no_names;
  ASSERT_NO_FATAL_FAILURE(start_app("--archive http://nowhere.invalid", "nowhere.invalid"));
  ASSERT_NO_FATAL_FAILURE(refresh());
  EXPECT_EQ("The archive's host name nowhere.invalid was not found. No entries listed.", app->status_text());
  EXPECT_TRUE(server_log().empty());
  EXPECT_EQ(0u, output().find("host name lookup error 11001: ")) << output();
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// A lookup that gets no answer (for 30 s) is ended at once by a cancel, and by closing the
// window.
TEST_F(E2E, CancelAndClosingEndALookupInProgress) {
  if (!names_of_the_tests()) GTEST_SKIP() << no_names;
  ASSERT_NO_FATAL_FAILURE(start_app("--archive http://quiet.vexlets.test", "quiet.vexlets.test"));
  set_faults("{\"silent_names\": true}");
  ASSERT_TRUE(app->click_refresh());
  Sleep(1000);
  EXPECT_EQ("Loading page 1...", app->status_text());
  ASSERT_TRUE(app->click_refresh());
  EXPECT_TRUE(app->wait_idle(5000)) << app->button_text();
  EXPECT_EQ("Cancelled before any entry was listed.", app->status_text());
  ASSERT_TRUE(app->click_refresh());
  Sleep(1000);
  ASSERT_TRUE(app->post_close());
  ASSERT_TRUE(app_process->wait_exit(5000)) << "still running after its window closed";
  EXPECT_EQ(0u, app_process->exit_code());
  EXPECT_TRUE(server_log().empty());
}

// -- the list as a tool: sorting and finding --

using table = std::vector<std::vector<std::string>>;

// Whether `name` holds `text`, letter case ignored (the system's own search, linguistic).
bool holds(const std::string& name, const std::string& text) {
  const std::wstring in = e2e::utf16(name), what = e2e::utf16(text);
  int length = 0;
  return text.empty() || FindNLSStringEx(LOCALE_NAME_INVARIANT, FIND_FROMSTART | NORM_IGNORECASE, in.c_str(),
                                         static_cast<int>(in.size()), what.c_str(), static_cast<int>(what.size()),
                                         &length, nullptr, nullptr, 0) >= 0;
}

// The list's rows in the site's order as they should show narrowed to names that hold
// `find` and sorted by `column` (none: -1): names as Explorer orders file names, difficulty by
// its number, marks first; equal entries in the site's order either way. Cells past the
// four columns go along unread.
table expected_view(table rows, int column, bool descending, const std::string& find = "") {
  rows.erase(std::remove_if(rows.begin(), rows.end(), [&](const auto& r) { return !holds(r[col_name], find); }),
             rows.end());
  const auto compare = [column](const std::vector<std::string>& a, const std::vector<std::string>& b) {
    if (column == col_name) {
      const std::wstring x = e2e::utf16(a[col_name]), y = e2e::utf16(b[col_name]);
      return CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE | SORT_DIGITSASNUMBERS, x.c_str(),
                             static_cast<int>(x.size()), y.c_str(), static_cast<int>(y.size()), nullptr, nullptr, 0) -
             CSTR_EQUAL;
    }
    if (column == col_difficulty) {
      const int x = std::atoi(a[col_difficulty].c_str()), y = std::atoi(b[col_difficulty].c_str());
      return (x > y) - (x < y);
    }
    return (b[column] == "Yes") - (a[column] == "Yes");
  };
  if (column >= 0)
    std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
      const int c = compare(a, b);
      return descending ? c > 0 : c < 0;
    });
  return rows;
}

// The four columns of each row, without what a test carries beside them.
table shown_part(table rows) {
  for (auto& r : rows) r.resize(4);
  return rows;
}

TEST_F(E2E, SortingByEachColumnAndBack) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 45}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  for (int row : {3, 17, 30}) {
    ASSERT_TRUE(app->click_row(row));
    ASSERT_TRUE(app->context_menu(row, 1));
  }
  const table site = app->rows();
  ASSERT_EQ(45u, site.size());
  for (int column : {col_name, col_difficulty, col_solved, col_done}) {
    for (bool descending : {false, true}) {
      SCOPED_TRACE("column " + std::to_string(column) + (descending ? ", descending" : ""));
      ASSERT_TRUE(app->click_header(column));
      EXPECT_EQ(expected_view(site, column, descending), app->rows());
      for (int c = col_name; c <= col_done; ++c)
        EXPECT_EQ(c == column ? (descending ? -1 : 1) : 0, app->sort_arrow(c)) << "the arrow of column " << c;
    }
  }
  // Type-ahead goes by the order shown.
  const table shown = app->rows();
  const auto k = std::find_if(shown.begin(), shown.end(), [](const auto& r) { return r[col_name][0] == 'k' || r[col_name][0] == 'K'; });
  ASSERT_NE(shown.end(), k);
  EXPECT_EQ(k - shown.begin(), app->find_row(L"k"));

  // A new refresh shows the site's order until the user sorts again.
  ASSERT_NO_FATAL_FAILURE(refresh());
  EXPECT_EQ(site, app->rows());
  for (int c = col_name; c <= col_done; ++c) EXPECT_EQ(0, app->sort_arrow(c)) << "the arrow of column " << c;
  ASSERT_NO_FATAL_FAILURE(close_app());
}

TEST_F(E2E, FindNarrowsAsTheUserTypesInAnyScript) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 45}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  const table site = app->rows();
  ASSERT_TRUE(app->press_key('F', false, true));
  ASSERT_NO_FATAL_FAILURE(expect_focus(app->find_edit, "the Find box, after Ctrl+F"));
  std::string typed;
  for (char c : std::string("KeyLo")) {
    typed += c;
    ASSERT_TRUE(app->type_in_find(static_cast<wchar_t>(c)));
    EXPECT_EQ(expected_view(site, -1, false, typed), app->rows()) << typed;
  }
  const std::size_t shown = expected_view(site, -1, false, typed).size();
  ASSERT_GT(shown, 2u);
  ASSERT_LT(shown, 45u);
  const std::string counted = std::to_string(shown) + " of 45 entries shown \xC2\xB7 ";
  EXPECT_EQ(counted + "0 done.", app->status_text());
  // Enter leads to the list and asks the archive nothing.
  reset_server();
  ASSERT_TRUE(app->press_key(VK_RETURN));
  ASSERT_NO_FATAL_FAILURE(expect_focus(app->list, "the list, after Enter in the Find box"));
  ASSERT_TRUE(app->click_row(1));
  ASSERT_TRUE(app->context_menu(1, 1));
  EXPECT_EQ(counted + "1 done.", app->status_text()) << "the done among the listed";
  EXPECT_TRUE(server_log().empty());

  // Capitals find small letters in Cyrillic and Greek.
  for (const std::string text : {"\xD0\x97\xD0\x95\xD0\xA0\xD0\x9A", "\xCE\xA3\xCE\x99\xCE\xA9\xCE\xA0\xCE\x97\xCE\x9B"}) {
    ASSERT_TRUE(app->set_find(text));
    EXPECT_EQ(1, app->row_count()) << text;
    EXPECT_EQ(shown_part(expected_view(site, -1, false, text)), app->rows()) << text;
  }
  // Esc in the Find box clears it: every entry again, the status line as the refresh left it.
  ASSERT_TRUE(app->press_key('F', false, true));
  ASSERT_NO_FATAL_FAILURE(expect_focus(app->find_edit, "the Find box, after Ctrl+F"));
  ASSERT_TRUE(app->press_key(VK_ESCAPE));
  ASSERT_TRUE(e2e::wait_until([&] { return app->row_count() == 45; }, 10000));
  EXPECT_EQ("", app->find_text());
  EXPECT_EQ(column(site, col_name), names());
  EXPECT_EQ("45 entries listed.", app->status_text());
  ASSERT_NO_FATAL_FAILURE(close_app());
}

TEST_F(BrowserE2E, MarkingAndOpeningActOnTheEntryShownSortedAndNarrowed) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 45}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  const std::vector<entry> entries = replay(server_log(), "{\"total\": 45}");
  ASSERT_EQ(45u, entries.size());
  table site = app->rows();
  for (std::size_t i = 0; i < site.size(); ++i) site[i].push_back(std::to_string(i));
  ASSERT_TRUE(app->set_find("e"));
  ASSERT_TRUE(app->click_header(col_name));
  ASSERT_TRUE(app->click_header(col_name));
  const table view = expected_view(site, col_name, true, "e");
  ASSERT_EQ(shown_part(view), app->rows());
  const auto site_index = [&](int position) { return static_cast<std::size_t>(std::atoi(view[position][4].c_str())); };

  // Marked from the menu and from the keyboard; opened by a double-click and by Enter.
  ASSERT_TRUE(app->click_row(2));
  ASSERT_TRUE(app->context_menu(2, 1));
  ASSERT_TRUE(app->click_row(4));
  ASSERT_TRUE(app->press_key(VK_APPS));
  ASSERT_TRUE(app->choose_in_menu(1));
  EXPECT_EQ("Yes", app->cell(2, col_done));
  EXPECT_EQ("Yes", app->cell(4, col_done));
  ASSERT_TRUE(app->double_click_row(1));
  ASSERT_TRUE(e2e::wait_until([&] { return opened().size() == 1; }, 30000)) << "no page opened";
  ASSERT_TRUE(app->click_row(3));
  ASSERT_TRUE(app->press_key(VK_RETURN));
  ASSERT_TRUE(e2e::wait_until([&] { return opened().size() == 2; }, 30000)) << "no second page opened";
  EXPECT_EQ((std::vector<std::string>{build.base_url() + entries[site_index(1)].url,
                                      build.base_url() + entries[site_index(3)].url}),
            opened());
  ASSERT_TRUE(app->click_row(5));
  ASSERT_NO_FATAL_FAILURE(close_app());

  // The file keeps the whole list in the site's order, the selection an index into it.
  e2e::state_file s;
  ASSERT_NO_FATAL_FAILURE(read_state(s));
  EXPECT_EQ((std::map<std::string, bool>{{entries[site_index(2)].url, true}, {entries[site_index(4)].url, true}}),
            s.marks);
  EXPECT_EQ(names_of(entries), first_names(s, 45));
  EXPECT_EQ(static_cast<int>(site_index(5)), s.selected);
  EXPECT_TRUE(s.has_sort);
  EXPECT_EQ("name", s.sort_column);
  EXPECT_TRUE(s.sort_descending);

  // The next start shows the list sorted as it was left, the same entry selected.
  ASSERT_NO_FATAL_FAILURE(start_app());
  EXPECT_EQ(-1, app->sort_arrow(col_name));
  const table again = app->rows();
  ASSERT_EQ(45u, again.size());
  EXPECT_EQ(column(expected_view(site, col_name, true), col_name), column(again, col_name));
  const int mark = app->selection_mark();
  ASSERT_GE(mark, 0);
  EXPECT_EQ(entries[site_index(5)].name, app->cell(mark, col_name));
  ASSERT_NO_FATAL_FAILURE(close_app());
}

TEST_F(E2E, ARefreshJoinsTheSortAndTheFindTextAndTheRowsOnScreenStay) {
  ASSERT_NO_FATAL_FAILURE(start_app("--connections 1"));
  ASSERT_TRUE(app->set_find("e"));
  set_faults("{\"total\": 300, \"delay_ms\": 250, \"delay_from\": 1}");
  ASSERT_TRUE(app->click_refresh());
  ASSERT_TRUE(e2e::wait_until([&] { return app->row_count() > 0; }, 30000));
  ASSERT_TRUE(app->click_header(col_name));
  EXPECT_EQ(1, app->sort_arrow(col_name));
  // Scrolled to the end of what came so far, the row at the top stays there as the rest join,
  // many of them above it.
  ASSERT_TRUE(e2e::wait_until([&] { return app->row_count() > 60; }, 30000));
  ASSERT_FALSE(app->idle()) << "the refresh ended before the test could scroll";
  const auto top = [&] { return static_cast<int>(SendMessageA(app->list, LVM_GETTOPINDEX, 0, 0)); };
  std::vector<std::string> first_on_screen;
  int top_before = -1;
  for (int tries = 0; tries < 20 && (top_before < 0 || top() != top_before); ++tries) {
    SendMessageA(app->list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(app->row_count() - 1), FALSE);
    ASSERT_TRUE(app->barrier());
    top_before = top();
    first_on_screen = {app->cell(top_before, col_name), app->cell(top_before, col_difficulty)};
  }
  ASSERT_GT(top_before, 0);
  ASSERT_TRUE(app->wait_idle(refresh_ms));
  const int top_after = top();
  EXPECT_GT(top_after, top_before);
  EXPECT_EQ(first_on_screen,
            (std::vector<std::string>{app->cell(top_after, col_name), app->cell(top_after, col_difficulty)}));

  const std::vector<entry> entries = replay(server_log(), "{\"total\": 300}");
  ASSERT_EQ(300u, entries.size());
  table site;
  for (const entry& e : entries) site.push_back({e.name, "", "", ""});
  const table expected = expected_view(site, col_name, false, "e");
  EXPECT_EQ(column(expected, col_name), names());
  EXPECT_EQ(std::to_string(expected.size()) + " of 300 entries shown \xC2\xB7 0 done.", app->status_text());
  ASSERT_NO_FATAL_FAILURE(close_app());
}

// -- what outlives the program --

// A mark is on disk within two seconds, however the program ends then; one made while a
// refresh waits for its first page goes there beside the earlier list, which stays shown, and
// stays when the refresh is cancelled.
TEST_F(E2E, AMarkSurvivesTheProgramBeingKilled) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 25}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  const std::vector<std::string> earlier = names();
  const std::vector<entry> entries = replay(server_log(), "{\"total\": 25}");
  ASSERT_EQ(25u, entries.size());
  ASSERT_TRUE(app->click_row(3));
  ASSERT_TRUE(app->context_menu(3, 1));
  Sleep(2000);
  app_process->kill();
  e2e::state_file s;
  ASSERT_NO_FATAL_FAILURE(read_state(s));
  EXPECT_EQ((std::map<std::string, bool>{{entries[3].url, true}}), s.marks);

  ASSERT_NO_FATAL_FAILURE(start_app());
  EXPECT_EQ("Yes", app->cell(3, col_done));
  // The first reply is held far longer than the test waits.
  reset_server();
  set_faults("{\"total\": 45, \"delay_ms\": 120000}");
  ASSERT_TRUE(app->click_refresh());
  ASSERT_TRUE(e2e::wait_until([&] { return server_log().size() == 1; }, refresh_ms));
  EXPECT_EQ(earlier, names());
  ASSERT_TRUE(app->click_row(5));
  ASSERT_TRUE(app->context_menu(5, 1));
  ASSERT_TRUE(app->press_key(VK_ESCAPE));
  ASSERT_TRUE(app->wait_idle(refresh_ms)) << app->button_text();
  EXPECT_EQ("Cancelled. 25 entries listed.", app->status_text());
  EXPECT_EQ(earlier, names());
  Sleep(2000);
  app_process->kill();
  ASSERT_NO_FATAL_FAILURE(read_state(s));
  EXPECT_EQ((std::map<std::string, bool>{{entries[3].url, true}, {entries[5].url, true}}), s.marks);
  EXPECT_EQ(earlier, first_names(s, 25));
  EXPECT_EQ(5, s.selected);
}

// Windows ends the session (log off, shut down): the program agrees, and saves what a close
// would before Windows ends it.
TEST_F(E2E, TheSessionsEndSavesTheState) {
  ASSERT_NO_FATAL_FAILURE(start_app());
  set_faults("{\"total\": 25}");
  ASSERT_NO_FATAL_FAILURE(refresh());
  ASSERT_TRUE(app->click_row(4));
  ASSERT_TRUE(app->set_title("session"));
  ASSERT_TRUE(app->choose_combo(e2e::difficulty, 2));
  EXPECT_FALSE(e2e::file_exists(state_path())) << "nothing saved before the session ends";
  DWORD_PTR agreed = 0, ended = 0;
  ASSERT_TRUE(SendMessageTimeoutA(app->main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 10000, &agreed));
  EXPECT_TRUE(agreed);
  ASSERT_TRUE(SendMessageTimeoutA(app->main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK, 10000, &ended));
  app_process->kill();
  e2e::state_file s;
  ASSERT_NO_FATAL_FAILURE(read_state(s));
  EXPECT_EQ(25u, s.rows.size());
  EXPECT_EQ(4, s.selected);
  EXPECT_EQ("session", s.title);
  EXPECT_EQ(2, s.filters[0]);
  EXPECT_FALSE(e2e::file_exists(dir + "/gui_state.tmp"));
}

// Many marks of a few bytes each: every one a node of the map, some ten times its bytes in
// the file. The file is read only as far as a small multiple of its size allows, and the
// program starts as after a damaged file, without what came after.
TEST_F(E2E, AStateFileThatWouldNeedFarMoreMemoryThanItsSizeIsRefused) {
  e2e::state_file s = sample_state();
  const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  for (int i = 0; i < 400000; ++i) {
    std::string url;
    for (int k = 0, v = i; k < 4; ++k, v /= 62) url += digits[v % 62];
    s.marks[url] = true;
  }
  const std::string bytes = e2e::write_state(s);
  ASSERT_TRUE(e2e::write_file(state_path(), bytes));
  ASSERT_NO_FATAL_FAILURE(start_app());
  EXPECT_EQ(0, app->row_count());
  EXPECT_EQ("", app->title_text());
  EXPECT_EQ("No entries restored from the last session.", app->status_text());
  ASSERT_NO_FATAL_FAILURE(close_app());
  e2e::state_file rewritten;
  ASSERT_NO_FATAL_FAILURE(read_state(rewritten));
  EXPECT_GT(rewritten.marks.size(), 0u);
  EXPECT_LT(rewritten.marks.size(), s.marks.size());
}

}  // namespace
