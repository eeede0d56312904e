// Stands in for the Unix lumicord binary in the end-to-end tests and runs the
// Windows lumicord.exe under wine instead (LUMICORD_TEST_BINARY names it):
//  - "-C/some/path" (the simulator's terminal, or its link) becomes a COM
//    port of its own, "-CCOMn", through a link comn in the wine prefix's
//    dosdevices, removed again afterwards;
//  - the port's name in the program's output becomes the path again, so
//    that the tests' expected texts hold;
//  - SIGINT reaches wine, which gives the program a Ctrl-C (CTRL_C_EVENT);
//    a program that then ends as one stopped by Ctrl-C does on Windows
//    (STATUS_CONTROL_C_EXIT, which wine passes on as its low byte) is
//    reported as ended by SIGINT, as the Unix binary is. Other signals are
//    passed on as they are; SIGKILL takes wine with it.
// Environment: LUMICORD_WINE_EXE (the .exe), WINEPREFIX, LUMICORD_WINE
// (the wine loader; "wine" by default), LUMICORD_WINE_PRELOAD (put into
// LD_PRELOAD for wine only).
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

// What wine makes of a Windows exit code: its low byte.
constexpr int CONTROL_C_EXIT_STATUS = 0xC000013A & 0xFF;
// High COM numbers: wine points the low ones at /dev/ttyS* whenever its
// server starts.
constexpr int FIRST_PORT = 20;
constexpr int LAST_PORT = 255;
constexpr std::array FORWARDED = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

volatile sig_atomic_t child_pid = 0;
volatile sig_atomic_t interrupted = 0;

void forward(int signal_number) {
    if (signal_number == SIGINT) interrupted = 1;
    if (child_pid > 0) ::kill(child_pid, signal_number);
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "lumicord-wine: %s\n", what.c_str());
    std::exit(125);
}

std::string environment(const char* name, const char* fallback = nullptr) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
    if (fallback == nullptr) fail(std::string(name) + " is not set");
    return fallback;
}

// A free COM number, taken by making its link: making a link fails if the
// name exists, so two runs side by side never share one.
std::pair<std::string, std::string> port_for(const std::string& target) {
    const std::string devices = environment("WINEPREFIX") + "/dosdevices/com";
    for (int n = FIRST_PORT; n <= LAST_PORT; ++n) {
        const std::string link = devices + std::to_string(n);
        if (::symlink(target.c_str(), link.c_str()) == 0) return {"COM" + std::to_string(n), link};
        if (errno != EEXIST) fail("cannot make " + link);
    }
    fail("no free COM port in " + devices + "*");
}

// Copies the program's output, with every name in names[i].first written
// as names[i].second. A tail that may be the start of a name waits for the
// next bytes (or the end).
class renaming_copy {
public:
    renaming_copy(int to, std::vector<std::pair<std::string, std::string>> names) : to_(to), names_(std::move(names)) {}

    void add(const char* bytes, std::size_t size) {
        held_.append(bytes, size);
        std::string out;
        std::size_t at = 0;
        while (at < held_.size()) {
            const auto* name = name_at(at);
            if (name != nullptr) {
                out += name->second;
                at += name->first.size();
            } else if (may_begin_name(at)) {
                break;
            } else {
                out += held_[at++];
            }
        }
        held_.erase(0, at);
        write_all(out);
    }

    void finish() {
        write_all(held_);
        held_.clear();
    }

private:
    const std::pair<std::string, std::string>* name_at(std::size_t at) const {
        for (const auto& name : names_)
            if (held_.compare(at, name.first.size(), name.first) == 0) return &name;
        return nullptr;
    }

    bool may_begin_name(std::size_t at) const {
        const std::size_t rest = held_.size() - at;
        for (const auto& name : names_)
            if (rest < name.first.size() && name.first.compare(0, rest, held_, at, rest) == 0) return true;
        return false;
    }

    // A reader that has gone away leaves the program writing into a closed
    // pipe, as it would have without this copy in between.
    void write_all(const std::string& text) {
        for (std::size_t done = 0; done < text.size() && to_ >= 0;) {
            const ssize_t n = ::write(to_, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                to_ = -1;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
    }

    int to_;
    std::vector<std::pair<std::string, std::string>> names_;
    std::string held_;
};

struct output_pipe {
    int read_end;
    int write_end;
};

output_pipe make_pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) fail("pipe failed");
    return {fds[0], fds[1]};
}

[[noreturn]] void run_wine(const std::vector<std::string>& args, output_pipe out, output_pipe err) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == 1) ::_exit(125);
    ::dup2(out.write_end, STDOUT_FILENO);
    ::dup2(err.write_end, STDERR_FILENO);
    const char* preload = std::getenv("LUMICORD_WINE_PRELOAD");
    if (preload != nullptr && *preload != '\0') ::setenv("LD_PRELOAD", preload, 1);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    for (int s : FORWARDED) std::signal(s, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execvp(argv[0], argv.data());
    std::perror(argv[0]);
    ::_exit(126);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args = {environment("LUMICORD_WINE", "wine"), environment("LUMICORD_WINE_EXE")};
    std::vector<std::pair<std::string, std::string>> names;
    std::string link;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.starts_with("-C/") && link.empty()) {
            const std::string path = arg.substr(2);
            auto [port, made] = port_for(path);
            link = made;
            names = {{"\\\\.\\" + port, path}, {port, path}};
            arg = "-C" + port;
        }
        args.push_back(arg);
    }

    const output_pipe out = make_pipe();
    const output_pipe err = make_pipe();
    sigset_t forwarded;
    sigemptyset(&forwarded);
    for (int s : FORWARDED) sigaddset(&forwarded, s);
    sigset_t before;
    ::sigprocmask(SIG_BLOCK, &forwarded, &before);
    const pid_t pid = ::fork();
    if (pid < 0) fail("fork failed");
    if (pid == 0) run_wine(args, out, err);
    child_pid = pid;
    struct sigaction pass_on {};
    pass_on.sa_handler = forward;
    for (int s : FORWARDED) ::sigaction(s, &pass_on, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
    ::close(out.write_end);
    ::close(err.write_end);

    // Until the program has ended; then what it left in the pipes. wine's
    // own helper processes may hold the pipes' other ends much longer.
    const int ended = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (ended < 0) fail("pidfd_open failed");
    renaming_copy copies[] = {{STDOUT_FILENO, names}, {STDERR_FILENO, names}};
    std::array<pollfd, 3> fds = {{{out.read_end, POLLIN, 0}, {err.read_end, POLLIN, 0}, {ended, POLLIN, 0}}};
    bool child_ended = false;
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (::poll(fds.data(), fds.size(), child_ended ? 0 : -1) < 0) {
            if (errno == EINTR) continue;
            fail("poll failed");
        }
        bool read_any = false;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n > 0) {
                copies[i].add(buffer, static_cast<std::size_t>(n));
                read_any = true;
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
            }
        }
        if (fds[2].revents != 0) {
            child_ended = true;
            fds[2].fd = -1;
        } else if (child_ended && !read_any) {
            break;
        }
    }
    for (auto& copy : copies) copy.finish();

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!link.empty()) ::unlink(link.c_str());
    int by_signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    if (WIFEXITED(status) && WEXITSTATUS(status) == CONTROL_C_EXIT_STATUS && interrupted) by_signal = SIGINT;
    if (by_signal != 0) {
        std::signal(by_signal, SIG_DFL);
        ::raise(by_signal);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 125;
}
