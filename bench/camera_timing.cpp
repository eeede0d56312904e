#include "bench/camera_timing.h"

#if defined(LUMICORD_HAVE_PR_SET_TIMERSLACK)
#include <sys/prctl.h>
#endif

namespace lumicord::bench {

namespace {
constexpr int CAMERA_PRIORITY = 10;
}

camera_timing::camera_timing() {
    policy_ = sched_getscheduler(0);
    sched_getparam(0, &param_);
#if defined(LUMICORD_HAVE_PR_SET_TIMERSLACK)
    slack_ = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    prctl(PR_SET_TIMERSLACK, 1, 0, 0, 0);
#endif
    sched_param p{};
    p.sched_priority = CAMERA_PRIORITY;
    realtime_ = sched_setscheduler(0, SCHED_FIFO, &p) == 0;
}

camera_timing::~camera_timing() {
    if (realtime_) sched_setscheduler(0, policy_, &param_);
#if defined(LUMICORD_HAVE_PR_SET_TIMERSLACK)
    prctl(PR_SET_TIMERSLACK, slack_, 0, 0, 0);
#endif
}

}  // namespace lumicord::bench
