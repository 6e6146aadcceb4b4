#include "app/state_store.hpp"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <future>
#include <iterator>
#include <optional>
#include <sstream>
#include <vector>

#include "app/state_codec.hpp"
#include "app/widgets.hpp"

std::string current_directory() {
  // The length can change between the two calls (another thread may change directory);
  // ask again until the buffer was large enough.
  DWORD size = GetCurrentDirectoryA(0, nullptr);
  while (size > 0) {
    std::vector<char> buffer(size);
    const DWORD length = GetCurrentDirectoryA(size, buffer.data());
    if (length < size) return std::string(buffer.data(), length);
    size = length;
  }
  return std::string();
}

std::string state_file_path() { return current_directory() + "/gui_state"; }

namespace {

// The four filters the file keeps, in its order; the sort order is not kept.
std::vector<gui::combo_ex*> filter_boxes() {
  return {difficulty_combo.get(), platform_combo.get(), language_combo.get(), type_combo.get()};
}

// -- the main window's placement --

// A minimized window is kept as what it comes back to: its rectangle, maximized or not.
std::optional<window_placement> main_window_placement() {
  WINDOWPLACEMENT wp = {};
  wp.length = sizeof wp;
  if (!GetWindowPlacement(main_window->hwnd, &wp)) return std::nullopt;
  const RECT& r = wp.rcNormalPosition;
  const bool maximized = wp.showCmd == SW_SHOWMAXIMIZED ||
                         (wp.showCmd == SW_SHOWMINIMIZED && (wp.flags & WPF_RESTORETOMAXIMIZED));
  return window_placement{r.left, r.top, r.right - r.left, r.bottom - r.top, maximized};
}

// A placement no monitor shows any part of belongs to a screen that is gone. Its coordinates
// are relative to the primary monitor's work area, as GetWindowPlacement gives them.
bool on_a_monitor(const window_placement& p) {
  RECT work = {};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const RECT r = {work.left + p.x, work.top + p.y, work.left + p.x + p.width, work.top + p.y + p.height};
  return MonitorFromRect(&r, MONITOR_DEFAULTTONULL) != nullptr;
}

// Shows the window there; otherwise it stays hidden for its default place.
void place_main_window(const std::optional<window_placement>& p) {
  if (!p || !on_a_monitor(*p)) return;
  WINDOWPLACEMENT wp = {};
  wp.length = sizeof wp;
  wp.showCmd = p->maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
  wp.rcNormalPosition = RECT{p->x, p->y, p->x + p->width, p->y + p->height};
  SetWindowPlacement(main_window->hwnd, &wp);
}

// -- saving --

// Writes `bytes` to a new file at `path` and has them reach the disk before it returns true,
// not only the system's cache: otherwise a power cut after the rename can leave the name on
// a file whose bytes were never written.
bool write_durably(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool written = true;
  for (std::size_t at = 0; written && at < bytes.size();) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - at, 1 << 20));
    DWORD done = 0;
    written = WriteFile(file, bytes.data() + at, piece, &done, nullptr) && done > 0;
    at += done;
  }
  written = written && FlushFileBuffers(file);
  return CloseHandle(file) && written;
}

// Marks are saved at most once in this long while they change, the first change at once.
constexpr unsigned mark_save_ms = 1000;
constexpr int mark_save_timer = 1;
// The main window's timer runs: the last save for a mark was less than `mark_save_ms` ago.
bool marks_saved_lately = false;
// A mark changed after that save.
bool marks_changed = false;

// The whole state: every save, whatever asked for it, writes it the same way.
void write_state_file() {
  gui_state_data state;
  state.cracked_urls = cracked_urls;
  state.rows = entry_list->rows.elements;
  state.selected = entry_list->selected.get();
  state.title = title_edit->text.get();
  const std::vector<gui::combo_ex*> boxes = filter_boxes();
  for (int i = 0; i < 4; ++i) state.filters[i] = boxes[i]->selected.get();
  state.placement = main_window_placement();
  if (const int column = entry_list->sort_column(); column >= 0)
    state.sort = list_sort{entry_list->columns[static_cast<std::size_t>(column)].key, entry_list->sort_descending()};
  std::ostringstream out;
  write_gui_state(out, state);
  if (!out) return;

  const std::string path = state_file_path();
  const std::string temporary = path + ".tmp";
  if (!write_durably(temporary, out.str()) ||
      !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    DeleteFileA(temporary.c_str());
}

}  // namespace

void save_gui_state(gui::wnd_msg& /*message*/) { write_state_file(); }

void save_gui_state_soon() {
  if (marks_saved_lately) {
    marks_changed = true;
    return;
  }
  write_state_file();
  // Without a timer every change is saved at once.
  marks_saved_lately = main_window->start_timer(mark_save_timer, mark_save_ms);
}

void on_save_timer(int id) {
  if (id != mark_save_timer) return;
  if (marks_changed) {
    marks_changed = false;
    write_state_file();
    return;
  }
  main_window->stop_timer(id);
  marks_saved_lately = false;
}

namespace {

gui_state_read read_state_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return gui_state_read();
  const std::streamoff size = in.tellg();
  if (size < 0) return gui_state_read();
  in.seekg(0);
  return read_gui_state(in, static_cast<std::uint64_t>(size));
}

// The read that `begin_loading_gui_state` started, until `load_gui_state` takes it.
std::future<gui_state_read> started_read;

}  // namespace

void begin_loading_gui_state() {
  started_read = std::async(std::launch::async, read_state_file, state_file_path());
}

void load_gui_state() {
  gui_state_read state = started_read.valid() ? started_read.get() : read_state_file(state_file_path());

  // Moved, not copied: the file's marks and rows may be many. A url the map held already
  // takes the file's value.
  cracked_urls.merge(state.cracked_urls);
  for (const auto& mark : state.cracked_urls) cracked_urls[mark.first] = mark.second;
  std::vector<row>& rows = entry_list->rows.elements;
  if (rows.empty()) rows.swap(state.rows);
  else rows.insert(rows.end(), std::make_move_iterator(state.rows.begin()), std::make_move_iterator(state.rows.end()));
  entry_list->refill();
  // Sorted first: the selected row is the site's order's, and shows in its place.
  const int sorted_by = state.sort ? gui::index_of_key(entry_list->columns, state.sort->column) : -1;
  if (sorted_by >= 0) entry_list->sort_by(sorted_by, state.sort->descending);
  const int count = static_cast<int>(rows.size());
  if (state.selected && *state.selected >= 0 && *state.selected < count)
    entry_list->selected.set(*state.selected);
  if (state.title) title_edit->text.set(*state.title);
  const std::vector<gui::combo_ex*> boxes = filter_boxes();
  for (int i = 0; i < 4; ++i) {
    const int items = static_cast<int>(boxes[i]->items.size());
    if (state.filters[i] && *state.filters[i] >= 0 && *state.filters[i] < items)
      boxes[i]->selected.set(*state.filters[i]);
  }
  place_main_window(state.placement);
}
