// A file descriptor with one owner, closed when the owner goes, so that no
// way out of a failed set-up can leak it or close it twice.
#pragma once

#include <unistd.h>

namespace lumicord::camlink {

class owned_descriptor {
public:
    owned_descriptor() = default;
    explicit owned_descriptor(int fd) : fd_(fd) {}
    ~owned_descriptor() { reset(); }
    owned_descriptor(owned_descriptor&& other) noexcept : fd_(other.release()) {}
    owned_descriptor& operator=(owned_descriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }
    owned_descriptor(const owned_descriptor&) = delete;
    owned_descriptor& operator=(const owned_descriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Hands the descriptor over; the owner no longer closes it.
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

}  // namespace lumicord::camlink
