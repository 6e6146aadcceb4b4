#pragma once
// Memory for rows' blocks, kept apart from every other allocation of the program.
//
// Rows are made on the refresh's threads between the pages' buffers (tens of kilobytes each,
// freed a moment later) and live on. In one heap, each page's rows would stand in the space
// the last page's buffers left, so that the next buffers no longer fit there and take new
// memory: Wine's heap, which has no low-fragmentation front end, kept several times the
// rows' own size that way after a refresh of 100,000 entries. Here rows are cut from
// chunks of their own, in sizes of 16 bytes, and a freed block serves the next row of its
// size. Chunks are never given back: the next list reuses them.
//
// Both functions may be called from any thread.

#include <cstddef>

// A block of `bytes` bytes, aligned for a pointer; std::bad_alloc when there is none.
void* allocate_row_block(std::size_t bytes);

// Gives back a block that `allocate_row_block` gave for the same `bytes`.
void release_row_block(void* block, std::size_t bytes) noexcept;
