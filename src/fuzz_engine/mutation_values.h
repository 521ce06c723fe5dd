#pragma once

// What the text mutations write: numbers that modules get wrong, numbers for
// a numbered key, and runs long enough to overflow a fixed buffer.

#include <cstddef>
#include <string_view>

#include "fuzz_engine/mutation_random.h"

// Edges of signed and unsigned widths, powers of two either side, the
// digits around a buffer size, and one too long for any integer.
inline constexpr std::string_view kInterestingNumbers[] = {
    "0",          "-1",
    "1",          "7",
    "8",          "9",
    "10",         "15",
    "16",         "31",
    "32",         "33",
    "63",         "64",
    "100",        "127",
    "128",        "255",
    "256",        "1000",
    "1023",       "1024",
    "4095",       "4096",
    "32767",      "32768",
    "65535",      "65536",
    "2147483647", "-2147483648",
    "2147483648", "4294967295",
    "4294967296", "99999999999999999999",
};

std::string_view pick_interesting_number(MutationRandom& random);

// A number to end a key like Argument0 with, other than `old`: mostly the
// next few a module reads in turn, sometimes one far past them.
std::string_view pick_key_number(MutationRandom& random, std::string_view old);

// Mostly a few bytes, a quarter of the time up to a kilobyte and now and then
// up to 64 KiB; never more than `most`.
std::size_t pick_run_length(MutationRandom& random, std::size_t most);

// A letter, a digit, a blank or a delimiter, for a run.
char pick_run_byte(MutationRandom& random);
