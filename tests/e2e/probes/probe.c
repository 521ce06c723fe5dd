/* One probe module source, built once per behaviour the end-to-end tests
 * need. Each build picks its behaviour with the PROBE_* definitions. */
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Entries built with the calling convention 32-bit Windows code calls
 * stdcall: PROBE_STDCALL exports them undecorated (linked with --kill-at),
 * PROBE_DECORATED under the decorated names a 32-bit Windows linker gives
 * them by default ("load@8"); a 64-bit build takes those names by label. */
#if defined(PROBE_STDCALL) || defined(PROBE_DECORATED)
#define MODTEST_NO_PROTOTYPES
#endif

#include "modtest/module.h"

#if defined(PROBE_STDCALL) || defined(PROBE_DECORATED)
#define PROBE_CALL __stdcall
#else
#define PROBE_CALL MODTEST_CALL
#endif

#if defined(PROBE_DECORATED) && defined(_WIN64)
MODTEST_API int PROBE_CALL load(modtest_block directory, long length) __asm__("load@8");
MODTEST_API modtest_block PROBE_CALL request(modtest_block block,
                                             long* length) __asm__("request@8");
MODTEST_API int PROBE_CALL unload(void) __asm__("unload@0");
#endif

/* A library that is not a module but one a module needs (PROBE_IS_BESIDE),
 * and the module that needs it (PROBE_NEEDS_BESIDE). */
#ifdef PROBE_IS_BESIDE
MODTEST_EXPORT int probe_beside_value(void) {
  return 42;
}
#endif
#ifdef PROBE_NEEDS_BESIDE
__declspec(dllimport) int probe_beside_value(void);
#endif

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

/* Faults on purpose: PROBE_CRASH_IN names the entry (1 library
 * initialisation, 2 load, 3 request, 4 unload) and PROBE_FAULT how: 1 a write
 * through a null pointer, 2 abort, 3 a recursion that overflows the stack,
 * 4 exit(7), 5 a call that never returns, 6 ExitProcess(9) (Windows), 7 a
 * fail-fast (Windows), 8 the process ended with code 7 and no exit hook run. */
#ifdef PROBE_CRASH_IN
#include <stdlib.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

static volatile int* volatile nowhere = 0;
static volatile int bottomless = 1;

static int recurse(volatile char* above) {
  volatile char frame[4096];
  frame[0] = above != 0 ? above[0] : 1;
  return (bottomless ? recurse(frame) : 0) + frame[100];
}

/* The sanitizers would stop the null write before it faults. */
#if defined(__GNUC__) && !defined(_WIN32)
#define PROBE_UNSANITIZED __attribute__((no_sanitize_undefined))
#else
#define PROBE_UNSANITIZED
#endif
static PROBE_UNSANITIZED void misbehave(int entry) {
  if (entry != PROBE_CRASH_IN) return;
  printf("[%s about to fail]\n", PROBE_NAME);
  switch (PROBE_FAULT) {
    case 1:
      *nowhere = 1;
      break;
    case 2:
      abort();
    case 3:
      recurse(0);
      break;
    case 4:
      exit(7);
    case 5:
      for (;;) {
#ifdef _WIN32
        Sleep(1000);
#else
        sleep(1);
#endif
      }
#ifdef _WIN32
    case 6:
      ExitProcess(9);
    case 7:
      /* What __fastfail(2) compiles to: the process ends at once, with no
       * handler run in it. */
      __asm__ volatile("movl $2, %%ecx\n\tint $0x29" ::: "ecx", "memory");
      break;
#endif
    case 8:
#ifdef _WIN32
      TerminateProcess(GetCurrentProcess(), 7);
#else
      _exit(7);
#endif
  }
}

#ifdef _WIN32
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) misbehave(1);
  return TRUE;
}
#else
__attribute__((constructor)) static void on_library_load(void) {
  misbehave(1);
}
#endif
#define MISBEHAVE(entry) misbehave(entry)
#else
#define MISBEHAVE(entry) ((void)0)
#endif

#ifdef PROBE_COUNT
/* Keeps state between requests: each reply is how many requests it has
 * had, this one included, in decimal. */
static long requests_seen;

static modtest_block count_reply(long* length) {
  char text[24];
  int written = sprintf(text, "%ld", ++requests_seen);
  *length = written;
  return modtest_block_from(text, (size_t)written);
}
#endif

#ifdef PROBE_TICK
#ifdef _WIN32
#include <process.h>
#define probe_process_id _getpid
#else
#include <unistd.h>
#define probe_process_id getpid
#endif
/* One command whose reply differs from process to process, as one that
 * tells the time would: "tick..." is answered with the process's number. */
static int is_tick(const char* bytes, long length) {
  return length >= 4 && memcmp(bytes, "tick", 4) == 0;
}
static modtest_block tick_reply(long* length) {
  char text[24];
  int written = sprintf(text, "%ld", (long)probe_process_id());
  *length = written;
  return modtest_block_from(text, (size_t)written);
}
#endif

