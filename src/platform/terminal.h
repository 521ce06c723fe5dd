#pragma once

// The terminal a person types at: whether standard input is one, and single
// keys read from it for the interactive mode's own line editor.
// terminal_posix.cpp and terminal_win32.cpp implement this.

#include <string>

// True when standard input is a terminal (on Windows a console).
bool standard_input_is_terminal();
// The same for standard error: where a long run may show how it goes.
bool standard_error_is_terminal();

// Switches the terminal on standard input to single keys without echo, so
// that the interactive mode edits the line itself; output processing stays
// on, so a line feed still starts a new line. False when this system's
// console edits lines itself (Windows) or the terminal refused; nothing has
// changed then.
bool enter_key_mode();
// Gives the terminal back the mode it had before enter_key_mode.
void leave_key_mode();

// Reads one byte of a key from standard input, waiting for it; -1 at the end
// of the input or when the system refused the read.
int read_key_byte();

// Writes the prompt and the editor's bytes at once: to standard output, or
// on POSIX, when that is no terminal, to the terminal typed at.
void write_to_terminal(const std::string& bytes);

// The file that keeps the line history between sessions; empty where none
// is kept (Windows, whose console has its own, and a POSIX system without
// HOME).
std::string history_file_path();
