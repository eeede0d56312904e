// The built lumicord, traced from outside, opens no device to list the
// serial ports (--ports) or to name them when the device is missing. What
// it prints is held by serial_ports_test, options_test and
// startup_e2e_test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/ptrace.h>
#include <sys/syscall.h>
#endif

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/port_listing.h"
#include "tests/support/child_process.h"

namespace lumicord::testing {
namespace {

// Linux only: where the listing reads sysfs, and where ptrace tells the
// system calls apart the same way on every processor.
#if defined(__linux__)

struct traced_run {
    bool traced = false;  // false: this system does not let a test trace its child's calls
    int exit_status = -1;
    struct opening {
        std::string path;  // made absolute
        bool directory;    // opened as one, to be listed
    };
    std::vector<opening> opened;  // every open and openat
};

// A string in the child's memory.
std::string child_string(pid_t pid, unsigned long long address) {
    const std::string mem = "/proc/" + std::to_string(pid) + "/mem";
    const int fd = open(mem.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "?";
    std::array<char, 4096> text{};
    const ssize_t got = pread(fd, text.data(), text.size() - 1, static_cast<off_t>(address));
    close(fd);
    return got > 0 ? std::string(text.data()) : "?";
}

// A path relative to a directory descriptor of the child's, made absolute.
std::string absolute(pid_t pid, long long dir_fd, const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    const std::string link = dir_fd == AT_FDCWD ? "/proc/" + std::to_string(pid) + "/cwd"
                                                : "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(dir_fd);
    std::array<char, 4096> dir{};
    const ssize_t length = readlink(link.c_str(), dir.data(), dir.size() - 1);
    return length > 0 ? std::string(dir.data(), static_cast<std::size_t>(length)) + "/" + path : path;
}

// Runs the lumicord binary with args and no input, stopping it at every
// system call it makes to note the paths it opens.
traced_run run_traced(const std::vector<std::string>& args) {
    std::vector<std::string> words{LUMICORD_BINARY};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    // A sanitizer's leak check traces the process at its exit, which it
    // cannot while this test does.
    std::vector<std::string> variables;
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    for (char** variable = environ; *variable != nullptr; ++variable)
        if (std::string(*variable).rfind("ASAN_OPTIONS=", 0) != 0) variables.emplace_back(*variable);
    variables.push_back(std::string("ASAN_OPTIONS=") + (sanitizer != nullptr ? sanitizer : "") + ":detect_leaks=0");
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);

    traced_run run;
    const pid_t pid = fork();
    if (pid < 0) return run;
    if (pid == 0) {
        start_signals_afresh();
        const int quiet = open("/dev/null", O_RDWR);
        dup2(quiet, 0);
        dup2(quiet, 1);
        dup2(quiet, 2);
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(126);
        raise(SIGSTOP);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, WUNTRACED);
    if (!WIFSTOPPED(status) || ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL) != 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return run;
    }
    int pass_on = 0;
    while (ptrace(PTRACE_SYSCALL, pid, nullptr, pass_on) == 0 && waitpid(pid, &status, 0) == pid) {
        pass_on = 0;
        if (WIFEXITED(status)) {
            run.exit_status = WEXITSTATUS(status);
            break;
        }
        if (WIFSIGNALED(status)) break;
        // The stop after exec is a plain SIGTRAP, not a signal for the program.
        if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
            if (WSTOPSIG(status) != SIGTRAP) pass_on = WSTOPSIG(status);
            continue;
        }
        __ptrace_syscall_info info{};
        // Linux before 5.3 cannot say which call it is.
        if (ptrace(PTRACE_GET_SYSCALL_INFO, pid, sizeof info, &info) <= 0) continue;
        run.traced = true;
        if (info.op != PTRACE_SYSCALL_INFO_ENTRY) continue;
        const auto nr = static_cast<long>(info.entry.nr);
        const auto* a = info.entry.args;
#if defined(SYS_openat2)
        const bool is_openat = nr == SYS_openat || nr == SYS_openat2;
#else
        const bool is_openat = nr == SYS_openat;
#endif
        if (is_openat) {
            const bool directory = nr == SYS_openat && (a[2] & O_DIRECTORY) != 0;
            run.opened.push_back({absolute(pid, static_cast<int>(a[0]), child_string(pid, a[1])), directory});
#if defined(SYS_open)
        } else if (nr == SYS_open) {
            run.opened.push_back({absolute(pid, AT_FDCWD, child_string(pid, a[0])), (a[1] & O_DIRECTORY) != 0});
#endif
        }
    }
    return run;
}

// Devices that have no modem lines to drop, which a library may open.
bool harmless(const std::string& path) {
    for (const char* device : {"/dev/null", "/dev/zero", "/dev/urandom", "/dev/random", "/dev/full"})
        if (path == device) return true;
    return path.rfind("/dev/shm/", 0) == 0;
}

TEST(ports_e2e_test, listing_and_hint_open_no_device) {
    const std::string missing = "/dev/lumicord-test-no-such-port";
    struct traced_case {
        std::vector<std::string> args;
        int exit_status;
        std::string allowed;  // the one device the user named
    };
    const traced_case cases[] = {
        {{"--ports"}, 0, ""},
        {{"-C" + missing}, 255, missing},
    };
    for (const traced_case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const traced_run run = run_traced(c.args);
        if (!run.traced) GTEST_SKIP() << "this system does not let a test trace its child";
        EXPECT_EQ(run.exit_status, c.exit_status);
        // Reading sysfs does show in the trace: it is the listing at work.
        bool read_sysfs = false;
        for (const auto& [path, directory] : run.opened) {
            if (path.rfind("/sys/", 0) == 0) read_sysfs = true;
            // Listing a directory (/dev/serial/by-id) opens it, as opendir does.
            if (directory || path.rfind("/dev/", 0) != 0 || harmless(path)) continue;
            EXPECT_EQ(path, c.allowed) << "opened a device nobody named";
        }
        EXPECT_TRUE(read_sysfs) << "the trace missed the listing";
    }
}

#endif

}  // namespace
}  // namespace lumicord::testing
