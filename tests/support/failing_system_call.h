// Makes one system call fail in this process from now on, through a seccomp
// filter: for the failures that no device or file system state can bring
// about on demand. Meant for the child of a death test, which ends with it.
#pragma once

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace lumicord::testing {

#if defined(__x86_64__)
inline constexpr std::uint32_t THIS_AUDIT_ARCH = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
inline constexpr std::uint32_t THIS_AUDIT_ARCH = AUDIT_ARCH_AARCH64;
#else
inline constexpr std::uint32_t THIS_AUDIT_ARCH = 0;
#endif

// System call number nr fails with error whenever its second argument is
// second_argument (a command such as F_SETFL); every other call goes
// through. False when the filter could not be installed.
inline bool fail_system_call(long nr, std::uint32_t second_argument, int error) {
    if (THIS_AUDIT_ARCH == 0) return false;
    std::array<sock_filter, 9> program = {{
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, THIS_AUDIT_ARCH, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(nr), 0, 3),
        // The low half of the argument, where a little-endian machine keeps it.
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args) + sizeof(std::uint64_t)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, second_argument, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (static_cast<std::uint32_t>(error) & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    }};
    sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return false;
    return prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0;
}

}  // namespace lumicord::testing
