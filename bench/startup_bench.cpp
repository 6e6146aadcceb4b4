// startup_bench EXE DIR_WITH_STATE DIR_WITHOUT RUNS: the time from starting the program until
// its window is idle (the message loop runs, so the state file has been read and the list
// filled), with a large state file and then without one: a line a run, the two times in
// milliseconds. bench/run_refresh.sh takes the medians and ratios.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "site/archive_site.hpp"
#include "e2e/driver.hpp"

namespace {

// Milliseconds from CreateProcess until the window thread handles a posted message; -1 on
// failure. The program is closed again before returning.
double start_to_idle(const std::string& exe, const std::string& dir) {
  e2e::program p;
  std::string error;
  LARGE_INTEGER f, t0, t1;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t0);
  if (!p.start(exe, dir, dir + "\\bench_output.txt", error)) {
    std::fprintf(stderr, "startup_bench: %s\n", error.c_str());
    return -1;
  }
  e2e::app_window w;
  if (!w.attach(build_archive().host, p.id, 60000, error) || !w.barrier(60000)) {
    std::fprintf(stderr, "startup_bench: %s\n", error.c_str());
    return -1;
  }
  QueryPerformanceCounter(&t1);
  w.post_close();
  p.wait_exit(60000);
  return 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: startup_bench EXE DIR_WITH_STATE DIR_WITHOUT RUNS\n");
    return 2;
  }
  const std::string exe = e2e::windows_path(argv[1]);
  const std::string with_state = e2e::windows_path(argv[2]);
  const std::string without = e2e::windows_path(argv[3]);
  const int runs = std::atoi(argv[4]);
  std::string state;
  e2e::read_file(with_state + "\\gui_state", state);
  for (int i = 0; i < runs; ++i) {
    // The program rewrites its file at close; keep the large one for every run.
    e2e::write_file(with_state + "\\gui_state", state);
    const double loaded = start_to_idle(exe, with_state);
    const double fresh = start_to_idle(exe, without);
    DeleteFileA((without + "\\gui_state").c_str());
    if (loaded < 0 || fresh < 0) return 1;
    std::printf("%.0f %.0f\n", loaded, fresh);
  }
  return 0;
}
