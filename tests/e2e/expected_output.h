#pragma once

// Building blocks of a run's expected output, shared by the end-to-end
// suites.

#include <string>

#include "run_folder.h"

// Replaces the placeholders for what differs between platforms and folders:
// {D} the folder as the tool spells it, {S} its separator, {X} the module
// suffix, {F} the load failure line's text after the path, {L} the byte
// count of {D}.
std::string expand(const std::string& text, const RunFolder& folder);

// The lines of one entry that binds: what binding prints, then the record.
// Placeholders unexpanded.
std::string bound(const std::string& name, const std::string& file);

// The request and reply under their headings.
std::string exchange(const std::string& request, const std::string& reply);

// The system's words for a crash: what follows the entry's name on the
// tool's line about it in `err`.
std::string crash_words(const std::string& err);
