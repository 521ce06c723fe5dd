/* The README's minimal module, compiled as C89 by the header checks: the
 * header must serve module writers whatever C dialect they write. */
#include <ctype.h>

#include "modtest/module.h"

MODTEST_API int MODTEST_CALL load(modtest_block directory, long length) {
  (void)length;
  modtest_free_block(directory); /* the folder block is ours to free */
  return 1;                      /* 1: loaded; anything else: failed */
}

MODTEST_API modtest_block MODTEST_CALL request(modtest_block block, long* length) {
  const char* text = modtest_block_bytes(block);
  modtest_block reply = modtest_alloc_block((size_t)*length);
  long i;
  if (reply == NULL) {
    *length = 0;
  } else {
    char* out = modtest_block_bytes(reply);
    for (i = 0; i < *length; ++i) out[i] = (char)toupper((unsigned char)text[i]);
  }
  modtest_free_block(block);
  return reply; /* *length already holds the reply's length */
}

MODTEST_API int MODTEST_CALL unload(void) {
  return 1;
}
