// Keeps the stop handler and the main path apart on the line's records.
// The handler is a signal handler on Unix, which interrupts the main path,
// and the console's control thread on Windows, which runs beside it; a
// lock-free atomic serves both. Included only by the one line file a build
// compiles, which owns the records.
#pragma once

#include <atomic>
#include <thread>

namespace lumicord::camlink {

namespace {

enum records_holder : int { RECORDS_FREE, RECORDS_CHANGING, RECORDS_HANDLER };
std::atomic<int> records_holder_now{RECORDS_FREE};
static_assert(std::atomic<int>::is_always_lock_free, "the stop handler needs a lock-free flag");

// The main path, before it changes the records. A handler that holds them
// is ending the process (on Windows, from its own thread): wait for that.
void begin_records_change() {
    int expected = RECORDS_FREE;
    while (!records_holder_now.compare_exchange_weak(expected, RECORDS_CHANGING)) {
        expected = RECORDS_FREE;
        std::this_thread::yield();
    }
}

void end_records_change() { records_holder_now.store(RECORDS_FREE); }

// The handler, before it reads the records: false while the main path is
// changing them (the device is then already put back, or about to be
// opened by a path the handler cannot wait for). Never given back: the
// process ends after the handler.
bool take_records_for_handler() {
    int expected = RECORDS_FREE;
    return records_holder_now.compare_exchange_strong(expected, RECORDS_HANDLER);
}

}  // namespace

}  // namespace lumicord::camlink
