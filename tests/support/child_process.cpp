#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>

#include "sim/make_pipe.h"

extern char** environ;

namespace lumicord::testing {

namespace {

// Both ends closed on exec; the child's own end is duplicated onto 0, 1 or 2.
void make_pipe(int fds[2]) {
    if (sim::make_pipe(fds, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
}

void close_fd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

int milliseconds_until(child_clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - child_clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

// The parent's environment with the settings given laid over it.
std::vector<std::string> environment_with(const std::vector<std::string>& settings) {
    std::vector<std::string> result;
    for (char** e = environ; *e != nullptr; ++e) result.emplace_back(*e);
    for (const std::string& setting : settings) {
        const std::string name = setting.substr(0, setting.find('=') + 1);
        bool replaced = false;
        for (std::string& existing : result)
            if (existing.rfind(name, 0) == 0) {
                existing = setting;
                replaced = true;
            }
        if (!replaced) result.push_back(setting);
    }
    return result;
}

std::vector<char*> pointers_to(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Appends one read's worth to text; closes fd at end of file or on an error.
void read_into(int& fd, std::string& text) {
    std::array<char, 65536> buffer{};
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n > 0) text.append(buffer.data(), static_cast<std::size_t>(n));
    else if (n == 0 || (errno != EINTR && errno != EAGAIN)) close_fd(fd);
}

}  // namespace

void start_signals_afresh() {
    // Whatever the test runner ignores or blocks (a shell's trap, nohup, a
    // runner that ignores SIGINT while it waits) must not reach the child.
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT}) ::sigaction(s, &default_action, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

child_process::child_process(const child_setup& setup) {
    if (setup.argv.empty()) throw std::invalid_argument("no program to run");
    // A child that ends before reading all its input must not end us.
    std::signal(SIGPIPE, SIG_IGN);

    // Everything the child needs is made before the fork: after it, only
    // async-signal-safe calls until exec.
    std::vector<std::string> argv_strings = setup.argv;
    std::vector<char*> argv = pointers_to(argv_strings);
    std::vector<std::string> env_strings = environment_with(setup.environment);
    std::vector<char*> envp = pointers_to(env_strings);
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (setup.input_path.empty()) make_pipe(in);
    make_pipe(out);
    if (setup.error_path.empty()) {
        make_pipe(err);
    } else {
        err[1] = ::open(setup.error_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (err[1] < 0) throw std::runtime_error(setup.error_path + ": " + std::strerror(errno));
    }
    const rlimit file_limit{static_cast<rlim_t>(setup.file_size_limit), static_cast<rlim_t>(setup.file_size_limit)};
#if defined(LUMICORD_HAVE_SCHED_SETSCHEDULER)
    sched_param priority{};
    priority.sched_priority = setup.realtime_priority;
#endif

    started_ = child_clock::now();
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid_ == 0) {
        if (setup.input_path.empty()) {
            ::dup2(in[0], 0);
        } else {
            const int fd = ::open(setup.input_path.c_str(), O_RDONLY);
            if (fd < 0) ::_exit(127);
            ::dup2(fd, 0);
            if (fd != 0) ::close(fd);
        }
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        if (!setup.cwd.empty() && ::chdir(setup.cwd.c_str()) != 0) ::_exit(127);
        if (setup.remove_cwd && ::rmdir(setup.cwd.c_str()) != 0) ::_exit(127);
        if (setup.file_size_limit > 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            if (::setrlimit(RLIMIT_FSIZE, &file_limit) != 0) ::_exit(127);
        }
#if defined(LUMICORD_HAVE_SCHED_SETSCHEDULER)
        if (setup.realtime_priority > 0) ::sched_setscheduler(0, SCHED_FIFO, &priority);
#endif
        start_signals_afresh();
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (in[0] >= 0) ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    in_fd_ = in[1];
    out_fd_ = out[0];
    err_fd_ = err[0];
    if (in_fd_ >= 0) ::fcntl(in_fd_, F_SETFL, ::fcntl(in_fd_, F_GETFL) | O_NONBLOCK);
}

child_process::~child_process() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    close_fd(in_fd_);
    close_fd(out_fd_);
    close_fd(err_fd_);
}

void child_process::signal(int signal_number) {
    if (pid_ > 0) ::kill(pid_, signal_number);
}

void child_process::send(const std::string& text) { input_ += text; }

void child_process::end_input() {
    input_ends_ = true;
    if (input_.empty()) close_input();
}

void child_process::close_input() {
    close_fd(in_fd_);
    input_.clear();
}

void child_process::pump(child_clock::time_point deadline) {
    const bool writing = in_fd_ >= 0 && !input_.empty();
    std::array<pollfd, 3> fds{{{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}, {writing ? in_fd_ : -1, POLLOUT, 0}}};
    if (::poll(fds.data(), fds.size(), milliseconds_until(deadline)) <= 0) return;
    if (fds[0].revents != 0) read_into(out_fd_, out_);
    if (fds[1].revents != 0) read_into(err_fd_, err_);
    if (fds[2].revents != 0) {
        const ssize_t n = ::write(in_fd_, input_.data(), input_.size());
        if (n > 0) input_.erase(0, static_cast<std::size_t>(n));
        // A child that stopped reading gets no more.
        if (n < 0 && errno != EAGAIN && errno != EINTR) close_input();
        if (input_.empty() && input_ends_) close_input();
    }
}

bool child_process::wait_for_output(const std::string& marker, std::size_t& from, child_clock::time_point deadline) {
    for (;;) {
        const std::size_t at = out_.find(marker, from);
        if (at != std::string::npos) {
            from = at + marker.size();
            return true;
        }
        if (out_fd_ < 0 || child_clock::now() >= deadline) return false;
        pump(deadline);
    }
}

child_end child_process::finish(child_clock::time_point deadline) {
    child_end end;
    if (pid_ <= 0) throw std::logic_error("child reaped already");
    while (output_open() && child_clock::now() < deadline) pump(deadline);
    // Output still open at the deadline: the child hangs.
    if (output_open()) signal(SIGKILL);
    int status = 0;
    while (::wait4(pid_, &status, 0, &end.usage) < 0) {
        if (errno != EINTR) return end;
    }
    pid_ = -1;
    end.ended = child_clock::now();
    end.exited = WIFEXITED(status);
    if (end.exited) end.exit_status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) end.killed_by = WTERMSIG(status);
    close_input();
    close_fd(out_fd_);
    close_fd(err_fd_);
    return end;
}

}  // namespace lumicord::testing
