// Makes one system call fail in this process from now on, through a seccomp
// filter: for the failures that no device or file system state can bring
// about on demand. Meant for the child of a death test, which ends with it.
// Only where the build found seccomp (LUMICORD_HAVE_SECCOMP, Linux).
#pragma once

#include <cstdint>
#include <string>

namespace lumicord::testing {

// Empty when fail_system_call can work here; otherwise why not, for the
// skip message: a build without seccomp, a processor whose system calls the
// filter does not know (it knows x86-64, AArch64 and 32-bit ARM), or a
// system that refuses filters (qemu-user does, with EINVAL). Asked of the
// running system each time, in a child process that tries a filter that
// lets everything through.
std::string why_system_calls_cannot_fail();

// System call number nr fails with error whenever its second argument is
// second_argument (a command such as F_SETFL) and its third has none of the
// bits of third_clear (0: whatever it is); every other call goes through.
// False when the filter could not be installed. The process's leak check at
// exit is turned off with it: it would have to trace the process, which
// does not go well under the filter, and the process ends in a moment.
bool fail_system_call(long nr, std::uint32_t second_argument, int error, std::uint32_t third_clear = 0);

// Every read of a directory's entries (getdents64, and getdents where the
// system has it) fails with error from now on: readdir then returns NULL
// with errno set, as on a failing card.
bool fail_directory_reading(int error);

// The number of the system call with which the C library carries out fcntl
// (fcntl64 on 32-bit systems that have it).
long fcntl_system_call();

}  // namespace lumicord::testing
