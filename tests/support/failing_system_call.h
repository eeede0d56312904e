// Makes one system call fail in this process from now on, through a seccomp
// filter: for the failures that no device or file system state can bring
// about on demand. Meant for the child of a death test, which ends with it.
// Only where the build found seccomp (LUMICORD_HAVE_SECCOMP, Linux).
#pragma once

#include <cstdint>

namespace lumicord::testing {

// Whether fail_system_call can work here: seccomp, on a processor whose
// system calls the filter knows (x86-64, AArch64).
bool can_fail_system_calls();

// System call number nr fails with error whenever its second argument is
// second_argument (a command such as F_SETFL) and its third has none of the
// bits of third_clear (0: whatever it is); every other call goes through.
// False when the filter could not be installed. The process's leak check at
// exit is turned off with it: it would have to trace the process, which
// does not go well under the filter, and the process ends in a moment.
bool fail_system_call(long nr, std::uint32_t second_argument, int error, std::uint32_t third_clear = 0);

}  // namespace lumicord::testing
