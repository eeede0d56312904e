#include "bench/camera_timing.h"

#if defined(LUMICORD_HAVE_PR_SET_TIMERSLACK)
#include <sys/prctl.h>
#endif

namespace lumicord::bench {

#if defined(LUMICORD_HAVE_SCHED_SETSCHEDULER)
namespace {
constexpr int CAMERA_PRIORITY = 10;
}
#endif

camera_timing::camera_timing() {
#if defined(LUMICORD_HAVE_PR_SET_TIMERSLACK)
    slack_ = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    prctl(PR_SET_TIMERSLACK, 1, 0, 0, 0);
#endif
#if defined(LUMICORD_HAVE_SCHED_SETSCHEDULER)
    policy_ = sched_getscheduler(0);
    sched_getparam(0, &param_);
    sched_param p{};
    p.sched_priority = CAMERA_PRIORITY;
    realtime_ = sched_setscheduler(0, SCHED_FIFO, &p) == 0;
#endif
}

camera_timing::~camera_timing() {
#if defined(LUMICORD_HAVE_SCHED_SETSCHEDULER)
    if (realtime_) sched_setscheduler(0, policy_, &param_);
#endif
#if defined(LUMICORD_HAVE_PR_SET_TIMERSLACK)
    prctl(PR_SET_TIMERSLACK, slack_, 0, 0, 0);
#endif
}

}  // namespace lumicord::bench
