#pragma once
// Drives the built program from outside, the way a user would, through its native windows:
// start it, find its main window and controls, press Refresh, read the list, choose popup
// menu items, double-click rows, press keys, close it. Everything crosses the process
// boundary, so controls whose messages carry pointers (the list view) get their buffers
// inside the program's own address space.
//
// Sections:
//   -- files and paths --
//   -- the program's process --
//   -- windows --
//   -- the main window and its controls --
//   -- the archive server's control paths --
//   -- the browser launcher --
//   -- the screen's DPI --
//   -- certificates --

// Winsock 2 must come before windows.h, which would otherwise bring in the old winsock.h.
#include <windows.h>
#include <winsock2.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace e2e {

// -- files and paths --

// Wine maps the Unix root to drive Z:, so a Unix path is reached from here as "Z:" + path.
std::string windows_path(const std::string& unix_path);
// The environment variable's value, or `fallback` when it is not set.
std::string env(const std::string& name, const std::string& fallback = "");
bool read_file(const std::string& path, std::string& bytes);
bool write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);
// Creates the directory and its parents; an existing one is fine.
bool make_directories(const std::string& path);
// Removes every file and directory below `path` (not `path` itself).
void clear_directory(const std::string& path);

// Repeats `done` every `interval_ms` until it holds or `timeout_ms` passed; the last look
// happens after the deadline, so a condition met just in time still counts.
bool wait_until(const std::function<bool()>& done, DWORD timeout_ms, DWORD interval_ms = 20);

// -- the program's process --

class program {
 public:
  program() = default;
  program(const program&) = delete;
  program& operator=(const program&) = delete;
  // A program still running when its driver goes away is ended, so that no test leaves a
  // window behind for the next one to find.
  ~program();

  // Starts `exe` with `directory` as its current directory and `arguments` after its name
  // on its command line; its standard output and standard error both go to the file
  // `output_path` (created or truncated).
  bool start(const std::string& exe, const std::string& directory, const std::string& output_path,
             std::string& error, const std::string& arguments = "");
  bool running() const;
  // Waits for the process to end; false on timeout.
  bool wait_exit(DWORD timeout_ms);
  // The exit code, or STILL_ACTIVE while it runs.
  DWORD exit_code() const;
  void kill();
  // Everything the program wrote to standard output and standard error so far.
  std::string output() const;

  HANDLE process = nullptr;
  DWORD id = 0;
  std::string output_path;
};

// Starts a Unix program by absolute path through Wine, which runs ELF executables given to
// CreateProcess directly. No handle comes back: the caller watches for its effects.
bool start_unix_program(const std::string& command_line, std::string& error);

// -- windows --

std::string class_name(HWND hwnd);
// UTF-16 as UTF-8, and back.
std::string utf8(const std::wstring& text);
std::wstring utf16(const std::string& text);
// WM_GETTEXT, which Windows copies across processes itself.
std::string window_text(HWND hwnd);
// The same in its wide form, as UTF-8: every character a window of UTF-16 texts holds.
std::string window_text_utf8(HWND hwnd);
// The direct children, in creation order (children are added at the bottom of the
// z-order, so the sibling chain from the first child runs in creation order).
std::vector<HWND> child_windows(HWND parent);
// A visible top-level window of class `cls` titled `title`, owned by process `pid` (0: any
// process). Waits for it up to `timeout_ms`; nullptr if none appeared.
HWND find_top_window(const std::string& cls, const std::string& title, DWORD pid, DWORD timeout_ms);

// A block of memory inside another process, for messages whose arguments are pointers
// that the system does not copy across processes (the list view's).
class remote_memory {
 public:
  remote_memory(HANDLE process, std::size_t size);
  ~remote_memory();
  remote_memory(const remote_memory&) = delete;
  remote_memory& operator=(const remote_memory&) = delete;

  bool ok() const { return address != nullptr; }
  bool write(std::size_t offset, const void* data, std::size_t size);
  bool read(std::size_t offset, void* data, std::size_t size) const;
  LPARAM at(std::size_t offset) const {
    return reinterpret_cast<LPARAM>(static_cast<char*>(address) + offset);
  }

