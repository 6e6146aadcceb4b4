// Sections: message helpers; files and paths; the program's process; windows; the main
// window and its controls; the archive server's control paths (a small HTTP client and
// the log's JSON); the browser launcher.

#include "e2e/driver.hpp"

#include <commctrl.h>
#include <wincrypt.h>
#include <ws2tcpip.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace e2e {

namespace {

// Every message to the program waits at most this long for its answer: a hung program
// fails the caller instead of hanging it.
constexpr UINT send_timeout_ms = 10000;

bool send(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, DWORD_PTR* result = nullptr) {
  DWORD_PTR r = 0;
  const LRESULT ok =
      SendMessageTimeoutA(hwnd, msg, wparam, lparam, SMTO_ABORTIFHUNG | SMTO_BLOCK, send_timeout_ms, &r);
  if (result) *result = r;
  return ok != 0;
}

long long send_value(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, long long failed) {
  DWORD_PTR r = 0;
  if (!send(hwnd, msg, wparam, lparam, &r)) return failed;
  return static_cast<long long>(static_cast<LRESULT>(r));
}

bool same_class(const std::string& actual, const std::string& wanted) {
  // Versioned common-control classes may carry a "<version>!" prefix.
  std::string base = actual;
  const std::size_t bang = base.rfind('!');
  if (bang != std::string::npos) base = base.substr(bang + 1);
  if (base.size() != wanted.size()) return false;
  for (std::size_t i = 0; i < base.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(base[i])) !=
        std::tolower(static_cast<unsigned char>(wanted[i])))
      return false;
  }
  return true;
}

unsigned long long now_ms() { return GetTickCount64(); }

}  // namespace

// -- files and paths --

std::string windows_path(const std::string& unix_path) { return "Z:" + unix_path; }

std::string env(const std::string& name, const std::string& fallback) {
  char buf[32768];
  const DWORD n = GetEnvironmentVariableA(name.c_str(), buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return fallback;
  return std::string(buf, n);
}

bool read_file(const std::string& path, std::string& bytes) {
  bytes.clear();
  // Shared for writing: the program may still be writing its output there.
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  char buf[65536];
  DWORD got = 0;
  bool ok = true;
  for (;;) {
    if (!ReadFile(f, buf, sizeof buf, &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    bytes.append(buf, got);
  }
  CloseHandle(f);
  return ok;
}

bool write_file(const std::string& path, const std::string& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  std::size_t done = 0;
  bool ok = true;
  while (done < bytes.size()) {
    DWORD wrote = 0;
    const DWORD n = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
    if (!WriteFile(f, bytes.data() + done, n, &wrote, nullptr) || wrote == 0) {
      ok = false;
      break;
    }
    done += wrote;
  }
  return CloseHandle(f) && ok;
}

bool file_exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool make_directories(const std::string& path) {
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/' && path[i] != '\\') continue;
    const std::string part = path.substr(0, i);
    if (part.size() == 2 && part[1] == ':') continue;  // a drive
    if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void clear_directory(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((path + "/*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    const std::string full = path + "/" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      clear_directory(full);
      RemoveDirectoryA(full.c_str());
    } else {
      SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(full.c_str());
    }
  } while (FindNextFileA(h, &found));
  FindClose(h);
}

bool wait_until(const std::function<bool()>& done, DWORD timeout_ms, DWORD interval_ms) {
  const unsigned long long deadline = now_ms() + timeout_ms;
  for (;;) {
    if (done()) return true;
    if (now_ms() > deadline) return false;
    Sleep(interval_ms);
  }
}

// -- the program's process --

program::~program() {
  if (running()) kill();
  if (process) CloseHandle(process);
}

bool program::start(const std::string& exe, const std::string& directory, const std::string& output,
                    std::string& error, const std::string& arguments) {
  if (process) {
    error = "already started";
    return false;
  }
  output_path = output;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out =
      CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) {
    error = "cannot create " + output + " (" + std::to_string(GetLastError()) + ")";
    return false;
  }
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = nullptr;
  si.hStdOutput = out;
  si.hStdError = out;
  PROCESS_INFORMATION pi = {};
  std::string command = "\"" + exe + "\"";
  if (!arguments.empty()) command += " " + arguments;
  const BOOL ok = CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                 directory.c_str(), &si, &pi);
  const DWORD err = GetLastError();
  CloseHandle(out);
  if (!ok) {
    error = "cannot start " + exe + " (" + std::to_string(err) + ")";
    return false;
  }
  CloseHandle(pi.hThread);
  process = pi.hProcess;
  id = pi.dwProcessId;
  return true;
}

bool program::running() const { return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }

bool program::wait_exit(DWORD timeout_ms) {
  return process && WaitForSingleObject(process, timeout_ms) == WAIT_OBJECT_0;
}

DWORD program::exit_code() const {
  DWORD code = STILL_ACTIVE;
  if (process) GetExitCodeProcess(process, &code);
  return code;
}

void program::kill() {
  if (!process) return;
  TerminateProcess(process, 255);
  WaitForSingleObject(process, 10000);
}

std::string program::output() const {
  std::string text;
  read_file(output_path, text);
  return text;
}

bool start_unix_program(const std::string& command_line, std::string& error) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string command = command_line;
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    error = "cannot start " + command_line + " (" + std::to_string(GetLastError()) + ")";
    return false;
  }
  if (pi.hThread) CloseHandle(pi.hThread);
  if (pi.hProcess) CloseHandle(pi.hProcess);
  return true;
}

