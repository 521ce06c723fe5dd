/* The floor of a check run: the least a program can do and still print what
 * `modtest --check CASES` prints for a simple cases file. It binds the
 * modules of saori.ini beside itself, reads CASES line by line with fgets,
 * understanding only plain "module: ", "request: " and "reply: " lines
 * (no quotes or escapes, at most one line of 4095 bytes), sends each
 * request, compares the reply with memcmp and prints the same TAP lines. The
 * comparison script checks that both print the same bytes before it times
 * them. */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { kMaxModules = 64, kLineSize = 4096, kPathSize = 4096 };

typedef int (*LoadEntry)(void* block, long length);
typedef void* (*RequestEntry)(void* block, long* length);
typedef int (*UnloadEntry)(void);

typedef struct {
  void* library;
  char name[256];
  RequestEntry request;
} Module;

static Module modules[kMaxModules];
static int module_count;

static char* trim(char* text) {
  while (*text == ' ' || *text == '\t') ++text;
  size_t length = strlen(text);
  while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\t' ||
                        text[length - 1] == '\n' || text[length - 1] == '\r')) {
    text[--length] = '\0';
  }
  return text;
}

static void bind_modules(const char* directory) {
  char path[kPathSize + 16];
  char line[kLineSize];
  snprintf(path, sizeof path, "%ssaori.ini", directory);
  FILE* list = fopen(path, "r");
  while (list != NULL && fgets(line, sizeof line, list) != NULL && module_count < kMaxModules) {
    char* colon = strchr(line, ':');
    if (trim(line)[0] == '#' || colon == NULL) continue;
    *colon = '\0';
    Module* module = &modules[module_count++];
    snprintf(module->name, sizeof module->name, "%s", trim(line));
    snprintf(path, sizeof path, "%s%s", directory, trim(colon + 1));
    module->library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    LoadEntry load = module->library ? (LoadEntry)dlsym(module->library, "load") : NULL;
    module->request = module->library ? (RequestEntry)dlsym(module->library, "request") : NULL;
    if (load != NULL) {
      size_t length = strlen(directory);
      char* block = malloc(length);
      memcpy(block, directory, length);
      load(block, (long)length);
    }
  }
  if (list != NULL) fclose(list);
}

static int passed;
static int failed;
static int number;

/* Sends one case and prints its line. */
static void run_case(const char* module_name, const char* request, const char* reply) {
  Module* module = NULL;
  for (int index = 0; index < module_count && module == NULL; ++index) {
    if (strcmp(modules[index].name, module_name) == 0) module = &modules[index];
  }
  long length = (long)strlen(request);
  char* block = malloc(length > 0 ? length : 1);
  memcpy(block, request, length);
  char* answer = module->request(block, &length);
  int ok = (size_t)length == strlen(reply) && memcmp(answer, reply, length) == 0;
  free(answer);
  ok ? ++passed : ++failed;
  printf("%s %d - %s\n", ok ? "ok" : "not ok", ++number, request);
}

int main(int argc, char** argv) {
  static char directory[kPathSize];
  ssize_t length = readlink("/proc/self/exe", directory, sizeof directory - 1);
  if (argc != 2 || length < 0) return 2;
  directory[length] = '\0';
  *(strrchr(directory, '/') + 1) = '\0';
  bind_modules(directory);

  FILE* cases = fopen(argv[1], "r");
  if (cases == NULL) return 2;
  static char line[kLineSize];
  static char module[kLineSize];
  static char request[kLineSize];
  static char reply[kLineSize];
  int open = 0;
  printf("TAP version 13\n");
  for (;;) {
    char* got = fgets(line, sizeof line, cases);
    char* text = got != NULL ? trim(line) : "";
    if (*text == '\0') {
      if (open) run_case(module, request, reply);
      open = 0;
      if (got == NULL) break;
      continue;
    }
    open = 1;
    char* colon = strchr(text, ':');
    if (text[0] == '#' || colon == NULL) continue;
    *colon = '\0';
    char* value = trim(colon + 1);
    if (strcmp(text, "module") == 0) strcpy(module, value);
    if (strcmp(text, "request") == 0) strcpy(request, value);
    if (strcmp(text, "reply") == 0) strcpy(reply, value);
  }
  fclose(cases);
  printf("1..%d\n# %d passed, %d failed\n", number, passed, failed);
  for (int index = module_count - 1; index >= 0; --index) {
    UnloadEntry unload =
        modules[index].library ? (UnloadEntry)dlsym(modules[index].library, "unload") : NULL;
    if (unload != NULL) unload();
    if (modules[index].library != NULL) dlclose(modules[index].library);
  }
  return failed == 0 ? 0 : 1;
}
