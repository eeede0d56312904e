#include "link/stop_request.h"

#include <atomic>

namespace lumicord::camlink {

namespace {
// Set by a signal handler on Unix and by the console's control thread on
// Windows: a lock-free atomic is safe for both.
std::atomic<bool> stop_flag{false};
static_assert(std::atomic<bool>::is_always_lock_free, "a stop handler needs a lock-free flag");
// Touched outside signal handlers only.
bool exchange_cut = false;
}  // namespace

void request_stop() { stop_flag = true; }

bool stop_requested() {
    if (!stop_flag) return false;
    exchange_cut = true;
    return true;
}

void withdraw_stop() { stop_flag = false; }

bool take_cut_exchange() {
    const bool cut = exchange_cut;
    exchange_cut = false;
    return cut;
}

}  // namespace lumicord::camlink
