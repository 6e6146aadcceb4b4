// vexdrive: drives a running vexlet browser from shell scripts (the run command, the
// benchmark). Each subcommand finds the program's main window by its title, does one thing
// and prints one result; the exit status is 0 on success, 1 on failure, 2 on bad usage.
//
//   vexdrive wait-window [--title T] [--timeout MS]   window=0x<hwnd> pid=<pid>, once the
//                                                     window shows and its message loop runs
//   vexdrive refresh     [--title T] [--timeout MS] [--cancel-after MS]
//                                                     elapsed_ms=<click until idle> rows=<n>
//   vexdrive rows        [--title T]                  one line per row, cells separated by tabs
//   vexdrive stats       [--title T]                  handles=<n> private_bytes=<n>
//   vexdrive close       [--title T] [--timeout MS]   exit_code=<the program's exit code>
//   vexdrive trust-root  FILE.der                     trusts the certificate authority in
//                                                     this Wine prefix (the local archive's
//                                                     own, for HTTPS); prints trusted=FILE
//
// --timeout bounds the wait for the window (wait-window, rows), for idle (refresh) or for
// the exit (close). --cancel-after presses Refresh a second time (a cancel) that long after
// the first press, unless the refresh ended before. Lines end with a bare line feed.

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
               "usage: vexdrive wait-window|refresh|rows|stats|close [--title TITLE] [--timeout MS]\n"
               "                [--cancel-after MS]\n"
               "  wait-window  wait for the main window; prints window=0x<hwnd> pid=<pid>\n"
               "  refresh      press Refresh and wait until idle; prints elapsed_ms=<n> rows=<n>;\n"
               "               with --cancel-after, press again that long after (a cancel)\n"
               "  rows         prints each row, cells separated by tabs\n"
               "  stats        prints the program's handles=<n> private_bytes=<n>\n"
               "  close        close the window and wait for the exit; prints exit_code=<n>\n"
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
  std::string title = build_archive().host;
  long timeout = -1, cancel_after = -1;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--title" && i + 1 < argc) {
      title = argv[++i];
    } else if ((a == "--timeout" || a == "--cancel-after") && i + 1 < argc) {
      char* end = nullptr;
      const long ms = std::strtol(argv[++i], &end, 10);
      if (!end || *end || ms < 0) return usage();
      (a == "--timeout" ? timeout : cancel_after) = ms;
    } else {
      return usage();
    }
  }
  if (command != "wait-window" && command != "refresh" && command != "rows" && command != "stats" &&
      command != "close")
    return usage();

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
  if (command == "refresh") {
    if (!app.idle()) return fail("the program is not idle (button reads \"" + app.button_text() + "\")");
    const long long elapsed =
        cancel_after < 0 ? app.refresh(wait_ms) : app.cancelled_refresh(static_cast<DWORD>(cancel_after), wait_ms);
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
