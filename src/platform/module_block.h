#pragma once

// The memory blocks exchanged with modules. A module frees the blocks it is
// handed and allocates its reply the same way, so both sides must agree on
// the allocator: the global-memory allocator on Windows, malloc natively.
// module_block_posix.cpp and module_block_win32.cpp implement this.

#include <cstddef>

// A null result means the block could not be allocated.
using ModuleBlock = void*;
ModuleBlock alloc_module_block(std::size_t size);
// The address of a block's bytes; null when the block is not valid.
void* lock_module_block(ModuleBlock block);
// How many bytes of the block may be read; 0 when the system cannot tell.
// Where kModuleBlockSizeIsExact is false this is what the allocator made
// usable, which may be more than was asked for.
std::size_t module_block_size(ModuleBlock block);
extern const bool kModuleBlockSizeIsExact;
void free_module_block(ModuleBlock block);

// Where a reply a module handed back lies when it is no block of the
// allocator at all: inside a loaded library's image (its static data) or
// on the calling thread's stack. Such a reply must never be freed, nor its
// size asked of the allocator, which may abort on it. kMayBeBlock for
// anything else, the heap included.
enum class ReplyPlace { kMayBeBlock, kLibraryImage, kThreadStack };
ReplyPlace locate_reply(const void* reply);
