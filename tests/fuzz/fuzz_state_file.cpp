// Any file read as the state file: what is read, written and read again is the same state,
// and reading holds, beside the rows' own blocks, no more than it was given leave to: three
// times the file's size and a small allowance, whatever a damaged count or length asks for.
#include <sanitizer/allocator_interface.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <utility>

#include "app/state_codec.hpp"
#include "fuzz/fuzz_check.hpp"

namespace {

// What this thread holds on the heap while `counting`, from where it began, and its peak
// (other threads, such as libFuzzer's own, are not the reader's).
thread_local bool counting = false;
thread_local std::int64_t held = 0;
thread_local std::int64_t peak = 0;
void count_allocation(const volatile void*, std::size_t n) {
  if (!counting) return;
  held += static_cast<std::int64_t>(n);
  peak = std::max(peak, held);
}
void count_free(const volatile void* p) {
  if (counting) held -= static_cast<std::int64_t>(__sanitizer_get_allocated_size(const_cast<const void*>(p)));
}
const int hooks_installed = __sanitizer_install_malloc_and_free_hooks(count_allocation, count_free);

// Small, so that the limit binds on inputs of a few kilobytes: the reader's own fixed needs
// are a few hundred bytes.
constexpr std::uint64_t allowance = 4096;

gui_state_data as_data(const gui_state_read& r) {
  gui_state_data d;
  d.cracked_urls = r.cracked_urls;
  d.rows = r.rows;
  d.selected = r.selected.value_or(-1);
  d.title = r.title.value_or("");
  for (int i = 0; i < 4; ++i) d.filters[i] = r.filters[i].value_or(-1);
  d.placement = r.placement;
  d.sort = r.sort;
  return d;
}

std::string written(const gui_state_read& state) {
  std::ostringstream out;
  write_gui_state(out, as_data(state));
  return out.str();
}

// Reads `bytes` as the state file within the small allowance, and checks what it held at
// its peak beside the rows' blocks: everything held then, less what stays held after it but
// the marks and the list's places.
gui_state_read read_within_bounds(const std::string& bytes) {
  std::istringstream in(bytes);
  held = peak = 0;
  counting = true;
  gui_state_read state = read_gui_state(in, bytes.size(), allowance);
  const std::int64_t after = held;
  std::map<std::string, bool> marks;
  marks.swap(state.cracked_urls);
  const std::int64_t before_marks_go = held;
  marks.clear();
  const std::int64_t marks_held = before_marks_go - held;
  counting = false;
  state.cracked_urls.swap(marks);
  const std::int64_t list_places = static_cast<std::int64_t>(state.rows.capacity() * sizeof(row));
  const std::int64_t beside_rows = peak - after + marks_held + list_places;
  const auto most = static_cast<std::int64_t>(held_per_file_byte * bytes.size() + allowance);
  FUZZ_CHECK(hooks_installed && beside_rows <= most);
  return state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const gui_state_read first = read_within_bounds(std::string(reinterpret_cast<const char*>(data), size));
  // Written back, the file holds what was read and nothing else (no damage, no padding), so
  // it may be smaller for the same state: it is read back with the program's own allowance.
  const std::string once = written(first);
  std::istringstream in(once);
  const gui_state_read second = read_gui_state(in, once.size());
  FUZZ_CHECK(written(second) == once);
  FUZZ_CHECK(second.title && second.selected);
  for (const auto& filter : second.filters) FUZZ_CHECK(filter.has_value());
  FUZZ_CHECK(second.cracked_urls == first.cracked_urls && second.rows.size() == first.rows.size());
  // A sort is written only after a placement, and read back as it was.
  FUZZ_CHECK(second.sort.has_value() == (first.sort && first.placement));
  if (second.sort) FUZZ_CHECK(second.sort->column == first.sort->column && second.sort->descending == first.sort->descending);
  return 0;
}
