#include "any/row_blocks.hpp"

#include <algorithm>
#include <mutex>
#include <new>

#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#endif
// Under AddressSanitizer a free block is poisoned, so that a row used after it is gone is
// still caught; elsewhere the macros are missing or do nothing.
#ifndef ASAN_POISON_MEMORY_REGION
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

namespace {

// Sizes are whole grains; blocks larger than `largest` come from the heap as they are.
constexpr std::size_t grain = 16;
constexpr std::size_t largest = 1024;
constexpr std::size_t sizes = largest / grain;
// Chunks double from the first size up to the last, so that a few rows (a file of a few
// bytes, a combo box's items) take little, and a long list few chunks.
constexpr std::size_t first_chunk = 1024;
constexpr std::size_t last_chunk = 1024 * 1024;

struct free_block {
  free_block* next;
};

// A chunk starts with the address of the one before, so every chunk stays reachable; its
// blocks follow, each aligned for a pointer.
struct chunk_head {
  chunk_head* previous;
};

struct pool {
  std::mutex lock;
  free_block* free[sizes] = {};
  chunk_head* chunks = nullptr;
  // The part of the newest chunk that no block was cut from yet.
  unsigned char* unused = nullptr;
  std::size_t unused_bytes = 0;
  std::size_t next_chunk = first_chunk;
};

// Made once and never destroyed: rows of objects that live until the process ends give
// their blocks back after every other static object is gone.
pool& blocks() {
  static pool* const p = new pool;
  return *p;
}

std::size_t size_index(std::size_t bytes) { return (std::max<std::size_t>(bytes, 1) + grain - 1) / grain - 1; }

void give_back(pool& p, void* block, std::size_t index) {
  free_block* f = static_cast<free_block*>(block);
  f->next = p.free[index];
  p.free[index] = f;
  ASAN_POISON_MEMORY_REGION(block, (index + 1) * grain);
}

}  // namespace

void* allocate_row_block(std::size_t bytes) {
  if (bytes > largest) return ::operator new(bytes);
  const std::size_t index = size_index(bytes);
  const std::size_t size = (index + 1) * grain;
  pool& p = blocks();
  std::lock_guard<std::mutex> hold(p.lock);
  if (free_block* f = p.free[index]) {
    ASAN_UNPOISON_MEMORY_REGION(f, size);
    p.free[index] = f->next;
    return f;
  }
  if (p.unused_bytes < size) {
    chunk_head* c = static_cast<chunk_head*>(::operator new(sizeof(chunk_head) + p.next_chunk));
    // What is left of the chunk before is a block of some smaller size.
    if (p.unused_bytes > 0) give_back(p, p.unused, p.unused_bytes / grain - 1);
    c->previous = p.chunks;
    p.chunks = c;
    p.unused = reinterpret_cast<unsigned char*>(c + 1);
    p.unused_bytes = p.next_chunk;
    p.next_chunk = std::min(p.next_chunk * 2, last_chunk);
  }
  void* block = p.unused;
  p.unused += size;
  p.unused_bytes -= size;
  return block;
}

void release_row_block(void* block, std::size_t bytes) noexcept {
  if (!block) return;
  if (bytes > largest) {
    ::operator delete(block);
    return;
  }
  pool& p = blocks();
  std::lock_guard<std::mutex> hold(p.lock);
  give_back(p, block, size_index(bytes));
}
