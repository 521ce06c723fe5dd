#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/files.h"

const char kPathSeparator = '/';

bool ends_directory(char byte) {
  return byte == '/';
}

int get_executable_path(std::string& path) {
  std::string buffer(260, '\0');
  for (;;) {
    ssize_t length = readlink("/proc/self/exe", &buffer[0], buffer.size());
    if (length < 0) {
      path.clear();
      return 0;
    }
    // readlink does not say whether it cut the path: only a result shorter
    // than the buffer is known to be whole.
    if (static_cast<std::size_t>(length) < buffer.size()) {
      buffer.resize(length);
      path = buffer;
      return 1;
    }
    buffer.resize(buffer.size() * 2);
  }
}

int get_current_directory(std::string& path) {
  std::string buffer(260, '\0');
  while (getcwd(&buffer[0], buffer.size()) == nullptr) {
    if (errno != ERANGE) {
      path.clear();
      return 0;
    }
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(std::strlen(buffer.c_str()));
  if (buffer.empty() || buffer.back() != '/') buffer += '/';
  path = buffer;
  return 1;
}

bool is_relative_path(const std::string& path) {
  return path.empty() || path[0] != '/';
}

std::FILE* open_binary_file(const char* path) {
  // Only a regular file is read. A directory opens here but fails every
  // read, a FIFO would block the open until a writer came (O_NONBLOCK stops
  // that), and a device such as /dev/zero would never end.
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  int flags = fcntl(fd, F_GETFL);
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags == -1 ||
      fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
    bool directory = S_ISDIR(info.st_mode);
    close(fd);
    errno = directory ? EISDIR : EINVAL;
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) close(fd);
  return file;
}

unsigned long long open_file_size(std::FILE* file) {
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || info.st_size < 0) return 0;
  return static_cast<unsigned long long>(info.st_size);
}

int replace_file(const char* from, const char* to) {
  return std::rename(from, to) == 0 ? 1 : 0;
}

int make_directory(const char* path) {
  if (mkdir(path, 0777) == 0) return 1;
  // mkdir's reason, not the look that follows it.
  int reason = errno;
  struct stat status;
  if (stat(path, &status) == 0 && S_ISDIR(status.st_mode)) return 1;
  errno = reason;
  return 0;
}

std::FILE* create_new_file(const char* path) {
  int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) close(fd);
  return file;
}