// -- windows --

std::string class_name(HWND hwnd) {
  char buf[256] = {};
  const int n = GetClassNameA(hwnd, buf, sizeof buf);
  return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::wstring utf16(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::string utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &out[0], n, nullptr, nullptr);
  return out;
}

std::string window_text(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!send(hwnd, WM_GETTEXTLENGTH, 0, 0, &length)) return std::string();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  DWORD_PTR got = 0;
  if (!send(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), &got)) return std::string();
  text.resize(std::min<std::size_t>(static_cast<std::size_t>(got), text.size() - 1));
  return text;
}

std::string window_text_utf8(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, send_timeout_ms, &length))
    return std::string();
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                           SMTO_ABORTIFHUNG | SMTO_BLOCK, send_timeout_ms, &got))
    return std::string();
  text.resize(std::min<std::size_t>(static_cast<std::size_t>(got), text.size() - 1));
  return utf8(text);
}

std::vector<HWND> child_windows(HWND parent) {
  std::vector<HWND> out;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) out.push_back(c);
  return out;
}

namespace {

struct top_search {
  std::string cls, title;
  DWORD pid;
  HWND found;
};

BOOL CALLBACK match_top(HWND hwnd, LPARAM data) {
  top_search* s = reinterpret_cast<top_search*>(data);
  if (!IsWindowVisible(hwnd)) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (s->pid && pid != s->pid) return TRUE;
  if (!same_class(class_name(hwnd), s->cls)) return TRUE;
  // For another process's window GetWindowText reads the title the system keeps, without
  // a message: a program busy before its message loop does not hold the search up.
  char title[1024] = {};
  const int n = GetWindowTextA(hwnd, title, sizeof title);
  if (std::string(title, n > 0 ? static_cast<std::size_t>(n) : 0) != s->title) return TRUE;
  s->found = hwnd;
  return FALSE;
}

struct menu_search {
  DWORD thread;
  HWND found;
};

BOOL CALLBACK match_menu(HWND hwnd, LPARAM data) {
  menu_search* s = reinterpret_cast<menu_search*>(data);
  if (!IsWindowVisible(hwnd) || class_name(hwnd) != "#32768") return TRUE;
  if (GetWindowThreadProcessId(hwnd, nullptr) != s->thread) return TRUE;
  s->found = hwnd;
  return FALSE;
}

HWND open_menu_of(DWORD thread) {
  menu_search s = {thread, nullptr};
  EnumWindows(match_menu, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

}  // namespace

HWND find_top_window(const std::string& cls, const std::string& title, DWORD pid, DWORD timeout_ms) {
  top_search s = {cls, title, pid, nullptr};
  wait_until(
      [&] {
        EnumWindows(match_top, reinterpret_cast<LPARAM>(&s));
        return s.found != nullptr;
      },
      timeout_ms, 50);
  return s.found;
}

remote_memory::remote_memory(HANDLE process_, std::size_t size_) : process(process_), size(size_) {
  address = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

remote_memory::~remote_memory() {
  if (address) VirtualFreeEx(process, address, 0, MEM_RELEASE);
}

bool remote_memory::write(std::size_t offset, const void* data, std::size_t n) {
  if (!address || offset > size || n > size - offset) return false;
  SIZE_T done = 0;
  return WriteProcessMemory(process, static_cast<char*>(address) + offset, data, n, &done) && done == n;
}

bool remote_memory::read(std::size_t offset, void* data, std::size_t n) const {
  if (!address || offset > size || n > size - offset) return false;
  SIZE_T done = 0;
  return ReadProcessMemory(process, static_cast<char*>(address) + offset, data, n, &done) && done == n;
}

// -- the main window and its controls --

app_window::~app_window() {
  if (process) CloseHandle(process);
}

bool app_window::take_children(std::string& missing) {
  labels.clear();
  title_edit = progress = refresh_button = list = status_label = find_edit = nullptr;
  for (HWND& c : combos) c = nullptr;
  int combo = 0;
  for (HWND c : child_windows(main)) {
    const std::string cls = class_name(c);
    if (same_class(cls, "Static") && progress && !status_label) {
      status_label = c;
    } else if (same_class(cls, "Static")) {
      labels.push_back(c);
    } else if (same_class(cls, "Edit") && !title_edit) {
      title_edit = c;
    } else if (same_class(cls, "Edit") && !find_edit) {
      find_edit = c;
    } else if (same_class(cls, "ComboBox") && combo < 5) {
      combos[combo++] = c;
    } else if (same_class(cls, "msctls_progress32") && !progress) {
      progress = c;
    } else if (same_class(cls, "Button") && !refresh_button) {
      refresh_button = c;
    } else if (same_class(cls, "SysListView32") && !list) {
      list = c;
    }
  }
  missing.clear();
  if (!title_edit) missing += " Edit";
  if (combo < 5) missing += " ComboBox(" + std::to_string(combo) + " of 5)";
  if (!progress) missing += " msctls_progress32";
  if (!refresh_button) missing += " Button";
  if (!list) missing += " SysListView32";
  if (!status_label) missing += " Static(status)";
  if (!find_edit) missing += " Edit(find)";
  return missing.empty();
}

bool app_window::attach(const std::string& title, DWORD wanted_pid, DWORD timeout_ms, std::string& error) {
  const unsigned long long deadline = now_ms() + timeout_ms;
  main = find_top_window("gui_basic_widget", title, wanted_pid, timeout_ms);
  if (!main) {
    error = "no visible main window titled \"" + title + "\"";
    return false;
  }
  thread = GetWindowThreadProcessId(main, &pid);
  if (process) CloseHandle(process);
  process = OpenProcess(
      PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE |
          PROCESS_DUP_HANDLE,
      FALSE, pid);
  if (!process) {
    error = "cannot open the program's process (" + std::to_string(GetLastError()) + ")";
    return false;
  }
  // The main window shows before its children exist and before the program has read its
  // state file: it is ready once it has all its controls and its message loop handles
  // what is posted to it.
  std::string missing;
  while (!take_children(missing)) {
    if (now_ms() > deadline) {
      error = "main window lacks:" + missing;
      return false;
    }
    Sleep(20);
  }
  while (!barrier(2000)) {
    if (now_ms() > deadline) {
      error = "the main window does not handle messages";
      return false;
    }
    Sleep(10);
  }
  return true;
}

bool app_window::barrier(DWORD timeout_ms) {
  DWORD_PTR original = 0;
  if (!send(list, LVM_GETHOVERTIME, 0, 0, &original)) return false;
  static DWORD serial = 0;
  DWORD marker = 0x5A000000u + (++serial & 0xFFFFu);
  if (marker == static_cast<DWORD>(original)) marker ^= 1;
  if (!PostMessageA(list, LVM_SETHOVERTIME, 0, static_cast<LPARAM>(marker))) return false;
  const bool seen = wait_until(
      [&] {
        DWORD_PTR now = 0;
        return send(list, LVM_GETHOVERTIME, 0, 0, &now) && static_cast<DWORD>(now) == marker;
      },
      timeout_ms, 2);
  send(list, LVM_SETHOVERTIME, 0, static_cast<LPARAM>(original));
  return seen;
}

// The bar's visibility is read from the window itself, the button's text is asked of the
// program's window thread: while the bar shows, a wait polls without waking that thread.
bool app_window::idle() const { return !progress_visible() && button_text() == "Refresh"; }

bool app_window::click_refresh() {
  if (!PostMessageA(refresh_button, BM_CLICK, 0, 0)) return false;
  return barrier() && barrier();
}

bool app_window::wait_idle(DWORD timeout_ms) {
  return wait_until([&] { return idle(); }, timeout_ms, 5);
}

long long app_window::refresh(DWORD timeout_ms) {
  const unsigned long long start = now_ms();
  if (!click_refresh()) return -1;
  if (!wait_idle(timeout_ms)) return -1;
  return static_cast<long long>(now_ms() - start);
}

long long app_window::cancelled_refresh(DWORD cancel_after_ms, DWORD timeout_ms) {
  const unsigned long long start = now_ms();
  if (!click_refresh()) return -1;
  if (!wait_idle(cancel_after_ms) && !click_refresh()) return -1;
  if (!wait_idle(timeout_ms)) return -1;
  return static_cast<long long>(now_ms() - start);
}

int app_window::row_count() const { return static_cast<int>(send_value(list, LVM_GETITEMCOUNT, 0, 0, -1)); }

int app_window::column_count() const {
  DWORD_PTR header = 0;
  if (!send(list, LVM_GETHEADER, 0, 0, &header) || !header) return -1;
  return static_cast<int>(send_value(reinterpret_cast<HWND>(header), HDM_GETITEMCOUNT, 0, 0, -1));
}

namespace {

constexpr std::size_t cell_chars = 4096;
constexpr std::size_t cell_bytes = sizeof(LVITEMW) + cell_chars * sizeof(wchar_t);

// One cell's text through an item record and a text buffer inside the program: the wide
// form, which carries every character the list shows, handed back as UTF-8.
std::string read_cell(HWND list, remote_memory& mem, int row, int column) {
  LVITEMW item = {};
  item.iSubItem = column;
  item.cchTextMax = static_cast<int>(cell_chars);
  item.pszText = reinterpret_cast<LPWSTR>(mem.at(sizeof(LVITEMW)));
  const wchar_t nothing = L'\0';
  if (!mem.write(0, &item, sizeof item) || !mem.write(sizeof(LVITEMW), &nothing, sizeof nothing))
    return std::string();
  DWORD_PTR length = 0;
  if (!send(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), mem.at(0), &length)) return std::string();
  std::wstring text(std::min<std::size_t>(static_cast<std::size_t>(length), cell_chars - 1), L'\0');
  if (text.empty() || !mem.read(sizeof(LVITEMW), &text[0], text.size() * sizeof(wchar_t))) return std::string();
  return utf8(text);
}

}  // namespace

std::string app_window::cell(int row, int column) const {
  remote_memory mem(process, cell_bytes);
  if (!mem.ok()) return std::string();
  return read_cell(list, mem, row, column);
}

std::vector<std::vector<std::string>> app_window::rows() const {
  std::vector<std::vector<std::string>> out;
  remote_memory mem(process, cell_bytes);
  if (!mem.ok()) return out;
  const int columns = std::max(1, column_count());
  const int n = row_count();
  for (int r = 0; r < n; ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < columns; ++c) row.push_back(read_cell(list, mem, r, c));
    out.push_back(row);
  }
  return out;
}

int app_window::find_row(const std::wstring& text) const {
  const std::size_t text_bytes = (text.size() + 1) * sizeof(wchar_t);
  remote_memory mem(process, sizeof(LVFINDINFOW) + text_bytes);
  if (!mem.ok()) return -2;
  LVFINDINFOW find = {};
  find.flags = LVFI_PARTIAL | LVFI_WRAP;
  find.psz = reinterpret_cast<LPCWSTR>(mem.at(sizeof(LVFINDINFOW)));
  if (!mem.write(0, &find, sizeof find) || !mem.write(sizeof(LVFINDINFOW), text.c_str(), text_bytes)) return -2;
  return static_cast<int>(send_value(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), mem.at(0), -2));
}

