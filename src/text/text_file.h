#pragma once

// Text files, read the same way on every platform: every carriage return
// byte is dropped wherever it stands and a 0x1A byte ends the file.

#include <cstddef>

struct TextFile;
// Null when the file cannot be opened for reading (a directory cannot).
TextFile* open_text_file(const char* path);
// Reads like the C line read: at most size - 1 bytes, stopping after a line
// feed or at the end of the file, then a NUL. Returns the number of bytes
// stored before that NUL (bytes read may include NULs of the file itself);
// 0 at the end of the file or on a read error.
std::size_t read_text_chunk(TextFile* file, char* buffer, std::size_t size);
// The file's size in bytes when it was opened, which no line of it exceeds;
// 0 when the system cannot tell.
std::size_t text_file_size(TextFile* file);
void close_text_file(TextFile* file);
