#include "platform_clock.hpp"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <ctime>
#endif

namespace brisel {

#if defined(_WIN32)

namespace {

int64_t Frequency() {
    static const int64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return int64_t(f.QuadPart);
    }();
    return frequency;
}

// The system timer ticks every 15.6 ms unless asked for 1 ms: asked once, for the whole run.
void OneMillisecondTimer() {
    static const bool asked = [] {
        timeBeginPeriod(1);
        std::atexit([] { timeEndPeriod(1); });
        return true;
    }();
    (void)asked;
}

}  // namespace

int64_t MonotonicNowNs() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const int64_t f = Frequency();
    return now.QuadPart / f * 1000000000 + now.QuadPart % f * 1000000000 / f;
}

void SleepUntilNs(int64_t deadline) {
    OneMillisecondTimer();
    for (int64_t left = deadline - MonotonicNowNs(); left > 0; left = deadline - MonotonicNowNs()) {
        // Sleep to within a millisecond of the deadline, then give the rest of it away.
        if (left > 2000000)
            Sleep(DWORD((left - 1000000) / 1000000));
        else
            Sleep(0);
    }
}

void SleepForNs(int64_t span) { SleepUntilNs(MonotonicNowNs() + span); }

#else

int64_t MonotonicNowNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void SleepUntilNs(int64_t deadline) {
    timespec ts{time_t(deadline / 1000000000), long(deadline % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {}
}

void SleepForNs(int64_t span) {
    timespec ts{time_t(span / 1000000000), long(span % 1000000000)};
    nanosleep(&ts, nullptr);
}

#endif

}  // namespace brisel
