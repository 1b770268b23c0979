// Monotonic clock in ticks, the stand-in for the performance counter.
#pragma once

#include <cstdint>
#include <string>

namespace quorix {

// Current value of the monotonic clock, in ticks.
int64_t NowTicks();

// Ticks per millisecond of NowTicks() (whole number, at least 1).
int64_t TicksPerMs();

// Milliseconds between two tick values, with a fraction.
double TicksToMs(int64_t ticks);

// Calendar time in whole seconds since 1970 (what std::time returns).
int64_t CalendarSeconds();

// Calendar time in milliseconds since 1970, which the web servers of a site
// share (as far as their clocks agree).
int64_t EpochMs();

// `epochSeconds` as UTC in a strftime `format`; empty for 0 or less, or a
// time the calendar cannot hold.
std::string FormatUtc(int64_t epochSeconds, const char* format);

}  // namespace quorix
