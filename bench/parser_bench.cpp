// Page parser speed against two figures of the same run: the reference (the regular
// expression searched over a copied remainder, as the archive client first did) and the
// floor (building the same rows from match offsets already known: no parser can beat
// making its own output). Prints each figure and the ratios.

#include <algorithm>
#include <chrono>
#include <iterator>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "site/archive_parser.hpp"
#include "page_generator.hpp"

namespace {

using clock_type = std::chrono::steady_clock;

// The median time of three runs, each repeating `work` for at least `min_seconds`.
double seconds_per_call(const std::function<std::size_t()>& work, double min_seconds = 0.3) {
  double runs[3];
  std::size_t sink = 0;
  for (double& run : runs) {
    int calls = 0;
    const auto start = clock_type::now();
    double elapsed = 0;
    do {
      sink += work();
      ++calls;
      elapsed = std::chrono::duration<double>(clock_type::now() - start).count();
    } while (elapsed < min_seconds);
    run = elapsed / calls;
  }
  if (sink == 42) std::puts("");  // keeps the work observable
  std::sort(std::begin(runs), std::end(runs));
  return runs[1];
}

struct offsets {
  std::size_t url, url_len, name, name_len, diff, diff_len;
  bool solved;
};

// Where each row's texts stand in the page, found once outside the timing.
std::vector<offsets> locate(const std::string& page, std::vector<row>& rows) {
  std::vector<offsets> out;
  std::size_t at = 0;
  for (auto& r : rows) {
    offsets o;
    const std::string& url = r["url"].as<std::string>();
    const std::string& name = r["name"].as<std::string>();
    const std::string& diff = r["difficulty"].as<std::string>();
    o.url = page.find(url, at), o.url_len = url.size();
    o.name = page.find(name, o.url), o.name_len = name.size();
    o.diff = page.find(diff, o.name), o.diff_len = diff.size();
    o.solved = r["solved"].as<bool>();
    at = o.diff;
    out.push_back(o);
  }
  return out;
}

std::size_t build_rows(const std::string& page, const std::vector<offsets>& where) {
  std::vector<row> result;
  const std::string_view text = page;
  for (const offsets& o : where)
    result.push_back(row{{"url", text.substr(o.url, o.url_len)},
                         {"name", text.substr(o.name, o.name_len)},
                         {"difficulty", text.substr(o.diff, o.diff_len)},
                         {"solved", o.solved}});
  return result.size();
}

void compare(const char* title, const std::string& page) {
  std::vector<row> rows = parse_archive_page(page);
  const std::vector<offsets> where = locate(page, rows);
  const double reference = seconds_per_call([&] { return pages::regex_parse(page).size(); });
  const double ours = seconds_per_call([&] { return parse_archive_page(page).size(); });
  const double floor = seconds_per_call([&] { return build_rows(page, where); });
  std::printf("%-18s %7zu bytes %5zu rows | reference %10.1f us | ours %9.1f us | floor %9.1f us"
              " | reference/ours %6.1fx | ours/floor %5.2fx\n",
              title, page.size(), rows.size(), reference * 1e6, ours * 1e6, floor * 1e6,
              reference / ours, ours / floor);
}

}  // namespace

int main() {
#ifdef __GLIBC__
  // glibc otherwise hands big blocks back to the system after each run and every later
  // run of the 100 MB page pays for fresh pages again; keep them, as the 1 MB runs do.
  mallopt(M_MMAP_THRESHOLD, 512 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
#endif
  // Linearity: time per megabyte on a 1 MB page against a 100 MB page. The rows are freed
  // outside the clock and a first untimed run warms the heap, so that what is compared is
  // the parsing, not the system handing out fresh pages.
  const std::string small = pages::realistic(2000, 2000);
  std::string big;
  while (big.size() < 100u * small.size()) big += small;
  auto per_mb = [](const std::string& page, int runs) {
    std::vector<double> times;
    for (int i = 0; i <= runs; ++i) {
      const auto start = clock_type::now();
      std::vector<row> rows = parse_archive_page(page);
      const double t = std::chrono::duration<double>(clock_type::now() - start).count();
      if (i > 0) times.push_back(t);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2] / (page.size() / 1e6);
  };
  const double per_mb_small = per_mb(small, 50);
  const double per_mb_big = per_mb(big, 3);
  std::printf("linearity          %.1f MB page %.2f ms/MB | %.1f MB page %.2f ms/MB | ratio %.2fx\n",
              small.size() / 1e6, per_mb_small * 1e3, big.size() / 1e6, per_mb_big * 1e3,
              per_mb_big / per_mb_small);
  compare("20-entry page", pages::realistic(20, 2000));
  compare("2,000-entry page", pages::realistic(2000, 2000));

  return 0;
}
