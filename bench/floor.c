/* The floor of a run: the least a program can do and still print what the
 * tool prints for simple files. It reads test.ini and saori.ini beside
 * itself, binds the listed modules, sends the request to the named one and
 * prints the same bytes, understanding only plain "key:value" settings (with
 * \n and \r escapes) and plain "name : path" module lines. The whole-process
 * comparison checks that both print the same bytes before it times them. */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { kMaxItems = 256, kPathSize = 4096 };

typedef struct {
  char* key;
  char* value;
} Setting;

typedef int (*LoadEntry)(void* block, long length);
typedef void* (*RequestEntry)(void* block, long* length);
typedef int (*UnloadEntry)(void);

typedef struct {
  void* library;
  char* name;
  char path[kPathSize + 16];
} Module;

static char* read_file(const char* path) {
  FILE* file = fopen(path, "rb");
  if (file == NULL) return NULL;
  size_t size = 0;
  size_t room = 4096;
  char* text = malloc(room);
  size_t got;
  while (text != NULL && (got = fread(text + size, 1, room - size - 1, file)) > 0) {
    size += got;
    if (room - size == 1) text = realloc(text, room *= 2);
  }
  fclose(file);
  if (text != NULL) text[size] = '\0';
  return text;
}

/* Cuts the next line off *text in place; NULL at the end. */
static char* next_line(char** text) {
  char* line = *text;
  if (*line == '\0') return NULL;
  char* end = strchr(line, '\n');
  if (end == NULL) {
    *text = line + strlen(line);
  } else {
    *end = '\0';
    *text = end + 1;
  }
  return line;
}

static char* trim(char* text) {
  while (*text == ' ' || *text == '\t') ++text;
  size_t length = strlen(text);
  while (length > 0 &&
         (text[length - 1] == ' ' || text[length - 1] == '\t' || text[length - 1] == '\r')) {
    text[--length] = '\0';
  }
  return text;
}

static void unescape(char* text) {
  char* to = text;
  for (char* from = text; *from != '\0'; ++from) {
    if (*from == '\\' && (from[1] == 'n' || from[1] == 'r')) {
      *to++ = *++from == 'n' ? '\n' : '\r';
    } else {
      *to++ = *from;
    }
  }
  *to = '\0';
}

static int by_key(const void* left, const void* right) {
  return strcmp(((const Setting*)left)->key, ((const Setting*)right)->key);
}

int main(void) {
  static char directory[kPathSize];
  ssize_t length = readlink("/proc/self/exe", directory, sizeof directory - 1);
  if (length < 0) return 1;
  directory[length] = '\0';
  *(strrchr(directory, '/') + 1) = '\0';
  size_t directory_length = strlen(directory);
  char path[kPathSize + 16];

  static Setting settings[kMaxItems];
  static char* dictionaries[kMaxItems];
  int setting_count = 0;
  int dictionary_count = 0;
  snprintf(path, sizeof path, "%stest.ini", directory);
  char* text = read_file(path);
  char* line;
  while (text != NULL && (line = next_line(&text)) != NULL) {
    char* colon = strchr(line, ':');
    if (line[0] == '#' || colon == NULL) continue;
    *colon = '\0';
    char* key = trim(line);
    char* value = trim(colon + 1);
    unescape(value);
    if (*key == '\0' || *value == '\0') continue;
    if (strcmp(key, "dict") == 0 || strcmp(key, "DICT") == 0) {
      if (dictionary_count < kMaxItems) dictionaries[dictionary_count++] = value;
      continue;
    }
    int known = 0;
    for (int index = 0; index < setting_count; ++index)
      known |= strcmp(settings[index].key, key) == 0;
    if (!known && setting_count < kMaxItems) settings[setting_count++] = (Setting){key, value};
  }
  qsort(settings, setting_count, sizeof *settings, by_key);
  const char* request_text = "";
  const char* module_name = "";
  for (int index = 0; index < setting_count; ++index) {
    printf("%s:\t%s\n", settings[index].key, settings[index].value);
    if (strcmp(settings[index].key, "string") == 0) request_text = settings[index].value;
    if (strcmp(settings[index].key, "saori") == 0) module_name = settings[index].value;
  }
  for (int index = 0; index < dictionary_count; ++index) printf("%s\n", dictionaries[index]);
  printf("\n");

  static Module modules[kMaxItems];
  int module_count = 0;
  snprintf(path, sizeof path, "%ssaori.ini", directory);
  text = read_file(path);
  while (text != NULL && (line = next_line(&text)) != NULL && module_count < kMaxItems) {
    char* colon = strchr(line, ':');
    if (trim(line)[0] == '#' || colon == NULL) continue;
    *colon = '\0';
    Module* module = &modules[module_count++];
    module->name = trim(line);
    snprintf(module->path, sizeof module->path, "%s%s", directory, trim(colon + 1));
    module->library = dlopen(module->path, RTLD_NOW | RTLD_LOCAL);
    LoadEntry load = module->library ? (LoadEntry)dlsym(module->library, "load") : NULL;
    if (load != NULL) {
      printf("dll loading.\n");
      char* block = malloc(directory_length);
      memcpy(block, directory, directory_length);
      load(block, (long)directory_length);
    }
    printf("name:%s\npath:%s\n", module->name, module->path);
  }

  char* buffer = strdup(request_text);
  printf("// request_data//\n%s\n", buffer);
  for (int index = 0; index < module_count; ++index) {
    if (strcmp(modules[index].name, module_name) != 0) continue;
    RequestEntry request = (RequestEntry)dlsym(modules[index].library, "request");
    long reply_length = (long)strlen(buffer);
    char* block = malloc(reply_length + 1);
    memcpy(block, buffer, reply_length);
    char* reply = request(block, &reply_length);
    free(buffer);
    buffer = malloc(reply_length + 1);
    memcpy(buffer, reply, reply_length);
    buffer[reply_length] = '\0';
    free(reply);
    break;
  }
  printf("// return data //\n%s\n", buffer);
  free(buffer);
  for (int index = module_count - 1; index >= 0; --index) {
    UnloadEntry unload = (UnloadEntry)dlsym(modules[index].library, "unload");
    if (unload != NULL) unload();
    dlclose(modules[index].library);
  }
  return 0;
}
