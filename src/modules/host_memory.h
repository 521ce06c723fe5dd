#pragma once

#include <cstddef>

// The general heap as the module host uses it: records, name and path
// copies, request and reply buffers. The allocator can be swapped so that
// tests can make an allocation fail on purpose.
using HostAllocator = void* (*)(std::size_t size);

void* host_allocate(std::size_t size);
void host_release(void* block);
// Returns the allocator that was in place.
HostAllocator set_host_allocator(HostAllocator allocator);

// A heap copy of `text` of exactly its length plus the NUL; null on failure.
char* host_copy_text(const char* text);
// A heap copy of the `length` bytes at `bytes` and a NUL; null on failure.
char* host_copy_bytes(const char* bytes, std::size_t length);
// A heap copy of `first` followed by `second`; null on failure.
char* host_join_text(const char* first, const char* second);
