#pragma once

// The validator's long orders, run inside the host so that a request costs
// no trip over the pipes: the fuzz loop, the repeated request the leak check
// measures, and the wait after a library's release.

#include "host/check_frames.h"
#include "host/host_engine.h"

// Sends mutated seeds to `record` until the order's time or count is spent,
// or until the first contract warning about a request, which is the
// loop's finding. The frames of the requests kept for new coverage go out
// as they are found, or are appended to `answer` (HostState::writes_frames_now).
FuzzResult run_fuzz_loop(HostState& state, ModuleRecord* record, const FuzzOrder& order,
                         std::string& answer);

// Sends one request again and again and measures the memory in use before
// and after.
RepeatResult run_repeat_loop(HostState& state, ModuleRecord* record, const RepeatOrder& order);

// How long the host waits, fault reporting armed, after releasing the
// libraries: a thread or timer a module left running then faults in this
// host rather than in whatever process comes next.
constexpr unsigned kReleaseWaitMilliseconds = 500;
// Unloads and releases every module still bound, then waits.
void release_and_wait(HostState& state);
