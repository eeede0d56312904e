#include "link/pause.h"

#include <windows.h>

#include "common/windows_text.h"

namespace lumicord::camlink {

namespace {

constexpr long long TICKS_PER_SECOND = 128;
// CREATE_WAITABLE_TIMER_HIGH_RESOLUTION (Windows 10 1803 on); older headers
// lack the name.
constexpr DWORD HIGH_RESOLUTION_TIMER = 0x00000002;
// The longest a plain timer may oversleep: the system's timer tick.
constexpr long long COARSE_TICK_MS = 16;
// How late a high-resolution timer may wake.
constexpr long long FINE_MARGIN_MS = 2;

long long counter_now() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

}  // namespace

void pause(int ms) {
    if (ms <= 0) return;
    const long long ticks = (static_cast<long long>(ms) * TICKS_PER_SECOND + 500) / 1000;
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    // Rounded up, so the delay is never shorter than the ticks it stands for.
    const long long span = (ticks * frequency.QuadPart + TICKS_PER_SECOND - 1) / TICKS_PER_SECOND;
    const long long until = counter_now() + span;
    // Sleep and a plain timer wake on the system's 15.6 ms tick, which
    // would stretch 102 ms to as much as 117; a high-resolution timer keeps
    // to the span. Where there is none, a plain timer sleeps until a tick
    // before the end.
    // Even a high-resolution timer wakes a little late on a busy system:
    // the last stretch is spun out.
    owned_handle timer(CreateWaitableTimerExW(nullptr, nullptr, HIGH_RESOLUTION_TIMER, TIMER_ALL_ACCESS));
    long long spin = frequency.QuadPart * FINE_MARGIN_MS / 1000;
    if (!timer) {
        timer = owned_handle(CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS));
        spin = frequency.QuadPart * COARSE_TICK_MS / 1000;
    }
    for (;;) {
        const long long left = until - counter_now() - spin;
        if (left <= 0) break;
        // In units of 100 ns; negative means relative to now.
        const long long hundreds = left * 10'000'000 / frequency.QuadPart;
        LARGE_INTEGER due{};
        due.QuadPart = -(hundreds > 0 ? hundreds : 1);
        if (!timer || !SetWaitableTimer(timer.get(), &due, 0, nullptr, nullptr, FALSE)) break;
        WaitForSingleObject(timer.get(), INFINITE);
    }
    while (counter_now() < until) YieldProcessor();
}

}  // namespace lumicord::camlink
