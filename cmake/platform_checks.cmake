# What the system offers beyond the POSIX core, found by trying it rather
# than inferred from the system's name. The answers reach the code as
# LUMICORD_HAVE_* definitions through the interface target lumicord_platform;
# each of them is a cache entry, so -DLUMICORD_HAVE_PIPE2=0 (say) makes a
# build take the fallback on a system that has the call.
include(CheckCXXSourceCompiles)
include(CheckCXXSymbolExists)

# Large files and 64-bit times: a 32-bit system's C library may keep off_t,
# ino_t and time_t at 32 bits unless asked for more, and then readdir fails
# (EOVERFLOW) on a directory whose inode numbers or entry positions do not
# fit, as on ext4, XFS, btrfs or NFS. Where the definitions are understood
# and give 64 bits, every target is built with them; glibc takes
# _TIME_BITS=64 only together with _FILE_OFFSET_BITS=64. Where the types
# have 64 bits already (64-bit systems, musl) the definitions change nothing.
set(lumicord_wide_types_check [[
#include <sys/types.h>
#include <dirent.h>
#include <time.h>
static_assert(sizeof(off_t) >= 8 && sizeof(ino_t) >= 8, "32-bit file offsets or inode numbers");
#ifdef LUMICORD_CHECK_TIME
static_assert(sizeof(time_t) >= 8, "32-bit time");
#endif
int main() { return readdir(opendir(".")) != nullptr; }]])
set(CMAKE_REQUIRED_DEFINITIONS -D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64 -DLUMICORD_CHECK_TIME)
check_cxx_source_compiles("${lumicord_wide_types_check}" LUMICORD_HAVE_TIME_BITS_64)
if(NOT LUMICORD_HAVE_TIME_BITS_64)
  set(CMAKE_REQUIRED_DEFINITIONS -D_FILE_OFFSET_BITS=64)
  check_cxx_source_compiles("${lumicord_wide_types_check}" LUMICORD_HAVE_FILE_OFFSET_BITS_64)
endif()
unset(CMAKE_REQUIRED_DEFINITIONS)
if(LUMICORD_HAVE_TIME_BITS_64)
  add_compile_definitions(_FILE_OFFSET_BITS=64 _TIME_BITS=64)
elseif(LUMICORD_HAVE_FILE_OFFSET_BITS_64)
  add_compile_definitions(_FILE_OFFSET_BITS=64)
endif()

# ppoll waits for input and swaps the signal mask in one step; where it is
# missing, pselect does the same.
check_cxx_symbol_exists(ppoll "poll.h;signal.h" LUMICORD_HAVE_PPOLL)
# clock_nanosleep sleeps until an absolute time on the monotonic clock;
# without it, relative nanosleep calls are repeated up to that time.
check_cxx_symbol_exists(clock_nanosleep "time.h" LUMICORD_HAVE_CLOCK_NANOSLEEP)
# pipe2 makes a pipe with its flags set; without it, pipe and then fcntl.
check_cxx_symbol_exists(pipe2 "fcntl.h;unistd.h" LUMICORD_HAVE_PIPE2)

# The driver's serial flags (TIOCGSERIAL and ASYNC_LOW_LATENCY, Linux), with
# which a USB-serial adapter is asked for low latency; without them the
# program runs at the adapter's own latency.
check_cxx_source_compiles([[
#include <linux/serial.h>
#include <sys/ioctl.h>
int main() {
    serial_struct serial{};
    return ioctl(0, TIOCGSERIAL, &serial) + TIOCSSERIAL + (serial.flags & ASYNC_LOW_LATENCY);
}]] LUMICORD_HAVE_SERIAL_FLAGS)

add_library(lumicord_platform INTERFACE)
foreach(feature PPOLL CLOCK_NANOSLEEP PIPE2 SERIAL_FLAGS)
  if(LUMICORD_HAVE_${feature})
    target_compile_definitions(lumicord_platform INTERFACE LUMICORD_HAVE_${feature}=1)
  endif()
endforeach()

# Beyond what the program needs: calls only the tests or the benchmark use,
# on the interface target lumicord_test_platform. Where one is missing (or
# forced off, -DLUMICORD_HAVE_SECCOMP=0 say) the test that needs it is
# skipped with the reason, and the benchmark does without.
include(CheckCXXSourceCompiles)
# A seccomp filter (Linux), with which a test makes one system call fail on
# demand, for failures no device or file system can be brought to show.
check_cxx_source_compiles([[
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <cstddef>
int main() {
    sock_filter allow = BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW);
    sock_fprog program{1, &allow};
    const unsigned long at = offsetof(seccomp_data, args) + offsetof(seccomp_data, arch) + offsetof(seccomp_data, nr);
    return static_cast<int>(at) + SYS_fcntl + SECCOMP_RET_ERRNO + SECCOMP_RET_DATA + AUDIT_ARCH_X86_64 +
           prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) + prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program);
}]] LUMICORD_HAVE_SECCOMP)
# sched_setscheduler (not in macOS or OpenBSD), with which the benchmark
# gives the simulated camera, and on request the program, real-time priority.
check_cxx_symbol_exists(sched_setscheduler "sched.h" LUMICORD_HAVE_SCHED_SETSCHEDULER)
# The timer slack of prctl (Linux), which the benchmark takes away from the
# simulated camera so that it keeps time as hardware does.
check_cxx_symbol_exists(PR_SET_TIMERSLACK "sys/prctl.h" LUMICORD_HAVE_PR_SET_TIMERSLACK)
# sched_setaffinity and cpu_set_t (Linux, FreeBSD 13.1 on), with which the
# benchmark keeps itself and its children to one processor.
check_cxx_source_compiles([[
#include <sched.h>
int main() {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(0, &set);
    return CPU_ISSET(0, &set) + CPU_SETSIZE + sched_getaffinity(0, sizeof set, &set) +
           sched_setaffinity(0, sizeof set, &set);
}]] LUMICORD_HAVE_SCHED_SETAFFINITY)

add_library(lumicord_test_platform INTERFACE)
foreach(feature SECCOMP SCHED_SETSCHEDULER PR_SET_TIMERSLACK SCHED_SETAFFINITY)
  if(LUMICORD_HAVE_${feature})
    target_compile_definitions(lumicord_test_platform INTERFACE LUMICORD_HAVE_${feature}=1)
  endif()
endforeach()
