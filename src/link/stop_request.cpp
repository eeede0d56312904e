#include "link/stop_request.h"

#include <csignal>

namespace lumicord::camlink {

namespace {
volatile std::sig_atomic_t stop_flag = 0;
// Touched outside signal handlers only.
bool exchange_cut = false;
}  // namespace

void request_stop() { stop_flag = 1; }

bool stop_requested() {
    if (stop_flag == 0) return false;
    exchange_cut = true;
    return true;
}

void withdraw_stop() { stop_flag = 0; }

bool take_cut_exchange() {
    const bool cut = exchange_cut;
    exchange_cut = false;
    return cut;
}

}  // namespace lumicord::camlink
