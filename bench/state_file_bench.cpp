// What reading a state file holds, against the file's own size: for files a damaged or
// hostile program could leave (millions of empty rows, one row of a million fields, a
// million short marks, one long text that grows when decoded) and for files the program
// writes itself. Each file is read in a process of its own (the rows' pool keeps its
// chunks), and what the read holds at its peak is split into the rows' own blocks (what the
// list keeps), the marks, and everything else; the ratios are to the file's size.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <malloc.h>
#include <new>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/state_codec.hpp"

// -- counting what is held --

namespace {
std::size_t live = 0;
std::size_t peak = 0;
}  // namespace

void* operator new(std::size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  live += malloc_usable_size(p);
  if (live > peak) peak = live;
  return p;
}
void operator delete(void* p) noexcept {
  if (!p) return;
  live -= malloc_usable_size(p);
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

// -- the files --

void put_int(std::string& out, int v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((static_cast<unsigned>(v) >> (8 * i)) & 0xFF);
}
void put_string(std::string& out, const std::string& s) {
  put_int(out, static_cast<int>(s.size()));
  out += s;
}
// The items after the rows: no selection, an empty title, four filters.
void put_tail(std::string& out) {
  put_int(out, -1);
  put_string(out, "");
  for (int i = 0; i < 4; ++i) put_int(out, 0);
}

constexpr int megabytes = 10;
constexpr std::size_t file_bytes = megabytes * 1024 * 1024;

std::string empty_rows() {
  std::string f;
  put_int(f, 0);
  const int n = static_cast<int>(file_bytes / 4);
  put_int(f, n);
  for (int i = 0; i < n; ++i) put_int(f, 0);
  put_tail(f);
  return f;
}

// `rows` rows of `fields` fields each, every field an empty name and a value of no kind: 8
// bytes.
std::string empty_fields(int rows, int fields) {
  std::string f;
  put_int(f, 0);
  put_int(f, rows);
  for (int i = 0; i < rows; ++i) {
    put_int(f, fields);
    for (int k = 0; k < fields; ++k) {
      put_int(f, 0);
      put_int(f, 0);
    }
  }
  put_tail(f);
  return f;
}
std::string one_row_of_fields() { return empty_fields(1, static_cast<int>(file_bytes / 8)); }
std::string rows_of_fields() { return empty_fields(static_cast<int>(file_bytes / (4 + 16 * 8)), 16); }

// Marks of distinct urls of four bytes: 9 bytes each.
std::string short_marks() {
  std::string f;
  const int n = static_cast<int>(file_bytes / 9);
  put_int(f, n);
  for (int i = 0; i < n; ++i) {
    std::string url;
    for (int k = 0, v = i; k < 4; ++k, v /= 90) url += static_cast<char>('!' + v % 90);
    put_string(f, url);
    f += '\1';
  }
  put_int(f, 0);
  put_tail(f);
  return f;
}

// One name of Windows-1252 bytes that each become three bytes of UTF-8.
std::string one_long_text() {
  std::string f;
  put_int(f, 0);
  put_int(f, 1);
  put_int(f, 1);
  put_string(f, "name");
  put_int(f, 1);
  put_string(f, std::string(file_bytes, '\x80'));
  put_tail(f);
  return f;
}

// A field as the program writes it: the key, the tag 1 and the text.
void put_text_field(std::string& out, const std::string& key, const std::string& text) {
  put_string(out, key);
  put_int(out, 1);
  put_string(out, text);
}

// What the program writes: a list of entries as the site gives them, and a mark for every
// fiftieth. (Written by hand: rows made here would leave their blocks to the reader's.)
std::string site_list() {
  std::string marks, rows;
  int n = 0, marked = 0;
  for (; rows.size() < file_bytes; ++n) {
    const std::string url = "/vexlets/" + std::to_string(n) + "/";
    put_int(rows, 4);
    put_text_field(rows, "difficulty", std::to_string(n % 9 + 1));
    put_text_field(rows, "name", "Vexlet number " + std::to_string(n) + " by someone");
    put_string(rows, "solved");
    put_int(rows, 2);
    rows += static_cast<char>(n % 3 == 0);
    put_text_field(rows, "url", url);
    if (n % 50 == 0) {
      put_string(marks, url);
      marks += '\1';
      ++marked;
    }
  }
  std::string f;
  put_int(f, marked);
  f += marks;
  put_int(f, n);
  f += rows;
  put_tail(f);
  return f;
}

// Only marks, as the program writes them (in the map's order, which the reader does not need).
std::string site_marks() {
  std::string f;
  const int n = static_cast<int>(file_bytes / 19);
  put_int(f, n);
  for (int i = 0; i < n; ++i) {
    put_string(f, "/vexlets/" + std::to_string(i) + "/");
    f += '\1';
  }
  put_int(f, 0);
  put_tail(f);
  return f;
}

// -- one reading --

struct held {
  std::size_t file = 0, peak = 0, rows = 0, marks = 0;
  std::size_t row_count = 0, mark_count = 0;
  bool title = false;
};

held measure(const std::string& bytes) {
  held h;
  h.file = bytes.size();
  std::istringstream in(bytes);
  const std::size_t before = live;
  peak = live;
  gui_state_read* state = new gui_state_read(read_gui_state(in, bytes.size()));
  h.peak = peak - before;
  const std::size_t after = live;
  h.row_count = state->rows.size();
  h.mark_count = state->cracked_urls.size();
  h.title = state->title.has_value();
  std::map<std::string, bool>().swap(state->cracked_urls);
  h.marks = after - live;
  // Only the rows' own blocks: their list's places are not what the list keeps of them.
  h.rows = live - before - state->rows.capacity() * sizeof(row);
  return h;
}

void report(const char* name, const std::function<std::string()>& make) {
  const std::string bytes = make();
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return;
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    const held h = measure(bytes);
    if (write(pipe_ends[1], &h, sizeof h) != static_cast<ssize_t>(sizeof h)) _exit(1);
    _exit(0);
  }
  close(pipe_ends[1]);
  held h;
  const bool got = read(pipe_ends[0], &h, sizeof h) == static_cast<ssize_t>(sizeof h);
  close(pipe_ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!got) {
    std::printf("%-22s no result (the reader failed)\n", name);
    return;
  }
  const double mb = 1024.0 * 1024.0;
  const double file = static_cast<double>(h.file);
  const std::size_t beyond = h.peak - h.rows;
  std::printf("%-22s %6.1f MB file: peak %7.1f MB (%5.2fx); rows %7.1f MB (%5.2fx), marks %6.1f MB (%5.2fx), "
              "beyond the rows %6.1f MB (%5.2fx); %zu rows, %zu marks, %s\n",
              name, file / mb, h.peak / mb, h.peak / file, h.rows / mb, h.rows / file, h.marks / mb,
              h.marks / file, beyond / mb, beyond / file, h.row_count, h.mark_count,
              h.title ? "read to the end" : "stopped before the end");
}

}  // namespace

int main() {
  std::printf("state file reader: held at its peak, against the file's size\n");
  const std::pair<const char*, std::function<std::string()>> files[] = {
      {"empty rows", empty_rows},           {"one row of fields", one_row_of_fields},
      {"rows of 16 fields", rows_of_fields}, {"short marks", short_marks},
      {"one long text", one_long_text},     {"the site's list", site_list},
      {"the site's marks", site_marks},
  };
  for (const auto& f : files) report(f.first, f.second);
  return 0;
}
