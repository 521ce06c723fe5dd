#pragma once

// Between fault_reporting_win32.cpp and library_win32.cpp.
//
// The Windows loader runs a library's initialisation code under an
// exception handler of its own: a crash there fails the load with the
// exception's code, and no filter hears of it. These bracket a load so that
// such a crash is reported all the same, as a crash of the module.

// Starts noting the exceptions raised on this thread.
void watch_library_initialisation();
// Stops noting. When `failed` and the loader failed with the code of an
// exception noted, reports that exception and ends the run.
void end_library_initialisation_watch(bool failed);
