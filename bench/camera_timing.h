// Lets the simulated camera keep time as hardware does while it shares the
// processor with the program under test and whatever else runs: real-time
// priority where the system allows it, and timers without slack where a
// process may choose that (Linux). Threads and processes started within the
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
    int policy_ = SCHED_OTHER;
    sched_param param_{};
#if defined(LUMICORD_HAVE_PR_SET_TIMERSLACK)
    int slack_ = 0;
#endif
    bool realtime_ = false;
};

}  // namespace lumicord::bench
