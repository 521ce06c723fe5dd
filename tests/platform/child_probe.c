/* The child the child-process tests start. Its first argument says what it
 * does:
 *   echo        copies standard input to standard output until its end
 *   write N     writes N bytes, byte i being 'a' + i % 26, and exits 0
 *   sleep       sleeps until it is killed
 *   close       closes standard output, then sleeps until it is killed
 *   exit CODE   exits with CODE (a 32-bit unsigned number)
 *   crash       writes through a null pointer
 *   args ...    prints the arguments after "args", one per line
 * Anything else exits with 99. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#define read _read
#define write _write
#else
#include <unistd.h>
#endif

static void sleep_forever(void) {
  for (;;) {
#ifdef _WIN32
    Sleep(1000);
#else
    sleep(1);
#endif
  }
}

/* Whatever is there is passed on at once: waiting to fill a buffer would
 * wait for a parent that waits for the echo. */
static int echo(void) {
  char buffer[4096];
  int got;
  while ((got = (int)read(0, buffer, sizeof buffer)) > 0) {
    int done = 0;
    while (done < got) {
      int written = (int)write(1, buffer + done, (unsigned)(got - done));
      if (written <= 0) return 1;
      done += written;
    }
  }
  return got == 0 ? 0 : 1;
}

#ifdef _WIN32
/* Ends the process with the exception's code as its exit code, as Windows
 * does without a debugger; Wine would start its own otherwise. */
static LONG WINAPI end_with_code(EXCEPTION_POINTERS* exception) {
  (void)exception;
  return EXCEPTION_EXECUTE_HANDLER;
}
#endif

static void crash(void) {
  volatile int* volatile nowhere = NULL;
#ifdef _WIN32
  SetUnhandledExceptionFilter(end_with_code);
#endif
  *nowhere = 1;
}

int main(int argc, char** argv) {
  const char* what = argc > 1 ? argv[1] : "";
  int i;
#ifdef _WIN32
  _setmode(0, _O_BINARY);
  _setmode(1, _O_BINARY);
#endif
  if (strcmp(what, "echo") == 0) return echo();
  if (strcmp(what, "write") == 0 && argc > 2) {
    unsigned long count = strtoul(argv[2], NULL, 10), n;
    for (n = 0; n < count; ++n) putchar('a' + (int)(n % 26));
    return 0;
  }
  if (strcmp(what, "sleep") == 0) sleep_forever();
  if (strcmp(what, "close") == 0) {
    fclose(stdout);
    sleep_forever();
  }
  if (strcmp(what, "exit") == 0 && argc > 2) exit((int)strtoul(argv[2], NULL, 10));
  if (strcmp(what, "crash") == 0) crash();
  if (strcmp(what, "args") == 0) {
    for (i = 2; i < argc; ++i) printf("%s\n", argv[i]);
    return 0;
  }
  return 99;
}
