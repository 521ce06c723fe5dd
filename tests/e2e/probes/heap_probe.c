/* Probe modules with memory errors that do not crash where they happen,
 * for the guarded heap to find. Each build picks one HEAP_PROBE_*
 * definition, and makes the error on every request (to "hello" as to any):
 *   heap_malloc_overrun   writes one byte past a 12-byte malloc block
 *   heap_reply_overrun    ends its reply with a NUL one byte past the reply
 *                         block (GlobalAlloc on Windows, malloc natively)
 *   heap_read_past_length reads the request's byte at *length, past its
 *                         end, and echoes the request: the reply never
 *                         changes with that byte
 *   heap_use_after_free   reads a 64-byte block after freeing it
 *   heap_double_free      frees a 32-byte block twice
 *   heap_ok               allocates, grows and frees blocks every way it
 *                         can, within their bounds: no error. */
#include <stdlib.h>
#include <string.h>

#include "modtest/module.h"

MODTEST_API int MODTEST_CALL load(modtest_block directory, long length) {
  (void)length;
  modtest_free_block(directory);
  return 1;
}

MODTEST_API int MODTEST_CALL unload(void) {
  return 1;
}

/* The compiler must not see through a block's life and drop it. */
static char* volatile kept;

MODTEST_API modtest_block MODTEST_CALL request(modtest_block block, long* length) {
  const char* bytes = modtest_block_bytes(block);
  modtest_block reply;
#if defined(HEAP_PROBE_MALLOC_OVERRUN)
  kept = malloc(12);
  memset(kept, 'a', 12);
  kept[12] = '\0';
  free(kept);
#elif defined(HEAP_PROBE_READ_PAST_LENGTH)
  kept = (char*)bytes;
  if (kept[*length] == '\x7f') *length = 0;
#elif defined(HEAP_PROBE_USE_AFTER_FREE)
  kept = malloc(64);
  memset(kept, 'b', 64);
  free(kept);
  if (kept[1] == 'b') *length = 0;
#elif defined(HEAP_PROBE_DOUBLE_FREE)
  kept = malloc(32);
  free(kept);
  free(kept);
#elif defined(HEAP_PROBE_OK)
  kept = calloc(3, 7);
  kept = realloc(kept, 4096 + 13);
  kept[4096 + 12] = 'c';
  kept = realloc(kept, 5);
  free(kept);
#endif
#if defined(HEAP_PROBE_REPLY_OVERRUN)
  reply = modtest_alloc_block((size_t)*length);
  memcpy(modtest_block_bytes(reply), bytes, (size_t)*length);
  modtest_block_bytes(reply)[*length] = '\0';
#else
  reply = modtest_block_from(bytes, (size_t)*length);
#endif
  modtest_free_block(block);
  return reply;
}
