#pragma once
// The executable stub through which a native window reaches its object: it loads the object
// pointer into the register the target expects and jumps to the target. No table is consulted.

#include <cstddef>

namespace gui {

#if defined(__x86_64__)
constexpr std::size_t thunk_size = 22;
#else
constexpr std::size_t thunk_size = 13;
#endif

// Allocates a stub from the process's executable heap, writes it and flushes the instruction
// cache. Throws std::runtime_error after the debug report when no memory could be had.
unsigned char* make_thunk(void* object, void* target);

// Returns the stub to the heap; null is ignored.
void free_thunk(unsigned char* thunk);

}  // namespace gui
