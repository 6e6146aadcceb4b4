// vexdrive: drives a running vexlet browser from shell scripts (the run command, the
// benchmark). Each subcommand finds the program's main window by its title, does one thing
// and prints one result; the exit status is 0 on success, 1 on failure, 2 on bad usage.
//
//   vexdrive wait-window [--title T] [--timeout MS]   window=0x<hwnd> pid=<pid>, once the
//                                                     window shows and its message loop runs
//   vexdrive refresh     [--title T] [--timeout MS] [--cancel-after MS] [--sort COLUMN]
//                                                     elapsed_ms=<click until idle> rows=<n>
//   vexdrive find        [--title T] --text TEXT      elapsed_ms=<until the list followed>
//                                                     rows=<n shown>; the Find box holds TEXT
//   vexdrive type        [--title T] --text TEXT      types TEXT into the Find box a character
//                                                     at a time; elapsed_ms=<for the last>
//                                                     rows=<n shown>
//   vexdrive sort        [--title T] --column N       clicks column N's header;
//                                                     elapsed_ms=<until sorted> arrow=<1 up,
//                                                     -1 down>
//   vexdrive rows        [--title T]                  one line per row, cells separated by tabs
//   vexdrive stats       [--title T]                  handles=<n> private_bytes=<n>
//   vexdrive close       [--title T] [--timeout MS]   exit_code=<the program's exit code>
//   vexdrive trust-root  FILE.der                     trusts the certificate authority in
//                                                     this Wine prefix (the local archive's
//                                                     own, for HTTPS); prints trusted=FILE
//
// --timeout bounds the wait for the window (wait-window, rows), for idle (refresh) or for
// the exit (close). --cancel-after presses Refresh a second time (a cancel) that long after
// the first press, unless the refresh ended before; --sort clicks that column's header right
// after the press, so that the rows arrive sorted. TEXT is read as UTF-8 (the scripts give
// ASCII). Lines end with a bare line feed.

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "site/archive_site.hpp"
#include "e2e/driver.hpp"
// After windows.h, which the driver brings in.
#include <psapi.h>

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: vexdrive wait-window|refresh|rows|stats|close|find|type|sort [--title TITLE]\n"
               "                [--timeout MS] [--cancel-after MS] [--sort N] [--text TEXT] [--column N]\n"
               "  wait-window  wait for the main window; prints window=0x<hwnd> pid=<pid>\n"
               "  refresh      press Refresh and wait until idle; prints elapsed_ms=<n> rows=<n>;\n"
               "               with --cancel-after, press again that long after (a cancel)\n"
               "  rows         prints each row, cells separated by tabs\n"
               "  stats        prints the program's handles=<n> private_bytes=<n>\n"
               "  close        close the window and wait for the exit; prints exit_code=<n>\n"
               "  find         set the Find box's text; prints elapsed_ms=<n> rows=<n shown>\n"
               "  type         type into the Find box; prints elapsed_ms=<n, the last> rows=<n>\n"
               "  sort         click a column's header; prints elapsed_ms=<n> arrow=<1|-1>\n"
               "  trust-root FILE.der  trust this certificate authority in the Wine prefix\n");
  return 2;
}

// The process's open handles. Wine answers GetProcessHandleCount with 0, so there each
// handle value is tried instead: values are multiples of 4, handed out lowest first, so a
// long run of values that are not handles ends the table.
unsigned long handle_count(HANDLE process) {
  DWORD count = 0;
  if (GetProcessHandleCount(process, &count) && count) return count;
  unsigned long found = 0;
  for (ULONG_PTR value = 4, misses = 0; misses < 4096; value += 4) {
    HANDLE copy = nullptr;
    if (DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS)) {
      CloseHandle(copy);
      ++found;
      misses = 0;
    } else {
      ++misses;
    }
  }
  return found;
}