  HANDLE process;
  void* address = nullptr;
  std::size_t size;
};

// -- the main window and its controls --

enum filter_combo { difficulty = 0, platform = 1, language = 2, type = 3, sort = 4 };

// The controls of the main window, found by class and creation order.
class app_window {
 public:
  app_window() = default;
  ~app_window();
  app_window(const app_window&) = delete;
  app_window& operator=(const app_window&) = delete;

  // Waits for the visible main window ("gui_basic_widget" titled `title`) of process `pid`
  // (0: any), takes its children and waits until its message loop runs (the state file is
  // read by then), all within `timeout_ms`; `error` says what was missing.
  bool attach(const std::string& title, DWORD pid, DWORD timeout_ms, std::string& error);

  // Everything the program's window thread was posted before this call has been handled
  // when this returns true. The list's hover time serves as the marker: a posted change
  // of it is handled in order with the other posted messages and can be read back; it is
  // restored afterwards.
  bool barrier(DWORD timeout_ms = 10000);

  std::string button_text() const { return window_text(refresh_button); }
  bool progress_visible() const { return IsWindowVisible(progress) != FALSE; }
  // Idle: the button reads "Refresh" and the progress bar is hidden.
  bool idle() const;

  // Posts BM_CLICK to Refresh and returns once the click has been handled: the button
  // handles the posted BM_CLICK, its container reflects the notification back to the button
  // by another posted message, and that one fires the click; a barrier after each.
  bool click_refresh();
  bool wait_idle(DWORD timeout_ms);
  // Click, then wait until idle: the milliseconds from the click until idle, -1 on timeout.
  long long refresh(DWORD timeout_ms);
  // The same with a second click (a cancel) `cancel_after_ms` after the first, unless idle
  // came first. A refresh that ends just as the cancel is posted gets a new one started
  // instead, as a user's press at that moment would; that one is waited for too.
  long long cancelled_refresh(DWORD cancel_after_ms, DWORD timeout_ms);

  // -- the entry list --
  // Cells are read as another program reads them, with LVM_GETITEMTEXTW, and given as UTF-8.
  int row_count() const;
  int column_count() const;
  std::string cell(int row, int column) const;
  std::vector<std::vector<std::string>> rows() const;
  // The first row whose name starts with `text`, letter case ignored, as type-ahead looks
  // for it (LVM_FINDITEMW, LVFI_PARTIAL | LVFI_WRAP); -1 for none, -2 when it cannot ask.
  int find_row(const std::wstring& text) const;
  // The list's selection mark, -1 when there is none.
  int selection_mark() const;
  int selected_count() const;
  // The rectangle of the row's first cell in list client coordinates, scrolled into view.
  bool row_point(int row, POINT& client) const;
  // A left click on the row, then a barrier.
  bool click_row(int row);
  // Selects by state instead of a click: selected and focused, and the selection mark.
  bool select_row_by_state(int row);
  // Down, up, double-click, up on the row, then a barrier.
  bool double_click_row(int row);
  // Opens the list's context menu over `row` and chooses the `item`-th entry (1-based;
  // 0 dismisses it with Escape). Waits for the menu to open and to close.
  bool context_menu(int row, int item, DWORD timeout_ms = 10000);

  // -- the list's order and the Find box --
  // A left click on the header of column `column`, then a barrier: the list sorts by it.
  bool click_header(int column);
  // The header's sort arrow on `column`: 1 up (ascending), -1 down, 0 none; -2 when it cannot
  // ask.
  int sort_arrow(int column) const;
  // The Find box's text, as UTF-8.
  std::string find_text() const { return window_text_utf8(find_edit); }
  // Sets the Find box's text at once (WM_SETTEXT, which the box reports as a change), then
  // waits until the list has followed it.
  bool set_find(const std::string& utf8);
  // Types one more character into the Find box, as the keyboard's WM_CHAR, and waits until
  // the list has followed it.
  bool type_in_find(wchar_t c);