int app_window::selection_mark() const {
  return static_cast<int>(send_value(list, LVM_GETSELECTIONMARK, 0, 0, -2));
}

int app_window::selected_count() const {
  return static_cast<int>(send_value(list, LVM_GETSELECTEDCOUNT, 0, 0, -1));
}

bool app_window::row_point(int row, POINT& client) const {
  if (!send(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE)) return false;
  remote_memory mem(process, sizeof(RECT));
  RECT r = {};
  r.left = LVIR_LABEL;
  if (!mem.write(0, &r, sizeof r)) return false;
  DWORD_PTR ok = 0;
  if (!send(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), mem.at(0), &ok) || !ok) return false;
  if (!mem.read(0, &r, sizeof r)) return false;
  client.x = r.left + std::min<LONG>(10, (r.right - r.left) / 2);
  client.y = (r.top + r.bottom) / 2;
  return true;
}

bool app_window::click_row(int row) {
  POINT p;
  if (!row_point(row, p)) return false;
  const LPARAM at = MAKELPARAM(p.x, p.y);
  PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(list, WM_LBUTTONUP, 0, at);
  return barrier();
}

bool app_window::select_row_by_state(int row) {
  remote_memory mem(process, sizeof(LVITEMA));
  LVITEMA item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = 0;
  if (!mem.write(0, &item, sizeof item) || !send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), mem.at(0)))
    return false;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  if (!mem.write(0, &item, sizeof item) || !send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), mem.at(0)))
    return false;
  return send(list, LVM_SETSELECTIONMARK, 0, static_cast<LPARAM>(row));
}

