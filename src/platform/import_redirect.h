#pragma once

// Points a loaded module's own imports of heap functions at another heap:
// its import address table on Windows, its global offset table natively.
// Only that module's calls go there; modtest's own and other libraries'
// stay with the system's heap. import_redirect_posix.cpp and
// import_redirect_win32.cpp implement it.

#include <cstddef>
#include <cstdint>

#include "platform/library.h"

// The heap the imports reach. A call with a block `owns` claims goes to it;
// any other block goes to the function the module imported, so blocks made
// before the redirect, or by the other side, keep working.
struct HeapRedirect {
  // A new block; null for the system's allocator to make it instead.
  // `from` is the return address of the module's call.
  void* (*allocate)(std::size_t size, std::size_t alignment, std::uintptr_t from);
  bool (*owns)(const void* address);
  // A block `owns` claims moved to a new one of `size` bytes; null when the
  // heap has no room, the block kept.
  void* (*reallocate)(void* block, std::size_t size, std::size_t alignment, std::uintptr_t from);
  // False when `block` is no live block of the heap.
  bool (*block_size)(const void* block, std::size_t& size);
  // Frees a block `owns` claims; a bad free is reported there and does
  // not return.
  void (*release)(void* block, std::uintptr_t from);
};

// Redirects the heap functions `library` imports, by name, from whichever
// library it imports them: the C library's (malloc, free, ...), C++'s
// operator new and delete, and on Windows the Heap, Global and Local
// functions. Returns how many imports were redirected, or -1 when the
// module's tables could not be read or written. The same `heap` for every
// call: the first one is kept.
int redirect_heap_imports(LibraryHandle library, const HeapRedirect& heap);
