/* The floor of the validator's fuzz loop: the least work one fuzzed request
 * needs. It loads one module, calls its load, then for the given seconds
 * changes one byte of a 100-byte request, copies the request into a fresh
 * block, calls request and frees the reply, and prints how many requests
 * a second it sent. The fuzz loop inside modtest's child process is held
 * to at least half of this rate.
 *
 *   modtest_fuzz_floor MODULE [SECONDS]   (1 second by default) */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

typedef int (*LoadEntry)(void* block, long length);
typedef void* (*RequestEntry)(void* block, long* length);
typedef int (*UnloadEntry)(void);

static double now(void) {
  struct timespec time;
  clock_gettime(CLOCK_MONOTONIC, &time);
  return (double)time.tv_sec + (double)time.tv_nsec * 1e-9;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s MODULE [SECONDS]\n", argv[0]);
    return 2;
  }
  double seconds = argc > 2 ? atof(argv[2]) : 1.0;
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == NULL) {
    fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  LoadEntry load = (LoadEntry)dlsym(library, "load");
  RequestEntry request = (RequestEntry)dlsym(library, "request");
  UnloadEntry unload = (UnloadEntry)dlsym(library, "unload");
  if (load == NULL || request == NULL) return 1;
  load(malloc(1), 0);

  char text[100];
  memset(text, 'a', sizeof text);
  unsigned long long sent = 0;
  unsigned state = 12345;
  double start = now();
  double end = start + seconds;
  /* The clock is read once every 1024 requests: reading it costs more than
   * the request itself may. */
  for (;;) {
    state = state * 1103515245u + 12345u;
    text[(state >> 16) % sizeof text] = (char)(state >> 8);
    void* block = malloc(sizeof text);
    memcpy(block, text, sizeof text);
    long length = (long)sizeof text;
    free(request(block, &length));
    if ((++sent & 1023) == 0 && now() >= end) break;
  }
  double taken = now() - start;
  if (unload != NULL) unload();
  dlclose(library);
  printf("%.0f requests per second (%llu in %.2f s)\n", (double)sent / taken, sent, taken);
  return 0;
}
