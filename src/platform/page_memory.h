#pragma once

// Pages of address space taken straight from the system, for the guarded
// heap: a range reserved with no access, and pages in it opened for reading
// and writing or closed again. page_memory_posix.cpp and
// page_memory_win32.cpp implement it.

#include <cstddef>

// The system's page size.
std::size_t memory_page_size();

// Reserves `size` bytes of address space, every page with no access and no
// memory behind it; null when the system refuses.
void* reserve_pages(std::size_t size);

// Makes whole pages of a reserved range readable and writable, each byte
// zero; false when the system refuses.
bool open_pages(void* start, std::size_t size);

// Makes whole pages no-access again and gives their memory back, the
// address space kept reserved; false when the system refuses.
bool close_pages(void* start, std::size_t size);