#ifdef PROBE_READ_INPUT
/* Reads standard input, as a module that asks its user something would:
 * the reply is how many bytes it got before the input ended, in decimal. */
static modtest_block input_reply(long* length) {
  char bytes[64];
  char text[24];
  size_t got = fread(bytes, 1, sizeof bytes, stdin);
  int written = sprintf(text, "%lu", (unsigned long)got);
  *length = written;
  return modtest_block_from(text, (size_t)written);
}
#endif

#ifdef PROBE_TRIGGER
/* The validator's broken probes fault only on some requests: PROBE_TRIGGER
 * 1 an empty one, 2 one with a tab, 3 one whose last byte is a lone lead
 * byte, 4 one with a backslash, 5 one longer than 2048 bytes. */
static int triggered(const unsigned char* bytes, long length) {
  long at;
  switch (PROBE_TRIGGER) {
    case 1:
      return length == 0;
    case 2:
    case 4:
      for (at = 0; at < length; ++at) {
        if (bytes[at] == (PROBE_TRIGGER == 2 ? '\t' : '\\')) return 1;
      }
      return 0;
    case 3:
      return length > 0 && ((bytes[length - 1] >= 0x81 && bytes[length - 1] <= 0x9F) ||
                            (bytes[length - 1] >= 0xE0 && bytes[length - 1] <= 0xFC));
    default:
      return length > 2048;
  }
}
#endif

#if defined(PROBE_THREAD) || defined(PROBE_SLOW_LOAD) || defined(PROBE_SLOW_REQUEST)
#ifdef _WIN32
#include <windows.h>
static void probe_sleep(int milliseconds) {
  Sleep((DWORD)milliseconds);
}
#else
#include <pthread.h>
#include <unistd.h>
static void probe_sleep(int milliseconds) {
  usleep((useconds_t)milliseconds * 1000);
}
#endif
#endif

#ifdef PROBE_THREAD
/* A thread of the module's own that runs on after its unload, as a
 * forgotten timer would: once the library is released its code is gone. */
static volatile long ticks;
#ifdef _WIN32
static DWORD WINAPI tick(LPVOID unused) {
#else
static void* tick(void* unused) {
#endif
  (void)unused;
  while (ticks >= 0) {
    probe_sleep(20);
    ++ticks;
  }
  return 0;
}
static void start_ticking(void) {
#ifdef _WIN32
  CloseHandle(CreateThread(NULL, 0, tick, NULL, 0, NULL));
#else
  pthread_t thread;
  if (pthread_create(&thread, NULL, tick, NULL) == 0) pthread_detach(thread);
#endif
}
#endif

#if defined(PROBE_LOAD_ONCE) && defined(_WIN32)
#include <windows.h>
#endif
#ifdef PROBE_LOAD_ONCE
/* Loads once a process: the mark outlives the library's release. */
static int loaded_before(void) {
#ifdef _WIN32
  char value[4];
  if (GetEnvironmentVariableA("PROBE_LOADED_BEFORE", value, sizeof value) != 0) return 1;
  SetEnvironmentVariableA("PROBE_LOADED_BEFORE", "1");
#else
  if (getenv("PROBE_LOADED_BEFORE") != NULL) return 1;
  setenv("PROBE_LOADED_BEFORE", "1", 1);
#endif
  return 0;
}
#endif

#if defined(PROBE_FORK_IN_LOAD) && !defined(_WIN32)
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
/* True while a pipe this process writes into, above the standard three (the
 * host's own frames), still has a reader. */
static int pipe_still_read(void) {
  int fd;
  for (fd = 3; fd < 256; ++fd) {
    struct stat about;
    struct pollfd out;
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) != O_WRONLY) continue;
    if (fstat(fd, &about) != 0 || !S_ISFIFO(about.st_mode)) continue;
    out.fd = fd;
    out.events = POLLOUT;
    out.revents = 0;
    if (poll(&out, 1, 0) == 1 && (out.revents & POLLERR) == 0) return 1;
  }
  return 0;
}

/* A helper process forked in load, as a module that starts a server would:
 * it inherits the host's pipes whatever their flags, and keeps them open
 * until the tool has stopped reading, or 30 s. */
static void fork_helper(void) {
  int waited_ms;
  int quiet;
  if (fork() != 0) return;
  quiet = open("/dev/null", O_WRONLY);
  if (quiet >= 0) dup2(quiet, 2);
  for (waited_ms = 0; waited_ms < 30000 && pipe_still_read(); waited_ms += 20) usleep(20000);
  _exit(0);
}
#elif defined(PROBE_FORK_IN_LOAD)
/* The same on Windows: a helper started with every inheritable handle of
 * the host, its pipes among them, that lives about 15 s. One at a time: it
 * inherits the named mutex too, which lives as long as it does. */
