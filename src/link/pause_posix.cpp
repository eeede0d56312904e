#include "link/pause.h"

#include <cerrno>
#include <ctime>

namespace lumicord::camlink {

namespace {
constexpr long TICKS_PER_SECOND = 128;
constexpr long NANOS_PER_SECOND = 1'000'000'000;
}  // namespace

void pause(int ms) {
    if (ms <= 0) return;
    const long ticks = (static_cast<long>(ms) * TICKS_PER_SECOND + 500) / 1000;
    // Round the tick count up to whole nanoseconds so the delay is never
    // shorter than the ticks it stands for.
    const long long nanos = (static_cast<long long>(ticks) * NANOS_PER_SECOND + TICKS_PER_SECOND - 1) / TICKS_PER_SECOND;
    timespec until{};
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += static_cast<time_t>(nanos / NANOS_PER_SECOND);
    until.tv_nsec += static_cast<long>(nanos % NANOS_PER_SECOND);
    if (until.tv_nsec >= NANOS_PER_SECOND) {
        until.tv_sec += 1;
        until.tv_nsec -= NANOS_PER_SECOND;
    }
    // An absolute deadline lets a sleep interrupted by a signal resume
    // without drifting.
#if defined(LUMICORD_HAVE_CLOCK_NANOSLEEP)
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
#else
    // nanosleep only sleeps for a span, on a clock of the system's choosing:
    // measure what is left on the monotonic clock before each sleep, and
    // after an interrupted or early wake-up sleep again.
    for (;;) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        timespec left{until.tv_sec - now.tv_sec, until.tv_nsec - now.tv_nsec};
        if (left.tv_nsec < 0) {
            left.tv_sec -= 1;
            left.tv_nsec += NANOS_PER_SECOND;
        }
        if (left.tv_sec < 0 || (left.tv_sec == 0 && left.tv_nsec == 0)) break;
        nanosleep(&left, nullptr);
    }
#endif
}

}  // namespace lumicord::camlink
