// A C++ probe module for the guarded heap: on every request it writes one
// byte past a block of new[] before it gives the block to delete[].
// heap_new_ok keeps within the block.
#include <cstring>

#include "modtest/module.h"

MODTEST_API int MODTEST_CALL load(modtest_block directory, long) {
  modtest_free_block(directory);
  return 1;
}

MODTEST_API int MODTEST_CALL unload() {
  return 1;
}

static char* volatile kept;

MODTEST_API modtest_block MODTEST_CALL request(modtest_block block, long* length) {
  const char* bytes = modtest_block_bytes(block);
  kept = new char[20];
  std::memset(kept, 'n', 20);
#ifdef HEAP_PROBE_NEW_OVERRUN
  kept[20] = '\0';
#endif
  delete[] kept;
  modtest_block reply = modtest_block_from(bytes, static_cast<size_t>(*length));
  modtest_free_block(block);
  return reply;
}
