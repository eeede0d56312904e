#include "tests/support/failing_system_call.h"

#if defined(LUMICORD_HAVE_SECCOMP)
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#endif

#include <array>
#include <cstddef>

namespace {

#if defined(LUMICORD_HAVE_SECCOMP) && defined(__x86_64__)
constexpr std::uint32_t THIS_AUDIT_ARCH = AUDIT_ARCH_X86_64;
#elif defined(LUMICORD_HAVE_SECCOMP) && defined(__aarch64__)
constexpr std::uint32_t THIS_AUDIT_ARCH = AUDIT_ARCH_AARCH64;
#else
constexpr std::uint32_t THIS_AUDIT_ARCH = 0;
#endif

int leak_check_off = 0;

}  // namespace

// Asked by LeakSanitizer, where the tests are built with it, before it
// looks for leaks at exit; without it nobody asks.
extern "C" int __lsan_is_turned_off() { return leak_check_off; }

namespace lumicord::testing {

bool can_fail_system_calls() { return THIS_AUDIT_ARCH != 0; }

#if defined(LUMICORD_HAVE_SECCOMP)
bool fail_system_call(long nr, std::uint32_t second_argument, int error, std::uint32_t third_clear) {
    if (THIS_AUDIT_ARCH == 0) return false;
    // The low halves of the arguments, where a little-endian machine keeps them.
    constexpr std::uint32_t SECOND = offsetof(seccomp_data, args) + sizeof(std::uint64_t);
    constexpr std::uint32_t THIRD = offsetof(seccomp_data, args) + 2 * sizeof(std::uint64_t);
    std::array<sock_filter, 11> program = {{
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, THIS_AUDIT_ARCH, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(nr), 0, 5),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, SECOND),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, second_argument, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, THIRD),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, third_clear, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (static_cast<std::uint32_t>(error) & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    }};
    sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return false;
    if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) != 0) return false;
    leak_check_off = 1;
    return true;
}
#else
bool fail_system_call(long, std::uint32_t, int, std::uint32_t) { return false; }
#endif

}  // namespace lumicord::testing
