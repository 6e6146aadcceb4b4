// Any file read as the state file: what is read, written and read again is the same state,
// and reading allocates in proportion to the file, never what a damaged count or length
// asks for.
#include <sanitizer/allocator_interface.h>

#include <cstdint>
#include <sstream>
#include <string>

#include "app/state_codec.hpp"
#include "fuzz/fuzz_check.hpp"

namespace {

// Bytes allocated by this thread while `counting` (other threads, such as libFuzzer's own,
// are not the reader's).
thread_local bool counting = false;
thread_local std::size_t allocated = 0;
void count_allocation(const volatile void*, std::size_t n) {
  if (counting) allocated += n;
}
void ignore_free(const volatile void*) {}
const int hooks_installed = __sanitizer_install_malloc_and_free_hooks(count_allocation, ignore_free);

// The smallest items cost the most per byte: a field of an empty name and no value (8 bytes)
// takes a place in the reader's lists of one row's fields and in the row, about 140 bytes;
// that stays under 32 bytes per byte of file. Twice that leaves room, while a count or
// length the file cannot hold would ask for far more. A file of a few bytes costs the
// reader's own fixed needs.
constexpr std::size_t bytes_per_file_byte = 64;
constexpr std::size_t fixed_bytes = 4096;

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

// Reads `bytes` as the state file, and in `written` what writing that state back gives.
gui_state_read read_and_write(const std::string& bytes, std::string& written) {
  std::istringstream in(bytes);
  allocated = 0;
  counting = true;
  const gui_state_read state = read_gui_state(in, bytes.size());
  counting = false;
  FUZZ_CHECK(hooks_installed && allocated <= bytes_per_file_byte * bytes.size() + fixed_bytes);
  std::ostringstream out;
  write_gui_state(out, as_data(state));
  written = out.str();
  return state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string written, rewritten;
  const gui_state_read first = read_and_write(std::string(reinterpret_cast<const char*>(data), size), written);
  const gui_state_read second = read_and_write(written, rewritten);
  FUZZ_CHECK(rewritten == written);
  FUZZ_CHECK(second.title && second.selected);
  for (const auto& filter : second.filters) FUZZ_CHECK(filter.has_value());
  FUZZ_CHECK(second.cracked_urls == first.cracked_urls && second.rows.size() == first.rows.size());
  // A sort is written only after a placement, and read back as it was.
  FUZZ_CHECK(second.sort.has_value() == (first.sort && first.placement));
  if (second.sort) FUZZ_CHECK(second.sort->column == first.sort->column && second.sort->descending == first.sort->descending);
  return 0;
}