bool app_window::double_click_row(int row) {
  POINT p;
  if (!row_point(row, p)) return false;
  const LPARAM at = MAKELPARAM(p.x, p.y);
  PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(list, WM_LBUTTONUP, 0, at);
  PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  PostMessageA(list, WM_LBUTTONUP, 0, at);
  return barrier();
}

bool app_window::context_menu(int row, int item, DWORD timeout_ms) {
  POINT p;
  if (!row_point(row, p)) return false;
  ClientToScreen(list, &p);
  // Nothing may reach the menu loop before the menu is open: a key handled by the list
  // instead would move its selection.
  if (open_menu_of(thread)) return false;
  if (!PostMessageA(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(p.x, p.y))) return false;
  return choose_in_menu(item, timeout_ms);
}

HWND app_window::open_menu() const { return open_menu_of(thread); }

bool app_window::choose_in_menu(int item, DWORD timeout_ms) {
  HWND menu = nullptr;
  if (!wait_until([&] { return (menu = open_menu_of(thread)) != nullptr; }, timeout_ms, 10)) return false;
  // The menu loop reads every key message of the program's thread; TranslateMessage turns
  // Return into the character that chooses the highlighted item.
  std::vector<WPARAM> keys;
  if (item == -1) {
    keys.push_back(VK_UP);
    keys.push_back(VK_RETURN);
  } else if (item <= 0) {
    keys.push_back(VK_ESCAPE);
  } else {
    for (int i = 0; i < item; ++i) keys.push_back(VK_DOWN);
    keys.push_back(VK_RETURN);
  }
  for (WPARAM k : keys) {
    PostMessageA(menu, WM_KEYDOWN, k, 1);
    PostMessageA(menu, WM_KEYUP, k, static_cast<LPARAM>(0xC0000001u));
  }
  if (!wait_until([&] { return open_menu_of(thread) == nullptr; }, timeout_ms, 10)) return false;
  return barrier();
}

