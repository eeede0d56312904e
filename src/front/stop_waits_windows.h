// What the console's input on Windows needs of the stop handling: a wait
// for a handle that a stop cuts short. Included by the Windows parts only.
#pragma once

#include <windows.h>

#include "front/stop_signals.h"

namespace lumicord::front {

// ready when handle is signalled, stopped when a stop was asked for (also
// before the wait began), timed_out after timeout_ms (never when INFINITE).
wait_outcome wait_for_handle(HANDLE handle, DWORD timeout_ms);

}  // namespace lumicord::front
