#include "threading/thread.hpp"

#include <exception>
#include <stdexcept>
#include <string>

namespace threading {

namespace {

// The slot that holds each started thread's object. Allocated once, on first use by any
// thread; the function-local static makes two threads meeting there safe.
DWORD tls_index() {
  static const DWORD index = TlsAlloc();
  return index;
}

// Set once a thread has been started, so that threads never asking for the slot (the
// window thread) do not allocate one.
volatile LONG tls_used = 0;

void report(const char* what) {
  std::string text = "threading: worker ended by an exception: ";
  text += what;
  text += "\n";
  OutputDebugStringA(text.c_str());
}

}  // namespace

void thread::start() {
  // One handle per start would otherwise stay open for the life of the program.
  if (thread_handle) CloseHandle(thread_handle);
  thread_handle = CreateThread(nullptr, 0, thread_start, this, 0, &thread_id);
}

DWORD WINAPI thread_start(LPVOID self) {
  // No exception may unwind into the system's frames that called this procedure.
  try {
    InterlockedExchange(&tls_used, 1);
    if (tls_index() == TLS_OUT_OF_INDEXES) throw std::runtime_error("tls alloc error");
    if (!TlsSetValue(tls_index(), self)) throw std::runtime_error("tls setvalue error");
    thread* t = static_cast<thread*>(self);
    try {
      if (t->body) t->body();
    } catch (interrupt_exception&) {
    }
    return 0;
  } catch (const std::exception& e) {
    report(e.what());
  } catch (...) {
    report("an exception of unknown type");
  }
  return 1;
}

thread* current_thread() {
  if (!tls_used || tls_index() == TLS_OUT_OF_INDEXES) return nullptr;
  return static_cast<thread*>(TlsGetValue(tls_index()));
}

void interruption_point() {
  thread* t = current_thread();
  if (!t) throw std::runtime_error("no thread, wth");
  if (t->interrupted.exchange(false)) throw interrupt_exception();
}

}  // namespace threading