namespace {

HWND header_of(HWND list) {
  DWORD_PTR header = 0;
  return send(list, LVM_GETHEADER, 0, 0, &header) ? reinterpret_cast<HWND>(header) : nullptr;
}

}  // namespace

bool app_window::click_header(int column) {
  HWND header = header_of(list);
  remote_memory mem(process, sizeof(RECT));
  RECT r = {};
  DWORD_PTR ok = 0;
  if (!header || !send(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), mem.at(0), &ok) || !ok ||
      !mem.read(0, &r, sizeof r))
    return false;
  // Away from the dividers, where a press would drag a width instead.
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(header, WM_LBUTTONUP, 0, at);
  return barrier();
}

int app_window::sort_arrow(int column) const {
  HWND header = header_of(list);
  remote_memory mem(process, sizeof(HDITEMW));
  HDITEMW item = {};
  item.mask = HDI_FORMAT;
  DWORD_PTR ok = 0;
  if (!header || !mem.write(0, &item, sizeof item) ||
      !send(header, HDM_GETITEMW, static_cast<WPARAM>(column), mem.at(0), &ok) || !ok || !mem.read(0, &item, sizeof item))
    return -2;
  return (item.fmt & HDF_SORTUP) ? 1 : (item.fmt & HDF_SORTDOWN) ? -1 : 0;
}

