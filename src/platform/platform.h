#pragma once

// platform/ is the only door to the operating system: no file outside it
// includes an OS header. Each concern has a header of its own, implemented
// once per OS (*_posix.cpp, *_win32.cpp) and chosen by the build; code
// includes the one it needs. This is their index.

#include "platform/child_process.h"    // starting a child process and talking to it over pipes
#include "platform/code_place.h"       // the file, offset and symbol of an instruction
#include "platform/environment.h"      // the environment children inherit
#include "platform/fault_reporting.h"  // a fault's report, the watchdog, the module call
#include "platform/files.h"            // paths, the executable's path, opening and replacing files
#include "platform/library.h"          // loading libraries and calling module entries
#include "platform/module_block.h"     // the memory blocks handed to and from modules
#include "platform/process_memory.h"   // resident memory and how pages are backed
#include "platform/sleep.h"            // letting time pass
#include "platform/standard_input.h"   // standard input as raw bytes
#include "platform/standard_output.h"  // standard output's mode and the report's own output
#include "platform/terminal.h"         // whether input is a terminal, and its keys one by one
