/* One probe module source, built once per behaviour the end-to-end tests
 * need. Each build picks its behaviour with the PROBE_* definitions. */
#include <limits.h>
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

#ifdef PROBE_LOAD_PRINT_BYTES
/* Floods the console: PROBE_LOAD_PRINT_BYTES bytes in lines of 99 letters
 * and digits and a line feed, the last line cut where the count ends. */
static void print_flood(void) {
  static const char symbols[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  char line[100];
  long left;
  int i;
  for (i = 0; i < 99; ++i) line[i] = symbols[i % (sizeof symbols - 1)];
  line[99] = '\n';
  for (left = PROBE_LOAD_PRINT_BYTES; left > 0; left -= 100) {
    fwrite(line, 1, left < 100 ? (size_t)left : 100, stdout);
  }
}
#endif

#ifndef PROBE_NO_LOAD
MODTEST_API int MODTEST_CALL load(modtest_block directory, long length) {
  (void)length;
#ifdef PROBE_LOAD_PRINT_BYTES
  print_flood();
#endif
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
  /* A fixed reply. */
  static const char bytes[] = PROBE_REPLY_BYTES;
  reply = modtest_block_from(bytes, sizeof bytes - 1);
#if !defined(PROBE_LEAVE_LENGTH)
  *length = (long)(sizeof bytes - 1);
#endif
#elif defined(PROBE_REPLY_IN_PLACE)
  /* The request block itself goes back as the reply. */
  reply = block;
#else
  /* Echo: the reply is the request. */
  reply = modtest_block_from(modtest_block_bytes(block), (size_t)*length);
#endif
#ifdef PROBE_REPLY_LENGTH
  /* A claim of more or fewer bytes than the reply has. */
  *length = PROBE_REPLY_LENGTH;
#endif
#ifdef PROBE_TRACE
  printf("[%s request %ld]\n", PROBE_NAME, *length);
#endif
  if (reply != block) modtest_free_block(block);
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