bool app_window::set_find(const std::string& text) {
  const std::wstring wide = utf16(text);
  // The caret at the end, as after typing. The box tells its window of the change, which hands
  // it back to the box in a posted message: one barrier for each.
  return SendMessageTimeoutW(find_edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()),
                             SMTO_ABORTIFHUNG | SMTO_BLOCK, send_timeout_ms, nullptr) &&
         send(find_edit, EM_SETSEL, wide.size(), static_cast<LPARAM>(wide.size())) && barrier() && barrier();
}

bool app_window::type_in_find(wchar_t c) {
  // The character, then the change it makes, handed back to the box.
  return PostMessageW(find_edit, WM_CHAR, c, 1) && barrier() && barrier();
}

bool app_window::set_title(const std::string& text) {
  return send(title_edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int app_window::combo_selection(filter_combo which) const {
  return static_cast<int>(send_value(combos[which], CB_GETCURSEL, 0, 0, -2));
}

int app_window::combo_count(filter_combo which) const {
  return static_cast<int>(send_value(combos[which], CB_GETCOUNT, 0, 0, -1));
}

std::string app_window::combo_item(filter_combo which, int index) const {
  const long long length = send_value(combos[which], CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0, -1);
  if (length < 0) return std::string();
  // The system copies CB_GETLBTEXT across processes, but Wine 8 hands the ANSI form the
  // item's UTF-16 text; the wide form comes back intact and is converted here.
  std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(combos[which], CB_GETLBTEXT, static_cast<WPARAM>(index),
                           reinterpret_cast<LPARAM>(&wide[0]), SMTO_ABORTIFHUNG | SMTO_BLOCK, send_timeout_ms,
                           &got))
    return std::string();
  wide.resize(std::min<std::size_t>(static_cast<std::size_t>(got), wide.size() - 1));
  if (wide.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string text(static_cast<std::size_t>(std::max(n, 0)), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &text[0], n, nullptr, nullptr);
  return text;
}

bool app_window::choose_combo(filter_combo which, int index) {
  HWND combo = combos[which];
  if (!send(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0)) return false;
  const WPARAM id = static_cast<WPARAM>(GetDlgCtrlID(combo)) & 0xFFFF;
  if (!send(GetParent(combo), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo)))
    return false;
  return barrier() && barrier();
}

HWND app_window::focus() const {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

bool app_window::press_key(WORD vk, bool shift, bool control) {
  if (GetForegroundWindow() != main) {
    SetForegroundWindow(main);
    if (!wait_until([&] { return GetForegroundWindow() == main; }, 5000)) return false;
  }
  std::vector<INPUT> keys;
  auto add = [&](WORD k, DWORD up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = k;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(k, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up | (k == VK_APPS ? KEYEVENTF_EXTENDEDKEY : 0);
    keys.push_back(in);
  };
  if (control) add(VK_CONTROL, 0);
  if (shift) add(VK_SHIFT, 0);
  add(vk, 0);
  add(vk, KEYEVENTF_KEYUP);
  if (shift) add(VK_SHIFT, KEYEVENTF_KEYUP);
  if (control) add(VK_CONTROL, KEYEVENTF_KEYUP);
  return SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT)) == keys.size();
}

bool app_window::post_close() { return PostMessageA(main, WM_CLOSE, 0, 0) != 0; }

// -- the archive server's control paths --

namespace {

bool winsock_ready() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

}  // namespace

bool http_request(const std::string& host, int port, const std::string& method, const std::string& path,
                  const std::string& body, http_reply& reply, std::string& error) {
  reply = http_reply();
  if (!winsock_ready()) {
    error = "winsock did not start";
    return false;
  }
  addrinfo hints = {};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found) {
    error = "cannot resolve " + host;
    return false;
  }
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    freeaddrinfo(found);
    error = "socket failed";
    return false;
  }
  const DWORD timeout = 15000;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  const int connected = connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen));
  freeaddrinfo(found);
  if (connected != 0) {
    error = "connect to " + host + ":" + std::to_string(port) + " failed (" +
            std::to_string(WSAGetLastError()) + ")";
    closesocket(s);
    return false;
  }
  std::string request = method + " " + path + " HTTP/1.1\r\nHost: " + host + ":" + std::to_string(port) +
                        "\r\nConnection: close\r\nContent-Type: application/json\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\n\r\n" + body;
  std::size_t sent = 0;
  while (sent < request.size()) {
    const int n = ::send(s, request.data() + sent, static_cast<int>(request.size() - sent), 0);
    if (n <= 0) {
      error = "send failed";
      closesocket(s);
      return false;
    }
    sent += static_cast<std::size_t>(n);
  }
  std::string raw;
  char buf[16384];
  for (;;) {
    const int n = recv(s, buf, sizeof buf, 0);
    if (n <= 0) break;
    raw.append(buf, static_cast<std::size_t>(n));
  }
  closesocket(s);
  const std::size_t head_end = raw.find("\r\n\r\n");
  if (raw.compare(0, 9, "HTTP/1.1 ") != 0 || head_end == std::string::npos) {
    error = "malformed reply: " + raw.substr(0, 200);
    return false;
  }
  reply.status = std::atoi(raw.c_str() + 9);
  reply.body = raw.substr(head_end + 4);
  return true;
}