  // -- the filters --
  std::string title_text() const { return window_text(title_edit); }
  bool set_title(const std::string& text);
  int combo_selection(filter_combo which) const;
  int combo_count(filter_combo which) const;
  std::string combo_item(filter_combo which, int index) const;
  // CB_SETCURSEL plus the CBN_SELCHANGE a user's choice would send, then a barrier.
  bool choose_combo(filter_combo which, int index);

  // -- the keyboard and the status line --
  // The window with the keyboard focus in the program's window thread, or null.
  HWND focus() const;
  // Presses and releases `vk` as a user does, with Shift held when `shift` is set and Ctrl
  // when `control` is: real input (SendInput) to the main window, which is brought to the
  // front first. The program takes it in its own time: callers wait for its effect.
  bool press_key(WORD vk, bool shift = false, bool control = false);
  // The visible popup menu of the program's window thread, or null.
  HWND open_menu() const;
  // Waits for a popup menu to open, chooses the `item`-th entry (1-based; 0 dismisses it
  // with Escape; -1 is the last, reached by Up) and waits for it to close.
  bool choose_in_menu(int item, DWORD timeout_ms = 10000);
  std::string status_text() const { return window_text_utf8(status_label); }

  // Posts WM_CLOSE to the main window.
  bool post_close();

  // Finds the controls among the main window's children; false (naming what is missing)
  // until all are there.
  bool take_children(std::string& missing);

  HWND main = nullptr;
  DWORD pid = 0;
  DWORD thread = 0;
  HANDLE process = nullptr;
  std::vector<HWND> labels;
  // The label below the progress bar.
  HWND status_label = nullptr;
  HWND title_edit = nullptr;
  HWND combos[5] = {};
  HWND progress = nullptr;
  HWND refresh_button = nullptr;
  HWND list = nullptr;
  // The second edit box, above the list.
  HWND find_edit = nullptr;
};

// -- the archive server's control paths --

struct http_reply {
  int status = 0;
  std::string body;
};

// One request on its own connection ("Connection: close"), the reply read to the end.
bool http_request(const std::string& host, int port, const std::string& method, const std::string& path,
                  const std::string& body, http_reply& reply, std::string& error);

// One archive request as the server logged it.
struct logged_request {
  int connection = 0;
  std::string method;
  std::string path;
  std::map<std::string, std::string> headers;  // lower-case names
  std::string body;
  std::map<std::string, std::string> form;
  // The name the TLS handshake sent (SNI); empty without one.
  std::string sni;
};

class archive_server {
 public:
  archive_server(std::string host_, int port_) : host(std::move(host_)), port(port_) {}
  bool reset(std::string& error);
  // `settings` is a JSON object of fault switches.
  bool faults(const std::string& settings, std::string& error);
  bool log(std::vector<logged_request>& requests, std::string& error);
  // The server answers its control paths.
  bool alive();

  std::string host;
  int port;
};

// -- the browser launcher --

// Wine's browser launcher tries the commands of HKCU\Software\Wine\WineBrowser "Browsers"
// (comma-separated, each a Unix command line that receives the address as its last
// argument). Returns the previous value ("" when there was none) in `previous`.
bool set_wine_browsers(const std::string& commands, std::string* previous, bool* existed);
bool restore_wine_browsers(const std::string& previous, bool existed);

// -- the screen's DPI --

// Wine reads HKCU\Control Panel\Desktop "LogPixels" (REG_DWORD) when a program starts and
// shows it at that DPI. While this lives, programs started get `dpi`; the value is put back
// as it was afterwards, for the other programs of the prefix.
class screen_dpi {
 public:
  explicit screen_dpi(DWORD dpi);
  ~screen_dpi();
  screen_dpi(const screen_dpi&) = delete;
  screen_dpi& operator=(const screen_dpi&) = delete;

  bool ok = false;

 private:
  DWORD previous = 0;
  bool existed = false;
};

// -- certificates --

// Adds the certificate (DER) to the current user's Root store of this Wine prefix, so that
// programs started in the prefix trust what it signed. For the project's own test authority
// only, in prefixes the project made.
bool trust_root(const std::string& der_path, std::string& error);

}  // namespace e2e
