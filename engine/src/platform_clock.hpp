// The engine's clock and sleep, the one place the frame pacing meets the system: a monotonic
// clock in nanoseconds and sleeps to an absolute point of it or for a span.
//   POSIX    clock_gettime(CLOCK_MONOTONIC), clock_nanosleep(TIMER_ABSTIME), nanosleep
//   Windows  QueryPerformanceCounter, with the system timer's period at 1 ms (timeBeginPeriod)
//            so that Sleep wakes within a millisecond, and the last stretch yielded away
#pragma once

#include <cstdint>

namespace brisel {

int64_t MonotonicNowNs();
void SleepUntilNs(int64_t deadline);
void SleepForNs(int64_t span);

}  // namespace brisel
