/* The smallest useful module: it answers every request with the request
 * itself. Copy it to start a module of your own. */
#include "modtest/module.h"

/* Called once after the library is loaded. `directory` is this module's own
 * folder; an echo needs nothing from it, but the block is ours to free. */
MODTEST_API int MODTEST_CALL load(modtest_block directory, long length) {
  (void)length;
  modtest_free_block(directory);
  return 1; /* 1 accepts the load; anything else reports a failure */
}

/* The request text arrives without a NUL; *length holds its length. The
 * reply is a new block, and *length must be set to the reply's length. */
MODTEST_API modtest_block MODTEST_CALL request(modtest_block block, long* length) {
  modtest_block reply = modtest_block_from(modtest_block_bytes(block), (size_t)*length);
  modtest_free_block(block);
  if (reply == NULL) *length = 0;
  return reply;
}

MODTEST_API int MODTEST_CALL unload(void) {
  return 1;
}
