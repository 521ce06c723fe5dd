/* One probe module source, built once per behaviour the end-to-end tests
 * need. Each build picks its behaviour with the PROBE_* definitions. */
#include <stdio.h>
#include <string.h>

#include "modtest/module.h"

#ifndef PROBE_NAME
#define PROBE_NAME "probe"
#endif

/* What load returns. */
#ifndef PROBE_LOAD_RESULT
#define PROBE_LOAD_RESULT 1
#endif

#ifndef PROBE_NO_LOAD
MODTEST_API int MODTEST_CALL load(modtest_block directory, long length) {
  (void)length;
#ifdef PROBE_TRACE
  printf("[%s load %ld:", PROBE_NAME, length);
  fwrite(modtest_block_bytes(directory), 1, (size_t)length, stdout);
  printf("]\n");
#endif
  modtest_free_block(directory);
  return PROBE_LOAD_RESULT;
}
#endif

#ifndef PROBE_NO_REQUEST
MODTEST_API modtest_block MODTEST_CALL request(modtest_block block, long* length) {
  modtest_block reply;
  (void)length;
#if defined(PROBE_REPLY_NULL)
  reply = NULL;
#elif defined(PROBE_REPLY_BYTES)
  /* A fixed reply; PROBE_REPLY_LENGTH may claim more or fewer bytes. */
  static const char bytes[] = PROBE_REPLY_BYTES;
  reply = modtest_block_from(bytes, sizeof bytes - 1);
#ifdef PROBE_REPLY_LENGTH
  *length = PROBE_REPLY_LENGTH;
#elif !defined(PROBE_LEAVE_LENGTH)
  *length = (long)(sizeof bytes - 1);
#endif
#else
  /* Echo: the reply is the request. */
  reply = modtest_block_from(modtest_block_bytes(block), (size_t)*length);
#endif
#ifdef PROBE_TRACE
  printf("[%s request %ld]\n", PROBE_NAME, *length);
#endif
  modtest_free_block(block);
  return reply;
}
#endif

#ifndef PROBE_NO_UNLOAD
MODTEST_API int MODTEST_CALL unload(void) {
#ifdef PROBE_TRACE
  printf("[%s unload]\n", PROBE_NAME);
#endif
  return 1;
}
#endif
