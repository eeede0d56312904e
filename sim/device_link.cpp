#include "sim/device_link.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace lumicord::sim {

namespace {

std::string not_a_link(const std::string& path) {
    return path + " exists and is not a symbolic link; it is left as it is";
}

std::string failed(const std::string& path) { return path + ": " + std::strerror(errno); }

}  // namespace

std::string link_refusal(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) return {};
    return not_a_link(path);
}

std::string device_link::make(const std::string& target, const std::string& path) {
    // Whatever appears at the name meanwhile is looked at again: a link is
    // replaced, anything else is not.
    constexpr int ATTEMPTS = 3;
    for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
        if (::symlink(target.c_str(), path.c_str()) == 0) {
            path_ = path;
            target_ = target;
            made_ = true;
            return {};
        }
        if (errno != EEXIST) return failed(path);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) continue;  // gone again
        if (!S_ISLNK(st.st_mode)) return not_a_link(path);
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) return failed(path);
    }
    return path + ": something else keeps taking the name";
}

std::string device_link::retarget(const std::string& target) {
    if (!made_) return "no link was made";
    const std::string staging = path_ + ".new-" + std::to_string(::getpid());
    ::unlink(staging.c_str());
    if (::symlink(target.c_str(), staging.c_str()) != 0) return failed(staging);
    if (::rename(staging.c_str(), path_.c_str()) != 0) {
        const std::string why = failed(path_);
        ::unlink(staging.c_str());
        return why;
    }
    target_ = target;
    return {};
}

// A link is known by what it points to: inode numbers come back at once
// for the next file made, and a link to this terminal is of no use to
// anyone once the terminal is gone.
void device_link::remove() {
    if (!made_) return;
    struct stat st {};
    if (::lstat(path_.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return;
    std::array<char, 4096> target{};
    const ssize_t n = ::readlink(path_.c_str(), target.data(), target.size());
    if (n < 0 || std::string(target.data(), static_cast<std::size_t>(n)) != target_) return;
    ::unlink(path_.c_str());
}

device_link::~device_link() { remove(); }

}  // namespace lumicord::sim