// -- JSON --

namespace {

// The server writes its Latin-1 texts as JSON escapes, which the JSON reader returns as
// UTF-8; below 256 they go back to the byte they stand for, the rest stays UTF-8.
std::string latin1(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
      out += static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string text(const nlohmann::json& j, const char* key) {
  const auto it = j.find(key);
  return it != j.end() && it->is_string() ? latin1(it->get<std::string>()) : std::string();
}

std::map<std::string, std::string> text_fields(const nlohmann::json& j, const char* key) {
  std::map<std::string, std::string> out;
  const auto it = j.find(key);
  if (it == j.end() || !it->is_object()) return out;
  for (const auto& f : it->items())
    if (f.value().is_string()) out[latin1(f.key())] = latin1(f.value().get<std::string>());
  return out;
}

}  // namespace

bool archive_server::reset(std::string& error) {
  http_reply reply;
  if (!http_request(host, port, "POST", "/_reset", "", reply, error)) return false;
  if (reply.status != 200) error = "/_reset answered " + std::to_string(reply.status) + ": " + reply.body;
  return reply.status == 200;
}

bool archive_server::faults(const std::string& settings, std::string& error) {
  http_reply reply;
  if (!http_request(host, port, "POST", "/_faults", settings, reply, error)) return false;
  if (reply.status != 200) error = "/_faults answered " + std::to_string(reply.status) + ": " + reply.body;
  return reply.status == 200;
}

bool archive_server::log(std::vector<logged_request>& requests, std::string& error) {
  requests.clear();
  http_reply reply;
  if (!http_request(host, port, "GET", "/_log", "", reply, error)) return false;
  const nlohmann::json all = nlohmann::json::parse(reply.body, nullptr, false);
  if (reply.status != 200 || !all.is_array()) {
    error = "/_log answered " + std::to_string(reply.status) + ": " + reply.body.substr(0, 300);
    return false;
  }
  for (const nlohmann::json& j : all) {
    logged_request r;
    r.connection = j.value("connection", 0);
    r.method = text(j, "method");
    r.path = text(j, "path");
    r.headers = text_fields(j, "headers");
    r.body = text(j, "body");
    r.form = text_fields(j, "form");
    r.sni = text(j, "sni");
    requests.push_back(r);
  }
  return true;
}

bool archive_server::alive() {
  http_reply reply;
  std::string error;
  return http_request(host, port, "GET", "/_log", "", reply, error) && reply.status == 200;
}

// -- the browser launcher --

namespace {
const char* const browser_key = "Software\\Wine\\WineBrowser";
}

bool set_wine_browsers(const std::string& commands, std::string* previous, bool* existed) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, browser_key, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  if (previous && existed) {
    char buf[4096] = {};
    DWORD size = sizeof buf - 1, type = 0;
    *existed = RegQueryValueExA(key, "Browsers", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) ==
               ERROR_SUCCESS;
    *previous = *existed ? std::string(buf) : std::string();
  }
  const LONG r = RegSetValueExA(key, "Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(commands.c_str()),
                                static_cast<DWORD>(commands.size() + 1));
  RegCloseKey(key);
  return r == ERROR_SUCCESS;
}

