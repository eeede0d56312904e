// Lets the simulated camera keep time as hardware does while it shares the
// processor with the program under test and whatever else runs: real-time
// priority where the system has it (not macOS or OpenBSD) and allows it, and
// timers without slack where a process may choose that (Linux). Threads and processes started within the
// scope inherit both; its end gives the current thread its own back.
#pragma once

#include <sched.h>

namespace lumicord::bench {

class camera_timing {
public:
    camera_timing();
    ~camera_timing();
    camera_timing(const camera_timing&) = delete;
    camera_timing& operator=(const camera_timing&) = delete;

    // Whether real-time priority was granted.
    bool realtime() const { return realtime_; }

private:
#if defined(LUMICORD_HAVE_SCHED_SETSCHEDULER)
    int policy_ = SCHED_OTHER;
    sched_param param_{};
#endif
#if defined(LUMICORD_HAVE_PR_SET_TIMERSLACK)
    int slack_ = 0;
#endif
    bool realtime_ = false;
};

}  // namespace lumicord::bench
