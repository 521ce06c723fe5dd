#pragma once

// Room taken ahead for a container that will be filled once. Reserving takes
// only address space, since a page costs only once it is written; failing
// to get the room changes nothing but speed, as the container still grows
// step by step.

#include <cstddef>
#include <exception>

#include "platform/process_memory.h"

// Reserves room for `count` elements. Returns false, the container as it
// was, when the room could not be had.
template <typename Container>
bool try_reserve(Container& container, std::size_t count) {
  try {
    container.reserve(count);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

// Asks for large pages for all the room `container` holds: a block written
// once then takes a few page faults rather than one per 4 KiB.
template <typename Container>
void prefer_large_pages_for(Container& container) {
  prefer_large_pages(container.data(),
                     container.capacity() * sizeof(typename Container::value_type));
}

// try_reserve, then large pages for the room when it was had. Returns what
// try_reserve returned.
template <typename Container>
bool reserve_in_large_pages(Container& container, std::size_t count) {
  if (!try_reserve(container, count)) return false;
  prefer_large_pages_for(container);
  return true;
}