bool trust_root(const std::string& der_path, std::string& error) {
  std::string der;
  if (!read_file(der_path, der) || der.empty()) {
    error = "cannot read " + der_path;
    return false;
  }
  HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "Root");
  if (!root) {
    error = "cannot open the user's Root store (" + std::to_string(GetLastError()) + ")";
    return false;
  }
  // Already there: nothing changes (Windows would ask the user again otherwise).
  const BOOL ok = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING,
                                                   reinterpret_cast<const BYTE*>(der.data()),
                                                   static_cast<DWORD>(der.size()), CERT_STORE_ADD_USE_EXISTING, nullptr);
  const DWORD code = GetLastError();
  CertCloseStore(root, 0);
  if (!ok) error = "cannot add " + der_path + " to the user's Root store (" + std::to_string(code) + ")";
  return ok != FALSE;
}

bool restore_wine_browsers(const std::string& previous, bool existed) {
  if (existed) return set_wine_browsers(previous, nullptr, nullptr);
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, browser_key, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return true;
  const LONG r = RegDeleteValueA(key, "Browsers");
  RegCloseKey(key);
  return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

// -- the screen's DPI --

namespace {
const char* const desktop_key = "Control Panel\\Desktop";
}

screen_dpi::screen_dpi(DWORD dpi) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, desktop_key, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return;
  DWORD size = sizeof previous, type = 0;
  existed = RegQueryValueExA(key, "LogPixels", nullptr, &type, reinterpret_cast<BYTE*>(&previous), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD;
  ok = RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi) ==
       ERROR_SUCCESS;
  RegCloseKey(key);
}

screen_dpi::~screen_dpi() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, desktop_key, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  if (existed)
    RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&previous), sizeof previous);
  else
    RegDeleteValueA(key, "LogPixels");
  RegCloseKey(key);
}

}  // namespace e2e
