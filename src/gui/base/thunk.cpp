#include "gui/base/thunk.hpp"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "win32/last_error.hpp"

namespace gui {
namespace {

// One growable executable heap per process, never destroyed. Its first use is the first
// window object, normally during static initialisation.
HANDLE executable_heap() {
  static HANDLE heap = [] {
    HANDLE h = HeapCreate(HEAP_CREATE_ENABLE_EXECUTE, 0, 0);
    if (!h) OutputDebugStringA(win32::last_error_text("HeapCreate").c_str());
    return h;
  }();
  return heap;
}

void put_address(unsigned char* at, void* address) {
  const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(address);
  std::memcpy(at, &value, sizeof value);  // little-endian on every x86
}

}  // namespace

unsigned char* make_thunk(void* object, void* target) {
  HANDLE heap = executable_heap();
  auto* t = heap ? static_cast<unsigned char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, thunk_size))
                 : nullptr;
  if (!t) {
    if (heap) OutputDebugStringA(win32::last_error_text("HeapAlloc").c_str());
    throw std::runtime_error("window stub allocation failed");
  }
#if defined(__x86_64__)
  // The Windows x64 convention passes the HWND in RCX; the stub puts the object there
  // instead and the target, a plain function, reads its first argument as the object.
  t[0] = 0x48; t[1] = 0xB9;   // 48 B9 <this>     mov rcx, this    ; object in place of the HWND
  put_address(t + 2, object);
  t[10] = 0x48; t[11] = 0xB8; // 48 B8 <target>   mov rax, target
  put_address(t + 12, target);
  t[20] = 0xFF; t[21] = 0xE0; // FF E0            jmp rax
#else
  t[0] = 0x8D; t[1] = 0x0D;   // 8D 0D <this>     lea ecx, [this]  ; object pointer into ECX (thiscall)
  put_address(t + 2, object);
  t[6] = 0xB8;                // B8    <proc>     mov eax, wnd_proc
  put_address(t + 7, target);
  t[11] = 0xFF; t[12] = 0xE0; // FF E0            jmp eax          ; stack untouched: a valid WNDPROC
#endif
  FlushInstructionCache(GetCurrentProcess(), t, thunk_size);
  return t;
}

void free_thunk(unsigned char* thunk) {
  if (thunk) HeapFree(executable_heap(), 0, thunk);
}

}  // namespace gui
