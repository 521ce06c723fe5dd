#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "platform/files.h"

const char kPathSeparator = '\\';

bool ends_directory(char byte) {
  return byte == '\\' || byte == '/';
}

int get_executable_path(std::string& path) {
  std::string buffer(260, '\0');
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      path.clear();
      return 0;
    }
    // A result that fills the whole buffer means the path was cut.
    if (length < buffer.size()) {
      buffer.resize(length);
      path = buffer;
      return 1;
    }
    buffer.resize(buffer.size() * 2);
  }
}

int get_current_directory(std::string& path) {
  DWORD size = GetCurrentDirectoryA(0, nullptr);
  std::string buffer(size, '\0');
  DWORD length = size != 0 ? GetCurrentDirectoryA(size, &buffer[0]) : 0;
  if (length == 0 || length >= size) {
    path.clear();
    return 0;
  }
  buffer.resize(length);
  if (!ends_directory(buffer.back())) buffer += '\\';
  path = buffer;
  return 1;
}

bool is_relative_path(const std::string& path) {
  // A drive letter, or a path from the current drive's root, or a share.
  bool drive = path.size() >= 2 && path[1] == ':';
  return !drive && (path.empty() || !ends_directory(path[0]));
}

std::FILE* open_binary_file(const char* path) {
  return std::fopen(path, "rb");
}

unsigned long long open_file_size(std::FILE* file) {
  struct _stat64 info;
  if (_fstat64(_fileno(file), &info) != 0 || info.st_size < 0) return 0;
  return static_cast<unsigned long long>(info.st_size);
}

namespace {

// The C library's word for the system's last error, so that callers give
// the reason the same way on every system.
void set_errno_from_last_error() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      errno = EACCES;
      break;
    case ERROR_DISK_FULL:
      errno = ENOSPC;
      break;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      errno = EEXIST;
      break;
    default:
      errno = EIO;
  }
}

}  // namespace

int replace_file(const char* from, const char* to) {
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return 1;
  set_errno_from_last_error();
  return 0;
}

int make_directory(const char* path) {
  if (CreateDirectoryA(path, nullptr)) return 1;
  set_errno_from_last_error();
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

std::FILE* create_new_file(const char* path) {
  HANDLE handle =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "wb");
  if (file == nullptr) _close(fd);
  return file;
}
