#include "tests/support/failing_system_call.h"

#if defined(LUMICORD_HAVE_SECCOMP)
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

#include <cstddef>
#include <vector>

namespace {

int leak_check_off = 0;

#if defined(LUMICORD_HAVE_SECCOMP)
#if defined(__x86_64__)
constexpr std::uint32_t THIS_AUDIT_ARCH = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr std::uint32_t THIS_AUDIT_ARCH = AUDIT_ARCH_AARCH64;
#elif defined(__arm__) && defined(__ARMEL__)
constexpr std::uint32_t THIS_AUDIT_ARCH = AUDIT_ARCH_ARM;
#else
constexpr std::uint32_t THIS_AUDIT_ARCH = 0;
#endif

bool install(std::vector<sock_filter> program) {
    sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return false;
    if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) != 0) return false;
    leak_check_off = 1;
    return true;
}

// The start of every filter: calls of another processor's kind (a 32-bit
// program on a 64-bit kernel) go through, the others' number is loaded.
std::vector<sock_filter> filter_start() {
    return {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, THIS_AUDIT_ARCH, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
    };
}

sock_filter fail_with(int error) {
    return BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (static_cast<std::uint32_t>(error) & SECCOMP_RET_DATA));
}
#endif

}  // namespace

// Asked by LeakSanitizer, where the tests are built with it, before it
// looks for leaks at exit; without it nobody asks.
extern "C" int __lsan_is_turned_off() { return leak_check_off; }

namespace lumicord::testing {

#if defined(LUMICORD_HAVE_SECCOMP)
std::string why_system_calls_cannot_fail() {
    if (THIS_AUDIT_ARCH == 0) return "the seccomp filter that makes a system call fail knows only x86-64, AArch64 and ARM";
    int report[2];
    if (pipe(report) != 0) return std::string("pipe: ") + std::strerror(errno);
    const pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return std::string("fork: ") + std::strerror(errno);
    }
    if (child == 0) {
        close(report[0]);
        std::vector<sock_filter> program = filter_start();
        program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
        const int error = install(program) ? 0 : errno;
        _exit(write(report[1], &error, sizeof error) == static_cast<ssize_t>(sizeof error) ? 0 : 1);
    }
    close(report[1]);
    int error = -1;
    const ssize_t got = read(report[0], &error, sizeof error);
    close(report[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (got != static_cast<ssize_t>(sizeof error)) return "the child that tried a seccomp filter did not report";
    if (error == 0) return "";
    return std::string("this system refuses a seccomp filter (") + std::strerror(error) +
           "), as qemu-user does";
}

bool fail_system_call(long nr, std::uint32_t second_argument, int error, std::uint32_t third_clear) {
    if (THIS_AUDIT_ARCH == 0) return false;
    // The low halves of the arguments, where a little-endian machine keeps them.
    constexpr std::uint32_t SECOND = offsetof(seccomp_data, args) + sizeof(std::uint64_t);
    constexpr std::uint32_t THIRD = offsetof(seccomp_data, args) + 2 * sizeof(std::uint64_t);
    std::vector<sock_filter> program = filter_start();
    program.insert(program.end(), {
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(nr), 0, 5),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, SECOND),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, second_argument, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, THIRD),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, third_clear, 1, 0),
        fail_with(error),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    });
    return install(program);
}

bool fail_directory_reading(int error) {
    if (THIS_AUDIT_ARCH == 0) return false;
    std::vector<sock_filter> program = filter_start();
    for (const long nr : {
#if defined(SYS_getdents)
             static_cast<long>(SYS_getdents),
#endif
             static_cast<long>(SYS_getdents64)}) {
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(nr), 0, 1));
        program.push_back(fail_with(error));
    }
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    return install(program);
}

long fcntl_system_call() {
#if defined(SYS_fcntl64)
    return SYS_fcntl64;
#else
    return SYS_fcntl;
#endif
}
#else
std::string why_system_calls_cannot_fail() {
    return "making a system call fail on demand takes a seccomp filter (Linux); the build found none";
}
bool fail_system_call(long, std::uint32_t, int, std::uint32_t) { return false; }
bool fail_directory_reading(int) { return false; }
long fcntl_system_call() { return -1; }
#endif

}  // namespace lumicord::testing