// The process's private memory. Wine leaves PrivateUsage 0 and reports the resident
// private (anonymous) pages as PagefileUsage, which Windows sets to the same commit charge.
unsigned long long private_bytes(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
    return 0;
  return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

int fail(const std::string& what) {
  std::fprintf(stderr, "vexdrive: %s\n", what.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Shell scripts read the output: no carriage returns.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  if (argc < 2) return usage();
  const std::string command = argv[1];
  if (command == "trust-root") {
    if (argc != 3) return usage();
    std::string error;
    if (!e2e::trust_root(argv[2], error)) return fail(error);
    std::printf("trusted=%s\n", argv[2]);
    return 0;
  }
  std::string title = build_archive().host, text;
  long timeout = -1, cancel_after = -1, sort = -1, column = -1;
  bool has_text = false;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--title" && i + 1 < argc) {
      title = argv[++i];
    } else if (a == "--text" && i + 1 < argc) {
      text = argv[++i];
      has_text = true;
    } else if ((a == "--timeout" || a == "--cancel-after" || a == "--sort" || a == "--column") && i + 1 < argc) {
      char* end = nullptr;
      const long n = std::strtol(argv[++i], &end, 10);
      if (!end || *end || n < 0) return usage();
      (a == "--timeout" ? timeout : a == "--cancel-after" ? cancel_after : a == "--sort" ? sort : column) = n;
    } else {
      return usage();
    }
  }
  if (command != "wait-window" && command != "refresh" && command != "rows" && command != "stats" &&
      command != "close" && command != "find" && command != "type" && command != "sort")
    return usage();
  if ((command == "find" || command == "type") != has_text || (command == "sort") != (column >= 0)) return usage();

  // A refresh of many pages takes long; everything else is quick or waits for the window.
  const DWORD default_ms = command == "refresh" ? 600000 : command == "rows" ? 10000 : 60000;
  const DWORD wait_ms = timeout >= 0 ? static_cast<DWORD>(timeout) : default_ms;
  const DWORD find_ms = command == "wait-window" || command == "rows" ? wait_ms : 10000;

  e2e::app_window app;
  std::string error;
  if (!app.attach(title, 0, find_ms, error)) return fail(error);

  if (command == "wait-window") {
    std::printf("window=0x%llx pid=%lu\n",
                static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(app.main)),
                static_cast<unsigned long>(app.pid));
    return 0;
  }
  if (command == "find" || command == "type" || command == "sort") {
    const std::wstring typed = e2e::utf16(text);
    const unsigned long long start = GetTickCount64();
    bool done = true;
    if (command == "find") done = app.set_find(text);
    if (command == "sort") done = app.click_header(static_cast<int>(column));
    unsigned long long last = start;
    for (std::size_t i = 0; command == "type" && done && i < typed.size(); ++i) {
      last = GetTickCount64();
      done = app.type_in_find(typed[i]);
    }
    const unsigned long long elapsed = GetTickCount64() - last;
    if (!done) return fail("the program did not answer");
    if (command == "sort")
      std::printf("elapsed_ms=%llu arrow=%d\n", elapsed, app.sort_arrow(static_cast<int>(column)));
    else
      std::printf("elapsed_ms=%llu rows=%d\n", elapsed, app.row_count());
    return 0;
  }
  if (command == "refresh") {
    if (!app.idle()) return fail("the program is not idle (button reads \"" + app.button_text() + "\")");
    long long elapsed = -1;
    if (sort >= 0) {
      const unsigned long long start = GetTickCount64();
      if (app.click_refresh() && app.click_header(static_cast<int>(sort)) && app.wait_idle(wait_ms))
        elapsed = static_cast<long long>(GetTickCount64() - start);
    } else {
      elapsed = cancel_after < 0 ? app.refresh(wait_ms) : app.cancelled_refresh(static_cast<DWORD>(cancel_after), wait_ms);
    }
    if (elapsed < 0)
      return fail("no idle state within " + std::to_string(wait_ms) + " ms (button reads \"" +
                  app.button_text() + "\")");
    std::printf("elapsed_ms=%lld rows=%d\n", elapsed, app.row_count());
    return 0;
  }
  if (command == "rows") {
    for (const auto& row : app.rows()) {
      std::string line;
      for (std::size_t c = 0; c < row.size(); ++c) line += (c ? "\t" : "") + row[c];
      std::printf("%s\n", line.c_str());
    }
    return 0;
  }
  if (command == "stats") {
    std::printf("handles=%lu private_bytes=%llu\n", handle_count(app.process), private_bytes(app.process));
    return 0;
  }
  // close
  if (!app.post_close()) return fail("cannot post WM_CLOSE");
  if (WaitForSingleObject(app.process, wait_ms) != WAIT_OBJECT_0)
    return fail("the program did not exit within " + std::to_string(wait_ms) + " ms");
  DWORD code = 0;
  GetExitCodeProcess(app.process, &code);
  std::printf("exit_code=%lu\n", static_cast<unsigned long>(code));
  return 0;
}