static void fork_helper(void) {
  char line[] = "cmd.exe /c ping -n 16 127.0.0.1 > NUL";
  SECURITY_ATTRIBUTES inherited = {sizeof(SECURITY_ATTRIBUTES), NULL, TRUE};
  STARTUPINFOA startup;
  PROCESS_INFORMATION started;
  HANDLE one_helper = CreateMutexA(&inherited, FALSE, "modtest_probe_helper");
  if (one_helper == NULL || GetLastError() == ERROR_ALREADY_EXISTS) return;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  if (!CreateProcessA(NULL, line, NULL, NULL, TRUE, CREATE_NO_WINDOW, NULL, NULL, &startup,
                      &started)) {
    return;
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
}
#endif

#ifndef PROBE_NO_LOAD
MODTEST_API int PROBE_CALL load(modtest_block directory, long length) {
  (void)length;
#ifdef PROBE_NEEDS_BESIDE
  if (probe_beside_value() != 42) return 0;
#endif
#ifdef PROBE_LOAD_PRINT_BYTES
  print_flood();
#endif
#ifdef PROBE_TRACE
  printf("[%s load %ld:", PROBE_NAME, length);
  fwrite(modtest_block_bytes(directory), 1, (size_t)length, stdout);
  printf("]\n");
#endif
  modtest_free_block(directory);
  MISBEHAVE(2);
#ifdef PROBE_SLOW_LOAD
  probe_sleep(2500);
#endif
#ifdef PROBE_THREAD
  start_ticking();
#endif
#ifdef PROBE_FORK_IN_LOAD
  fork_helper();
#endif
#ifdef PROBE_LOAD_ONCE
  if (loaded_before()) return 0;
#endif
  return PROBE_LOAD_RESULT;
}
#endif

#ifndef PROBE_NO_REQUEST
MODTEST_API modtest_block PROBE_CALL request(modtest_block block, long* length) {
  modtest_block reply;
#ifdef PROBE_TRIGGER
  int faults = triggered((const unsigned char*)modtest_block_bytes(block), *length);
#endif
#ifdef PROBE_LEAK
  /* A kilobyte a request, never freed. */
  static void* volatile dropped;
  dropped = malloc(1024);
  if (dropped != NULL) memset(dropped, 1, 1024);
#endif
  (void)length;
#ifdef PROBE_SLOW_REQUEST
  probe_sleep(PROBE_SLOW_REQUEST);
#endif
#if defined(PROBE_REPLY_NULL)
  reply = NULL;
#elif defined(PROBE_REPLY_BYTES)
  /* A fixed reply. */
  static const char bytes[] = PROBE_REPLY_BYTES;
  reply = modtest_block_from(bytes, sizeof bytes - 1);
#if !defined(PROBE_LEAVE_LENGTH)
  *length = (long)(sizeof bytes - 1);
#endif
#elif defined(PROBE_COUNT)
  reply = count_reply(length);
#elif defined(PROBE_TICK)
  if (is_tick(modtest_block_bytes(block), *length)) {
    reply = tick_reply(length);
  } else {
    reply = modtest_block_from(modtest_block_bytes(block), (size_t)*length);
  }
#elif defined(PROBE_READ_INPUT)
  reply = input_reply(length);
#elif defined(PROBE_REPLY_OVERRUN)
  /* An echo that then writes 40 bytes past its reply block, over what the
   * heap keeps beside it. */
  {
    static volatile size_t block_size = 2000;
    reply = modtest_alloc_block(block_size);
    memcpy(modtest_block_bytes(reply), modtest_block_bytes(block), (size_t)*length);
    memset(modtest_block_bytes(reply) + block_size, 0xff, 40);
  }
#elif defined(PROBE_REPLY_TERMINATED)
  /* Echo the usual C way: a block one byte longer than the reply, a NUL in
   * that byte, and the length, which an echo keeps, left as it was. */
  reply = modtest_alloc_block((size_t)*length + 1);
  memcpy(modtest_block_bytes(reply), modtest_block_bytes(block), (size_t)*length);
  modtest_block_bytes(reply)[*length] = '\0';
#elif defined(PROBE_REPLY_STATIC)
  /* A reply in the module's own static data: no block at all. */
  {
    static char text[] = "static";
    *length = (long)(sizeof text - 1);
    reply = (modtest_block)text;
  }
#elif defined(PROBE_REPLY_STACK)
  /* A reply on the caller's stack: the length it just set, one byte. */
  *length = 1;
  reply = (modtest_block)length;
#elif defined(PROBE_READ_TO_NUL)
  /* Takes the request for a C string: reads to its NUL, past *length. */
  *length = (long)strlen(modtest_block_bytes(block));
  reply = modtest_block_from(modtest_block_bytes(block), (size_t)*length);
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
#ifdef PROBE_TRIGGER
  if (faults) MISBEHAVE(3);
#else
  MISBEHAVE(3);
#endif
  return reply;
}
#endif

#ifndef PROBE_NO_UNLOAD
MODTEST_API int PROBE_CALL unload(void) {
#ifdef PROBE_TRACE
  printf("[%s unload]\n", PROBE_NAME);
#endif
  MISBEHAVE(4);
  return 1;
}
#endif
