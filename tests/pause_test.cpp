#include "link/pause.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#ifdef SIGALRM
#include <sys/time.h>
#endif

namespace lumicord::camlink {
namespace {

// The delay is 13 ticks of a 128 Hz clock for 100 ms.
constexpr double HUNDRED_MS_PAUSE = 13.0 / 128.0;

double seconds_of_pause(int ms) {
    const auto start = std::chrono::steady_clock::now();
    pause(ms);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(pause_test, waits_at_least_the_ticks_it_stands_for) {
    EXPECT_GE(seconds_of_pause(100), HUNDRED_MS_PAUSE);
    // 1000 ms is exactly 128 ticks.
    EXPECT_GE(seconds_of_pause(1000), 1.0);
    // (4 * 128 + 500) / 1000 rounds to one tick.
    EXPECT_GE(seconds_of_pause(4), 1.0 / 128.0);
}

// Windows has no alarm signal.
#ifdef SIGALRM
volatile sig_atomic_t signals_seen = 0;
extern "C" void count_signal(int) { signals_seen = signals_seen + 1; }

// Installs a counting handler without SA_RESTART, so that a sleep the
// signal lands in is really interrupted.
void install_counter(int signal_number) {
    signals_seen = 0;
    struct sigaction action {};
    action.sa_handler = count_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    ASSERT_EQ(sigaction(signal_number, &action, nullptr), 0);
}

TEST(pause_test, repeated_alarms_do_not_cut_it_short) {
    install_counter(SIGALRM);
    // First alarm after 20 ms, then every 10 ms: several land in the pause.
    itimerval every{{0, 10'000}, {0, 20'000}};
    ASSERT_EQ(setitimer(ITIMER_REAL, &every, nullptr), 0);
    const double seconds = seconds_of_pause(100);
    const int seen = signals_seen;
    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    EXPECT_GT(seen, 0);
    EXPECT_GE(seconds, HUNDRED_MS_PAUSE);
}
#endif

}  // namespace
}  // namespace lumicord::camlink
