/* Times whole processes, taking turns between them so that a slow moment of
 * the machine falls on all of them alike.
 *
 *   process_timer ROUNDS -- COMMAND ARGS... [-- COMMAND ARGS...]...
 *
 * Every command runs ROUNDS times (after two warm-up turns), its standard
 * output and standard error sent to /dev/null. One line per command: the median and the least
 * wall time in seconds, and the largest peak resident memory in KiB. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

enum { kWarmUpRounds = 2, kMaxCommands = 16 };

static double now(void) {
  struct timespec time;
  clock_gettime(CLOCK_MONOTONIC, &time);
  return (double)time.tv_sec + (double)time.tv_nsec * 1e-9;
}

static int by_value(const void* left, const void* right) {
  double a = *(const double*)left;
  double b = *(const double*)right;
  return (a > b) - (a < b);
}

/* Runs one command to its end; its wall time and peak memory go to the
 * out arguments. Returns 0 unless it could not run or did not exit 0. */
static int run_once(char** command, const posix_spawn_file_actions_t* actions, double* seconds,
                    long* peak_kib) {
  double start = now();
  pid_t child;
  if (posix_spawnp(&child, command[0], actions, NULL, command, environ) != 0) {
    perror(command[0]);
    return 1;
  }
  int status;
  struct rusage usage;
  if (wait4(child, &status, 0, &usage) != child) return 1;
  *seconds = now() - start;
  *peak_kib = usage.ru_maxrss;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    fprintf(stderr, "%s did not exit with 0\n", command[0]);
    return 1;
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 4 || strcmp(argv[2], "--") != 0) {
    fprintf(stderr, "usage: %s ROUNDS -- COMMAND ARGS... [-- COMMAND ARGS...]...\n", argv[0]);
    return 2;
  }
  int rounds = atoi(argv[1]);
  char** commands[kMaxCommands];
  int count = 0;
  for (int index = 2; index < argc && count < kMaxCommands; ++index) {
    if (strcmp(argv[index], "--") != 0) continue;
    argv[index] = NULL; /* ends the command before it */
    if (index + 1 < argc) commands[count++] = &argv[index + 1];
  }
  if (rounds < 1 || count == 0) return 2;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

  double* seconds = calloc((size_t)rounds * count, sizeof *seconds);
  long peak_kib[kMaxCommands] = {0};
  for (int round = -kWarmUpRounds; round < rounds; ++round) {
    for (int command = 0; command < count; ++command) {
      double time;
      long peak;
      if (run_once(commands[command], &actions, &time, &peak) != 0) return 1;
      if (round < 0) continue;
      seconds[command * rounds + round] = time;
      if (peak > peak_kib[command]) peak_kib[command] = peak;
    }
  }
  for (int command = 0; command < count; ++command) {
    double* times = seconds + command * rounds;
    qsort(times, rounds, sizeof *times, by_value);
    double median =
        rounds % 2 ? times[rounds / 2] : (times[rounds / 2 - 1] + times[rounds / 2]) / 2;
    printf("%.9f %.9f %ld\n", median, times[0], peak_kib[command]);
  }
  return 0;
}
